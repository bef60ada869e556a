// The uninstaller's steps on Windows, in their fixed order. The rules (values and defaults,
// folder and key order, the registry undo records, the shared-file list) are portable, in
// uninstall/UninstallerRules.h; this file applies them to the system.
#include "app/Uninstaller.h"

#include "actions/AssociationsWin32.h"
#include "actions/FileInstallation.h"
#include "actions/FirewallWin32.h"
#include "actions/FontsAndPackagesWin32.h"
#include "actions/RegistryInstallationWin32.h"
#include "actions/SystemRegistrations.h"
#include "actions/SystemRegistrationsWin32.h"
#include "actions/UninstallRegistration.h"
#include "app/RunEndWin32.h"
#include "app/Sequence.h"
#include "app/SequenceSupportWin32.h"
#include "core/Fatal.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/GuardWin32.h"
#include "core/HandleWin32.h"
#include "core/ModulePathWin32.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/FileRemovalWin32.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"
#include "runtime/ProcessWin32.h"
#include "runtime/ShellLaunchWin32.h"
#include "uninstall/DeletionWin32.h"
#include "uninstall/PathJudgement.h"
#include "uninstall/UninstallData.h"
#include "uninstall/UninstallerRules.h"
#include "vars/BatchWin32.h"
#include "vars/Variables.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace cs {

namespace {

// Language texts of the uninstaller (stored in "Uninstall.dat").
constexpr int kTextFailures = 10, kTextDoneTitle = 15, kTextRestartTitle = 20, kTextDone = 34;
constexpr int kTextSharedTitle = 35, kTextConfirm = 53, kTextConfirmTitle = 55, kTextNotDeleted = 58;
constexpr int kTextSharedQuestion = 59, kTextStatusFonts = 67, kTextStatusLog = 68;
constexpr int kTextStatusRegistry = 69, kTextStatusAssociations = 70, kTextRestart = 74;
constexpr int kTextCloseProgram = 107, kTextSupportOffer = 109, kTextSupportTitle = 110;
constexpr int kTextErrorTitle = 21;

// Payload flag: show the completion message.
constexpr uint32_t kFlagCompletionMessage = 0x40000;
// Read, write, create subkeys, enumerate and read control; the 32-bit view flag makes 0x2020F.
constexpr REGSAM kEntryAccess = 0x2000F;
constexpr unsigned kStatusMinimumMs = 700;

// What one run knows.
struct Run {
    String name;
    String keyPath; // below HKEY_LOCAL_MACHINE
    RegistryKey key;
    UninstallEntryValues values;
    bool automatic = false;
    String dataPath; // "Uninstall.dat"
    UninstallFile file;
    UninstallRecords records;
    Array<String> folders; // "~" records the judgement allows, canonical
    Array<String> deleted; // files deleted by the body records
    DeletionScope scope;   // where this run may delete (uninstall/PathJudgement.h)
    SystemLongNames names;
    // A 32-bit product under the 64-bit engine: its records and counts name the system folder
    // as the 32-bit engine does, and its files lie where that name leads a 32-bit program.
    String systemFolder, systemFolder32;
};

// Where a recorded path leads: records are judged and counted as written, acted on here.
String OnDisk(const Run& run, const String& path) {
    return RedirectedPath(path, run.systemFolder, run.systemFolder32);
}

// A record the judgement refuses is left alone; the refusal is logged and goes into the
// failure summary, so the run ends with 3 and says what it left. It is not recorded again:
// a later run would only refuse it again. (A refused file record that names no existing file
// is only logged: see DeleteRecordedFile.)
void Refuse(const String& path, const DeletionVerdict& verdict) {
    String text = RefusalText(path, verdict);
    LogTextWide(text);
    FailureSummary() += text;
}

void RefuseRegistryRecord(const String& record, const char16_t* reason) {
    String text = Format(u"Refused to delete the registry record \"%s\": %s.\r\n", record, reason);
    LogTextWide(text);
    FailureSummary() += text;
}

class EntryReader final : public UninstallEntryReader {
  public:
    explicit EntryReader(const RegistryKey& key) : key_(key) {}
    bool Text(const char16_t* name, String& text) override {
        return key_.ReadText(name, text, kRegistryTextFirstNul);
    }
    bool Number(const char16_t* name, uint64_t& number) override {
        RegistryValue value;
        if (!key_.Read(name, value)) return false;
        if (value.type == REG_DWORD && value.data.size() >= 4) {
            uint32_t n = 0;
            memcpy(&n, value.data.data(), 4);
            number = n;
            return true;
        }
        if (value.type == REG_QWORD && value.data.size() >= 8) {
            memcpy(&number, value.data.data(), 8);
            return true;
        }
        return false;
    }

