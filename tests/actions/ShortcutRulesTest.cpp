// The rules of the shortcuts: how one entry becomes a link, what a link's creation sets, the
// uninstaller's and the log's entries, and the Windows versions that pin to the taskbar.
#include "actions/ShortcutRules.h"

#include "core/Text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace cs;

namespace {

std::string U8(const String& s) {
    return std::string(ToUtf8(s).View());
}

// Installer variables as a run would have them.
void Expand(String& text) {
    struct Variable {
        const char16_t *name, *value;
    } variables[] = {{u"%InstallDir%", u"C:\\App"}, {u"%SystemRoot%", u"C:\\Windows"}};
    for (const Variable& v : variables)
        for (size_t at; (at = Find(text, v.name)) != String::npos;)
            text = text.Sub(0, at) + v.value + text.Sub(at + String::TextLength(v.name));
}

LinkEntryContext Context(bool allUsers = false) {
    static const std::set<std::u16string> existing = {u"C:\\Work", u"C:\\App\\data"};
    LinkEntryContext c;
    c.installDir = u"C:\\App";
    c.uninstallDataFolder = u"C:\\App\\data";
    c.allUsers = allUsers;
    c.nameFormat = u"Run %s";
    c.expand = Expand;
    c.folderExists = [](const String& folder) { return existing.count(std::u16string(folder.View())) > 0; };
    return c;
}

OsRecord Os(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build = 0) {
    OsRecord os;
    os.platform = platform;
    os.major = major;
    os.minor = minor;
    os.build = build;
    return os;
}

} // namespace

