// The installation folder, the preparation before extraction and the installation actions
// after it.
#include "actions/AssociationsWin32.h"
#include "actions/RegistryInstallationWin32.h"
#include "actions/ShortcutsWin32.h"
#include "actions/SystemRegistrationsWin32.h"
#include "actions/UninstallRegistrationWin32.h"
#include "actions/UninstallerFilesWin32.h"
#include "app/Notification.h"
#include "app/Refusals.h"
#include "app/RunEndWin32.h"
#include "app/Sequence.h"
#include "app/SequenceRules.h"
#include "app/SequenceSupportWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/RegistryWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "runtime/Payload.h"
#include "uninstall/UninstallData.h"
#include "vars/BatchWin32.h"
#include "vars/VariablesWin32.h"

#include <srrestoreptapi.h>
#include <windows.h>

namespace cs {

namespace {

constexpr int kStringRestorePoint = 97;
constexpr int kStringPreparingFolders = 113;
constexpr int kStringPrepared = 8;
constexpr uint32_t kFlagRestorePoint = 0x2;
constexpr uint32_t kFlagLogPostInstallBatch = 0x80;

using SetRestorePointFn = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

// The restore point begun before the installation; committed at its end.
INT64 g_restorePoint = 0;

// Loaded once: the point is begun and later committed through the same entry.
SetRestorePointFn RestorePointEntry() {
    static SetRestorePointFn entry =
        LibraryEntry<SetRestorePointFn>(LoadSystemLibrary(L"srclient.dll"), "SRSetRestorePointW");
    return entry;
}

// Begins (or, with a sequence number, ends) a system change; 0 on success, else the error.
DWORD SetRestorePoint(DWORD eventType, INT64 sequence, const String& description) {
    SetRestorePointFn set = RestorePointEntry();
    if (!set) return GetLastError() ? GetLastError() : ERROR_PROC_NOT_FOUND;
    RESTOREPOINTINFOW info{};
    info.dwEventType = eventType;
    info.dwRestorePtType = APPLICATION_INSTALL;
    info.llSequenceNumber = sequence;
    std::u16string text(description.View().substr(0, MAX_DESC_W - 1));
    std::copy(text.begin(), text.end(), info.szDescription);
    STATEMGRSTATUS status{};
    if (set(&info, &status)) {
        g_restorePoint = status.llSequenceNumber;
        return 0;
    }
    return status.nStatus ? status.nStatus : ERROR_GEN_FAILURE;
}

void BeginRestorePoint() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    SetStatus(kStringRestorePoint, state.outcome.progress);
    LogTextWide(u"Creating restore point...");
    DWORD error =
        SetRestorePoint(BEGIN_SYSTEM_CHANGE, 0, RestorePointDescription(d.productName, d.productVersion));
    if (error == 0) {
        LogTextWide(u"OK\r\n");
        return;
    }
    LogTextWide(Format(u"FAILED\r\n%s\r\n", WindowsSystemErrorText(error)));
    state.payloadFlags &= ~kFlagRestorePoint;
}

void CommitRestorePoint() {
    const InstallerState& state = Installer();
    if (!(state.payloadFlags & kFlagRestorePoint)) return;
    if (SetRestorePoint(END_SYSTEM_CHANGE, g_restorePoint, {}) != 0)
        LogTextWide(u"Failed to commit restore point.\r\n");
}

bool RunsAsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    FreeSid(administrators);
    return member;
}

bool OnRemovableDrive(const String& folder) {
    if (folder.Length() < 2 || folder[1] != u':') return false;
    String root = folder.Sub(0, 2) + u"\\";
    return GetDriveTypeW(W(root)) == DRIVE_REMOVABLE;
}

// Makes a folder of the preparation; a failure goes to the failure summary.
void MakePreparedFolder(const String& folder, const char16_t* what) {
    if (MakeFolderPath(folder)) return;
    String message =
        Format(u"Failed to create %s \"%s\": %s\r\n", what, folder, WindowsSystemErrorText(GetLastError()));
    LogTextWide(message);
    FailureSummary() += message;
}

String ResolveRegistryFolderOrExit(const String& reference) {
    RegistryReference ref;
    String path;
    if (ParseRegistryReference(reference, ref))
        path = SystemFolders().RegistryValue(ref.root, ref.key, ref.value);
    Trim(path);
    if (path.IsEmpty()) Refuse(kExitInstallPathMissing, RegistryPathMissingMessage(reference), MB_ICONERROR);
    if (!IsExistingFolder(path))
        Refuse(kExitInstallPathMissing, RegistryPathNotFoundMessage(path, reference), MB_ICONERROR);
    return path;
}

