#include "vars/VariablesWin32.h"

#include "core/Format.h"
#include "core/ModulePathWin32.h"
#include "core/Random.h"
#include "core/SystemLibraryWin32.h"
#include "core/WinText.h"
#include "runtime/InstallerState.h"

#include <windows.h>

namespace cs {

namespace {

bool OnRemoteDrive(const String& path) {
    if (path.Length() < 2 || path[1] != u':') return false;
    wchar_t root[4] = {static_cast<wchar_t>(path[0]), L':', L'\\', 0};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

} // namespace

VariableInputs CurrentVariableInputs() {
    const InstallerState& state = Installer();
    const Definition& d = state.definition;
    VariableInputs in;
    in.installDir = state.folders.installDir;
    in.sharedDir = state.folders.sharedDir;
    in.uninstallSubdir = d.uninstallSubdir;
    in.uninstallerPath = state.folders.uninstallerPath;
    in.productName = d.productName;
    in.companyName = d.publisher;
    in.productVersion = d.productVersion;
    in.productVersion8 = state.productVersion8;
    in.oldVersion = state.existing.oldVersion;
    in.language = state.choices.language;
    in.startMenuFolder = state.choices.startMenuFolder;
    in.desktopSubfolder = d.desktopFolder;
    in.automatic = state.automatic;
    in.allUsers = state.choices.allUsers;
    in.package64 = (d.optionWord2 & kOpt2Product64Bit) != 0;
    in.portable = state.choices.portable;
    in.installType = state.existing.installType;
    in.installDirOnRemoteDrive = OnRemoteDrive(state.folders.installDir);
    in.installerPath = ModuleFullPath();
    in.windowsDir = SystemFolders().Windows();
    in.bootDriveLetter = SystemFolders().BootDriveLetter();
    in.os = CurrentOsRecord();
    in.osFacts = CurrentOsNameFacts();
    in.folder = [](FolderId id) { return GetFolder(id); };
    return in;
}

bool ExpandEnvironment(const String& text, String& out) {
    static wchar_t buffer[kEnvironmentExpansionMaxChars + 1];
    DWORD n = ExpandEnvironmentStringsW(W(text), buffer, kEnvironmentExpansionMaxChars + 1);
    if (n == 0) return false;
    buffer[kEnvironmentExpansionMaxChars] = 0;
    out = reinterpret_cast<const char16_t*>(buffer);
    return true;
}

void ExpandInstallerVariables(String& text) {
    ExpandVariables(text, CurrentVariableInputs(), ExpandEnvironment);
}

PlaceholderInputs CurrentPlaceholderInputs() {
    PlaceholderInputs in;
    in.productName = Installer().definition.productName;
    in.description = Installer().definition.productTitle;
    in.windowsDir = SystemFolders().Windows();
    in.buildDate = Installer().definition.buildDate;
    in.formatDate = FormatUserDate;
    return in;
}

void ExpandInstallerPlaceholders(String& text) {
    ExpandWizardPlaceholders(text, CurrentPlaceholderInputs());
}

uint64_t DrawSessionNumber() {
    uint8_t bytes[8] = {};
    using GenRandom = BOOLEAN(WINAPI*)(PVOID, ULONG);
    auto gen = LibraryEntry<GenRandom>(LoadSystemLibrary(L"advapi32.dll"), "SystemFunction036");
    if (!gen || !gen(bytes, sizeof bytes)) {
        SeedCoreRandom(GetTickCount());
        for (int i = 0; i < 8; i += 2) {
            uint16_t r = CoreRandom16();
            bytes[i] = static_cast<uint8_t>(r);
            bytes[i + 1] = static_cast<uint8_t>(r >> 8);
        }
    }
    return SessionNumberFromBytes(bytes);
}

String FormatUserDate(const BuildDate& date) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(date.year);
    t.wMonth = static_cast<WORD>(date.month);
    t.wDay = static_cast<WORD>(date.day);
    wchar_t buffer[128];
    int n = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, buffer, 128);
    return n > 1 ? String(reinterpret_cast<const char16_t*>(buffer), n - 1) : String();
}

String Text(int number) {
    String text = Installer().LanguageString(number);
    ExpandInstallerPlaceholders(text);
    return text;
}

String TextWith(int number, const String& value) {
    return Format(Text(number).c_str(), value);
}

} // namespace cs
