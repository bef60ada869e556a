// "Uninstall.dat": the records written and read back, the texts section, the section order,
// the path form, the CSV form, the reader's rules and the rewrite of a reduced file.
#include "uninstall/UninstallData.h"

#include "core/Text.h"
#include "support/TextPrint.h"
#include "uninstall/Deletion.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace cs;
using namespace std::string_literals;

namespace {

std::string Text(const String8& s) {
    return std::string(s.c_str(), s.Length());
}

// The texts section as the file lists it, written out here independently of the writer.
constexpr int kNumbers[] = {10, 15, 20, 30, 34, 35, 49,  53,  55,  56,  57,  58,  59,  65,  67,  68, 69,
                            70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111, 115, 116};

std::string StringsSection(const std::map<int, std::string>& texts, const std::string& caption) {
    std::string out = "\r\n\r\n[Strings]\r\n";
    for (int number : kNumbers) {
        auto it = texts.find(number);
        out += "~" + std::to_string(number) + "\r\n" + (it == texts.end() ? "" : it->second) + "\r\n";
    }
    return out + "~999\r\n" + caption + "\r\n";
}

// A table of two languages; the installation's language is 1.
LanguageTable TwoLanguages(const std::map<int, String>& texts) {
    LanguageTable table;
    table.names = {u"Deutsch", u"English"};
    table.stringCount = 200;
    table.strings.assign(size_t(table.stringCount) * 2, String());
    for (int number = 0; number < table.stringCount; ++number)
        table.At(number, 0) = u"other language";
    for (const auto& [number, text] : texts)
        table.At(number, 1) = text;
    return table;
}

UninstallFile Read(const std::string& bytes) {
    UninstallFile file;
    ReadUninstallData(bytes, file);
    return file;
}

AutoCloseEntry Close(const char16_t* windowClass, const char16_t* title, const char16_t* name, uint8_t mode) {
    AutoCloseEntry entry;
    entry.windowClass = windowClass;
    entry.windowTitle = title;
    entry.displayName = name;
    entry.mode = mode;
    entry.passMask = 0x2;
    return entry;
}

FileDeletion Deletion(const char* pattern, uint8_t condition, const char* value, uint8_t flags) {
    FileDeletion record;
    record.pattern = pattern;
    record.condition = condition;
    record.value = value;
    record.flags = flags;
    return record;
}

} // namespace

// ---- Round trip ------------------------------------------------------------------------------

