// The running program: its path, and the window messages of a long wait.
#pragma once

#include "core/Array.h"
#include "core/HandleWin32.h"
#include "core/String.h"

#include <cstdint>

namespace cs {

// The running program's file name, without its folder (its full path is core's ModuleFullPath).
String ModuleFileName();

// Dispatches the window messages waiting for the calling thread, so its windows stay alive
// during a long wait.
void ProcessPendingMessages();

// Starts a command line in a folder (none: the caller's) with its window shown or hidden and
// the given creation flags; the process handle, empty when it could not start (the system's
// error is left set). With an environment ("Name=value" entries) the process gets that one
// instead of the caller's.
UniqueHandle StartProcess(const String& commandLine, const String& folder, bool hidden, uint32_t flags = 0,
                          const Array<String>* environment = nullptr);

// The calling process's environment, "Name=value" entries in the system's order.
Array<String> ProcessEnvironment();

// Waits for a process (its handle) to end, processing the window messages meanwhile.
void WaitForProcessProcessingMessages(void* process);

} // namespace cs
