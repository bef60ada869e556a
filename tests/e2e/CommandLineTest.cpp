// The engine's command line under Wine: rejected lines end with exit code 15, with the usage
// box unless silent.
#include "support/Wine.h"

#include <gtest/gtest.h>

using namespace cs::e2e;

TEST(CommandLineUnderWine, SilentRejectionShowsNothingAndExits15) {
    RunResult r = RunWine({Engine(), "/silent", "/x"}, 60);
    ASSERT_FALSE(r.timedOut) << "a box was shown although silent: " << r.output;
    EXPECT_EQ(r.exitCode, 15);
}

TEST(CommandLineUnderWine, RejectionShowsUsageBoxThenExits15) {
    Process setup({Engine(), "/x"});
    std::optional<std::string> box = WaitForWindow("^Error$", 60);
    ASSERT_TRUE(box.has_value()) << "no usage box appeared";
    EXPECT_EQ(WindowName(*box), "Error");
    PressKey(*box, "Return");
    RunResult r = setup.Wait(60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 15);
}

TEST(CommandLineUnderWine, UnexpectedParameterIsRejectedToo) {
    RunResult r = RunWine({Engine(), "/silent", "stray"}, 60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 15);
}

TEST(EngineBinary, HasItsBitnessAndNeedsOnlySystemDlls) {
    const bool x64 = EngineIsX64();
    RunResult r =
        RunNative({x64 ? "x86_64-w64-mingw32-objdump" : "i686-w64-mingw32-objdump", "-p", Engine()}, 60);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find(x64 ? "file format pei-x86-64" : "file format pei-i386"), std::string::npos);
    EXPECT_NE(r.output.find("DLL Name: KERNEL32.dll"), std::string::npos);
    for (const char* mingw : {"libgcc", "libstdc++", "libwinpthread", "zlib1", "liblzma"})
        EXPECT_EQ(r.output.find(mingw), std::string::npos) << "the engine must not need " << mingw;
}
