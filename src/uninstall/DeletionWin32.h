// Deletion, restart scheduling and self-removal on Windows.
#pragma once

#include "uninstall/Deletion.h"

namespace cs {

// Deletes a file with the option bits of Deletion.h. True on success; otherwise false with
// the system error code set (ERROR_INVALID_PARAMETER for an empty path, ERROR_FILE_EXISTS
// for a file that option 0x100 finds not empty).
bool DeleteFileEx(const String& path, uint32_t options);

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

// Removes from the system's pending restart operations every one whose target is among the
// files (moves: their pending source goes to the Recycle Bin). Logged unless uninstalling.
void CancelPendingOperations(const Array<String>& files);

// The conditional deletions of this pass. Installing: the definition's list, with log lines,
// failure-summary entries and the restart-needed bit. Uninstalling: the given records; those
// without failures leave the list. Returns the count of failures.
int RunConditionalDeletions(Array<FileDeletion>& records, bool installing);
int RunConditionalDeletions(bool installing); // the definition's list

// The folders DeleteFolderTree never deletes (nor any folder that holds one of them).
Array<String> ProtectedFolders();
// Deletes the folder with all its content; refuses drive roots and protected folders. A
// linked folder (junction or symbolic link) inside the tree is unlinked, never entered.
bool DeleteFolderTree(const String& folder);

// Writes "delunins.bat" into the temporary folder and starts it hidden without waiting: it
// deletes the running program once it has exited, then the empty uninstall folders and
// itself. Inputs: the installer state (installation folder, uninstall data subfolder).
bool StartSelfRemoval();

// The short (8.3) form of a path when the system gives one, else the path.
String ShortPathOf(const String& path);

} // namespace cs
