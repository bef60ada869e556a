// The batch runner on Windows and the two system routines beside it: the machine-wide
// search path and the loosening of a folder's security.
#pragma once

#include "vars/Batch.h"

namespace cs {

// Writes "SETUPBAT.BAT" (the installer's values as SET lines, then the commands) into a new
// private temporary folder (MakePrivateTempFolder), runs it with the command interpreter in
// the installation folder, or the temporary folder while that does not exist, and waits,
// processing window messages. With a label, the output is captured into "cs_batch.log" beside
// it and copied into the log. Both files and their folder are deleted afterwards.
// Inputs: the installer state, the system. Returns true for empty commands or a batch that
// ran; false when it could not be written or started (logged, and shown unless automatic).
bool RunBatch(const String8& commands, bool hide, const String& label = {});

// The command interpreter that runs batch files ("%comspec%", else the system's own).
String CommandInterpreter();

// Adds the folder to the machine-wide "Path" or removes it (an empty folder means the
// installation folder; a relative one lies below it). The whole value is read and written:
// a value that cannot be read whole is left as it is and the failure is logged.
bool UpdateSearchPath(bool add, const String& folder);

// With option word 2 bit 0x40000: clears the folder's read-only, hidden and system
// attributes, removes the access-denied entries of its access list and grants Everyone full
// access, inherited by files and sub-folders (taking ownership when needed). Logged.
// A relative path is refused (ERROR_BAD_PATHNAME) rather than resolved against the working
// folder. Without the option nothing happens and the result is true.
bool LoosenFolderSecurity(const String& path);

} // namespace cs