TEST(UninstallData, RoundTrip) {
    UninstallRecords records;
    ASSERT_TRUE(RecordUninstallPath(records, u"C:\\Program Files\\Tool", UninstallKind::kFolder));
    ASSERT_TRUE(RecordUninstallPath(records, u"C:\\Program Files\\Tool\\tool.exe", UninstallKind::kFile));
    ASSERT_TRUE(RecordUninstallPath(records, u"C:\\Program Files\\Tool\\Müller.txt", UninstallKind::kFile));
    ASSERT_TRUE(RecordUninstallPath(records, u"HKCU\\Software\\Tool\\Größe", UninstallKind::kRegistryValue));
    ASSERT_TRUE(RecordUninstallPath(records, u"HKLM\\Software\\Tool", UninstallKind::kRegistryKey));
    ASSERT_TRUE(RecordUninstallPath(records, u"HKLM\\Software\\Tool64", UninstallKind::kRegistryKey64));
    records.autoClose = {Close(u"ToolWindow", u"*Tool", u"Tool, the editor", 2),
                         Close(u"", u"Helper", u"Helper", 0)};
    AppendAssociationRecord(records, u".tol", u"Tool.Document", u"open", u"C:\\Program Files\\Tool\\doc.ico");
    records.firewall = "C:\\Program Files\\Tool\\tool.exe;Tool;3;\r\n";
    records.inf = "C:\\Program Files\\Tool\\driver.inf\r\n";
    AppendMsiRecord(records, u"C:\\Program Files\\Tool\\runtime.msi", 2);
    records.registry2 = "HKCU\\Software\\Tool\r\nHKCU\\Software\\Tool,Size,4,\"1,2\",2\r\n";
    records.deletions = {Deletion("%InstallDir%\\*.tmp", 4, "0", 0x8), Deletion("C:\\x.log", 0, "", 0x4)};
    LanguageTable texts =
        TwoLanguages({{10, u"Entfernen"}, {55, u"Zeile eins\r\nZeile zwei"}, {116, u"Ende"}});

    String8 bytes = WriteUninstallData(records, texts, 1, u"Werkzeug einrichten");
    UninstallFile file = Read(Text(bytes));

    struct Expected {
        UninstallKind kind;
        const char16_t* path;
    };
    const Expected body[] = {
        {UninstallKind::kFolder, u"C:\\Program Files\\Tool"},
        {UninstallKind::kFile, u"C:\\Program Files\\Tool\\tool.exe"},
        {UninstallKind::kFile, u"C:\\Program Files\\Tool\\Müller.txt"},
        {UninstallKind::kRegistryValue, u"HKCU\\Software\\Tool\\Größe"},
        {UninstallKind::kRegistryKey, u"HKLM\\Software\\Tool"},
        {UninstallKind::kRegistryKey64, u"HKLM\\Software\\Tool64"},
    };
    ASSERT_EQ(file.body.Count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(file.body[i].kind, body[i].kind) << i;
        EXPECT_EQ(file.body[i].path, body[i].path) << i;
    }
    EXPECT_EQ(file.texts.Get(10, 0), u"Entfernen");
    EXPECT_EQ(file.texts.Get(55, 0), u"Zeile eins\r\nZeile zwei");
    EXPECT_EQ(file.texts.Get(116, 0), u"Ende");
    EXPECT_EQ(file.texts.Get(15, 0), u"");
    EXPECT_EQ(file.caption, u"Werkzeug einrichten");
    ASSERT_EQ(file.autoClose.Count(), 2);
    EXPECT_EQ(file.autoClose[0].windowClass, u"ToolWindow");
    EXPECT_EQ(file.autoClose[0].windowTitle, u"*Tool");
    EXPECT_EQ(file.autoClose[0].displayName, u"Tool, the editor");
    EXPECT_EQ(file.autoClose[0].mode, 2);
    EXPECT_EQ(file.autoClose[1].windowClass, u"");
    EXPECT_EQ(file.autoClose[1].mode, 0);
    ASSERT_EQ(file.associations.Count(), 1);
    EXPECT_EQ(file.associations[0].extension, u".tol");
    EXPECT_EQ(file.associations[0].typeKey, u"Tool.Document");
    EXPECT_EQ(file.associations[0].verb, u"open");
    EXPECT_EQ(file.associations[0].iconPath, u"C:\\Program Files\\Tool\\doc.ico");
    ASSERT_EQ(file.firewall.Count(), 1);
    EXPECT_EQ(file.firewall[0].target, u"C:\\Program Files\\Tool\\tool.exe");
    EXPECT_EQ(file.firewall[0].protocols, 3u);
    ASSERT_EQ(file.inf.Count(), 1);
    EXPECT_EQ(file.inf[0], u"C:\\Program Files\\Tool\\driver.inf");
    ASSERT_EQ(file.msi.Count(), 1);
    EXPECT_EQ(file.msi[0].path, u"C:\\Program Files\\Tool\\runtime.msi");
    EXPECT_EQ(file.msi[0].uiLevel, 2);
    EXPECT_EQ(Text(file.registry2), Text(records.registry2));
    ASSERT_EQ(file.deletions.Count(), 1); // only the record meant for the uninstaller is written
    EXPECT_EQ(Text(file.deletions[0].pattern), "%InstallDir%\\*.tmp");
    EXPECT_EQ(file.deletions[0].condition, 4);
    EXPECT_EQ(Text(file.deletions[0].value), "0");
    EXPECT_EQ(file.deletions[0].flags, 0x8);

    // What was read, collected again, gives the same bytes.
    UninstallRecords again;
    for (const UninstallBodyRecord& record : file.body) {
        std::string_view line = record.line.View();
        if (record.kind != UninstallKind::kFile) line.remove_prefix(1);
        ASSERT_TRUE(RecordUninstallLine(again, line, record.kind));
    }
    LoadForRewrite(file, again);
    for (const UninstallAssociation& a : file.associations)
        AppendAssociationRecord(again, a.extension, a.typeKey, a.verb, a.iconPath);
    for (const UninstallFirewallRule& rule : file.firewall)
        again.firewall += rule.line + "\r\n";
    again.inf = ToPathForm(file.inf[0]) + "\r\n";
    for (const UninstallMsiPackage& package : file.msi)
        AppendMsiRecord(again, package.path, package.uiLevel);
    EXPECT_EQ(Text(WriteUninstallData(again, file.texts, 0, file.caption)), Text(bytes));
}

