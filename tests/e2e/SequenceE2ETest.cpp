// The installation sequence under Wine from the refusals to the exit: the preparation with
// its folders and batches, the folder from a registry reference, the closing pass and the
// upgrade question that cancels.
#include "support/HttpRecorder.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <thread>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

RunResult RunAutomatic(const std::string& installer) {
    RunResult r = RunWine({installer, "/silent", "/a"}, 120);
    EXPECT_FALSE(r.timedOut) << r.output;
    return r;
}

} // namespace

// Preparation makes the uninstall data and shared folders before the pre-installation batch,
// the post-installation batch runs before the log is written and the installation-exit batch
// after it, when the log is finished (the copy that batch makes is the whole log); folders
// left empty at the end are removed again. The log ends with the completion text, its
// placeholders replaced.
TEST(SequenceUnderWine, PreparationBatchesAndLogInOrder) {
    std::string root = DriveC() + "/cs_e2e_sequence";
    fs::remove_all(root);
    std::string setup = BuildInstaller(
        "prepared",
        "[product]\nname = \"Prepared E2E\"\nversion = \"1.0\"\nbuild_date = 2026-03-07\n"
        "[texts]\n43 = \"Done: <product> in <os>[<lbdate>]\"\n"
        "[install]\nfolder = \"C:\\\\cs_e2e_sequence\\\\app\"\nshared_subfolder = \"shared\"\n"
        "[uninstall]\nsubfolder = \"data\"\n"
        "[options]\nlog_pre_install_batch = true\nlog_post_install_batch = true\nrestore_point = true\n"
        "[batches]\n"
        "pre_install = '''\nif exist \"%SharedDir%\" echo shared folder made>\"%InstallDir%\\pre.txt\"\n"
        "echo output of the pre-installation batch\n'''\n"
        "post_install = 'if not exist \"%InstallDir%\\data\\Install.log\" echo before the "
        "log>\"%InstallDir%\\post.txt\"'\n"
        "install_exit = '''\nif exist \"%InstallDir%\\data\\Install.log\" echo after the "
        "log>\"%InstallDir%\\exit.txt\"\n"
        "copy \"%InstallDir%\\data\\Install.log\" \"%InstallDir%\\log-at-exit.txt\"\n'''\n");
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunAutomatic(setup);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;

    std::string text;
    ASSERT_TRUE(ReadFile(root + "/app/pre.txt", text))
        << "the shared folder exists when the first batch runs";
    EXPECT_TRUE(TextContains(text, "shared folder made"));
    EXPECT_TRUE(ReadFile(root + "/app/post.txt", text)) << "the post-installation batch runs before the log";
    EXPECT_TRUE(ReadFile(root + "/app/exit.txt", text)) << "the installation-exit batch runs after the log";
    EXPECT_FALSE(fs::exists(root + "/app/shared")) << "an empty shared folder is removed at the end";

    std::string log;
    ASSERT_TRUE(ReadFile(root + "/app/data/Install.log", log));
    EXPECT_TRUE(TextContains(log, "Running Pre-Installation Batch...")) << log;
    EXPECT_TRUE(TextContains(log, "output of the pre-installation batch")) << log;
    EXPECT_TRUE(TextContains(log, "Running Post-Installation Batch...")) << log;
    EXPECT_FALSE(TextContains(log, "FAILURE SUMMARY")) << log;
    // Wine's srclient.dll has no system restore (SRSetRestorePointW fails): the failure is
    // logged with its reason and the run goes on.
    EXPECT_TRUE(TextContains(log, "Creating restore point...FAILED\r\n")) << log;
    EXPECT_FALSE(TextContains(log, "Failed to commit restore point."))
        << "a point that failed to begin is not committed";
    // The Windows folder as Wine names it, the build date in the user's short date format.
    const std::string done = "\r\nDone: Prepared E2E in ";
    size_t at = log.rfind(done);
    ASSERT_NE(at, std::string::npos) << log;
    std::string completion = log.substr(at + done.size());
    std::string folder = completion.substr(0, completion.find('['));
    std::transform(folder.begin(), folder.end(), folder.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(folder, "c:\\windows") << completion;
    std::string date = completion.substr(completion.find('[') + 1);
    date = date.substr(0, date.find(']'));
    for (const char* piece : {"2026", "3", "7"})
        EXPECT_NE(date.find(piece), std::string::npos) << piece << " in the build date " << date;
    EXPECT_EQ(completion.substr(completion.find(']')), "]\r\n") << "the completion text ends the log";
    std::string logAtExit;
    ASSERT_TRUE(ReadFile(root + "/app/log-at-exit.txt", logAtExit))
        << "the installation-exit batch sees the log";
    EXPECT_EQ(logAtExit, log) << "the log is finished before the installation-exit batch runs";
    fs::remove_all(root);
}

// A default folder that names a registry value: a missing value and a folder that does not
// exist end the run with 7; an existing folder is where the installation goes.
TEST(SequenceUnderWine, DefaultFolderFromTheRegistry) {
    const std::string key = "HKCU\\Software\\Corvantis E2E";
    RegDeleteKey(key);
    std::string setup =
        BuildInstaller("regfolder", "[product]\nname = \"Registry Folder E2E\"\n"
                                    "[install]\nfolder = 'HKCU\\Software\\Corvantis E2E\\Folder'\n");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunAutomatic(setup).exitCode, 7) << "no value";

    RegAdd(key, "Folder", "C:\\cs_e2e_no_such_folder");
    EXPECT_EQ(RunAutomatic(setup).exitCode, 7) << "a folder that does not exist";

    std::string target = DriveC() + "/cs_e2e_regfolder";
    fs::remove_all(target);
    fs::create_directories(target);
    RegAdd(key, "Folder", "C:\\cs_e2e_regfolder");
    EXPECT_EQ(RunAutomatic(setup).exitCode, 0);
    std::string log;
    EXPECT_TRUE(ReadFile(target + "/Install.log", log)) << "the log goes to the folder the registry names";
    RegDeleteKey(key);
    fs::remove_all(target);
}

