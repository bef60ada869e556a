// The installation's refusals under Wine, each with its exit code.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace cs::e2e;

namespace {

int RunSilent(const std::string& installer, const std::vector<std::string>& more = {}) {
    std::vector<std::string> args{installer, "/silent"};
    args.insert(args.end(), more.begin(), more.end());
    RunResult r = RunWine(args, 120);
    EXPECT_FALSE(r.timedOut) << r.output;
    return r.exitCode;
}

} // namespace

TEST(RefusalsUnderWine, ExcludedSystemExits5) {
    std::string setup = BuildInstaller("excluded", "[product]\nname = \"Excluded Product\"\n"
                                                   "[install]\nexcluded_systems = 0x3FFFFF\n");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunSilent(setup), 5);
    std::string allowed = BuildInstaller("allowed", "[product]\nname = \"Allowed Product\"\n"
                                                    "[install]\nexcluded_systems = 0\n");
    EXPECT_EQ(RunSilent(allowed), 0);
}

TEST(RefusalsUnderWine, MasterFolderWithoutMasterExits7) {
    std::string setup = BuildInstaller("addon", "[product]\nname = \"Add-on\"\n"
                                                "[install]\nfolder = \"<master>\"\n"
                                                "master = { key_name = \"No Such Main Product\", "
                                                "display_name = \"Main Product\" }\n");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunSilent(setup), 7);
}

TEST(RefusalsUnderWine, SecondInstallerWhileTheMutexIsHeldExits8) {
    std::string setup = BuildInstaller("single", "[product]\nname = \"Single\"\n"
                                                 "[options]\nsingle_instance = true\n");
    ASSERT_FALSE(setup.empty());
    std::string release = TempDir() + "/release";
    Process holder({WinBin("hold-mutex.exe"), ToWindowsPath(release)});
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(RunSilent(setup), 8);
    WriteFile(release, "done");
    RunResult held = holder.Wait(30);
    EXPECT_EQ(held.exitCode, 0);
    EXPECT_EQ(RunSilent(setup), 0) << "once the other installer ended the mutex is free";
}

TEST(RefusalsUnderWine, SilentUninstallFirstStartsTheOldUninstallerAndExits10) {
    std::string key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old Product E2E";
    std::string folder = DriveC() + "/Old Product E2E";
    std::filesystem::create_directories(folder);
    std::string record = DriveC() + "/old-uninstaller-args.txt";
    std::filesystem::remove(record);
    RegAdd(key, "InstallLocation", "C:\\Old Product E2E");
    RegAdd(key, "DisplayVersion", "1.0");
    // The stand-in uninstaller writes the command line it was given.
    RegAdd(key, "UninstallString", "C:\\windows\\system32\\cmd.exe /c echo>C:\\old-uninstaller-args.txt");
    std::string setup = BuildInstaller("old", "[product]\nname = \"Old Product E2E\"\nversion = \"2.0\"\n"
                                              "[options]\nuninstall_old_first = true\n");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunSilent(setup), 10);
    // The stand-in runs on after the installer ended: wait for its whole line.
    std::string args;
    for (int i = 0; i < 200 && (!ReadFile(record, args) || args.find('\n') == std::string::npos); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(args.find("/r:\""), std::string::npos) << args;
    EXPECT_NE(args.find("/silent\" /silent /a"), std::string::npos) << args;
    EXPECT_NE(args.find("old-setup.exe`"), std::string::npos) << "own quotes become grave accents: " << args;
    RegDeleteKey(key);
}

// A 64-bit product on a pure 32-bit prefix (made once beside the run's prefix).
TEST(RefusalsUnderWine, SixtyFourBitProductOnThirtyTwoBitWindowsExits5) {
    if (EngineIsX64()) GTEST_SKIP() << "the 64-bit engine does not run on 32-bit Windows";
    std::string setup = BuildInstaller("x64", "[product]\nname = \"Wide Product\"\nbitness = \"64-bit\"\n");
    ASSERT_FALSE(setup.empty());
    const char* prefix = std::getenv("WINEPREFIX");
    ASSERT_NE(prefix, nullptr) << "run under scripts/wine-start";
    std::string original = prefix;
    std::string prefix32 = std::filesystem::path(original).parent_path().string() + "/prefix32";
    setenv("WINEPREFIX", prefix32.c_str(), 1);
    setenv("WINEARCH", "win32", 1);
    if (!std::filesystem::exists(prefix32 + "/system.reg")) {
        RunResult boot = RunWine({"wineboot", "-i"}, 240);
        EXPECT_FALSE(boot.timedOut) << boot.output;
        RunNative({"wineserver", "-w"}, 120);
    }
    int code = RunSilent(setup);
    RunNative({"wineserver", "-k"}, 60); // this prefix's server only
    setenv("WINEPREFIX", original.c_str(), 1);
    unsetenv("WINEARCH");
    EXPECT_EQ(code, 5);
    EXPECT_EQ(RunSilent(setup), 0) << "the same installer runs on the 64-bit prefix";
}

// An installed copy that recorded NoDowngradeBelow above this version: without an uninstall
// command the run ends with 11; with one, a silent run starts it and ends with 10.
TEST(RefusalsUnderWine, DowngradeBelowTheRecordedVersion) {
    const std::string key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Downgrade E2E";
    std::filesystem::create_directories(DriveC() + "/Downgrade E2E");
    // The installed copy's entry (an installation rewrites it with its own values).
    auto recordInstalledCopy = [&key] {
        RegDeleteKey(key);
        RegAdd(key, "InstallLocation", "C:\\Downgrade E2E");
        RegAdd(key, "DisplayVersion", "3.0");
        RegAdd(key, "NoDowngradeBelow", "3.0");
    };
    recordInstalledCopy();
    std::string older =
        BuildInstaller("downgrade", "[product]\nname = \"Downgrade E2E\"\nversion = \"2.0\"\n");
    std::string same = BuildInstaller("same", "[product]\nname = \"Downgrade E2E\"\nversion = \"3.0\"\n");
    ASSERT_FALSE(older.empty());
    ASSERT_FALSE(same.empty());
    EXPECT_EQ(RunSilent(older), 11) << "no uninstall command to offer";
    EXPECT_EQ(RunSilent(same), 0) << "the recorded version itself may be installed over";
    recordInstalledCopy();
    RegAdd(key, "UninstallString", "C:\\windows\\system32\\cmd.exe /c rem");
    EXPECT_EQ(RunSilent(older), 10) << "the old uninstaller is started";
    RegDeleteKey(key);
    std::filesystem::remove_all(DriveC() + "/Downgrade E2E");
}
