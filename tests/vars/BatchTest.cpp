// The batch file's text byte for byte: the code-page line, "@echo off", the SET lines, the
// PAUSE filter, the encodings and the line ends; the interpreter choice and its command line;
// the captured output; and the search-path edits.
#include "vars/Batch.h"
#include "vars/SearchPath.h"

#include "core/Folders.h"
#include "core/Text.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cs;

namespace {

OsRecord Windows(uint32_t major, uint32_t minor, uint32_t platform = kPlatformNt) {
    OsRecord os;
    os.major = major;
    os.minor = minor;
    os.build = 7601;
    os.platform = platform;
    os.productType = kProductWorkstation;
    os.is64BitWindows = true;
    return os;
}

VariableInputs Inputs() {
    VariableInputs in;
    in.installDir = u"C:\\Apps\\Demo";
    in.sharedDir = u"C:\\Shared";
    in.uninstallSubdir = u"Uninstall";
    in.uninstallerPath = u"C:\\Apps\\Demo\\Uninstall\\unins.exe";
    in.productName = u"Demo";
    in.companyName = u"ACME";
    in.productVersion = u"2.5.1";
    in.productVersion8 = "2.5.1";
    in.oldVersion = u"2.4";
    in.language = u"English";
    in.startMenuFolder = u"Demo";
    in.automatic = true;
    in.installType = 2;
    in.installerPath = u"D:\\dist\\setup.exe";
    in.windowsDir = u"C:\\Windows";
    in.os = Windows(6, 1);
    in.folder = [](FolderId id) { return String(u"C:\\F\\") + FolderIdName(id); };
    return in;
}

// The SET lines of Inputs(), in their order, written out by hand.
const char kSetLines[] = "SET Automatic=1\r\n"
                         "SET \"InstallDir=C:\\Apps\\Demo\"\r\n"
                         "SET \"Bits=64\"\r\n"
                         "SET \"UninstallDir=C:\\Apps\\Demo\\Uninstall\"\r\n"
                         "SET \"SharedDir=C:\\Shared\"\r\n"
                         "SET \"InstallerFilepath=D:\\dist\\setup.exe\"\r\n"
                         "SET \"InstallerDir=D:\\dist\"\r\n"
                         "SET \"InstallerFilename=setup.exe\"\r\n"
                         "SET \"InstallerDrive=D:\"\r\n"
                         "SET \"SystemDir=C:\\F\\System\"\r\n"
                         "SET \"DeviceDir=C:\\F\\DriverSearchPath\"\r\n"
                         "SET \"MediaDir=C:\\F\\Media\"\r\n"
                         "SET \"FavoritesDir=C:\\F\\Favorites\"\r\n"
                         "SET \"FavoritesAllDir=C:\\F\\CommonFavorites\"\r\n"
                         "SET \"FontDir=C:\\F\\Fonts\"\r\n"
                         "SET \"DesktopDir=C:\\F\\Desktop\"\r\n"
                         "SET \"DesktopAllDir=C:\\F\\CommonDesktop\"\r\n"
                         "SET \"DesktopShortcuts=C:\\F\\Desktop\"\r\n"
                         "SET \"DocumentDir=C:\\F\\Documents\"\r\n"
                         "SET \"DocumentAllDir=C:\\F\\CommonDocuments\"\r\n"
                         "SET \"ProductName=Demo\"\r\n"
                         "SET \"CompanyName=ACME\"\r\n"
                         "SET \"ProgramsDir=C:\\F\\ProgramFiles\"\r\n"
                         "SET \"ProgramsDir32=C:\\F\\ProgramFiles\"\r\n"
                         "SET \"ProgramsDir64=C:\\F\\ProgramFiles64\"\r\n"
                         "SET \"StartMenuAllDir=C:\\F\\CommonStartMenu\"\r\n"
                         "SET \"StartMenuChosen=C:\\F\\Programs\\Demo\"\r\n"
                         "SET \"StartMenuDir=C:\\F\\StartMenu\"\r\n"
                         "SET \"SMProgramsDir=C:\\F\\Programs\"\r\n"
                         "SET \"SMProgramsAllDir=C:\\F\\CommonPrograms\"\r\n"
                         "SET \"StartupDir=C:\\F\\Startup\"\r\n"
                         "SET \"StartupAllDir=C:\\F\\CommonStartup\"\r\n"
                         "SET \"CommonDir=C:\\F\\CommonFiles\"\r\n"
                         "SET \"CommonDir32=C:\\F\\CommonFiles\"\r\n"
                         "SET \"CommonDir64=C:\\F\\CommonFiles64\"\r\n"
                         "SET \"Inetpub=C:\\F\\WebServer\"\r\n"
                         "SET \"AppDataDir=C:\\F\\AppData\"\r\n"
                         "SET \"AppDataAllDir=C:\\F\\CommonAppData\"\r\n"
                         "SET InstallDrive=C:\r\n"
                         "SET BootDrive=C:\r\n"
                         "SET Version=2.5.1\r\n"
                         "SET VersionMajor=2\r\n"
                         "SET VersionMinor=5\r\n"
                         "SET VersionRevision=1\r\n"
                         "SET OldVersion=2.4\r\n"
                         "SET OldVersionMajor=2\r\n"
                         "SET OldVersionMinor=4\r\n"
                         "SET Portable=0\r\n"
                         "SET Existing=2\r\n"
                         "SET NetworkInstall=0\r\n"
                         "SET Language=English\r\n"
                         "SET LogFilepath=C:\\Apps\\Demo\\Uninstall\\Install.log\r\n"
                         "SET \"UninstallerFilepath=C:\\Apps\\Demo\\Uninstall\\unins.exe\"\r\n"
                         "SET OS=36\r\n"
                         "SET OSMajor=6\r\n"
                         "SET OSMinor=1\r\n"
                         "SET OSName=7\r\n"
                         "SET OSDescription=Windows 7 x64\r\n"
                         "SET OSServer=0\r\n";

std::string Head1252() {
    return std::string("@chcp 1252 >nul\r\n@echo off\r\n") + kSetLines;
}

std::string Text(const String8& s) {
    return std::string(s.c_str(), s.Length());
}

std::string Batch(const char* commands, bool filterPause, const OsRecord& os = Windows(6, 1)) {
    BatchTextOptions options;
    options.filterPause = filterPause;
    options.os = os;
    return Text(BatchText(Inputs(), commands, options));
}

} // namespace