// The closing pass posts WM_CLOSE to a matching window of another program.
TEST(SequenceUnderWine, ClosingPassClosesAMatchingProgram) {
    Process notepad({"notepad.exe"});
    ASSERT_TRUE(WaitForWindow("Notepad", 60)) << "notepad did not show its window";
    std::string setup =
        BuildInstaller("closer", "[product]\nname = \"Closer E2E\"\n"
                                 "[install]\nfolder = \"C:\\\\cs_e2e_closer\"\n"
                                 "[[auto_close]]\nwindow_class = \"Notepad\"\nname = \"Notepad\"\n");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunAutomatic(setup).exitCode, 0);
    RunResult closed = notepad.Wait(30);
    EXPECT_FALSE(closed.timedOut) << "notepad still runs";
    fs::remove_all(DriveC() + "/cs_e2e_closer");
}

// An interactive installation greets (OK goes on); over an installed older version it asks
// first, and answering No
// cancels with the cancellation message and exit code 12, before anything changed, and the
// cancellation address is requested.
TEST(SequenceUnderWine, UpgradeQuestionAnsweredNoCancels) {
    const std::string key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Upgrade E2E";
    fs::create_directories(DriveC() + "/cs_e2e_upgrade");
    RegAdd(key, "InstallLocation", "C:\\cs_e2e_upgrade");
    RegAdd(key, "DisplayVersion", "1.0");
    cs::test::HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    std::string setup = BuildInstaller("upgrade", "[product]\nname = \"Upgrade E2E\"\nversion = \"2.0\"\n"
                                                  "[links]\ncancel_url = \"http://127.0.0.1:" +
                                                      std::to_string(recorder.Port()) + "/cancelled\"\n");
    ASSERT_FALSE(setup.empty());

    Process run({setup});
    auto greeting = WaitForWindow("^Upgrade E2E Setup$", 60);
    ASSERT_TRUE(greeting) << "no greeting";
    PressKey(*greeting, "Return");
    auto question = WaitForWindow("^Setup$", 60);
    ASSERT_TRUE(question) << "no upgrade question";
    Screenshot(TempDir() + "/upgrade-question.png");
    PressKey(*question, "n");
    auto cancelled = WaitForWindow("^Installation cancelled$", 60);
    ASSERT_TRUE(cancelled) << "no cancellation message";
    PressKey(*cancelled, "Return");
    RunResult r = run.Wait(60);
    EXPECT_EQ(r.exitCode, 12) << r.output;

    EXPECT_FALSE(fs::exists(DriveC() + "/cs_e2e_upgrade/Install.log")) << "nothing changed, no log written";
    EXPECT_EQ(recorder.Requests(), std::vector<std::string>{"GET /cancelled"});
    RegDeleteKey(key);
    fs::remove_all(DriveC() + "/cs_e2e_upgrade");
}

// Without the password page an installer with a password must not install unasked.
TEST(SequenceUnderWine, PasswordWithoutItsPageCancels) {
    std::string setup =
        BuildInstaller("password", "[product]\nname = \"Password E2E\"\n"
                                   "[install]\nfolder = \"C:\\\\cs_e2e_password\"\npassword = \"secret\"\n");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunAutomatic(setup).exitCode, 12);
    EXPECT_FALSE(fs::exists(DriveC() + "/cs_e2e_password")) << "nothing was prepared";
}

