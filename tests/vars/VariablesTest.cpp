#include "vars/Variables.h"

#include "core/Format.h"
#include "core/Text.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

// A Windows 10 x64 workstation with folders named after their ids, so each row's value is
// recognisable.
VariableInputs SampleInputs() {
    VariableInputs in;
    in.installDir = u"C:\\Program Files\\Hello";
    in.sharedDir = u"C:\\Program Files\\Common Files\\Hello";
    in.uninstallSubdir = u"uninstall";
    in.uninstallerPath = u"C:\\Program Files\\Hello\\uninstall\\uninstall.exe";
    in.productName = u"Hello";
    in.companyName = u"Corvantis Samples";
    in.productVersion = u"5.12.0b";
    in.productVersion8 = " 5.12.0b";
    in.oldVersion = u"4..2";
    in.language = u"English";
    in.startMenuFolder = u"Hello Suite";
    in.desktopSubfolder = u"";
    in.installType = 2;
    in.installerPath = u"D:\\Downloads\\hello-setup.exe";
    in.windowsDir = u"C:\\windows";
    in.bootDriveLetter = u'e';
    in.os.major = 10;
    in.os.minor = 0;
    in.os.build = 19045;
    in.os.platform = kPlatformNt;
    in.os.productType = kProductWorkstation;
    in.os.is64BitWindows = true;
    in.folder = [](FolderId id) { return String(u"<") + FolderIdName(id) + u">"; };
    return in;
}

String Expand(const char16_t* text, const VariableInputs& in) {
    String s(text);
    ExpandVariables(s, in, nullptr);
    return s;
}

} // namespace

TEST(VariableTable, SixtyOneRowsInOrderWithTwoCaseSensitive) {
    Array<Variable> table = VariableTable(SampleInputs());
    ASSERT_EQ(table.Count(), kVariableCount);
    EXPECT_EQ(String(table[0].name), u"%AppDataAllDir%");
    EXPECT_EQ(String(table[19].name), u"%InstallDir%");
    EXPECT_EQ(String(table[48].name), u"%Temp%");
    EXPECT_EQ(String(table[60].name), u"%OSServer%");
    int caseSensitive = 0;
    for (const Variable& v : table)
        caseSensitive += v.caseSensitive;
    EXPECT_EQ(caseSensitive, 2);
    EXPECT_TRUE(table[31].caseSensitive && table[32].caseSensitive);
}

TEST(ExpandVariables, EachRowWithAKnownSource) {
    VariableInputs in = SampleInputs();
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"%AppDataAllDir%", u"<CommonAppData>"},
        {u"%AppDataDir%", u"<AppData>"},
        {u"%Automatic%", u"0"},
        {u"%Bits%", u"64"},
        {u"%BootDrive%", u"E:"},
        {u"%CommonDir%|%CommonDir32%|%CommonDir64%", u"<CommonFiles>|<CommonFiles>|<CommonFiles64>"},
        {u"%DesktopAllDir%|%DesktopDir%|%DesktopShortcuts%", u"<CommonDesktop>|<Desktop>|<Desktop>"},
        {u"%DeviceDir%", u"<DriverSearchPath>"},
        {u"%DocumentAllDir%|%DocumentDir%", u"<CommonDocuments>|<Documents>"},
        {u"%Existing%", u"2"},
        {u"%FavoritesAllDir%|%FavoritesDir%|%FontDir%", u"<CommonFavorites>|<Favorites>|<Fonts>"},
        {u"%Inetpub%", u"<WebServer>"},
        {u"%InstallDir%|%InstallDrive%", u"C:\\Program Files\\Hello|C:"},
        {u"%InstallerDir%|%InstallerDrive%|%InstallerFilename%", u"D:\\Downloads|D:|hello-setup.exe"},
        {u"%InstallerFilepath%", u"D:\\Downloads\\hello-setup.exe"},
        {u"%UninstallerFilepath%", u"C:\\Program Files\\Hello\\uninstall\\uninstall.exe"},
        {u"%Language%", u"English"},
        {u"%LogFilepath%", u"C:\\Program Files\\Hello\\uninstall\\Install.log"},
        {u"%MediaDir%|%NetworkInstall%", u"<Media>|0"},
        {u"%OldVersion%|%OldVersionMajor%|%OldVersionMinor%", u"4..2|4|2"},
        {u"%Portable%|%ProductName%|%CompanyName%", u"0|Hello|Corvantis Samples"},
        {u"%ProgramsDir%|%ProgramsDir32%|%ProgramsDir64%", u"<ProgramFiles>|<ProgramFiles>|<ProgramFiles64>"},
        {u"%SharedDir%", u"C:\\Program Files\\Common Files\\Hello"},
        {u"%SMProgramsAllDir%|%SMProgramsDir%", u"<CommonPrograms>|<Programs>"},
        {u"%StartMenuAllDir%|%StartMenuChosen%|%StartMenuDir%",
         u"<CommonStartMenu>|<Programs>\\Hello Suite|<StartMenu>"},
        {u"%StartupAllDir%|%StartupDir%", u"<CommonStartup>|<Startup>"},
        {u"%SystemDir%|%Temp%|%WinDir%", u"<System>|<Temp>|C:\\windows"},
        {u"%UninstallDir%", u"C:\\Program Files\\Hello\\uninstall"},
        {u"%Version%|%VersionMajor%|%VersionMinor%|%VersionRevision%", u"5.12.0b|5|12|0"},
        {u"%OS%|%OSMajor%|%OSMinor%|%OSServer%", u"48|10|0|0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Expand(c.text, in), c.expected) << ToUtf8(String(c.text)).c_str();
}

