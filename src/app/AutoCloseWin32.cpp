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

// What one closing pass works with: the entries, the pass bit they must carry, the texts of
// the mode-2 question, and whether the user cancelled it.
struct ClosingPass {
    const Array<AutoCloseEntry>* entries = nullptr;
    uint8_t passBit = 0;
    int question = kStringCloseProgram, title = kStringCloseProgramTitle;
    bool cancelled = false;
};

// Mode 2: the user is asked, while the window exists, to close the program; Cancel cancels.
void AskUntilClosed(HWND window, const AutoCloseEntry& entry, ClosingPass& pass) {
    while (IsWindow(window)) {
        String message = TextWith(pass.question, entry.displayName);
        if (ShowMessage(message, Text(pass.title), MB_RETRYCANCEL | MB_ICONWARNING) == IDCANCEL) {
            pass.cancelled = true;
            return;
        }
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

void Act(HWND window, const AutoCloseEntry& entry, ClosingPass& pass) {
    LogTextWide(Format(u"Closing \"%s\" (mode %d).\r\n", entry.displayName, int(entry.mode)));
    switch (entry.mode) {
    case 0:
        PostMessageW(window, WM_CLOSE, 0, 0);
        break;
    case 1:
        PostMessageW(window, WM_QUIT, 0, 0);
        break;
    case 2:
        AskUntilClosed(window, entry, pass);
        break;
    case 3:
        TerminateOwner(window);
        break;
    default:
        break;
    }
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM context) {
    ClosingPass& pass = *reinterpret_cast<ClosingPass*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId()) return TRUE;
    const Array<AutoCloseEntry>& entries = *pass.entries;
    int match = FirstMatchingEntry(entries, pass.passBit, WindowClassOf(window), WindowTitleOf(window));
    if (match >= 0) Act(window, entries[match], pass);
    return pass.cancelled ? FALSE : TRUE;
}

} // namespace

void RunClosingPass() {
    Array<AutoCloseEntry>& entries = Installer().definition.autoClose;
    if (entries.Count() == 0) return;
    ClosingPass pass;
    pass.entries = &entries;
    pass.passBit = kAutoCloseWhenInstalling;
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&pass));
    if (pass.cancelled) CancelInstallation();
    KeepUninstallEntries(entries);
    WaitProcessingMessages(kSettleMilliseconds);
}

bool CloseProgramWindows(const Array<AutoCloseEntry>& entries, int question, int title) {
    if (entries.Count() == 0) return true;
    ClosingPass pass;
    pass.entries = &entries;
    pass.passBit = kAutoCloseWhenUninstalling;
    pass.question = question;
    pass.title = title;
    EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&pass));
    if (!pass.cancelled) WaitProcessingMessages(kSettleMilliseconds);
    return !pass.cancelled;
}

} // namespace cs