TEST(LinkEntry, EachFieldByItsRule) {
    struct Case {
        const char* what;
        Shortcut in;
        bool allUsers;
        const char16_t *target, *arguments, *icon, *workingFolder, *name;
        uint32_t flags;
        const char16_t* log;
    };
    auto entry = [](const char16_t* target, const char16_t* arguments, bool fromDefinition = true) {
        Shortcut s;
        s.target = target;
        s.arguments = arguments;
        s.name = u"App";
        s.fromDefinition = fromDefinition;
        return s;
    };
    auto with = [](Shortcut s, auto change) {
        change(s);
        return s;
    };
    const char16_t* none = u"";
    Case cases[] = {
        {"absolute target, arguments as they are", entry(u"C:\\Tools\\t.exe", u"-v"), false,
         u"C:\\Tools\\t.exe", u"-v", none, u"C:\\App", u"App", 0, none},
        {"a definition's target is expanded", entry(u"%InstallDir%\\a.exe", none), false, u"C:\\App\\a.exe",
         none, none, u"C:\\App", u"App", 0, none},
        {"a generated entry's target is not", entry(u"D:\\%InstallDir%.exe", none, false), false,
         u"D:\\%InstallDir%.exe", none, none, u"C:\\App", u"App", 0, none},
        {"a target without a drive is relative", entry(u"bin\\a.exe", none), false, u"C:\\App\\bin\\a.exe",
         none, none, u"C:\\App", u"App", 0, none},
        {"an address keeps its colon", entry(u"https://example.com/", none), false, u"https://example.com/",
         none, none, u"C:\\App", u"App", 0, none},
        {"an empty target stays empty", entry(none, none), false, none, none, none, u"C:\\App", u"App", 0,
         none},
        {"~\" arguments give the target",
         entry(u"C:\\ignored.exe", u"~\"C:\\Program Files\\T\\t.exe\"  --go now"), false,
         u"C:\\Program Files\\T\\t.exe", u"--go now", none, u"C:\\App", u"App", 0, none},
        {"~\" arguments are expanded first", entry(u"C:\\ignored.exe", u"~\"%InstallDir%\\run.exe\" -x"),
         false, u"C:\\App\\run.exe", u"-x", none, u"C:\\App", u"App", 0, none},
        {"a ~\" target without a drive is relative", entry(u"C:\\ignored.exe", u"~\"tools\\r.exe\""), false,
         u"C:\\App\\tools\\r.exe", none, none, u"C:\\App", u"App", 0, none},
        {"a ~ alone is an argument", entry(u"C:\\a.exe", u"~ -x"), false, u"C:\\a.exe", u"~ -x", none,
         u"C:\\App", u"App", 0, none},
        {"an icon is relative to the uninstall data folder",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.icon = u"app.ico"; }), false, u"C:\\a.exe", none,
         u"C:\\App\\data\\app.ico", u"C:\\App", u"App", 0, none},
        {"an absolute icon stays",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.icon = u"D:\\i.ico"; }), false, u"C:\\a.exe",
         none, u"D:\\i.ico", u"C:\\App", u"App", 0, none},
        {"an icon with a variable is expanded",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.icon = u"%SystemRoot%\\shell32.dll"; }), false,
         u"C:\\a.exe", none, u"C:\\Windows\\shell32.dll", u"C:\\App", u"App", 0, none},
        {"an existing working folder, trimmed",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.workingFolder = u"  C:\\Work \t"; }), false,
         u"C:\\a.exe", none, none, u"C:\\Work", u"App", 0, none},
        {"a working folder with a variable",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.workingFolder = u"%InstallDir%\\data"; }), false,
         u"C:\\a.exe", none, none, u"C:\\App\\data", u"App", 0, none},
        {"a missing working folder falls back, logged",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.workingFolder = u"C:\\Gone"; }), false,
         u"C:\\a.exe", none, none, u"C:\\App", u"App", 0,
         u"Shortcut \"Start In\" folder \"C:\\Gone\" doesn't exist.\r\n"},
        {"an empty name from text 38 and the target's file name",
         with(entry(u"C:\\Tools\\t.exe", none), [](Shortcut& s) { s.name = u""; }), false,
         u"C:\\Tools\\t.exe", none, none, u"C:\\App", u"Run t.exe", 0, none},
        {"a name keeps its sub-folders",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.name = u"Tools\\A"; }), false, u"C:\\a.exe",
         none, none, u"C:\\App", u"Tools\\A", 0, none},
        {"minimised", with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.showState = 1; }), false,
         u"C:\\a.exe", none, none, u"C:\\App", u"App", kLinkMinimized, none},
        {"maximised for all users", with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.showState = 2; }),
         true, u"C:\\a.exe", none, none, u"C:\\App", u"App", kLinkAllUsers | kLinkMaximized, none},
        {"another show state is normal",
         with(entry(u"C:\\a.exe", none), [](Shortcut& s) { s.showState = 9; }), false, u"C:\\a.exe", none,
         none, u"C:\\App", u"App", 0, none},
    };
    for (const Case& c : cases) {
        LinkEntry link = ResolveLinkEntry(c.in, Context(c.allUsers));
        EXPECT_EQ(U8(link.target), U8(c.target)) << c.what;
        EXPECT_EQ(U8(link.arguments), U8(c.arguments)) << c.what;
        EXPECT_EQ(U8(link.icon), U8(c.icon)) << c.what;
        EXPECT_EQ(U8(link.workingFolder), U8(c.workingFolder)) << c.what;
        EXPECT_EQ(U8(link.name), U8(c.name)) << c.what;
        EXPECT_EQ(link.flags, c.flags) << c.what;
        EXPECT_EQ(U8(link.log), U8(c.log)) << c.what;
    }
}

TEST(LinkEntry, BlankNameTextFallsBackToTheFileName) {
    Shortcut s;
    s.target = u"C:\\Tools\\t.exe";
    LinkEntryContext context = Context();
    context.nameFormat = u"  ";
    EXPECT_EQ(U8(ResolveLinkEntry(s, context).name), "t.exe");
}

