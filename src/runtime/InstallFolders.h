// Where the run keeps its own files inside the installation folder.
#pragma once

#include "core/String.h"

namespace cs {

// The uninstall data folder: the definition's subfolder of the installation folder, or the
// installation folder itself when it names none. "Install.log" and "Uninstall.dat" go there.
String UninstallDataFolder(const String& installDir, const String& uninstallSubdir);
String LogPath(const String& installDir, const String& uninstallSubdir);

} // namespace cs