  private:
    const RegistryKey& key_;
};

// The error messages of the run: none when empty; in automatic mode only with option word 2
// bit 0x8; titled with language text 21, or "Error".
void ShowError(const Run& run, const String& text) {
    if (text.IsEmpty()) return;
    if (run.automatic && !(run.values.optionWord2 & kOpt2ErrorsWhenAutomatic)) return;
    String title = Text(kTextErrorTitle);
    ShowMessage(text, title.IsEmpty() ? String(u"Error") : title, MB_ICONERROR | MB_OK);
}

void SetProgress(int status, int progress) {
    RunOutcome& outcome = Installer().outcome;
    if (status) outcome.status = status;
    outcome.progress = progress;
}

// Each status text stays at least 700 ms unless the run is automatic.
void WaitForStatusMinimum(const Run& run) {
    if (!run.automatic) WaitProcessingMessages(kStatusMinimumMs);
}

void AddFailure(const String& text) {
    FailureSummary() += text;
}

// ---- Steps 1 to 5: the entry and the data file --------------------------------------------

int OpenEntry(Run& run) {
    RegistryKey probe;
    if (!probe.Open(HKEY_LOCAL_MACHINE, run.keyPath, RegistryView::Bits32, KEY_READ)) {
        DWORD error = GetLastError();
        ShowError(run,
                  error == ERROR_ACCESS_DENIED
                      ? String(u"Permission denied.  Please run the uninstaller with administrator rights.")
                      : Format(u"No product named '%s' is installed.", run.name));
        return kUninstallNotFound;
    }
    if (!run.key.Open(HKEY_LOCAL_MACHINE, run.keyPath, RegistryView::Bits32, kEntryAccess)) {
        ShowError(run,
                  Format(u"Unable to access the uninstall information for:\r\n%s\r\n\r\nThe uninstallation "
                         u"cannot be performed.",
                         run.name));
        return kUninstallNotFound;
    }
    return kUninstallDone;
}

// The values become the installer state that the shared routines read (variables, batches,
// self-removal, notification).
void TakeValues(Run& run) {
    EntryReader reader(run.key);
    run.values = ReadUninstallEntryValues(reader, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW));
    const UninstallEntryValues& v = run.values;
    InstallerState& state = Installer();
    Definition& d = state.definition;
    if (v.displayName.IsEmpty()) run.values.displayName = run.name;
    state.folders.installDir = NormalizeFolderPath(v.installLocation);
    state.folders.installDir8 = ToPathForm(state.folders.installDir);
    state.folders.sharedDir = v.sharedPath;
    d.uninstallSubdir = v.uninstallSubdir;
    d.uninstallKeyName = run.name;
    d.optionWord1 = v.optionWord1;
    d.optionWord2 = v.optionWord2;
    d.bitness = static_cast<uint8_t>(v.bitness);
    d.productName = run.values.displayName;
    d.productVersion = v.displayVersion;
    d.addToPathSubfolder = v.addToPathSubfolder;
    d.supportOffer = v.supportOffer;
    d.links[kLinkNotifyUrl] = v.notifyUrl;
    d.links[kLinkFeedbackUrl] = v.feedbackUrl;
    state.payloadFlags = v.payloadFlags;
    state.productVersion8 = ToCodePage(v.displayVersion, kCodePage1252);
    state.choices.language = v.language;
    state.choices.allUsers = v.shortcutMode == 1;
    state.session = v.session ? v.session : DrawSessionNumber();
    run.automatic =
        state.commandLine.automatic || state.Silent() || (v.optionWord1 & kOpt1AutomaticUninstall);
    state.automatic = run.automatic;
}

int ReadEntry(Run& run) {
    TakeValues(run);
    if (run.values.installLocation.IsEmpty()) {
        ShowError(run,
                  Format(u"The uninstall information for %s is corrupt.\r\n\r\nThe uninstallation cannot be "
                         u"performed.",
                         run.values.displayName));
        return kUninstallCorrupt;
    }
    // A 64-bit product's files must be reached in the real system folders.
    if (run.values.bitness == 1 && !DisableFileSystemRedirection())
        FatalError(u"Wow64DisableWow64FsRedirection() failed");
    run.systemFolder = GetFolder(FolderId::System);
    run.systemFolder32 = ProductSystemFolder32();
    return kUninstallDone;
}

