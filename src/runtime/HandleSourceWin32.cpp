#include "runtime/HandleSourceWin32.h"

namespace cs {

uint64_t HandleSource::Size() const {
    LARGE_INTEGER size;
    return GetFileSizeEx(file_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool HandleSource::ReadAt(uint64_t offset, void* buffer, size_t size) const {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        DWORD want = size > 0x1000000 ? 0x1000000 : static_cast<DWORD>(size), got = 0;
        if (!ReadFile(file_, out, want, &got, nullptr)) return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        out += got;
        size -= got;
    }
    return true;
}

} // namespace cs
