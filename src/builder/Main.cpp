// corvantis-build: makes installers and inspects them.
//
//   corvantis-build build PROJECT.toml -o OUT.exe [--stub STUB.exe] [--threads N]
//     (without --stub: $CORVANTIS_STUB, else the project's engine beside this program or in
//     the build tree's win32/bin or win64/bin folder)
//   corvantis-build inspect INSTALLER.exe [--extract DIR]
//   corvantis-build new DIR
//   corvantis-build schema
//   corvantis-build pack --stub STUB.exe --definition DEF.bin -o OUT.exe [options]
//   corvantis-build sign INSTALLER.exe (--cert CERT --key KEY | --pkcs12 P12) [-o OUT.exe]
//   corvantis-build manifest INSTALLER.exe [--url URL] [--out DIR]
//
// Exit codes: 0 success (inspect: the installer passes the engine's checks), 1 usage or
// file errors, 2 (inspect) the installer fails a check (the report's verdict).
#include "builder/BuildProgress.h"
#include "builder/Extract.h"
#include "builder/Inspect.h"
#include "builder/InstallerWriter.h"
#include "builder/NewProject.h"
#include "builder/Project.h"
#include "builder/ProjectSchema.h"
#include "builder/PublishCommands.h"
#include "builder/Reproducible.h"
#include "builder/StubSearch.h"

#include <CLI/CLI.hpp>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

bool ReadWholeFile(const std::string& path, cs::Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteWholeFile(const std::string& path, const cs::Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}

bool ParseKey(const std::string& hex, cs::CipherKey& key) {
    if (hex.size() != 2 * key.size()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        unsigned v = 0;
        if (std::sscanf(hex.c_str() + 2 * i, "%2x", &v) != 1) return false;
        key[i] = static_cast<uint8_t>(v);
    }
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "corvantis-build: %s\n", message.c_str());
    return 1;
}

int RunInspect(const std::string& path) {
    cs::Bytes file;
    if (!ReadWholeFile(path, file)) return Fail("cannot read " + path);
    cs::InspectReport report = cs::InspectInstaller(file);
    std::fputs(report.json.c_str(), stdout);
    return report.verdict == 0 ? 0 : 2;
}

// Exit 2 for a corrupt installer, as inspect's verdict; 1 for the other failures.
int RunExtract(const std::string& path, const std::string& folder) {
    cs::Bytes file;
    if (!ReadWholeFile(path, file)) return Fail("cannot read " + path);
    int corrupt = 0;
    std::string error;
    if (cs::ExtractInstaller(file, folder, corrupt, error)) return 0;
    Fail(path + ": " + error);
    return corrupt ? 2 : 1;
}

// The folder this program lies in (the stub search starts there).
std::filesystem::path BuilderFolder(const char* argv0) {
    std::error_code error;
#ifndef _WIN32
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return self.parent_path();
#endif
    std::filesystem::path given = std::filesystem::absolute(argv0, error);
    return given.parent_path();
}

bool StdoutIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

// The progress line, rewritten in place at most ten times a second and once at the end.
std::function<void(uint64_t, uint64_t)> TerminalProgress() {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    auto shown = start - std::chrono::seconds(1);
    return [start, shown](uint64_t done, uint64_t total) mutable {
        auto now = Clock::now();
        if (done < total && now - shown < std::chrono::milliseconds(100)) return;
        shown = now;
        std::string line = cs::ProgressLine(done, total, std::chrono::duration<double>(now - start).count());
        std::printf("\r%-60s", line.c_str());
        std::fflush(stdout);
    };
}

// A failed build leaves no installer at the output path, not even an older one, so that
// nothing can take a stale installer for the result of this build.
int RunBuild(const std::string& projectPath, const std::string& output, const std::string& givenStub,
             const char* argv0, unsigned threads) {
    auto failed = [&](const std::string& message) {
        std::remove(output.c_str());
        return Fail(message);
    };
    std::optional<int64_t> epoch;
    if (!cs::ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), epoch))
        return failed("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970");
    cs::Project project;
    std::string error;
    if (!cs::LoadProject(projectPath, project, error)) return failed(error);
    const char* env = std::getenv("CORVANTIS_STUB");
    std::string tried;
    std::string stubPath =
        cs::FindStub(givenStub, env ? env : "", BuilderFolder(argv0), project.engine, tried);
    if (stubPath.empty())
        return failed(std::string("cannot find the stub ") + cs::StubFileName(project.engine) +
                      " (looked for " + tried + "); give --stub or set CORVANTIS_STUB");
    cs::Bytes stub, installer;
    if (!ReadWholeFile(stubPath, stub))
        return failed("cannot read the stub " + stubPath + " (give --stub or set CORVANTIS_STUB)");
    cs::BuildSettings settings;
    settings.threads = threads;
    if (StdoutIsTerminal()) settings.progress = TerminalProgress();
    bool built = cs::BuildInstaller(project, stub, installer, error, settings);
    if (settings.progress) std::fputs("\n", stdout);
    if (!built) return failed(error);
    if (!WriteWholeFile(output, installer)) return failed("cannot write " + output);
    return 0;
}

