// The corrupt-installer error: one routine with a code that reports a damaged payload and
// ends the process with exit code 2. The failure summary, the log and the failure
// notification are hooks that later parts of the engine install; none does anything by
// default.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

constexpr int kCorruptExitCode = 2;
constexpr int kStringCorruptInstaller = 13; // language string: the corrupt-installer message
constexpr int kStringErrorTitle = 21;       // language string: title of error boxes

// What the routine does to the run. The Windows engine's are the installer state's language
// strings and failure summary, and the exit routine's recording steps (the log's closing
// step, which also requests the failure notification); none does anything natively.
struct CorruptInstallerHooks {
    String (*languageString)(int number) = nullptr;         // empty when no definition is loaded
    void (*recordFailure)(const String& message) = nullptr; // append to the failure summary
    void (*writeLog)() = nullptr;                           // write the installation log out
    void (*notifyFailure)() = nullptr;                      // request the failure notification
};
void SetCorruptInstallerHooks(const CorruptInstallerHooks& hooks);
CorruptInstallerHooks DefaultCorruptInstallerHooks();

// What the routine needs of the system; the Windows build shows the program's message box
// (nothing in silent mode) and ends through the exit routine. Tests replace it.
struct CorruptInstallerPlatform {
    uint32_t (*lastError)();
    String (*systemErrorText)(uint32_t error);
    void (*show)(const String& message, const String& title); // honours silent mode
    void (*exit)(int code);                                   // must not return
};
void SetCorruptInstallerPlatform(const CorruptInstallerPlatform& platform);
CorruptInstallerPlatform DefaultCorruptInstallerPlatform();

// The message for a code: the language text when not empty, else the built-in text; with
// a system error other than 0, the "System error" line (the error in decimal, or as "0x"
// and upper-case hex when it is negative as a 32-bit number).
String CorruptInstallerMessage(int code, const String& languageText, uint32_t systemError,
                               const String& systemText);

// Reports the code and ends the process with exit code 2. With `withSystemError`, the
// system's last error (when not 0) and its text are part of the message.
[[noreturn]] void CorruptInstaller(int code, bool withSystemError = false);

} // namespace cs