// With the security options the installation folder and then the shared folder are loosened
// (the Start Menu folder only once it exists: a new installation without Start Menu
// shortcuts has none); with
// add_to_path the folder joins the machine's search path.
TEST(SequenceUnderWine, LoosenedFoldersAndSearchPath) {
    const std::string environment = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment";
    RunResult before = RunWine({"reg", "query", environment, "/v", "Path"}, 60);
    ASSERT_EQ(before.exitCode, 0) << before.output;
    std::string root = DriveC() + "/cs_e2e_loosen";
    fs::remove_all(root);
    fs::remove_all(DriveCPath(SpecialFolder("Programs") + "\\Loosen Menu")); // left by an earlier engine
    std::string setup = BuildInstaller(
        "loosen", "[product]\nname = \"Loosen E2E\"\n"
                  "[install]\nfolder = \"C:\\\\cs_e2e_loosen\"\nshared_subfolder = \"shared\"\n"
                  "start_menu_folder = \"Loosen Menu\"\nadd_to_path_subfolder = \"bin\"\n"
                  "[options]\nloosen_folder_security = true\nstart_menu_uninstaller = false\n"
                  "loosen_shared_folder_security = true\nadd_to_path = true\n"
                  "[batches]\npre_install = 'mkdir \"%InstallDir%\\bin\"'\n");
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunAutomatic(setup).exitCode, 0);

    std::string log;
    ASSERT_TRUE(ReadFile(root + "/Install.log", log));
    EXPECT_FALSE(TextContains(log, "Loosen Menu")) << "no Start Menu folder yet: " << log;
    size_t folder = log.find("Loosening security on directory \"C:\\cs_e2e_loosen\"...OK");
    size_t shared = log.find("Loosening security on directory \"C:\\cs_e2e_loosen\\shared\"...OK");
    ASSERT_NE(folder, std::string::npos) << log;
    ASSERT_NE(shared, std::string::npos) << log;
    EXPECT_LT(folder, shared);
    EXPECT_FALSE(TextContains(log, "FAILED")) << log;

    RunResult path = RunWine({"reg", "query", environment, "/v", "Path"}, 60);
    EXPECT_TRUE(TextContains(path.output, "C:\\cs_e2e_loosen\\bin")) << path.output;
    // Put the prefix's search path back as it was.
    size_t at = before.output.find("REG_");
    ASSERT_NE(at, std::string::npos);
    size_t typeEnd = before.output.find_first_of(" \t", at);
    size_t value = before.output.find_first_not_of(" \t", typeEnd);
    std::string original = before.output.substr(value, before.output.find_first_of("\r\n", value) - value);
    RunResult restored = RunWine({"reg", "add", environment, "/v", "Path", "/t",
                                  before.output.substr(at, typeEnd - at), "/d", original, "/f"},
                                 60);
    EXPECT_EQ(restored.exitCode, 0) << restored.output;
    fs::remove_all(root);
}

