#include "runtime/CorruptInstaller.h"

#include "core/SystemErrorWin32.h"
#include "core/Text.h"
#include "runtime/Exit.h"
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

CorruptInstallerPlatform DefaultCorruptInstallerPlatform() {
    return {LastError, WindowsSystemErrorText, Show, Exit};
}

} // namespace cs