// ---- Writing ---------------------------------------------------------------------------------

TEST(UninstallData, EmptyBodyHasTheStringsSectionOnly) {
    UninstallRecords records;
    LanguageTable texts =
        TwoLanguages({{10, u"Désinstaller"}, {30, u"Two\r\nlines"}, {116, u"Last"}, {11, u"unused"}});
    std::string expected = StringsSection({{10, "D\xC3\xA9sinstaller"}, {30, "Two\r\nlines"}, {116, "Last"}},
                                          "Caption \xC3\xBC");
    std::string bytes = Text(WriteUninstallData(records, texts, 1, u"Caption ü"));
    EXPECT_EQ(bytes, expected);
    size_t entries = 0;
    for (size_t at = bytes.find("\r\n~"); at != std::string::npos; at = bytes.find("\r\n~", at + 1))
        ++entries;
    EXPECT_EQ(entries, 34u);
}

TEST(UninstallData, RecordLineKindsAndRefusals) {
    struct Case {
        std::string text;
        UninstallKind kind;
        bool added;
        std::string line; // what the body gains
    } const cases[] = {
        {"C:\\a", UninstallKind::kFile, true, "C:\\a\r\n"},
        {"C:\\", UninstallKind::kFile, false, ""}, // shorter than 4 bytes
        {"", UninstallKind::kFolder, false, ""},
        {"C:\\Folder", UninstallKind::kFolder, true, "~C:\\Folder\r\n"},
        {"HKCU\\Software\\V", UninstallKind::kRegistryValue, true, "!HKCU\\Software\\V\r\n"},
        {"HKLM\\Software\\K", UninstallKind::kRegistryKey, true, "^HKLM\\Software\\K\r\n"},
        {"HKLM\\Software\\K", UninstallKind::kRegistryKey64, true, "*HKLM\\Software\\K\r\n"},
        // A line end or NUL would split the record into lines read as other records.
        {"HKCU\\S\\Name\r\n[Registry2]", UninstallKind::kRegistryValue, false, ""},
        {"HKCU\\S\\Name\nHKLM", UninstallKind::kRegistryValue, false, ""},
        {"C:\\a\0b.txt"s, UninstallKind::kFile, false, ""},
        // A file line beginning with a kind character would read back as another kind.
        {"*HKLM\\Software", UninstallKind::kFile, false, ""},
        {"~C:\\Folder2", UninstallKind::kFile, false, ""},
    };
    for (const Case& c : cases) {
        UninstallRecords records;
        EXPECT_EQ(RecordUninstallLine(records, c.text, c.kind), c.added) << c.text;
        EXPECT_EQ(Text(records.body), c.line) << c.text;
    }
}

