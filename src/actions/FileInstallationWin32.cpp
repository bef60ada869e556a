#include "actions/FileInstallationWin32.h"

#include "actions/FileWriteWin32.h"
#include "actions/FontsAndPackagesWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/Extraction.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "runtime/Payload.h"
#include "uninstall/DeletionWin32.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

namespace cs {

namespace {

constexpr const char16_t kClassesKey[] = u"Software\\Classes\\CLSID\\";
// Read, write, create subkeys, enumerate (in the 64-bit view the applet's keys are asked for in).
constexpr REGSAM kAppletAccess = 0x2000F;
constexpr const char16_t kControlPanelKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\";

// A file standing where the folder or one of its parents should be.
bool FileBlocksFolder(String folder) {
    while (!folder.IsEmpty()) {
        if (IsExistingFile(folder)) return true;
        String parent = FolderOf(folder);
        if (parent.Length() >= folder.Length()) break;
        folder = parent;
    }
    return false;
}

class WindowsFileSystem final : public FileInstallSystem {
  public:
    explicit WindowsFileSystem(const FileRun& run) : run_(run) {}

    String LanguageText(int number) override { return Text(number); }
    void ExpandVariables(String& text) override { ExpandInstallerVariables(text); }
    void ShowProgress(int position, const String& text) override {
        RunOutcome& outcome = Installer().outcome;
        outcome.progress = position;
        outcome.progressText = text;
    }
    void Log(const String& text) override { LogTextWide(text); }
    void AddFailure(const String& text) override { FailureSummary() += text; }
    void Corrupt(int code) override {
        DeleteExtractionFile();
        CorruptInstaller(code);
    }

    ExistingFile Inspect(const String& path, bool withVersion) override {
        ExistingFile f;
        f.exists = IsExistingFile(path);
        if (!f.exists) return f;
        f.timeKnown = FileTimeOf(path, f.time);
        if (withVersion) f.version = FileVersionOf(path);
        return f;
    }
    bool MakeFolder(const String& folder, String& reason) override {
        if (MakeFolderPath(folder)) return true;
        DWORD error = GetLastError();
        reason = FileBlocksFolder(folder) ? String(u"Cannot create folder because there is a file with the same name.")
                                          : WindowsSystemErrorText(error);
        return false;
    }
    WriteOutcome Write(const String& destination, const FileRecord& entry, bool existedBefore) override {
        FileWrite write;
        write.destination = destination;
        write.size = entry.size;
        write.source = ExtractionFileHandle();
        write.date = entry.date;
        write.attributes = entry.attributes;
        write.existedBefore = existedBefore;
        write.optionWord1 = run_.optionWord1;
        return WriteInstalledFile(write, Text(kTextFailureWord));
    }
    String RegisterApplet(const String& classId, const String& name, const String& destination,
                          const String& arguments, UninstallRecords& records) override {
        String classKey = String(kClassesKey) + classId;
        RegistryKey key, icon, command, panel;
        bool ok = key.Create(HKEY_LOCAL_MACHINE, classKey, RegistryView::Bits64, kAppletAccess);
        if (ok) {
            RecordUninstallPath(records, String(u"\\HKLM\\") + classKey, UninstallKind::kRegistryKey64);
            String open = Format(u"\"%s\"", destination);
            if (!arguments.IsEmpty()) open += Format(u" %s", arguments);
            ok = key.SetText(u"", name) &&
                 icon.Create(HKEY_LOCAL_MACHINE, classKey + u"\\DefaultIcon", RegistryView::Bits64, kAppletAccess) &&
                 icon.SetText(u"", destination) &&
                 command.Create(HKEY_LOCAL_MACHINE, classKey + u"\\Shell\\Open\\Command", RegistryView::Bits64,
                                kAppletAccess) &&
                 command.SetText(u"", open);
        }
        if (ok) {
            String panelKey = String(kControlPanelKey) + classId;
            ok = panel.Create(HKEY_LOCAL_MACHINE, panelKey, RegistryView::Bits64, kAppletAccess) && panel.SetText(u"", name);
            if (ok) RecordUninstallPath(records, String(u"\\HKLM\\") + panelKey, UninstallKind::kRegistryKey64);
        }
        if (ok) return u"OK\r\n";
        return Format(u"FAILED!\r\n%s\r\n\r\n", WindowsSystemErrorText(GetLastError()));
    }

