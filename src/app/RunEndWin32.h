// The end of an installation run on Windows, each a step of the installation actions: the
// shell told that the desktop changed, the launch-on-exit command logged, the restart
// question, and then the restart or the launches.
#pragma once

#include "core/String.h"

namespace cs {

// SHCNE_UPDATEDIR on the all-users desktop (shortcuts for all users) or the user's.
void NotifyDesktopChanged();

// "Launch on exit: <command>" in the log when the definition names a command.
void LogLaunchOnExit();

// With the restart bit: the question (language texts 37 and 20) in an interactive run or with
// option word 2 bit 0x200; an unattended run restarts without asking.
void AskForRestart();

// Restarting: the shutdown privilege and the system's restart (planned application
// installation). Otherwise the installation folder becomes the current folder and, when
// nothing failed, the launch-on-exit command starts; then the summary page's choices act: the
// first document, the product, the log, the second document. A launch failure is appended to
// "Install.log".
void RestartOrLaunch();

// Restarts Windows at once: the shutdown privilege and the system's restart (planned
// application installation).
void RestartWindows();

// Starts the command line as a process in the folder and lets it run; false (with the
// system's error as the last error) when it cannot start.
bool StartProgram(const String& command, const String& folder);

} // namespace cs
