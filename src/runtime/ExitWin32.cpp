#include "runtime/Exit.h"

#include "core/Fatal.h"

#include <ole2.h>
#include <windows.h>

namespace cs {

namespace {

constexpr int kMaxExitSteps = 16;

struct Step {
    void (*run)();
    ExitStepKind kind;
};

bool g_oleStarted = false;
bool g_threadAbandoned = false;
Step g_steps[kMaxExitSteps] = {};
int g_stepCount = 0;

// Takes the first step of that kind (any kind: null) off the list and runs it; false when
// there is none.
bool RunFirstStep(const ExitStepKind* kind) {
    for (int i = 0; i < g_stepCount; ++i) {
        if (kind && g_steps[i].kind != *kind) continue;
        void (*run)() = g_steps[i].run;
        for (int j = i + 1; j < g_stepCount; ++j)
            g_steps[j - 1] = g_steps[j];
        --g_stepCount;
        run();
        return true;
    }
    return false;
}

} // namespace

void StartOle() {
    g_oleStarted = SUCCEEDED(OleInitialize(nullptr));
}

void AddExitStep(void (*step)(), ExitStepKind kind) {
    if (g_stepCount == kMaxExitSteps) InternalFatal(__FILE__, __LINE__);
    g_steps[g_stepCount++] = {step, kind};
}

void RunRecordingExitSteps() {
    const ExitStepKind record = ExitStepKind::Record;
    while (RunFirstStep(&record)) {
    }
}

void AbandonRunningThread() {
    g_threadAbandoned = true;
}

void ExitInstaller(int code) {
    while (RunFirstStep(nullptr)) {
    }
    // Returns only when the system refuses, and then the ordinary way out follows.
    if (g_threadAbandoned) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    if (g_oleStarted) OleUninitialize();
    ExitProcess(static_cast<UINT>(code));
}

} // namespace cs