int ReadDataFile(Run& run) {
    const InstallerState& state = Installer();
    run.dataPath = JoinPath(UninstallDataFolder(state.folders.installDir, state.definition.uninstallSubdir),
                            kUninstallDataFileName);
    if (!LoadUninstallData(run.dataPath, run.file)) {
        DWORD error = GetLastError();
        ShowError(run,
                  Format(u"The uninstall information for %s could not be loaded.\r\n\r\nFilepath: %s\r\nCode "
                         u"%d: %s",
                         run.values.displayName, run.dataPath, static_cast<int>(error),
                         WindowsSystemErrorText(error)));
        return kUninstallCorrupt;
    }
    // The texts of the data file are the run's language table.
    InstallerState& writable = Installer();
    writable.definition.languages = run.file.texts;
    writable.currentLanguage = 0;
    writable.definition.wizardCaption = run.file.caption;
    LoadForRewrite(run.file, run.records);
    run.scope = UninstallDeletionScope(state.folders.installDir, state.folders.sharedDir);
    return kUninstallDone;
}

// ---- Steps 6 to 11: closing, questions, first batch ---------------------------------------

Array<AutoCloseEntry> EntriesOfPass(const Run& run, ClosePass pass) {
    Array<AutoCloseEntry> entries;
    for (const AutoCloseEntry& entry : run.file.autoClose)
        if (AutoClosePass(entry) == pass) entries.Append(entry);
    return entries;
}

