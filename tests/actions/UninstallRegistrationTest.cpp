// The uninstall entry's value list: the order of the values, every conditional row, the
// delete-if-empty rows, the number and colour forms, and the definition's own values.
#include "actions/UninstallRegistration.h"

#include "core/Text.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cs;

namespace {

std::string U8(const String& s) {
    return std::string(ToUtf8(s).View());
}

// A state as a plain installation leaves it: folders fixed, every optional text empty.
InstallerState PlainState() {
    InstallerState s;
    Definition& d = s.definition;
    d.productName = u"Sample";
    d.uninstallKeyName = u"Sample Key";
    d.productVersion = u"1.0";
    d.taskbarText = u"Sample Setup";
    d.dialogFont = u"Tahoma";
    s.folders.installDir = u"C:\\Program Files\\Sample";
    s.folders.uninstallerPath = u"C:\\Program Files\\Sample\\uninstall.exe";
    return s;
}

UninstallKeyRun PlainRun() {
    UninstallKeyRun run;
    run.installerPath = u"C:\\Downloads\\setup.exe";
    run.totalSize = 10 * 1024;
    run.year = 2026, run.month = 12, run.day = 10;
    return run;
}

const UninstallKeyValue* Find(const Array<UninstallKeyValue>& values, const char16_t* name) {
    for (const UninstallKeyValue& v : values)
        if (v.key.IsEmpty() && v.name == name) return &v;
    return nullptr;
}

std::vector<std::string> Names(const Array<UninstallKeyValue>& values) {
    std::vector<std::string> names;
    for (const UninstallKeyValue& v : values)
        names.push_back(U8(v.name));
    return names;
}

TEST(UninstallKeyValues, PlainInstallationWritesEveryRowInOrder) {
    Array<UninstallKeyValue> values = UninstallKeyValues(PlainState(), PlainRun());
    std::vector<std::string> expected = {"UninstallString",    "QuietUninstallString",
                                         "DisplayName",        "InstallSource",
                                         "Publisher",          "Bitness",
                                         "DisplayVersion",     "NoDowngradeBelow",
                                         "VersionMajor",       "VersionMinor",
                                         "ProductRegistry",    "ProductStartMenu",
                                         "SharedPath",         "ProductFonts",
                                         "ProductFlags",       "ProductFlags2",
                                         "UninstallBatch1",    "UninstallBatch2",
                                         "SharedFiles",        "UninstallSubdir",
                                         "AddToPathSubfolder", "ShortcutMode",
                                         "NotifyURL",          "SupportOffer",
                                         "DesktopFolder",      "UninstallFonts",
                                         "UninstallShared",    "Session",
                                         "Language",           "ProgressStyle",
                                         "FeedbackURL",        "EstimatedSize",
                                         "TaskbarText",        "DialogFont",
                                         "BannerFG",           "DialogZoom",
                                         "DisplayTitle",       "TitleColor",
                                         "TitleSize",          "TopColor",
                                         "BottomColor",        "MonoColor",
                                         "TitleShadow",        "TitlePosition",
                                         "TitleFont",          "CopyrightText",
                                         "CopyrightFont",      "CopyrightSize",
                                         "CopyrightColor",     "CopyrightPos",
                                         "BitmapSize",         "BitmapTPI",
                                         "StretchMode",        "InstallLocation",
                                         "InstallDate"};
    EXPECT_EQ(Names(values), expected);
}

TEST(UninstallKeyValues, CommandsNamesAndFolders) {
    Array<UninstallKeyValue> values = UninstallKeyValues(PlainState(), PlainRun());
    EXPECT_EQ(U8(Find(values, u"UninstallString")->text),
              "\"C:\\Program Files\\Sample\\uninstall.exe\" /u:\"Sample Key\"");
    EXPECT_EQ(U8(Find(values, u"QuietUninstallString")->text),
              "\"C:\\Program Files\\Sample\\uninstall.exe\" /a /u:\"Sample Key\"");
    EXPECT_EQ(U8(Find(values, u"DisplayName")->text), "Sample");
    EXPECT_EQ(U8(Find(values, u"InstallSource")->text), "C:\\Downloads\\setup.exe");
    EXPECT_EQ(U8(values[values.Count() - 2].text), "C:\\Program Files\\Sample");
    EXPECT_EQ(values.Last().kind, UninstallValueKind::AnsiText);
    EXPECT_EQ(U8(values.Last().text), "20261210");
}

// Each row that is deleted when its content is empty, with the field that fills it.
struct EmptyRow {
    const char16_t* name;
    void (*fill)(InstallerState&);
    UninstallValueKind written;
};

TEST(UninstallKeyValues, EmptyContentDeletesTheValue) {
    const EmptyRow rows[] = {
        {u"Publisher", [](InstallerState& s) { s.definition.publisher = u"P"; }, UninstallValueKind::Text},
        {u"DisplayVersion", [](InstallerState& s) { s.definition.productVersion = u"2"; },
         UninstallValueKind::AnsiText},
        {u"NoDowngradeBelow", [](InstallerState& s) { s.definition.noDowngradeBelow = u"1"; },
         UninstallValueKind::AnsiText},
        {u"ProductRegistry", [](InstallerState& s) { s.definition.productRegistry = u"R"; },
         UninstallValueKind::Text},
        {u"ProductStartMenu", [](InstallerState& s) { s.choices.startMenuFolder = u"M"; },
         UninstallValueKind::Text},
        {u"SharedPath", [](InstallerState& s) { s.folders.sharedDir = u"C:\\S"; }, UninstallValueKind::Text},
        {u"UninstallBatch1", [](InstallerState& s) { s.batchCommands[kBatchUninstall1] = "echo 1"; },
         UninstallValueKind::AnsiText},
        {u"UninstallBatch2", [](InstallerState& s) { s.batchCommands[kBatchUninstall2] = "echo 2"; },
         UninstallValueKind::AnsiText},
        {u"SharedFiles", [](InstallerState& s) { s.existing.sharedFiles = u"\"C:\\a.dll\""; },
         UninstallValueKind::AnsiText},
        {u"UninstallSubdir", [](InstallerState& s) { s.definition.uninstallSubdir = u"u"; },
         UninstallValueKind::Text},
        {u"AddToPathSubfolder", [](InstallerState& s) { s.definition.addToPathSubfolder = u"bin"; },
         UninstallValueKind::Text},
        {u"NotifyURL", [](InstallerState& s) { s.definition.links[kLinkNotifyUrl] = u"http://n"; },
         UninstallValueKind::AnsiText},
        {u"SupportOffer", [](InstallerState& s) { s.definition.supportOffer = u"o"; },
         UninstallValueKind::AnsiText},
        {u"DesktopFolder", [](InstallerState& s) { s.definition.desktopFolder = u"D"; },
         UninstallValueKind::Text},
        {u"Language", [](InstallerState& s) { s.choices.language = u"English"; }, UninstallValueKind::Text},
        {u"FeedbackURL", [](InstallerState& s) { s.definition.links[kLinkFeedbackUrl] = u"http://f"; },
         UninstallValueKind::Text},
    };
    for (const EmptyRow& row : rows) {
        SCOPED_TRACE(U8(row.name));
        InstallerState state = PlainState();
        state.definition.productVersion.Clear();
        EXPECT_EQ(Find(UninstallKeyValues(state, PlainRun()), row.name)->kind, UninstallValueKind::Delete);
        row.fill(state);
        Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
        const UninstallKeyValue* v = Find(values, row.name);
        EXPECT_EQ(v->kind, row.written);
        EXPECT_FALSE(v->text.IsEmpty());
    }
}

struct VersionRow {
    const char16_t* version;
    bool written;
    uint32_t major, minor;
};

TEST(UninstallKeyValues, VersionNumbersOnlyWithADot) {
    const VersionRow rows[] = {
        {u"5", false, 0, 0},
        {u"5.12.1", true, 5, 12},
        {u"10.", true, 10, 0},
        {u" 3.4beta", true, 3, 4},
        {u"v2.x", true, 0, 0},
        {u"", false, 0, 0},
        {u"99999999999.1", true, 0xFFFFFFFF, 1},
    };
    for (const VersionRow& row : rows) {
        SCOPED_TRACE(U8(row.version));
        InstallerState state = PlainState();
        state.definition.productVersion = row.version;
        Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
        ASSERT_EQ(Find(values, u"VersionMajor") != nullptr, row.written);
        ASSERT_EQ(Find(values, u"VersionMinor") != nullptr, row.written);
        if (!row.written) continue;
        EXPECT_EQ(Find(values, u"VersionMajor")->number, row.major);
        EXPECT_EQ(Find(values, u"VersionMinor")->number, row.minor);
    }
}

struct SizeRow {
    uint64_t bytes;
    bool written;
    uint32_t kb;
};

TEST(UninstallKeyValues, EstimatedSizeInKilobytesWhenItFits) {
    const SizeRow rows[] = {
        {0, false, 0},
        {1023, false, 0},
        {1024, true, 1},
        {5 * 1024 * 1024 + 1023, true, 5 * 1024},
        {0xFFFFFFFFull * 1024 + 1023, true, 0xFFFFFFFF},
        {0x100000000ull * 1024, false, 0},
    };
    for (const SizeRow& row : rows) {
        SCOPED_TRACE(row.bytes);
        UninstallKeyRun run = PlainRun();
        run.totalSize = row.bytes;
        Array<UninstallKeyValue> values = UninstallKeyValues(PlainState(), run);
        const UninstallKeyValue* v = Find(values, u"EstimatedSize");
        EXPECT_EQ(v->kind, row.written ? UninstallValueKind::Dword : UninstallValueKind::Delete);
        if (row.written) {
            EXPECT_EQ(v->number, row.kb);
        }
    }
}

TEST(UninstallKeyValues, FlagsAsDecimalTexts) {
    struct Row {
        uint32_t word1, word2, payloadFlags;
        const char *flags, *flags2;
    } rows[] = {
        {0x4, 0x0, 0x0, "4", "0"},
        {0x4, 0x1, 0x20, "4294967300", "32"},
        {0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, "9223372036854775807", "2147483648"},
        {0x4, 0x80000001, 0xFFFFFFFF, "-9223372032559808508", "4294967295"},
    };
    for (const Row& row : rows) {
        InstallerState state = PlainState();
        state.definition.optionWord1 = row.word1;
        state.definition.optionWord2 = row.word2;
        state.payloadFlags = row.payloadFlags;
        Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
        EXPECT_EQ(Find(values, u"ProductFlags")->kind, UninstallValueKind::AnsiText);
        EXPECT_EQ(U8(Find(values, u"ProductFlags")->text), row.flags);
        EXPECT_EQ(U8(Find(values, u"ProductFlags2")->text), row.flags2);
    }
}

TEST(UninstallKeyValues, NumberAndColourForms) {
    struct SizeForm {
        double size;
        const char* text;
    } sizes[] = {{1.0, "1"},     {1.25, "1.25"}, {0.0, "0"},     {2.5000001, "2.5"}, {0.1234567, "0.123457"},
                 {-1.5, "-1.5"}, {100.0, "100"}, {10.10, "10.1"}};
    for (const SizeForm& row : sizes)
        EXPECT_EQ(U8(SizeText(row.size)), row.text) << row.size;
    EXPECT_EQ(U8(ColorText(0x123456)), "563412");
    EXPECT_EQ(U8(ColorText(0x0000FF)), "FF0000");
    EXPECT_EQ(U8(ColorText(0xFFFEF7)), "F7FEFF");
    EXPECT_EQ(U8(DateText(2026, 12, 10)), "20261210");
    EXPECT_EQ(U8(DateText(2005, 1, 2)), "20050102");
    EXPECT_EQ(U8(DateText(2100, 7, 31)), "21000731");
}

TEST(UninstallKeyValues, StylingBlockOnlyWithTheBackgroundWindow) {
    InstallerState state = PlainState();
    state.definition.titleSize = 1.5;
    state.definition.copyrightColor = 0xABCDEF;
    Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
    EXPECT_EQ(U8(Find(values, u"TitleSize")->text), "1.5");
    EXPECT_EQ(U8(Find(values, u"CopyrightColor")->text), "EFCDAB");
    EXPECT_EQ(Find(values, u"TitleColor")->number, 0xFFFEF7u);

    state.definition.optionWord1 = kOpt1NoBackgroundWindow;
    values = UninstallKeyValues(state, PlainRun());
    for (const char16_t* name : {u"DisplayTitle", u"TitleSize", u"TopColor", u"BottomColor", u"MonoColor",
                                 u"CopyrightPos", u"BitmapSize", u"StretchMode"})
        EXPECT_EQ(Find(values, name), nullptr) << U8(name);
    EXPECT_NE(Find(values, u"DialogZoom"), nullptr);
}

TEST(UninstallKeyValues, MonochromeDeletesBottomColor) {
    for (bool mono : {false, true}) {
        InstallerState state = PlainState();
        state.monoColor = mono;
        state.definition.bottomColor = 0x102030;
        Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
        EXPECT_EQ(Find(values, u"BottomColor")->kind,
                  mono ? UninstallValueKind::Delete : UninstallValueKind::Dword);
        EXPECT_EQ(Find(values, u"MonoColor")->number, mono ? 1u : 0u);
    }
}

TEST(UninstallKeyValues, BitmapValuesOnlyWithABackgroundBitmap) {
    struct Row {
        uint32_t word1;
        const char* picture;
        bool written;
    } rows[] = {{0, "", false},
                {kOpt1BackgroundPicture, "", false},
                {0, "BM", false},
                {kOpt1BackgroundPicture, "BM", true}};
    for (const Row& row : rows) {
        InstallerState state = PlainState();
        state.definition.optionWord1 = row.word1;
        state.definition.backgroundPicture = row.picture;
        state.definition.bitmapSize = 40;
        state.definition.bitmapTpi = 7;
        state.definition.stretchMode = 2;
        Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
        UninstallValueKind kind = row.written ? UninstallValueKind::Dword : UninstallValueKind::Delete;
        EXPECT_EQ(Find(values, u"BitmapSize")->kind, kind);
        EXPECT_EQ(Find(values, u"BitmapTPI")->kind, kind);
        EXPECT_EQ(Find(values, u"StretchMode")->kind, kind);
        if (row.written) {
            EXPECT_EQ(Find(values, u"BitmapSize")->number, 40u);
        }
    }
}

TEST(UninstallKeyValues, ColourGroupsFollowTheirOptions) {
    struct Row {
        uint32_t word1, payloadFlags;
        std::vector<const char16_t*> present;
    } rows[] = {
        {0, 0, {}},
        {kOpt1DialogColors, 0, {u"DialogFG", u"DialogBG"}},
        {0, kFlagSidePanelColors, {u"SPNMFG", u"SPNMBG"}},
        {0, kFlagButtonColors, {u"ButtonBG", u"ButtonFG", u"ButtonBorder"}},
    };
    const char16_t* all[] = {u"DialogFG", u"DialogBG", u"SPNMFG",      u"SPNMBG",
                             u"ButtonBG", u"ButtonFG", u"ButtonBorder"};
    for (const Row& row : rows) {
        InstallerState state = PlainState();
        state.definition.optionWord1 = row.word1;
        state.payloadFlags = row.payloadFlags;
        Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
        for (const char16_t* name : all) {
            bool expected = std::find(row.present.begin(), row.present.end(), name) != row.present.end();
            EXPECT_EQ(Find(values, name) != nullptr, expected) << U8(name);
        }
    }
    InstallerState state = PlainState();
    state.definition.optionWord1 = kOpt1DialogColors;
    EXPECT_EQ(U8(Find(UninstallKeyValues(state, PlainRun()), u"DialogBG")->text), "E5E9EB");
}

// A colour above 0xFFFFFF names a system colour (index in the low byte): its current value is
// written, since "RRGGBB" cannot carry the index.
TEST(UninstallKeyValues, SystemColoursAreWrittenAsTheirCurrentValue) {
    InstallerState state = PlainState();
    state.definition.optionWord1 = kOpt1DialogColors;
    state.definition.bannerFG = 0x80000008;
    state.definition.dialogBG = 0x8000000F;
    state.definition.dialogFG = 0x123456;
    state.definition.copyrightColor = 0x80000005;
    UninstallKeyRun run = PlainRun();
    run.systemColor = [](uint32_t index) {
        return index == 8 ? 0x00102030u : index == 15 ? 0x00C0D0E0u : 0x00FFFFFFu;
    };
    Array<UninstallKeyValue> values = UninstallKeyValues(state, run);
    EXPECT_EQ(U8(Find(values, u"BannerFG")->text), "302010");
    EXPECT_EQ(U8(Find(values, u"DialogBG")->text), "E0D0C0");
    EXPECT_EQ(U8(Find(values, u"DialogFG")->text), "563412");
    EXPECT_EQ(U8(Find(values, u"CopyrightColor")->text), "FFFFFF");
    EXPECT_EQ(Find(values, u"TitleColor")->number, 0xFFFEF7u) << "numbers keep the colour value as it is";
}

TEST(UninstallKeyValues, IconFontsShortcutModeAndSession) {
    InstallerState state = PlainState();
    state.choices.allUsers = true;
    state.session = 0x0123456789ABCDEFull;
    state.definition.uninstallSubdir = u"uninst";
    UninstallKeyRun run = PlainRun();
    run.productIconWritten = true;
    run.fonts.Append({u"C:\\Windows\\Fonts\\a.ttf", u"Face A", false});
    run.fonts.Append({u"C:\\Windows\\Fonts\\kept.ttf", u"Kept", true});
    run.fonts.Append({u"C:\\Windows\\Fonts\\b.otf", u"Face B", false});
    Array<UninstallKeyValue> values = UninstallKeyValues(state, run);
    EXPECT_EQ(U8(Find(values, u"DisplayIcon")->text), "C:\\Program Files\\Sample\\uninst\\product.ico");
    EXPECT_EQ(U8(Find(values, u"ProductFonts")->text), "\"Face A\" \"a.ttf\" \"Face B\" \"b.otf\" ");
    EXPECT_EQ(Find(values, u"ShortcutMode")->number, 1u);
    EXPECT_EQ(Find(values, u"Session")->kind, UninstallValueKind::Qword);
    EXPECT_EQ(Find(values, u"Session")->number, 0x0123456789ABCDEFull);

    EXPECT_EQ(Find(UninstallKeyValues(PlainState(), PlainRun()), u"DisplayIcon"), nullptr);
    EXPECT_EQ(Find(UninstallKeyValues(PlainState(), PlainRun()), u"ShortcutMode")->kind,
              UninstallValueKind::Delete);
}

TEST(UninstallKeyValues, DefinitionValuesByKindAfterTheTablesAndBeforeTheLocation) {
    InstallerState state = PlainState();
    state.definition.uninstallValues = {
        {u"Comments", 1, u"Built for %Product%"},
        {u"HelpPath", 2, u"%ProgramFiles%\\help"},
        {u"NoModify", 4, u"0x10"},
        {u"HKCU\\Software\\Sample\\Extra\\Level", 4, u"-1"},
        {u"Odd", 3, u"x"},
        {u"Junk", 4, u"many"},
    };
    UninstallKeyRun run = PlainRun();
    run.expand = [](String& text) {
        if (text == u"Built for %Product%") text = u"Built for Sample";
    };
    Array<UninstallKeyValue> values = UninstallKeyValues(state, run);
    int first = values.Count() - 2 - 6;
    EXPECT_EQ(U8(values[first - 1].name), "StretchMode");
    const UninstallKeyValue& text = values[first];
    EXPECT_EQ(text.kind, UninstallValueKind::Text);
    EXPECT_EQ(U8(text.text), "Built for Sample");
    EXPECT_EQ(values[first + 1].kind, UninstallValueKind::ExpandableText);
    EXPECT_EQ(U8(values[first + 1].text), "%ProgramFiles%\\help");
    EXPECT_EQ(values[first + 2].kind, UninstallValueKind::Dword);
    EXPECT_EQ(values[first + 2].number, 16u);
    const UninstallKeyValue& elsewhere = values[first + 3];
    EXPECT_EQ(U8(elsewhere.key), "HKCU\\Software\\Sample\\Extra");
    EXPECT_EQ(U8(elsewhere.name), "Level");
    EXPECT_EQ(elsewhere.number, 0xFFFFFFFFu);
    EXPECT_EQ(values[first + 4].kind, UninstallValueKind::InvalidKind);
    EXPECT_EQ(values[first + 5].number, 0u);
    EXPECT_TRUE(values[first].key.IsEmpty());
    EXPECT_EQ(U8(values[first + 6].name), "InstallLocation");
}

// ---- Writing the entry over a registry in memory -------------------------------------------

class MemoryUninstallKey : public UninstallKeySystem {
  public:
    uint32_t openError = 0, elsewhereError = 0;
    std::map<std::string, uint32_t> failingValues;
    bool readBackFails = false;
    std::string readBackChange;             // appended to the stored "UninstallString"
    std::map<std::string, std::string> key; // name -> text or number, as written
    std::vector<std::string> written, elsewhere, log;
    std::string failures;

