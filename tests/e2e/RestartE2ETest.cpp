// Installations that end with a restart, in a Wine prefix of this test program's own: the
// restart is real. Wine carries out a restart request (ExitWindowsEx) with wineboot: it asks
// the prefix's programs with windows to end their session, then carries out the pending file
// operations and the start-up entries as at a boot, in a process of its own; the installer's
// process goes on and ends with its exit code, 16, often before the restart is done. So the
// tests wait for the request's effects: the restart marker is gone, and files in use (their
// programs closed at the session's end) are replaced.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace cs::e2e;
namespace fs = std::filesystem;

namespace {

std::string PendingOperations() {
    return RunWine({"reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "/v",
                    "PendingFileRenameOperations"},
                   60)
        .output;
}

// Waits at most a minute for the condition.
template <typename Condition> bool WaitUntil(Condition condition) {
    for (int i = 0; i < 600 && !condition(); ++i)
        RunNative({"sleep", "0.1"});
    return condition();
}

bool WaitForFile(const std::string& path) {
    return WaitUntil([&] { return fs::exists(path); });
}

class RestartUnderWine : public testing::Test {
  protected:
    static void SetUpTestSuite() { prefix_ = std::make_unique<IsolatedPrefix>("restart"); }
    static void TearDownTestSuite() { prefix_.reset(); }
    void SetUp() override {
        ASSERT_TRUE(prefix_->Ready()) << "Wine could not make the test's own prefix";
        sources_ = TempDir();
        WriteFile(sources_ + "/a.txt", "a");
    }
    std::string Build(const std::string& name, const std::string& project) {
        return BuildInstaller(name, project + "[[file]]\nsource = '" + sources_ + "/a.txt'\n");
    }
    // Runs the installer while a program holds the file open without sharing until the session
    // ends: the run ends with 16 and the holder has closed. Returns the run's log.
    std::string RunWhileHeld(const std::string& setup, const std::string& windowsPath) {
        const std::string linuxPath = DriveCPath(windowsPath);
        Process holder({WinBin("hold-file.exe"), windowsPath, "C:\\cs_e2e_restart_never"});
        EXPECT_TRUE(WaitForFile(linuxPath + ".held")) << "the file is not held";
        RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
        EXPECT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 16) << ran.output;
        EXPECT_FALSE(holder.Wait(30).timedOut) << "the holder closed at the end of the session";
        return FileText(fs::path(linuxPath).parent_path().string() + "/Install.log");
    }
    static std::unique_ptr<IsolatedPrefix> prefix_;
    std::string sources_;
};

std::unique_ptr<IsolatedPrefix> RestartUnderWine::prefix_;

} // namespace

// An unattended run of a product that needs a restart restarts without asking: the marker
// scheduled for deletion at the restart is gone afterwards, and the launch-on-exit command
// (not run when restarting) has made nothing.
TEST_F(RestartUnderWine, ARequiredRestartIsCarriedOut) {
    const std::string app = DriveC() + "/cs_e2e_restart";
    std::string setup = Build("restart", "[product]\nname = 'Restart E2E'\nversion = '1.0'\n"
                                         "[install]\nfolder = 'C:\\cs_e2e_restart'\n"
                                         "[links]\nlaunch_on_exit = 'cmd /c echo launched> launched.txt'\n"
                                         "[options]\nreboot_required = true\nreboot_marker = true\n");
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 16) << ran.output;
    EXPECT_TRUE(fs::exists(app + "/a.txt"));
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(app + "/reboot.dat"); })) << "the restart deleted the marker";
    EXPECT_FALSE(TextContains(PendingOperations(), "cs_e2e_restart")) << "nothing is left pending";
    RunNative({"sleep", "1"});
    EXPECT_FALSE(fs::exists(app + "/launched.txt")) << "no launch when restarting";
    EXPECT_TRUE(TextContains(FileText(app + "/Install.log"), "Launch on exit: cmd /c echo launched> launched.txt"));
}

// A file in use when the installer writes it (held open without sharing on all three
// attempts): the installation registers its replacement and restarts; the program holding it
// closes at the end of the session and the restart puts the new bytes in place.
TEST_F(RestartUnderWine, AFileInUseIsReplacedByTheRestart) {
    const std::string app = DriveC() + "/cs_e2e_busy";
    fs::create_directories(app);
    ASSERT_TRUE(WriteFile(app + "/busy.dll", "old bytes"));
    WriteFile(sources_ + "/busy.dll", "new bytes");
    std::string setup = Build("busy", "[product]\nname = 'Busy E2E'\nversion = '1.0'\n"
                                      "[install]\nfolder = 'C:\\cs_e2e_busy'\n"
                                      "[[file]]\nsource = '" + sources_ + "/busy.dll'\n");
    ASSERT_FALSE(setup.empty());
    std::string log = RunWhileHeld(setup, "C:\\cs_e2e_busy\\busy.dll");
    EXPECT_TRUE(TextContains(log, "\"C:\\cs_e2e_busy\\busy.dll\" was successfully registered for replacement.\r\n"
                                  "Temporary file is \"C:\\cs_e2e_busy\\KWT"))
        << log;
    EXPECT_TRUE(TextContains(log, "Reboot will be required.")) << log;
    EXPECT_EQ(FileText(app + "/Uninstall.dat").rfind("C:\\cs_e2e_busy\\busy.dll\r\n", 0), 0u)
        << "recorded although deferred";
    EXPECT_TRUE(WaitUntil([&] { return FileText(app + "/busy.dll") == "new bytes"; })) << "replaced by the restart";
    for (const auto& entry : fs::directory_iterator(app))
        EXPECT_NE(entry.path().filename().string().rfind("KWT", 0), 0u) << entry.path();
}

// An uninstaller of an earlier installation that is running: the new one (the engine without
// the installation data) replaces it at the restart.
TEST_F(RestartUnderWine, AnUninstallerInUseIsReplacedByTheRestart) {
    const std::string app = DriveC() + "/cs_e2e_unbusy";
    fs::create_directories(app);
    ASSERT_TRUE(WriteFile(app + "/uninstall.exe", "old uninstaller"));
    std::string setup = Build("unbusy", "[product]\nname = 'Uninstaller Busy E2E'\nversion = '1.0'\n"
                                        "[install]\nfolder = 'C:\\cs_e2e_unbusy'\n"
                                        "[options]\nuninstaller_without_payload = true\n"
                                        "start_menu_uninstaller = false\n");
    ASSERT_FALSE(setup.empty());
    std::string log = RunWhileHeld(setup, "C:\\cs_e2e_unbusy\\uninstall.exe");
    EXPECT_TRUE(TextContains(log, "\"C:\\cs_e2e_unbusy\\uninstall.exe\" was successfully registered for "
                                  "replacement.\r\nTemporary file is \"C:\\cs_e2e_unbusy\\KWT"))
        << log;
    EXPECT_FALSE(TextContains(log, "Uninstaller >>> ")) << log;
    EXPECT_TRUE(WaitUntil([&] { return FileText(app + "/uninstall.exe").rfind("MZ", 0) == 0; }))
        << "replaced by the restart";
    EXPECT_LT(FileText(app + "/uninstall.exe").size(), FileText(setup).size()) << "the engine without the payload";
}
