// Test entry point: fatal errors print to stderr and exit instead of opening a message box,
// so a death test under Wine never waits for a click.
#include "core/Fatal.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {
void PrintFatal(const cs::String& message, const cs::String& caption) {
    std::fprintf(stderr, "%s\n%s\n", cs::ToUtf8(caption).c_str(), cs::ToUtf8(message).c_str());
    std::fflush(stderr);
}
[[noreturn]] void ExitFatal(int code) { std::_Exit(code); }
} // namespace

int main(int argc, char** argv) {
    cs::SetFatalPlatform({PrintFatal, ExitFatal});
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
