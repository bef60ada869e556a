// Shell links on Windows: making one through the shell's link object, and pinning one to the
// taskbar through the shell's verb. Both need COM on the calling thread (the start-up
// initialises OLE).
#pragma once

#include "actions/ShortcutRules.h"

#include <cstdint>

namespace cs {

// Makes the link: target, icon (the target's when none, index 0), arguments, show command,
// working folder; ".lnk" appended to the path when missing; the link's folder made with
// every missing level unless kLinkSkipFolderCreation. False with the error: 87 for an empty
// target, a system error code, an HRESULT, or E_UNEXPECTED when the shell crashed.
bool CreateShellLink(const Link& link, int64_t& error);

// The shell's "taskbarpin" verb on the link, without any message of the shell's own. False
// with the system error code. Not guarded: the caller guards the whole pin.
bool PinLinkToTaskbar(const String& linkPath, uint32_t& error);

} // namespace cs
