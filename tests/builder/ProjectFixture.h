// A project in a temporary folder of its own, with small source files, read by the builder
// and its definition read back by the engine's reader.
#pragma once

#include "builder/Project.h"
#include "builder/SourceTree.h"
#include "payload/DefinitionReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cs {

namespace fs = std::filesystem;

// A folder of its own under the build tree's temporary area, with small source files.
class ProjectFiles : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("cs-project-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        Put("app.exe", "MZ pretend program");
        Put("readme.txt", "Read me\r\n");
        Put("licence.rtf", "{\\rtf1 Licence}");
        Put("licence.txt", "Plain \xC3\xA9");
        Put("icon.ico", std::string("\0\0\1\0icon", 8));
        Put("merge.reg", "REGEDIT4\r\n");
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Put(const std::string& name, const std::string& bytes) {
        fs::path file = dir_ / PathFromUtf8(name);
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::string ProjectPath() const { return (dir_ / "project.toml").string(); }
    bool Load(const std::string& text, Project& project, std::string& error) {
        return LoadProjectText(text, ProjectPath(), project, error);
    }
    Project LoadOk(const std::string& text) {
        Project project;
        std::string error;
        EXPECT_TRUE(Load(text, project, error)) << error;
        return project;
    }
    // Loading `text` fails with a message that names the project file and holds `expected`.
    void ExpectError(const std::string& text, const std::string& expected) {
        Project project;
        std::string error;
        EXPECT_FALSE(Load(text, project, error)) << text;
        EXPECT_NE(error.find(ProjectPath() + ":"), std::string::npos) << error;
        EXPECT_NE(error.find(expected), std::string::npos) << "expected: " << expected << "\ngot: " << error;
    }
    // The definition as the engine reads it back from the builder's bytes.
    DefinitionState ThroughTheEngine(const Project& project) {
        std::string bytes, error;
        EXPECT_TRUE(WriteDefinition(project.definition, project.payloadFlags, bytes, error)) << error;
        DefinitionState state;
        state.payloadFlags = project.payloadFlags;
        DefinitionEnvironment env;
        env.windowsFolder = u"C:\\Windows";
        env.programFiles32 = u"C:\\PF32";
        env.programFiles64 = u"C:\\PF64";
        EXPECT_EQ(ReadDefinition(bytes.data(), bytes.size(), env, state), 0);
        return state;
    }

    fs::path dir_;
};

} // namespace cs