TEST(UninstallData, FolderRecordedOnceIgnoringCase) {
    UninstallRecords records;
    EXPECT_TRUE(RecordUninstallPath(records, u"C:\\Apps\\Tool", UninstallKind::kFolder));
    EXPECT_FALSE(RecordUninstallPath(records, u"c:\\apps\\TOOL", UninstallKind::kFolder));
    EXPECT_TRUE(RecordUninstallPath(records, u"C:\\Apps\\Café", UninstallKind::kFolder));
    EXPECT_FALSE(RecordUninstallPath(records, u"C:\\APPS\\CAFÉ", UninstallKind::kFolder));
    EXPECT_TRUE(RecordUninstallPath(records, u"C:\\Apps\\Tool2", UninstallKind::kFolder));
    // A file of the same path is not a folder: it is recorded.
    EXPECT_TRUE(RecordUninstallPath(records, u"C:\\Apps\\Tool", UninstallKind::kFile));
    EXPECT_EQ(Text(records.body),
              "~C:\\Apps\\Tool\r\n~|C:\\Apps\\Caf\xC3\xA9\r\n~C:\\Apps\\Tool2\r\nC:\\Apps\\Tool\r\n");

    ClearUninstallRecords(records);
    EXPECT_EQ(Text(records.body), "");
    EXPECT_TRUE(RecordUninstallPath(records, u"C:\\APPS\\TOOL", UninstallKind::kFolder));
}

TEST(UninstallData, PathAbove127IsBarAndUtf8) {
    struct Case {
        const char16_t* path;
        UninstallKind kind;
        std::string line;
    } const cases[] = {
        {u"C:\\Programme\\Müller\\ü.exe", UninstallKind::kFile,
         "|C:\\Programme\\M\xC3\xBCller\\\xC3\xBC.exe"},
        {u"C:\\Данные", UninstallKind::kFolder, "~|C:\\\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5"},
        {u"HKLM\\Software\\Café", UninstallKind::kRegistryKey, "^|HKLM\\Software\\Caf\xC3\xA9"},
        {u"HKLM\\Software\\Café", UninstallKind::kRegistryKey64, "*|HKLM\\Software\\Caf\xC3\xA9"},
        {u"HKCU\\Software\\Café\\Wert", UninstallKind::kRegistryValue, "!HKCU\\Software\\Caf\xC3\xA9\\Wert"},
        {u"C:\\Plain\\ascii.txt", UninstallKind::kFile, "C:\\Plain\\ascii.txt"},
    };
    for (const auto& c : cases) {
        UninstallRecords records;
        ASSERT_TRUE(RecordUninstallPath(records, c.path, c.kind));
        EXPECT_EQ(Text(records.body), c.line + "\r\n");
        UninstallFile file = Read(Text(records.body));
        ASSERT_EQ(file.body.Count(), 1);
        EXPECT_EQ(file.body[0].kind, c.kind);
        EXPECT_EQ(file.body[0].path, c.path);
    }
}

TEST(UninstallData, SectionsInOrderAndOnlyWithContent) {
    LanguageTable texts = TwoLanguages({});
    UninstallRecords records;
    // Blank section texts and entries not meant for the uninstaller make no section.
    records.associations = "\r\n";
    records.registry2 = "  \r\n";
    AutoCloseEntry installOnly = Close(u"A", u"B", u"C", 0);
    installOnly.passMask = 0x1;
    records.autoClose = {installOnly};
    records.deletions = {Deletion("C:\\a.tmp", 0, "", 0x4)};
    std::string bytes = Text(WriteUninstallData(records, texts, 1, u""));
    EXPECT_EQ(bytes, StringsSection({}, ""));
    EXPECT_EQ(bytes.find("[Associations]"), std::string::npos);

    records.autoClose[0].passMask = 0x3;
    records.associations = ".a~!~A.File~!~open~!~";
    records.firewall = "80;Web;1;";
    records.inf = "C:\\d.inf\r\n";
    records.msi = "\"C:\\p.msi\",3\r\n";
    records.registry2 = "HKCU\\Software\\X\r\n";
    records.deletions[0].flags = 0xC;
    bytes = Text(WriteUninstallData(records, texts, 1, u""));
    EXPECT_EQ(bytes, StringsSection({}, "") + "\r\n\r\n[AutoClose]\r\nA,B,C,0\r\n"
                                              "\r\n\r\n[Associations]\r\n.a~!~A.File~!~open~!~\r\n"
                                              "\r\n\r\n[Firewall]\r\n80;Web;1;\r\n"
                                              "\r\n\r\n[INF]\r\nC:\\d.inf\r\n"
                                              "\r\n\r\n[MSI]\r\n\"C:\\p.msi\",3\r\n"
                                              "\r\n\r\n[Registry2]\r\nHKCU\\Software\\X\r\n"
                                              "\r\n\r\n[ConditionalDelete]\r\nC:\\a.tmp,0,,12\r\n");
}

