// The project file: a TOML description of one installer, written for people. Reading it
// gives the whole installation definition (with the English texts and any further
// languages), the payload flags and the files; BuildInstaller turns that into an installer.
// docs/project-format.md documents every key.
#pragma once

#include "payload/Bytes.h"
#include "payload/Definition.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace cs {

class Blowfish;

// One file of the installation, as its record of the file data stream needs it.
struct ProjectFile {
    std::string source; // path on the build machine, UTF-8
    int32_t kind = 0;
    uint32_t flags = 0;
    int32_t attributes = -1; // -1: leave them as created
    DateValue date;
    int32_t msiValue = 0;
    String name, title, destination, icon, arguments, extra;
};

// The engine an installer is built on: the 32-bit one runs on every Windows, the 64-bit one
// only on 64-bit Windows (also where the 32-bit subsystem has been removed).
enum class EngineKind { X86, X64 };

// The stub's file name for an engine: "corvantis-setup.exe" or "corvantis-setup-x64.exe".
const char* StubFileName(EngineKind engine);

struct Project {
    std::string path; // the project file, for messages
    Definition definition;
    uint32_t payloadFlags = 0;
    std::vector<ProjectFile> files;
    uint32_t xzPreset = 6;
    uint32_t chunkSize = 1 << 20; // decoded bytes per data chunk
    EngineKind engine = EngineKind::X86;
};

// Reads a project file. On failure returns false with "FILE:LINE: KEY: problem".
bool LoadProject(const std::string& path, Project& project, std::string& error);
// The same from text; `path` names the file in messages and its folder is the base of
// relative source paths.
bool LoadProjectText(std::string_view text, const std::string& path, Project& project, std::string& error);

// Every key the project reader takes, as its path ("install.master.key_name", "file[].source"
// for an entry of a list of tables) and the JSON Schema of its values, in reading order; a key
// read two ways is listed twice. Noted by running the reader itself over no document.
std::vector<std::pair<std::string, std::string>> ProjectKeys();

// The English table the builder ships, in the language-file form (res/lang/english.toml).
std::string_view EnglishTableText();

// How one build runs, apart from the project: the installer's bytes are the same whatever
// these are.
struct BuildSettings {
    unsigned threads = 0; // chunks compressed side by side; 0: one per processor
    // Told the decoded bytes of the data stream done so far and the expected total (the
    // files' sizes; the records' fields make the done figure end a little above it).
    std::function<void(uint64_t done, uint64_t total)> progress;
};

// The file data stream: one record per file (magic, kind, flags, attributes, size, date,
// MSI value, six texts, contents), cut into chunks of `chunkSize` decoded bytes, each
// xz-compressed when option word 1 bit 0x20 is set and sealed with `cipher` when given.
bool BuildDataStream(const Project& project, const Blowfish* cipher, Bytes& stream,
                     std::vector<int32_t>& sizes, std::string& error, const BuildSettings& settings = {});

// For "inspect": the installer's definition read by the engine's reader (in a neutral
// environment), as a JSON member; `code` receives the reader's result (0 or its code);
// `decoded` (when given) the definition read.
struct InspectReport;
std::string DecodedDefinitionJson(const InspectReport& report, int& code, Definition* decoded = nullptr);
// For "inspect": the file data stream checked as the engine checks it (chunks, records,
// file size table), as a JSON member; `code` receives the first code or 0.
std::string DataStreamJson(ByteView file, const InspectReport& report, const Definition& definition,
                           int& code);
// The same check, its result kept (the decoded stream with the records); the first code or 0.
struct DataStreamCheck;
int CheckInstallerStream(ByteView file, const InspectReport& report, const Definition& definition,
                         DataStreamCheck& check);

// The installer: the stub with a `.setup` section holding the definition and the files.
bool BuildInstaller(const Project& project, const Bytes& stub, Bytes& installer, std::string& error,
                    const BuildSettings& settings = {});

} // namespace cs
