// The taskbar pin under Wine, by the Windows version the prefix reports: on Windows 10 it is
// not attempted and nothing is logged; on Windows 7 it is tried through a temporary link, which
// is gone afterwards, and the shell's pinned link is recorded for the uninstaller. Wine has no
// handler for the "taskbarpin" verb (ShellExecuteEx fails with SE_ERR_NOASSOC, and leaves an
// unrelated last error, 193), so there the pin fails: the log says "FAIL" with the system's
// text for "no association", and the record is still written.
#include "support/Installers.h"
#include "support/WindowsVersion.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

} // namespace

TEST(ShortcutPinUnderWine, TriedOnWindows7OnlyAndRecordedEvenWhenWineRefusesIt) {
    const std::string app = "C:\\cs_e2e_pin\\app";
    const std::string tool = TempDir() + "/tool.bat";
    ASSERT_TRUE(WriteFile(tool, "@echo tool\r\n"));
    std::string setup = BuildInstaller(
        "pin", "[product]\nname = \"SC E2E Pin\"\nversion = \"1.0\"\n"
               "[install]\nfolder = \"C:\\\\cs_e2e_pin\\\\app\"\n"
               "taskbar_pin = { target = '\"%InstallDir%\\tool.bat\" /tray', name = \"SC E2E Pinned\" }\n"
               "[options]\nstart_menu_uninstaller = false\n"
               "[[file]]\nsource = \"" +
                   tool + "\"\n");
    ASSERT_FALSE(setup.empty());
    const std::string pinnedLink = SpecialFolder("AppData") +
                                   "\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\"
                                   "SC E2E Pinned.lnk";
    const std::string temporaryLink = SpecialFolder("Temp") + "\\SC E2E Pinned.lnk";

    struct Case {
        const char* version;
        bool tried;
    } cases[] = {{"win10", false}, {"win7", true}};
    WindowsVersionSwitch versions;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        ASSERT_TRUE(versions.Set(c.version));
        fs::remove_all(DriveCPath("C:\\cs_e2e_pin"));
        RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
        ASSERT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 0) << ran.output;

        std::string log = FileText(DriveCPath(app + "\\Install.log"));
        std::vector<std::string> body = UninstallBodyLines(FileText(DriveCPath(app + "\\Uninstall.dat")));
        std::vector<std::string> records = {app + "\\tool.bat"};
        if (!c.tried) {
            EXPECT_EQ(log.find("Pin to taskbar"), std::string::npos) << log;
            EXPECT_EQ(body, records);
            continue;
        }
        const std::string line = "Pin to taskbar(" + app + "\\tool.bat): FAIL\r\n";
        size_t at = log.find(line);
        ASSERT_NE(at, std::string::npos) << log;
        std::string reason =
            log.substr(at + line.size(), log.find("\r\n", at + line.size()) - at - line.size());
        EXPECT_NE(reason.find("associat"), std::string::npos)
            << "the system's text for \"no association\" follows the line:\n"
            << log;
        records.push_back(pinnedLink);
        EXPECT_EQ(body, records);
        EXPECT_FALSE(fs::exists(DriveCPath(temporaryLink))) << "the temporary link is removed";
    }
    fs::remove_all(DriveCPath("C:\\cs_e2e_pin"));
}
