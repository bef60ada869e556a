// The uninstaller's rules: the entry's values with their defaults and stored forms, the
// shared-file list, the folder order and the folders tried, the parent keys that may go, the
// "[Registry2]" undo steps and the feedback address.
#include "uninstall/UninstallerRules.h"

#include "core/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace cs;

namespace {

std::string Narrow(const String& s) {
    return std::string(ToUtf8(s).c_str());
}

// An uninstall entry in memory: text values and number values by name.
class FakeEntry final : public UninstallEntryReader {
  public:
    std::map<std::u16string, std::u16string> texts;
    std::map<std::u16string, uint64_t> numbers;
    bool Text(const char16_t* name, String& text) override {
        auto it = texts.find(name);
        if (it == texts.end()) return false;
        text = String(it->second);
        return true;
    }
    bool Number(const char16_t* name, uint64_t& number) override {
        auto it = numbers.find(name);
        if (it == numbers.end()) return false;
        number = it->second;
        return true;
    }
};

Array<String> Strings(std::initializer_list<const char16_t*> items) {
    Array<String> out;
    for (const char16_t* item : items)
        out.Append(String(item));
    return out;
}

std::vector<std::string> Narrow(const Array<String>& items) {
    std::vector<std::string> out;
    for (const String& item : items)
        out.push_back(Narrow(item));
    return out;
}

} // namespace

TEST(UninstallEntryValuesTest, AnEmptyEntryGivesTheDefaults) {
    FakeEntry entry;
    UninstallEntryValues v = ReadUninstallEntryValues(entry, 0x111111, 0x222222);
    EXPECT_EQ(v.uninstallFonts, 2u);
    EXPECT_EQ(v.uninstallShared, 2u);
    EXPECT_EQ(v.session, 0u);
    EXPECT_EQ(v.styling.titleColor, 0x111111u) << "the window text colour";
    EXPECT_EQ(v.styling.topColor, 0x222222u) << "the window colour";
    EXPECT_EQ(v.styling.titleShadow, 1u);
    EXPECT_EQ(v.styling.monoColor, 1u);
    EXPECT_EQ(v.styling.progressStyle, 2u);
    EXPECT_EQ(Narrow(v.styling.taskbarText), "Setup");
    EXPECT_DOUBLE_EQ(v.styling.titleSize, 1.0);
    EXPECT_TRUE(v.installLocation.IsEmpty());
}

TEST(UninstallEntryValuesTest, StoredFormsAreReadAsTheInstallationWroteThem) {
    FakeEntry entry;
    // Option word 2 0x80000001 high, option word 1 0x30600204 low: a negative 64-bit text.
    entry.texts[u"ProductFlags"] = u"-9223372031748210172";
    entry.texts[u"ProductFlags2"] = u"262144";
    entry.numbers[u"Bitness"] = 1;
    entry.numbers[u"UninstallShared"] = 0;
    entry.numbers[u"Session"] = 0x123456789ABCull;
    entry.numbers[u"TitleColor"] = 0x00FF8000;
    entry.texts[u"BannerFG"] = u"#102030";
    entry.texts[u"DialogBG"] = u"A0B0C0";
    entry.texts[u"TitleSize"] = u"1.5";
    entry.texts[u"InstallLocation"] = u"C:\\Program Files\\X";
    UninstallEntryValues v = ReadUninstallEntryValues(entry, 0, 0);
    EXPECT_EQ(v.optionWord1, 0x30600204u);
    EXPECT_EQ(v.optionWord2, 0x80000001u);
    EXPECT_EQ(v.payloadFlags, 0x40000u);
    EXPECT_EQ(v.bitness, 1u);
    EXPECT_EQ(v.uninstallShared, 0u) << "a stored 0 is not the default";
    EXPECT_EQ(v.session, 0x123456789ABCull);
    EXPECT_EQ(v.styling.titleColor, 0x00FF8000u);
    EXPECT_EQ(v.styling.bannerFG, 0x302010u) << "RRGGBB text, '#' skipped";
    EXPECT_EQ(v.styling.dialogBG, 0xC0B0A0u);
    EXPECT_DOUBLE_EQ(v.styling.titleSize, 1.5);
    EXPECT_EQ(Narrow(v.installLocation), "C:\\Program Files\\X");
}

