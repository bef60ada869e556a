// The one way out of the process. Every end of a run (the normal end, a cancel, a refusal,
// the corrupt-installer error, the fatal error) goes through ExitInstaller: the exit steps in
// the order they were added (finishing the log, waiting for background requests), then OLE
// shut down when it was started, then the process ends with the code.
#pragma once

namespace cs {

// OleInitialize for the run; the exit routine shuts OLE down again.
void StartOle();

// What an exit step does: record the run (write the log out, which the corrupt-installer
// error also does before it shows its message) or wait for work still going on.
enum class ExitStepKind { Record, Wait };

// A step of the exit routine. Steps run once, in the order they were added.
void AddExitStep(void (*step)(), ExitStepKind kind);

// Runs the recording steps that have not run yet, without ending the process. A step that
// ends the process itself comes back to the exit routine: steps are taken off the list
// before they run, so none runs twice.
void RunRecordingExitSteps();

// A thread that could not be stopped is still at work (a background request that outlasted
// its wait). The process then ends without the libraries' own clean-up, which could wait for
// ever for a lock that thread holds: the exit stays bounded.
void AbandonRunningThread();

[[noreturn]] void ExitInstaller(int code);

} // namespace cs