    void Log(const String& text) override { log.push_back(U8(text)); }
    void AddFailure(const String& text) override { failures += U8(text); }
    String SystemErrorText(uint32_t code) override { return FromUtf8("error " + std::to_string(code)); }
    void Corrupt(int code) override { throw std::runtime_error("corrupt " + std::to_string(code)); }
    uint32_t OpenKey() override { return openError; }
    uint32_t Write(const UninstallKeyValue& v) override {
        std::string name = U8(v.name);
        if (failingValues.count(name)) return failingValues[name];
        written.push_back(name);
        if (v.kind == UninstallValueKind::Delete)
            key.erase(name);
        else
            key[name] = v.text.IsEmpty() ? std::to_string(v.number) : U8(v.text);
        return 0;
    }
    uint32_t WriteElsewhere(const RegistryKeyPath& path, const UninstallKeyValue& v) override {
        if (elsewhereError) return elsewhereError;
        elsewhere.push_back(std::to_string(int(path.hive)) + "|" + U8(path.subkey) + "|" + U8(v.name) + "=" +
                            std::to_string(v.number));
        return 0;
    }
    bool ReadUninstallString(String& text, uint32_t& error) override {
        if (readBackFails) {
            error = 2;
            return false;
        }
        text = FromUtf8(key["UninstallString"] + readBackChange);
        return true;
    }
};

const char kWarning[] =
    "Unable to save the uninstall information to the registry.  Uninstall will not work properly.\r\n\r\n";

struct Written {
    MemoryUninstallKey system;
    String8 list = "HKLM\\Software\\Before\r\n";
    UninstallRecords records;
};

void WriteWith(Written& w, const Array<UninstallValue>& definitionValues) {
    InstallerState state = PlainState();
    state.definition.uninstallValues = definitionValues;
    Array<UninstallKeyValue> values = UninstallKeyValues(state, PlainRun());
    WriteUninstallKey(w.system, values, {definitionValues.Count(), &w.list, &w.records});
}

TEST(WriteUninstallKey, EveryValueInOrderAndTheReadBackAgrees) {
    Written w;
    WriteWith(w, {{u"Comments", 1, u"c"}});
    Array<UninstallKeyValue> values = UninstallKeyValues(PlainState(), PlainRun());
    ASSERT_EQ(w.system.written.size(), size_t(values.Count() + 1));
    EXPECT_EQ(w.system.written.front(), "UninstallString");
    EXPECT_EQ(w.system.written[w.system.written.size() - 3], "Comments");
    EXPECT_EQ(w.system.written.back(), "InstallDate");
    EXPECT_EQ(w.system.key["InstallDate"], "20261210");
    EXPECT_EQ(w.system.failures, "");
    EXPECT_EQ(std::string(w.list.View()), "HKLM\\Software\\Before\r\n");
}

TEST(WriteUninstallKey, ReadBackFaultsGiveTheWarning) {
    struct Row {
        const char* what;
        uint32_t openError;
        bool readFails;
        const char* change;
        std::string expected;
    } rows[] = {
        {"key not opened", 5, false, "", std::string("System error: error 5\r\n\r\n") + kWarning},
        {"value unreadable", 0, true, "", std::string("System error: error 2\r\n\r\n") + kWarning},
        {"other text", 0, false, " ", kWarning},
        {"agrees", 0, false, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Written w;
        w.system.openError = row.openError;
        w.system.readBackFails = row.readFails;
        w.system.readBackChange = row.change;
        WriteWith(w, {});
        EXPECT_EQ(w.system.failures, row.expected);
        EXPECT_EQ(w.system.written.empty(), row.openError != 0);
    }
}

TEST(WriteUninstallKey, FailedFixedValuesAreLoggedOnly) {
    Written w;
    w.system.failingValues["Publisher"] = 5;
    WriteWith(w, {});
    EXPECT_EQ(w.system.failures, "");
    ASSERT_EQ(w.system.log.size(), 1u);
    EXPECT_EQ(w.system.log[0], "Failed to write the uninstall value \"Publisher\": error 5\r\n");
}

TEST(WriteUninstallKey, DefinitionValuesInOtherKeysAreListedForTheUninstaller) {
    Written w;
    w.records.registry2 = "HKLM\\Software\\Before\r\n";
    WriteWith(w, {{u"HKCU\\Software\\Sample\\Level", 4, u"7"}});
    ASSERT_EQ(w.system.elsewhere.size(), 1u);
    EXPECT_EQ(w.system.elsewhere[0],
              std::to_string(int(RegistryHive::CurrentUser)) + "|Software\\Sample|Level=7");
    const std::string line = "HKCU\\Software\\Sample,Level,0,,2\r\n";
    EXPECT_EQ(std::string(w.list.View()), "HKLM\\Software\\Before\r\n" + line);
    EXPECT_EQ(std::string(w.records.registry2.View()), "HKLM\\Software\\Before\r\n" + line);
    EXPECT_EQ(w.system.failures, "");
}

TEST(WriteUninstallKey, DefinitionValueFailuresGoToTheSummary) {
    struct Row {
        const char* what;
        const char16_t* name;
        uint32_t openError, elsewhereError;
        const char* expected;
    } rows[] = {
        {"other key fails", u"HKCU\\Software\\S\\V", 0, 5,
         "Failed to save data in registry key \"HKCU\\Software\\S\\V\": error 5\r\n"},
        {"unknown root", u"HKXX\\Software\\V", 0, 0,
         "Failed to save data in registry key \"HKXX\\Software\\V\": error 161\r\n"},
        {"every user", u"\\HKAU\\Software\\V", 0, 0,
         "Failed to save data in registry key \"\\HKAU\\Software\\V\": error 161\r\n"},
        {"uninstall key not opened", u"Comments", 5, 0,
         "Failed to save data in registry key \"Comments\": error 6\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Written w;
        w.system.openError = row.openError;
        w.system.elsewhereError = row.elsewhereError;
        WriteWith(w, {{row.name, 1, u"x"}});
        EXPECT_EQ(w.system.failures.substr(0, std::string(row.expected).size()), row.expected);
        EXPECT_EQ(std::string(w.list.View()), "HKLM\\Software\\Before\r\n") << "nothing listed";
    }
}

TEST(WriteUninstallKey, AnUnknownKindIsTheCorruptInstallerErrorWhenItIsReached) {
    Written w;
    try {
        WriteWith(w, {{u"First", 1, u"a"}, {u"Odd", 3, u"x"}, {u"Never", 1, u"b"}});
        ADD_FAILURE() << "no corrupt-installer error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "corrupt 200");
    }
    EXPECT_EQ(w.system.written.back(), "First");
}

} // namespace

// The uninstaller reads back what FontListText writes, and tolerates a list edited by hand.
TEST(UninstallFontList, ParsesThePairsItWasWrittenAs) {
    Array<FontFile> written;
    written.Append({u"C:\\Windows\\Fonts\\a.ttf", u"Face A", false});
    written.Append({u"C:\\Windows\\Fonts\\b b.otf", u"Face \u00e9 B", false});
    struct Case {
        const char* name;
        String list;
        std::vector<std::pair<std::u16string, std::u16string>> pairs;
    } cases[] = {
        {"written", FontListText(written), {{u"Face A", u"a.ttf"}, {u"Face \u00e9 B", u"b b.otf"}}},
        {"empty", u"", {}},
        {"no blanks between", u"\"F\"\"f.ttf\"", {{u"F", u"f.ttf"}}},
        {"a face without its file", u"\"F\" \"f.ttf\" \"G\" ", {{u"F", u"f.ttf"}}},
        {"an unclosed quote", u"\"F\" \"f.ttf\" \"G\" \"g.tt", {{u"F", u"f.ttf"}}},
        {"empty face", u"\"\" \"x.ttf\" ", {{u"", u"x.ttf"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Array<ListedFont> fonts = ParseFontList(c.list);
        ASSERT_EQ(fonts.Count(), static_cast<int>(c.pairs.size()));
        for (int i = 0; i < fonts.Count(); ++i) {
            EXPECT_EQ(std::u16string(fonts[i].face.View()), c.pairs[i].first);
            EXPECT_EQ(std::u16string(fonts[i].fileName.View()), c.pairs[i].second);
        }
    }
}
