#include "vars/BatchWin32.h"
#include "vars/SearchPath.h"

#include "core/Folders.h"
#include "core/Format.h"
#include "core/RegistryWin32.h"
#include "core/WinText.h"
#include "log/Log.h"
#include "log/LogWin32.h"
#include "runtime/InstallerState.h"

#include <windows.h>

namespace cs {

namespace {

constexpr REGSAM kEnvironmentAccess = 0x2000F; // query, set, create and enumerate, read control

} // namespace

bool UpdateSearchPath(bool add, const String& folderArgument) {
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, kEnvironmentKey, kOwnRegistryView, kEnvironmentAccess)) return false;
    // The text up to its first NUL, unexpanded, however long it is.
    String path;
    if (!key.ReadText(u"Path", path, kRegistryTextFirstNul)) {
        DWORD r = GetLastError();
        if (r == ERROR_UNSUPPORTED_TYPE) r = ERROR_INVALID_DATA; // a value that is not text
        if (r != ERROR_FILE_NOT_FOUND) {
            // Writing back a part of the value would cut the users' search path: leave it alone.
            LogTextWide(
                Format(u"Couldn't change the PATH because its value could not be read whole: code %d: %s\r\n",
                       static_cast<int>(r), WindowsSystemErrorText(r)));
            SetLastError(r);
            return false;
        }
    }
    if (path.IsEmpty()) return true;
    String folder = SearchPathFolder(folderArgument, Installer().folders.installDir);
    if (add && !IsExistingFolder(folder)) {
        LogPiecesWide({u"Couldn't add \"", folder.c_str(), u"\" to the PATH because it does not exist.\r\n"});
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (!EditSearchPath(path, folder, add)) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    return key.SetExpandableText(u"Path", path);
}

} // namespace cs
