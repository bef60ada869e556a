#include "actions/ShortcutsWin32.h"

#include "actions/ShellLinkWin32.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/GuardWin32.h"
#include "core/OsInfo.h"
#include "core/SystemErrorWin32.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "vars/VariablesWin32.h"

#include <windows.h>

namespace cs {

namespace {

class WindowsShortcutSystem final : public ShortcutSystem {
  public:
    String LanguageText(int number) override { return Text(number); }
    void ExpandVariables(String& text) override { ExpandInstallerVariables(text); }
    void ShowStatus(const String& text) override { Installer().outcome.progressText = text; }
    void Log(const String& text) override { LogTextWide(text); }
    bool FolderExists(const String& path) override { return IsExistingFolder(path); }
    bool FileExists(const String& path) override { return IsExistingFile(path); }
    bool MakeFolder(const String& folder, String& reason) override {
        if (MakeFolderPath(folder)) return true;
        reason = WindowsSystemErrorText(GetLastError());
        return false;
    }
    bool CreateLink(const Link& link) override {
        int64_t error = 0;
        if (CreateShellLink(link, error)) return true;
        LogFailure(WithLinkExtension(link.path), error);
        return false;
    }
    bool SaveFile(const String& path, const String8& bytes) override {
        return WriteWholeFile(path, bytes.View());
    }
    void WriteIniText(const String& path, const char16_t* section, const char16_t* key,
                      const String& value) override {
        WritePrivateProfileStringW(W(String(section)), W(String(key)), W(value), W(path));
    }
    void AddAttributes(const String& path, uint32_t attributes) override {
        DWORD current = GetFileAttributesW(W(path));
        if (current != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(W(path), current | attributes);
    }
    void RemoveFile(const String& path) override { DeleteFileW(W(path)); }
    bool PinToTaskbar(const String& linkPath, String& failure) override {
        uint32_t error = 0;
        if (PinLinkToTaskbar(linkPath, error)) return true;
        failure = WindowsSystemErrorText(error);
        return false;
    }
    bool Guarded(const std::function<void()>& step) override { return RunGuarded(step); }
};

ShortcutFolders RunShortcutFolders(const InstallerState& state) {
    bool allUsers = state.choices.allUsers;
    ShortcutFolders f;
    f.installDir = state.folders.installDir;
    f.uninstallDataFolder = UninstallDataFolder(state.folders.installDir, state.definition.uninstallSubdir);
    f.desktop = GetFolder(allUsers ? FolderId::CommonDesktop : FolderId::Desktop);
    f.desktopFolder = state.desktopFolderPath;
    f.startMenu = ProductStartMenu(allUsers);
    f.userStartMenu = ProductStartMenu(false);
    f.startup = GetFolder(allUsers ? FolderId::CommonStartup : FolderId::Startup);
    f.temp = GetFolder(FolderId::Temp);
    f.appData = GetFolder(FolderId::AppData);
    return f;
}

} // namespace

String ProductStartMenu(bool allUsers) {
    return JoinPath(GetFolder(allUsers ? FolderId::CommonPrograms : FolderId::Programs),
                    Installer().choices.startMenuFolder);
}

void InstallShortcuts() {
    InstallerState& state = Installer();
    Definition& d = state.definition;
    ShortcutRun run;
    run.definition = &d;
    run.payloadFlags = state.payloadFlags;
    run.removableDrive = state.folders.removableDrive;
    run.os = CurrentOsRecord();
    run.folders = RunShortcutFolders(state);
    run.uninstallerPath = state.folders.uninstallerPath;
    run.logPath = LogPath(state.folders.installDir, d.uninstallSubdir);
    run.records = &RunUninstallRecords();

    WindowsShortcutSystem system;
    ShortcutInstaller(system, run).Run(d.shortcuts);
}

} // namespace cs
