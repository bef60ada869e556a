// Where a module of the running process was loaded from.
#pragma once

#include "core/String.h"

#include <windows.h>

namespace cs {

// The module's full path, whatever its length; the running program's own when module is null.
// "" when the system cannot tell (the system's error is left set).
String ModuleFullPath(HMODULE module = nullptr);

} // namespace cs