// The Start Menu folder: the definition's, expanded; a new installation keeps the folder of
// a copy installed before.
void FixStartMenuFolder() {
    InstallerState& state = Installer();
    String folder = state.definition.startMenuFolder;
    ExpandInstallerVariables(folder);
    if (state.existing.installType == 0 && !state.existing.startMenu.IsEmpty())
        folder = state.existing.startMenu;
    state.choices.startMenuFolder = folder;
}

// The folder security is loosened on the full Start Menu path the folder text names.
String StartMenuPath() {
    return ProductStartMenu(Installer().choices.allUsers);
}

void FixSharedFolder() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    SharedFolderInputs in;
    in.base = d.sharedFolderBase;
    in.product64 = d.bitness == kBitness64;
    in.systemFolder = GetFolder(FolderId::System);
    in.commonFiles32 = SystemFolders().CommonFiles();
    in.commonFiles64 = SystemFolders().CommonFiles(FolderView::Bits64);
    in.sharedName = d.sharedPath;
    in.subfolder = d.sharedSubfolder;
    in.installDir = state.folders.installDir;
    in.removableDrive = state.folders.removableDrive;
    state.folders.sharedDir = SharedFolderPath(in);
    if (state.folders.sharedDir.IsEmpty()) return;
    MakePreparedFolder(state.folders.sharedDir, u"shared folder");
    if (d.optionWord2 & kOpt2LoosenSharedFolder) LoosenFolderSecurity(state.folders.sharedDir);
}

void RunPreparationBatches() {
    const InstallerState& state = Installer();
    const Definition& d = state.definition;
    BatchPlanInputs in{state.payloadFlags, d.optionWord1, d.optionWord2, !state.existing.folder.IsEmpty(),
                       state.existing.installType};
    for (const PlannedBatch& batch : PreparationBatches(in))
        RunBatch(state.batchCommands[batch.index], batch.hide, batch.label);
}

// The installation folder stored where the definition's location reference points, the
// place the start-up reads an earlier installation's folder from when "InstallLocation" is
// empty (same parse, same view).
void SaveInstallationPathValue() {
    const InstallerState& state = Installer();
    RegistryReference ref;
    if (!(state.definition.optionWord1 & kOpt1RegisterUninstaller) ||
        !ParseRegistryReference(state.definition.locationReference, ref))
        return;
    RegistryKey key;
    if (key.Create(RegistryRootKey(ref.root), ref.key, RegistryView::Default, KEY_SET_VALUE) &&
        key.SetText(ref.value, state.folders.installDir))
        return;
    LogTextWide(Format(u"Failed to save the installation path to \"%s\": %s\r\n",
                       state.definition.locationReference, WindowsSystemErrorText(GetLastError())));
}

// The uninstaller's records. They are written before the uninstall key points at them, and
// again, with what the key's own values added, once every action has added its part. A file
// that cannot be written fails the run (the previous one, if any, stays as it was).
void SaveUninstallDataOrFail() {
    if (!(Installer().definition.optionWord1 & kOpt1RegisterUninstaller)) return;
    if (SaveRunUninstallData()) return;
    DWORD error = GetLastError();
    FailureSummary() += FailureLines(UninstallDataPath(), error);
    RecordUnwrittenFile(error);
}

void WriteUninstallDataFile() {
    SetStatus(Installer().outcome.status, 100);
    SaveUninstallDataOrFail();
}

// The uninstall key only ever points at a whole uninstaller and a whole "Uninstall.dat": when
// either could not be written, the product stays unregistered (an entry registered before,
// with its own files, is left as it is).
void RegisterCompleteUninstaller() {
    if (!(Installer().definition.optionWord1 & kOpt1RegisterUninstaller)) return;
    if (Installer().outcome.fileNotWritten) {
        LogTextWide(u"The uninstaller is not registered: its files could not be written.\r\n");
        return;
    }
    RegisterUninstaller();
}

void AddInstallFolderToSearchPath() {
    const Definition& d = Installer().definition;
    if (d.optionWord1 & kOpt1AddToPath) UpdateSearchPath(true, d.addToPathSubfolder);
}

void WriteUninstaller() {
    SetStatus(Installer().outcome.status, 99);
    WriteUninstallerProgram(ThePayload());
}

void RunPostInstallationBatch() {
    const InstallerState& state = Installer();
    String label =
        (state.payloadFlags & kFlagLogPostInstallBatch) ? String(u"Post-Installation Batch") : String();
    RunBatch(state.batchCommands[kBatchPostInstall],
             (state.definition.optionWord1 & kOpt1HidePostInstallBatch) != 0, label);
}

void RequestEndOfRunNotification() {
    // An existing installation always has its install type (1 to 3) by now; 0 is a new one.
    const InstallerState& state = Installer();
    RequestNotification(state.definition.links[EndOfRunUrlIndex(state.existing.installType)]);
}

