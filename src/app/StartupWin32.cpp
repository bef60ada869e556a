#include "app/Startup.h"

#include "core/Fatal.h"
#include "core/WinText.h"

#include <windows.h>

namespace cs {

namespace {

bool g_silent = false;

// Until a definition is loaded, error boxes are titled "Error".
String ErrorTitle() {
    return u"Error";
}

void FatalHookShowAndExit(const String& message) {
    ShowMessage(message, ErrorTitle(), MB_ICONERROR | MB_OK);
    ExitInstaller(kFatalExitCode);
}

} // namespace

void PrepareProcess() {
    AddFatalHook(FatalHookShowAndExit);
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

void ExitInstaller(int code) {
    ExitProcess(static_cast<UINT>(code));
}

} // namespace cs
