#include "payload/CorruptInstaller.h"

#include "app/Startup.h"
#include "core/Text.h"

#include <windows.h>

namespace cs {

namespace {

String MessageText(uint32_t error, DWORD language) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    String text;
    if (n && buffer) text.Assign(reinterpret_cast<const char16_t*>(buffer), n);
    if (buffer) LocalFree(buffer);
    Trim(text, TrimSide::End);
    return text;
}

// The system's text in the user's language, followed by the United States English text
// when that differs.
String SystemErrorText(uint32_t error) {
    String local = MessageText(error, 0);
    String english = MessageText(error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!english.IsEmpty() && !(english == local)) {
        if (!local.IsEmpty()) local += u"\r\n";
        local += english;
    }
    return local;
}

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
    return {LastError, SystemErrorText, Show, Exit};
}

} // namespace cs
