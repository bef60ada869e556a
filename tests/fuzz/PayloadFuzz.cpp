// Outside bytes through the payload reading steps: once as a mapped `.setup` section (header,
// XOR step or Blowfish, xz), once as a whole installer file (PE section table, mapped view,
// engine prefix and uninstaller copy). Every input ends in a result, never a crash; what is
// reported as read must lie inside the input.
#include "payload/PayloadCodes.h"
#include "payload/PayloadReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cs::ByteView bytes(data, size);

    cs::PayloadInfo info;
    int code = cs::ReadPayload(bytes, info);
    if (code == cs::kPayloadOk) {
        if (info.dataStreamOffset > size) abort();
        if (info.header.fileSizes.size() != static_cast<size_t>(info.header.fileCount)) abort();
        cs::DefinitionChecksumMatches(info, info.definition);
    }

    cs::MemorySource file(bytes);
    cs::PayloadInfo fromFile;
    cs::Bytes mapped, prefix, copy;
    code = cs::ReadPayloadFile(file, fromFile, mapped);
    if (fromFile.section.index >= 0 && code != cs::kCodeSeek && code != cs::kCodeNoRawData) {
        if (fromFile.section.rawOffset > size) abort();
        if (cs::ReadEnginePrefix(file, fromFile, prefix) == cs::kPayloadOk) {
            cs::CheckEngineChecksum(prefix, fromFile);
            cs::MakeEngineCopy(file, prefix, fromFile, copy);
        }
    }
    return 0;
}