bool Confirmed(const Run& run) {
    if (run.automatic) return true;
    return ShowMessage(Text(kTextConfirm), Text(kTextConfirmTitle), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The platform box cannot label its buttons: Yes stands for the offer's first button.
bool SupportOfferTaken(const Run& run) {
    if (run.automatic || run.values.supportOffer.IsEmpty()) return false;
    if (ShowMessage(Text(kTextSupportOffer), Text(kTextSupportTitle), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    OpenThroughShell(run.values.supportOffer, String(), String());
    return true;
}

void RunStoredBatch(Run& run, const String& commands, bool hide, const char16_t* valueName) {
    if (commands.IsEmpty()) return;
    RunBatch(ToCodePage(commands, kCodePage1252), hide);
    run.key.DeleteValue(valueName);
}

// ---- Steps 12 to 17: associations, fonts, log, shared files, pins, packages ----------------

// Associations, fonts, firewall exceptions, driver and MSI packages are restored by the steps
// of their own actions; the records are read here and not carried into a rewritten file.
void RestoreAssociations(const Run& run) {
    SetProgress(kTextStatusAssociations, 1);
    if (!run.file.associations.IsEmpty()) {
        std::unique_ptr<ClassesRegistry> classes = WindowsClassesRegistry();
        RestoreAssociations(*classes, run.file.associations, AssociationBackupName(run.values.displayName));
        NotifyAssociationsChanged();
    }
    WaitForStatusMinimum(run);
}

// Language texts of the font step (stored in "Uninstall.dat").
constexpr int kTextFontQuestion = 56, kTextFontTitle = 57;

// Whether a font or shared file goes, by its mode (0 keep, 1 ask, 2 delete); Yes to all and
// No to all, which the platform box lacks, are its Cancel (no to all) in a run that lists
// more than one.
bool RemovalAnswer(bool automatic, uint32_t& mode, const String& question, const String& title,
                   bool several) {
    if (mode == 0) return false;
    if (mode == 2 || automatic) return true;
    int answer = ShowMessage(question, title, (several ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONQUESTION);
    if (answer == IDCANCEL) mode = 0;
    return answer == IDYES;
}

// Each listed font, unless "UninstallFonts" keeps it: its resource, its registration and its
// file in the fonts folder (a file the system still holds goes at the next restart). The list
// is cleared and the font change broadcast even when every font stayed.
void RemoveFonts(Run& run) {
    SetProgress(kTextStatusFonts, 3);
    Array<ListedFont> fonts = ParseFontList(run.values.productFonts);
    if (fonts.IsEmpty()) return;
    String folder = GetFolder(FolderId::Fonts);
    for (const ListedFont& font : fonts) {
        if (!RemovalAnswer(run.automatic, run.values.uninstallFonts, TextWith(kTextFontQuestion, font.face),
                           Text(kTextFontTitle), fonts.Count() > 1))
            continue;
        // The list holds bare file names; anything more would point out of the fonts folder.
        String path = JoinPath(folder, FileNameOf(font.fileName));
        RemoveFontResourceW(W(path));
        DeleteFontRegistration(font.face);
        DeleteFileEx(path, kDeleteMissingIsDeleted | kDeleteRestartOnFailure);
    }
    run.key.DeleteValue(u"ProductFonts");
    NotifyFontChange();
}

void DeleteInstallLog(Run& run) {
    SetProgress(kTextStatusLog, 5);
    if (run.values.optionWord2 & kOpt2KeepLogOnUninstall) return;
    const InstallerState& state = Installer();
    DeletionVerdict verdict =
        JudgeDeletion(LogPath(state.folders.installDir, state.definition.uninstallSubdir),
                      DeletionObject::kFile, run.scope, run.names);
    if (verdict.allowed) DeleteFileEx(verdict.path, kDeleteMissingIsDeleted);
}

// A COM server's own unregistration: "regsvr32 /s /u" in the system folder, else its
// DllUnregisterServer.
void UnregisterComServer(const String& path) {
    String system = GetFolder(FolderId::System);
    String line = Format(u"\"%s\" /s /u \"%s\"", JoinPath(system, u"regsvr32.exe"), path);
    if (UniqueHandle child = StartProcess(line, system, true)) {
        WaitForProcessProcessingMessages(child.Get());
        DWORD code = 1;
        if (GetExitCodeProcess(child.Get(), &code) && code == 0) return;
    }
    HMODULE library = LoadLibraryFromItsFolder(path);
    if (!library) return;
    // The server's own code: a crash in it must not end the uninstallation.
    if (auto unregister = LibraryEntry<HRESULT(STDAPICALLTYPE*)()>(library, "DllUnregisterServer"))
        RunGuarded([&] { unregister(); });
    FreeLibrary(library);
}

void UnregisterTypeLibrary(const String& path) {
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(W(path), REGKIND_NONE, &library)) || !library) return;
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(library->GetLibAttr(&attributes)) && attributes) {
        UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                          attributes->lcid, attributes->syskind);
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
}

// Whether the shared file goes, by "UninstallShared", asked as for a font.
bool SharedFileGoes(Run& run, const String& path, bool several) {
    return RemovalAnswer(run.automatic, run.values.uninstallShared, TextWith(kTextSharedQuestion, path),
                         Text(kTextSharedTitle), several);
}

void ReleaseSharedFiles(Run& run) {
    if (run.values.sharedFiles.IsEmpty()) return;
    RegistryKey counts;
    if (!counts.Open(HKEY_LOCAL_MACHINE, kSharedCountsKey, RegistryView::Default,
                     KEY_QUERY_VALUE | KEY_SET_VALUE)) {
        AddFailure(u"REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n");
        return;
    }
    Array<SharedFileEntry> entries =
        ParseSharedFiles(ToCodePage(run.values.sharedFiles, kCodePage1252).View());
    for (const SharedFileEntry& entry : entries) {
        uint32_t count = 0;
        if (!counts.ReadDword(entry.path, count)) continue;
        if (count > 1) {
            counts.SetDword(entry.path, count - 1);
            continue;
        }
        // A count that reaches zero leaves no value behind.
        counts.DeleteValue(entry.path);
        String file = OnDisk(run, entry.path);
        if (entry.kind == SharedFileKind::ComServer) UnregisterComServer(file);
        if (entry.kind == SharedFileKind::TypeLibrary) UnregisterTypeLibrary(file);
        if (entry.kind == SharedFileKind::CountOnly || !IsExistingFile(file)) continue;
        if (SharedFileGoes(run, entry.path, entries.Count() > 1) && !DeleteFileEx(file, 0))
            AddFailure(Format(u"%s %s\r\n", Text(kTextNotDeleted), entry.path));
    }
    run.key.DeleteValue(u"SharedFiles");
}

void UnpinFromTaskbar(const Run& run) {
    for (const UninstallBodyRecord& record : run.file.body)
        if (record.kind == UninstallKind::kFile &&
            FindNoCase(record.path, u"\\User Pinned\\") != String::npos)
            ShellExecuteW(nullptr, L"taskbarunpin", W(record.path), nullptr, nullptr, SW_HIDE);
    WaitForStatusMinimum(run);
}

// Language text of the package step (stored in "Uninstall.dat").
constexpr int kTextStatusMsi = 108;

// Each listed package removed by the Windows installer at its recorded level; a package that
// could not be removed goes to the failure summary and stays listed in the rewritten file.
void RemoveMsiPackages(Run& run) {
    if (run.file.msi.IsEmpty()) return;
    SetProgress(kTextStatusMsi, Installer().outcome.progress);
    for (const UninstallMsiPackage& package : run.file.msi) {
        MsiResult result = RunWindowsInstaller(package.path, u"REBOOT=R REMOVE=ALL", package.uiLevel);
        if (result.code == ERROR_SUCCESS) continue;
        AddFailure(Format(u"Failed to uninstall %s, code %d: %s\r\n", FileNameOf(package.path),
                          static_cast<int>(result.code), WindowsSystemErrorText(result.code)));
        run.records.msi += package.line;
        run.records.msi += "\r\n";
    }
    WaitForStatusMinimum(run);
}

// ---- Steps 18 to 23: body records, pending operations, folders, the data file --------------

struct RegistryTarget {
    HKEY root;
    String subkey;
    bool userHive;
};

// The keys a path names: one, or the key in every user hive for "\HKAU\" paths.
Array<RegistryTarget> TargetsOf(const RegistryKeyPath& path, RegistryView view) {
    Array<RegistryTarget> targets;
    if (path.hive != RegistryHive::AllUsers) {
        targets.Append({RegistryHiveKey(path.hive), path.subkey, path.hive == RegistryHive::Users});
        return targets;
    }
    RegistryKey users;
    Array<String> hives;
    if (users.Open(HKEY_USERS, String(), view, KEY_ENUMERATE_SUB_KEYS) && users.SubkeyNames(hives))
        for (const String& hive : hives)
            if (IsUserHive(hive)) targets.Append({HKEY_USERS, JoinPath(hive, path.subkey), true});
    return targets;
}

bool KeyIsEmpty(HKEY root, const String& subkey, RegistryView view) {
    RegistryKey key;
    Array<String> subkeys, values;
    return key.Open(root, subkey, view, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS) &&
           key.SubkeyNames(subkeys) && key.ValueNames(values) && subkeys.IsEmpty() && values.IsEmpty();
}

bool DeleteKeyIfEmpty(HKEY root, const String& subkey, RegistryView view) {
    return !subkey.IsEmpty() && KeyIsEmpty(root, subkey, view) && DeleteRegistryTree(root, subkey, view);
}

// The key when it is empty, then its parents while they are empty; never a hive's root nor a
// key right below it ("Software"), and below HKEY_USERS never the user's hive.
void DeleteEmptyKeyAndParents(const RegistryTarget& target, RegistryView view) {
    if (!DeleteKeyIfEmpty(target.root, target.subkey, view)) return;
    Array<String> parents = target.userHive ? UserHiveParentKeys(target.subkey, kMaxProductKeyParents)
                                            : ParentKeys(target.subkey, kMaxProductKeyParents);
    for (const String& parent : parents) {
        if (parent.View().find(u'\\') == std::u16string_view::npos) break;
        if (target.userHive && parent.View().find(u'\\') == parent.View().rfind(u'\\')) break;
        if (!DeleteKeyIfEmpty(target.root, parent, view)) break;
    }
}

// The value in every key the path names; a key the deletion leaves empty goes with its empty
// parents (the registry list records the keys its values create only by the values).
void DeleteValueEverywhere(const RegistryKeyPath& path, const String& name, RegistryView view) {
    for (const RegistryTarget& target : TargetsOf(path, view)) {
        RegistryKey key;
        if (!key.Open(target.root, target.subkey, view, KEY_SET_VALUE)) continue;
        key.DeleteValue(name);
        key.Close();
        DeleteEmptyKeyAndParents(target, view);
    }
}

void DeleteKeyEverywhere(const RegistryKeyPath& path, RegistryView view) {
    for (const RegistryTarget& target : TargetsOf(path, view))
        if (!target.subkey.IsEmpty()) DeleteRegistryTree(target.root, target.subkey, view);
}

// A file that cannot be deleted goes into the failure summary and is recorded again.
void DeleteRecordedFile(Run& run, const UninstallBodyRecord& record) {
    DeletionVerdict verdict = JudgeDeletion(record.path, DeletionObject::kFile, run.scope, run.names);
    if (!verdict.allowed) {
        // A line that names nothing that exists (garbage, a file already gone) leaves nothing
        // behind: logged only, the result stays as it was.
        if (IsExistingFile(OnDisk(run, verdict.path)) || IsExistingFile(OnDisk(run, record.path)))
            Refuse(record.path, verdict);
        else
            LogTextWide(RefusalText(record.path, verdict));
        return;
    }
    // Judged by its recorded name, which a redirection only moves within the same folder.
    String file = OnDisk(run, verdict.path);
    if (!IsExistingFile(file)) return;
    if (DeleteFileEx(file, 0)) {
        run.deleted.Append(file);
        return;
    }
    AddFailure(Format(u"%s %s\r\n", Text(kTextNotDeleted), record.path));
    RecordUninstallLine(run.records, record.line.View(), UninstallKind::kFile);
}

void UndoBodyRecords(Run& run) {
    SetProgress(0, 10);
    ClearUninstallRecords(run.records);
    RegistryView view = ProductRegistryView(run.values.optionWord2);
    const Array<UninstallBodyRecord>& body = run.file.body;
    for (int i = 0; i < body.Count(); ++i) {
        const UninstallBodyRecord& record = body[i];
        switch (record.kind) {
        case UninstallKind::kFolder: {
            // A recorded folder that is a protected one (the Desktop a link went to) was
            // there before the installation: it is left without a word.
            DeletionVerdict verdict =
                JudgeDeletion(record.path, DeletionObject::kFolder, run.scope, run.names);
            if (verdict.allowed)
                run.folders.Append(verdict.path);
            else if (!verdict.isProtected)
                Refuse(record.path, verdict);
            else
                LogTextWide(RefusalText(record.path, verdict));
            break;
        }
        case UninstallKind::kRegistryValue: {
            RegistryKeyPath key;
            String name;
            if (!SplitValueRecord(record.path, key, name)) break;
            if (const char16_t* refusal = RegistryRecordRefusal(record.kind, key, run.values.productRegistry))
                RefuseRegistryRecord(record.path, refusal);
            else
                DeleteValueEverywhere(key, name, view);
            break;
        }
        case UninstallKind::kRegistryKey:
        case UninstallKind::kRegistryKey64: {
            RegistryKeyPath key;
            if (!ParseRegistryKeyPath(record.path, key)) break;
            if (const char16_t* refusal = RegistryRecordRefusal(record.kind, key, run.values.productRegistry))
                RefuseRegistryRecord(record.path, refusal);
            else
                DeleteKeyEverywhere(key, record.kind == UninstallKind::kRegistryKey64 ? RegistryView::Bits64
                                                                                      : view);
            break;
        }
        case UninstallKind::kFile:
            if (!(run.values.optionWord2 & kOpt2HideFileNames))
                Installer().outcome.progressText = record.path;
            SetProgress(0, 11 + 81 * (i + 1) / body.Count());
            DeleteRecordedFile(run, record);
            break;
        }
    }
    Installer().outcome.progressText.Clear();
}

void ClearFolderAttributes(const String& folder) {
    DWORD attributes = GetFileAttributesW(W(folder));
    const DWORD unwanted = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & unwanted))
        SetFileAttributesW(W(folder), attributes & ~unwanted);
}

