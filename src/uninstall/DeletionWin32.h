// Cancelling pending restart operations, conditional deletions, folder trees and
// self-removal on Windows.
#pragma once

#include "runtime/FileRemovalWin32.h"
#include "uninstall/Deletion.h"

namespace cs {

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
// Deletes the folder with all its content; refuses drive roots and protected folders, and
// anything that is not a full path. The path is made canonical and its 8.3 names expanded
// first, and that form is what is judged and deleted. A linked folder (junction or symbolic
// link) inside the tree is unlinked, never entered.
bool DeleteFolderTree(const String& folder);

// 8.3 names expanded by the file system (GetLongPathNameW), for the longest existing part.
class SystemLongNames final : public LongNames {
  public:
    String Expand(const String& canonical) override;
};

// The uninstaller's scope: the installation folder, the protected folders and the roots
// outside the installation folder (the folders of the installer variables for files, links
// and folders, and the shared folder, except what lies in the Windows folder), each canonical
// and long.
DeletionScope UninstallDeletionScope(const String& installDir, const String& sharedDir);

// Writes "delunins.bat" into a new private temporary folder (MakePrivateTempFolder) and
// starts it hidden without waiting: it deletes the running program once it has exited, then
// the empty uninstall folders and itself (its empty folder stays: the batch text ends with its
// own deletion, after which the interpreter reads no further line). Inputs: the installer
// state (installation folder, uninstall data subfolder).
bool StartSelfRemoval();

} // namespace cs
