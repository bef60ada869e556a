#include "core/Fatal.h"
#include "core/Text.h"

#include <cstdio>
#include <cstdlib>

namespace cs {

namespace {
void ShowOnStderr(const String& message, const String& caption) {
    std::fprintf(stderr, "%s\n%s\n", ToUtf8(caption).c_str(), ToUtf8(message).c_str());
    std::fflush(stderr);
}
[[noreturn]] void ExitNow(int code) {
    std::_Exit(code);
}
} // namespace

FatalPlatform DefaultFatalPlatform() {
    return {ShowOnStderr, ExitNow};
}

} // namespace cs