// Each folder and then its parents while they are empty, never the stop folder itself, never
// a protected folder, and outside the installation folder only what the installation
// recorded (see FoldersToRemove).
void RemoveEmptyFolders(Run& run, const String& folder, const String& stopAt, int maxFolders) {
    Array<String> chain = FoldersToRemove(folder, stopAt, run.folders, run.scope, run.names, maxFolders);
    for (int i = 0; i < chain.Count(); ++i) {
        String onDisk = OnDisk(run, chain[i]);
        ClearFolderAttributes(onDisk);
        if (!RemoveDirectoryW(W(onDisk))) break;
    }
}

void RemoveCreatedFolders(Run& run) {
    const String& installDir = Installer().folders.installDir;
    for (const String& folder : FoldersLongestFirst(run.folders)) {
        if (!(run.values.optionWord2 & kOpt2HideFileNames)) Installer().outcome.progressText = folder;
        RemoveEmptyFolders(run, folder, installDir, kMaxFolderLevels);
    }
    Installer().outcome.progressText.Clear();
    // A created folder that is still there (it held a file that could not be deleted, or one
    // of the user's) stays recorded, so that a later run removes it once it is empty.
    for (const String& folder : run.folders)
        if (IsExistingFolder(OnDisk(run, folder)))
            RecordUninstallPath(run.records, folder, UninstallKind::kFolder);
}

