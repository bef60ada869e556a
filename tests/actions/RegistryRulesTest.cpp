// The rules of the registry entries: list lines and their fields, numbers, key paths and
// their roots, the user hives, the data of every type, the actions, and the list as the
// uninstaller reads it back.
#include "actions/RegistryRules.h"

#include "core/Text.h"
#include "uninstall/UninstallData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cs;

namespace {

std::vector<std::string> Strings(const Array<String8>& fields) {
    std::vector<std::string> out;
    for (const String8& f : fields)
        out.emplace_back(f.View());
    return out;
}

std::string Utf8(const String& text) {
    return std::string(ToUtf8(text).View());
}

} // namespace

TEST(RegistryListLines, SplitAtLineFeedsWithTheirCarriageReturns) {
    Array<std::string_view> lines = RegistryListLines("a\r\nb\n\r\nc\rd\r\n");
    ASSERT_EQ(lines.Count(), 4);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], "b");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "c\rd"); // only the carriage return before the line feed goes
    EXPECT_EQ(RegistryListLines("").Count(), 0);
    EXPECT_EQ(RegistryListLines("last").Count(), 1);
}

TEST(RegistryListLines, FieldsKindsAndNumbers) {
    using K = RegistryLineKind;
    struct Case {
        const char* line;
        K kind;
        std::vector<std::string> fields;
        uint32_t type, action;
    } cases[] = {
        {"HKCU\\Software\\A", K::Key, {"HKCU\\Software\\A"}, 0, 0},
        {"  HKCU\\Software\\A \t", K::Key, {"HKCU\\Software\\A"}, 0, 0}, // a key line is trimmed
        {"", K::Blank, {""}, 0, 0},
        {" \t ", K::Blank, {""}, 0, 0},
        {"HKLM\\S,Name,4,12,1", K::Value, {"HKLM\\S", "Name", "4", "12", "1"}, 4, 1},
        // Leading spaces of each field are skipped, trailing ones kept.
        {" HKLM\\S,  Name , 1,  data, 3", K::Value, {"HKLM\\S", "Name ", "1", "data", "3"}, 1, 3},
        // Quoted fields keep commas, leading spaces and doubled quotes.
        {"\"HKLM\\S,x\",\" Na\"\"me\",1,\"a,b\",3",
         K::Value,
         {"HKLM\\S,x", " Na\"me", "1", "a,b", "3"},
         1,
         3},
        // Text after the closing quote belongs to the field.
        {"HKLM\\S,\"ab\"cd,1,x,3", K::Value, {"HKLM\\S", "abcd", "1", "x", "3"}, 1, 3},
        // A quote never closed runs to the end of the line: one field.
        {"\"HKLM\\S,a,1,d,3", K::Key, {"HKLM\\S,a,1,d,3"}, 0, 0},
        {"\"\"", K::Blank, {""}, 0, 0},
        // Empty type and data, as the lines appended for the uninstaller have them.
        {"HKLM\\S,,,,2", K::Value, {"HKLM\\S", "", "", "", "2"}, 0, 2},
        {"HKLM\\S,a,0x0B, 5 ,-1", K::Value, {"HKLM\\S", "a", "0x0B", "5 ", "-1"}, 11, 0xFFFFFFFF},
        {"HKLM\\S,a,1,d,",
         K::Value,
         {"HKLM\\S", "a", "1", "d", ""},
         1,
         0}, // a trailing comma: an empty action
        {"HKLM\\S,a,1", K::Illegal, {"HKLM\\S", "a", "1"}, 0, 0},
        {"HKLM\\S,a", K::Illegal, {"HKLM\\S", "a"}, 0, 0},
        {"HKLM\\S,a,1,d,3,x", K::Illegal, {"HKLM\\S", "a", "1", "d", "3", "x"}, 0, 0},
        {",", K::Illegal, {"", ""}, 0, 0},
        {"HKLM\\S,a,text,d,3", K::Illegal, {"HKLM\\S", "a", "text", "d", "3"}, 0, 0},
        {"HKLM\\S,a,1,d,write", K::Illegal, {"HKLM\\S", "a", "1", "d", "write"}, 0, 0},
    };
    for (const Case& c : cases) {
        RegistryLine line = ParseRegistryLine(c.line);
        EXPECT_EQ(line.kind, c.kind) << c.line;
        EXPECT_EQ(Strings(line.fields), c.fields) << c.line;
        if (c.kind == K::Value) {
            EXPECT_EQ(line.type, c.type) << c.line;
            EXPECT_EQ(line.action, c.action) << c.line;
        }
    }
}

