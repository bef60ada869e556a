// The shortcut step over a system in memory: which links each entry makes and where, the
// uninstaller's entries, the desktop folder with its icon, the records for the uninstaller,
// the log lines, the removable-drive restriction and root shortcut, and the taskbar pin by
// Windows version.
#include "actions/Shortcuts.h"

#include "core/Format.h"
#include "core/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cs;

namespace {

std::string U8(const String& s) {
    return std::string(ToUtf8(s).View());
}

class MemoryShortcutSystem : public ShortcutSystem {
  public:
    std::map<std::string, Link> links;    // by path
    std::vector<std::string> made;        // link paths in order
    std::set<std::string> folders, files; // what exists
    std::set<std::string> failingLinks, crashingLinks, failingFolders, failingFiles;
    std::map<std::string, std::string> saved;            // file contents written
    std::map<std::string, std::vector<std::string>> ini; // "section|key=value" lines in order
    std::map<std::string, uint32_t> attributes;
    std::vector<std::string> removed, pinned, statuses;
    std::string pinFailure; // non-empty: the pin fails with this text
    std::string log;

    String LanguageText(int number) override {
        switch (number) {
        case kTextUninstallShortcut:
            return u"Uninstall Product";
        case kTextShortcutName:
            return u"%s";
        case kTextLogShortcut:
            return u"Installation log";
        default:
            return Format(u"[text %d]", number);
        }
    }
    void ExpandVariables(String& text) override {
        for (size_t at; (at = Find(text, u"%InstallDir%")) != String::npos;)
            text = text.Sub(0, at) + installDir + text.Sub(at + 12);
    }
    void ShowStatus(const String& text) override { statuses.push_back(U8(text)); }
    void Log(const String& text) override { log += U8(text); }
    bool FolderExists(const String& path) override { return folders.count(U8(path)) > 0; }
    bool FileExists(const String& path) override { return files.count(U8(path)) > 0; }
    bool MakeFolder(const String& folder, String& reason) override {
        if (failingFolders.count(U8(folder))) {
            reason = u"Access is denied.";
            return false;
        }
        folders.insert(U8(folder));
        return true;
    }
    bool CreateLink(const Link& link) override {
        std::string path = U8(link.path);
        if (crashingLinks.count(path)) throw std::runtime_error("crash inside the shell");
        if (failingLinks.count(path) || link.target.IsEmpty()) {
            log += "[link failed] " + path + "\r\n";
            return false;
        }
        links[path] = link;
        made.push_back(path);
        files.insert(path);
        return true;
    }
    bool SaveFile(const String& path, const String8& bytes) override {
        if (failingFiles.count(U8(path))) return false;
        saved[U8(path)] = std::string(bytes.View());
        files.insert(U8(path));
        return true;
    }
    void WriteIniText(const String& path, const char16_t* section, const char16_t* key,
                      const String& value) override {
        ini[U8(path)].push_back(U8(String(section)) + "|" + U8(String(key)) + "=" + U8(value));
        files.insert(U8(path));
    }
    void AddAttributes(const String& path, uint32_t added) override { attributes[U8(path)] |= added; }
    void RemoveFile(const String& path) override {
        removed.push_back(U8(path));
        files.erase(U8(path));
    }
    bool PinToTaskbar(const String& linkPath, String& failure) override {
        pinned.push_back(U8(linkPath));
        failure = FromUtf8(pinFailure);
        return pinFailure.empty();
    }
    bool Guarded(const std::function<void()>& step) override {
        try {
            step();
            return true;
        } catch (...) {
            return false;
        }
    }

