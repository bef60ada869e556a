#include "app/RunEndWin32.h"

#include "app/RunEnd.h"
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/HandleWin32.h"
#include "core/SecurityWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/InstallFolders.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"
#include "vars/VariablesWin32.h"

#include <shlobj.h>
#include <windows.h>

#include <vector>

namespace cs {

namespace {

// Planned application installation (SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION
// | SHTDN_REASON_MINOR_INSTALLATION).
constexpr DWORD kRestartReason = 0x80040002;

// Set by the restart question, read by the restart.
bool g_restarting = false;

String LaunchOnExitCommand() {
    String command = Installer().definition.links[kLinkLaunchOnExit];
    ExpandInstallerVariables(command);
    Trim(command);
    return command;
}

void Restart() {
    EnablePrivilege(SE_SHUTDOWN_NAME);
    ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, kRestartReason);
}

// The log is finished by now: a launch failure goes straight into its file.
void AppendToLogFile(const String& text) {
    const InstallerState& state = Installer();
    String path = LogPath(state.folders.installDir, state.definition.uninstallSubdir);
    String8 contents;
    ReadWholeFile(path, contents);
    contents += ToUtf8(text);
    WriteWholeFile(path, contents.View());
}

void Launch(const String& command, const String& folder) {
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, W(folder), &startup,
                        &process)) {
        AppendToLogFile(LaunchFailureText(command, WindowsSystemErrorText(GetLastError())));
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace

void NotifyDesktopChanged() {
    String desktop = GetFolder(Installer().choices.allUsers ? FolderId::CommonDesktop : FolderId::Desktop);
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, W(desktop), nullptr);
}

void LogLaunchOnExit() {
    String command = LaunchOnExitCommand();
    if (!command.IsEmpty()) LogTextWide(Format(u"Launch on exit: %s\r\n", command));
}

void AskForRestart() {
    const InstallerState& state = Installer();
    const Definition& d = state.definition;
    switch (DecideRestart(d.optionWord1, d.optionWord2, state.automatic)) {
    case RestartDecision::None:
        g_restarting = false;
        break;
    case RestartDecision::Ask:
        g_restarting = ShowMessage(Text(kStringRestartQuestion), Text(kStringRestartTitle),
                                   MB_YESNO | MB_ICONQUESTION) == IDYES;
        break;
    case RestartDecision::Restart:
        g_restarting = true;
        break;
    }
}

void RestartOrLaunch() {
    if (g_restarting) {
        Restart();
        return;
    }
    const InstallerState& state = Installer();
    SetCurrentDirectoryW(W(state.folders.installDir));
    String command = LaunchOnExitCommand();
    if (LaunchesOnExit(g_restarting, command, state.outcome.failureSummary))
        Launch(command, state.folders.installDir);
    // The summary page's choices (open the documents, launch the product, show the log) act
    // here once the wizard's summary page exists.
}

} // namespace cs
