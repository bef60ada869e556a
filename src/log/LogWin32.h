// The installation log on Windows: the spool is a temporary "KWT" file, the texts come from
// the installer state's language table and the system's message tables.
#pragma once

#include "core/SystemErrorWin32.h"
#include "log/Log.h"

namespace cs {

// Creates the spool (in the temporary folder) and makes the Windows log system current.
// False when no spool could be made; the log writers then drop their lines.
bool StartLog();
LogSystem& WindowsLogSystem();

// The closing step over the installer state: the log goes into the uninstall data folder of
// the installation folder. While no installation folder is known the log has no place to go:
// deleted. The log is finished once a run: later calls do nothing and return false.
bool FinishInstallLog(bool interactive);

// What the log passes its language texts through (the wizard placeholders with the run's
// values); the installer variables, a later layer, install it at start-up. None: unchanged.
void SetLogTextExpander(void (*expand)(String& text));

// What requests the failure notification when the closing step finds failures (also when
// the log has no place to go).
void SetLogFailureNotifier(void (*failureNotifier)());

} // namespace cs
