// The definition under Wine and through the builder's command line: the hello example
// builds with one command and inspects to its definition; definitions beyond the engine's
// limits are shown with their code by inspect and end the engine with exit code 2; a wrong
// project file leaves no output behind.
#include "builder/InstallerWriter.h"
#include "payload/DefinitionReader.h"
#include "payload/DefinitionTestSupport.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

using namespace cs;
using namespace cs::e2e;

namespace {

std::string SourceDir() {
    return CORVANTIS_SOURCE_DIR;
}

TEST(DefinitionE2E, HelloExampleBuildsInspectsAndRuns) {
    std::string out = TempDir() + "/hello-setup.exe";
    RunResult built =
        RunBuilder({"build", SourceDir() + "/examples/hello/hello.toml", "-o", out, "--stub", Engine()});
    ASSERT_EQ(built.exitCode, 0) << built.output;
    RunResult inspected = RunBuilder({"inspect", out});
    EXPECT_EQ(inspected.exitCode, 0) << inspected.output;
    for (const char* text : {"\"decodedDefinition\"", "\"product_name\": \"Hello Corvantis\"",
                             "\"target\": \"%InstallDir%\\\\hello.bat\"", "Greeting", "\"languages\": [",
                             "\"default_folder\": \"C:\\\\Program Files (x86)\\\\Hello Corvantis\""})
        EXPECT_NE(inspected.output.find(text), std::string::npos) << text << "\n" << inspected.output;
    // The engine reads the definition to its end mark and passes its checks.
    RunResult ran = RunWine({out, "/silent"}, 60);
    EXPECT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;
}

TEST(DefinitionE2E, WrongProjectLeavesNoOutput) {
    std::string dir = TempDir();
    std::string project = dir + "/bad.toml";
    ASSERT_TRUE(WriteFile(project, "[product]\nname = \"Bad\"\n[wizard]\nbitmap_size = 101\n"));
    std::string out = dir + "/bad.exe";
    ASSERT_TRUE(WriteFile(out, "an installer of an earlier build"));
    RunResult built = RunBuilder({"build", project, "-o", out, "--stub", Engine()});
    EXPECT_EQ(built.exitCode, 1);
    EXPECT_NE(built.output.find(project + ":4: wizard.bitmap_size: must be between 0 and 100"),
              std::string::npos)
        << built.output;
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Installers whose definitions break one limit each: inspect names the code, and the engine
// (silent, so no box waits) ends with exit code 2.
TEST(DefinitionE2E, LimitsEndTheEngineWithExitCode2) {
    std::string stubBytes;
    ASSERT_TRUE(ReadFile(Engine(), stubBytes));
    struct Case {
        const char* what;
        void (*set)(Definition&);
        int code;
        void (*edit)(std::string&) = nullptr; // on the written bytes
    } cases[] = {
        {"bitmap size 101", [](Definition& d) { d.bitmapSize = 101; }, 39},
        {"21 licences", [](Definition& d) { d.licences.SetCount(21); }, 24},
        {"status time 10000", [](Definition& d) { d.minStatusTime = 10000; }, 19},
        {"1002 deletions",
         [](Definition& d) {
             d.deletions.SetCount(1002);
             for (FileDeletion& e : d.deletions)
                 e.pattern = "x";
         },
         38},
        {"no language",
         [](Definition& d) {
             d.languages.names.Clear();
             d.languages.strings.clear();
         },
         30},
        {"fine at the edges",
         [](Definition& d) {
             d.bitmapSize = 100;
             d.minStatusTime = 9999;
             d.licences.SetCount(20);
         },
         0},
        // Another writer's definition ends at the language table: no firewall field at all.
        {"no firewall field", [](Definition&) {}, 0, [](std::string& b) { b.erase(b.size() - 8, 4); }},
        {"no firewall field, language table cut short", [](Definition&) {}, 32,
         [](std::string& b) { b.erase(b.size() - 10, 6); }},
    };
    for (const Case& c : cases) {
        Definition d = test::MinimalDefinition();
        c.set(d);
        std::string bytes, error;
        ASSERT_TRUE(WriteDefinition(d, 0, bytes, error, false)) << error;
        if (c.edit) c.edit(bytes);
        PackInput input;
        input.stub.assign(stubBytes.begin(), stubBytes.end());
        input.definition.assign(bytes.begin(), bytes.end());
        PackResult packed;
        ASSERT_TRUE(PackInstaller(input, packed, error)) << error;
        std::string path = TempDir() + "/limit.exe";
        ASSERT_TRUE(WriteFile(path, std::string(packed.installer.begin(), packed.installer.end())));
        RunResult inspected = RunBuilder({"inspect", path});
        EXPECT_EQ(inspected.exitCode, c.code ? 2 : 0) << c.what;
        std::string expected =
            c.code ? "\"result\": " + std::to_string(c.code) : std::string("\"result\": \"ok\"");
        size_t decoded = inspected.output.find("\"decodedDefinition\"");
        ASSERT_NE(decoded, std::string::npos) << inspected.output;
        EXPECT_NE(inspected.output.find(expected, decoded), std::string::npos) << c.what << "\n"
                                                                               << inspected.output;
        RunResult ran = RunWine({path, "/silent"}, 60);
        EXPECT_FALSE(ran.timedOut) << c.what;
        EXPECT_EQ(ran.exitCode, c.code ? 2 : 0) << c.what << "\n" << ran.output;
    }
}

// A definition that breaks only its end mark has its language table loaded: the box takes
// its title from language string 21 and its text from string 13.
TEST(DefinitionE2E, CorruptBoxUsesTheDefinitionsTexts) {
    std::string stubBytes;
    ASSERT_TRUE(ReadFile(Engine(), stubBytes));
    Definition d = test::MinimalDefinition(22);
    d.languages.At(13, 0) = u"Broken download";
    d.languages.At(21, 0) = u"Hello Problem";
    std::string bytes, error;
    ASSERT_TRUE(WriteDefinition(d, 0, bytes, error)) << error;
    bytes[bytes.size() - 1] ^= 0x55; // the end mark
    PackInput input;
    input.stub.assign(stubBytes.begin(), stubBytes.end());
    input.definition.assign(bytes.begin(), bytes.end());
    PackResult packed;
    ASSERT_TRUE(PackInstaller(input, packed, error)) << error;
    std::string path = TempDir() + "/endmark.exe";
    ASSERT_TRUE(WriteFile(path, std::string(packed.installer.begin(), packed.installer.end())));

    Process process({path});
    std::optional<std::string> box = WaitForWindow("^Hello Problem$", 60);
    ASSERT_TRUE(box.has_value()) << "no box titled by language string 21";
    Screenshot(TempDir() + "/endmark-box.png");
    PressKey(*box, "Return");
    RunResult ran = process.Wait(60);
    EXPECT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 2) << ran.output;
}

} // namespace
