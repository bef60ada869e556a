// The end of a run under Wine: the launch-on-exit command runs after a clean installation (it
// makes a file), is not run when the failure summary is not empty, and a
// command that cannot start is appended to the finished "Install.log". A run that restarts
// acts on the whole prefix: those are in RestartE2ETest.cpp, in a prefix of their own; the
// restart decision is tested natively (tests/app/RunEndTest.cpp).
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

struct EndCase {
    const char* name;
    std::string extra; // project text after the common part
    std::string command;
    int exitCode;
    bool launched;
};

} // namespace

TEST(RunEnd, LaunchOnExitRunsOnlyAfterACleanRunWithoutRestart) {
    const std::string root = DriveC() + "/cs_e2e_runend";
    fs::remove_all(root);
    std::string sources = TempDir();
    WriteFile(sources + "/a.txt", "a");
    const EndCase cases[] = {
        {"clean", "", "cmd /c echo launched> \\\"%InstallDir%\\\\launched.txt\\\"", 0, true},
        {"failed", "[[file]]\nsource = \"" + sources + "/a.txt\"\nname = \"a.txt\\\\blocked.txt\"\n",
         "cmd /c echo launched> \\\"%InstallDir%\\\\launched.txt\\\"", 0, false},
    };
    for (const EndCase& c : cases) {
        std::string project = std::string("[product]\nname = \"Run End E2E ") + c.name +
                              "\"\nversion = \"1.0\"\n[install]\nfolder = \"C:\\\\cs_e2e_runend\\\\" +
                              c.name + "\"\n[links]\nlaunch_on_exit = \"" + c.command +
                              "\"\n[[file]]\nsource = \"" + sources + "/a.txt\"\n" + c.extra;
        std::string setup = BuildInstaller(std::string("runend-") + c.name, project);
        ASSERT_FALSE(setup.empty()) << c.name;
        RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
        ASSERT_FALSE(ran.timedOut) << c.name;
        EXPECT_EQ(ran.exitCode, c.exitCode) << c.name << ran.output;
        const std::string app = root + "/" + c.name;
        // The command runs in the background: give it time to finish.
        for (int i = 0; i < 50 && c.launched && !fs::exists(app + "/launched.txt"); ++i)
            RunNative({"sleep", "0.1"});
        EXPECT_EQ(fs::exists(app + "/launched.txt"), c.launched) << c.name;
        std::string log = FileText(app + "/Install.log");
        EXPECT_TRUE(TextContains(log, "Launch on exit: cmd /c echo launched> \"C:\\cs_e2e_runend\\" +
                                          std::string(c.name) + "\\launched.txt\"\r\n"))
            << c.name << log;
    }
}

TEST(RunEnd, ACommandThatCannotStartIsAppendedToTheFinishedLog) {
    fs::remove_all(DriveC() + "/cs_e2e_runend_bad");
    std::string sources = TempDir();
    WriteFile(sources + "/a.txt", "a");
    std::string project = "[product]\nname = \"Run End E2E bad\"\nversion = \"1.0\"\n"
                          "[install]\nfolder = \"C:\\\\cs_e2e_runend_bad\"\n"
                          "[links]\nlaunch_on_exit = \"C:\\\\cs_e2e_missing\\\\nothing.exe\"\n"
                          "[[file]]\nsource = \"" +
                          sources + "/a.txt\"\n";
    std::string setup = BuildInstaller("runend-bad", project);
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;
    std::string log = FileText(DriveC() + "/cs_e2e_runend_bad/Install.log");
    size_t failure = log.find("Failed to launch command: C:\\cs_e2e_missing\\nothing.exe\r\n");
    ASSERT_NE(failure, std::string::npos) << log;
    EXPECT_GT(log.size(), failure + 60) << "the system's reason follows";
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

// The restart question is asked in an interactive run, and in an unattended one with
// ask_before_restart; answered No, the run ends with 16 and the launch-on-exit command runs.
TEST(RunEnd, TheRestartQuestionAnsweredNoLeadsToTheLaunch) {
    std::string sources = TempDir();
    WriteFile(sources + "/a.txt", "a");
    const struct {
        const char* name;
        std::string options;
        std::vector<std::string> switches;
    } cases[] = {
        {"asked", "", {}},
        {"asked-unattended", "ask_before_restart = true\n", {"/a"}},
    };
    for (const auto& c : cases) {
        const std::string app = DriveC() + "/cs_e2e_runend_" + c.name;
        fs::remove_all(app);
        std::string project =
            std::string("[product]\nname = \"Run End Question ") + c.name +
            "\"\nversion = \"1.0\"\n[install]\nfolder = \"C:\\\\cs_e2e_runend_" + c.name +
            "\"\n[links]\nlaunch_on_exit = \"cmd /c echo launched> launched.txt\"\n"
            "[options]\nreboot_required = true\nno_greeting = true\nno_completion_message = true\n" +
            c.options + "[[file]]\nsource = \"" + sources + "/a.txt\"\n";
        std::string setup = BuildInstaller(std::string("runend-") + c.name, project);
        ASSERT_FALSE(setup.empty()) << c.name;
        std::vector<std::string> args{setup};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        Process run(args);
        auto question = WaitForWindow("^Please confirm$", 60);
        ASSERT_TRUE(question) << c.name << ": no restart question";
        PressKey(*question, "n");
        RunResult ran = run.Wait(120);
        ASSERT_FALSE(ran.timedOut) << c.name;
        EXPECT_EQ(ran.exitCode, 16) << c.name << ran.output;
        for (int i = 0; i < 50 && !fs::exists(app + "/launched.txt"); ++i)
            RunNative({"sleep", "0.1"});
        EXPECT_TRUE(fs::exists(app + "/launched.txt"))
            << c.name << ": the working folder is the installation folder";
    }
}
