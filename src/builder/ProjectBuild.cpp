// From a read project to an installer: the definition bytes, the file data stream and the
// payload container.
#include "builder/InstallerWriter.h"
#include "builder/Project.h"
#include "payload/Blowfish.h"
#include "payload/Crc32.h"
#include "payload/DefinitionReader.h"
#include "payload/DefinitionStream.h"
#include "payload/Xz.h"

#include <fstream>

namespace cs {

namespace {

constexpr uint32_t kFileRecordMagic = 0x600FFEE1;

void AppendBytes(Bytes& out, const std::string& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Cuts the decoded stream into stored chunks: length, CRC-32 of the stored bytes, bytes.
bool AppendChunk(Bytes& stream, ByteView decoded, bool compress, uint32_t preset, const Blowfish* cipher,
                 std::string& error) {
    Bytes stored(decoded.begin(), decoded.end());
    if (compress) {
        Bytes packed;
        if (!XzEncode(stored, packed, preset)) {
            error = "xz compression of the file data failed";
            return false;
        }
        stored.swap(packed);
    }
    if (cipher) stored = BlowfishSeal(*cipher, stored);
    AppendLE32(stream, static_cast<uint32_t>(stored.size()));
    AppendLE32(stream, Crc32(stored));
    stream.insert(stream.end(), stored.begin(), stored.end());
    return true;
}

} // namespace

bool BuildDataStream(const Project& project, const Blowfish* cipher, Bytes& stream,
                     std::vector<int32_t>& sizes, std::string& error) {
    stream.clear();
    sizes.clear();
    bool compress = (project.definition.optionWord1 & kOpt1CompressedData) != 0;
    Bytes pending; // decoded bytes not yet cut into a chunk
    auto flush = [&](bool all) {
        while (pending.size() >= project.chunkSize || (all && !pending.empty())) {
            size_t n = std::min<size_t>(pending.size(), project.chunkSize);
            if (!AppendChunk(stream, ByteView(pending.data(), n), compress, project.xzPreset, cipher, error))
                return false;
            pending.erase(pending.begin(), pending.begin() + static_cast<ptrdiff_t>(n));
        }
        return true;
    };
    for (const ProjectFile& f : project.files) {
        std::ifstream in(f.source, std::ios::binary);
        if (!in) {
            error = "cannot read " + f.source;
            return false;
        }
        std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ByteWriter record;
        record.U32(kFileRecordMagic);
        record.I32(f.kind);
        record.U32(f.flags);
        record.I32(f.attributes);
        record.I32(static_cast<int32_t>(contents.size()));
        record.Date(f.date);
        record.I32(f.msiValue);
        for (const String* text : {&f.name, &f.title, &f.destination, &f.icon, &f.arguments, &f.extra})
            record.Text(*text);
        AppendBytes(pending, record.Data());
        AppendBytes(pending, contents);
        sizes.push_back(static_cast<int32_t>(contents.size()));
        if (!flush(false)) return false;
    }
    return flush(true);
}

bool BuildInstaller(const Project& project, const Bytes& stub, Bytes& installer, std::string& error) {
    PackInput input;
    input.stub = stub;
    input.flags = project.payloadFlags;
    input.xzPreset = project.xzPreset;
    input.externalData = project.definition.externalData == 1;
    std::string definition;
    if (!WriteDefinition(project.definition, project.payloadFlags, definition, error)) {
        error = project.path + ": " + error;
        return false;
    }
    input.definition.assign(definition.begin(), definition.end());
    Blowfish cipher;
    if (project.payloadFlags & kFlagBlowfish) {
        input.key = DrawCipherKey();
        cipher.SetKey(input.key->data(), input.key->size());
    }
    if (!BuildDataStream(project, (project.payloadFlags & kFlagBlowfish) ? &cipher : nullptr,
                         input.dataStream, input.fileSizes, error))
        return false;
    PackResult result;
    if (!PackInstaller(input, result, error)) return false;
    installer = std::move(result.installer);
    return true;
}

} // namespace cs
