// The two engines under Wine: the README's build commands find their stubs without options,
// and one project installed by the 32-bit and by the 64-bit engine comes out the same: the
// folder from a registry reference and the installed copy in the 32-bit registry view, the
// 32-bit program folders, the same log lines. (Without version comparison an installed copy
// makes the run a reinstallation, whatever its version.)
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

std::string SourceDir() {
    return CORVANTIS_SOURCE_DIR;
}

// Runs a shell command line in the source folder, as a user at the repository's root would,
// without the environment variable that names a stub.
RunResult AtRepositoryRoot(const std::string& commandLine) {
    return RunNative({"sh", "-c", "cd '" + SourceDir() + "' && env -u CORVANTIS_STUB " + commandLine}, 180);
}

std::string Inspect(const std::string& installer) {
    return RunBuilder({"inspect", installer}).output;
}

const char kHelloFolder[] = "/Program Files (x86)/Hello Corvantis";

} // namespace

// README: "build/host/bin/corvantis-build build examples/hello/hello.toml -o hello-setup.exe"
// from the repository's root, and the same project with `engine = "x64"`.
TEST(EnginesUnderWine, ReadmeBuildCommandsFindTheirStubs) {
    std::string dir = TempDir();
    RunResult built = AtRepositoryRoot(
        "build/host/bin/corvantis-build build examples/hello/hello.toml -o hello-setup.exe && "
        "mv hello-setup.exe '" +
        dir + "/'");
    ASSERT_EQ(built.exitCode, 0) << built.output;
    std::string x86 = dir + "/hello-setup.exe";
    EXPECT_TRUE(TextContains(Inspect(x86), "\"image\": \"PE32\"")) << "the 32-bit engine is the default";

    fs::copy(SourceDir() + "/examples/hello", dir + "/hello64", fs::copy_options::recursive);
    std::string project;
    ASSERT_TRUE(ReadFile(dir + "/hello64/hello.toml", project));
    ASSERT_TRUE(WriteFile(dir + "/hello64/hello.toml", project + "\n[options]\nengine = \"x64\"\n"));
    built = AtRepositoryRoot("build/host/bin/corvantis-build build '" + dir + "/hello64/hello.toml' -o '" +
                             dir + "/hello-setup-x64.exe'");
    ASSERT_EQ(built.exitCode, 0) << built.output;
    std::string x64 = dir + "/hello-setup-x64.exe";
    EXPECT_TRUE(TextContains(Inspect(x64), "\"image\": \"PE32+\"")) << "engine = \"x64\" takes the 64-bit stub";

    // Each installer this machine can run installs the example.
    std::vector<std::string> runnable{x64};
    if (!EngineIsX64()) runnable.push_back(x86);
    for (const std::string& installer : runnable) {
        fs::remove_all(DriveC() + kHelloFolder);
        RunResult ran = RunWine({installer, "/silent", "/a"}, 120);
        EXPECT_EQ(ran.exitCode, 0) << installer << "\n" << ran.output;
        EXPECT_TRUE(fs::exists(DriveC() + kHelloFolder + "/Install.log")) << installer;
    }
}

namespace {

const char kCompareKey[] = "HKLM\\Software\\Corvantis E2E\\Engines";
const char kCompareUninstallKey[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Engines E2E";
const char kCompareFolder[] = "/cs_e2e_engines";

// The installation folder comes from a registry value, an older copy is recorded in the
// uninstall key, and the pre-installation batch writes the folders a product sees into the log.
const char kCompareProject[] = R"([product]
name = "Engines E2E"
version = "2.0"
[install]
folder = "HKLM\\Software\\Corvantis E2E\\Engines\\Folder"
[options]
log_pre_install_batch = true
[batches]
pre_install = '''
echo ProgramsDir=%ProgramsDir%
echo ProgramsDir32=%ProgramsDir32%
echo ProgramsDir64=%ProgramsDir64%
echo CommonDir=%CommonDir%
echo CommonDir32=%CommonDir32%
echo CommonDir64=%CommonDir64%
echo SharedDir=%SharedDir%
echo SystemDir=%SystemDir%
echo Bits=%Bits%
echo OldVersion=%OldVersion%
'''
)";

// The log without the lines that differ from run to run (the date).
std::string StableLog(const std::string& log) {
    std::istringstream in(log);
    std::string line, out;
    while (std::getline(in, line))
        if (line.rfind("Install date:", 0) != 0) out += line + "\n";
    return out;
}

// Installs the project with the given engine into a clean folder; returns Install.log.
std::string InstallWith(bool x64) {
    std::string dir = TempDir();
    std::string project = dir + "/engines.toml", setup = dir + "/engines-setup.exe";
    EXPECT_TRUE(WriteFile(project, kCompareProject));
    RunResult built = RunBuilder({"build", project, "-o", setup, "--stub", EngineOfBitness(x64)});
    EXPECT_EQ(built.exitCode, 0) << built.output;
    std::string folder = DriveC() + kCompareFolder;
    fs::remove_all(folder);
    fs::create_directories(folder);
    // Each engine finds the same older copy: an installation rewrites the entry with its own.
    RegDeleteKey(kCompareUninstallKey);
    RegAdd(kCompareUninstallKey, "InstallLocation", "C:\\cs_e2e_engines");
    RegAdd(kCompareUninstallKey, "DisplayVersion", "1.5");
    RunResult ran = RunWine({setup, "/silent", "/a"}, 120);
    EXPECT_EQ(ran.exitCode, 0) << (x64 ? "x64: " : "x86: ") << ran.output;
    std::string log;
    EXPECT_TRUE(ReadFile(folder + "/Install.log", log)) << (x64 ? "x64" : "x86") << ": no Install.log";
    return StableLog(log);
}

} // namespace

TEST(EnginesUnderWine, OneProjectInstallsAlikeWithEitherEngine) {
    RegAdd(kCompareKey, "Folder", "C:\\cs_e2e_engines");

    std::string x64 = InstallWith(true);
    // What the 32-bit engine shows on 64-bit Windows, which the 64-bit engine must show too.
    for (const char* line :
         {"Install type: Reinstall", "Overwriting version: 1.5", "Install location: C:\\cs_e2e_engines",
          "ProgramsDir=C:\\Program Files (x86)", "ProgramsDir32=C:\\Program Files (x86)",
          "ProgramsDir64=C:\\Program Files", "CommonDir32=C:\\Program Files (x86)\\Common Files",
          "CommonDir64=C:\\Program Files\\Common Files",
          "SharedDir=C:\\Program Files (x86)\\Common Files\\Engines E2E", "Bits=64", "OldVersion=1.5"})
        EXPECT_TRUE(TextContains(x64, line)) << "missing: " << line << "\n" << x64;

    if (EngineIsX64()) {
        std::printf("this machine runs no 32-bit code: the 64-bit run was compared with fixed lines only\n");
    } else {
        std::string x86 = InstallWith(false);
        EXPECT_EQ(x86, x64) << "the two engines' logs differ";
    }
    RegDeleteKey(kCompareKey);
    RegDeleteKey(kCompareUninstallKey);
    fs::remove_all(DriveC() + kCompareFolder);
}
