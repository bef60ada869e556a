#include "core/FileIoWin32.h"

#include "core/HandleWin32.h"
#include "core/WinText.h"

namespace cs {

bool ReadToEnd(HANDLE file, String8& out) {
    out.Clear();
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) return true;
        out.Append(buffer, got);
    }
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD piece = static_cast<DWORD>(bytes.size() - done > 65536 ? 65536 : bytes.size() - done);
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, piece, &wrote, nullptr) || wrote == 0) {
            if (!GetLastError()) SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += wrote;
    }
    return true;
}

bool ReadWholeFile(const String& path, String8& out) {
    out.Clear();
    UniqueHandle file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    return file && ReadToEnd(file.Get(), out);
}

bool WriteWholeFile(const String& path, std::string_view bytes) {
    UniqueHandle file(
        CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), bytes);
}

bool WriteNewFile(const String& path, std::string_view bytes) {
    UniqueHandle file(
        CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), bytes);
}

} // namespace cs