TEST(RegistryNumbers, DecimalHexNegativeAndBlanks) {
    const uint64_t kUnchanged = 0xABCDEF;
    struct Case {
        const char* text;
        int bits;
        bool ok;
        uint64_t value;
    } cases[] = {
        {"12", 32, true, 12},
        {" \t12 ", 32, true, 12},
        {"+7", 32, true, 7},
        {"010", 32, true, 10}, // decimal, not octal
        {"0x1F", 32, true, 31},
        {"0XfF", 32, true, 255},
        {"", 32, true, 0},
        {"  ", 32, true, 0},
        {"-1", 32, true, 0xFFFFFFFF},
        {"-1", 64, true, 0xFFFFFFFFFFFFFFFF},
        {"-0", 32, true, 0},
        {"4294967295", 32, true, 0xFFFFFFFF},
        {"4294967296", 32, false, 0},
        {"4294967296", 64, true, 0x100000000},
        {"-2147483648", 32, true, 0x80000000},
        {"-2147483649", 32, false, 0},
        {"0xFFFFFFFF", 32, true, 0xFFFFFFFF},
        {"0x100000000", 32, false, 0},
        {"-0x80000000", 32, true, 0x80000000},
        {"-0x80000001", 32, false, 0},
        {"18446744073709551615", 64, true, 0xFFFFFFFFFFFFFFFF},
        {"18446744073709551616", 64, false, 0},
        {"-9223372036854775808", 64, true, 0x8000000000000000},
        {"-9223372036854775809", 64, false, 0},
        {"0x0102030405060708", 64, true, 0x0102030405060708},
        {"0x10000000000000000", 64, false, 0},
        {"99999999999999999999999", 64, false, 0},
        {"0x", 32, false, 0},
        {"-", 32, false, 0},
        {"--1", 32, false, 0},
        {"12x", 32, false, 0},
        {"1 2", 32, false, 0},
        {"0x1G", 32, false, 0},
        {"1.5", 32, false, 0},
        {"twelve", 32, false, 0},
    };
    for (const Case& c : cases) {
        uint64_t value = kUnchanged;
        EXPECT_EQ(ParseRegistryInteger(c.text, c.bits, value), c.ok) << c.text << " in " << c.bits << " bits";
        EXPECT_EQ(value, c.ok ? c.value : kUnchanged) << c.text << " in " << c.bits << " bits";
    }
}

