#include "core/Fatal.h"
#include "core/Text.h"

#include "support/DeathTest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace cs;

namespace {

// A platform that prints what the box would show, then exits like the real one.
void PrintBox(const String& message, const String& caption) {
    std::fprintf(stderr, "BOX[%s]{%s}\n", ToUtf8(caption).c_str(), ToUtf8(message).c_str());
}
[[noreturn]] void Exit(int code) {
    std::_Exit(code);
}

void HookPrints(const String& message) {
    std::fprintf(stderr, "HOOK1:%s\n", ToUtf8(message).c_str());
}
void HookThrows(const String&) {
    throw 1;
}
void HookSecond(const String&) {
    std::fprintf(stderr, "HOOK2\n");
}
void HookRaisesAgain(const String&) {
    FatalError(u"nested");
}

void Prepare() {
    SetFatalPlatform({PrintBox, Exit});
    ClearFatalHooks();
}

} // namespace

TEST(FatalErrorDeathTest, HooksThenBoxThenExitMinusOne) {
    EXPECT_EXIT(
        {
            Prepare();
            AddFatalHook(HookPrints);
            AddFatalHook(HookThrows);
            AddFatalHook(HookSecond);
            FatalError(u"bad %s %d", u"state", 7);
        },
        ExitedFatally(), "HOOK1:bad state 7\nHOOK2\nBOX\\[FATAL ERROR - Corvantis Setup\\]\\{bad state 7\\}");
}

TEST(FatalErrorDeathTest, SecondFatalEndsAtOnce) {
    EXPECT_EXIT(
        {
            Prepare();
            AddFatalHook(HookRaisesAgain);
            FatalError(u"first");
        },
        ExitedFatally(), "^$");
}

TEST(FatalErrorDeathTest, InternalConsistencyMessage) {
    EXPECT_EXIT(
        {
            Prepare();
            CS_CHECK(1 + 1 == 3);
        },
        ExitedFatally(), "Internal Fatal Error\r\nModule: .*FatalTest.cpp\r\nLine: .+");
}

TEST(FatalError, MessageIsCutAt16384Characters) {
    String longText;
    for (int i = 0; i < 20000; ++i)
        longText.Append(u'x');
    FormatArg arg(longText);
    EXPECT_EQ(FormatArgs(u"%s", &arg, 1, kFatalMessageMaxChars).Length(), 16384u);
}

TEST(FatalError, HookListHoldsAtMost100) {
    ClearFatalHooks();
    for (int i = 0; i < kMaxFatalHooks; ++i)
        EXPECT_TRUE(AddFatalHook(HookSecond));
    EXPECT_FALSE(AddFatalHook(HookSecond));
    ClearFatalHooks();
}
