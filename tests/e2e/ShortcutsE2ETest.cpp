// The shortcuts under Wine: links in the user's and in the all-users Start Menu, desktop and
// Startup folders, read back with link-probe (target, arguments, working folder, icon, show
// command); a name with a sub-folder makes and records both; the desktop folder with its
// "Desktop.ini"; the uninstaller's and the log's shortcuts; every link and folder recorded in
// "Uninstall.dat" in the order it was made.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

struct ExpectedLink {
    std::string path; // Windows path
    std::string target, arguments, workingFolder, icon;
    int show;
};

// Reads the link back with link-probe and compares every field.
void ExpectLink(const ExpectedLink& e) {
    RunResult probe = RunWine({WinBin("link-probe.exe"), e.path}, 60);
    ASSERT_EQ(probe.exitCode, 0) << e.path << "\n" << probe.output;
    std::map<std::string, std::string> link = KeyValueLines(probe.output);
    EXPECT_EQ(link["target"], e.target) << e.path;
    EXPECT_EQ(link["arguments"], e.arguments) << e.path;
    EXPECT_EQ(link["working_folder"], e.workingFolder) << e.path;
    EXPECT_EQ(link["icon"], e.icon) << e.path;
    EXPECT_EQ(link["show"], std::to_string(e.show)) << e.path;
}

class ShortcutsUnderWine : public testing::Test {
  protected:
    void SetUp() override { sources_ = TempDir(); }
    void TearDown() override {
        for (const std::string& path : made_)
            fs::remove_all(DriveCPath(path));
    }

    // A source file for the project, by its absolute path.
    std::string Source(const std::string& name, const std::string& contents) {
        std::string path = sources_ + "/" + name;
        WriteFile(path, contents);
        return path;
    }
    // Removes what a run leaves at these Windows paths, now and at the end of the test.
    void Fresh(const std::vector<std::string>& paths) {
        made_.insert(made_.end(), paths.begin(), paths.end());
        for (const std::string& path : paths)
            fs::remove_all(DriveCPath(path));
    }
    // Builds the installer and runs it silently.
    void Install(const std::string& name, const std::string& project) {
        std::string setup = BuildInstaller(name, project);
        ASSERT_FALSE(setup.empty());
        RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
        ASSERT_FALSE(ran.timedOut) << ran.output;
        EXPECT_EQ(ran.exitCode, 0) << ran.output;
    }

    std::string sources_;
    std::vector<std::string> made_;
};

} // namespace