TEST(LinkCreation, WhatTheLinkStores) {
    struct Show {
        uint32_t flags;
        int command;
    } shows[] = {{0, 0},
                 {kLinkMinimized, 7},
                 {kLinkMaximized, 3},
                 {kLinkAllUsers | kLinkMinimized, 7},
                 {kLinkSkipFolderCreation, 0}};
    for (const Show& s : shows)
        EXPECT_EQ(ShowCommandOf(s.flags), s.command) << s.flags;

    struct Folder {
        const char16_t *in, *out;
    } folders[] = {{u"D:", u"D:\\"}, {u" D: ", u"D:\\"}, {u"D:\\", u"D:\\"}, {u"D:\\Work ", u"D:\\Work"},
                   {u"", u""},       {u"   ", u""},      {u"DD:", u"DD:"}};
    for (const Folder& f : folders)
        EXPECT_EQ(U8(LinkWorkingFolder(f.in)), U8(f.out)) << U8(f.in);

    struct Extension {
        const char16_t *in, *out;
    } extensions[] = {{u"C:\\M\\App", u"C:\\M\\App.lnk"},
                      {u"C:\\M\\App.lnk", u"C:\\M\\App.lnk"},
                      {u"C:\\M\\App.LNK", u"C:\\M\\App.LNK"},
                      {u"C:\\M\\App.exe", u"C:\\M\\App.exe.lnk"},
                      {u"C:\\M\\lnk", u"C:\\M\\lnk.lnk"}};
    for (const Extension& e : extensions)
        EXPECT_EQ(U8(WithLinkExtension(e.in)), U8(e.out)) << U8(e.in);
    EXPECT_EQ(U8(LinkPathIn(u"C:\\Menu\\", u"Tools\\App")), "C:\\Menu\\Tools\\App.lnk");
}

TEST(LinkCreation, CommandSplitsIntoProgramAndRest) {
    struct Case {
        const char16_t *command, *program, *rest;
    } cases[] = {
        {u"\"C:\\Program Files\\A\\a.exe\" /tray -x", u"C:\\Program Files\\A\\a.exe", u"/tray -x"},
        {u"C:\\a.exe /tray", u"C:\\a.exe", u"/tray"},
        {u"  C:\\a.exe\t-x  ", u"C:\\a.exe", u"-x"},
        {u"C:\\a.exe", u"C:\\a.exe", u""},
        {u"\"C:\\unclosed quote", u"C:\\unclosed quote", u""},
        {u"\"\" rest", u"", u"rest"},
        {u"", u"", u""},
    };
    for (const Case& c : cases) {
        String program, rest;
        SplitCommand(c.command, program, rest);
        EXPECT_EQ(U8(program), U8(c.program)) << U8(c.command);
        EXPECT_EQ(U8(rest), U8(c.rest)) << U8(c.command);
    }
}

// The shell's own result names the failure; the last error only when it does not (Wine leaves
// 193, "bad EXE format", beside its SE_ERR_NOASSOC for the "taskbarpin" verb).
TEST(LinkCreation, ShellVerbErrorPrefersTheShellsOwnResult) {
    struct Case {
        intptr_t shellResult;
        uint32_t lastError, code;
    } cases[] = {
        {31, 193, 1155}, {27, 0, 1155}, {2, 0, 2},     {3, 0, 3},       {5, 0, 5},    {8, 0, 8},
        {26, 0, 32},     {29, 0, 1156}, {32, 0, 1157}, {0, 1223, 1223}, {0, 0, 1155}, {42, 87, 87},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShellVerbError(c.shellResult, c.lastError), c.code) << c.shellResult << " " << c.lastError;
}

