// The file data stream under Wine: installers built by corvantis-build extract their files
// (the extraction file made in the temporary folder, registered for deletion at restart and
// deleted at the end); a damaged chunk is code 62 in inspect, in the engine's exit code 2 and
// in the log's failure summary.
#include "payload/Crc32.h"
#include "payload/DataStream.h"
#include "payload/PayloadHeader.h"
#include "payload/PayloadReader.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>

using namespace cs;
using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

std::string Random(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random());
    return out;
}

// A project of mixed files: incompressible, compressible, many small ones.
std::string WriteProject(const std::string& dir, const std::string& extraInstall,
                         const std::string& options) {
    WriteFile(dir + "/random.bin", Random(2500000, 1));
    std::string text;
    while (text.size() < 1500000)
        text += "line " + std::to_string(text.size()) + " of a compressible text file\r\n";
    WriteFile(dir + "/text.txt", text);
    std::string toml = "[product]\nname = \"Extraction E2E\"\nversion = \"1.0\"\n[install]\nfolder = "
                       "\"C:\\\\cs_e2e_extract\"\n" +
                       extraInstall + "[options]\n" + options + "\n[[file]]\nsource = \"random.bin\"\n" +
                       "[[file]]\nsource = \"text.txt\"\n";
    for (int i = 0; i < 40; ++i) {
        std::string name = "small" + std::to_string(i) + ".dat";
        WriteFile(dir + "/" + name, Random(size_t(i * 37), uint32_t(i)));
        toml += "[[file]]\nsource = \"" + name + "\"\n";
    }
    WriteFile(dir + "/project.toml", toml);
    return dir + "/project.toml";
}

// The temporary files the prefix has registered for deletion at the next restart.
std::set<std::string> PendingTempFiles() {
    RunResult r = RunWine({"reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "/v",
                           "PendingFileRenameOperations"},
                          60);
    std::set<std::string> names;
    size_t at = 0;
    // The engine's run files: "~cs-run-<kind>-<process>-<number>.tmp".
    const std::string prefix = "~cs-run-";
    while ((at = r.output.find(prefix, at)) != std::string::npos) {
        size_t end = r.output.find_first_of("\\\r\n ", at);
        names.insert(r.output.substr(at, end - at));
        at += prefix.size();
    }
    return names;
}

// Whether a file of that name lies anywhere under the prefix's user folders (the temporary
// folder among them).
bool FoundUnderUsers(const std::string& name) {
    for (const auto& entry :
         fs::recursive_directory_iterator(DriveC() + "/users", fs::directory_options::skip_permission_denied))
        if (entry.path().filename().string() == name) return true;
    return false;
}

} // namespace

TEST(ExtractionUnderWine, InstallersOfEveryKindExtract) {
    struct Case {
        const char* what;
        const char* install;
        const char* options;
    } cases[] = {
        {"xz", "", "compress_files = true"},
        {"plain", "", "compress_files = false"},
        {"xz and Blowfish", "", "compress_files = true\nencrypt = true"},
        {"external data", "external_data = true\n", "compress_files = true"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string dir = TempDir();
        std::string project = WriteProject(dir, c.install, c.options);
        std::string setup = dir + "/setup.exe";
        RunResult built = RunBuilder({"build", project, "-o", setup, "--stub", Engine()});
        ASSERT_EQ(built.exitCode, 0) << built.output;
        RunResult inspected = RunBuilder({"inspect", setup});
        EXPECT_EQ(inspected.exitCode, 0) << inspected.output;
        size_t stream = inspected.output.find("\"dataStream\"");
        ASSERT_NE(stream, std::string::npos);
        EXPECT_TRUE(TextContains(inspected.output.substr(stream), "\"result\": \"ok\""));
        EXPECT_TRUE(TextContains(inspected.output.substr(stream), "\"name\": \"small39.dat\""));

        std::set<std::string> before = PendingTempFiles();
        RunResult ran = RunWine({setup, "/silent", "/a"}, 120);
        EXPECT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 0) << ran.output;
        // The extraction file was registered for deletion at restart, and is gone already.
        std::set<std::string> after = PendingTempFiles();
        std::vector<std::string> added;
        for (const std::string& name : after)
            if (!before.count(name)) added.push_back(name);
        ASSERT_EQ(added.size(), 1u) << "one new extraction file";
        EXPECT_FALSE(FoundUnderUsers(added[0])) << added[0];
    }
}

TEST(ExtractionUnderWine, DamagedChunkIsCode62Everywhere) {
    std::string dir = TempDir();
    std::string project = WriteProject(dir, "", "compress_files = true\nkeep_install_log = true");
    std::string setup = dir + "/setup.exe";
    RunResult built = RunBuilder({"build", project, "-o", setup, "--stub", Engine()});
    ASSERT_EQ(built.exitCode, 0) << built.output;

    ASSERT_NO_FATAL_FAILURE(DamageLastChunk(setup));

    RunResult inspected = RunBuilder({"inspect", setup});
    EXPECT_EQ(inspected.exitCode, 2);
    size_t stream = inspected.output.find("\"dataStream\"");
    ASSERT_NE(stream, std::string::npos) << inspected.output;
    EXPECT_TRUE(TextContains(inspected.output.substr(stream), "\"result\": 62"))
        << inspected.output.substr(stream);

    fs::remove_all(DriveC() + "/cs_e2e_extract");
    fs::create_directories(DriveC() + "/cs_e2e_extract");
    std::set<std::string> before = PendingTempFiles();
    RunResult ran = RunWine({setup, "/silent", "/a"}, 120);
    EXPECT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 2) << ran.output;
    // The extraction file was made (the chunk's checksum is tested while decoding), and the
    // partly written file does not wait for the restart.
    std::vector<std::string> added;
    for (const std::string& name : PendingTempFiles())
        if (!before.count(name)) added.push_back(name);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_FALSE(FoundUnderUsers(added[0])) << added[0];
    // The installation folder is chosen before the extraction, so the log has its place.
    std::string log;
    ASSERT_TRUE(ReadFile(DriveC() + "/cs_e2e_extract/Install.log", log));
    size_t summary = log.find("*** FAILURE SUMMARY ***");
    ASSERT_NE(summary, std::string::npos) << log;
    EXPECT_TRUE(TextContains(log.substr(summary), "Error code: 62")) << log;
}
