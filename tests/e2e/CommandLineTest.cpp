// The engine's command line under Wine: rejected lines end with exit code 15, with the usage
// box unless silent.
#include "support/Wine.h"

#include <gtest/gtest.h>

using namespace cs::e2e;

TEST(CommandLineUnderWine, SilentRejectionShowsNothingAndExits15) {
    RunResult r = RunWine({WinBin("corvantis-setup.exe"), "/silent", "/x"}, 60);
    ASSERT_FALSE(r.timedOut) << "a box was shown although silent: " << r.output;
    EXPECT_EQ(r.exitCode, 15);
}

TEST(CommandLineUnderWine, RejectionShowsUsageBoxThenExits15) {
    Process setup({WinBin("corvantis-setup.exe"), "/x"});
    std::optional<std::string> box = WaitForWindow("^Error$", 60);
    ASSERT_TRUE(box.has_value()) << "no usage box appeared";
    EXPECT_EQ(WindowName(*box), "Error");
    PressKey(*box, "Return");
    RunResult r = setup.Wait(60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 15);
}

TEST(CommandLineUnderWine, UnexpectedParameterIsRejectedToo) {
    RunResult r = RunWine({WinBin("corvantis-setup.exe"), "/silent", "stray"}, 60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 15);
}

TEST(EngineBinary, Is32BitAndNeedsOnlySystemDlls) {
    RunResult r = RunNative({"i686-w64-mingw32-objdump", "-p", WinBin("corvantis-setup.exe")}, 60);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("file format pei-i386"), std::string::npos);
    EXPECT_NE(r.output.find("DLL Name: KERNEL32.dll"), std::string::npos);
    for (const char* mingw : {"libgcc", "libstdc++", "libwinpthread", "zlib1", "liblzma"})
        EXPECT_EQ(r.output.find(mingw), std::string::npos) << "the engine must not need " << mingw;
}
