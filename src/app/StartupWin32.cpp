#include "app/Startup.h"

#include "core/Fatal.h"
#include "core/SecurityWin32.h"
#include "core/SystemLibraryWin32.h"
#include "core/WinText.h"

#include <windows.h>
#include <ole2.h>

namespace cs {

namespace {

constexpr int kProgramIconId = 1;
constexpr int kMaxExitSteps = 16;

bool g_silent = false;
bool g_oleStarted = false;
String g_errorTitle = u"Error";
CrashHandler g_crashHandler = nullptr;
ProgramResources g_resources;
void (*g_exitSteps[kMaxExitSteps])() = {};
int g_exitStepCount = 0;

void FatalHookShowAndExit(const String& message) {
    ShowMessage(message, ErrorTitle(), MB_ICONERROR | MB_OK);
    ExitInstaller(kFatalExitCode);
}

LONG WINAPI UnhandledExceptionFilterHook(EXCEPTION_POINTERS* pointers) {
    return g_crashHandler ? g_crashHandler(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

HICON LoadProgramIcon(int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), 0));
}

// The subclassing entry points exist by name from comctl32 version 6 on.
void LookUpSubclassing() {
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    if (!comctl) return;
    g_resources.setWindowSubclass = LibraryEntry<void*>(comctl, "SetWindowSubclass");
    g_resources.defSubclassProc = LibraryEntry<void*>(comctl, "DefSubclassProc");
}

} // namespace

void PrepareProcess() {
    g_oleStarted = SUCCEEDED(OleInitialize(nullptr));
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

void ProcessPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void SetErrorTitle(const String& title) {
    g_errorTitle = title.IsEmpty() ? String(u"Error") : title;
}

const String& ErrorTitle() {
    return g_errorTitle;
}

String ModulePath() {
    wchar_t path[1025] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, 1024);
    return String(reinterpret_cast<const char16_t*>(path), n);
}

String ModuleFileName() {
    String path = ModulePath();
    size_t slash = path.View().find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.Sub(slash + 1);
}

int ShowMessage(const String& text, const String& title, unsigned flags) {
    if (g_silent) return IDOK;
    return MessageBoxW(nullptr, W(text), W(title), flags);
}

CommandLine ReadCommandLineOrExit() {
    CommandLine line;
    String reason;
    bool ok = ParseCommandLine(reinterpret_cast<const char16_t*>(GetCommandLineW()), line, reason);
    g_silent = line.silent;
    if (!ok) {
        ShowMessage(UsageText(reason, ModuleFileName()), ErrorTitle(), MB_ICONERROR | MB_OK);
        ExitInstaller(kExitCodeUsage);
    }
    return line;
}

void AddExitStep(void (*step)()) {
    if (g_exitStepCount == kMaxExitSteps) InternalFatal(__FILE__, __LINE__);
    g_exitSteps[g_exitStepCount++] = step;
}

// A step that ends the process itself (a fatal error inside a step) comes back here: the
// steps are taken off the list before they run, so none runs twice.
void ExitInstaller(int code) {
    while (g_exitStepCount > 0) {
        void (*step)() = g_exitSteps[0];
        for (int i = 1; i < g_exitStepCount; ++i)
            g_exitSteps[i - 1] = g_exitSteps[i];
        --g_exitStepCount;
        step();
    }
    if (g_oleStarted) OleUninitialize();
    ExitProcess(static_cast<UINT>(code));
}

} // namespace cs