TEST(BatchText, HeaderAndSetLinesByteForByte) {
    EXPECT_EQ(Batch("copy a b\r\nexit /b 3", false), Head1252() + "copy a b\r\nexit /b 3\r\n");
}

TEST(BatchText, OnlyPauseInAutomaticModeLeavesTheHeaderAlone) {
    EXPECT_EQ(Batch("PAUSE", true), Head1252());
    EXPECT_EQ(Batch("PAUSE", false), Head1252() + "PAUSE\r\n") << "interactive, visible: kept";
}

TEST(BatchText, PauseFilterDropsOnlyWholePauseLines) {
    std::string commands = "echo one\r\n"
                           "@ pause\r\n"
                           "pause now\r\n"
                           " \t@\tPaUsE \t\r\n"
                           "@@pause\r\n"
                           "echo pause\r\n"
                           "\r\n"
                           "  echo two  ";
    EXPECT_EQ(Batch(commands.c_str(), true),
              Head1252() + "echo one\r\npause now\r\n@@pause\r\necho pause\r\n\r\n  echo two  \r\n");
    // Lines kept are kept as they were, whatever their own line break was.
    EXPECT_EQ(Text(WithoutPauseLines("a\nPAUSE\nb\r\n")), "a\r\nb\r\n");
    EXPECT_EQ(Text(WithoutPauseLines("")), "");
}