// A 32-bit product's batch sees what a 32-bit program sees on 64-bit Windows, whichever
// engine runs it: the 32-bit command interpreter (both engines' logs say so alike), so
// "PROCESSOR_ARCHITECTURE" is x86 and "ProgramFiles" the x86 folder. Under the 64-bit engine
// a 64-bit product's batch still runs in the 64-bit one.
TEST(SequenceUnderWine, ThirtyTwoBitProductBatchesSeeA32BitSystem) {
    if (!fs::exists(DriveC() + "/windows/syswow64/cmd.exe"))
        GTEST_SKIP() << "a prefix without 32-bit programs";
    const std::string root = DriveC() + "/cs_e2e_batch32";
    fs::remove_all(root);
    auto project = [](const std::string& name, const std::string& bitness) {
        return "[product]\nname = \"" + name + "\"\nbitness = \"" + bitness + "\"\n" +
               "[install]\nfolder = \"C:\\\\cs_e2e_batch32\\\\" + bitness +
               "\"\n"
               "[options]\nstart_menu_uninstaller = false\nlog_post_install_batch = true\n"
               "[batches]\npost_install = '''\necho %PROCESSOR_ARCHITECTURE%>\"%InstallDir%\\arch.txt\"\n"
               "echo %PROCESSOR_ARCHITEW6432%>>\"%InstallDir%\\arch.txt\"\n"
               "echo %ProgramFiles%>>\"%InstallDir%\\arch.txt\"\n'''\n";
    };
    std::string setup = BuildInstaller("batch32", project("Batch32 E2E", "any"));
    ASSERT_FALSE(setup.empty());
    EXPECT_EQ(RunAutomatic(setup).exitCode, 0);
    EXPECT_EQ(FileText(root + "/any/arch.txt"), "x86\r\nAMD64\r\nC:\\Program Files (x86)\r\n");
    std::string log = FileText(root + "/any/Install.log");
    EXPECT_TRUE(
        TextContains(log, "Batch runs in the 32-bit command interpreter C:\\windows\\syswow64\\cmd.exe\r\n"))
        << log;

    if (EngineIsX64()) {
        std::string setup64 = BuildInstaller("batch64", project("Batch64 E2E", "64-bit"));
        ASSERT_FALSE(setup64.empty());
        EXPECT_EQ(RunAutomatic(setup64).exitCode, 0);
        std::string arch64 = FileText(root + "/64-bit/arch.txt");
        EXPECT_EQ(arch64.rfind("AMD64\r\n", 0), 0u) << arch64;
        EXPECT_TRUE(TextContains(arch64, "\r\nC:\\Program Files\r\n")) << arch64;
        EXPECT_FALSE(TextContains(FileText(root + "/64-bit/Install.log"), "32-bit"))
            << "a 64-bit product's batch";
    }
    for (const char* key : {"Batch32 E2E", "Batch64 E2E"})
        RegDeleteKey(std::string("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + key);
    fs::remove_all(root);
}

// Under the 64-bit engine, where the prefix has no 32-bit interpreter, a 32-bit product's
// batch runs in the 64-bit one with the environment a 32-bit program gets, and the log says so.
// (A prefix of its own: the shared one keeps its interpreter for the other tests.)
TEST(SequenceUnderWine, WithoutA32BitInterpreterTheBatchGetsA32BitEnvironment) {
    if (!EngineIsX64()) GTEST_SKIP() << "the 32-bit engine runs the interpreter the system gives it";
    std::string setup = BuildInstaller(
        "batch32-fallback",
        "[product]\nname = \"Batch32 Fallback E2E\"\n[install]\nfolder = \"C:\\\\cs_e2e_batch32f\"\n"
        "[options]\nstart_menu_uninstaller = false\n"
        "[batches]\npost_install = '''\necho %PROCESSOR_ARCHITECTURE%>\"%InstallDir%\\arch.txt\"\n"
        "echo %PROCESSOR_ARCHITEW6432%>>\"%InstallDir%\\arch.txt\"\n"
        "echo %ProgramFiles%>>\"%InstallDir%\\arch.txt\"\n"
        "echo %CommonProgramFiles%>>\"%InstallDir%\\arch.txt\"\n'''\n");
    ASSERT_FALSE(setup.empty());
    IsolatedPrefix prefix("batch32-fallback");
    ASSERT_TRUE(prefix.Ready());
    fs::remove(DriveC() + "/windows/syswow64/cmd.exe");
    EXPECT_EQ(RunAutomatic(setup).exitCode, 0);
    // Wine limit: Wine's loader sets PROCESSOR_ARCHITECTURE, PROCESSOR_ARCHITEW6432,
    // ProgramFiles and CommonProgramFiles in every new process by that process's own bitness,
    // over the environment its creator passed, so the 64-bit interpreter shows its own values
    // here (Windows keeps the block as given; batch_tests check the block itself). What shows
    // is that the batch ran in the interpreter the log names.
    std::string seen = FileText(DriveC() + "/cs_e2e_batch32f/arch.txt");
    EXPECT_TRUE(seen ==
                    "x86\r\nAMD64\r\nC:\\Program Files (x86)\r\nC:\\Program Files (x86)\\Common Files\r\n" ||
                seen == "AMD64\r\nEcho is OFF\r\nC:\\Program Files\r\nC:\\Program Files\\Common Files\r\n")
        << seen;
    std::string log = FileText(DriveC() + "/cs_e2e_batch32f/Install.log");
    EXPECT_TRUE(TextContains(
        log, "No 32-bit command interpreter: batch runs in C:\\windows\\system32\\cmd.exe with a "
             "32-bit environment\r\n"))
        << log;
}

// The greeting of an interactive run: Cancel ends the run as cancelled before anything is
// prepared.
TEST(SequenceUnderWine, GreetingCancelled) {
    fs::remove_all(DriveC() + "/cs_e2e_greeting");
    std::string setup = BuildInstaller("greeting", "[product]\nname = \"Greeting E2E\"\n"
                                                   "[install]\nfolder = \"C:\\\\cs_e2e_greeting\"\n");
    ASSERT_FALSE(setup.empty());
    Process run({setup});
    auto greeting = WaitForWindow("^Greeting E2E Setup$", 60);
    ASSERT_TRUE(greeting) << "no greeting";
    PressKey(*greeting, "Escape");
    auto cancelled = WaitForWindow("^Installation cancelled$", 60);
    ASSERT_TRUE(cancelled) << "no cancellation message";
    PressKey(*cancelled, "Return");
    RunResult r = run.Wait(60);
    EXPECT_EQ(r.exitCode, 12) << r.output;
    EXPECT_FALSE(fs::exists(DriveC() + "/cs_e2e_greeting"));
}
