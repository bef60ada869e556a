#include "app/Sequence.h"

#include "app/Notification.h"
#include "app/Refusals.h"
#include "app/SequenceRules.h"
#include "app/SequenceSupportWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/HandleWin32.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/Exit.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"
#include "runtime/ProcessWin32.h"
#include "vars/VariablesWin32.h"

#include <mmsystem.h>
#include <windows.h>

namespace cs {

namespace {

const char16_t kUninstallRoot[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t kMutexName[] = u"Corvantis HVX";
constexpr int kStringUninstallFirst = 9;
constexpr int kStringRunUninstaller = 104;
constexpr int kStringDowngrade = 106;
constexpr int kStringWizardCaption = 114;
constexpr int kStringGreeting = 1;
constexpr int kStringGreetingTitle = 65;

// A text value, unexpanded and up to its first NUL; "" when it is missing or not text.
String ReadValue(const RegistryKey& key, const char16_t* name) {
    String text;
    if (!key.ReadText(name, text, kRegistryTextFirstNul)) return {};
    return text;
}

struct UninstallEntry {
    bool found = false;
    String location, version, quietUninstall, uninstall, noDowngradeBelow, startMenu, sharedFiles;
};

UninstallEntry ReadUninstallEntry(const String& keyName) {
    UninstallEntry entry;
    RegistryKey key;
    if (keyName.IsEmpty() ||
        !key.Open(HKEY_LOCAL_MACHINE, String(kUninstallRoot) + keyName, RegistryView::Default, KEY_READ))
        return entry;
    entry.found = true;
    entry.location = ReadValue(key, u"InstallLocation");
    entry.version = ReadValue(key, u"DisplayVersion");
    entry.quietUninstall = ReadValue(key, u"QuietUninstallString");
    entry.uninstall = ReadValue(key, u"UninstallString");
    entry.noDowngradeBelow = ReadValue(key, u"NoDowngradeBelow");
    entry.startMenu = ReadValue(key, u"ProductStartMenu");
    entry.sharedFiles = ReadValue(key, u"SharedFiles");
    return entry;
}

// The installed copy, kept between finding it and settling what to do with it.
UninstallEntry g_existing;

// A folder named by a registry reference, or a folder text with installer variables.
String FolderFromReference(const String& reference) {
    RegistryReference ref;
    if (ParseRegistryReference(reference, ref))
        return SystemFolders().RegistryValue(ref.root, ref.key, ref.value);
    String folder = reference;
    ExpandInstallerVariables(folder);
    return folder;
}

void CheckMasterOrExit() {
    const Definition& d = Installer().definition;
    UninstallEntry entry = ReadUninstallEntry(d.masterKeyName);
    MasterProduct master{entry.found, entry.location, entry.version};
    bool defaultIsMaster = EqualsNoCase(d.defaultFolder, u"<master>");
    switch (CheckMaster(master, defaultIsMaster, d.masterMinVersion)) {
    case MasterVerdict::Missing:
        Refuse(kExitMasterMissing, TextWith(kStringMasterMissing, d.masterDisplayName), MB_ICONERROR);
    case MasterVerdict::TooOld:
        Refuse(kExitMasterMissing, TextWith(kStringMasterTooOld, d.masterMinVersion), MB_ICONERROR);
    case MasterVerdict::Fits:
        if (defaultIsMaster) Installer().folders.installDir = entry.location;
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
    String command =
        UninstallFirstCommand(uninstallString, FromW(GetCommandLineW()), state.Silent(), state.automatic);
    LogTextWide(Format(u"Running the installed version's uninstaller: %s\r\n", command));
    // The uninstaller runs on its own: its handle is let go at once.
    if (!StartProcess(command, String(), false)) LogFailure(command, GetLastError());
    EndInstallation(kExitOldUninstallerStarted);
}

// The offer to uninstall the old version first; a refusal or a missing command ends with
// refusalCode. Until the program's own message box exists, Yes stands for string 104.
[[noreturn]] void OfferUninstallFirst(const String& message, int refusalCode) {
    const InstallerState& state = Installer();
    String command = g_existing.quietUninstall.IsEmpty() ? g_existing.uninstall : g_existing.quietUninstall;
    if (command.IsEmpty()) Refuse(refusalCode, message, MB_ICONERROR, !state.automatic);
    if (state.automatic || state.Silent()) RunOldUninstaller(command);
    String question = message + u"\r\n\r\n" + Text(kStringRunUninstaller) + u"?";
    if (ShowMessage(question, ErrorTitle(), MB_YESNO | MB_ICONQUESTION) == IDYES) RunOldUninstaller(command);
    EndInstallation(refusalCode);
}

// The upgrade questions; the first button continues, anything else cancels.
void AskAboutUpgradeOrCancel(const UpgradeKind& kind) {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    bool interactive = !state.automatic && !state.Silent();
    if (interactive && !(d.optionWord1 & kOpt1NoUpgradeQuestion)) {
        String text =
            UpgradeQuestionText(Text(kind.statusString), state.existing.folder, Text(kStringUpgradeQuestion));
        if (ShowMessage(text, Text(kStringUpgradeTitle), MB_YESNO | MB_ICONQUESTION) != IDYES)
            CancelInstallation();
    }
    if (interactive && AskBeforeUpgrade((d.optionWord2 & kOpt2AskBeforeUpgrade) != 0, g_existing.version,
                                        FromCodePage(d.upgradeWithoutAskingFrom.View(), kCodePage1252))) {
        if (ShowMessage(Text(kStringUpgradeAskAgain), Text(kStringUpgradeAskAgainTitle),
                        MB_YESNO | MB_ICONQUESTION) != IDYES)
            CancelInstallation();
    }
}

} // namespace

void Refuse(int code, const String& message, unsigned icon, bool show) {
    LogTextWide(message + u"\r\n");
    if (show) ShowMessage(message, ErrorTitle(), MB_OK | icon);
    EndInstallation(code);
}

void WaitProcessingMessages(unsigned milliseconds) {
    DWORD start = GetTickCount();
    for (;;) {
        ProcessPendingMessages();
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) return;
        Sleep(std::min<DWORD>(50, milliseconds - elapsed));
    }
}

void EndInstallation(int code, bool interactive) {
    FinishInstallLog(interactive);
    ExitInstaller(code);
}

void CancelInstallation() {
    const InstallerState& state = Installer();
    RequestNotification(state.definition.links[kLinkCancelUrl]);
    int message = state.outcome.installationBegun ? kStringCancelledDuringInstall : kStringCancelled;
    LogTextWide(u"Cancelled by the user.\r\n");
    ShowMessage(Text(message), Text(kStringCancelledTitle), MB_OK | MB_ICONWARNING);
    EndInstallation(kExitCancelled);
}

void SetStatus(int stringNumber, int progress) {
    InstallerState& state = Installer();
    state.outcome.status = stringNumber;
    state.outcome.progress = progress;
}

void ChooseLanguage() {
    InstallerState& state = Installer();
    Definition& d = state.definition;
    state.choices.language = d.languages.names.Count() ? d.languages.names[state.currentLanguage] : String();
    String caption = Text(kStringWizardCaption);
    if (!caption.IsEmpty()) d.wizardCaption = caption;
    SetErrorTitle(Text(kStringErrorTitle));
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

void FindExistingInstallation() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    if (!(d.optionWord1 & kOpt1RegisterUninstaller)) return;
    g_existing = ReadUninstallEntry(d.uninstallKeyName);
    if (!g_existing.found) return;
    if (g_existing.location.IsEmpty() && !d.locationReference.IsEmpty())
        g_existing.location = FolderFromReference(d.locationReference);
    state.existing.startMenu = g_existing.startMenu;
    state.existing.sharedFiles = g_existing.sharedFiles;
    if (IsExistingFolder(g_existing.location))
        state.existing.folder = NormalizeFolderPath(g_existing.location);
}

void PlayStartSound() {
    const InstallerState& state = Installer();
    if (state.automatic || state.definition.startSound.IsEmpty()) return;
    String sound = state.definition.startSound;
    ExpandInstallerVariables(sound);
    // The name is kept for the whole run: an asynchronous sound reads its file while playing.
    static String playing;
    playing = sound;
    // The sound library is no known system library: loaded from the system folder at run
    // time (see core/SystemLibraryWin32.h), never linked.
    using PlaySoundFn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
    auto play = SystemEntry<PlaySoundFn>(L"winmm.dll", "PlaySoundW");
    if (!play || !play(W(playing), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT))
        LogTextWide(Format(u"Failed to play the start sound \"%s\".\r\n", playing));
}

void ShowGreetingOrCancel() {
    const InstallerState& state = Installer();
    if (state.automatic || (state.definition.optionWord2 & kOpt2NoGreeting)) return;
    if (ShowMessage(Text(kStringGreeting), Text(kStringGreetingTitle), MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        CancelInstallation();
}

void CheckPasswordOrCancel() {
    if (Installer().definition.password.IsEmpty()) return;
    LogTextWide(u"The installation password cannot be asked for: this engine has no password page yet.\r\n");
    CancelInstallation();
}

void SettleExistingInstallationOrExit() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    if (!(d.optionWord1 & kOpt1RegisterUninstaller) || state.existing.folder.IsEmpty()) return;
    state.existing.oldVersion = g_existing.version;
    if (d.optionWord1 & kOpt1UninstallOldFirst) {
        bool inPlace = !d.reinstallInPlaceFrom.IsEmpty() &&
                       CompareVersions(g_existing.version, d.reinstallInPlaceFrom) >= 0;
        if (!inPlace) OfferUninstallFirst(Text(kStringUninstallFirst), kExitUninstallRefused);
    }
    if (!g_existing.noDowngradeBelow.IsEmpty() &&
        CompareVersions(d.productVersion, g_existing.noDowngradeBelow) < 0)
        OfferUninstallFirst(TextWith(kStringDowngrade, g_existing.noDowngradeBelow), kExitDowngradeRefused);
    UpgradeKind kind =
        DecideUpgradeKind((d.optionWord2 & kOpt2CompareVersions) != 0, g_existing.version, d.productVersion);
    state.existing.installType = kind.kind;
    SetStatus(kind.statusString, 0);
    AskAboutUpgradeOrCancel(kind);
    state.folders.installDir = state.existing.folder;
}

} // namespace cs