TEST(BatchText, EAcuteIsUtf8FromWindows7AndCodePage1252Before) {
    const char eAcute[] = "echo caf\xE9"; // code page 1252, as the definition stores it
    std::string utf8 = Batch(eAcute, false, Windows(6, 1));
    std::string utf8Head = "@chcp 65001 >nul\r\n@echo off\r\n";
    EXPECT_EQ(utf8.substr(0, utf8Head.size()), utf8Head);
    EXPECT_EQ(utf8.substr(utf8.size() - 12), "echo caf\xC3\xA9\r\n");
    EXPECT_EQ(utf8.substr(utf8Head.size()), std::string(kSetLines) + "echo caf\xC3\xA9\r\n");

    EXPECT_EQ(Batch(eAcute, false, Windows(6, 0)), Head1252() + "echo caf\xE9\r\n") << "Vista";
    EXPECT_EQ(Batch(eAcute, false, Windows(10, 0)).substr(0, 18), "@chcp 65001 >nul\r\n");
    EXPECT_EQ(Batch(eAcute, false, Windows(4, 90, kPlatformWin9x)), Head1252() + "echo caf\xE9\r\n") << "ME";
    EXPECT_EQ(Batch("echo plain", false, Windows(10, 0)), Head1252() + "echo plain\r\n")
        << "ASCII stays 1252 on every system";
}

TEST(BatchText, CharactersOutsideCodePage1252) {
    String text = u"echo \u4E2D\u00E9\r\n";
    EXPECT_EQ(Text(EncodeBatchText(text, Windows(6, 0))), "@chcp 1252 >nul\r\necho ?\xE9\r\n");
    EXPECT_EQ(Text(EncodeBatchText(text, Windows(6, 1))),
              "@chcp 65001 >nul\r\necho \xE4\xB8\xAD\xC3\xA9\r\n");
}

TEST(BatchText, PercentInAValueIsDoubled) {
    VariableInputs in = Inputs();
    in.productName = u"100% Pure";
    in.installDir = u"C:\\%TEMP%";
    String lines = BatchVariableLines(in, false);
    EXPECT_NE(Find(lines, u"SET \"ProductName=100%% Pure\"\r\n"), String::npos);
    EXPECT_NE(Find(lines, u"SET \"InstallDir=C:\\%%TEMP%%\"\r\n"), String::npos);
    EXPECT_NE(Find(lines, u"SET InstallDrive=C:\r\n"), String::npos);
}

TEST(BatchText, UninstallerLeavesOutExisting) {
    BatchTextOptions options;
    options.uninstaller = true;
    options.os = Windows(6, 1);
    std::string head = Head1252();
    head.erase(head.find("SET Existing=2\r\n"), 16);
    EXPECT_EQ(Text(BatchText(Inputs(), "x", options)), head + "x\r\n");
}