TEST(UninstallerEntries, EachOptionAddsItsEntryInOrder) {
    UninstallerShortcutInputs in;
    in.uninstallerPath = u"C:\\App\\data\\uninstall.exe";
    in.uninstallName = u"Product";
    in.name = u"Uninstall Product";
    in.icon = u"C:\\App\\data\\uninstall.ico";
    in.uninstallDataFolder = u"C:\\App\\data";
    in.installDir = u"C:\\App";
    in.logPath = u"C:\\App\\data\\Install.log";
    in.logName = u"Installation log";

    EXPECT_TRUE(UninstallerShortcuts(in).IsEmpty()) << "no option, no entry";
    in.optionWord1 = kOpt1StartMenuUninstaller;
    in.optionWord2 = kOpt2DesktopUninstaller;
    EXPECT_TRUE(UninstallerShortcuts(in).IsEmpty()) << "without the uninstaller none of its entries";

    in.optionWord1 |= kOpt1RegisterUninstaller;
    in.optionWord2 |= kOpt2UninstallerInDataFolder | kOpt2LogShortcut;
    in.payloadFlags = kFlagUninstallerInInstallFolder;
    Array<Shortcut> list = UninstallerShortcuts(in);
    ASSERT_EQ(list.Count(), 5);
    struct Expected {
        bool startMenu, desktop;
        const char16_t* folder;
    } expected[] = {
        {true, false, u""}, {false, true, u""}, {false, false, u"C:\\App\\data"}, {false, false, u"C:\\App"}};
    for (int i = 0; i < 4; ++i) {
        const Shortcut& s = list[i];
        EXPECT_EQ(U8(s.target), "C:\\App\\data\\uninstall.exe") << i;
        EXPECT_EQ(U8(s.arguments), "/u:\"Product\"") << i;
        EXPECT_EQ(U8(s.name), "Uninstall Product") << i;
        EXPECT_EQ(U8(s.icon), "C:\\App\\data\\uninstall.ico") << i;
        EXPECT_TRUE(s.uninstallerEntry) << i;
        EXPECT_FALSE(s.fromDefinition) << i;
        EXPECT_EQ(s.startMenu != 0, expected[i].startMenu) << i;
        EXPECT_EQ(s.desktop != 0, expected[i].desktop) << i;
        EXPECT_EQ(U8(s.customFolder), U8(expected[i].folder)) << i;
        EXPECT_EQ(s.always, !s.customFolder.IsEmpty())
            << i << ": only the folder entries are made everywhere";
    }
    const Shortcut& log = list[4];
    EXPECT_EQ(U8(log.target), "C:\\App\\data\\Install.log");
    EXPECT_EQ(U8(log.name), "Installation log");
    EXPECT_TRUE(log.startMenu && !log.desktop && !log.always && !log.uninstallerEntry);

    in.optionWord1 = 0;
    list = UninstallerShortcuts(in);
    ASSERT_EQ(list.Count(), 1) << "the log's entry does not need the uninstaller";
    EXPECT_EQ(U8(list[0].target), "C:\\App\\data\\Install.log");
}

TEST(WindowsVersions, PinOnSevenAndEightOnlyDoubleStartMenuOn95And98) {
    struct Case {
        const char* name;
        OsRecord os;
        bool pins, doubles;
    } cases[] = {
        {"95", Os(kPlatformWin9x, 4, 0), false, true},
        {"98", Os(kPlatformWin9x, 4, 10), false, true},
        {"Me", Os(kPlatformWin9x, 4, 90), false, false},
        {"NT 4", Os(kPlatformNt, 4, 0), false, false},
        {"XP", Os(kPlatformNt, 5, 1), false, false},
        {"Vista", Os(kPlatformNt, 6, 0), false, false},
        {"7", Os(kPlatformNt, 6, 1), true, false},
        {"8", Os(kPlatformNt, 6, 2), true, false},
        {"8.1", Os(kPlatformNt, 6, 3), true, false},
        {"9.x", Os(kPlatformNt, 9, 0), true, false},
        {"10", Os(kPlatformNt, 10, 0, 19045), false, false},
        {"11", Os(kPlatformNt, 10, 0, 22631), false, false},
        {"a later one", Os(kPlatformNt, 11, 0), false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PinsToTaskbar(c.os), c.pins) << c.name;
        EXPECT_EQ(DoublesStartMenuShortcuts(c.os), c.doubles) << c.name;
    }
}

TEST(DesktopFolderIcon, PinnedLinkAndUnicodeIni) {
    EXPECT_EQ(
        U8(PinnedLinkPath(u"C:\\Users\\u\\AppData\\Roaming", u"Product")),
        "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\"
        "Product.lnk");
    EXPECT_FALSE(NeedsUnicodeDesktopIni(u"C:\\App\\Desktop Icon.ico", false));
    EXPECT_TRUE(NeedsUnicodeDesktopIni(u"C:\\\u00C4pp\\Desktop Icon.ico", false));
    EXPECT_TRUE(NeedsUnicodeDesktopIni(u"C:\\\u4E2D\\Desktop Icon.ico", false));
    EXPECT_FALSE(NeedsUnicodeDesktopIni(u"C:\\\u00C4pp\\Desktop Icon.ico", true))
        << "an existing file keeps its form";
    EXPECT_FALSE(NeedsUnicodeDesktopIni(u"C:\\\x7F\\Desktop Icon.ico", false)) << "127 is still ASCII";
}