// ---- CSV form --------------------------------------------------------------------------------

TEST(UninstallData, CsvQuoting) {
    struct Case {
        std::string field, written;
    } const cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"mid space", "mid space"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a\tb", "\"a\tb\""},
        {"a\rb", "\"a\rb\""},
        {"a\nb", "\"a\nb\""},
        {"a;b", "\"a;b\""},
        {"a|b", "\"a|b\""},
        {" lead", "\" lead\""},
        {"'quote", "\"'quote\""},
        {"#hash", "\"#hash\""},
        {"trail ", "\"trail \""},
        {"it's", "it's"},
        {"a#", "a#"},
        {"\t", "\"\t\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(CsvField(c.field)), c.written) << c.field;
        // Each field survives a record with a neighbour on both sides.
        Array<String8> fields = {String8("x"), String8(c.field.data(), c.field.size()), String8("y")};
        String8 record = CsvRecord(fields);
        EXPECT_EQ(Text(record), "x," + c.written + ",y");
        Array<Array<String8>> parsed = ParseCsv((Text(record) + "\r\n").c_str());
        ASSERT_EQ(parsed.Count(), 1) << c.field;
        ASSERT_EQ(parsed[0].Count(), 3) << c.field;
        EXPECT_EQ(Text(parsed[0][1]), c.field);
    }
    EXPECT_EQ(Text(CsvRecord(Array<String8>{String8()})), "\"\"");
    EXPECT_EQ(Text(CsvRecord(Array<String8>{String8(), String8()})), ",");
    Array<Array<String8>> single = ParseCsv("\"\"\r\n");
    ASSERT_EQ(single.Count(), 1);
    ASSERT_EQ(single[0].Count(), 1);
    EXPECT_EQ(Text(single[0][0]), "");
}

TEST(UninstallData, CsvBlocks) {
    Array<Array<String8>> records = ParseCsv("a,b\r\n\r\n  c , d  \r\n\"multi\r\nline\",x\r\ne,\r\n");
    ASSERT_EQ(records.Count(), 4);
    EXPECT_EQ(records[0].Count(), 2);
    EXPECT_EQ(Text(records[1][0]), "c ");
    EXPECT_EQ(Text(records[1][1]), " d");
    EXPECT_EQ(Text(records[2][0]), "multi\r\nline");
    EXPECT_EQ(Text(records[2][1]), "x");
    ASSERT_EQ(records[3].Count(), 2);
    EXPECT_EQ(Text(records[3][1]), "");
    EXPECT_EQ(ParseCsv("\"unterminated,x").Count(), 1);
}

// ---- Reading ---------------------------------------------------------------------------------

