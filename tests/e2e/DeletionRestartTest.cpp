// Restart scheduling end to end: a replacement (ReplaceAtRestart) and a deletion (DeleteFileEx
// option 0x2) are requested by a Windows program, nothing changes until the prefix restarts
// (wineboot -r carries out PendingFileRenameOperations), then both have happened.
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace cs::e2e;
namespace fs = std::filesystem;

TEST(DeletionAtRestart, WinebootCarriesOutTheReplacementAndTheDeletion) {
    const std::string folder = DriveC() + "/cs-restart-e2e";
    const std::string windowsFolder = "C:\\cs-restart-e2e\\";
    fs::remove_all(folder);
    ASSERT_TRUE(fs::create_directories(folder));
    ASSERT_TRUE(WriteFile(folder + "/app.dll", "old contents"));
    ASSERT_TRUE(WriteFile(folder + "/KWT1.tmp", "new contents"));
    ASSERT_TRUE(WriteFile(folder + "/obsolete.txt", "bye"));

    RunResult r = RunWine(
        {WinBin("deletion_probe.exe"), "replace", windowsFolder + "app.dll", windowsFolder + "KWT1.tmp"});
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    r = RunWine({WinBin("deletion_probe.exe"), "delete", windowsFolder + "obsolete.txt", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.output;

    std::string contents;
    ASSERT_TRUE(ReadFile(folder + "/app.dll", contents));
    EXPECT_EQ(contents, "old contents") << "nothing happens before the restart";
    EXPECT_TRUE(fs::exists(folder + "/obsolete.txt"));

    r = RunWine({"wineboot", "-r"}, 180);
    ASSERT_FALSE(r.timedOut);
    ASSERT_TRUE(ReadFile(folder + "/app.dll", contents));
    EXPECT_EQ(contents, "new contents");
    EXPECT_FALSE(fs::exists(folder + "/KWT1.tmp"));
    EXPECT_FALSE(fs::exists(folder + "/obsolete.txt"));
    fs::remove_all(folder);
}
