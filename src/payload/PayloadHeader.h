// The payload header at the start of the `.setup` section, read and written field by field.
//
//   magic u32 | version text, NUL | flags u32 | definition block size i32 |
//   definition checksum u32 | engine checksum u32 | data stream end i32 | file count i32 |
//   data stream size i32 | data stream checksum u32 | file count x file size i32 |
//   [56-byte cipher key when flag 0x1000] | definition block
#pragma once

#include "core/String.h"
#include "payload/Bytes.h"

#include <array>

namespace cs {

constexpr uint32_t kPayloadMagic = 0xA4F23DE5;
constexpr char kPayloadVersion[] = "51.0";
constexpr int32_t kMaxDefinitionBlockSize = 0x31FFFFF;
constexpr int32_t kMaxFileSize = 0x73333333;
constexpr size_t kCipherKeyBytes = 56;

// Payload flags that concern the payload itself.
constexpr uint32_t kFlagBlowfish = 0x1000;           // definition block and data chunks encrypted
constexpr uint32_t kFlagEngineWithoutPayload = 0x20; // the uninstaller copy drops `.setup`
constexpr uint32_t kFlagNewerThanServer2003 = 0x400; // cleared by the engine unless the test holds

struct PayloadHeader {
    uint32_t magic = kPayloadMagic;
    String8 version = kPayloadVersion;
    uint32_t flags = 0;
    int32_t definitionSize = 0;
    uint32_t definitionChecksum = 0;
    uint32_t engineChecksum = 0;
    int32_t dataStreamEnd = 0;
    int32_t fileCount = 0;
    int32_t dataStreamSize = 0;
    uint32_t dataStreamChecksum = 0;
    std::vector<int32_t> fileSizes;
    std::array<uint8_t, kCipherKeyBytes> cipherKey{};

    bool HasCipherKey() const { return (flags & kFlagBlowfish) != 0; }
};

// Offsets of the fields from the payload start; they depend on the version text's length
// and on the file count.
struct PayloadHeaderLayout {
    size_t version = 4;
    size_t flags = 0;
    size_t definitionSize = 0;
    size_t definitionChecksum = 0;
    size_t engineChecksum = 0;
    size_t dataStreamEnd = 0;
    size_t fileCount = 0;
    size_t dataStreamSize = 0;
    size_t dataStreamChecksum = 0;
    size_t fileSizes = 0;
    size_t cipherKey = 0;       // where the key is, or would be
    size_t definitionBlock = 0; // = the header's length
};
PayloadHeaderLayout LayoutOf(size_t versionLength, size_t fileCount, bool hasCipherKey);
inline PayloadHeaderLayout LayoutOf(const PayloadHeader& h) {
    return LayoutOf(h.version.Length(), h.fileSizes.size(), h.HasCipherKey());
}

// Reads fields 1 to 12 from the payload view, applying each field's rule as it is read, so
// the first violated rule is the one reported. Returns kPayloadOk with `headerLength` set,
// kCodeMagic, kVersionMismatch (the text read is in header.version), kCodeDefinitionSize,
// kCodeDataStreamEnd, kCodeFileCount, kCodeDataStreamSize or kCodeFileSize.
// The view is the whole mapped section: a field that would lie past its end gives the code
// of its part (fields 1 to 10: kCodeMagic; the size table: kCodeFileCount; the key and the
// definition block: kCodeDefinitionSize).
int ReadPayloadHeader(ByteView payload, PayloadHeader& header, size_t& headerLength);

// Writes the fields as they are (no rule is checked: tests write damaged headers too).
// `fileCount` is written as given; the size table holds `fileSizes`.
Bytes WritePayloadHeader(const PayloadHeader& header);

} // namespace cs
