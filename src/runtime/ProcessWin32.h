// The running program: its path, and the window messages of a long wait.
#pragma once

#include "core/String.h"

namespace cs {

// The running program's file name, without its folder (its full path is core's ModuleFullPath).
String ModuleFileName();

// Dispatches the window messages waiting for the calling thread, so its windows stay alive
// during a long wait.
void ProcessPendingMessages();

// Waits for a process (its handle) to end, processing the window messages meanwhile.
void WaitForProcessProcessingMessages(void* process);

} // namespace cs