TEST(UninstallEntryValuesTest, DialogZoomIsClamped) {
    const struct {
        int64_t stored;
        uint32_t zoom;
    } cases[] = {{0, 100},   {-5, 100},  {1, 50},    {49, 50},  {50, 50},
                 {120, 120}, {150, 150}, {151, 150}, {900, 150}};
    for (const auto& c : cases) {
        FakeEntry entry;
        entry.numbers[u"DialogZoom"] = static_cast<uint32_t>(c.stored);
        EXPECT_EQ(ReadUninstallEntryValues(entry, 0, 0).styling.dialogZoom, c.zoom) << c.stored;
    }
}

TEST(UninstallEntryValuesTest, ColourTextsOtherThanSixHexDigitsAreRefused) {
    uint32_t color = 7;
    for (const char16_t* bad : {u"", u"#12345", u"1234567", u"12345G", u"#"})
        EXPECT_FALSE(ParseColorText(bad, color)) << Narrow(String(bad));
    EXPECT_EQ(color, 7u);
    EXPECT_TRUE(ParseColorText(u" #ff0001 ", color));
    EXPECT_EQ(color, 0x0100FFu);
}

// Empty entries, and entries that are empty without their marker or path-form sign, are skipped.
TEST(SharedFilesTest, EntriesCarryTheirMarkers) {
    std::string list =
        "\"C:\\S\\a.dll^\";\"C:\\S\\b.tlb\xA9\";\"C:\\S\\c.dat \";\"C:\\S\\d.dat\";;\"|\";\"^\";"
        "\"|C:\\S\\\xC3\xA9.dll\"";
    Array<SharedFileEntry> entries = ParseSharedFiles(list);
    ASSERT_EQ(entries.Count(), 5);
    const struct {
        const char* path;
        SharedFileKind kind;
    } expected[] = {{"C:\\S\\a.dll", SharedFileKind::ComServer},
                    {"C:\\S\\b.tlb", SharedFileKind::TypeLibrary},
                    {"C:\\S\\c.dat", SharedFileKind::CountOnly},
                    {"C:\\S\\d.dat", SharedFileKind::Plain},
                    {"C:\\S\\\xC3\xA9.dll", SharedFileKind::Plain}};
    for (int i = 0; i < entries.Count(); ++i) {
        EXPECT_EQ(Narrow(entries[i].path), expected[i].path) << i;
        EXPECT_EQ(entries[i].kind, expected[i].kind) << i;
    }
}

TEST(FolderOrderTest, LongestFirstKeepsTheOrderOfEqualLengths) {
    Array<String> sorted =
        FoldersLongestFirst(Strings({u"C:\\P\\a", u"C:\\P\\a\\bb\\c", u"C:\\P\\b", u"C:\\P\\a\\bb"}));
    EXPECT_EQ(Narrow(sorted),
              (std::vector<std::string>{"C:\\P\\a\\bb\\c", "C:\\P\\a\\bb", "C:\\P\\a", "C:\\P\\b"}));
}

TEST(FolderOrderTest, ParentsStopBeforeTheInstallationFolderAndTheDrive) {
    EXPECT_EQ(Narrow(FolderAndParents(u"C:\\Prog\\X\\docs\\en", u"c:\\prog\\x\\")),
              (std::vector<std::string>{"C:\\Prog\\X\\docs\\en", "C:\\Prog\\X\\docs"}));
    // A folder outside the installation folder walks up to the drive, never including it.
    EXPECT_EQ(Narrow(FolderAndParents(u"D:\\Data\\X\\", u"C:\\Prog\\X")),
              (std::vector<std::string>{"D:\\Data\\X", "D:\\Data"}));
    EXPECT_TRUE(FolderAndParents(u"C:\\Prog\\X", u"C:\\Prog\\X").IsEmpty());
    // At most 50 folders are tried.
    String deep = u"C:\\r";
    for (int i = 0; i < 70; ++i)
        deep += u"\\d";
    EXPECT_EQ(FolderAndParents(deep, u"C:\\r").Count(), kMaxFolderLevels);
}