TEST(ExpandVariables, CaseRules) {
    VariableInputs in = SampleInputs();
    EXPECT_EQ(Expand(u"%installdir%|%INSTALLDIR%", in), u"C:\\Program Files\\Hello|C:\\Program Files\\Hello");
    EXPECT_EQ(Expand(u"%oldversionmajor%|%OldVersionMajor%", in), u"%oldversionmajor%|4");
}

TEST(ExpandVariables, LaterRowsExpandEarlierValuesButNeverTheReverse) {
    VariableInputs in = SampleInputs();
    in.installDir = u"%Temp%\\App";
    EXPECT_EQ(Expand(u"%InstallDir%", in), u"<Temp>\\App") << "row 49 runs after row 20";
    in.installDir = u"%AppDataDir%\\App";
    EXPECT_EQ(Expand(u"%InstallDir%", in), u"%AppDataDir%\\App") << "row 2 ran before row 20";
    in.productName = u"%ProductName% Pro";
    EXPECT_EQ(Expand(u"%ProductName%", in), u"%ProductName% Pro") << "a value is not searched again";
}

TEST(ExpandVariables, EnvironmentStepAndUnknownNames) {
    VariableInputs in = SampleInputs();
    EnvironmentExpander environment = [](const String& text, String& out) {
        out = text;
        ReplaceAll(out, u"%PATH%", u"C:\\windows\\system32", false);
        return true;
    };
    String s(u"%PATH%;%NoSuchThing%;100%%;%InstallDrive%");
    ExpandVariables(s, in, environment);
    EXPECT_EQ(s, u"C:\\windows\\system32;%NoSuchThing%;100%%;C:");
    String plain(u"no variables here");
    ExpandVariables(plain, in, environment);
    EXPECT_EQ(plain, u"no variables here");
    EnvironmentExpander failing = [](const String&, String&) { return false; };
    String kept(u"%PATH%");
    ExpandVariables(kept, in, failing);
    EXPECT_EQ(kept, u"%PATH%") << "a failed environment step keeps the text";
    EnvironmentExpander huge = [](const String&, String& out) {
        for (int i = 0; i < 40000; ++i)
            out.Append(u'x');
        return true;
    };
    String cut(u"%X%");
    ExpandVariables(cut, in, huge);
    EXPECT_EQ(cut.Length(), kEnvironmentExpansionMaxChars);
}

