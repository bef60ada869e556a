// The folders of the running system: every chain yields a usable, existing folder, and the
// registry reads keep their limits and views.
#include "core/Folders.h"
#include "core/OsInfo.h"
#include "core/Text.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

using namespace cs;

namespace {

const wchar_t* W(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

bool IsFolder(const String& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

String Env(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n && n < 1024 ? String(reinterpret_cast<const char16_t*>(buffer)) : String();
}

constexpr const char16_t* kCurrentVersion = u"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr const wchar_t* kTestKey = L"Software\\Corvantis\\Tests\\Folders";

void SetText(const wchar_t* name, DWORD type, const std::wstring& value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              0);
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

} // namespace

TEST(SystemFolders, EveryFolderResolvesToAnExistingFolder) {
    FolderResolver& folders = SystemFolders();
    for (int i = 0; i < static_cast<int>(FolderId::Count); ++i) {
        auto id = static_cast<FolderId>(i);
        String path = folders.Resolve(id);
        SCOPED_TRACE(ToUtf8(String(FolderIdName(id)) + u"=" + path).c_str());
        ASSERT_FALSE(path.IsEmpty());
        EXPECT_TRUE(path.Length() <= 3 || path.Last() != u'\\') << "no trailing backslash";
        // The web folders exist only where a web server is installed; the media folder where
        // the system names one (the fixed fallback may be missing).
        if (id == FolderId::WebRoot || id == FolderId::WebServer) continue;
        if (id == FolderId::Media &&
            folders.RegistryValue(RegistryRoot::LocalMachine, kCurrentVersion, u"MediaPath").IsEmpty())
            continue;
        if (id == FolderId::ProgramFiles64 || id == FolderId::CommonFiles64) {
            if (!CurrentOsRecord().is64BitWindows) continue;
        }
        EXPECT_TRUE(IsFolder(path));
    }
}

TEST(SystemFolders, ViewsAndTemporaryFolder) {
    FolderResolver& folders = SystemFolders();
    if (CurrentOsRecord().is64BitWindows) {
        EXPECT_NE(folders.ProgramFiles(), folders.ProgramFiles(FolderView::Bits64));
        EXPECT_EQ(folders.ProgramFiles(FolderView::Bits64), Env(L"ProgramW6432"));
        EXPECT_EQ(folders.CommonFiles(FolderView::Bits64), Env(L"CommonProgramW6432"));
        EXPECT_NE(FindNoCase(folders.ProgramFiles(), u" (x86)"), String::npos);
    } else {
        EXPECT_EQ(folders.ProgramFiles(), folders.ProgramFiles(FolderView::Bits64));
    }
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    EXPECT_EQ(folders.Temp(), NormalizeFolderPath(String(reinterpret_cast<const char16_t*>(temp))));
    char16_t boot = folders.BootDriveLetter();
    EXPECT_TRUE(boot >= u'A' && boot <= u'Z');
}

TEST(SystemFolders, RegistryViewsDiffer) {
    if (!CurrentOsRecord().is64BitWindows) GTEST_SKIP() << "one view only on 32-bit Windows";
    FolderSources& sources = SystemFolderSources();
    const String key = u"Software\\Microsoft\\Windows\\CurrentVersion";
    RegistryText view32 =
        sources.ReadRegistry(RegistryRoot::LocalMachine, key, u"ProgramFilesDir", RegistryView::Bits32);
    RegistryText view64 =
        sources.ReadRegistry(RegistryRoot::LocalMachine, key, u"ProgramFilesDir", RegistryView::Bits64);
    ASSERT_TRUE(view64.found);
    EXPECT_EQ(FindNoCase(view64.text, u" (x86)"), String::npos) << ToUtf8(view64.text).c_str();
    // A Wine prefix made on a machine that runs no 32-bit code has no 32-bit half: no
    // syswow64 folder and no values of the 32-bit view but those programs write there.
    wchar_t wow64[MAX_PATH] = {};
    if (!view32.found && GetSystemWow64DirectoryW(wow64, MAX_PATH) &&
        GetFileAttributesW((std::wstring(wow64) + L"\\kernel32.dll").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the prefix has no 32-bit half (made where 32-bit code cannot run)";
    ASSERT_TRUE(view32.found);
    EXPECT_NE(FindNoCase(view32.text, u" (x86)"), String::npos) << ToUtf8(view32.text).c_str();
}

TEST(SystemFolders, RegistryReadLimitsTypesAndExpansion) {
    SetText(L"AtLimit", REG_SZ, L"C:\\" + std::wstring(kRegistryTextMaxChars - 3, L'a'));
    SetText(L"OverLimit", REG_SZ, L"C:\\" + std::wstring(kRegistryTextMaxChars - 2, L'a'));
    SetText(L"Expand", REG_EXPAND_SZ, L"%SystemRoot%\\Media");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_WRITE, &key), 0);
    DWORD number = 7;
    RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);

    FolderResolver& folders = SystemFolders();
    const String testKey(reinterpret_cast<const char16_t*>(kTestKey));
    const auto user = RegistryRoot::CurrentUser;
    EXPECT_EQ(folders.RegistryValue(user, testKey, u"AtLimit").Length(), kRegistryTextMaxChars);
    EXPECT_EQ(folders.RegistryValue(user, testKey, u"OverLimit"), u"");
    EXPECT_EQ(folders.RegistryValue(user, testKey, u"Number"), u"") << "not text";
    EXPECT_EQ(folders.RegistryValue(user, testKey, u"Missing"), u"");
    EXPECT_EQ(folders.RegistryValue(user, u"Software\\Corvantis\\NoSuchKey", u"X"), u"");
    EXPECT_EQ(folders.RegistryValue(user, testKey, u"Expand"), Env(L"SystemRoot") + u"\\Media");

    RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); // its own key only: other test programs may run meanwhile
}
