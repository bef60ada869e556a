// Starting programs and opening documents the way the user would: through the desktop shell's
// own process (so that they run with the user's normal rights, not the installer's raised
// ones), or through the shell in this process.
#pragma once

#include "core/String.h"

namespace cs {

// Asks the desktop shell's process to open the file (a program with its arguments, or a
// document) in the folder. False when there is no desktop shell to ask or it refuses; then
// nothing was started.
bool OpenThroughDesktopShell(const String& file, const String& arguments, const String& folder);

// Opens the file through the shell in this process; on failure the system's error code (else
// 0).
unsigned long OpenThroughShell(const String& file, const String& arguments, const String& folder);

} // namespace cs