    bool WriteFontValue(const String& face, const String& fileName, uint32_t& error) override {
        return WriteFontRegistration(face, fileName, error);
    }
    bool LoadFontResource(const String& path, uint32_t& error) override {
        SetLastError(ERROR_SUCCESS);
        bool ok = AddFontResourceW(W(path)) != 0;
        error = ok ? 0 : GetLastError();
        return ok;
    }
    uint32_t InstallMsiPackage(const String& path, uint32_t uiLevel, bool& crashed) override {
        MsiResult result = RunWindowsInstaller(path, u"REBOOT=R", static_cast<int>(uiLevel));
        crashed = result.crashed;
        return result.code;
    }

    void BroadcastFontChange() override { NotifyFontChange(); }
    void CancelPendingOperations(const Array<String>& installed) override {
        cs::CancelPendingOperations(installed);
    }
    bool OpenSharedCounts(uint32_t& error) override {
        bool ok = counts_.Create(HKEY_LOCAL_MACHINE, kSharedCountsKey, RegistryView::Default,
                                 KEY_QUERY_VALUE | KEY_SET_VALUE);
        error = GetLastError();
        return ok;
    }
    bool IncrementSharedCount(const String& path, uint32_t& error) override {
        uint32_t count = 0;
        counts_.ReadDword(path, count); // missing: 0
        bool ok = counts_.SetDword(path, count + 1);
        error = GetLastError();
        return ok;
    }
    String SystemErrorText(uint32_t code) override { return WindowsSystemErrorText(code); }

  private:
    const FileRun& run_;
    RegistryKey counts_;
};

DestinationFolders RunDestinationFolders(const InstallerState& state) {
    const Definition& d = state.definition;
    DestinationFolders f;
    f.installDir = state.folders.installDir;
    f.sharedDir = state.folders.sharedDir;
    f.uninstallDataFolder = UninstallDataFolder(state.folders.installDir, d.uninstallSubdir);
    f.fontsFolder = GetFolder(FolderId::Fonts);
    // A 32-bit product's system files go where 32-bit programs look for them, under the
    // names the 32-bit engine gives them.
    f.systemFolder = GetFolder(FolderId::System);
    f.systemFolder32 = ProductSystemFolder32();
    f.removableDrive = state.folders.removableDrive;
    if (!d.sharedSubfolder.IsEmpty()) f.sharedOverride = JoinPath(state.folders.installDir, d.sharedSubfolder);
    return f;
}

FileRunLists g_lists;

} // namespace

void InstallFiles(EnginePayload& payload) {
    InstallerState& state = Installer();
    Definition& d = state.definition;
    FileRun run;
    run.folders = RunDestinationFolders(state);
    run.optionWord1 = d.optionWord1;
    run.optionWord2 = d.optionWord2;
    run.shortcuts = &d.shortcuts;
    run.records = &RunUninstallRecords();
    run.storedSharedFiles = ToCodePage(state.existing.sharedFiles, kCodePage1252);

    WindowsFileSystem system(run);
    FileInstaller installer(system, run);
    int count = payload.info.header.fileCount;
    for (int i = 0; i < count; ++i) {
        FileRecord entry;
        NextFileOrExit(payload, static_cast<size_t>(i), entry);
        installer.Install(entry, i, count);
    }
    installer.Finish();

    d.optionWord1 = run.optionWord1;
    if (run.diskFull) state.outcome.diskFull = true;
    state.existing.sharedFiles = FromCodePage(run.storedSharedFiles.View(), kCodePage1252);
    g_lists = std::move(installer.Lists());
}

FileRunLists& InstalledFileLists() {
    return g_lists;
}

} // namespace cs
