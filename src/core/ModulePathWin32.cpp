#include "core/ModulePathWin32.h"

#include "core/WinText.h"

#include <vector>

namespace cs {

namespace {
// The system's paths are at most 32,767 characters long.
constexpr size_t kPathMaxChars = 32768;
} // namespace

String ModuleFullPath(HMODULE module) {
    // A path that fills the buffer may have been cut (the system then reports the buffer's
    // size, with or without a terminator): read again into a larger one.
    for (size_t size = MAX_PATH + 1; size <= 2 * kPathMaxChars; size *= 2) {
        std::vector<wchar_t> buffer(size);
        DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(size));
        if (n == 0) return {};
        if (n < size) {
            SetLastError(ERROR_SUCCESS);
            return FromW(buffer.data(), n);
        }
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return {};
}

} // namespace cs