TEST(UninstallData, TextNumbersOutsideOneToThousandAreIgnoredWithTheirLines) {
    UninstallFile file = Read("[Strings]\r\n"
                              "stray line before any text\r\n"
                              "~10\r\nTen\r\n"
                              "~1001\r\nLost one\r\nLost two\r\n"
                              "~15\r\nFifteen\r\n  second line  \r\n"
                              "~0\r\nzero\r\n"
                              "~abc\r\nletters\r\n"
                              "~99999999999999999999999\r\nhuge\r\n"
                              "~-5\r\nnegative\r\n"
                              "~1000\r\nThousand\r\n"
                              "~1\r\nOne\r\n"
                              "~999\r\nCaption\r\n\r\n\r\n");
    std::map<int, std::u16string> expected = {
        {10, u"Ten"}, {15, u"Fifteen\r\nsecond line"}, {1000, u"Thousand"}, {1, u"One"}};
    for (int number = 0; number <= 1000; ++number) {
        auto it = expected.find(number);
        EXPECT_EQ(file.texts.Get(number, 0), it == expected.end() ? u"" : it->second.c_str()) << number;
    }
    EXPECT_EQ(file.caption, u"Caption");
    EXPECT_EQ(file.texts.Get(1001, 0), u"");
}

TEST(UninstallData, ReaderSectionsAndFieldCounts) {
    UninstallFile file = Read("C:\\App\\a.exe\r\n"
                              "  C:\\App\\trimmed.exe  \r\n"
                              "\r\n"
                              "C:\\\r\n"      // too short to be a record
                              "[Unknown]\r\n" // not a header: a line of the body
                              "~C:\\App\r\n"
                              "[strings]\r\n" // headers are exact: a line of the body
                              "  [AutoClose]  \r\n"
                              "Cls,Title,Name,1\r\n"
                              "Cls,Title,Name\r\n"         // 3 fields
                              "Cls,Title,Name,2,extra\r\n" // 5 fields
                              "Cls,Title,Name,x\r\n"       // no mode
                              "Cls,Title,Name,4\r\n"       // no such mode
                              "Ask,,\"Editor, Pro\",2\r\n"
                              "[Associations]\r\n"
                              " .a ~!~ A.File ~!~ open ~!~ C:\\a.ico \r\n"
                              ".b~!~B.File~!~~!~C:\\b.ico\r\n" // no verb
                              ".c~!~C.File\r\n"                // no verb
                              ".d~!~D.File~!~edit\r\n"         // no icon
                              "[Firewall]\r\n"
                              "8080;Web;1;\r\n"
                              "C:\\App\\a.exe;App;3\r\n"     // 3 fields
                              "C:\\App\\a.exe;App;3;x;y\r\n" // 5 fields
                              "C:\\App\\a.exe;App;tcp;\r\n"  // mask not a number
                              "[INF]\r\n"
                              "|C:\\Treiber\\\xC3\xBC.inf\r\n"
                              "|[Strings]\r\n" // would be written back as a header
                              "drv.inf\r\n"    // not a full path
                              "[MSI]\r\n"
                              "\"C:\\App\\x.msi\",2\r\n"
                              "\"C:\\App, Inc\\y.msi\",3\r\n" // a comma inside the quotes
                              "\"C:\\App\\z.msi\"\r\n"        // 1 field
                              "\"C:\\App\\z.msi\",2,1\r\n"    // 3 fields
                              "[Registry2]\r\n"
                              "HKCU\\Software\\App\r\n"
                              "  HKCU\\Software\\App,V,1,\"a\r\n  b\",2\r\n"
                              "[ConditionalDelete]\r\n"
                              "C:\\App\\*.log,0,,8\r\n"
                              "C:\\App\\*.tmp,4,100\r\n" // 3 fields
                              "C:\\App\\*.bak,x,,8\r\n"  // condition not a number
                              "\"C:\\App\\a,b.txt\",1,\"2024-01-02\",9\r\n");

    ASSERT_EQ(file.body.Count(), 5);
    EXPECT_EQ(file.body[0].path, u"C:\\App\\a.exe");
    EXPECT_EQ(file.body[1].path, u"C:\\App\\trimmed.exe");
    EXPECT_EQ(file.body[2].path, u"[Unknown]");
    EXPECT_EQ(file.body[3].kind, UninstallKind::kFolder);
    EXPECT_EQ(file.body[3].path, u"C:\\App");
    EXPECT_EQ(Text(file.body[3].line), "~C:\\App");
    EXPECT_EQ(file.body[4].path, u"[strings]");

    ASSERT_EQ(file.autoClose.Count(), 2);
    EXPECT_EQ(file.autoClose[0].mode, 1);
    EXPECT_EQ(AutoClosePass(file.autoClose[0]), ClosePass::kBeforeConfirmation);
    EXPECT_EQ(file.autoClose[1].displayName, u"Editor, Pro");
    EXPECT_EQ(AutoClosePass(file.autoClose[1]), ClosePass::kAfterConfirmation);

    ASSERT_EQ(file.associations.Count(), 2);
    EXPECT_EQ(file.associations[0].extension, u".a");
    EXPECT_EQ(file.associations[0].typeKey, u"A.File");
    EXPECT_EQ(file.associations[0].verb, u"open");
    EXPECT_EQ(file.associations[0].iconPath, u"C:\\a.ico");
    EXPECT_EQ(file.associations[1].extension, u".d");
    EXPECT_EQ(file.associations[1].iconPath, u"");

    ASSERT_EQ(file.firewall.Count(), 1);
    EXPECT_EQ(file.firewall[0].target, u"8080");
    EXPECT_EQ(file.firewall[0].protocols, 1u);

    ASSERT_EQ(file.inf.Count(), 1);
    EXPECT_EQ(file.inf[0], u"C:\\Treiber\\ü.inf");

    ASSERT_EQ(file.msi.Count(), 2);
    EXPECT_EQ(file.msi[0].path, u"C:\\App\\x.msi");
    EXPECT_EQ(file.msi[1].path, u"C:\\App, Inc\\y.msi");
    EXPECT_EQ(file.msi[1].uiLevel, 3);

    EXPECT_EQ(Text(file.registry2), "HKCU\\Software\\App\r\n  HKCU\\Software\\App,V,1,\"a\r\n  b\",2\r\n");
    Array<Array<String8>> registry = ParseCsv(file.registry2.View());
    ASSERT_EQ(registry.Count(), 2);
    EXPECT_EQ(registry[0].Count(), 1);
    ASSERT_EQ(registry[1].Count(), 5);
    EXPECT_EQ(Text(registry[1][3]), "a\r\n  b");

    ASSERT_EQ(file.deletions.Count(), 2);
    EXPECT_EQ(Text(file.deletions[0].pattern), "C:\\App\\*.log");
    EXPECT_EQ(Text(file.deletions[1].pattern), "C:\\App\\a,b.txt");
    EXPECT_EQ(file.deletions[1].condition, 1);
    EXPECT_EQ(Text(file.deletions[1].value), "2024-01-02");
    EXPECT_EQ(file.deletions[1].flags, 9);
}

