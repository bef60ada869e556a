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
    UniqueHandle file(CreateFileW(W(path), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return file && ReadToEnd(file.Get(), out);
}

bool WriteWholeFile(const String& path, std::string_view bytes) {
    UniqueHandle file(
        CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), bytes);
}

String PartialFileName(const String& path) {
    return path + kPartialSuffix;
}

bool MoveIntoPlace(const String& from, const String& to, bool writeThrough) {
    DWORD flags = MOVEFILE_REPLACE_EXISTING | (writeThrough ? MOVEFILE_WRITE_THROUGH : 0);
    return MoveFileExW(W(from), W(to), flags) != 0;
}

bool FlushFileToDisk(const String& path) {
    UniqueHandle file(CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.Get());
}

bool WriteWholeFileDurably(const String& path, std::string_view bytes) {
    String partial = PartialFileName(path);
    bool written = false;
    {
        UniqueHandle file(CreateFileW(W(partial), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        written = file && WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
    }
    if (written && MoveIntoPlace(partial, path, true)) return true;
    DWORD error = GetLastError();
    DeleteFileW(W(partial));
    SetLastError(error);
    return false;
}

bool WriteNewFile(const String& path, std::string_view bytes) {
    UniqueHandle file(
        CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAll(file.Get(), bytes);
}

} // namespace cs
