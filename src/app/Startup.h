// The engine's start-up steps on Windows, one function each, composed by wWinMain.
#pragma once

#include "app/CommandLine.h"

namespace cs {

// Inputs: the process. Outputs: the fatal-error hook installed.
void PrepareProcess();

// Inputs: GetCommandLineW. Outputs: the switches; a rejected line shows the usage message
// (unless silent) and ends the process with exit code 15.
CommandLine ReadCommandLineOrExit();

// The one way out of the process.
[[noreturn]] void ExitInstaller(int code);

// The running program's full path and its file name (without the folder).
String ModulePath();
String ModuleFileName();

// Shows a message unless silent mode is on; returns the button pressed (1, OK, when silent).
int ShowMessage(const String& text, const String& title, unsigned flags);

} // namespace cs