TEST(UninstallData, ReaderTakesBareLineFeedsAndAnEditorsByteOrderMark) {
    UninstallFile file = Read("\xEF\xBB\xBF"
                              "C:\\App\\a.exe\n~C:\\App\n[Strings]\n~10\nTen\n");
    ASSERT_EQ(file.body.Count(), 2);
    EXPECT_EQ(file.body[0].path, u"C:\\App\\a.exe");
    EXPECT_EQ(file.texts.Get(10, 0), u"Ten");
}

// ---- Rewrite ---------------------------------------------------------------------------------

TEST(UninstallData, RewriteOfAReducedFile) {
    const std::map<int, std::string> texts = {
        {10, "Deinstallieren"}, {55, "Zeile\r\nzwei"}, {116, "Fertig \xE2\x9C\x93"}};
    const std::string strings = StringsSection(texts, "Werkzeug");
    const std::string original =
        "~C:\\App\r\n"
        "C:\\App\\gone.exe\r\n"
        "C:\\App\\locked.dll\r\n"
        "|C:\\App\\gesperrt-\xC3\xBC.dll\r\n"
        "^HKCU\\Software\\App\r\n" +
        strings +
        "\r\n\r\n[AutoClose]\r\nAppWnd,,\"App, the tool\",2\r\n"
        "\r\n\r\n[Associations]\r\n.app~!~App.File~!~open~!~C:\\App\\a.ico\r\n"
        "\r\n\r\n[Firewall]\r\nC:\\App\\gone.exe;App;3;\r\n"
        "\r\n\r\n[INF]\r\nC:\\App\\drv.inf\r\n"
        "\r\n\r\n[MSI]\r\n\"C:\\App\\ok.msi\",2\r\n\"C:\\App\\failed.msi\",3\r\n"
        "\r\n\r\n[Registry2]\r\nHKCU\\Software\\App\r\nHKCU\\Software\\App,V,1,x,2\r\n"
        "\r\n\r\n[ConditionalDelete]\r\nC:\\App\\*.log,0,,8\r\nC:\\App\\*.tmp,0,,8\r\n";
    UninstallFile file = Read(original);

    // The uninstaller: files whose deletion failed are recorded again, the failed MSI line is
    // appended again, the conditional deletion that succeeded leaves the list.
    UninstallRecords records;
    RecordUninstallPath(records, u"C:\\Stale\\left.txt", UninstallKind::kFile);
    ClearUninstallRecords(records);
    LoadForRewrite(file, records);
    for (const UninstallBodyRecord& record : file.body) {
        if (record.kind == UninstallKind::kFile && record.line.View() != "C:\\App\\gone.exe") {
            EXPECT_TRUE(RecordUninstallLine(records, record.line.View(), UninstallKind::kFile));
        }
    }
    for (const UninstallMsiPackage& package : file.msi)
        if (package.uiLevel == 3) records.msi += package.line + "\r\n";
    records.deletions.RemoveAt(0);

    const std::string reduced =
        "C:\\App\\locked.dll\r\n"
        "|C:\\App\\gesperrt-\xC3\xBC.dll\r\n" +
        strings +
        "\r\n\r\n[AutoClose]\r\nAppWnd,,\"App, the tool\",2\r\n"
        "\r\n\r\n[MSI]\r\n\"C:\\App\\failed.msi\",3\r\n"
        "\r\n\r\n[Registry2]\r\nHKCU\\Software\\App\r\nHKCU\\Software\\App,V,1,x,2\r\n"
        "\r\n\r\n[ConditionalDelete]\r\nC:\\App\\*.tmp,0,,8\r\n";
    EXPECT_EQ(Text(WriteUninstallData(records, file.texts, 0, file.caption)), reduced);
}

