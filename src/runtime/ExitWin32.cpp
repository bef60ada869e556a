#include "runtime/Exit.h"

#include "core/Fatal.h"

#include <ole2.h>
#include <windows.h>

namespace cs {

namespace {

constexpr int kMaxExitSteps = 16;

bool g_oleStarted = false;
void (*g_exitSteps[kMaxExitSteps])() = {};
int g_exitStepCount = 0;

} // namespace

void StartOle() {
    g_oleStarted = SUCCEEDED(OleInitialize(nullptr));
}

void AddExitStep(void (*step)()) {
    if (g_exitStepCount == kMaxExitSteps) InternalFatal(__FILE__, __LINE__);
    g_exitSteps[g_exitStepCount++] = step;
}

void RunExitSteps() {
    while (g_exitStepCount > 0) {
        void (*step)() = g_exitSteps[0];
        for (int i = 1; i < g_exitStepCount; ++i)
            g_exitSteps[i - 1] = g_exitSteps[i];
        --g_exitStepCount;
        step();
    }
}

void ExitInstaller(int code) {
    RunExitSteps();
    if (g_oleStarted) OleUninitialize();
    ExitProcess(static_cast<UINT>(code));
}

} // namespace cs
