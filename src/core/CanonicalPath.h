// The one lexical form of a full path that every deletion judgement compares.
//
// Windows reaches the same object through many spellings: "\\?\C:\x", "\\.\C:\x" and
// "\\?\UNC\server\share\x" prefixes, forward slashes, "." and ".." components, doubled
// backslashes, and components with trailing dots or blanks (which Windows drops). A guard that
// compares texts is bypassed by any of them, so paths are brought to this form before they
// are compared or acted on. The 8.3 short names need the file system; the Windows side
// expands them (uninstall/DeletionWin32.h) and canonicalises again.
#pragma once

#include "core/String.h"

namespace cs {

// "X:\a\b" (a drive path) or "\\server\share\a" (a network path), without a trailing
// backslash except on a drive root ("C:\"); "" for anything that is not a full path in a form
// this rule knows: a relative path ("a\b", "\a", "C:a"), a device or volume namespace
// ("\\.\PhysicalDrive0", "\\?\Volume{...}\"), a control character, a component that is only
// dots and blanks beyond "." and "..", or a colon outside the drive (an alternate stream such
// as "x::$INDEX_ALLOCATION"). ".." never climbs above the drive or the share. Wildcards are
// kept: the judgement decides where they may stand.
String CanonicalPath(const String& path);

// Canonical paths only. Whether `inner` lies strictly below `folder`, and whether two paths
// name the same place; case is ignored.
bool IsPathBelow(const String& inner, const String& folder);
bool IsSamePath(const String& a, const String& b);
// Whether a canonical path is a drive root ("C:\") or a share ("\\server\share").
bool IsPathRoot(const String& canonical);
// Whether the text holds "*" or "?".
bool HasWildcard(const String& text);

} // namespace cs
