// The one way out of the process. Every end of a run (the normal end, a cancel, a refusal,
// the corrupt-installer error, the fatal error) goes through ExitInstaller: the exit steps in
// the order they were added (finishing the log, waiting for background requests), then OLE
// shut down when it was started, then the process ends with the code.
#pragma once

namespace cs {

// OleInitialize for the run; the exit routine shuts OLE down again.
void StartOle();

// A step of the exit routine. Steps run once, in the order they were added.
void AddExitStep(void (*step)());

// Runs the steps that have not run yet, without ending the process (the corrupt-installer
// error writes the log before it shows its message). A step that ends the process itself
// comes back here: steps are taken off the list before they run, so none runs twice.
void RunExitSteps();

[[noreturn]] void ExitInstaller(int code);

} // namespace cs
