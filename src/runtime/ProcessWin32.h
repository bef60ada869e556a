// The running program: its path, and the window messages of a long wait.
#pragma once

#include "core/String.h"

namespace cs {

// The running program's full path and its file name (without the folder).
String ModulePath();
String ModuleFileName();

// Dispatches the window messages waiting for the calling thread, so its windows stay alive
// during a long wait.
void ProcessPendingMessages();

} // namespace cs
