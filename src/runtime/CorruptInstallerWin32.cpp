#include "runtime/CorruptInstaller.h"

#include "core/SystemErrorWin32.h"
#include "core/Text.h"
#include "runtime/Exit.h"
#include "runtime/InstallerState.h"
#include "runtime/Message.h"

#include <windows.h>

namespace cs {

namespace {

uint32_t LastError() {
    return GetLastError();
}
void Show(const String& message, const String& title) {
    ShowMessage(message, title, MB_ICONERROR | MB_OK);
}
[[noreturn]] void Exit(int code) {
    ExitInstaller(code);
}

} // namespace

// A corrupt installer is reported in the definition's language once the definition is loaded
// (until then the language strings are empty), and its message joins the failure summary in
// the log that the exit routine's recording step writes.
CorruptInstallerHooks DefaultCorruptInstallerHooks() {
    CorruptInstallerHooks hooks;
    hooks.languageString = [](int number) -> String { return Installer().LanguageString(number); };
    hooks.recordFailure = [](const String& message) {
        Installer().outcome.failureSummary += message + u"\r\n";
    };
    hooks.writeLog = RunRecordingExitSteps;
    return hooks;
}

CorruptInstallerPlatform DefaultCorruptInstallerPlatform() {
    return {LastError, WindowsSystemErrorText, Show, Exit};
}

} // namespace cs
