#include "builder/InstallerWriter.h"
#include "builder/Reproducible.h"

#include "payload/Blowfish.h"
#include "payload/Crc32.h"
#include "payload/XorStep.h"
#include "payload/Xz.h"


namespace cs {

bool EncodeDefinitionBlock(ByteView plain, uint32_t flags, const CipherKey& key, uint32_t xzPreset,
                           Bytes& block, std::string& error) {
    Bytes compressed;
    if (!XzEncode(plain, compressed, xzPreset)) {
        error = "xz compression of the definition failed";
        return false;
    }
    if (flags & kFlagBlowfish) {
        Blowfish cipher;
        cipher.SetKey(key.data(), key.size());
        block = BlowfishSeal(cipher, compressed);
    } else {
        block = std::move(compressed);
        XorStep(block.data(), block.size(), Crc32(plain));
    }
    if (block.size() > static_cast<size_t>(kMaxDefinitionBlockSize)) {
        error = "the definition block is larger than 0x31FFFFF bytes";
        return false;
    }
    return true;
}

bool PackInstaller(const PackInput& input, PackResult& result, std::string& error) {
    result = PackResult();
    for (int32_t size : input.fileSizes) {
        if (size < 0 || size > kMaxFileSize) {
            error = "a file size is outside 0 to 0x73333333";
            return false;
        }
    }
    PayloadHeader& h = result.header;
    h.flags = input.flags;
    if (h.HasCipherKey()) {
        // Without a given key, one from the inputs: the same inputs give the same installer.
        Sha256 seed;
        seed.Update(input.definition);
        seed.Update(input.dataStream);
        h.cipherKey = input.key ? *input.key : CipherKeyFromSeed(seed.Finish());
    }
    Bytes block;
    if (!EncodeDefinitionBlock(input.definition, h.flags, h.cipherKey, input.xzPreset, block, error))
        return false;
    h.definitionSize = static_cast<int32_t>(block.size());
    h.definitionChecksum = Crc32(input.definition);
    h.fileCount = static_cast<int32_t>(input.fileSizes.size());
    h.fileSizes = input.fileSizes;
    h.dataStreamChecksum = Crc32(input.dataStream);

    size_t headerLength = LayoutOf(h).definitionBlock;
    uint64_t streamOffset = headerLength + block.size();
    uint64_t payloadLength = streamOffset + input.dataStream.size();
    if (payloadLength > 0x7FFFFFFF) {
        error = "the payload is larger than 2 GiB - 1";
        return false;
    }
    h.dataStreamSize = static_cast<int32_t>(input.dataStream.size());
    h.dataStreamEnd = static_cast<int32_t>(payloadLength);

    uint64_t mapped = input.externalData ? streamOffset : payloadLength;
    Bytes prefix;
    if (!PrepareSetupSection(input.stub, mapped, payloadLength, prefix, result.section, error)) return false;
    // The engine checksum covers the final prefix, headers with the new section included.
    uint32_t peOffset = LoadLE32(prefix.data() + kPeOffsetField) & 0xFFFF;
    h.engineChecksum = EngineChecksum(prefix, peOffset);

    Bytes header = WritePayloadHeader(h);
    result.headerLength = header.size();
    Bytes& out = result.installer;
    out = std::move(prefix);
    out.reserve(out.size() + std::max<uint64_t>(payloadLength, result.section.rawSize));
    Append(out, header);
    Append(out, block);
    Append(out, input.dataStream);
    // Inside the section the raw data runs to its whole size; an external stream ends the
    // file (the engine reads it up to the end).
    if (!input.externalData) out.resize(result.section.rawOffset + uint64_t{result.section.rawSize}, 0);
    return true;
}

} // namespace cs
