// The closing pass over the top-level windows before files are installed.
#include "app/AutoClose.h"
#include "app/Sequence.h"
#include "app/SequenceSupportWin32.h"
#include "core/Format.h"
#include "core/HandleWin32.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"

#include <windows.h>

namespace cs {

namespace {

constexpr unsigned kSettleMilliseconds = 333;

String WindowClassOf(HWND window) {
    wchar_t name[kMaxWindowClassChars + 1] = {};
    int n = GetClassNameW(window, name, kMaxWindowClassChars + 1);
    return FromW(name, n > 0 ? size_t(n) : 0);
}

String WindowTitleOf(HWND window) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::u16string title(size_t(length) + 1, u'\0');
    int n = GetWindowTextW(window, reinterpret_cast<wchar_t*>(title.data()), length + 1);
    title.resize(n > 0 ? size_t(n) : 0);
    return String(title);
}

// Mode 2: the user is asked, while the window exists, to close the program; Cancel cancels.
void AskUntilClosed(HWND window, const AutoCloseEntry& entry) {
    while (IsWindow(window)) {
        String message = TextWith(kStringCloseProgram, entry.displayName);
        if (ShowMessage(message, Text(kStringCloseProgramTitle), MB_RETRYCANCEL | MB_ICONWARNING) == IDCANCEL)
            CancelInstallation();
        if (Installer().Silent()) return; // nobody can close it: go on
    }
}

void TerminateOwner(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
    if (!process) return;
    TerminateProcess(process.Get(), 0);
}

void Act(HWND window, const AutoCloseEntry& entry) {
    LogTextWide(Format(u"Closing \"%s\" (mode %d).\r\n", entry.displayName, int(entry.mode)));
    switch (entry.mode) {
    case 0:
        PostMessageW(window, WM_CLOSE, 0, 0);
        break;
    case 1:
        PostMessageW(window, WM_QUIT, 0, 0);
        break;
    case 2:
        AskUntilClosed(window, entry);
        break;
    case 3:
        TerminateOwner(window);
        break;
    default:
        break;
    }
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId()) return TRUE;
    const Array<AutoCloseEntry>& entries = Installer().definition.autoClose;
    int match =
        FirstMatchingEntry(entries, kAutoCloseWhenInstalling, WindowClassOf(window), WindowTitleOf(window));
    if (match >= 0) Act(window, entries[match]);
    return TRUE;
}

} // namespace

void RunClosingPass() {
    Array<AutoCloseEntry>& entries = Installer().definition.autoClose;
    if (entries.Count() == 0) return;
    EnumWindows(VisitWindow, 0);
    KeepUninstallEntries(entries);
    WaitProcessingMessages(kSettleMilliseconds);
}

} // namespace cs
