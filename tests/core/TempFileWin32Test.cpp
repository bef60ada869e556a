// Temporary files on the running system: new, distinct, empty files; no file where the
// folder cannot be made.
#include "core/Folders.h"
#include "core/Format.h"
#include "core/TempFile.h"
#include "core/Text.h"
#include "support/TextPrint.h"
#include "support/WinTestFiles.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>
#include <windows.h>

using namespace cs;
using cs::test::RemoveTree;

namespace {

bool IsEmptyFile(const String& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.nFileSizeLow == 0 &&
           data.nFileSizeHigh == 0;
}

String FileName(const String& path) {
    size_t slash = path.Length();
    while (slash > 0 && path[slash - 1] != u'\\')
        --slash;
    return path.Sub(slash);
}

// A fresh folder under the temporary folder, removed with its files at the end.
class TempFileOnSystem : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = JoinPath(SystemFolders().Temp(), Format(u"cs-tempfile-%u", GetCurrentProcessId()));
    }
    void TearDown() override {
        for (const String& f : made_)
            DeleteFileW(W(f));
        RemoveTree(folder_);
    }
    String Made(const String& path) {
        if (!path.IsEmpty()) made_.push_back(path);
        return path;
    }
    String folder_;
    std::vector<String> made_; // files made outside folder_
};

} // namespace

TEST_F(TempFileOnSystem, WithAndWithoutExtensionMakesDistinctEmptyFiles) {
    std::set<std::u16string> names;
    for (int i = 0; i < 25; ++i) {
        String plain = MakeTempFileName(folder_, u"");
        String withExt = MakeTempFileName(folder_, u".log");
        ASSERT_FALSE(plain.IsEmpty());
        ASSERT_FALSE(withExt.IsEmpty());
        EXPECT_TRUE(IsEmptyFile(plain)) << ToUtf8(plain).c_str();
        EXPECT_TRUE(IsEmptyFile(withExt)) << ToUtf8(withExt).c_str();
        EXPECT_EQ(FileName(plain).Sub(0, 3), u"KWT");
        EXPECT_EQ(FileName(withExt).Sub(0, 3), u"KWT");
        EXPECT_EQ(withExt.Sub(withExt.Length() - 4), u".log");
        EXPECT_EQ(withExt.Sub(0, folder_.Length() + 1), folder_ + u"\\");
        EXPECT_TRUE(names.insert(std::u16string(plain.View())).second);
        EXPECT_TRUE(names.insert(std::u16string(withExt.View())).second);
    }
}

TEST_F(TempFileOnSystem, MissingFoldersAreMade) {
    String nested = JoinPath(folder_, u"a\\b");
    String path = MakeTempFileName(nested, u"dat");
    ASSERT_FALSE(path.IsEmpty());
    EXPECT_TRUE(IsEmptyFile(path));
    EXPECT_EQ(path.Sub(0, nested.Length() + 1), nested + u"\\");
}

TEST_F(TempFileOnSystem, FolderThatCannotBeMadeGivesEmptyText) {
    ASSERT_FALSE(MakeTempFileName(folder_, u"x").IsEmpty()); // makes folder_
    String blocker = JoinPath(folder_, u"plain-file");
    HANDLE file =
        CreateFileW(W(blocker), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(MakeTempFileName(JoinPath(blocker, u"sub"), u"log"), u"");
    EXPECT_EQ(MakeTempFileName(JoinPath(blocker, u"sub"), u""), u"");
}

TEST_F(TempFileOnSystem, EmptyFolderMeansTheTemporaryFolder) {
    String path = Made(MakeTempFileName(u"", u"tmp"));
    ASSERT_FALSE(path.IsEmpty());
    EXPECT_TRUE(IsEmptyFile(path));
    EXPECT_EQ(path.Sub(0, SystemFolders().Temp().Length() + 1), SystemFolders().Temp() + u"\\");
    String plain = Made(MakeTempFileName());
    ASSERT_FALSE(plain.IsEmpty());
    EXPECT_TRUE(IsEmptyFile(plain));
}

namespace {
// The real file system with the system's own name refused, to reach the name search.
class NoSystemName : public TempFileSystem {
  public:
    bool MakeFolder(const String& path) override { return real_.MakeFolder(path); }
    bool SystemUniqueName(const String&, String&) override { return false; }
    bool Exists(const String& path) override { return real_.Exists(path); }
    bool FolderExists(const String& path) override { return real_.FolderExists(path); }
    bool CreateNewFile(const String& path, uint32_t& error) override {
        return real_.CreateNewFile(path, error);
    }
    String TempFolder() override { return real_.TempFolder(); }
    uint16_t Random16() override { return real_.Random16(); }

  private:
    TempFileSystem& real_ = SystemTempFileSystem();
};
} // namespace

TEST_F(TempFileOnSystem, NameSearchWhenTheSystemGivesNoName) {
    NoSystemName system;
    std::set<std::u16string> names;
    for (int i = 0; i < 10; ++i) {
        String path = MakeTempFileNameWith(system, folder_, u"");
        ASSERT_FALSE(path.IsEmpty());
        EXPECT_TRUE(IsEmptyFile(path));
        String name = FileName(path);
        ASSERT_EQ(name.Length(), 11u) << ToUtf8(name).c_str();
        EXPECT_EQ(name.Sub(0, 3), u"KWT");
        EXPECT_EQ(name.Sub(7), u".tmp");
        for (size_t k = 3; k < 7; ++k) {
            char16_t c = name[k];
            EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))
                << "upper-case hex, zero-padded";
        }
        EXPECT_TRUE(names.insert(std::u16string(path.View())).second);
    }
}
