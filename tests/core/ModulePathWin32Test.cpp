// The module path comes back whole, for the program and for a library, also far beyond
// MAX_PATH; an unknown module gives "" and the system's error.
#include "core/ModulePathWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "support/TextPrint.h"
#include "support/WinTestFiles.h"

#include <gtest/gtest.h>

#include <vector>
#include <windows.h>

using namespace cs;

namespace {

// The program's path as the system gives it into a buffer of the largest size.
String SystemModulePath(HMODULE module) {
    std::vector<wchar_t> buffer(32769);
    DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    return FromW(buffer.data(), n);
}

} // namespace

TEST(ModulePath, RunningProgramAndLoadedLibrary) {
    SetLastError(ERROR_GEN_FAILURE);
    String own = ModuleFullPath();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(own, SystemModulePath(nullptr));
    ASSERT_GT(own.Length(), 3u);
    EXPECT_EQ(own.Sub(1, 2), u":\\");
    EXPECT_TRUE(EqualsNoCase(own.Sub(own.Length() - 4), u".exe"));

    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    String library = ModuleFullPath(kernel);
    EXPECT_EQ(library, SystemModulePath(kernel));
    EXPECT_TRUE(EqualsNoCase(FileNameOf(library), u"kernel32.dll")) << ToUtf8(library).c_str();
}

TEST(ModulePath, UnknownModuleGivesEmptyTextAndTheError) {
    // A heap block: no module lives there.
    std::vector<char> block(256);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(ModuleFullPath(reinterpret_cast<HMODULE>(block.data())), u"");
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(ModulePath, PathLongerThanMaxPathComesBackWhole) {
    // A copy of this program, far below the temporary folder, loaded as a module.
    String root = JoinPath(test::TempFolder(), Format(u"cs-module-path-%u", GetCurrentProcessId()));
    String folder = root;
    for (int i = 0; folder.Length() <= 2 * MAX_PATH + 20; ++i)
        folder = JoinPath(folder, Format(u"a-folder-of-the-long-path-%d", i));
    const String prefix = u"\\\\?\\";
    for (size_t at = root.Length(); at <= folder.Length(); ++at) {
        if (at < folder.Length() && folder[at] != u'\\') continue;
        ASSERT_TRUE(CreateDirectoryW(W(prefix + folder.Sub(0, at)), nullptr)) << GetLastError();
    }
    String copy = JoinPath(folder, u"module-path-copy.exe");
    ASSERT_TRUE(CopyFileW(W(prefix + ModuleFullPath()), W(prefix + copy), FALSE)) << GetLastError();

    HMODULE module = LoadLibraryExW(W(prefix + copy), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    DWORD loadError = GetLastError();
    String path = module ? ModuleFullPath(module) : String();
    if (module) FreeLibrary(module);
    DeleteFileW(W(prefix + copy));
    for (String f = folder; f.Length() >= root.Length(); f = RemoveLastComponents(f, 1))
        RemoveDirectoryW(W(prefix + f));
    if (!module) GTEST_SKIP() << "this system loads no module from a path this long: " << loadError;

    EXPECT_GT(path.Length(), 2u * MAX_PATH);
    EXPECT_TRUE(path == copy || path == prefix + copy) << ToUtf8(path).c_str();
}
