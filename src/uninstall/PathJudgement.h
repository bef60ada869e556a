// What the uninstaller may delete: one judgement for every path it deletes, removes or
// changes the attributes of, and for every registry record it undoes. "Uninstall.dat" and the
// uninstall entry are read from places other users may be able to write, so a record is
// honoured only when it is also something the installation could have made.
//
// Paths are made canonical first (core/CanonicalPath.h, then 8.3 names expanded by the
// Windows side through LongNames) and then judged: inside the installation folder, or an
// exact recorded object under a folder an installation puts things in, or refused. Protected
// folders (drive roots, the Windows, system and program folders, the user shell folders and
// profiles) and every folder that holds one are never judged deletable. docs/uninstaller.md
// describes the rules.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "uninstall/RegistryKeyPaths.h"
#include "uninstall/UninstallData.h"

namespace cs {

// How a canonical path reads with its 8.3 short names expanded. The Windows side asks the file
// system (GetLongPathNameW on the longest existing part); tests give a table.
class LongNames {
  public:
    virtual ~LongNames() = default;
    virtual String Expand(const String& canonical) = 0;
};

// Canonical, then expanded, then canonical again; "" when the path is not a full path.
String JudgedPath(const String& path, LongNames& names);

// Where a run may delete. Every path is canonical and long (see JudgedPath).
struct DeletionScope {
    String installDir;              // "" when unknown: then nothing lies inside it
    Array<String> protectedFolders; // never deleted nor changed, nor any folder that holds one
    Array<String> roots; // outside the installation folder: where files, links and folders may be recorded
};

// What is to be deleted: a recorded file, an empty folder (removed, its attributes cleared), a
// whole folder tree, or a conditional deletion's pattern (wildcards in its last component).
enum class DeletionObject { kFile, kFolder, kTree, kPattern };

struct DeletionVerdict {
    bool allowed = false;
    bool isProtected = false;         // refused because it is or holds a protected folder
    String path;                      // canonical and long: the path to act on
    const char16_t* reason = nullptr; // why it was refused
};

// A drive root, a share, a protected folder or a folder that holds one.
bool IsProtectedPath(const String& canonical, const Array<String>& protectedFolders);

// The judgement. Allowed: a path strictly inside the installation folder (for a folder or a
// tree, the installation folder itself too), unless that folder is itself protected; or,
// outside it, an exact file or folder (no wildcard) strictly below one of the roots. Refused:
// anything that is not a full path, anything protected, a wildcard outside the installation
// folder or in a folder component, any tree but the installation folder's, anything else
// outside.
DeletionVerdict JudgeDeletion(const String& path, DeletionObject object, const DeletionScope& scope,
                              LongNames& names);

// "Refused to delete \"<path>\": <reason>.\r\n", the line logged and added to the failure
// summary for a refused record.
String RefusalText(const String& path, const DeletionVerdict& verdict);

// The folders the removal of one created folder tries, in order, each judged as a folder:
// the folder and, inside the installation folder, its parents up to (not including) the
// installation folder; outside it, a parent only when the installation recorded it as created
// too, never a protected one, up to the stop folder (not including it). Stops at the first
// refused folder. At most maxFolders.
Array<String> FoldersToRemove(const String& folder, const String& stopAt, const Array<String>& recorded,
                              const DeletionScope& scope, LongNames& names, int maxFolders);

// ---- Registry records -------------------------------------------------------------------

// Why a "^", "*" or "!" body record is not undone (nullptr when it may be). Keys: never a
// hive's root, first or second level (below HKEY_USERS, counted below the user's hive), and
// only the keys an installation creates whole and records: a class "{GUID}" directly below
// HKLM "Software\Classes\CLSID" or the control panel's "NameSpace" key, or a key below the
// product's own key "Software\<productRegistry>" (HKLM, HKCU or every user). Values: only in
// one of those keys or in the product's own key itself.
const char16_t* RegistryRecordRefusal(UninstallKind kind, const RegistryKeyPath& key,
                                      const String& productRegistry);

} // namespace cs
