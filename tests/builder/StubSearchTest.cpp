// The builder finds the engine stub of the project's engine without options after a build.
#include "builder/StubSearch.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cs;

namespace {

// A build tree in a temporary folder: build/host/bin (the builder), build/win32/bin and
// build/win64/bin with the files asked for.
class StubSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("cs-stub-search-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* folder : {"host", "win32", "win64"})
            fs::create_directories(root_ / folder / "bin");
    }
    void TearDown() override { fs::remove_all(root_); }
    void Touch(const fs::path& path) { std::ofstream(path) << "MZ"; }
    fs::path Bin(const char* preset) { return root_ / preset / "bin"; }

    fs::path root_;
};

} // namespace

TEST_F(StubSearch, EachEngineFromItsBuildFolder) {
    Touch(Bin("win32") / "corvantis-setup.exe");
    Touch(Bin("win64") / "corvantis-setup-x64.exe");
    std::string tried;
    EXPECT_EQ(FindStub("", "", Bin("host"), EngineKind::X86, tried),
              (Bin("win32") / "corvantis-setup.exe").string());
    EXPECT_EQ(FindStub("", "", Bin("host"), EngineKind::X64, tried),
              (Bin("win64") / "corvantis-setup-x64.exe").string());
    // corvantis-build.exe lies in build/win32/bin beside the 32-bit engine.
    EXPECT_EQ(FindStub("", "", Bin("win32"), EngineKind::X64, tried),
              (Bin("win64") / "corvantis-setup-x64.exe").string());
}

TEST_F(StubSearch, OrderOfTheSources) {
    Touch(Bin("host") / "corvantis-setup.exe");
    Touch(Bin("win32") / "corvantis-setup.exe");
    std::string tried;
    EXPECT_EQ(FindStub("", "", Bin("host"), EngineKind::X86, tried),
              (Bin("host") / "corvantis-setup.exe").string())
        << "beside the builder comes first";
    EXPECT_EQ(FindStub("", "/env/stub.exe", Bin("host"), EngineKind::X86, tried), "/env/stub.exe");
    EXPECT_EQ(FindStub("given.exe", "/env/stub.exe", Bin("host"), EngineKind::X86, tried), "given.exe");
}

TEST_F(StubSearch, NoneFoundListsWhereItLooked) {
    std::string tried;
    EXPECT_EQ(FindStub("", "", Bin("host"), EngineKind::X64, tried), "");
    EXPECT_NE(tried.find((Bin("host") / "corvantis-setup-x64.exe").string()), std::string::npos) << tried;
    EXPECT_NE(tried.find((Bin("win64") / "corvantis-setup-x64.exe").string()), std::string::npos) << tried;
}