TEST(RegistryKeyPaths, SixRootsInThreeSpellingsAndAllUsers) {
    using H = RegistryHive;
    struct Case {
        const char16_t* path;
        bool ok;
        H hive;
        const char16_t* subkey;
    } cases[] = {
        {u"HKEY_LOCAL_MACHINE\\Software\\X", true, H::LocalMachine, u"Software\\X"},
        {u"HKLM\\Software\\X", true, H::LocalMachine, u"Software\\X"},
        {u"\\HKLM\\Software\\X", true, H::LocalMachine, u"Software\\X"},
        {u"\\hkey_local_machine\\Software", true, H::LocalMachine, u"Software"},
        {u"hklm\\a", true, H::LocalMachine, u"a"},
        {u"HKLM", true, H::LocalMachine, u""},
        {u"HKEY_CURRENT_USER\\A", true, H::CurrentUser, u"A"},
        {u"HKCU\\A", true, H::CurrentUser, u"A"},
        {u"\\HkCu\\A", true, H::CurrentUser, u"A"},
        {u"HKEY_CLASSES_ROOT\\.txt", true, H::ClassesRoot, u".txt"},
        {u"HKCR\\.txt", true, H::ClassesRoot, u".txt"},
        {u"\\HKCR\\.txt", true, H::ClassesRoot, u".txt"},
        {u"HKEY_USERS\\S-1-5-21", true, H::Users, u"S-1-5-21"},
        {u"\\HKU\\S-1-5-21", true, H::Users, u"S-1-5-21"},
        {u"HKU\\S-1-5-21", true, H::Users, u"S-1-5-21"},
        {u"HKEY_CURRENT_CONFIG\\System", true, H::CurrentConfig, u"System"},
        {u"HKCC\\System", true, H::CurrentConfig, u"System"},
        {u"\\HKCC\\System", true, H::CurrentConfig, u"System"},
        {u"HKEY_DYN_DATA\\PerfStats", true, H::DynData, u"PerfStats"},
        {u"HKDD\\PerfStats", true, H::DynData, u"PerfStats"},
        {u"\\HKDD\\PerfStats", true, H::DynData, u"PerfStats"},
        {u"\\HKAU\\Software\\X", true, H::AllUsers, u"Software\\X"},
        {u"\\hkau\\Software", true, H::AllUsers, u"Software"},
        {u"HKAU\\Software", true, H::AllUsers, u"Software"},
        // Unknown roots.
        {u"HKU", false, H::LocalMachine, u""}, // the bracketed spelling needs its backslash
        {u"\\HKAU", false, H::LocalMachine, u""},
        {u"\\\\HKLM\\x", false, H::LocalMachine, u""}, // one leading backslash, not two
        {u"HKLMX\\y", false, H::LocalMachine, u""},
        {u"HKEY_LOCAL\\x", false, H::LocalMachine, u""},
        {u"Software\\X", false, H::LocalMachine, u""},
        {u"", false, H::LocalMachine, u""},
    };
    for (const Case& c : cases) {
        RegistryKeyPath path;
        EXPECT_EQ(ParseRegistryKeyPath(c.path, path), c.ok) << Utf8(c.path);
        if (!c.ok) continue;
        EXPECT_EQ(path.hive, c.hive) << Utf8(c.path);
        EXPECT_EQ(path.subkey, String(c.subkey)) << Utf8(c.path);
    }
}

