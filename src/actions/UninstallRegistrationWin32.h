// The uninstall entry on Windows: the value list of UninstallRegistration.h written under
// HKEY_LOCAL_MACHINE in the 32-bit view, and the verified "UninstallString".
#pragma once

#include "actions/UninstallRegistration.h"

namespace cs {

// Registers the product for uninstallation (option word 1 bit 0x4; nothing otherwise).
// Inputs: the installer state, the payload (the installer's path, the file sizes), the file
// loop's font list. Outputs: "product.ico" in the uninstall data folder (when the definition
// has one), the uninstall key and the definition values that name other keys (with their
// registry list lines and "[Registry2]" records), the log, and the failure summary (a failed
// definition value; the warning when "UninstallString" does not read back). A definition
// value of an unknown kind ends the run through the corrupt-installer error, code 200.
void RegisterUninstaller();

} // namespace cs
