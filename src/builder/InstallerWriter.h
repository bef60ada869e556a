// Writes an installer: a copy of the stub with a `.setup` section that holds the payload
// header, the definition block (xz, then the XOR step or Blowfish) and the file data stream.
#pragma once

#include "payload/Bytes.h"
#include "payload/PayloadHeader.h"
#include "payload/PeImage.h"

#include <array>
#include <optional>
#include <string>

namespace cs {

using CipherKey = std::array<uint8_t, kCipherKeyBytes>;

struct PackInput {
    Bytes stub;                     // the engine without payload
    Bytes definition;               // the plain definition
    uint32_t flags = 0;             // payload flags; kFlagBlowfish selects Blowfish
    std::optional<CipherKey> key;   // Blowfish key; derived from the definition and the data stream when not given
    Bytes dataStream;               // the stored file data stream, as it goes into the file
    std::vector<int32_t> fileSizes; // the file size table
    bool externalData = false;      // the data stream follows the mapped part of the section
    uint32_t xzPreset = 6;
};

struct PackResult {
    Bytes installer;
    PayloadHeader header; // as written, with all checksums
    SectionPlan section;
    size_t headerLength = 0;
};

// False with a reason when the stub cannot take the section or a value is out of range.
bool PackInstaller(const PackInput& input, PackResult& result, std::string& error);

// The stored definition block for a plain definition: xz, then Blowfish (with the length
// trailer) or the XOR step with the definition's CRC-32.
bool EncodeDefinitionBlock(ByteView plain, uint32_t flags, const CipherKey& key, uint32_t xzPreset,
                           Bytes& block, std::string& error);

} // namespace cs
