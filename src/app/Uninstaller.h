// The uninstaller: the same program started with /u:"name" removes the product installed under
// that uninstall name, in a fixed order, and returns one of the result codes of
// uninstall/UninstallerRules.h. The start-up code then sends the uninstall notification and
// starts the self-removal on success (Main.cpp). docs/uninstaller.md describes the run.
#pragma once

#include "core/String.h"

namespace cs {

// Inputs: the uninstall name, the command line in the installer state (automatic, silent,
// /r:), the product's uninstall entry (HKLM, 32-bit view) and its "Uninstall.dat". Outputs:
// the product removed; on failures a reduced "Uninstall.dat" and the entry kept; the installer
// state filled from the entry (installation folder, uninstall data subfolder, option words,
// session, version and "NotifyURL" as the definition's uninstall notification link).
// Returns 0 done, 3 finished with failures, 12 cancelled (nothing removed), 13 product not
// found or not accessible, 14 uninstall information corrupt or unreadable.
int Uninstall(const String& uninstallName);

} // namespace cs
