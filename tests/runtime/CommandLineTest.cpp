#include "runtime/CommandLine.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

struct Parsed {
    bool ok;
    CommandLine line;
    String reason;
};

Parsed Parse(const char16_t* arguments) {
    Parsed p;
    p.ok = ParseCommandLine(String(u"\"C:\\Setup Folder\\setup.exe\" ") + arguments, p.line, p.reason);
    return p;
}

} // namespace

TEST(SplitAtoms, QuotesStayAndDoubledQuotesCollapse) {
    Array<String> atoms = SplitAtoms(u"  prog.exe\t/d:\"C:\\a b\"  x\"y z\"w \"a\"\"b\" \r\n");
    ASSERT_EQ(atoms.Count(), 4);
    EXPECT_EQ(atoms[0], u"prog.exe");
    EXPECT_EQ(atoms[1], u"/d:\"C:\\a b\"");
    EXPECT_EQ(atoms[2], u"x\"y z\"w");
    EXPECT_EQ(atoms[3], u"\"a\"b\"");
}

TEST(SplitAtoms, UnclosedQuoteRunsToTheEnd) {
    Array<String> atoms = SplitAtoms(u"p /n:\"open ended");
    ASSERT_EQ(atoms.Count(), 2);
    EXPECT_EQ(atoms[1], u"/n:\"open ended\"");
}

TEST(ParseCommandLine, OnlyProgramPathGivesDefaults) {
    Parsed p = Parse(u"");
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.line.automatic || p.line.silent || p.line.minimized || p.line.uninstall);
    EXPECT_TRUE(p.line.installDir.IsEmpty());
}

TEST(ParseCommandLine, Switches) {
    Parsed p =
        Parse(u"-A /MIN /n:\"My \"\"Best\"\" App\" /r:\"C:\\app.exe `arg one`\" /d:first /D:\"C:\\Program "
              u"Files\\Caf\u00E9\\\"");
    ASSERT_TRUE(p.ok) << ToUtf8(p.reason).c_str();
    EXPECT_TRUE(p.line.automatic);
    EXPECT_FALSE(p.line.silent);
    EXPECT_TRUE(p.line.minimized);
    EXPECT_EQ(p.line.productName, u"My \"Best\" App");
    EXPECT_EQ(p.line.runProgram, u"C:\\app.exe \"arg one\"");
    EXPECT_EQ(p.line.installDir, u"C:\\Program Files\\Caf\u00E9") << "a later switch replaces an earlier one";
    EXPECT_EQ(p.line.installDir8, "|C:\\Program Files\\Caf\xC3\xA9");
}

TEST(ParseCommandLine, InstallDirQuotedOrNotGivesTheSameFolder) {
    Parsed quoted = Parse(u"/d:\"C:\\Apps\\Tool\\\"");
    Parsed plain = Parse(u"/d:C:\\Apps\\Tool\\");
    ASSERT_TRUE(quoted.ok && plain.ok);
    EXPECT_EQ(quoted.line.installDir, u"C:\\Apps\\Tool");
    EXPECT_EQ(plain.line.installDir, u"C:\\Apps\\Tool");
    EXPECT_EQ(plain.line.installDir8, "C:\\Apps\\Tool");
    Parsed half = Parse(u"/d:\"C:\\Half");
    EXPECT_EQ(half.line.installDir, u"C:\\Half") << "the splitter closes the open quote";
}

TEST(ParseCommandLine, BatchAdditions) {
    Parsed p = Parse(u"/b2:\"copy `a b` c~~del x\" /B1:\"echo \u20AC \u4E2D\" /b3:\"\"");
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.line.batchAdditions[1], "copy \"a b\" c\r\ndel x");
    EXPECT_EQ(p.line.batchAdditions[0], "echo \x80 ?") << "ANSI code page, '?' for what it lacks";
    EXPECT_TRUE(p.line.batchAdditions[2].IsEmpty());
}

TEST(ParseCommandLine, SilentImpliesAutomatic) {
    Parsed p = Parse(u"/SILENT");
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.line.automatic);
    EXPECT_TRUE(p.line.silent);
}

TEST(ParseCommandLine, Uninstall) {
    Parsed p = Parse(u"/u:\"Hello App\"");
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.line.uninstall);
    EXPECT_EQ(p.line.uninstallProduct, u"Hello App");
    Parsed word = Parse(u"/u:Name /uninstall");
    ASSERT_TRUE(word.ok) << "any switch beginning with u means uninstall";
    EXPECT_EQ(word.line.uninstallProduct, u"Name");
}

TEST(ParseCommandLine, Rejections) {
    struct Case {
        const char16_t* arguments;
        const char16_t* reason;
    } cases[] = {
        {u"a", u"Unexpected command-line parameter:\r\na"},
        {u"/a:x", u"Illegal command-line atom:\r\na:x"},
        {u"-silentx", u"Illegal command-line atom:\r\nsilentx"},
        {u"/dX", u"Illegal command-line atom:\r\ndX"},
        {u"/r:x", u"Illegal command-line atom:\r\nr:x"},
        {u"/u", u"/u requires Product Name"},
        {u"/u:\"\"", u"/u requires Product Name"},
        {u"/uninstall", u"/u requires Product Name"},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.arguments);
        EXPECT_FALSE(p.ok) << ToUtf8(String(c.arguments)).c_str();
        EXPECT_EQ(p.reason, c.reason);
    }
}

TEST(ParseCommandLine, SwitchesBeforeARejectionAreKept) {
    Parsed p = Parse(u"/silent /x");
    EXPECT_FALSE(p.ok);
    EXPECT_TRUE(p.line.silent) << "silent mode decides whether the usage box shows";
}

TEST(ParseCommandLine, LoneSlashIgnoredAndTwentiethAtomNeverExamined) {
    EXPECT_TRUE(Parse(u"/ - /a").ok);
    String nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen += u"/a ";
    Parsed p = Parse((nineteen + u"bogus").c_str());
    EXPECT_TRUE(p.ok);
    Parsed eighteen = Parse((nineteen.Sub(3) + u"bogus").c_str());
    EXPECT_FALSE(eighteen.ok) << "the 19th atom is still read";
}

TEST(UsageText, ExactText) {
    String text = UsageText(u"Illegal command-line atom:\r\nx", u"setup.exe");
    EXPECT_EQ(text,
              u"Illegal command-line atom:\r\nx\r\n\r\nUsage:\r\nsetup.exe [/a] [/b1:\"commands\"] "
              u"[/b2:\"commands\"] [/b3:\"commands\"] [/d:\"dir\"] [/n:\"name\"] [/u:\"name\"] "
              u"[/r:\"program\"] [/silent]\r\n\r\n/a                  \tAutomatic mode.\r\n/d:\"dir\"        "
              u"\tOverride installation path.\r\n/b1:\"commands\"\tAdd commands to the end of the "
              u"Pre-Installation Batch.\r\n/b2:\"commands\"\tAdd commands to the end of the "
              u"Post-Installation Batch.\r\n/b3:\"commands\"\tAdd commands to the end of the "
              u"Installation-Exit Batch.\r\n/n:\"name\"\tOverride product name.\r\n/u:\"name\"\tUninstall "
              u"product by name.\r\n/r:\"program\"\tRun the specified program after a successful "
              u"installation.\r\n/silent\tDisplay no user interface.");
}