void FinishLogInteractively() {
    FinishInstallLog(!Installer().automatic);
}

void RunInstallationExitBatch() {
    const InstallerState& state = Installer();
    RunBatch(state.batchCommands[kBatchInstallExit],
             (state.definition.optionWord1 & kOpt1HideExitBatch) != 0);
}

// Folders the installation made but left empty go again.
void RemoveEmptyFolders() {
    const InstallerState& state = Installer();
    for (const String& folder :
         {state.folders.sharedDir,
          UninstallDataFolder(state.folders.installDir, state.definition.uninstallSubdir),
          state.folders.installDir})
        if (!folder.IsEmpty()) RemoveDirectoryW(W(folder));
}

// The installation actions in their order (the files are installed just before them).
// The uninstaller's icon comes before the shortcuts that show it. System registrations,
// associations and firewall exceptions take their places before the background picture. The
// uninstall key and the installation path value follow the uninstaller program and a first
// "Uninstall.dat", so that a run killed at any point never leaves a key without them.
// The log is finished before anything of the run's end that may read it: the restart
// question, the installation-exit batch and the launches find "Install.log" whole; the
// restart (or the launch-on-exit command) comes last, once the empty folders are gone.
constexpr void (*kInstallationActions[])() = {
    RegisterInstalledSystemFiles,
    WriteUninstallerIcon,
    InstallShortcuts,
    ApplyRegistryEntries,
    InstallAssociations,
    AddFirewallExceptionsOfDefinition,
    SaveBackgroundBitmap,
    SaveReadmeAndLicenceTexts,
    AddInstallFolderToSearchPath,
    WriteUninstaller,
    SaveUninstallDataOrFail,
    RegisterCompleteUninstaller,
    SaveInstallationPathValue,
    WriteRebootMarker,
    WriteUninstallDataFile,
    RunPostInstallationBatch,
    RequestEndOfRunNotification,
    NotifyDesktopChanged,
    CommitRestorePoint,
    LogLaunchOnExit,
    FinishLogInteractively,
    AskForRestart,
    RunInstallationExitBatch,
    RemoveEmptyFolders,
    RestoreFileSystemRedirection,
    RestartOrLaunch,
};

} // namespace

void ChooseInstallFolderOrExit() {
    InstallerState& state = Installer();
    if (!state.folders.installDir.IsEmpty()) return;
    String folder = DefaultInstallFolder(state.commandLine.installDir, state.definition.defaultFolder);
    if (IsRegistryReference(folder)) folder = ResolveRegistryFolderOrExit(folder);
    state.folders.installDir = folder;
}

void PrepareInstallation() {
    InstallerState& state = Installer();
    const Definition& d = state.definition;
    Trim(state.folders.installDir);
    state.folders.installDir = NormalizeFolderPath(state.folders.installDir);
    state.folders.installDir8 = ToPathForm(state.folders.installDir);
    state.folders.removableDrive = OnRemovableDrive(state.folders.installDir);
    state.choices.allUsers = d.shortcutMode == 1;
    state.outcome.installationBegun = true;

    FixStartMenuFolder();
    // A Start Menu folder appears with the first shortcut; one that does not exist yet has
    // nothing to loosen.
    if (IsExistingFolder(StartMenuPath())) LoosenFolderSecurity(StartMenuPath());
    RequestNotification(d.links[kLinkPrepareUrl]);
    // The installation folder is made before its security is loosened, so that everything
    // made in it inherits the loosened access list (a failure is reported with the uninstall
    // data folder below).
    if (d.optionWord2 & kOpt2LoosenSecurity) {
        MakeFolderPath(state.folders.installDir);
        LoosenFolderSecurity(state.folders.installDir);
    }
    if (!RunsAsAdministrator()) LogTextWide(u"Warning: the installer does not have admin rights.\r\n\r\n");
    if (state.payloadFlags & kFlagRestorePoint) BeginRestorePoint();

    SetStatus(kStringPreparingFolders, 1);
    String dataFolder = UninstallDataFolder(state.folders.installDir, d.uninstallSubdir);
    state.folders.uninstallerPath = JoinPath(dataFolder, d.uninstallerFileName);
    // Without a subfolder the uninstall data folder is the installation folder: it is made
    // here too, so the log and the uninstall data have their place before any file arrives.
    MakePreparedFolder(dataFolder, u"uninstall data folder");
    if (d.optionWord1 & kOpt1RegisterUninstaller) FixSharedFolder();
    RunPreparationBatches();
    SetStatus(kStringPrepared, 2);
}

void RunInstallationActions() {
    for (auto action : kInstallationActions)
        action();
}

} // namespace cs
