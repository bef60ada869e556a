#include "core/SystemErrorWin32.h"

#include "core/Text.h"
#include "core/WinText.h"

#include <windows.h>

namespace cs {

namespace {

String MessageText(uint32_t code, DWORD language) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    String text;
    if (n && buffer) text = FromW(buffer, n);
    if (buffer) LocalFree(buffer);
    Trim(text);
    return text;
}

} // namespace

String WindowsSystemErrorText(uint32_t code) {
    String local = MessageText(code, 0);
    String english = MessageText(code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (local.IsEmpty()) return english;
    if (!english.IsEmpty() && !(english == local)) local += String(u"\r\n") + english;
    return local;
}

} // namespace cs
