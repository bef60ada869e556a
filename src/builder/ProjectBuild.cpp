// From a read project to an installer: the definition bytes, the file data stream and the
// payload container.
#include "builder/InstallerWriter.h"
#include "builder/Project.h"
#include "builder/Reproducible.h"
#include "builder/SourceTree.h"
#include "payload/DataStream.h"
#include "payload/DefinitionReader.h"
#include "payload/DefinitionStream.h"

#include <filesystem>
#include <fstream>

namespace cs {

bool BuildDataStream(const Project& project, const Blowfish* cipher, Bytes& stream,
                     std::vector<int32_t>& sizes, std::string& error, const BuildSettings& settings) {
    stream.clear();
    sizes.clear();
    ChunkOptions options;
    options.chunkSize = project.chunkSize;
    options.compress = (project.definition.optionWord1 & kOpt1CompressedData) != 0;
    options.xzPreset = project.xzPreset;
    options.cipher = cipher;
    options.threads = settings.threads;
    if (settings.progress) {
        uint64_t total = 0;
        for (const ProjectFile& f : project.files) {
            std::error_code ignored;
            uintmax_t size = std::filesystem::file_size(PathFromUtf8(f.source), ignored);
            if (!ignored) total += size;
        }
        options.progress = [&settings, total](uint64_t done) { settings.progress(done, total); };
    }
    ChunkWriter chunks(stream, options);
    for (const ProjectFile& f : project.files) {
        std::ifstream in(PathFromUtf8(f.source), std::ios::binary);
        if (!in) {
            error = "cannot read " + f.source;
            return false;
        }
        Bytes contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (contents.size() > static_cast<size_t>(kMaxFileSize)) {
            error = f.source + " is larger than 0x73333333 bytes";
            return false;
        }
        FileRecord record;
        record.kind = f.kind;
        record.flags = f.flags;
        record.attributes = static_cast<uint32_t>(f.attributes);
        record.size = static_cast<int32_t>(contents.size());
        record.date = f.date;
        record.msiValue = static_cast<uint32_t>(f.msiValue);
        record.name = f.name;
        record.title = f.title;
        record.destination = f.destination;
        record.icon = f.icon;
        record.arguments = f.arguments;
        record.extra = f.extra;
        Bytes head;
        if (!AppendFileRecord(head, record)) {
            error = f.source + ": a text of its record is too long";
            return false;
        }
        if (!chunks.Add(head, error) || !chunks.Add(contents, error)) return false;
        sizes.push_back(record.size);
    }
    return chunks.Finish(error);
}

bool BuildInstaller(const Project& project, const Bytes& stub, Bytes& installer, std::string& error,
                    const BuildSettings& settings) {
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
        CipherKey key;
        if (!ProjectCipherKey(project, input.definition, key, error)) return false;
        input.key = key;
        cipher.SetKey(input.key->data(), input.key->size());
    }
    if (!BuildDataStream(project, (project.payloadFlags & kFlagBlowfish) ? &cipher : nullptr,
                         input.dataStream, input.fileSizes, error, settings))
        return false;
    PackResult result;
    if (!PackInstaller(input, result, error)) return false;
    installer = std::move(result.installer);
    return true;
}

} // namespace cs