TEST(ParentKeysTest, TheHiveRootIsNeverAParent) {
    EXPECT_EQ(Narrow(ParentKeys(u"Software\\Vendor\\Product\\Sub", 20)),
              (std::vector<std::string>{"Software\\Vendor\\Product", "Software\\Vendor", "Software"}));
    EXPECT_EQ(Narrow(ParentKeys(u"Software\\Vendor\\Product\\Sub", 2)),
              (std::vector<std::string>{"Software\\Vendor\\Product", "Software\\Vendor"}));
    EXPECT_TRUE(ParentKeys(u"Software", 20).IsEmpty());
    // Below HKEY_USERS the user's hive (a name without a backslash) is never reached.
    EXPECT_EQ(Narrow(UserHiveParentKeys(u"S-1-5-21-1-1000\\Software\\Vendor\\Product", 20)),
              (std::vector<std::string>{"S-1-5-21-1-1000\\Software\\Vendor", "S-1-5-21-1-1000\\Software"}));
    // A remaining path shorter than 10 characters stops the walk.
    EXPECT_EQ(Narrow(UserHiveParentKeys(u"U\\Soft\\V\\P", 20)), (std::vector<std::string>{}));
}

TEST(RegistryUndoTest, ValuesGoFirstThenKeysLastRecordedFirst) {
    std::string block = "HKCU\\Software\\V\r\n"
                        "HKCU\\Software\\V\\P\r\n"
                        "HKCU\\Software\\V\\P,Kept,1,x,1\r\n"
                        "HKCU\\Software\\V\\P,Gone,1,x,3\r\n"
                        "HKLM\\Software\\V,\"a,b\",4,1,2\r\n"
                        "\\HKAU\\Software\\V,Each,1,,7\r\n"
                        "NOROOT\\Software\\V,Skipped,1,,3\r\n"
                        "HKCU\\Software\\V,Two,Fields\r\n";
    Array<RegistryUndoStep> steps = RegistryUndoSteps(block);
    ASSERT_EQ(steps.Count(), 5);
    EXPECT_TRUE(steps[0].deleteValue);
    EXPECT_EQ(Narrow(steps[0].valueName), "Gone");
    EXPECT_EQ(steps[0].key.hive, RegistryHive::CurrentUser);
    EXPECT_EQ(Narrow(steps[1].valueName), "a,b");
    EXPECT_EQ(steps[1].key.hive, RegistryHive::LocalMachine);
    EXPECT_EQ(steps[2].key.hive, RegistryHive::AllUsers);
    EXPECT_EQ(Narrow(steps[2].key.subkey), "Software\\V");
    EXPECT_FALSE(steps[3].deleteValue);
    EXPECT_EQ(Narrow(steps[3].key.subkey), "Software\\V\\P") << "the subkey before the key that holds it";
    EXPECT_EQ(Narrow(steps[4].key.subkey), "Software\\V");
}

TEST(RegistryUndoTest, ValueRecordsSplitAtTheLastBackslash) {
    RegistryKeyPath key;
    String name;
    ASSERT_TRUE(SplitValueRecord(u"HKEY_CURRENT_USER\\Software\\V\\Name", key, name));
    EXPECT_EQ(key.hive, RegistryHive::CurrentUser);
    EXPECT_EQ(Narrow(key.subkey), "Software\\V");
    EXPECT_EQ(Narrow(name), "Name");
    EXPECT_FALSE(SplitValueRecord(u"Software\\V\\Name", key, name)) << "no root";
    EXPECT_FALSE(SplitValueRecord(u"HKCU", key, name));
}

TEST(FeedbackAddressTest, TrimsAndPercentEncodes) {
    EXPECT_EQ(std::string(FeedbackAddress(u" \t\r\nhttp://x/?a=b c&d=\u00e9\r\n ").c_str()),
              "http://x/?a=b%20c&d=%C3%A9");
    EXPECT_EQ(std::string(FeedbackAddress(u"\t\r\n").c_str()), "");
    EXPECT_EQ(std::string(FeedbackAddress(u"a\x7f"
                                          u"b")
                              .c_str()),
              "a%7Fb");
}
