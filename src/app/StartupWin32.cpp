#include "app/Startup.h"

#include "core/Fatal.h"
#include "core/SecurityWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "runtime/Exit.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"
#include "runtime/ProcessWin32.h"

#include <windows.h>

namespace cs {

namespace {

constexpr int kProgramIconId = 1;

CrashHandler g_crashHandler = nullptr;
ProgramResources g_resources;

// The message also goes to the failure summary, so that the log the exit routine writes tells
// of the failure instead of ending with the completion text.
void FatalHookShowAndExit(const String& message) {
    FailureSummary() += message + u"\r\n";
    ShowMessage(message, ErrorTitle(), MB_ICONERROR | MB_OK);
    ExitInstaller(kFatalExitCode);
}

LONG WINAPI UnhandledExceptionFilterHook(EXCEPTION_POINTERS* pointers) {
    return g_crashHandler ? g_crashHandler(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

HICON LoadProgramIcon(int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIconId),
                                         IMAGE_ICON, GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), 0));
}

// The subclassing entry points exist by name from comctl32 version 6 on.
void LookUpSubclassing() {
    HMODULE comctl = LoadSystemLibrary(L"comctl32.dll");
    if (!comctl) return;
    g_resources.setWindowSubclass = LibraryEntry<void*>(comctl, "SetWindowSubclass");
    g_resources.defSubclassProc = LibraryEntry<void*>(comctl, "DefSubclassProc");
}

} // namespace

void PrepareProcess() {
    StartOle();
    EnablePrivilege(SE_TAKE_OWNERSHIP_NAME);
    g_resources.largeIcon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    g_resources.smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
    AddFatalHook(FatalHookShowAndExit);
    SetUnhandledExceptionFilter(UnhandledExceptionFilterHook);
    LookUpSubclassing();
}

const ProgramResources& Resources() {
    return g_resources;
}

void SetCrashHandler(CrashHandler handler) {
    g_crashHandler = handler;
}

CommandLine ReadCommandLineOrExit() {
    CommandLine& line = Installer().commandLine;
    String reason;
    bool ok = ParseCommandLine(reinterpret_cast<const char16_t*>(GetCommandLineW()), line, reason);
    if (!ok) {
        ShowMessage(UsageText(reason, ModuleFileName()), ErrorTitle(), MB_ICONERROR | MB_OK);
        ExitInstaller(kExitCodeUsage);
    }
    return line;
}

} // namespace cs
