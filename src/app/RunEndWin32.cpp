#include "app/RunEndWin32.h"

#include "actions/ShortcutRules.h"
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
#include "runtime/ProcessWin32.h"
#include "runtime/ShellLaunchWin32.h"
#include "vars/VariablesWin32.h"

#include <shlobj.h>
#include <windows.h>

namespace cs {

namespace {

// Planned application installation (SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION
// | SHTDN_REASON_MINOR_INSTALLATION).
constexpr DWORD kRestartReason = 0x80040002;

// Set by the restart question, read by the restart.
bool g_restarting = false;

// A link of the definition with the installer variables expanded, trimmed.
String ExpandedLink(int link) {
    String text = Installer().definition.links[link];
    ExpandInstallerVariables(text);
    Trim(text);
    return text;
}

String LaunchOnExitCommand() {
    return ExpandedLink(kLinkLaunchOnExit);
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

// A summary-page document, opened with the user's rights where the desktop shell can do it.
void OpenDocument(int link) {
    const String& folder = Installer().folders.installDir;
    String document = InInstallFolder(ExpandedLink(link), folder);
    if (document.IsEmpty()) return;
    if (!OpenThroughDesktopShell(document, String(), folder)) OpenThroughShell(document, String(), folder);
}

// The product's main program with its arguments, started in the installation folder: through
// the desktop shell unless the definition asks for a direct start, else (or when the shell
// could not) as a process of ours.
void LaunchProduct() {
    const InstallerState& state = Installer();
    String command = state.definition.appPath;
    ExpandInstallerVariables(command);
    String program, arguments;
    SplitCommand(command, program, arguments);
    if (program.IsEmpty()) return;
    const String& folder = state.folders.installDir;
    program = InInstallFolder(program, folder);
    if (!(state.payloadFlags & kFlagLaunchDirectly) && OpenThroughDesktopShell(program, arguments, folder))
        return;
    String line = Format(u"\"%s\" %s", program, arguments);
    if (!StartProgram(line, folder))
        AppendToLogFile(AppLaunchFailureText(command, WindowsSystemErrorText(GetLastError())));
}

// "Install.log" in the user's viewer for it, else in Notepad.
void ShowLog() {
    const InstallerState& state = Installer();
    String log = LogPath(state.folders.installDir, state.definition.uninstallSubdir);
    if (OpenThroughDesktopShell(log, String(), String()) || OpenThroughShell(log, String(), String()) == 0)
        return;
    StartProgram(Format(u"notepad.exe \"%s\"", log), state.folders.installDir);
}

void ActOnSummaryChoices() {
    const SummaryChoices& chosen = Installer().choices.summary;
    if (chosen.openDocument) OpenDocument(kLinkDocument1);
    if (chosen.launchProduct) LaunchProduct();
    if (chosen.showLog) ShowLog();
    if (chosen.openSecondDocument) OpenDocument(kLinkDocument2);
}

} // namespace

void RestartWindows() {
    EnablePrivilege(SE_SHUTDOWN_NAME);
    ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, kRestartReason);
}

bool StartProgram(const String& command, const String& folder) {
    return static_cast<bool>(StartProcess(command, folder, false));
}

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
        RestartWindows();
        return;
    }
    const InstallerState& state = Installer();
    SetCurrentDirectoryW(W(state.folders.installDir));
    String command = LaunchOnExitCommand();
    if (LaunchesOnExit(g_restarting, command, state.outcome.failureSummary) &&
        !StartProgram(command, state.folders.installDir))
        AppendToLogFile(LaunchFailureText(command, WindowsSystemErrorText(GetLastError())));
    ActOnSummaryChoices();
}

} // namespace cs