// One project for the user and for all users: a link with a sub-folder on the desktop, in the
// Start Menu and in the Startup folder, a link with its target in "~\"" arguments, one to a
// relative target with a missing working folder and no name, a startup file's generated link
// and the uninstaller's Start Menu link.
TEST_F(ShortcutsUnderWine, LinksInTheUsersAndAllUsersFoldersReadBackAndAreRecorded) {
    struct Scope {
        const char* shortcutsFor;
        const char *programs, *desktop, *startup;
    } scopes[] = {
        {"current-user", "Programs", "Desktop", "Startup"},
        {"all-users", "CommonPrograms", "CommonDesktop", "CommonStartup"},
    };
    const std::string app = "C:\\cs_e2e_sc\\app";
    const std::string tool = Source("tool.bat", "@echo tool\r\n");
    const std::string tray = Source("tray.bat", "@echo tray\r\n");
    for (const Scope& scope : scopes) {
        SCOPED_TRACE(scope.shortcutsFor);
        const std::string product = std::string("SC E2E ") + scope.shortcutsFor;
        const std::string menu = SpecialFolder(scope.programs) + "\\" + product;
        const std::string desktop = SpecialFolder(scope.desktop), startup = SpecialFolder(scope.startup);
        ASSERT_FALSE(menu.empty() || desktop.empty() || startup.empty())
            << "corvantis-sysinfo gave no folders";
        Fresh({"C:\\cs_e2e_sc", menu, desktop + "\\SC E2E Tools", startup + "\\SC E2E Tools",
               startup + "\\SC E2E Tray.lnk"});
        fs::create_directories(DriveCPath("C:\\cs_e2e_sc\\work"));
        // clang-format off
        Install(product,
                "[product]\nname = \"" + product + "\"\nversion = \"1.0\"\n"
                "[install]\nfolder = \"C:\\\\cs_e2e_sc\\\\app\"\nshortcuts_for = \"" + scope.shortcutsFor + "\"\n"
                "[uninstall]\nsubfolder = \"data\"\n"
                "[[file]]\nsource = \"" + tool + "\"\n"
                "[[file]]\nsource = \"" + tray + "\"\nkind = \"startup\"\ntitle = \"SC E2E Tray\"\n"
                "[[shortcut]]\ntarget = \"%InstallDir%\\\\tool.bat\"\nname = \"SC E2E Tools\\\\Tool\"\n"
                "arguments = '--flag \"two words\"'\nworking_folder = \"C:\\\\cs_e2e_sc\\\\work\"\n"
                "icon = \"tool.ico\"\nshow = \"minimized\"\ndesktop = true\nstartup = true\n"
                "[[shortcut]]\ntarget = \"readme.txt\"\nworking_folder = \"C:\\\\cs_e2e_sc\\\\missing\"\n"
                "show = \"maximized\"\n"
                "[[shortcut]]\ntarget = \"C:\\\\cs_e2e_sc\\\\ignored.exe\"\nname = \"From Arguments\"\n"
                "arguments = '~\"%InstallDir%\\tool.bat\" --from-arguments'\n");
        // clang-format on
        const std::string toolLink = "SC E2E Tools\\Tool.lnk", toolPath = app + "\\tool.bat";
        const std::string icon = app + "\\data\\tool.ico,0";
        ExpectLink(
            {menu + "\\" + toolLink, toolPath, "--flag \"two words\"", "C:\\cs_e2e_sc\\work", icon, 7});
        ExpectLink(
            {desktop + "\\" + toolLink, toolPath, "--flag \"two words\"", "C:\\cs_e2e_sc\\work", icon, 1});
        ExpectLink(
            {startup + "\\" + toolLink, toolPath, "--flag \"two words\"", "C:\\cs_e2e_sc\\work", icon, 7});
        ExpectLink({menu + "\\readme.txt.lnk", app + "\\readme.txt", "", app, app + "\\readme.txt,0", 3});
        ExpectLink({menu + "\\From Arguments.lnk", toolPath, "--from-arguments", app, toolPath + ",0", 1});
        ExpectLink({startup + "\\SC E2E Tray.lnk", app + "\\tray.bat", "", app, app + "\\tray.bat,0", 1});
        const std::string uninstaller = app + "\\data\\uninstall.exe";
        ExpectLink({menu + "\\Uninstall " + product + ".lnk", uninstaller, "/u:\"" + product + "\"", app,
                    uninstaller + ",0", 1});

        std::vector<std::string> records = {
            app + "\\tool.bat",
            app + "\\tray.bat",
            desktop + "\\" + toolLink,
            "~" + desktop + "\\SC E2E Tools",
            menu + "\\" + toolLink,
            "~" + menu + "\\SC E2E Tools",
            startup + "\\" + toolLink,
            "~" + startup + "\\SC E2E Tools",
            menu + "\\readme.txt.lnk",
            menu + "\\From Arguments.lnk",
            startup + "\\SC E2E Tray.lnk",
            menu + "\\Uninstall " + product + ".lnk",
        };
        EXPECT_EQ(UninstallBodyLines(FileText(DriveCPath(app + "\\data\\Uninstall.dat"))), records);
        std::string log = FileText(DriveCPath(app + "\\data\\Install.log"));
        EXPECT_TRUE(
            TextContains(log, "Desktop Shortcut(SC E2E Tools\\Tool) >>> " + desktop + "\\" + toolLink + "\r\n"))
            << log;
        EXPECT_TRUE(
            TextContains(log, "Start Menu Shortcut(SC E2E Tools\\Tool) >>> " + menu + "\\" + toolLink + "\r\n"))
            << log;
        EXPECT_TRUE(TextContains(log, "Startup Shortcut(SC E2E Tray) >>> " + startup + "\\SC E2E Tray.lnk\r\n"))
            << log;
        EXPECT_TRUE(
            TextContains(log, "Shortcut \"Start In\" folder \"C:\\cs_e2e_sc\\missing\" doesn't exist.\r\n"))
            << log;
    }
}

