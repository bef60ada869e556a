// The engine's start-up steps on Windows, one function each, composed by wWinMain, and the
// one exit routine every end of the process goes through.
#pragma once

#include "app/CommandLine.h"

namespace cs {

// The first phase: OLE, the take-ownership privilege, the program icons, the fatal-error
// hook, the unhandled-exception filter and the comctl32 subclassing entry points.
void PrepareProcess();

// Inputs: GetCommandLineW. Outputs: the switches; a rejected line shows the usage message
// (unless silent) and ends the process with exit code 15.
CommandLine ReadCommandLineOrExit();

// A step of the exit routine (finishing the log, waiting for background requests). Steps
// run once, in the order they were added, before OLE is shut down and the process ends.
void AddExitStep(void (*step)());

// The one way out of the process: the exit steps, OleUninitialize, ExitProcess(code).
[[noreturn]] void ExitInstaller(int code);

// The running program's full path and its file name (without the folder).
String ModulePath();
String ModuleFileName();

// Shows a message unless silent mode is on; returns the button pressed (1, OK, when silent).
int ShowMessage(const String& text, const String& title, unsigned flags);

// Dispatches the window messages waiting for the calling thread, so its windows stay alive
// during a long wait.
void ProcessPendingMessages();

// The title of error boxes: "Error" until the definition names one.
void SetErrorTitle(const String& title);
const String& ErrorTitle();

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