void RewriteDataFile(Run& run) {
    SaveUninstallData(run.dataPath, run.records, run.file.texts, 0, run.file.caption);
    ClearUninstallRecords(run.records);
}

// The Start menu folder lies in the Programs folder of the shortcuts' scope; the loop stops
// below that Programs folder, which belongs to the system.
void RemoveStartMenuFolder(Run& run) {
    const String& stored = run.values.productStartMenu;
    if (stored.IsEmpty()) return;
    String programs = GetFolder(run.values.shortcutMode == 1 ? FolderId::CommonPrograms : FolderId::Programs);
    bool absolute = stored.Length() > 1 && (stored[1] == u':' || (stored[0] == u'\\' && stored[1] == u'\\'));
    RemoveEmptyFolders(run, absolute ? stored : JoinPath(programs, stored), programs,
                       1 + kMaxStartMenuParents);
    WaitForStatusMinimum(run);
}

// ---- Steps 25 to 29: registry, system records, whole tree, success --------------------------

void DeleteProductKey(Run& run, RegistryView view) {
    if (run.values.productRegistry.IsEmpty()) return;
    String own = JoinPath(u"Software", run.values.productRegistry);
    if (DeleteRegistryTree(HKEY_LOCAL_MACHINE, own, view))
        for (const String& parent : ParentKeys(own, kMaxProductKeyParents))
            if (!DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, parent, view)) break;
    RegistryKeyPath everyUser{RegistryHive::AllUsers, own};
    for (const RegistryTarget& target : TargetsOf(everyUser, view)) {
        if (!DeleteRegistryTree(target.root, target.subkey, view)) continue;
        for (const String& parent : UserHiveParentKeys(target.subkey, kMaxProductKeyParents))
            if (!DeleteKeyIfEmpty(HKEY_USERS, parent, view)) break;
    }
    run.key.DeleteValue(u"ProductRegistry");
}

