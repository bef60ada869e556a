#include "app/Sequence.h"

#include "app/Refusals.h"
#include "app/Startup.h"
#include "core/Format.h"
#include "core/OsInfo.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "payload/InstallerState.h"

#include <windows.h>

namespace cs {

namespace {

const char16_t kUninstallRoot[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t kMutexName[] = u"Corvantis HVX";
constexpr int kStringUninstallFirst = 9;
constexpr int kStringDowngrade = 106;
constexpr int kStringErrorTitle = 21;

String Text(int number) { return Installer().LanguageString(number); }

String ErrorTitle() {
    String title = Text(kStringErrorTitle);
    return title.IsEmpty() ? String(u"Error") : title;
}

// A language text with %s filled (texts without a placeholder stay as they are).
String TextWith(int number, const String& value) { return Format(Text(number).c_str(), value); }

[[noreturn]] void Refuse(int code, const String& message, unsigned icon, bool show = true) {
    LogTextWide(message + u"\r\n");
    if (show) ShowMessage(message, ErrorTitle(), MB_OK | icon);
    EndInstallation(code);
}

String ReadValue(HKEY key, const char16_t* name) {
    wchar_t buffer[4096] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, W(name), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return FromW(buffer, wcsnlen(buffer, size / sizeof(wchar_t)));
}

struct UninstallEntry {
    bool found = false;
    String location, version, quietUninstall, uninstall, noDowngradeBelow;
};

UninstallEntry ReadUninstallEntry(const String& keyName) {
    UninstallEntry entry;
    HKEY key;
    String path = String(kUninstallRoot) + keyName;
    if (keyName.IsEmpty() || RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return entry;
    entry.found = true;
    entry.location = ReadValue(key, u"InstallLocation");
    entry.version = ReadValue(key, u"DisplayVersion");
    entry.quietUninstall = ReadValue(key, u"QuietUninstallString");
    entry.uninstall = ReadValue(key, u"UninstallString");
    entry.noDowngradeBelow = ReadValue(key, u"NoDowngradeBelow");
    RegCloseKey(key);
    return entry;
}

bool FolderExists(const String& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return !path.IsEmpty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CheckMasterOrExit() {
    const Definition& d = Installer().definition;
    UninstallEntry entry = ReadUninstallEntry(d.masterKeyName);
    MasterProduct master{entry.found, entry.location, entry.version};
    bool defaultIsMaster = CompareNoCase(d.defaultFolder.c_str(), u"<master>") == 0;
    switch (CheckMaster(master, defaultIsMaster, d.masterMinVersion)) {
    case MasterVerdict::Missing:
        Refuse(kExitMasterMissing, TextWith(kStringMasterMissing, d.masterDisplayName), MB_ICONERROR);
    case MasterVerdict::TooOld:
        Refuse(kExitMasterMissing, TextWith(kStringMasterTooOld, d.masterMinVersion), MB_ICONERROR);
    case MasterVerdict::Fits:
        if (defaultIsMaster) Installer().installDir = entry.location;
        break;
    }
}

// The named mutex is held until the process ends: its handle is deliberately kept open.
bool AcquireInstallerMutex() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, W(kMutexName));
    if (!mutex) return false;
    DWORD wait = WaitForSingleObject(mutex, 0);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

// Starts the old version's uninstaller and ends this run with exit code 10.
[[noreturn]] void RunOldUninstaller(const String& uninstallString) {
    const InstallerState& state = Installer();
    String command = UninstallFirstCommand(uninstallString, FromW(GetCommandLineW()), state.Silent(), state.automatic);
    LogTextWide(Format(u"Running the installed version's uninstaller: %s\r\n", command));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::u16string buffer(command.View());
    if (CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(buffer.data()), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        LogFailure(command, GetLastError());
    }
    EndInstallation(kExitOldUninstallerStarted);
}

// The offer to uninstall the old version first; a refusal or a missing command ends with
// refusalCode.
[[noreturn]] void OfferUninstallFirst(const UninstallEntry& entry, const String& message, int refusalCode) {
    const InstallerState& state = Installer();
    String command = entry.quietUninstall.IsEmpty() ? entry.uninstall : entry.quietUninstall;
    if (command.IsEmpty()) Refuse(refusalCode, message, MB_ICONERROR, !state.automatic);
    if (state.automatic || state.Silent()) RunOldUninstaller(command);
    if (ShowMessage(message, ErrorTitle(), MB_YESNO | MB_ICONQUESTION) == IDYES) RunOldUninstaller(command);
    EndInstallation(refusalCode);
}

} // namespace

void EndInstallation(int code) {
    FinishInstallLog(false);
    ExitInstaller(code);
}

void RunRefusalsOrExit() {
    const InstallerState& state = Installer();
    const Definition& d = state.definition;
    switch (CheckBitness(d.bitness, CurrentOsRecord().is64BitWindows)) {
    case BitnessVerdict::Needs64BitWindows:
        Refuse(kExitWrongSystem, Text(kStringWrongBitness), MB_ICONINFORMATION, !state.automatic);
    case BitnessVerdict::Needs32BitWindows:
        Refuse(kExitWrongSystem, Text(kStringWrongBitness), MB_ICONQUESTION, !state.automatic);
    case BitnessVerdict::Fits:
        break;
    }
    if (IsExcludedSystem(d.excludedSystems, CurrentSystemBit()))
        Refuse(kExitWrongSystem, TextWith(kStringExcludedSystem, CurrentOsName(11)), MB_ICONERROR);
    if (d.optionWord1 & kOpt1AddOn) CheckMasterOrExit();
    if ((d.optionWord1 & kOpt1SingleInstance) && !AcquireInstallerMutex())
        Refuse(kExitAlreadyRunning, Text(kStringAlreadyRunning), MB_ICONERROR);
}

void HandleExistingInstallationOrExit() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    if (!(d.optionWord1 & kOpt1RegisterUninstaller)) return;
    UninstallEntry entry = ReadUninstallEntry(d.uninstallKeyName);
    if (!entry.found || !FolderExists(entry.location)) return;
    state.oldVersion = entry.version;
    if (d.optionWord1 & kOpt1UninstallOldFirst) {
        bool inPlace = !d.reinstallInPlaceFrom.IsEmpty() && CompareVersions(entry.version, d.reinstallInPlaceFrom) >= 0;
        if (!inPlace) OfferUninstallFirst(entry, Text(kStringUninstallFirst), kExitUninstallRefused);
    }
    if (!entry.noDowngradeBelow.IsEmpty() && CompareVersions(d.productVersion, entry.noDowngradeBelow) < 0)
        OfferUninstallFirst(entry, TextWith(kStringDowngrade, entry.noDowngradeBelow), kExitDowngradeRefused);
    int order = CompareVersions(entry.version, d.productVersion);
    state.installType = order == 0 ? 1 : order < 0 ? 2 : 3;
    state.installDir = entry.location;
}

} // namespace cs
