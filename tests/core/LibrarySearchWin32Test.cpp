// The library search once restricted at start-up: a library present only in the working
// folder (as in a downloads folder an installer runs from) is not found by name any more,
// while system libraries and the product's own libraries by full path still load.
#include "core/Folders.h"
#include "core/Format.h"
#include "core/SystemLibraryWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "support/WinTestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace cs;
using cs::test::Exists;
using cs::test::Narrow;
using cs::test::ProgramFolder;
using cs::test::RemoveTree;

namespace {

String ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return FromW(path);
}

class LibrarySearch : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = JoinPath(SystemFolders().Temp(), Format(u"cs-library-search-%u", GetCurrentProcessId()));
        RemoveTree(folder_);
        ASSERT_TRUE(CreateDirectoryW(W(folder_), nullptr));
        String planted = JoinPath(ProgramFolder(), u"cs-planted-library.dll");
        for (const char16_t* name : {u"cs-only-here-a.dll", u"cs-only-here-b.dll", u"cs-own-library.dll"})
            ASSERT_TRUE(CopyFileW(W(planted), W(JoinPath(folder_, name)), FALSE))
                << "the fixture beside the test";
        wchar_t previous[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, previous);
        previous_ = FromW(previous);
        ASSERT_TRUE(SetCurrentDirectoryW(W(folder_)));
    }
    void TearDown() override {
        SetCurrentDirectoryW(W(previous_));
        RemoveTree(folder_);
    }
    String folder_, previous_;
};

} // namespace

TEST_F(LibrarySearch, AfterTheStartUpStepTheWorkingFolderIsNoLongerSearched) {
    // Before: the working folder is part of the search, so a planted library is found.
    HMODULE before = LoadLibraryW(L"cs-only-here-a.dll");
    ASSERT_NE(before, nullptr) << "the working folder is searched by default";
    EXPECT_TRUE(Exists(JoinPath(folder_, u"cs-only-here-a.dll.loaded"))) << "its code ran";
    FreeLibrary(before);

    EXPECT_TRUE(RestrictLibrarySearch()) << "the system has the default-directories call";

    SetLastError(0);
    HMODULE after = LoadLibraryW(L"cs-only-here-b.dll");
    EXPECT_EQ(after, nullptr) << "found in the working folder after the restriction";
    if (after) FreeLibrary(after);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(Exists(JoinPath(folder_, u"cs-only-here-b.dll.loaded"))) << "its code did not run";

    // System libraries that are no known libraries still load, from the system folder.
    String system = GetFolder(FolderId::System);
    for (const wchar_t* name : {L"version.dll", L"winmm.dll", L"wintrust.dll", L"comctl32.dll"}) {
        HMODULE module = LoadSystemLibrary(name);
        ASSERT_NE(module, nullptr) << Narrow(FromW(name));
        EXPECT_TRUE(StartsWithNoCase(ModulePath(module), (system + u"\\").c_str()))
            << Narrow(ModulePath(module));
    }

    // The product's own library by its full path still loads.
    HMODULE own = LoadLibraryFromItsFolder(JoinPath(folder_, u"cs-own-library.dll"));
    EXPECT_NE(own, nullptr);
    if (own) FreeLibrary(own);
}
