// `corvantis-build new DIR`: the project it writes builds into an installer the engine's
// checks accept, holding the project's files; the product is named after the folder, with
// the characters TOML must escape; an occupied folder is refused.
#include "builder/NewProject.h"
#include "builder/Project.h"
#include "core/Text.h"

#include "payload/FakePe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace cs;

// The product is named after the folder; names that TOML texts must escape come back as
// they were given, and the project reads with its files in place.
TEST(NewProject, TheProductIsNamedAfterTheFolder) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("cs-new-names-" + std::to_string(::getpid()));
    fs::remove_all(dir);
#ifdef _WIN32
    // Windows folder names take none of the characters TOML escapes.
    const char* names[] = {"Hello", "My App"};
#else
    const char* names[] = {"Hello", "Quote \" and back\\slash", "Tab\there", "Caf\xC3\xA9"};
#endif
    for (const std::string name : names) {
        std::string error;
        ASSERT_TRUE(WriteNewProject((dir / name).string() + "/", error)) << name << ": " << error;
        Project project;
        ASSERT_TRUE(LoadProject((dir / name / "project.toml").string(), project, error))
            << name << ": " << error;
        String8 product = ToUtf8(project.definition.productName);
        EXPECT_EQ(std::string(product.c_str(), product.Length()), name);
        EXPECT_EQ(project.files.size(), 3u) << name;
    }
    fs::remove_all(dir);
}

#if defined(CORVANTIS_BUILD_TOOL)
#include "builder/RunTool.h"

TEST(NewCommand, WritesAProjectThatBuildsAValidInstaller) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("cs-new-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Bytes stub = test::MakeFakeStub();
    std::ofstream(dir / "stub.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(stub.data()), static_cast<std::streamsize>(stub.size()));
    fs::path project = dir / "My App";
    std::string out;
    ASSERT_EQ(RunTool("new '" + project.string() + "'", out), 0) << out;
    ASSERT_EQ(RunTool("build '" + (project / "project.toml").string() + "' -o " +
                          (dir / "setup.exe").string() + " --stub " + (dir / "stub.exe").string(),
                      out),
              0)
        << out;
    ASSERT_EQ(RunTool("inspect " + (dir / "setup.exe").string(), out), 0) << out;
    EXPECT_NE(out.find("\"verdict\": \"ok\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"product_name\": \"My App\""), std::string::npos) << out;
    for (const char* file : {"\"name\": \"app.bat\"", "\"name\": \"readme.txt\"", "getting-started.txt"})
        EXPECT_NE(out.find(file), std::string::npos) << file;

    // Not over an existing project.
    EXPECT_EQ(RunTool("new '" + project.string() + "'", out), 1);
    EXPECT_NE(out.find("not an empty folder"), std::string::npos) << out;
    fs::remove_all(dir);
}
#endif
