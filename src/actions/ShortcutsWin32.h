// The shortcut step on Windows: the portable step over the real shell, folders and files, run
// once after the files and their registrations.
#pragma once

#include "actions/Shortcuts.h"

namespace cs {

// The product's Start Menu folder: the Start Menu folder chosen by the run inside the
// all-users or the user's Programs folder.
String ProductStartMenu(bool allUsers);

// Makes every shortcut of the definition's list (which gains the uninstaller's entries), the
// root shortcut on a removable drive and the taskbar pin on Windows 7 and 8. Fills the run's
// uninstall records and the log.
void InstallShortcuts();

} // namespace cs
