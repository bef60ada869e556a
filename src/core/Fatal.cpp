#include "core/Fatal.h"

#include <atomic>
#include <cstdlib>

namespace cs {

const char16_t kProgramTitle[] = u"Corvantis Setup";

namespace {

FatalHook g_hooks[kMaxFatalHooks];
int g_hookCount = 0;
std::atomic<bool> g_inFatal{false};
FatalPlatform g_platform = DefaultFatalPlatform();

[[noreturn]] void EndProcess() {
    g_platform.exit(kFatalExitCode);
    std::_Exit(kFatalExitCode); // the platform's exit does not return; this keeps the promise
}

} // namespace

void SetFatalPlatform(const FatalPlatform& platform) {
    g_platform = platform;
}

bool AddFatalHook(FatalHook hook) {
    if (g_hookCount >= kMaxFatalHooks) return false;
    g_hooks[g_hookCount++] = hook;
    return true;
}

void ClearFatalHooks() {
    g_hookCount = 0;
}

void RaiseFatal(const String& message) {
    // A fatal error while one is being handled ends the process at once.
    if (g_inFatal.exchange(true)) EndProcess();
    for (int i = 0; i < g_hookCount; ++i) {
        try {
            g_hooks[i](message);
        } catch (...) {
            // A failing hook must not keep the others from running.
        }
    }
    g_platform.show(message, Format(u"FATAL ERROR - %s", kProgramTitle));
    EndProcess();
}

void InternalFatal(const char* module, int line) {
    FatalError(u"Internal Fatal Error\r\nModule: %s\r\nLine: %d", module, line);
}

} // namespace cs
