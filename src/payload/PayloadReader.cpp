#include "payload/PayloadReader.h"

#include "payload/Crc32.h"
#include "payload/PayloadCodes.h"
#include "payload/XorStep.h"
#include "payload/Xz.h"

namespace cs {

int DecodeDefinitionBlock(ByteView stored, const PayloadHeader& header, const Blowfish& cipher,
                          Bytes& plain) {
    Bytes unscrambled;
    if (header.HasCipherKey()) {
        unscrambled = BlowfishOpen(cipher, stored);
    } else {
        unscrambled.assign(stored.begin(), stored.end());
        XorStep(unscrambled.data(), unscrambled.size(), header.definitionChecksum);
    }
    return XzDecode(unscrambled, plain) ? kPayloadOk : kCodeDecompress;
}

int ReadPayload(ByteView payload, PayloadInfo& info) {
    int code = ReadPayloadHeader(payload, info.header, info.headerLength);
    if (code != kPayloadOk) return code;
    if (info.header.HasCipherKey()) info.cipher.SetKey(info.header.cipherKey.data(), kCipherKeyBytes);
    size_t size = static_cast<size_t>(info.header.definitionSize);
    info.dataStreamOffset = info.headerLength + size;
    return DecodeDefinitionBlock(payload.subspan(info.headerLength, size), info.header, info.cipher,
                                 info.definition);
}

bool DefinitionChecksumMatches(const PayloadInfo& info, ByteView plainDefinition) {
    return Crc32(plainDefinition) == info.header.definitionChecksum;
}

int ReadPayloadFile(const ByteSource& file, PayloadInfo& info, Bytes& mapped) {
    info.fileSize = file.Size();
    int code = LocateSetupSection(file, info.section);
    if (code != kPayloadOk) return code;
    if (!ReadMappedSection(file, info.section, mapped)) return kCodeSeek;
    code = ReadPayload(mapped, info);
    if (code != kPayloadOk) return code;
    return DefinitionChecksumMatches(info, info.definition) ? kPayloadOk : kCodeDefinitionChecksum;
}

int ReadEnginePrefix(const ByteSource& file, const PayloadInfo& info, Bytes& prefix) {
    prefix.resize(info.section.rawOffset);
    return file.ReadAt(0, prefix.data(), prefix.size()) ? kPayloadOk : kCodeEnginePrefix;
}

int CheckEngineChecksum(ByteView enginePrefix, const PayloadInfo& info) {
    return EngineChecksum(enginePrefix, info.section.peOffset) == info.header.engineChecksum
               ? kPayloadOk
               : kCodeEngineChecksum;
}

int MakeEngineCopy(const ByteSource& file, ByteView enginePrefix, const PayloadInfo& info, Bytes& copy,
                   bool externalData) {
    uint64_t tailStart = uint64_t{info.section.rawOffset} + info.section.rawSize;
    Bytes tail;
    if (!externalData && tailStart < file.Size()) {
        tail.resize(static_cast<size_t>(file.Size() - tailStart));
        if (!file.ReadAt(tailStart, tail.data(), tail.size())) return kCodeEngineTail;
    }
    return BuildEngineCopy(enginePrefix, tail, info.section, copy) ? kPayloadOk : kCodeEngineTail;
}

EngineCheck CheckEnginePart(const ByteSource& file, const PayloadInfo& info, int integrityMode,
                            bool externalData, const SignatureCheck& verifySignature, Bytes& prefix,
                            Bytes& copy) {
    if (int code = ReadEnginePrefix(file, info, prefix); code != kPayloadOk) return {code, true};
    if (integrityMode == 1) {
        if (int code = CheckEngineChecksum(prefix, info); code != kPayloadOk) return {code, false};
    }
    if ((integrityMode == 2 || integrityMode == 3) && verifySignature) {
        if (int code = verifySignature(integrityMode); code != kPayloadOk) return {code, integrityMode == 2};
    }
    if (info.header.flags & kFlagEngineWithoutPayload) {
        if (int code = MakeEngineCopy(file, prefix, info, copy, externalData); code != kPayloadOk)
            return {code, true};
    }
    return {};
}

} // namespace cs