TEST(RegistryKeyPaths, UserHivesLeaveOutTheDefaultServicesAndClasses) {
    struct Case {
        const char16_t* name;
        bool user;
    } cases[] = {
        {u"S-1-5-21-1004336348-1177238915-682003330-1001", true},
        {u"cs-test", true},
        {u".DEFAULT", false},
        {u".Default", false},
        {u"S-1-5-18", false},
        {u"S-1-5-19", false},
        {u"S-1-5-20", false},
        {u"S-1-5-21-1004336348-1177238915-682003330-1001_Classes", false},
        {u"x_classes", false},
        {u"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsUserHive(c.name), c.user) << Utf8(c.name);
    EXPECT_EQ(ProductRegistryView(0x1), RegistryView::Bits64);
    EXPECT_EQ(ProductRegistryView(0xFFFFFFFE), RegistryView::Bits32);
}

TEST(RegistryData, EachTypeConvertsItsData) {
    auto expand = [](String& text) {
        size_t at = Find(text, u"%InstallDir%");
        if (at != String::npos) text = text.Sub(0, at) + u"C:\\App" + text.Sub(at + 12);
    };
    using B = std::vector<uint8_t>;
    struct Case {
        uint32_t type;
        const char* data;
        bool valid;
        B bytes;
    } cases[] = {
        {kRegText,
         "%InstallDir%\\a",
         true,
         {'C', 0, ':', 0, '\\', 0, 'A', 0, 'p', 0, 'p', 0, '\\', 0, 'a', 0, 0, 0}},
        {kRegText, "\xC3\xA9", true, {0xE9, 0, 0, 0}}, // UTF-8 in, UTF-16LE out
        {kRegExpandableText, "%X%", true, {'%', 0, 'X', 0, '%', 0, 0, 0}},
        {kRegText, "", true, {0, 0}},
        {kRegBinary, "01 ab FF", true, {0x01, 0xAB, 0xFF}},
        {kRegBinary, "", true, {}},
        {kRegBinary, "0A0", true, {'0', 'A', '0'}}, // odd: the text as typed
        {kRegBinary, "0 A 0", true, {'0', ' ', 'A', ' ', '0'}},
        {kRegBinary, "zz", true, {'z', 'z'}}, // not hexadecimal: the text
        {kRegNumber, "12", true, {12, 0, 0, 0}},
        {kRegNumber, " 0x0A0B0C0D ", true, {0x0D, 0x0C, 0x0B, 0x0A}},
        {kRegNumber, "-2", true, {0xFE, 0xFF, 0xFF, 0xFF}},
        {kRegNumber, "", true, {0, 0, 0, 0}},
        {kRegNumber, "12 apples", false, {}},
        {kRegNumber, "4294967296", false, {}},
        {kRegNumber64, "0x0102030405060708", true, {8, 7, 6, 5, 4, 3, 2, 1}},
        {kRegNumber64, "-1", true, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {kRegNumber64, "x", false, {}},
        {0, "12", true, {}}, // REG_NONE
        {5, "12", true, {}}, // REG_DWORD_BIG_ENDIAN
        {7, "a", true, {}},  // REG_MULTI_SZ
        {10, "a", true, {}},
        {99, "a", true, {}},
    };
    for (const Case& c : cases) {
        RegistryData data = ConvertRegistryData(c.type, String8(c.data), expand);
        EXPECT_EQ(data.valid, c.valid) << c.type << " " << c.data;
        EXPECT_EQ(data.bytes, c.bytes) << c.type << " " << c.data;
    }
}

TEST(RegistryActions, WhatEachActionDoesAtBothEnds) {
    struct Case {
        uint32_t action;
        bool deleteAtInstall, write, onlyWhenMissing, deleteAtUninstall;
    } cases[] = {
        {0, false, false, false, false}, {1, false, true, false, false},
        {2, false, false, false, true},  {3, false, true, false, true},
        {4, true, false, false, false},  {5, true, false, false, true},
        {6, false, true, true, false},   {7, false, true, true, true},
        {8, false, false, false, false}, {0xFFFFFFFF, false, false, false, false},
    };
    for (const Case& c : cases) {
        RegistryActionRules r = RulesOfRegistryAction(c.action);
        EXPECT_EQ(r.deleteAtInstall, c.deleteAtInstall) << c.action;
        EXPECT_EQ(r.writeAtInstall, c.write) << c.action;
        EXPECT_EQ(r.onlyWhenMissing, c.onlyWhenMissing) << c.action;
        EXPECT_EQ(r.deleteAtUninstall, c.deleteAtUninstall) << c.action;
    }
}

// The records keep every key and value line as the step read its fields, and the
// uninstaller's CSV reader reads those same fields back; blank and illegal lines are left out.
TEST(RegistryUndo, RecordsReadBackAsTheFieldsTheStepRead) {
    const char* list = "HKCU\\Software\\A\r\n"
                       "\r\n"
                       " HKCU\\Software\\A, Name ,1,\"a,b\"\"c\",3\r\n"
                       "HKCU\\Software\\A,bad\r\n"
                       "\"\\HKAU\\Software\\B\",\" lead\",4,'x;y|z,7\r\n"
                       "HKLM\\S,a,text,d,3\r\n"
                       "HKLM\\S,,,,2";
    String8 records = RegistryUndoRecords(list);
    EXPECT_EQ(std::string(records.View()), "HKCU\\Software\\A\r\n"
                                           "HKCU\\Software\\A,\"Name \",1,\"a,b\"\"c\",3\r\n"
                                           "\\HKAU\\Software\\B,\" lead\",4,\"'x;y|z\",7\r\n"
                                           "HKLM\\S,,,,2\r\n");
    Array<Array<String8>> read = ParseCsv(records.View());
    Array<String8> kept;
    std::vector<std::vector<std::string>> expected;
    for (std::string_view line : RegistryListLines(list)) {
        RegistryLine parsed = ParseRegistryLine(line);
        if (parsed.kind == RegistryLineKind::Key || parsed.kind == RegistryLineKind::Value)
            expected.push_back(Strings(parsed.fields));
    }
    ASSERT_EQ(read.Count(), static_cast<int>(expected.size()));
    for (int i = 0; i < read.Count(); ++i)
        EXPECT_EQ(Strings(read[i]), expected[size_t(i)]);

    String8 appended;
    AppendRegistryLine(appended, {String8("\\HKLM\\Software\\App Paths\\a.exe"), String8(), String8(),
                                  String8(), String8("2")});
    AppendRegistryLine(appended, {String8("\\HKLM\\Software\\App Paths\\a.exe")});
    EXPECT_EQ(std::string(appended.View()), "\\HKLM\\Software\\App Paths\\a.exe,,,,2\r\n"
                                            "\\HKLM\\Software\\App Paths\\a.exe\r\n");
}
