// The machine-wide search path ("Path" under the Session Manager's Environment key): which
// folder a request names and how the text changes. SearchPathWin32.cpp reads and writes the
// value.
#pragma once

#include "core/String.h"

namespace cs {

constexpr const char16_t kEnvironmentKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// The installation folder for an empty argument, the argument when it is an absolute path
// ("X:..." or "\\..."), else the argument below the installation folder.
String SearchPathFolder(const String& argument, const String& installDir);

// Adds or removes the folder in the Path text (compared ignoring case, whole entries only).
// Returns true when the text changed and must be written back.
//   Adding: nothing when an entry "folder;" exists or the text ends with the folder;
//           otherwise ";" (when missing) and the folder are appended.
//   Removing: the first entry "folder;" goes with its ";"; failing that, a folder that ends
//           the text goes, and then a trailing ";".
bool EditSearchPath(String& path, const String& folder, bool add);

} // namespace cs