struct PackOptions {
    std::string stub, definition, output, key, dataStream;
    uint32_t flags = 0;
    bool blowfish = false, external = false;
    std::vector<int32_t> fileSizes;
    uint32_t preset = 6;
};

int RunPack(const PackOptions& o) {
    cs::PackInput input;
    if (!ReadWholeFile(o.stub, input.stub)) return Fail("cannot read the stub " + o.stub);
    if (!ReadWholeFile(o.definition, input.definition))
        return Fail("cannot read the definition " + o.definition);
    if (!o.dataStream.empty() && !ReadWholeFile(o.dataStream, input.dataStream))
        return Fail("cannot read the data stream " + o.dataStream);
    input.flags = o.flags | (o.blowfish ? cs::kFlagBlowfish : 0);
    if (!o.key.empty()) {
        if (!(input.flags & cs::kFlagBlowfish)) return Fail("--key needs --blowfish");
        cs::CipherKey key;
        if (!ParseKey(o.key, key)) return Fail("--key must be 112 hex digits (56 bytes)");
        input.key = key;
    }
    input.fileSizes = o.fileSizes;
    input.externalData = o.external;
    input.xzPreset = o.preset;
    cs::PackResult result;
    std::string error;
    if (!cs::PackInstaller(input, result, error)) return Fail(error);
    if (!WriteWholeFile(o.output, result.installer)) {
        std::remove(o.output.c_str());
        return Fail("cannot write " + o.output);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"corvantis-build: makes Corvantis Setup installers and inspects them"};
    app.require_subcommand(1);

    std::string inspectPath;
    CLI::App* inspect =
        app.add_subcommand("inspect", "Print what an installer holds, and the engine's verdict, as JSON");
    inspect->add_option("installer", inspectPath, "The installer executable")->required();
    std::string extractFolder;
    inspect->add_option("--extract", extractFolder,
                        "Write the files it holds into this new folder, one folder per base "
                        "folder variable (InstallDir, SystemDir, ...), with contents.json");

    std::string buildProject, buildOutput, buildStub;
    unsigned buildThreads = 0;
    CLI::App* build = app.add_subcommand("build", "Make an installer from a project file (TOML)");
    build->add_option("project", buildProject, "The project file")->required();
    build->add_option("-o,--output", buildOutput, "The installer to write")->required();
    build->add_option("--stub", buildStub,
                      "The engine without payload (default: $CORVANTIS_STUB, else the project's "
                      "engine, corvantis-setup.exe or corvantis-setup-x64.exe, beside this program "
                      "or in the build tree's win32/bin or win64/bin folder)");
    build->add_option("--threads", buildThreads,
                      "Compress the file data on N threads (default 0: one per processor); the "
                      "installer is the same for every N");

    std::string newFolder;
    CLI::App* newCommand = app.add_subcommand("new", "Write a small working project into a new folder");
    newCommand->add_option("folder", newFolder, "The folder (created; an existing one must be empty)")
        ->required();

    CLI::App* schema = app.add_subcommand("schema", "Print the JSON Schema of the project file");

    PackOptions pack;
    CLI::App* packCommand =
        app.add_subcommand("pack", "Low level: make an installer from a stub and a plain definition file");
    packCommand->add_option("--stub", pack.stub, "The engine without payload (corvantis-setup.exe)")
        ->required();
    packCommand->add_option("--definition", pack.definition, "The plain definition, raw bytes")->required();
    packCommand->add_option("-o,--output", pack.output, "The installer to write")->required();
    packCommand->add_flag("--blowfish", pack.blowfish,
                          "Encrypt the definition block with Blowfish (flag 0x1000)");
    packCommand->add_option("--key", pack.key, "Blowfish key, 112 hex digits (default: derived from the definition and data stream)");
    packCommand->add_option("--flags", pack.flags, "Further payload flags (a number; 0x prefix for hex)");
    packCommand->add_option("--data-stream", pack.dataStream, "The stored file data stream, raw bytes");
    packCommand->add_option("--file-size", pack.fileSizes,
                            "An entry of the file size table (repeat per file)");
    packCommand->add_flag("--external-data", pack.external,
                          "Keep the data stream after the mapped part of the section");
    packCommand->add_option("--xz-preset", pack.preset, "xz preset 0 to 9")->check(CLI::Range(0, 9));

    cs::PublishCommands publish;
    cs::AddPublishCommands(app, publish);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 1;
    }
    if (*inspect)
        return extractFolder.empty() ? RunInspect(inspectPath) : RunExtract(inspectPath, extractFolder);
    if (*schema) {
        std::fputs(cs::ProjectSchemaJson().c_str(), stdout);
        return 0;
    }
    if (*newCommand) {
        std::string error;
        if (!cs::WriteNewProject(newFolder, error)) return Fail(error);
        std::printf(
            "wrote %s/project.toml; build it with: corvantis-build build %s/project.toml -o setup.exe\n",
            newFolder.c_str(), newFolder.c_str());
        return 0;
    }
    if (*build) return RunBuild(buildProject, buildOutput, buildStub, argv[0], buildThreads);
    if (int rc = cs::RunPublishCommands(publish); rc >= 0) return rc;
    return RunPack(pack);
}
