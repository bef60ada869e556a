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

String MakePrivateTempFolder() {
    String temp = SystemFolders().Temp();
    if (temp.IsEmpty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
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
