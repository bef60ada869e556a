#include "app/Refusals.h"

#include "payload/Definition.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(Refusals, Bitness) {
    EXPECT_EQ(CheckBitness(kBitnessAny, false), BitnessVerdict::Fits);
    EXPECT_EQ(CheckBitness(kBitnessAny, true), BitnessVerdict::Fits);
    EXPECT_EQ(CheckBitness(kBitness64, false), BitnessVerdict::Needs64BitWindows);
    EXPECT_EQ(CheckBitness(kBitness64, true), BitnessVerdict::Fits);
    EXPECT_EQ(CheckBitness(kBitness32Only, true), BitnessVerdict::Needs32BitWindows);
    EXPECT_EQ(CheckBitness(kBitness32Only, false), BitnessVerdict::Fits);
}

TEST(Refusals, ExcludedSystems) {
    EXPECT_TRUE(IsExcludedSystem(0x1000 | 0x8000, 0x8000));
    EXPECT_FALSE(IsExcludedSystem(0x1000, 0x8000));
    EXPECT_TRUE(IsExcludedSystem(-1, 0x200000)) << "all bits set excludes every system";
    EXPECT_FALSE(IsExcludedSystem(0, 0x80000));
}

TEST(Refusals, VersionComparison) {
    struct Case {
        const char16_t *a, *b;
        int order;
    } cases[] = {
        {u"1.10", u"1.9", 1},
        {u"1.9", u"1.10", -1},
        {u"2.0", u"2", 0},
        {u"2.0.1", u"2", 1},
        {u"", u"0", 0},
        {u"3.1b", u"3.1", 0},
        {u"10.0.19045", u"10.0.19044", 1},
        {u"1.2.3", u"1.2.3", 0},
        {u"0.9", u"1.0", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompareVersions(c.a, c.b), c.order)
            << ToUtf8(String(c.a)).c_str() << " vs " << ToUtf8(String(c.b)).c_str();
}

TEST(Refusals, MasterProduct) {
    MasterProduct missing;
    EXPECT_EQ(CheckMaster(missing, false, u""), MasterVerdict::Missing);
    MasterProduct noFolder{true, u"", u"2.0"};
    EXPECT_EQ(CheckMaster(noFolder, true, u""), MasterVerdict::Missing)
        << "<master> needs the master's folder";
    EXPECT_EQ(CheckMaster(noFolder, false, u""), MasterVerdict::Fits);
    MasterProduct installed{true, u"C:\\Main", u"2.0"};
    EXPECT_EQ(CheckMaster(installed, true, u"2.1"), MasterVerdict::TooOld);
    EXPECT_EQ(CheckMaster(installed, true, u"2.0"), MasterVerdict::Fits);
}

TEST(Refusals, UninstallFirstCommand) {
    String own(u"\"C:\\dl\\setup.exe\" /silent /d:\"C:\\My App\"");
    EXPECT_EQ(UninstallFirstCommand(u"\"C:\\App\\uninstall.exe\" /u:\"App\"", own, true, true),
              u"\"C:\\App\\uninstall.exe\" /u:\"App\" /r:\"`C:\\dl\\setup.exe` /silent /d:`C:\\My App`\" "
              u"/silent /a");
    EXPECT_EQ(UninstallFirstCommand(u"u.exe", u"setup.exe", false, true), u"u.exe /r:\"setup.exe\" /a");
    EXPECT_EQ(UninstallFirstCommand(u"u.exe", u"setup.exe", false, false), u"u.exe /r:\"setup.exe\"");
}

TEST(Refusals, FinalExitCode) {
    EXPECT_EQ(FinalExitCode(0, false, false), 0);
    EXPECT_EQ(FinalExitCode(0, true, false), 17);
    EXPECT_EQ(FinalExitCode(kOpt1RebootRequired, true, false), 16) << "a reboot outranks a full disk";
    EXPECT_EQ(FinalExitCode(kOpt1RebootRequired, false, false), 16);
}

// A file the uninstallation depends on that could not be written fails the run, and nothing
// (not even a pending reboot) hides that.
TEST(Refusals, FinalExitCodeOfAnUnwrittenFile) {
    struct Case {
        uint32_t optionWord1;
        bool diskFull;
        int code;
    } cases[] = {
        {0, true, 17},
        {kOpt1RebootRequired, true, 17},
        {0, false, -1},
        {kOpt1RebootRequired, false, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FinalExitCode(c.optionWord1, c.diskFull, true), c.code)
            << "options " << c.optionWord1 << ", disk full " << c.diskFull;
}
