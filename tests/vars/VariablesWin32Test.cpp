// Every variable expanded on the real system, each compared with what Windows itself reports.
#include "vars/VariablesWin32.h"

#include "core/Format.h"
#include "core/Text.h"
#include "runtime/InstallerState.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

using namespace cs;

namespace {

String FromW(const wchar_t* s) {
    return String(reinterpret_cast<const char16_t*>(s));
}

String Csidl(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return FromW(path);
}

String Windows() {
    wchar_t path[MAX_PATH] = {};
    GetWindowsDirectoryW(path, MAX_PATH);
    return FromW(path);
}

String SystemDir() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return FromW(path);
}

String ModulePath() {
    wchar_t path[1025] = {};
    GetModuleFileNameW(nullptr, path, 1024);
    return FromW(path);
}

String TempNoSlash() {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    String t = FromW(path);
    if (t.Length() > 3 && t.Last() == u'\\') t.Truncate(t.Length() - 1);
    return t;
}

void PrepareState() {
    InstallerState& s = Installer();
    s.definition.productName = u"Hello";
    s.definition.publisher = u"Corvantis Samples";
    s.definition.productVersion = u"2.5.7";
    s.productVersion8 = "2.5.7";
    s.definition.uninstallSubdir = u"uninst";
    s.folders.installDir = u"C:\\Program Files\\Hello";
    s.existing.oldVersion = u"2.4";
    s.choices.language = u"English";
    s.existing.installType = 2;
}

} // namespace

TEST(VariablesOnWindows, EveryVariableMatchesTheSystem) {
    PrepareState();
    Array<Variable> table = VariableTable(CurrentVariableInputs());
    ASSERT_EQ(table.Count(), kVariableCount);
    String text;
    for (const Variable& v : table)
        text += String(v.name) + u"|";
    ExpandInstallerVariables(text);

    Array<String> values;
    size_t start = 0;
    for (size_t i = 0; i < text.Length(); ++i)
        if (text[i] == u'|') {
            values.Append(text.Sub(start, i - start));
            start = i + 1;
        }
    ASSERT_EQ(values.Count(), kVariableCount) << ToUtf8(text).c_str();

    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&version);
#pragma GCC diagnostic pop
    String module = ModulePath();
    size_t slash = module.View().find_last_of(u'\\');
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);

    struct Expected {
        int row; // 0-based
        String value;
    } expected[] = {
        {0, Csidl(CSIDL_COMMON_APPDATA)},
        {1, Csidl(CSIDL_APPDATA)},
        {2, u"0"},
        {3, sizeof(void*) == 8 || wow64 ? u"64" : u"32"}, // the Windows' bitness, not the engine's
        {8, Csidl(CSIDL_COMMON_DESKTOPDIRECTORY)},
        {9, Csidl(CSIDL_DESKTOPDIRECTORY)},
        {12, Csidl(CSIDL_COMMON_DOCUMENTS)},
        {13, Csidl(CSIDL_PERSONAL)},
        {14, u"2"},
        {17, Csidl(CSIDL_FONTS)},
        {19, u"C:\\Program Files\\Hello"},
        {20, u"C:"},
        {21, module.Sub(0, slash)},
        {23, module.Sub(slash + 1)},
        {24, module},
        {26, u"English"},
        {27, u"C:\\Program Files\\Hello\\uninst\\Install.log"},
        {29, u"0"},
        {30, u"2.4"},
        {31, u"2"},
        {32, u"4"},
        {34, u"Hello"},
        {35, u"Corvantis Samples"},
        {40, Csidl(CSIDL_COMMON_PROGRAMS)},
        {41, Csidl(CSIDL_PROGRAMS)},
        {42, Csidl(CSIDL_COMMON_STARTMENU)},
        {44, Csidl(CSIDL_STARTMENU)},
        {45, Csidl(CSIDL_COMMON_STARTUP)},
        {46, Csidl(CSIDL_STARTUP)},
        {47, SystemDir()},
        {48, TempNoSlash()},
        {49, u"C:\\Program Files\\Hello\\uninst"},
        {50, Windows()},
        {51, u"2.5.7"},
        {52, u"2"},
        {53, u"5"},
        {54, u"7"},
        {56, Format(u"%u", version.dwMajorVersion)},
        {57, Format(u"%u", version.dwMinorVersion)},
        // The 32-bit program folders, as a 32-bit program sees them on either Windows,
        // whichever engine asks.
        {6, sizeof(void*) == 8 || wow64 ? Csidl(CSIDL_PROGRAM_FILES_COMMONX86)
                                        : Csidl(CSIDL_PROGRAM_FILES_COMMON)},
        {37, sizeof(void*) == 8 || wow64 ? Csidl(CSIDL_PROGRAM_FILESX86) : Csidl(CSIDL_PROGRAM_FILES)},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(CompareNoCase(values[e.row], e.value), 0)
            << ToUtf8(String(table[e.row].name)).c_str() << ": " << ToUtf8(values[e.row]).c_str() << " vs "
            << ToUtf8(e.value).c_str();
    // Every folder-valued row that names a folder the prefix has must exist.
    for (int row : {0, 1, 5, 6, 8, 9, 12, 13, 17, 36, 37, 40, 41, 42, 44, 45, 46, 47, 48, 50}) {
        DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(values[row].c_str()));
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            << ToUtf8(String(table[row].name)).c_str() << " = " << ToUtf8(values[row]).c_str();
    }
    EXPECT_FALSE(values[59].IsEmpty()) << "%OSDescription%";
    EXPECT_NE(FindNoCase(values[59], u"Windows"), String::npos) << ToUtf8(values[59]).c_str();
}

TEST(VariablesOnWindows, EnvironmentStepExpandsSystemVariablesOnly) {
    PrepareState();
    wchar_t systemRoot[MAX_PATH] = {};
    GetEnvironmentVariableW(L"SystemRoot", systemRoot, MAX_PATH);
    String text(u"%SystemRoot%|%NoSuchThing%|100%%|%INSTALLDIR%");
    ExpandInstallerVariables(text);
    EXPECT_EQ(text, FromW(systemRoot) + u"|%NoSuchThing%|100%%|C:\\Program Files\\Hello");
}

TEST(VariablesOnWindows, SessionNumbersAreRandomWithTopBitClear) {
    uint64_t a = DrawSessionNumber(), b = DrawSessionNumber();
    EXPECT_NE(a, b);
    EXPECT_EQ(a >> 63, 0u);
    EXPECT_EQ(b >> 63, 0u);
}

TEST(VariablesOnWindows, PlaceholdersUseTheUserDateFormat) {
    PrepareState();
    Installer().definition.buildDate = {2026, 12, 9};
    String text(u"<product> <lbdate>");
    ExpandInstallerPlaceholders(text);
    EXPECT_EQ(text, String(u"Hello ") + FormatUserDate({2026, 12, 9}));
    EXPECT_NE(FindNoCase(text, u"2026"), String::npos) << ToUtf8(text).c_str();
}