TEST(ExpandVariables, NoOldVersionAndUncFolder) {
    VariableInputs in = SampleInputs();
    in.oldVersion = u"";
    in.installDir = u"\\\\server\\share\\App";
    EXPECT_EQ(Expand(u"[%OldVersion%|%OldVersionMajor%|%OldVersionMinor%]", in), u"[||]");
    EXPECT_EQ(Expand(u"%NetworkInstall%[%InstallDrive%]", in), u"1[]");
    in.installDir = u"N:\\App";
    in.installDirOnRemoteDrive = true;
    EXPECT_EQ(Expand(u"%NetworkInstall%", in), u"1");
}

TEST(ExpandVariables, AllUsersAndPackageKindChooseFolders) {
    VariableInputs in = SampleInputs();
    in.allUsers = true;
    in.package64 = true;
    in.automatic = true;
    in.desktopSubfolder = u"Tools";
    EXPECT_EQ(Expand(u"%DesktopShortcuts%|%StartMenuChosen%|%ProgramsDir%|%CommonDir%|%Automatic%", in),
              u"<CommonDesktop>\\Tools|<CommonPrograms>\\Hello Suite|<ProgramFiles64>|<CommonFiles64>|1");
    in.folder = [](FolderId id) { return id == FolderId::Temp ? String(u"C:\\temp\\") : String(); };
    EXPECT_EQ(Expand(u"%Temp%|%SystemDir%", in), u"C:\\temp|C:\\windows\\System32");
}

TEST(VersionNumber, Rules) {
    struct Case {
        const char* text;
        int major, minor, revision;
    } cases[] = {
        {" 5.12.0b", 5, 12, 0}, {"7", 7, 0, 0}, {"10", 10, 0, 0},  {"-3.x", -3, 0, 0},
        {"+2.\t4.9", 2, 4, 9},  {"", 0, 0, 0},  {"beta", 0, 0, 0}, {"1..3", 1, 0, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VersionNumber(c.text, 0), c.major) << c.text;
        EXPECT_EQ(VersionNumber(c.text, 1), c.minor) << c.text;
        EXPECT_EQ(VersionNumber(c.text, 2), c.revision) << c.text;
    }
}

TEST(OsCode, Table) {
    struct Case {
        uint32_t platform, major, minor, build;
        uint8_t type;
        uint16_t suite;
        bool x64, r2;
        int code;
    } cases[] = {
        {kPlatformWin9x, 4, 10, 2222, 0, 0, false, false, 0},
        {kPlatformNt, 5, 1, 2600, kProductWorkstation, 0, false, false, 20},
        {kPlatformNt, 5, 2, 3790, kProductServer, kSuiteHomeServer, false, false, 28},
        {kPlatformNt, 5, 2, 3790, kProductWorkstation, 0, true, false, 24},
        {kPlatformNt, 5, 2, 3790, kProductWorkstation, 0, false, false, 20},
        {kPlatformNt, 5, 2, 3790, kProductServer, 0, false, true, 26},
        {kPlatformNt, 5, 2, 3790, kProductServer, 0, false, false, 22},
        {kPlatformNt, 6, 0, 6002, kProductWorkstation, 0, false, false, 30},
        {kPlatformNt, 6, 0, 6002, kProductServer, 0, false, false, 32},
        {kPlatformNt, 6, 1, 7601, kProductServer, kSuiteHomeServer, true, false, 38},
        {kPlatformNt, 6, 1, 7601, kProductWorkstation, 0, false, false, 36},
        {kPlatformNt, 6, 1, 7601, kProductDomainController, 0, true, false, 34},
        {kPlatformNt, 6, 2, 9200, kProductWorkstation, 0, false, false, 40},
        {kPlatformNt, 6, 2, 9200, kProductServer, 0, false, false, 42},
        {kPlatformNt, 6, 3, 9600, kProductWorkstation, 0, false, false, 44},
        {kPlatformNt, 6, 3, 9600, kProductServer, 0, false, false, 46},
        {kPlatformNt, 6, 4, 9841, kProductServer, 0, false, false, 48},
        {kPlatformNt, 10, 0, 21326, kProductWorkstation, 0, true, false, 48},
        {kPlatformNt, 10, 0, 21327, kProductWorkstation, 0, true, false, 56},
        {kPlatformNt, 10, 0, 17599, kProductServer, 0, true, false, 50},
        {kPlatformNt, 10, 0, 17600, kProductServer, 0, true, false, 52},
        {kPlatformNt, 10, 0, 19503, kProductServer, 0, true, false, 52},
        {kPlatformNt, 10, 0, 19504, kProductServer, 0, true, false, 60},
        {kPlatformNt, 10, 0, 25920, kProductServer, 0, true, false, 60},
        {kPlatformNt, 10, 0, 25921, kProductServer, 0, true, false, 64},
        {kPlatformNt, 4, 0, 1381, kProductWorkstation, 0, false, false, 0},
    };
    for (const Case& c : cases) {
        OsRecord os;
        os.platform = c.platform;
        os.major = c.major;
        os.minor = c.minor;
        os.build = c.build;
        os.productType = c.type;
        os.suiteMask = c.suite;
        os.is64BitWindows = c.x64;
        OsNameFacts facts;
        facts.serverR2 = c.r2;
        EXPECT_EQ(OsCode(os, facts), c.code) << c.major << "." << c.minor << " build " << c.build;
    }
}

