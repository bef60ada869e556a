#include "vars/BatchWin32.h"

#include "core/Format.h"
#include "core/SecurityWin32.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/InstallerState.h"

#include <windows.h>

namespace cs {

namespace {

bool IsAbsolute(const String& path) {
    if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
    return path.Length() >= 3 && path[1] == u':' && path[2] == u'\\' &&
           ((path[0] >= u'a' && path[0] <= u'z') || (path[0] >= u'A' && path[0] <= u'Z'));
}

DWORD Loosen(const String& path) {
    if (path.IsEmpty() || !IsAbsolute(path)) return ERROR_BAD_PATHNAME;
    DWORD attributes = GetFileAttributesW(W(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_PATH_NOT_FOUND;
    try {
        const DWORD unwanted = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        if (attributes & unwanted) SetFileAttributesW(W(path), attributes & ~unwanted);
        return OpenAccessListTakingOwnership(path, true);
    } catch (...) {
        return 0x8000FFFF;
    }
}

} // namespace

bool LoosenFolderSecurity(const String& path) {
    if (!(Installer().definition.optionWord2 & kOpt2LoosenSecurity)) return true;
    LogPiecesWide({u"Loosening security on directory \"", path.c_str(), u"\"..."});
    DWORD r = Loosen(path);
    if (r == ERROR_SUCCESS)
        LogText8("OK\r\n");
    else
        LogTextWide(
            Format(u"FAILED code %d: %s\r\n\r\n", static_cast<int32_t>(r), WindowsSystemErrorText(r)));
    SetLastError(r);
    return r == ERROR_SUCCESS;
}

} // namespace cs
