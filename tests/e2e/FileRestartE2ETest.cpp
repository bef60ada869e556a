// A file in use when the installer writes it: held open without sharing on all three
// attempts, an existing destination is replaced at the next restart. The installation asks
// for the restart (exit code 16), the log names the temporary file, the prefix's pending
// renames hold the pair, and after wineboot -r the new bytes are in place.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

using namespace cs::e2e;
namespace fs = std::filesystem;

namespace {

bool WaitForFile(const std::string& path, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string PendingRenames() {
    return RunWine({"reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "/v",
                    "PendingFileRenameOperations"},
                   60)
        .output;
}

} // namespace

TEST(FileInUseUnderWine, AnExistingFileInUseIsReplacedAtTheRestart) {
    const std::string root = DriveC() + "/cs_e2e_busy";
    fs::remove_all(root);
    fs::create_directories(root + "/app");
    ASSERT_TRUE(WriteFile(root + "/app/busy.dll", "old bytes"));
    std::string src = TempDir() + "/busy-src";
    fs::create_directories(src);
    WriteFile(src + "/busy.dll", "new bytes");
    WriteFile(src + "/busy.toml", "[product]\nname = \"Busy E2E\"\nversion = \"1.0\"\n[install]\nfolder = "
                                  "\"C:\\\\cs_e2e_busy\\\\app\"\n[[file]]\nsource = \"busy.dll\"\n");
    std::string setup = src + "/busy.exe";
    RunResult built = RunBuilder({"build", src + "/busy.toml", "-o", setup, "--stub", Engine()});
    ASSERT_EQ(built.exitCode, 0) << built.output;

    Process holder({WinBin("hold-file.exe"), "C:\\cs_e2e_busy\\app\\busy.dll", "C:\\cs_e2e_busy\\release"});
    ASSERT_TRUE(WaitForFile(root + "/app/busy.dll.held", 60)) << "the file is not held";
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    WriteFile(root + "/release", "");
    holder.Wait(60);

    EXPECT_EQ(ran.exitCode, 16) << ran.output;
    std::string contents;
    ReadFile(root + "/app/busy.dll", contents);
    EXPECT_EQ(contents, "old bytes") << "nothing changes before the restart";
    std::string log;
    ReadFile(root + "/app/Install.log", log);
    EXPECT_NE(log.find("\"C:\\cs_e2e_busy\\app\\busy.dll\" was successfully registered for replacement.\r\n"
                       "Temporary file is \"C:\\cs_e2e_busy\\app\\KWT"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Reboot will be required."), std::string::npos) << log;
    std::string pending = PendingRenames();
    EXPECT_NE(pending.find("cs_e2e_busy\\app\\KWT"), std::string::npos) << pending;
    EXPECT_NE(pending.find("cs_e2e_busy\\app\\busy.dll"), std::string::npos) << pending;
    std::string data;
    ReadFile(root + "/app/Uninstall.dat", data);
    EXPECT_EQ(data.rfind("C:\\cs_e2e_busy\\app\\busy.dll\r\n", 0), 0u) << "recorded although deferred:\n" << data;

    RunResult reboot = RunWine({"wineboot", "-r"}, 180);
    ASSERT_FALSE(reboot.timedOut);
    ReadFile(root + "/app/busy.dll", contents);
    EXPECT_EQ(contents, "new bytes");
    for (const auto& entry : fs::directory_iterator(root + "/app"))
        EXPECT_NE(entry.path().filename().string().rfind("KWT", 0), 0u) << entry.path();
    fs::remove_all(root);
}