TEST(NotificationUrl, PercentEncodingAndValues) {
    NotificationInputs in;
    in.session = 1234567890123ull;
    in.os.platform = kPlatformNt;
    in.os.major = 6;
    in.os.minor = 1;
    in.os.build = 7601;
    in.os.productType = kProductWorkstation;
    String8 url(" \t "
                "https://example.test/"
                "n?v=%VERSION%&s=%session%&os=%OS%&maj=%OSMajor%&min=%osminor%&srv=%OSServer%\r\n");
    ExpandNotificationUrl(url, "1.0 beta", in);
    EXPECT_EQ(url, "https://example.test/n?v=1.0%20beta&s=1234567890123&os=36&maj=6&min=1&srv=0");
    EXPECT_EQ(PercentEncode("a\"/%?&#<>()[];:@=+\\|~^'*!\x7F\xE9-_.,$z"),
              "a%22%2F%25%3F%26%23%3C%3E%28%29%5B%5D%3B%3A%40%3D%2B%5C%7C%7E%5E%27%2A%21%7F%E9-_.,$z");
}

TEST(SessionNumber, TopBitCleared) {
    const uint8_t bytes[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(SessionNumberFromBytes(bytes), 0x7FFFFFFFFFFFFFFFull);
    const uint8_t small[8] = {1, 2, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(SessionNumberFromBytes(small), 0x0201ull);
}

TEST(WizardPlaceholders, ReplacedIgnoringCaseWithBuildDate) {
    PlaceholderInputs in;
    in.productName = u"Hello";
    in.description = u"greets you";
    in.windowsDir = u"C:\\windows";
    in.buildDate = {2026, 12, 9};
    in.formatDate = [](const BuildDate& d) { return Format(u"%02d.%02d.%d", d.day, d.month, d.year); };
    String text(u"<PRODUCT> <description> in <os>, built <lbdate>; <other>");
    ExpandWizardPlaceholders(text, in);
    EXPECT_EQ(text, u"Hello greets you in C:\\windows, built 09.12.2026; <other>");
    in.buildDate.month = 0;
    String noDate(u"[<lbdate>]");
    ExpandWizardPlaceholders(noDate, in);
    EXPECT_EQ(noDate, u"[]");
}

TEST(ExpandVariables, OperatingSystemNames) {
    VariableInputs in = SampleInputs();
    EXPECT_EQ(Expand(u"[%OSName%]", in), u"[10]");
    String description = Expand(u"%OSDescription%", in);
    EXPECT_NE(FindNoCase(description, u"Windows 10"), String::npos) << ToUtf8(description).c_str();
    EXPECT_NE(FindNoCase(description, u"x64"), String::npos) << ToUtf8(description).c_str();
}