void UndoRegistry(Run& run) {
    SetProgress(kTextStatusRegistry, 95);
    RegistryView view = ProductRegistryView(run.values.optionWord2);
    DeleteProductKey(run, view);
    for (const RegistryUndoStep& step : RegistryUndoSteps(run.file.registry2.View())) {
        if (step.deleteValue) {
            DeleteValueEverywhere(step.key, step.valueName, view);
            continue;
        }
        for (const RegistryTarget& target : TargetsOf(step.key, view))
            DeleteEmptyKeyAndParents(target, view);
    }
}

// Whether the tree holds nothing but the running program (and the folders on its way).
bool OnlyProgramRemains(const String& folder, const String& program) {
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(W(JoinPath(folder, u"*")), &found));
    if (!search) return true;
    do {
        String name = FromW(found.cFileName);
        if (name == String(u".") || name == String(u"..")) continue;
        String child = JoinPath(folder, name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!OnlyProgramRemains(child, program)) return false;
        } else if (CompareNoCase(child, program) != 0) {
            return false;
        }
    } while (FindNextFileW(search.Get(), &found));
    return true;
}

// The installation folder with everything in it, unless it is or holds a folder of the system
// or of a user (a drive root, a profile, Documents, Desktop, ...), whatever the stored folder
// says. The running program stays for the self-removal batch.
void DeleteInstallationTree(Run& run) {
    if (!(run.values.optionWord1 & kOpt1DeleteInstallFolder)) return;
    const String& stored = Installer().folders.installDir;
    DeletionVerdict verdict = JudgeDeletion(stored, DeletionObject::kTree, run.scope, run.names);
    if (!verdict.allowed) {
        String text = Format(u"Refused to delete the folder \"%s\": %s.\r\n", stored, verdict.reason);
        LogTextWide(text);
        AddFailure(text);
        return;
    }
    const String& folder = verdict.path;
    if (DeleteFolderTree(folder) || !IsExistingFolder(folder)) return;
    DWORD error = GetLastError();
    if (OnlyProgramRemains(folder, ModuleFullPath())) return;
    AddFailure(Format(u"Failed to delete folder \"%s\": %s\r\n", folder, WindowsSystemErrorText(error)));
}

// The firewall exceptions the installation added: a port's for each protocol of its mask, a
// program's by its path (variables expanded, relative to the installation folder). An exception
// already gone (removed by hand) is no failure of the uninstallation, so results are not kept.
void RemoveFirewallExceptions(const Run& run) {
    if (run.file.firewall.IsEmpty()) return;
    bool completed = RunGuarded([&run] {
        FirewallProfile firewall;
        if (FAILED(firewall.Connect())) return;
        for (const UninstallFirewallRule& rule : run.file.firewall) {
            uint32_t port = 0;
            if (FirewallPortOf(rule.target, port)) {
                if (rule.protocols & 1) firewall.ClosePort(port, kProtocolTcp);
                if (rule.protocols & 2) firewall.ClosePort(port, kProtocolUdp);
                continue;
            }
            String path = rule.target;
            ExpandInstallerVariables(path);
            firewall.RemoveProgram(FirewallProgramPath(path, Installer().folders.installDir));
        }
    });
    if (!completed) LogTextWide(u"Crash while removing firewall exceptions.\r\n");
}

// Steps 26 and 27: firewall exceptions, then driver packages.
void UndoSystemRecords(const Run& run) {
    SetProgress(0, 96);
    RemoveFirewallExceptions(run);
    SetProgress(0, 97);
    RemoveDriverPackages(run.file.inf);
}

