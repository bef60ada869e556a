#include "core/Fatal.h"

#include <windows.h>

namespace cs {

namespace {
void ShowFatalBox(const String& message, const String& caption) {
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(message.c_str()),
                reinterpret_cast<const wchar_t*>(caption.c_str()), MB_TOPMOST | MB_TASKMODAL | MB_ICONERROR);
}
[[noreturn]] void ExitNow(int code) {
    ExitProcess(static_cast<UINT>(code));
}
} // namespace

FatalPlatform DefaultFatalPlatform() {
    return {ShowFatalBox, ExitNow};
}

} // namespace cs