    String installDir = u"C:\\App";
};

Shortcut Entry(const char16_t* target, const char16_t* name) {
    Shortcut s;
    s.target = target;
    s.name = name;
    s.fromDefinition = true;
    return s;
}

OsRecord Windows(uint32_t major, uint32_t minor, uint32_t platform = kPlatformNt) {
    OsRecord os;
    os.platform = platform;
    os.major = major;
    os.minor = minor;
    return os;
}

class ShortcutStep : public testing::Test {
  protected:
    ShortcutStep() {
        definition.optionWord1 = kOpt1LogEveryFile;
        definition.productName = u"Product";
        definition.uninstallKeyName = u"Product";
        run.definition = &definition;
        run.os = Windows(10, 0);
        ShortcutFolders& f = run.folders;
        f.installDir = u"C:\\App";
        f.uninstallDataFolder = u"C:\\App\\data";
        f.desktop = u"C:\\Desk";
        f.startMenu = u"C:\\Menu\\Product";
        f.userStartMenu = u"C:\\UserMenu\\Product";
        f.startup = u"C:\\Startup";
        f.temp = u"C:\\Temp";
        f.appData = u"C:\\Roaming";
        run.uninstallerPath = u"C:\\App\\data\\uninstall.exe";
        run.logPath = u"C:\\App\\data\\Install.log";
        run.records = &records;
        Fresh();
    }
    // A new system with the folders that exist before the step, and no records.
    void Fresh() {
        system = MemoryShortcutSystem();
        system.folders = {"C:\\App", "C:\\App\\data", "C:\\Work"};
        ClearUninstallRecords(records);
    }
    void RunStep() { ShortcutInstaller(system, run).Run(definition.shortcuts); }
    std::vector<std::string> Body() const {
        std::vector<std::string> lines;
        std::string body(records.body.View());
        for (size_t start = 0, end; (end = body.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(body.substr(start, end - start));
        return lines;
    }
    const Link& LinkAt(const std::string& path) {
        static const Link none;
        auto it = system.links.find(path);
        EXPECT_NE(it, system.links.end()) << "no link " << path;
        return it == system.links.end() ? none : it->second;
    }

    Definition definition;
    ShortcutRun run;
    UninstallRecords records;
    MemoryShortcutSystem system;
};

} // namespace

TEST_F(ShortcutStep, EveryKindOfFolderMakesItsLinkAndRecordsItWithItsSubFolder) {
    Shortcut tool = Entry(u"%InstallDir%\\tool.exe", u"Tools\\Tool");
    tool.arguments = u"--run";
    tool.workingFolder = u"C:\\Work";
    tool.icon = u"tool.ico";
    tool.showState = 1;
    tool.desktop = tool.startMenu = tool.startup = 1;
    tool.customFolder = u"%InstallDir%\\links";
    Shortcut kept = Entry(u"C:\\App\\readme.txt", u"Readme");
    kept.startMenu = 1;
    kept.keep = 1;
    definition.shortcuts = {tool, kept};
    RunStep();

    EXPECT_EQ(system.made,
              (std::vector<std::string>{"C:\\Desk\\Tools\\Tool.lnk", "C:\\Menu\\Product\\Tools\\Tool.lnk",
                                        "C:\\Startup\\Tools\\Tool.lnk", "C:\\App\\links\\Tools\\Tool.lnk",
                                        "C:\\Menu\\Product\\Readme.lnk"}));
    for (const std::string& path : system.made) {
        const Link& link = LinkAt(path);
        if (path.find("Readme") != std::string::npos) continue;
        EXPECT_EQ(U8(link.target), "C:\\App\\tool.exe") << path;
        EXPECT_EQ(U8(link.arguments), "--run") << path;
        EXPECT_EQ(U8(link.workingFolder), "C:\\Work") << path;
        EXPECT_EQ(U8(link.icon), "C:\\App\\data\\tool.ico") << path;
        EXPECT_EQ(link.flags, path.rfind("C:\\Desk\\", 0) == 0 ? 0u : kLinkMinimized)
            << path << ": the desktop's own link opens normally";
    }
    EXPECT_EQ(Body(),
              (std::vector<std::string>{"C:\\Desk\\Tools\\Tool.lnk", "~C:\\Desk\\Tools",
                                        "C:\\Menu\\Product\\Tools\\Tool.lnk", "~C:\\Menu\\Product\\Tools",
                                        "C:\\Startup\\Tools\\Tool.lnk", "~C:\\Startup\\Tools",
                                        "C:\\App\\links\\Tools\\Tool.lnk", "~C:\\App\\links\\Tools"}))
        << "the kept link is not recorded";
    EXPECT_EQ(system.log, "Desktop Shortcut(Tools\\Tool) >>> C:\\Desk\\Tools\\Tool.lnk\r\n"
                          "Start Menu Shortcut(Tools\\Tool) >>> C:\\Menu\\Product\\Tools\\Tool.lnk\r\n"
                          "Startup Shortcut(Tools\\Tool) >>> C:\\Startup\\Tools\\Tool.lnk\r\n"
                          "Shortcut(Tools\\Tool) >>> C:\\App\\links\\Tools\\Tool.lnk\r\n"
                          "Start Menu Shortcut(Readme) >>> C:\\Menu\\Product\\Readme.lnk\r\n");
    EXPECT_EQ(system.statuses, system.made) << "the status shows each new link";
}

TEST_F(ShortcutStep, LogLinesAndStatusFollowTheOptions) {
    Shortcut app = Entry(u"C:\\App\\app.exe", u"App");
    app.startMenu = 1;
    app.workingFolder = u"C:\\Missing";
    definition.shortcuts = {app};
    definition.optionWord1 = 0;
    definition.optionWord2 = kOpt2HideFileNames;
    RunStep();
    EXPECT_EQ(system.made, (std::vector<std::string>{"C:\\Menu\\Product\\App.lnk"}));
    EXPECT_EQ(system.log, "Shortcut \"Start In\" folder \"C:\\Missing\" doesn't exist.\r\n")
        << "no \" >>> \" line without per-file logging; the missing folder always";
    EXPECT_EQ(U8(LinkAt("C:\\Menu\\Product\\App.lnk").workingFolder), "C:\\App");
    EXPECT_TRUE(system.statuses.empty()) << "file names hidden";
}

TEST_F(ShortcutStep, AFailedLinkIsNeitherLoggedAsMadeNorRecorded) {
    Shortcut app = Entry(u"C:\\App\\app.exe", u"App");
    app.desktop = app.startMenu = 1;
    Shortcut empty = Entry(u"", u"Nothing");
    empty.startMenu = 1;
    definition.shortcuts = {app, empty};
    system.failingLinks = {"C:\\Desk\\App.lnk"};
    RunStep();
    EXPECT_EQ(system.made, (std::vector<std::string>{"C:\\Menu\\Product\\App.lnk"}));
    EXPECT_EQ(Body(), (std::vector<std::string>{"C:\\Menu\\Product\\App.lnk"}));
    EXPECT_EQ(system.log, "[link failed] C:\\Desk\\App.lnk\r\n"
                          "Start Menu Shortcut(App) >>> C:\\Menu\\Product\\App.lnk\r\n"
                          "[link failed] C:\\Menu\\Product\\Nothing.lnk\r\n");
}

TEST_F(ShortcutStep, UninstallerEntriesFollowTheListAndUseItsIconWhenPresent) {
    definition.optionWord1 |= kOpt1RegisterUninstaller | kOpt1StartMenuUninstaller;
    definition.optionWord2 = kOpt2DesktopUninstaller | kOpt2UninstallerInDataFolder | kOpt2LogShortcut;
    run.payloadFlags = kFlagUninstallerInInstallFolder;
    Shortcut app = Entry(u"C:\\App\\app.exe", u"App");
    app.startMenu = 1;
    definition.shortcuts = {app};
    system.files = {"C:\\App\\data\\uninstall.ico"};
    RunStep();

    ASSERT_EQ(definition.shortcuts.Count(), 6) << "the list gains the engine's entries";
    EXPECT_EQ(system.made, (std::vector<std::string>{
                               "C:\\Menu\\Product\\App.lnk", "C:\\Menu\\Product\\Uninstall Product.lnk",
                               "C:\\Desk\\Uninstall Product.lnk", "C:\\App\\data\\Uninstall Product.lnk",
                               "C:\\App\\Uninstall Product.lnk", "C:\\Menu\\Product\\Installation log.lnk"}));
    for (int i = 1; i < 5; ++i) {
        const Link& link = LinkAt(system.made[i]);
        EXPECT_EQ(U8(link.target), "C:\\App\\data\\uninstall.exe");
        EXPECT_EQ(U8(link.arguments), "/u:\"Product\"");
        EXPECT_EQ(U8(link.icon), "C:\\App\\data\\uninstall.ico");
        EXPECT_EQ(U8(link.workingFolder), "C:\\App");
    }
    EXPECT_EQ(U8(LinkAt("C:\\Menu\\Product\\Installation log.lnk").target), "C:\\App\\data\\Install.log");
    EXPECT_EQ(Body(),
              (std::vector<std::string>{
                  "C:\\Menu\\Product\\App.lnk", "C:\\Menu\\Product\\Uninstall Product.lnk",
                  "C:\\Desk\\Uninstall Product.lnk", "C:\\App\\data\\Uninstall Product.lnk", "~C:\\App\\data",
                  "C:\\App\\Uninstall Product.lnk", "~C:\\App", "C:\\Menu\\Product\\Installation log.lnk"}));

    // Without the icon file the links show the program's own icon.
    Fresh();
    definition.shortcuts.Clear();
    definition.optionWord2 = 0;
    run.payloadFlags = 0;
    RunStep();
    ASSERT_EQ(system.made.size(), 1u);
    EXPECT_EQ(U8(LinkAt(system.made[0]).icon), "");
}

TEST_F(ShortcutStep, DesktopFolderIsMadeOnceWithItsIconAndRecords) {
    run.folders.desktopFolder = u"C:\\Desk\\Product Links";
    definition.desktopFolderIcon = String8("ICON-BYTES");
    Shortcut a = Entry(u"C:\\App\\a.exe", u"A"), b = Entry(u"C:\\App\\b.exe", u"B");
    a.desktop = b.desktop = 1;
    b.showState = 2;
    definition.shortcuts = {a, b};
    RunStep();

    EXPECT_EQ(system.made,
              (std::vector<std::string>{"C:\\Desk\\Product Links\\A.lnk", "C:\\Desk\\Product Links\\B.lnk"}));
    EXPECT_EQ(LinkAt("C:\\Desk\\Product Links\\B.lnk").flags, kLinkMaximized)
        << "the folder's links keep their show state";
    EXPECT_EQ(system.saved["C:\\App\\data\\Desktop Icon.ico"], "ICON-BYTES");
    EXPECT_EQ(system.saved.count("C:\\Desk\\Product Links\\Desktop.ini"), 0u)
        << "an ASCII path needs no byte-order mark";
    EXPECT_EQ(system.ini["C:\\Desk\\Product Links\\Desktop.ini"],
              (std::vector<std::string>{".ShellClassInfo|IconIndex=0",
                                        ".ShellClassInfo|IconFile=C:\\App\\data\\Desktop Icon.ico"}));
    EXPECT_EQ(system.attributes["C:\\Desk\\Product Links"], kAttributeSystem);
    EXPECT_EQ(system.attributes["C:\\Desk\\Product Links\\Desktop.ini"], kAttributeHidden | kAttributeSystem);
    EXPECT_EQ(Body(),
              (std::vector<std::string>{"C:\\Desk\\Product Links\\Desktop.ini", "~C:\\Desk\\Product Links",
                                        "C:\\App\\data\\Desktop Icon.ico", "C:\\Desk\\Product Links\\A.lnk",
                                        "C:\\Desk\\Product Links\\B.lnk"}));
    EXPECT_EQ(system.log, "Desktop Folder Shortcut(A) >>> C:\\Desk\\Product Links\\A.lnk\r\n"
                          "Desktop Folder Shortcut(B) >>> C:\\Desk\\Product Links\\B.lnk\r\n");
}

TEST_F(ShortcutStep, DesktopFolderIconNeedsUnicodeIniOnlyForANewFileWithAWideCharacter) {
    struct Case {
        const char* what;
        const char16_t* dataFolder;
        bool iniExists;
        bool byteOrderMark;
    } cases[] = {
        {"ASCII path", u"C:\\App\\data", false, false},
        {"wide character, new file", u"C:\\\u00C4pp\\data", false, true},
        {"wide character, existing file", u"C:\\\u00C4pp\\data", true, false},
    };
    for (const Case& c : cases) {
        Fresh();
        run.folders.uninstallDataFolder = c.dataFolder;
        run.folders.desktopFolder = u"C:\\Desk\\P";
        if (c.iniExists) system.files.insert("C:\\Desk\\P\\Desktop.ini");
        definition.desktopFolderIcon = String8("I");
        Shortcut a = Entry(u"C:\\App\\a.exe", u"A");
        a.desktop = 1;
        definition.shortcuts = {a};
        RunStep();
        bool marked = system.saved.count("C:\\Desk\\P\\Desktop.ini") > 0;
        EXPECT_EQ(marked, c.byteOrderMark) << c.what;
        if (marked) {
            EXPECT_EQ(system.saved["C:\\Desk\\P\\Desktop.ini"], "\xFF\xFE") << c.what;
        }
        ASSERT_EQ(system.ini["C:\\Desk\\P\\Desktop.ini"].size(), 2u) << c.what;
        EXPECT_EQ(system.ini["C:\\Desk\\P\\Desktop.ini"][1],
                  ".ShellClassInfo|IconFile=" + U8(String(c.dataFolder)) + "\\Desktop Icon.ico")
            << c.what;
    }
}

TEST_F(ShortcutStep, DesktopFolderFailuresAreLoggedAndTheLinksStillTried) {
    run.folders.desktopFolder = u"C:\\Desk\\P";
    definition.desktopFolderIcon = String8("I");
    system.failingFolders = {"C:\\Desk\\P"};
    system.failingFiles = {"C:\\App\\data\\Desktop Icon.ico"};
    Shortcut a = Entry(u"C:\\App\\a.exe", u"A");
    a.desktop = 1;
    definition.shortcuts = {a};
    RunStep();
    EXPECT_EQ(system.log,
              "Failed to create folder C:\\Desk\\P: Access is denied.\r\n\r\n"
              "Failed to create Desktop shortcut folder icon \"C:\\App\\data\\Desktop Icon.ico\"\r\n"
              "Desktop Folder Shortcut(A) >>> C:\\Desk\\P\\A.lnk\r\n");
    EXPECT_TRUE(system.ini.empty()) << "no icon to name";
    EXPECT_EQ(Body(),
              (std::vector<std::string>{"C:\\Desk\\P\\Desktop.ini", "~C:\\Desk\\P", "C:\\Desk\\P\\A.lnk"}));
}

TEST_F(ShortcutStep, AllUsersStartMenuIsDoubledOnWindows95And98Only) {
    definition.shortcutMode = 1;
    Shortcut app = Entry(u"C:\\App\\app.exe", u"App");
    app.startMenu = 1;
    struct Case {
        const char* name;
        OsRecord os;
        std::vector<std::string> links;
    } cases[] = {
        {"98",
         Windows(4, 10, kPlatformWin9x),
         {"C:\\Menu\\Product\\App.lnk", "C:\\UserMenu\\Product\\App.lnk"}},
        {"Me", Windows(4, 90, kPlatformWin9x), {"C:\\Menu\\Product\\App.lnk"}},
        {"XP", Windows(5, 1), {"C:\\Menu\\Product\\App.lnk"}},
    };
    for (const Case& c : cases) {
        Fresh();
        definition.shortcuts = {app};
        run.os = c.os;
        RunStep();
        EXPECT_EQ(system.made, c.links) << c.name;
        EXPECT_EQ(Body(), c.links) << c.name << ": every link is recorded";
        EXPECT_EQ(LinkAt(c.links[0]).flags, kLinkAllUsers) << c.name;
        if (c.links.size() > 1) {
            EXPECT_EQ(LinkAt(c.links[1]).flags, 0u) << c.name << ": the user's copy";
        }
    }
}

TEST_F(ShortcutStep, RemovableDriveRestrictsToEntriesMadeEverywhereAndMakesTheRootShortcut) {
    run.folders.installDir = u"E:\\App";
    run.folders.uninstallDataFolder = u"E:\\App\\data";
    system.installDir = u"E:\\App";
    definition.optionWord1 |= kOpt1RegisterUninstaller | kOpt1StartMenuUninstaller;
    definition.optionWord2 = kOpt2UninstallerInDataFolder;
    definition.rootShortcutCommand = u"\"%InstallDir%\\run.exe\" --portable";
    definition.rootShortcutName = u"Run Me";
    definition.pinTarget = u"E:\\App\\run.exe";
    run.os = Windows(6, 1);
    run.removableDrive = true;
    Shortcut app = Entry(u"E:\\App\\app.exe", u"App");
    app.startMenu = 1;
    struct Case {
        const char* what;
        uint32_t payloadFlags;
        std::vector<std::string> links;
    } cases[] = {
        {"restricted", kFlagRestrictShortcuts, {"E:\\App\\data\\Uninstall Product.lnk", "E:\\Run Me.lnk"}},
        {"not restricted",
         0,
         {"C:\\Menu\\Product\\App.lnk", "C:\\Menu\\Product\\Uninstall Product.lnk",
          "E:\\App\\data\\Uninstall Product.lnk", "E:\\Run Me.lnk"}},
    };
    for (const Case& c : cases) {
        Fresh();
        system.installDir = u"E:\\App";
        definition.shortcuts = {app};
        run.payloadFlags = c.payloadFlags;
        RunStep();
        EXPECT_EQ(system.made, c.links) << c.what;
        EXPECT_TRUE(system.pinned.empty()) << c.what << ": no pin from a removable drive";
    }
    const Link& root = LinkAt("E:\\Run Me.lnk");
    EXPECT_EQ(U8(root.target), "E:\\App\\run.exe");
    EXPECT_EQ(U8(root.arguments), "--portable");
    EXPECT_EQ(U8(root.workingFolder), "E:\\App");
    EXPECT_EQ(U8(root.icon), "");
    EXPECT_NE(system.log.find("Root Shortcut(Run Me) >>> E:\\Run Me.lnk\r\n"), std::string::npos)
        << system.log;
    EXPECT_EQ(Body().back(), "E:\\Run Me.lnk");

    // Not on a removable drive: no root shortcut, and no restriction.
    Fresh();
    definition.shortcuts = {app};
    run.removableDrive = false;
    run.os = Windows(10, 0);
    RunStep();
    EXPECT_EQ(system.made.size(), 3u);
    EXPECT_EQ(system.links.count("E:\\Run Me.lnk"), 0u);
}

TEST_F(ShortcutStep, CrashesEndOnlyTheirStep) {
    run.folders.installDir = u"E:\\App";
    run.removableDrive = true;
    definition.rootShortcutCommand = u"E:\\App\\run.exe";
    definition.rootShortcutName = u"Run";
    system.crashingLinks = {"E:\\Run.lnk"};
    RunStep();
    EXPECT_EQ(system.log, "Crash while installing root shortcut.\r\n");
    EXPECT_TRUE(Body().empty());

    Fresh();
    run.removableDrive = false;
    run.os = Windows(6, 1);
    definition.pinTarget = u"C:\\App\\app.exe";
    system.crashingLinks = {"C:\\Temp\\Product.lnk"};
    RunStep();
    EXPECT_EQ(system.log, "Crash while pinning to taskbar.\r\n");
}

TEST_F(ShortcutStep, PinOnWindows7And8OnlyThroughATemporaryLinkRecordedEvenWhenItFails) {
    definition.pinTarget = u"\"%InstallDir%\\app.exe\" /tray";
    const std::string pinned =
        "C:\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\Product.lnk";
    struct Case {
        const char* name;
        OsRecord os;
        bool pins;
    } cases[] = {{"Vista", Windows(6, 0), false},
                 {"7", Windows(6, 1), true},
                 {"8.1", Windows(6, 3), true},
                 {"10", Windows(10, 0), false}};
    for (const Case& c : cases) {
        Fresh();
        run.os = c.os;
        RunStep();
        if (!c.pins) {
            EXPECT_TRUE(system.made.empty() && system.pinned.empty()) << c.name;
            EXPECT_EQ(system.log, "") << c.name << ": nothing is logged";
            EXPECT_TRUE(Body().empty()) << c.name;
            continue;
        }
        EXPECT_EQ(system.pinned, (std::vector<std::string>{"C:\\Temp\\Product.lnk"})) << c.name;
        const Link& link = LinkAt("C:\\Temp\\Product.lnk");
        EXPECT_EQ(U8(link.target), "C:\\App\\app.exe") << c.name;
        EXPECT_EQ(U8(link.arguments), "/tray") << c.name;
        EXPECT_EQ(U8(link.workingFolder) + U8(link.icon), "") << c.name;
        EXPECT_EQ(system.removed, (std::vector<std::string>{"C:\\Temp\\Product.lnk"})) << c.name;
        EXPECT_EQ(system.statuses, (std::vector<std::string>{"Pin to taskbar"})) << c.name;
        EXPECT_EQ(system.log, "Pin to taskbar(C:\\App\\app.exe): OK\r\n") << c.name;
        EXPECT_EQ(Body(), (std::vector<std::string>{pinned})) << c.name;
    }

    // A failed pin is logged with the system's text; its link is still recorded.
    Fresh();
    run.os = Windows(6, 1);
    definition.pinName = u"Tray";
    system.pinFailure = "No application is associated with the specified file for this operation.";
    RunStep();
    EXPECT_EQ(system.log, "Pin to taskbar(C:\\App\\app.exe): FAIL\r\n"
                          "No application is associated with the specified file for this operation.\r\n");
    EXPECT_EQ(
        Body(),
        (std::vector<std::string>{
            "C:\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\Tray.lnk"}));
    EXPECT_EQ(system.removed, (std::vector<std::string>{"C:\\Temp\\Tray.lnk"}));
}
