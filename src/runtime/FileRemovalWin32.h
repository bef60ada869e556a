// Removing and replacing files on Windows, now or at the next restart.
#pragma once

#include "runtime/FileRemoval.h"

namespace cs {

// Deletes a file with the option bits of FileRemoval.h. True on success; otherwise false with
// the system error code set (ERROR_INVALID_PARAMETER for an empty path, ERROR_FILE_EXISTS
// for a file that option 0x100 finds not empty).
bool DeleteFileEx(const String& path, uint32_t options);

// Takes the read-only attribute off a file (nothing when it has none or does not exist).
void ClearReadOnly(const String& path);

// Deletion at the next restart: the system's delayed move on the NT family, falling back to
// the "wininit.ini" rename list where "wininit.exe" exists; the rename list elsewhere.
bool ScheduleDeletionAtRestart(const String& path);

// Arranges that source replaces destination at the next restart. True when arranged (the
// system error code is then ERROR_BUSY: a restart is needed) and when both paths are the
// same; ERROR_FILE_NOT_FOUND for a missing source.
bool ReplaceAtRestart(const String& destination, const String& source);

// Adds "name=path" to the rename list of the given file (created when missing), newest entry
// first after "[rename]". True only when the file was written.
bool AddRenameListEntry(const String& iniPath, const String8& name, const String8& path);
// The same for "wininit.ini" in the Windows folder.
bool AddToRenameList(const String8& name, const String8& path);

// The short (8.3) form of a path when the system gives one, else the path.
String ShortPathOf(const String& path);

} // namespace cs
