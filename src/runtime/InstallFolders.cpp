#include "runtime/InstallFolders.h"

#include "core/Folders.h"

namespace cs {

String UninstallDataFolder(const String& installDir, const String& uninstallSubdir) {
    return uninstallSubdir.IsEmpty() ? installDir : JoinPath(installDir, uninstallSubdir);
}

String LogPath(const String& installDir, const String& uninstallSubdir) {
    return JoinPath(UninstallDataFolder(installDir, uninstallSubdir), u"Install.log");
}

} // namespace cs