TEST(UninstallData, LineEndsInTextsAndFieldsCannotMakeOtherRecords) {
    UninstallRecords records;
    EXPECT_FALSE(AppendAssociationRecord(records, u".a", u"A.File\r\n[MSI]", u"open", u""));
    EXPECT_FALSE(AppendAssociationRecord(records, u".a", u"A.File", u"open", u"C:\\a.ico\n"));
    EXPECT_EQ(Text(records.associations), "");
    EXPECT_TRUE(AppendAssociationRecord(records, u".a", u"A.File", u"open", u""));
    records.autoClose = {Close(u"Cls", u"Line\none", u"Name", 0)};
    LanguageTable texts = TwoLanguages({{10, u"one\ntwo"}});
    std::string bytes = Text(WriteUninstallData(records, texts, 1, u"cap\nline"));
    EXPECT_NE(bytes.find("~10\r\none\r\ntwo\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("~999\r\ncap\r\nline\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nCls,\"Line\r\none\",Name,0\r\n"), std::string::npos) << bytes;

    // Read back, the texts and fields are what a second write gives again.
    UninstallFile file = Read(bytes);
    EXPECT_EQ(file.texts.Get(10, 0), u"one\r\ntwo");
    EXPECT_EQ(file.caption, u"cap\r\nline");
    ASSERT_EQ(file.autoClose.Count(), 1);
    EXPECT_EQ(file.autoClose[0].windowTitle, u"Line\r\none");
    ASSERT_EQ(file.associations.Count(), 1);
}