TEST(BatchText, LineEnds) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"a\nb", "a\r\nb\r\n"},         {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\n\rb", "a\r\nb\r\n"},       {"a\n\n", "a\r\n\r\n"},
        {"a\r\n\rb", "a\r\n\rb\r\n"}, // a lone carriage return stays
        {"a\n\r\nb", "a\r\n\r\nb\r\n"}, {"", "\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(NormalizeLineEnds(c.in)), c.out) << c.in;
}

TEST(BatchInterpreter, Choice) {
    struct Case {
        const char16_t* comspec;
        OsRecord os;
        const char16_t* system32;
        const char16_t* expected;
    } cases[] = {
        {u"C:\\Tools\\tcc.exe", Windows(10, 0), u"C:\\Windows\\SysWOW64", u"C:\\Tools\\tcc.exe"},
        {u"%COMSPEC%", Windows(10, 0), u"C:\\Windows\\SysWOW64", u"C:\\Windows\\SysWOW64\\cmd.exe"},
        {u"", Windows(10, 0), u"C:\\Windows\\SysWOW64", u"C:\\Windows\\SysWOW64\\cmd.exe"},
        {u"", Windows(10, 0), u"", u"C:\\Windows\\System32\\cmd.exe"},
        {u"", Windows(4, 10, kPlatformWin9x), u"", u"C:\\Windows\\command.com"},
        {u"", Windows(4, 0, kPlatformNt), u"", u"C:\\Windows\\System32\\cmd.exe"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            CommandInterpreterPath(c.comspec, c.os, u"C:\\Windows", c.system32, u"C:\\Windows\\System32"),
            c.expected);
}

TEST(BatchInterpreter, CommandLine) {
    EXPECT_EQ(BatchProcessCommandLine(u"C:\\W\\cmd.exe", u"C:\\APP\\SETUPBAT.BAT", u""),
              u"\"C:\\W\\cmd.exe\" /c C:\\APP\\SETUPBAT.BAT");
    EXPECT_EQ(BatchProcessCommandLine(u"C:\\W\\cmd.exe", u"C:\\APP\\SETUPBAT.BAT", u"C:\\APP\\cs_batch.log"),
              u"\"C:\\W\\cmd.exe\" /c \"C:\\APP\\SETUPBAT.BAT > C:\\APP\\cs_batch.log\"");
    EXPECT_EQ(BatchProcessCommandLine(u"C:\\W\\cmd.exe", u"C:\\My App\\SETUPBAT.BAT", u""),
              u"\"C:\\W\\cmd.exe\" /c \"C:\\My App\\SETUPBAT.BAT\"");
}

TEST(BatchCapture, OutputForTheLogKeepsItsBytes) {
    EXPECT_EQ(Text(CapturedOutputForLog("copied\x82 1 file\r\n \t\r\n")), "copied\x82 1 file\r\n\r\n");
    EXPECT_EQ(Text(CapturedOutputForLog("  line\r\n")), "  line\r\n\r\n");
    EXPECT_EQ(Text(CapturedOutputForLog(" \r\n\t")), "");
    EXPECT_EQ(Text(CapturedOutputForLog("")), "");
}

TEST(SearchPath, FolderOfTheRequest) {
    EXPECT_EQ(SearchPathFolder(u"", u"C:\\App"), u"C:\\App");
    EXPECT_EQ(SearchPathFolder(u"bin", u"C:\\App"), u"C:\\App\\bin");
    EXPECT_EQ(SearchPathFolder(u"D:\\Tools", u"C:\\App"), u"D:\\Tools");
    EXPECT_EQ(SearchPathFolder(u"\\\\srv\\share", u"C:\\App"), u"\\\\srv\\share");
}

TEST(SearchPath, Edits) {
    struct Case {
        const char16_t* path;
        bool add;
        const char16_t* result;
        bool changed;
    } cases[] = {
        // Adding.
        {u"C:\\Win;C:\\Win\\System32", true, u"C:\\Win;C:\\Win\\System32;C:\\App", true},
        {u"C:\\Win;", true, u"C:\\Win;C:\\App", true},
        {u"C:\\Win;c:\\APP;D:\\x", true, u"C:\\Win;c:\\APP;D:\\x", false},
        {u"C:\\Win;C:\\app", true, u"C:\\Win;C:\\app", false},
        {u"C:\\App;C:\\Win", true, u"C:\\App;C:\\Win", false},
        {u"D:\\C:\\App;X", true, u"D:\\C:\\App;X;C:\\App", true}, // part of another entry
        {u"C:\\Apps", true, u"C:\\Apps;C:\\App", true},
        // Removing.
        {u"C:\\Win;C:\\App;D:\\x", false, u"C:\\Win;D:\\x", true},
        {u"C:\\APP;D:\\x", false, u"D:\\x", true},
        {u"C:\\Win;C:\\App", false, u"C:\\Win", true},
        {u"C:\\Win;C:\\App;", false, u"C:\\Win;", true},
        {u"C:\\Win;C:\\Apps", false, u"C:\\Win;C:\\Apps", false},
        {u"C:\\Win;XC:\\App", false, u"C:\\Win;XC:\\App", false},
        {u"C:\\App", false, u"", true},
    };
    for (const Case& c : cases) {
        String path = c.path;
        EXPECT_EQ(EditSearchPath(path, u"C:\\App", c.add), c.changed) << ToUtf8(c.path).c_str();
        EXPECT_EQ(path, c.result) << ToUtf8(c.path).c_str();
    }
}

// A 32-bit product's batch under the 64-bit engine: the 32-bit interpreter where the path
// leads a 32-bit program, else the engine's own with a 32-bit environment; said in the log.
TEST(BatchInterpreterChoice, ThirtyTwoBitProductsGetWhatThe32BitEngineGets) {
    const String system = u"C:\\windows\\system32", system32 = u"C:\\windows\\syswow64";
    const String cmd = u"C:\\windows\\system32\\cmd.exe";

    BatchInterpreter usable = ChooseBatchInterpreter(cmd, system, system32, true);
    EXPECT_EQ(usable.path, String(u"C:\\windows\\syswow64\\cmd.exe"));
    EXPECT_FALSE(usable.environment32);
    EXPECT_EQ(usable.logLine,
              String(u"Batch runs in the 32-bit command interpreter C:\\windows\\syswow64\\cmd.exe\r\n"));

    BatchInterpreter missing = ChooseBatchInterpreter(cmd, system, system32, false);
    EXPECT_EQ(missing.path, cmd);
    EXPECT_TRUE(missing.environment32);
    EXPECT_EQ(
        missing.logLine,
        String(u"No 32-bit command interpreter: batch runs in C:\\windows\\system32\\cmd.exe with a 32-bit "
               u"environment\r\n"));

    // An interpreter outside the system folder has no 32-bit twin: the environment says it.
    BatchInterpreter elsewhere = ChooseBatchInterpreter(u"D:\\tools\\cmd.exe", system, system32, true);
    EXPECT_EQ(elsewhere.path, String(u"D:\\tools\\cmd.exe"));
    EXPECT_TRUE(elsewhere.environment32);

    // The 32-bit engine, or a 64-bit product: the interpreter as it is, nothing logged.
    for (bool usableToo : {true, false}) {
        BatchInterpreter same = ChooseBatchInterpreter(cmd, system, u"", usableToo);
        EXPECT_EQ(same.path, cmd);
        EXPECT_FALSE(same.environment32);
        EXPECT_TRUE(same.logLine.IsEmpty());
    }
}

TEST(BatchInterpreterChoice, Environment32IsWhatA32BitProgramSees) {
    Array<String> env;
    for (const char16_t* e : {u"=C:=C:\\work", u"CommonProgramFiles=C:\\Program Files\\Common Files",
                              u"CommonProgramFiles(x86)=C:\\Program Files (x86)\\Common Files",
                              u"CommonProgramW6432=C:\\Program Files\\Common Files", u"Path=C:\\windows",
                              u"Processor_Architecture=AMD64", u"PROGRAMFILES=C:\\Program Files",
                              u"ProgramFiles(x86)=C:\\Program Files (x86)", u"ProgramW6432=C:\\Program Files",
                              u"ProgramFilesX=kept"})
        env.Append(e);
    Array<String> out = Environment32(env);
    std::vector<std::u16string> got;
    for (const String& e : out)
        got.emplace_back(e.View());
    EXPECT_EQ(got, (std::vector<std::u16string>{
                       u"=C:=C:\\work", u"CommonProgramFiles=C:\\Program Files (x86)\\Common Files",
                       u"CommonProgramFiles(x86)=C:\\Program Files (x86)\\Common Files",
                       u"CommonProgramW6432=C:\\Program Files\\Common Files", u"Path=C:\\windows",
                       u"PROCESSOR_ARCHITECTURE=x86", u"PROCESSOR_ARCHITEW6432=AMD64",
                       u"ProgramFiles=C:\\Program Files (x86)", u"ProgramFiles(x86)=C:\\Program Files (x86)",
                       u"ProgramW6432=C:\\Program Files", u"ProgramFilesX=kept"}));

    // Without the x86 folders the program folders stay; an existing PROCESSOR_ARCHITEW6432 is kept.
    Array<String> bare;
    for (const char16_t* e : {u"PROCESSOR_ARCHITECTURE=AMD64", u"PROCESSOR_ARCHITEW6432=ARM64",
                              u"ProgramFiles=C:\\Program Files"})
        bare.Append(e);
    Array<String> bareOut = Environment32(bare);
    ASSERT_EQ(bareOut.Count(), 3);
    EXPECT_EQ(bareOut[0], String(u"PROCESSOR_ARCHITECTURE=x86"));
    EXPECT_EQ(bareOut[1], String(u"PROCESSOR_ARCHITEW6432=ARM64"));
    EXPECT_EQ(bareOut[2], String(u"ProgramFiles=C:\\Program Files"));
}
