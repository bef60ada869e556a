// The running system's file operations for temporary file names.
#include "core/TempFile.h"
#include "core/WinText.h"

#include "core/Folders.h"
#include "core/Random.h"

#include <windows.h>

namespace cs {

namespace {

bool IsFolder(const String& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class SystemTempFiles final : public TempFileSystem {
  public:
    bool MakeFolder(const String& path) override {
        if (IsFolder(path)) return true;
        // Make each missing folder from the top down, past the drive or the server and share.
        size_t start = 0;
        if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
            start = 2;
            for (int part = 0; part < 2 && start < path.Length(); ++part) {
                while (start < path.Length() && path[start] != u'\\')
                    ++start;
                ++start;
            }
        }
        for (size_t i = start; i <= path.Length(); ++i) {
            if (i < path.Length() && path[i] != u'\\' && path[i] != u'/') continue;
            if (i == 0 || path[i - 1] == u':' || path[i - 1] == u'\\' || path[i - 1] == u'/') continue;
            String part = path.Sub(0, i);
            if (!IsFolder(part) && !CreateDirectoryW(W(part), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
        return IsFolder(path);
    }
    bool SystemUniqueName(const String& folder, String& path) override {
        wchar_t buffer[MAX_PATH + 1] = {};
        if (!GetTempFileNameW(W(folder), L"KWT", 0, buffer)) return false;
        path = String(reinterpret_cast<const char16_t*>(buffer));
        return true;
    }
    bool Exists(const String& path) override {
        return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
    }
    bool FolderExists(const String& path) override { return IsFolder(path); }
    bool CreateNewFile(const String& path, uint32_t& error) override {
        HANDLE file =
            CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return false;
        }
        CloseHandle(file);
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

} // namespace cs
