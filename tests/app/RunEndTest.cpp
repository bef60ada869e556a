// The end of a run: the restart decision, whether the launch-on-exit command runs, the text a
// failed launch appends to the log (the exit code's rule is tested with the refusals).
#include "app/RunEnd.h"
#include "core/Text.h"
#include "payload/Definition.h"

#include <gtest/gtest.h>

#include <string>

using namespace cs;

TEST(RunEnd, RestartIsAskedInteractivelyOrOnRequestAndTakenUnattended) {
    const struct {
        const char* what;
        uint32_t word1, word2;
        bool automatic;
        RestartDecision expected;
    } cases[] = {
        {"no restart needed, interactive", 0, 0, false, RestartDecision::None},
        {"no restart needed, unattended", 0, kOpt2AskBeforeRestart, true, RestartDecision::None},
        {"needed, interactive", kOpt1RebootRequired, 0, false, RestartDecision::Ask},
        {"needed, unattended", kOpt1RebootRequired, 0, true, RestartDecision::Restart},
        {"needed, unattended, ask anyway", kOpt1RebootRequired, kOpt2AskBeforeRestart, true,
         RestartDecision::Ask},
        {"needed, interactive, ask anyway", kOpt1RebootRequired, kOpt2AskBeforeRestart, false,
         RestartDecision::Ask},
        {"other bits decide nothing", ~kOpt1RebootRequired, ~kOpt2AskBeforeRestart, false,
         RestartDecision::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecideRestart(c.word1, c.word2, c.automatic), c.expected) << c.what;
}

TEST(RunEnd, LaunchOnExitOnlyWithACommandWithoutRestartAndWithoutFailures) {
    const struct {
        const char* what;
        bool restarting;
        const char16_t *command, *failures;
        bool launches;
    } cases[] = {
        {"clean run", false, u"app.exe", u"", true},
        {"no command", false, u"", u"", false},
        {"restarting", true, u"app.exe", u"", false},
        {"failures", false, u"app.exe", u"Failed to write C:\\a\r\n", false},
        {"restarting with failures", true, u"app.exe", u"x\r\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LaunchesOnExit(c.restarting, c.command, c.failures), c.launches) << c.what;
}

TEST(RunEnd, LaunchFailureTextNamesTheCommandAndTheReason) {
    EXPECT_EQ(std::string(ToUtf8(LaunchFailureText(u"\"C:\\App\\a.exe\" /x", u"File not found.")).View()),
              "Failed to launch command: \"C:\\App\\a.exe\" /x\r\nFile not found.\r\n");
}

TEST(RunEnd, SummaryPagePathsGoIntoTheInstallationFolderUnlessFull) {
    const struct {
        const char16_t *path, *expected;
    } cases[] = {
        {u"docs\\readme.html", u"C:\\App\\docs\\readme.html"},
        {u"app.exe", u"C:\\App\\app.exe"},
        {u"D:\\Other\\manual.pdf", u"D:\\Other\\manual.pdf"},
        {u"\\\\server\\share\\notes.txt", u"\\\\server\\share\\notes.txt"},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InInstallFolder(String(c.path), String(u"C:\\App")), String(c.expected)) << ToUtf8(String(c.path)).View();
}

TEST(RunEnd, AProductThatCannotStartIsNamedWithTheSystemsReason) {
    EXPECT_EQ(AppLaunchFailureText(String(u"app.exe /x"), String(u"The system cannot find the file specified.")),
              String(u"Failed to launch app: app.exe /x\r\nThe system cannot find the file specified.\r\n"));
}