void FinishSuccess(Run& run) {
    DeleteFileEx(run.dataPath, kDeleteMissingIsDeleted);
    if (run.values.optionWord1 & kOpt1AddToPath) UpdateSearchPath(false, run.values.addToPathSubfolder);
    RunStoredBatch(run, run.values.uninstallBatch2, run.values.optionWord1 & kOpt1HideUninstallBatch2,
                   u"UninstallBatch2");
    run.key.Close();
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, run.keyPath, RegistryView::Bits32);
}

// ---- Steps 31 and 32: the end ----------------------------------------------------------------

void OpenFeedbackPage(const Run& run) {
    String8 address = FeedbackAddress(run.values.feedbackUrl);
    if (address.IsEmpty()) return;
    NotificationInputs inputs;
    inputs.session = Installer().session;
    inputs.os = CurrentOsRecord();
    inputs.osFacts = CurrentOsNameFacts();
    ExpandNotificationUrl(address, Installer().productVersion8, inputs);
    if (!address.IsEmpty()) OpenThroughShell(FromUtf8(address.View()), String(), String());
}

int EndSuccess(const Run& run) {
    const InstallerState& state = Installer();
    if (!run.automatic && (run.values.payloadFlags & kFlagCompletionMessage))
        ShowMessage(Text(kTextDone), Text(kTextDoneTitle), MB_ICONINFORMATION | MB_OK);
    bool restart = false;
    if (state.definition.optionWord2 & kOpt2RestartAfterUninstall)
        restart = run.automatic || ShowMessage(Text(kTextRestart), Text(kTextRestartTitle),
                                               MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (restart) RestartWindows();
    // The installation folder is going away: the program starts in the temporary folder.
    if (!state.commandLine.runProgram.IsEmpty())
        StartProgram(state.commandLine.runProgram, GetFolder(FolderId::Temp));
    if (!restart && !run.automatic) OpenFeedbackPage(run);
    return kUninstallDone;
}

int EndWithFailures(const Run& run) {
    if (!run.automatic)
        ShowMessage(TextWith(kTextFailures, FailureSummary()), Text(kTextRestartTitle),
                    MB_ICONWARNING | MB_OK);
    return kUninstallFailures;
}

} // namespace

int Uninstall(const String& uninstallName) {
    Run run;
    run.name = uninstallName;
    run.keyPath = String(kUninstallKeyRoot) + uninstallName;
    run.automatic = Installer().commandLine.automatic;
    if (int code = OpenEntry(run)) return code;
    if (int code = ReadEntry(run)) return code;
    if (int code = ReadDataFile(run)) return code;

    if (!CloseProgramWindows(EntriesOfPass(run, ClosePass::kBeforeConfirmation), kTextCloseProgram,
                             kTextConfirmTitle))
        return kUninstallCancelled;
    if (!Confirmed(run) || SupportOfferTaken(run)) return kUninstallCancelled;
    if (!CloseProgramWindows(EntriesOfPass(run, ClosePass::kAfterConfirmation), kTextCloseProgram,
                             kTextConfirmTitle))
        return kUninstallCancelled;
    RunStoredBatch(run, run.values.uninstallBatch1, run.values.optionWord1 & kOpt1HideUninstallBatch1,
                   u"UninstallBatch1");

    RestoreAssociations(run);
    WaitForStatusMinimum(run);
    RemoveFonts(run);
    DeleteInstallLog(run);
    ReleaseSharedFiles(run);
    UnpinFromTaskbar(run);
    RemoveMsiPackages(run);
    UndoBodyRecords(run);
    SetProgress(0, 92);
    CancelPendingOperations(run.deleted);
    RunConditionalDeletions(run.records.deletions, false);
    SetProgress(0, 93);
    RemoveCreatedFolders(run);
    RewriteDataFile(run);
    RemoveStartMenuFolder(run);
    UndoRegistry(run);
    UndoSystemRecords(run);
    DeleteInstallationTree(run);
    SetProgress(0, 98);
    if (!run.values.sharedPath.IsEmpty()) {
        DeletionVerdict shared =
            JudgeDeletion(run.values.sharedPath, DeletionObject::kFolder, run.scope, run.names);
        if (shared.allowed) RemoveDirectoryW(W(shared.path));
    }
    bool succeeded = FailureSummary().IsEmpty();
    if (succeeded) FinishSuccess(run);
    run.key.Close();
    NotifyDesktopChanged();
    SetProgress(0, 100);
    RestoreFileSystemRedirection();
    return succeeded ? EndSuccess(run) : EndWithFailures(run);
}

} // namespace cs
