#include "vars/BatchWin32.h"
#include "vars/SearchPath.h"

#include "core/Folders.h"
#include "core/Format.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/InstallerState.h"

#include <vector>
#include <windows.h>

namespace cs {

namespace {

constexpr REGSAM kEnvironmentAccess = 0x2000F; // query, set, create and enumerate, read control

// Reads a text value whole, however long it is. ERROR_FILE_NOT_FOUND when it is missing;
// ERROR_INVALID_DATA when it is not text; ERROR_MORE_DATA when it kept growing while read.
LONG ReadWholeText(HKEY key, const wchar_t* name, String& text) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0, size = 0;
        LONG r = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
        if (r != ERROR_SUCCESS) return r;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
        std::vector<BYTE> buffer(size + sizeof(wchar_t));
        DWORD got = size;
        r = RegQueryValueExW(key, name, nullptr, &type, buffer.data(), &got);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS) return r;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
        const char16_t* chars = reinterpret_cast<const char16_t*>(buffer.data());
        size_t count = got / sizeof(char16_t);
        size_t length = 0;
        while (length < count && chars[length] != 0)
            ++length;
        text.Assign(chars, length);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

} // namespace

bool UpdateSearchPath(bool add, const String& folderArgument) {
    HKEY key;
    LONG r = RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(String(kEnvironmentKey)), 0, kEnvironmentAccess, &key);
    if (r != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(r));
        return false;
    }
    String path;
    r = ReadWholeText(key, L"Path", path);
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) {
        // Writing back a part of the value would cut the users' search path: leave it alone.
        LogTextWide(
            Format(u"Couldn't change the PATH because its value could not be read whole: code %d: %s\r\n",
                   static_cast<int>(r), WindowsSystemErrorText(static_cast<uint32_t>(r))));
        RegCloseKey(key);
        SetLastError(static_cast<DWORD>(r));
        return false;
    }
    if (path.IsEmpty()) {
        RegCloseKey(key);
        return true;
    }
    String folder = SearchPathFolder(folderArgument, Installer().folders.installDir);
    if (add && !IsExistingFolder(folder)) {
        LogPiecesWide({u"Couldn't add \"", folder.c_str(), u"\" to the PATH because it does not exist.\r\n"});
        RegCloseKey(key);
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (EditSearchPath(path, folder, add)) {
        r = RegSetValueExW(key, L"Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>((path.Length() + 1) * sizeof(char16_t)));
    }
    RegCloseKey(key);
    SetLastError(static_cast<DWORD>(r));
    return r == ERROR_SUCCESS;
}

} // namespace cs
