// The running system's file operations for temporary file names.
#include "core/TempFile.h"
#include "core/WinText.h"

#include "core/Folders.h"
#include "core/HandleWin32.h"
#include "core/Random.h"
#include "core/SecurityWin32.h"

#include <windows.h>

namespace cs {

namespace {

class SystemTempFiles final : public TempFileSystem {
  public:
    bool MakeFolder(const String& path) override { return MakeFolderPath(path); }
    bool SystemUniqueName(const String& folder, String& path) override {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (!GetTempFileNameW(W(folder), L"KWT", 0, buffer)) return false;
        path = String(reinterpret_cast<const char16_t*>(buffer));
        return true;
    }
    bool Exists(const String& path) override {
        return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
    }
    bool FolderExists(const String& path) override { return IsExistingFolder(path); }
    bool CreateNewFile(const String& path, uint32_t& error) override {
        UniqueHandle file(
            CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            error = GetLastError();
            return false;
        }
        return true;
    }
    String TempFolder() override { return SystemFolders().Temp(); }
    uint16_t Random16() override { return CoreRandom16(); }
};

} // namespace

TempFileSystem& SystemTempFileSystem() {
    static SystemTempFiles system;
    return system;
}

String MakeTempFileName(const String& folder, const String& extension) {
    String path = MakeTempFileNameWith(SystemTempFileSystem(), folder, extension);
    if (path.IsEmpty() && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_CANNOT_MAKE);
    return path;
}

namespace {

// Empty private folders left by earlier runs (the self-removal batch's own), once they are
// untouched long enough that no run can be about to write into them (a folder's last write
// is its last file made or deleted). Only empty folders go.
void RemoveStalePrivateFolders(const String& temp) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    const uint64_t stale = uint64_t(kStalePrivateFolderSeconds) * 10000000u;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(W(JoinPath(temp, u"cs-*.tmp")), &data);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                      !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        String name = FromW(data.cFileName);
        if (folder && IsPrivateTempFolderName(name) && ticks(now) > ticks(data.ftLastWriteTime) + stale)
            RemoveDirectoryW(W(JoinPath(temp, name)));
    } while (FindNextFileW(search, &data));
    FindClose(search);
}

} // namespace

String MakePrivateTempFolder() {
    String temp = SystemFolders().Temp();
    if (temp.IsEmpty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
    RemoveStalePrivateFolders(temp);
    for (int attempt = 0; attempt < kPrivateTempFolderAttempts; ++attempt) {
        uint16_t high = CoreRandom16();
        uint16_t low = CoreRandom16();
        String path = JoinPath(temp, PrivateTempFolderName(high, low));
        if (CreatePrivateFolder(path)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    SetLastError(ERROR_CANNOT_MAKE);
    return {};
}

} // namespace cs
