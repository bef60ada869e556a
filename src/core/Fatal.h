// The process-wide path for states that must not occur: the registered hooks see the
// message first, then a message box shows it, and the process ends with exit code -1.
#pragma once

#include "core/Format.h"
#include "core/String.h"

namespace cs {

constexpr size_t kFatalMessageMaxChars = 16384;
constexpr int kMaxFatalHooks = 100;
constexpr int kFatalExitCode = -1;

using FatalHook = void (*)(const String& message);

// What the fatal path needs of the system; the Windows build shows a task-modal, topmost
// error box with the arrow cursor and calls ExitProcess. Tests replace it.
struct FatalPlatform {
    void (*show)(const String& message, const String& caption);
    void (*exit)(int code); // must not return
};
void SetFatalPlatform(const FatalPlatform& platform);
FatalPlatform DefaultFatalPlatform();

// Returns false when the hook list is full.
bool AddFatalHook(FatalHook hook);
void ClearFatalHooks();

[[noreturn]] void RaiseFatal(const String& message);

template <class... A> [[noreturn]] void FatalError(const char16_t* format, const A&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    RaiseFatal(FormatArgs(format, list, sizeof...(A), kFatalMessageMaxChars));
}

[[noreturn]] void InternalFatal(const char* module, int line);

// The program's title in fatal-error captions.
extern const char16_t kProgramTitle[];

} // namespace cs

#define CS_CHECK(condition)                                                                                  \
    do {                                                                                                     \
        if (!(condition)) ::cs::InternalFatal(__FILE__, __LINE__);                                           \
    } while (0)
