#include "runtime/CorruptInstaller.h"

#include "core/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace cs {

namespace {
uint32_t LastError() {
    return static_cast<uint32_t>(errno);
}
String ErrorText(uint32_t error) {
    return FromUtf8(std::strerror(static_cast<int>(error)));
}
void ShowOnStderr(const String& message, const String& title) {
    std::fprintf(stderr, "%s\n%s\n", ToUtf8(title).c_str(), ToUtf8(message).c_str());
}
[[noreturn]] void ExitNow(int code) {
    std::_Exit(code);
}
} // namespace

CorruptInstallerHooks DefaultCorruptInstallerHooks() {
    return {};
}

CorruptInstallerPlatform DefaultCorruptInstallerPlatform() {
    return {LastError, ErrorText, ShowOnStderr, ExitNow};
}

} // namespace cs
