// The installation log on Windows: the spool is a temporary "KWT" file, the texts come from
// the installer state's language table and the system's message tables.
#pragma once

#include "log/Log.h"

namespace cs {

// Creates the spool (in the temporary folder) and makes the Windows log system current.
// False when no spool could be made; the log writers then drop their lines.
bool StartLog();
LogSystem& WindowsLogSystem();
String WindowsSystemErrorText(uint32_t code);

} // namespace cs
