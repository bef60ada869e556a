// The engine's start-up steps on Windows, one function each, composed by wWinMain.
#pragma once

#include "runtime/CommandLine.h"

namespace cs {

// The first phase: OLE, the take-ownership privilege, the program icons, the fatal-error
// hook, the unhandled-exception filter and the comctl32 subclassing entry points.
void PrepareProcess();

// Inputs: GetCommandLineW. Outputs: the switches, also in the installer state (where silent
// mode is read from); a rejected line shows the usage message (unless silent) and ends the
// process with exit code 15.
CommandLine ReadCommandLineOrExit();

// What the unhandled-exception filter hands a crash to; without a handler the system's own
// handling goes on. The argument is the system's EXCEPTION_POINTERS.
using CrashHandler = long (*)(void* exceptionPointers);
void SetCrashHandler(CrashHandler handler);

// The program icons at the sizes the system reports (null when the program has none), and
// the comctl32 subclassing entry points (null where the system lacks them), for the windows.
struct ProgramResources {
    void* largeIcon = nullptr;
    void* smallIcon = nullptr;
    void* setWindowSubclass = nullptr;
    void* defSubclassProc = nullptr;
};
const ProgramResources& Resources();

} // namespace cs
