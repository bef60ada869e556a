// Access rights of files and folders: the steps the log, the folder loosening and the files
// written for replacement at the next restart share.
#pragma once

#include "core/String.h"

#include <windows.h>

namespace cs {

void EnablePrivilege(const wchar_t* name);
// Creates a new folder (failing with ERROR_ALREADY_EXISTS when anything, a link included,
// stands at the name) whose access list, not inherited from its parent, gives full access to
// the current user, the administrators and the system only, and passes to its files.
// False with the system error set.
bool CreatePrivateFolder(const String& path);
// Makes the current user the owner (with the take-ownership and restore privileges);
// returns the system's result code.
DWORD TakeOwnership(const String& path);
// Removes every access-denied entry from the object's access list and, when `everyone` is
// set, grants Everyone full access (on a folder, inherited by its files and sub-folders).
// Returns the system's result code.
DWORD OpenAccessList(const String& path, bool everyone);
// OpenAccessList, and once more after taking ownership when access is denied.
DWORD OpenAccessListTakingOwnership(const String& path, bool everyone);

} // namespace cs
