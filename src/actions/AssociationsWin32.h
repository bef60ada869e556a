// File associations on Windows: the installation step over HKEY_CLASSES_ROOT, and the same
// registry for the uninstaller's undoing.
#pragma once

#include "actions/Associations.h"

#include <memory>

namespace cs {

// Makes the definition's file associations. Inputs: the installer state (definition, chosen
// language, installation folder, payload flags). Outputs: the keys below HKEY_CLASSES_ROOT,
// the log, the run's "[Associations]" records; the shell is told that associations changed.
// A crash inside is logged and the installation goes on.
void InstallAssociations();

// HKEY_CLASSES_ROOT as the engine sees it (access 0x2000F; the 64-bit engine in its own view,
// the one the shell of a 64-bit system reads).
std::unique_ptr<ClassesRegistry> WindowsClassesRegistry();

} // namespace cs