// The desktop folder: made once, "Desktop.ini" naming the folder's icon (kept as "Desktop
// Icon.ico" in the uninstall data folder) and hidden; a path with a character above 127 makes
// the file Unicode (it starts with the UTF-16 byte-order mark).
TEST_F(ShortcutsUnderWine, DesktopFolderHoldsItsLinksAndDesktopIniNamesItsIcon) {
    struct Case {
        const char* what;
        std::string folder; // UTF-8
        bool unicode;
    } cases[] = {
        {"ASCII path", "C:\\cs_e2e_scf\\app", false},
        {"a character above 127", "C:\\cs_e2e_scf\\\xC3\xA4pp", true},
    };
    const std::string desktop = SpecialFolder("Desktop"), folder = desktop + "\\SC E2E Folder";
    const std::string icon = Source("folder.ico", "icon bytes");
    const std::string tool = Source("tool.bat", "@echo tool\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string tomlFolder;
        for (char ch : c.folder)
            tomlFolder += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
        Fresh({"C:\\cs_e2e_scf", folder});
        // clang-format off
        Install("desktop-folder",
                "[product]\nname = \"SC E2E Folder\"\nversion = \"1.0\"\n"
                "[install]\nfolder = \"" + tomlFolder + "\"\ndesktop_folder = \"SC E2E Folder\"\n"
                "desktop_folder_icon = \"" + icon + "\"\n"
                "[options]\nstart_menu_uninstaller = false\n"
                "[[file]]\nsource = \"" + tool + "\"\n"
                "[[shortcut]]\ntarget = \"%InstallDir%\\\\tool.bat\"\nname = \"Tool\"\ndesktop = true\n"
                "start_menu = false\n");
        // clang-format on
        const std::string link = folder + "\\Tool.lnk", iconFile = c.folder + "\\Desktop Icon.ico";
        ExpectLink({link, c.folder + "\\tool.bat", "", c.folder, c.folder + "\\tool.bat,0", 1});
        EXPECT_EQ(FileText(DriveCPath(iconFile)), "icon bytes");

        std::string ini = FileText(DriveCPath(folder + "\\Desktop.ini"));
        std::string expectedIni = "[.ShellClassInfo]\r\nIconIndex=0\r\nIconFile=" + iconFile + "\r\n";
        if (c.unicode) {
            ASSERT_EQ(ini.substr(0, 2), "\xFF\xFE") << "the byte-order mark comes first";
            std::string narrow; // the UTF-16 text, where every character is below 0x100
            for (size_t i = 2; i + 1 < ini.size(); i += 2)
                narrow += ini[i];
            std::string latin1Expected;
            for (size_t i = 0; i < expectedIni.size(); ++i)
                latin1Expected += expectedIni.compare(i, 2, "\xC3\xA4") == 0 ? (++i, '\xE4') : expectedIni[i];
            EXPECT_TRUE(TextContains(narrow, latin1Expected)) << narrow;
        } else {
            EXPECT_TRUE(TextContains(ini, expectedIni)) << ini;
        }
        RunResult attributes = RunWine({"cmd", "/c", "attrib", folder + "\\Desktop.ini"}, 60);
        std::string letters = attributes.output.substr(0, attributes.output.find(':') - 1); // before "C:"
        EXPECT_TRUE(TextContains(letters, "H") && TextContains(letters, "S")) << attributes.output;

        const std::string pathForm = c.unicode ? "|" : "";
        EXPECT_EQ(UninstallBodyLines(FileText(DriveCPath(c.folder + "\\Uninstall.dat"))),
                  (std::vector<std::string>{pathForm + c.folder + "\\tool.bat", folder + "\\Desktop.ini",
                                            "~" + folder, pathForm + iconFile, link}));
    }
}

// The uninstaller in the Start Menu, on the desktop, in the uninstall data folder and in the
// installation folder, each starting it with /u:"name", and the Start Menu link to the log.
TEST_F(ShortcutsUnderWine, UninstallerAndLogShortcutsWhereTheOptionsAskForThem) {
    const std::string app = "C:\\cs_e2e_scu\\app", data = app + "\\data";
    const std::string menu = SpecialFolder("Programs") + "\\SC E2E Uninstaller";
    const std::string desktopLink = SpecialFolder("Desktop") + "\\Uninstall SC E2E Uninstaller.lnk";
    Fresh({"C:\\cs_e2e_scu", menu, desktopLink});
    Install("uninstaller",
            "[product]\nname = \"SC E2E Uninstaller\"\nversion = \"1.0\"\n"
            "[install]\nfolder = \"C:\\\\cs_e2e_scu\\\\app\"\n[uninstall]\nsubfolder = \"data\"\n"
            "[options]\ndesktop_uninstaller = true\nuninstaller_in_data_folder = true\n"
            "uninstaller_in_install_folder = true\nlog_shortcut = true\n");
    const std::string name = "Uninstall SC E2E Uninstaller.lnk", uninstaller = data + "\\uninstall.exe";
    const std::string links[] = {menu + "\\" + name, desktopLink, data + "\\" + name, app + "\\" + name};
    for (const std::string& link : links)
        ExpectLink({link, uninstaller, "/u:\"SC E2E Uninstaller\"", app, uninstaller + ",0", 1});
    ExpectLink(
        {menu + "\\Installation log.lnk", data + "\\Install.log", "", app, data + "\\Install.log,0", 1});
    EXPECT_EQ(UninstallBodyLines(FileText(DriveCPath(data + "\\Uninstall.dat"))),
              (std::vector<std::string>{links[0], links[1], links[2], "~" + data, links[3], "~" + app,
                                        menu + "\\Installation log.lnk"}));
}
