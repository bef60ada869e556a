// The definition stream: round trip, field types, limits with their codes, and the values
// the reader completes right after their fields.
#include "payload/DefinitionReader.h"
#include "payload/DefinitionStream.h"

#include "payload/DefinitionTestSupport.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <string>

namespace cs {
namespace {

using test::FullDefinition;
using test::kAllColorFlags;
using test::MinimalDefinition;

std::string Write(const Definition& d, uint32_t flags = 0, bool checkLimits = true) {
    std::string out, error;
    EXPECT_TRUE(WriteDefinition(d, flags, out, error, checkLimits)) << error;
    return out;
}

DefinitionEnvironment TestEnvironment() {
    DefinitionEnvironment env;
    env.newerThanServer2003 = true;
    env.windowsFolder = u"C:\\Windows";
    env.programFiles32 = u"C:\\Program Files (x86)";
    env.programFiles64 = u"C:\\Program Files";
    env.desktopAllUsers = u"C:\\Users\\Public\\Desktop";
    env.desktopUser = u"C:\\Users\\me\\Desktop";
    return env;
}

// The state a test reads into, with the command line's part of the reader's inputs beside it.
struct TestState : DefinitionState {
    DefinitionInputs commandLine;
};

int Read(const std::string& bytes, TestState& state, DefinitionEnvironment env = TestEnvironment()) {
    env.commandLine = state.commandLine;
    return ReadDefinition(bytes.data(), bytes.size(), env, state);
}

void ExpectSame(const Definition& a, const Definition& b) {
    EXPECT_EQ(a.optionWord1, b.optionWord1);
    EXPECT_EQ(a.optionWord2, b.optionWord2);
    EXPECT_EQ(a.automaticMode, b.automaticMode);
    EXPECT_EQ(a.taskbarText, b.taskbarText);
    EXPECT_EQ(a.displayTitle, b.displayTitle);
    EXPECT_EQ(a.titleSize, b.titleSize);
    EXPECT_EQ(a.progressPlacement, b.progressPlacement);
    EXPECT_EQ(a.minStatusTime, b.minStatusTime);
    EXPECT_EQ(a.shortcutMode, b.shortcutMode);
    EXPECT_EQ(a.uninstallerDate, b.uninstallerDate);
    EXPECT_EQ(a.publisher, b.publisher);
    EXPECT_EQ(a.productName, b.productName);
    EXPECT_EQ(a.productTitle, b.productTitle);
    EXPECT_EQ(a.bitness, b.bitness);
    EXPECT_EQ(a.sharedFolderBase, b.sharedFolderBase);
    EXPECT_EQ(a.sharedPath, b.sharedPath);
    EXPECT_EQ(a.sharedSubfolder, b.sharedSubfolder);
    EXPECT_EQ(a.startMenuFolder, b.startMenuFolder);
    EXPECT_EQ(a.productVersion, b.productVersion);
    EXPECT_EQ(a.defaultFolder, b.defaultFolder);
    EXPECT_EQ(a.productRegistry, b.productRegistry);
    EXPECT_EQ(a.registryEntries, b.registryEntries);
    EXPECT_EQ(a.registryMergeFile, b.registryMergeFile);
    EXPECT_EQ(a.appPath, b.appPath);
    EXPECT_EQ(a.bitmapSize, b.bitmapSize);
    EXPECT_EQ(a.stretchMode, b.stretchMode);
    EXPECT_EQ(a.uninstallFonts, b.uninstallFonts);
    EXPECT_EQ(a.uninstallShared, b.uninstallShared);
    EXPECT_EQ(a.productUrl, b.productUrl);
    ASSERT_EQ(a.licences.Count(), b.licences.Count());
    for (int i = 0; i < a.licences.Count(); ++i)
        EXPECT_EQ(a.licences[i], b.licences[i]);
    ASSERT_EQ(a.readmes.Count(), b.readmes.Count());
    for (int i = 0; i < a.readmes.Count(); ++i)
        EXPECT_EQ(a.readmes[i], b.readmes[i]);
    EXPECT_EQ(a.uninstallSubdir, b.uninstallSubdir);
    EXPECT_EQ(a.uninstallerFileName, b.uninstallerFileName);
    EXPECT_EQ(a.uninstallKeyName, b.uninstallKeyName);
    EXPECT_EQ(a.locationReference, b.locationReference);
    EXPECT_EQ(a.dialogFont, b.dialogFont);
    EXPECT_EQ(a.dialogZoom, b.dialogZoom);
    EXPECT_EQ(a.wizardCaption, b.wizardCaption);
    EXPECT_EQ(a.bannerFG, b.bannerFG);
    EXPECT_EQ(a.pictureBorder, b.pictureBorder);
    EXPECT_EQ(a.titleColor, b.titleColor);
    EXPECT_EQ(a.titleShadow, b.titleShadow);
    EXPECT_EQ(a.titlePosition, b.titlePosition);
    EXPECT_EQ(a.titleFont, b.titleFont);
    EXPECT_EQ(a.topColor, b.topColor);
    EXPECT_EQ(a.bottomColor, b.bottomColor);
    EXPECT_EQ(a.backgroundPicture, b.backgroundPicture);
    EXPECT_EQ(a.bitmapTpi, b.bitmapTpi);
    EXPECT_EQ(a.copyrightPos, b.copyrightPos);
    EXPECT_EQ(a.copyrightColor, b.copyrightColor);
    EXPECT_EQ(a.copyrightSize, b.copyrightSize);
    EXPECT_EQ(a.copyrightText, b.copyrightText);
    EXPECT_EQ(a.copyrightFont, b.copyrightFont);
    EXPECT_EQ(a.dialogBG, b.dialogBG);
    EXPECT_EQ(a.dialogFG, b.dialogFG);
    EXPECT_EQ(a.spnmBG, b.spnmBG);
    EXPECT_EQ(a.spnmFG, b.spnmFG);
    EXPECT_EQ(a.buttonBG, b.buttonBG);
    EXPECT_EQ(a.buttonFG, b.buttonFG);
    EXPECT_EQ(a.buttonBorder, b.buttonBorder);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(a.editColors[i], b.editColors[i]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(a.listColors[i], b.listColors[i]);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(a.documentColors[i], b.documentColors[i]);
    EXPECT_EQ(a.masterKeyName, b.masterKeyName);
    EXPECT_EQ(a.masterDisplayName, b.masterDisplayName);
    EXPECT_EQ(a.masterMinVersion, b.masterMinVersion);
    EXPECT_EQ(a.startSound, b.startSound);
    EXPECT_EQ(a.desktopFolder, b.desktopFolder);
    EXPECT_EQ(a.desktopFolderIcon, b.desktopFolderIcon);
    for (int i = 0; i < kBatchCount; ++i)
        EXPECT_EQ(a.batches[i], b.batches[i]) << i;
    EXPECT_EQ(a.reserved, b.reserved);
    EXPECT_EQ(a.excludedSystems, b.excludedSystems);
    EXPECT_EQ(a.externalData, b.externalData);
    for (int i = 0; i < kLinkCount; ++i)
        EXPECT_EQ(a.links[i], b.links[i]) << i;
    EXPECT_EQ(a.upgradeWithoutAskingFrom, b.upgradeWithoutAskingFrom);
    EXPECT_EQ(a.noDowngradeBelow, b.noDowngradeBelow);
    EXPECT_EQ(a.buildDate, b.buildDate);
    EXPECT_EQ(a.buildValue, b.buildValue);
    EXPECT_EQ(a.password, b.password);
    EXPECT_EQ(a.reinstallInPlaceFrom, b.reinstallInPlaceFrom);
    EXPECT_EQ(a.registryKeyList, b.registryKeyList);
    EXPECT_EQ(a.addToPathSubfolder, b.addToPathSubfolder);
    EXPECT_EQ(a.pages, b.pages);
    EXPECT_EQ(a.uninstallerIcon, b.uninstallerIcon);
    ASSERT_EQ(a.deletions.Count(), b.deletions.Count());
    for (int i = 0; i < a.deletions.Count(); ++i) {
        EXPECT_EQ(a.deletions[i].pattern, b.deletions[i].pattern);
        EXPECT_EQ(a.deletions[i].condition, b.deletions[i].condition);
        EXPECT_EQ(a.deletions[i].value, b.deletions[i].value);
        EXPECT_EQ(a.deletions[i].flags, b.deletions[i].flags);
    }
    ASSERT_EQ(a.associations.Count(), b.associations.Count());
    for (int i = 0; i < a.associations.Count(); ++i) {
        const FileAssociation &x = a.associations[i], &y = b.associations[i];
        EXPECT_EQ(x.mode, y.mode);
        EXPECT_EQ(x.extension, y.extension);
        EXPECT_EQ(x.fileType, y.fileType);
        EXPECT_EQ(x.description, y.description);
        EXPECT_EQ(x.verbs, y.verbs);
        EXPECT_EQ(x.verbLabel, y.verbLabel);
        EXPECT_EQ(x.command, y.command);
        EXPECT_EQ(x.language, y.language);
        EXPECT_EQ(x.icon, y.icon);
    }
    ASSERT_EQ(a.shortcuts.Count(), b.shortcuts.Count());
    for (int i = 0; i < a.shortcuts.Count(); ++i) {
        const Shortcut &x = a.shortcuts[i], &y = b.shortcuts[i];
        EXPECT_EQ(x.target, y.target);
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.icon, y.icon);
        EXPECT_EQ(x.arguments, y.arguments);
        EXPECT_EQ(x.workingFolder, y.workingFolder);
        EXPECT_EQ(x.desktop, y.desktop);
        EXPECT_EQ(x.startMenu, y.startMenu);
        EXPECT_EQ(x.startup, y.startup);
        EXPECT_EQ(x.customFolder, y.customFolder);
        EXPECT_EQ(x.showState, y.showState);
        EXPECT_EQ(x.keep, y.keep);
        EXPECT_EQ(x.fromDefinition, y.fromDefinition);
    }
    EXPECT_EQ(a.rootShortcutCommand, b.rootShortcutCommand);
    EXPECT_EQ(a.rootShortcutName, b.rootShortcutName);
    EXPECT_EQ(a.pinTarget, b.pinTarget);
    EXPECT_EQ(a.pinName, b.pinName);
    ASSERT_EQ(a.uninstallValues.Count(), b.uninstallValues.Count());
    for (int i = 0; i < a.uninstallValues.Count(); ++i) {
        EXPECT_EQ(a.uninstallValues[i].name, b.uninstallValues[i].name);
        EXPECT_EQ(a.uninstallValues[i].kind, b.uninstallValues[i].kind);
        EXPECT_EQ(a.uninstallValues[i].value, b.uninstallValues[i].value);
    }
    EXPECT_EQ(a.supportOffer, b.supportOffer);
    EXPECT_EQ(a.productIcon, b.productIcon);
    ASSERT_EQ(a.autoClose.Count(), b.autoClose.Count());
    for (int i = 0; i < a.autoClose.Count(); ++i) {
        const AutoCloseEntry &x = a.autoClose[i], &y = b.autoClose[i];
        EXPECT_EQ(x.windowClass, y.windowClass);
        EXPECT_EQ(x.windowTitle, y.windowTitle);
        EXPECT_EQ(x.displayName, y.displayName);
        EXPECT_EQ(x.mode, y.mode);
        EXPECT_EQ(x.passMask, y.passMask);
    }
    EXPECT_EQ(a.firewallExceptions, b.firewallExceptions);
    ASSERT_EQ(a.languages.names.Count(), b.languages.names.Count());
    for (int i = 0; i < a.languages.names.Count(); ++i)
        EXPECT_EQ(a.languages.names[i], b.languages.names[i]);
    EXPECT_EQ(a.languages.stringCount, b.languages.stringCount);
    ASSERT_EQ(a.languages.strings.size(), b.languages.strings.size());
    for (size_t i = 0; i < a.languages.strings.size(); ++i)
        EXPECT_EQ(a.languages.strings[i], b.languages.strings[i]);
    EXPECT_EQ(a.languages.defaultLanguage, b.languages.defaultLanguage);
}

TEST(DefinitionRoundTrip, EveryFieldSurvivesWriteAndRead) {
    Definition original = FullDefinition();
    std::string bytes = Write(original, kAllColorFlags);
    TestState state;
    state.payloadFlags = kAllColorFlags;
    ASSERT_EQ(Read(bytes, state), 0);
    ExpectSame(original, state.definition);
}

TEST(DefinitionRoundTrip, FirewallLinesAreOptionalBeforeTheEndMark) {
    // A writer that knows only the numbered fields puts the end mark right after the language
    // table: that definition has no firewall lines and reads as complete.
    Definition original = FullDefinition();
    original.firewallExceptions.Clear();
    std::string withField = Write(original, kAllColorFlags);
    ASSERT_EQ(withField.substr(withField.size() - 8, 4), std::string(4, '\0')); // the empty field
    std::string documented = withField.substr(0, withField.size() - 8) + withField.substr(withField.size() - 4);
    TestState state;
    state.payloadFlags = kAllColorFlags;
    ASSERT_EQ(Read(documented, state), 0);
    ExpectSame(original, state.definition);

    // Cut inside the last documented field, or with the end mark damaged, it is still short.
    for (size_t cut : {size_t(1), size_t(3), size_t(5)}) {
        TestState cutState;
        cutState.payloadFlags = kAllColorFlags;
        std::string shorter = documented.substr(0, documented.size() - 4 - cut) + documented.substr(documented.size() - 4);
        EXPECT_EQ(Read(shorter, cutState), kCodeEndMark) << cut;
    }
    std::string noMark = documented.substr(0, documented.size() - 4);
    TestState noMarkState;
    noMarkState.payloadFlags = kAllColorFlags;
    EXPECT_EQ(Read(noMark, noMarkState), kCodeEndMark);
}

TEST(DefinitionRoundTrip, OptionalFieldsAbsentKeepTheirDefaults) {
    // Without the presence bits the colours, master product and uninstaller icon are not
    // written; the reader then keeps the styling start values.
    Definition full = FullDefinition();
    full.optionWord1 &= ~(kOpt1DialogColors | kOpt1AddOn | kOpt1RegisterUninstaller);
    full.copyrightPos = 0;
    full.backgroundPicture.Clear();
    std::string bytes = Write(full, 0);
    EXPECT_LT(bytes.size(), Write(FullDefinition(), kAllColorFlags).size());
    TestState state;
    ASSERT_EQ(Read(bytes, state), 0);
    const Definition defaults;
    const Definition& d = state.definition;
    EXPECT_EQ(d.dialogBG, defaults.dialogBG);
    EXPECT_EQ(d.spnmBG, defaults.spnmBG);
    EXPECT_EQ(d.buttonBorder, defaults.buttonBorder);
    EXPECT_EQ(d.documentColors[0], 0xFFFFFFu);
    EXPECT_EQ(d.documentColors[1], 0u);
    EXPECT_EQ(d.copyrightText, u"");
    EXPECT_EQ(d.bitmapTpi, -1);
    EXPECT_EQ(d.masterKeyName, u"");
    EXPECT_EQ(d.uninstallerIcon, "");
    EXPECT_EQ(d.password, u"secret"); // the fields after them are still in step
    EXPECT_EQ(d.languages.Get(2, 1), u"en2");
}

// The variable-length text prefix at the edges of its three forms.
TEST(DefinitionStream, TextPrefixForms) {
    struct Case {
        uint32_t length;
        std::string prefix;
    } cases[] = {
        {0, std::string("\x00", 1)},
        {254, "\xFE"},
        {255, std::string("\xFF\xFF\xFF\x00\x00\x00", 6)},
        {256, std::string("\xFF\x00\x01", 3)},
        {511, std::string("\xFF\xFF\xFF\x01\x00\x00", 6)},
        {65534, "\xFF\xFE\xFF"},
        {65535, std::string("\xFF\xFF\xFF\xFF\x00\x00", 6)},
        {65536, std::string("\xFF\xFF\x00\x00\x01\x00", 6)},
    };
    for (const Case& c : cases) {
        String8 text = test::SomeBytes(static_cast<int>(c.length), 9);
        ByteWriter w;
        ASSERT_TRUE(w.TextBytes(text));
        const std::string& out = w.Data();
        ASSERT_EQ(out.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_EQ(out.substr(0, c.prefix.size()), c.prefix) << c.length;
        ByteReader r(out.data(), out.size());
        EXPECT_EQ(r.TextBytes(), text) << c.length;
        EXPECT_EQ(r.Remaining(), 0u);
        EXPECT_FALSE(r.Exhausted());
    }
}

TEST(DefinitionStream, LongTextsThroughTheWholeDefinition) {
    for (int bytes : {254, 255, 65535, 65536}) {
        Definition d = MinimalDefinition();
        d.registryMergeFile = test::SomeBytes(bytes, 3);
        std::u16string wide(size_t(bytes / 2), u'\u20ac');
        d.publisher = String(wide.data(), wide.size());
        TestState state;
        ASSERT_EQ(Read(Write(d), state), 0) << bytes;
        EXPECT_EQ(state.definition.registryMergeFile, d.registryMergeFile) << bytes;
        EXPECT_EQ(state.definition.publisher, d.publisher) << bytes;
    }
}

TEST(DefinitionStream, ReadFailures) {
    // A length above 0x40000000 fails after its prefix; the reader is not exhausted.
    std::string huge("\xFF\xFF\x01\x00\x00\x40zz", 8);
    ByteReader r(huge.data(), huge.size());
    EXPECT_EQ(r.Text(), u"");
    EXPECT_EQ(r.Position(), 6u);
    EXPECT_FALSE(r.Exhausted());
    // A text longer than the data: empty, position at the end, exhausted.
    std::string shortText("\x08"
                          "ab",
                          3);
    ByteReader s(shortText.data(), shortText.size());
    EXPECT_EQ(s.Text(), u"");
    EXPECT_TRUE(s.Exhausted());
    EXPECT_EQ(s.Remaining(), 0u);
    // A negative blob length gives an empty value.
    std::string negative("\xFF\xFF\xFF\xFF", 4);
    ByteReader n(negative.data(), negative.size());
    EXPECT_EQ(n.Blob4(), "");
    EXPECT_FALSE(n.Exhausted());
    // ztext without its terminator.
    ByteReader z("abc", 3);
    EXPECT_EQ(z.ZText8(), "");
    EXPECT_TRUE(z.Exhausted());
}

TEST(DefinitionStream, WriterRefusesTextsThatDoNotFit) {
    ByteWriter w;
    std::u16string big(128, u'x');
    EXPECT_FALSE(w.Text1(String(big.data(), big.size())));
    EXPECT_TRUE(w.Text1(String(big.data(), 127)));
    EXPECT_FALSE(w.ZText8(String8("a\0b", 3)));
    Definition d = MinimalDefinition();
    d.uninstallerFileName = String(big.data(), big.size());
    std::string out, error;
    EXPECT_FALSE(WriteDefinition(d, 0, out, error));
    EXPECT_NE(error.find("uninstaller_file_name"), std::string::npos) << error;
}

// Each limit at its edge: the last accepted value reads, the next one gives its code.
TEST(DefinitionLimits, EdgesGiveTheirCodes) {
    struct Case {
        const char* what;
        void (*set)(Definition&, bool over);
        int code;
    } cases[] = {
        {"licences", [](Definition& d, bool over) { d.licences.SetCount(over ? 21 : 20); }, 24},
        {"readmes", [](Definition& d, bool over) { d.readmes.SetCount(over ? 21 : 20); }, 26},
        {"status time", [](Definition& d, bool over) { d.minStatusTime = over ? 10000 : 9999; }, 19},
        {"bitmap size", [](Definition& d, bool over) { d.bitmapSize = over ? 101 : 100; }, 39},
        {"negative bitmap size", [](Definition& d, bool over) { d.bitmapSize = over ? -1 : 0; }, 39},
        {"associations", [](Definition& d, bool over) { d.associations.SetCount(over ? 1001 : 1000); }, 36},
        {"shortcuts", [](Definition& d, bool over) { d.shortcuts.SetCount(over ? 1001 : 1000); }, 48},
        {"uninstall values", [](Definition& d, bool over) { d.uninstallValues.SetCount(over ? 1001 : 1000); },
         37},
        {"deletions", [](Definition& d, bool over) { d.deletions.SetCount(over ? 1002 : 1001); }, 38},
        {"auto-close", [](Definition& d, bool over) { d.autoClose.SetCount(over ? 1001 : 1000); }, 41},
        {"strings",
         [](Definition& d, bool over) {
             d.languages.stringCount = over ? 10001 : 10000;
             d.languages.strings.resize(size_t(d.languages.stringCount));
         },
         31},
        {"languages",
         [](Definition& d, bool over) {
             if (!over) return;
             d.languages.names.Clear();
             d.languages.strings.clear();
         },
         30},
    };
    for (const Case& c : cases) {
        for (bool over : {false, true}) {
            Definition d = MinimalDefinition();
            c.set(d, over);
            for (FileDeletion& e : d.deletions)
                e.pattern = "x";
            for (AutoCloseEntry& e : d.autoClose)
                e.windowClass = u"c";
            TestState state;
            EXPECT_EQ(Read(Write(d, 0, false), state), over ? c.code : 0)
                << c.what << (over ? " over" : " at");
            // The builder's own writer refuses what the engine would refuse.
            std::string out, error;
            EXPECT_EQ(WriteDefinition(d, 0, out, error), !over) << c.what;
        }
    }
}

TEST(DefinitionLimits, ShortDefinitionGivesTheEndMarkCode) {
    std::string bytes = Write(FullDefinition(), kAllColorFlags);
    // Cut at many places: never a crash, always code 32 once past the checksum test.
    for (size_t cut : {size_t(0), size_t(9), size_t(40), bytes.size() / 3, bytes.size() / 2, bytes.size() - 5,
                       bytes.size() - 1}) {
        TestState state;
        state.payloadFlags = kAllColorFlags;
        EXPECT_EQ(Read(bytes.substr(0, cut), state), kCodeEndMark) << cut;
    }
    std::string wrongMark = bytes;
    wrongMark[wrongMark.size() - 1] ^= 1;
    TestState state;
    state.payloadFlags = kAllColorFlags;
    EXPECT_EQ(Read(wrongMark, state), kCodeEndMark);
}

TEST(DefinitionLimits, ChecksumTestRunsAfterFieldSixBeforeTheLimits) {
    Definition d = MinimalDefinition();
    d.minStatusTime = 10000; // would give 19, but the checksum test comes first
    std::string bytes = Write(d, 0, false);
    int calls = 0;
    std::vector<std::string> order;
    DefinitionEnvironment env = TestEnvironment();
    env.createBackgroundWindow = [&] { order.push_back("window"); };
    env.checksumTest = [&] {
        order.push_back("checksum");
        ++calls;
        return kCodeChecksum;
    };
    TestState state;
    EXPECT_EQ(Read(bytes, state, env), kCodeChecksum);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(order, (std::vector<std::string>{"window", "checksum"}));
    env.checksumTest = [] { return 0; };
    EXPECT_EQ(Read(bytes, state, env), kCodeStatusTime);
}

TEST(DefinitionLimits, NoBackgroundWindowWhenTheOptionSaysSo) {
    Definition d = MinimalDefinition();
    d.optionWord1 = kOpt1NoBackgroundWindow;
    bool created = false;
    DefinitionEnvironment env = TestEnvironment();
    env.createBackgroundWindow = [&] { created = true; };
    TestState state;
    ASSERT_EQ(Read(Write(d), state, env), 0);
    EXPECT_FALSE(created);
}

TEST(DefinitionDefaults, ProductNameAndItsDerivedNames) {
    Definition d = MinimalDefinition();
    d.publisher = u"  \t";
    d.optionWord2 = kOpt2DesktopFolderByName;
    TestState state;
    state.commandLine.productName = u"FromCommandLine";
    ASSERT_EQ(Read(Write(d), state), 0);
    const Definition& r = state.definition;
    EXPECT_EQ(r.productName, u"FromCommandLine");
    EXPECT_EQ(r.productTitle, u"FromCommandLine");
    EXPECT_EQ(r.sharedPath, u"FromCommandLine"); // blank publisher
    EXPECT_EQ(r.startMenuFolder, u"FromCommandLine");
    EXPECT_EQ(r.uninstallKeyName, u"FromCommandLine");
    EXPECT_EQ(r.desktopFolder, u"FromCommandLine");
    EXPECT_EQ(state.desktopFolderPath, u"C:\\Users\\me\\Desktop\\FromCommandLine");
    EXPECT_EQ(r.pinName, u"FromCommandLine");
    EXPECT_EQ(r.defaultFolder, u"C:\\Program Files (x86)\\FromCommandLine");

    Definition named = MinimalDefinition();
    named.productName = u"Own";
    named.publisher = u"Vendor";
    named.uninstallKeyName = u" ";
    named.shortcutMode = 1;
    named.desktopFolder = u"Group";
    named.optionWord1 = kOpt1AddOn;
    named.masterMinVersion = u"3";
    TestState other;
    ASSERT_EQ(Read(Write(named), other), 0);
    EXPECT_EQ(other.definition.productName, u"Own");
    EXPECT_EQ(other.definition.sharedPath, u"Vendor");
    EXPECT_EQ(other.definition.uninstallKeyName, u"Own");
    EXPECT_EQ(other.definition.masterKeyName, u"Own");
    EXPECT_EQ(other.definition.masterDisplayName, u"Own");
    EXPECT_EQ(other.definition.masterMinVersion, u"3");
    EXPECT_EQ(other.desktopFolderPath, u"C:\\Users\\Public\\Desktop\\Group");
    EXPECT_EQ(other.desktopFolderPath8, "C:\\Users\\Public\\Desktop\\Group");
    Definition noFolder = MinimalDefinition();
    TestState third;
    ASSERT_EQ(Read(Write(noFolder), third), 0);
    EXPECT_EQ(third.definition.desktopFolder, u""); // without option word 2 bit 0x4000000
    EXPECT_EQ(third.desktopFolderPath, u"");
}

TEST(DefinitionDefaults, DefaultInstallationFolder) {
    struct Case {
        const char16_t* folder;
        uint8_t bitness;
        const char16_t* expected;
    } cases[] = {
        {u"", 0, u"C:\\Program Files (x86)\\Prod"},
        {u"", 1, u"C:\\Program Files\\Prod"},
        {u"Vendor\\App", 0, u"C:\\Program Files (x86)\\Vendor\\App"},
        {u"Vendor\\App", 1, u"C:\\Program Files\\Vendor\\App"},
        {u"<master>", 0, u"<master>"},
        {u"<MASTER>", 1, u"<MASTER>"},
        {u"HKLM\\Software\\Vendor\\Path", 0, u"HKLM\\Software\\Vendor\\Path"},
        {u"hkcu\\Software\\Vendor\\Path", 0, u"hkcu\\Software\\Vendor\\Path"},
        {u"<OS>\\Tools", 0, u"C:\\Windows\\Tools"},
        {u"D:\\Apps\\Prod", 1, u"D:\\Apps\\Prod"},
        {u"%Base%\\Prod", 0, u"E:\\Base\\Prod"},
    };
    DefinitionEnvironment env = TestEnvironment();
    env.expandVariables = [](String& text) {
        size_t at = Find(text, u"%Base%");
        if (at != String::npos) {
            text.Erase(at, 6);
            text.Insert(at, String(u"E:\\Base"));
        }
    };
    for (const Case& c : cases) {
        Definition d = MinimalDefinition();
        d.productName = u"Prod";
        d.defaultFolder = c.folder;
        d.bitness = c.bitness;
        TestState state;
        ASSERT_EQ(Read(Write(d), state, env), 0);
        EXPECT_EQ(state.definition.defaultFolder, c.expected) << ToUtf8(String(c.folder)).c_str();
    }
}

TEST(DefinitionDefaults, SilentModeAndTheAutomaticModeByte) {
    struct Case {
        bool automatic, silent;
        uint8_t byte;
        bool expected;
    } cases[] = {
        {false, false, 0, false}, {true, false, 0, true}, {false, false, 1, true},
        {true, false, 2, false},  {false, true, 2, true}, {false, false, 9, false},
    };
    for (const Case& c : cases) {
        Definition d = MinimalDefinition();
        d.automaticMode = c.byte;
        TestState state;
        state.commandLine.automatic = c.automatic || c.silent;
        state.commandLine.silent = c.silent;
        ASSERT_EQ(Read(Write(d), state), 0);
        EXPECT_EQ(state.automatic, c.expected) << int(c.byte) << c.automatic << c.silent;
    }

    Definition d = MinimalDefinition();
    d.optionWord1 = 0xFFFFFFFF;
    d.optionWord2 = 0xFFFFFFFF;
    std::string bytes = Write(d, 0, false);
    TestState loud, silent;
    silent.commandLine.silent = true;
    // The option words decide which fields follow, so the words as written must decide it
    // for the reader too; here all presence bits are set in both.
    ASSERT_EQ(Read(bytes, loud), 0);
    EXPECT_EQ(loud.definition.optionWord1, 0xFFFFFFFFu);
    ASSERT_EQ(Read(bytes, silent), 0);
    EXPECT_EQ(silent.definition.optionWord1, 0xFFFFFFFFu & 0x7FFFFF7F);
    EXPECT_EQ(silent.definition.optionWord2, 0xFFFFFFFFu & 0xFFF7EDE3);
    Definition zero = MinimalDefinition();
    TestState silentZero;
    silentZero.commandLine.silent = true;
    ASSERT_EQ(Read(Write(zero), silentZero), 0);
    EXPECT_EQ(silentZero.definition.optionWord1, 0x30600000u);
    EXPECT_EQ(silentZero.definition.optionWord2, 0x800u);
}

TEST(DefinitionDefaults, PayloadFlag400FollowsTheSystemTest) {
    std::string bytes = Write(MinimalDefinition());
    for (bool newer : {false, true}) {
        DefinitionEnvironment env = TestEnvironment();
        env.newerThanServer2003 = newer;
        TestState state;
        state.payloadFlags = 0x401;
        ASSERT_EQ(Read(bytes, state, env), 0);
        EXPECT_EQ(state.payloadFlags, newer ? 0x401u : 0x001u);
    }
}

TEST(DefinitionDefaults, BitnessOneSwitchesRedirectionOff) {
    Definition d = MinimalDefinition();
    d.bitness = 1;
    std::string bytes = Write(d);
    for (bool works : {true, false}) {
        int calls = 0;
        DefinitionEnvironment env = TestEnvironment();
        env.disableRedirection = [&] {
            ++calls;
            return works;
        };
        TestState state;
        ASSERT_EQ(Read(bytes, state, env), 0);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(state.redirectionFailed, !works);
    }
}

TEST(DefinitionDefaults, BatchesGetTheCommandLineAdditions) {
    Definition d = MinimalDefinition();
    d.batches[kBatchPreInstall] = u"echo pre";
    d.batches[kBatchPostInstall] = u"echo post\r\n";
    d.batches[kBatchUninstall1] = u"echo caf\u00e9";
    TestState state;
    state.commandLine.batchAdditions[0] = "echo one";
    state.commandLine.batchAdditions[1] = "echo two";
    state.commandLine.batchAdditions[2] = "echo three";
    ASSERT_EQ(Read(Write(d), state), 0);
    EXPECT_EQ(state.batchCommands[kBatchPreInstall], "echo pre\r\necho one");
    EXPECT_EQ(state.batchCommands[kBatchPostInstall], "echo post\r\necho two");
    EXPECT_EQ(state.batchCommands[kBatchInstallExit], "echo three");
    EXPECT_EQ(state.batchCommands[kBatchUninstall1], "echo caf\xE9"); // code page 1252
    EXPECT_EQ(state.definition.batches[kBatchPreInstall], u"echo pre");
}

TEST(DefinitionDefaults, ListsAreCompletedAsRead) {
    Definition d = MinimalDefinition();
    d.associations.Append({0, u".txt", "", u"", "open", "", u"", u"", u""});
    d.associations.Append({0, u"doc", "", u"", "open", "", u"", u"", u""});
    d.shortcuts.SetCount(2);
    d.topColor = d.bottomColor = 0x123456;
    TestState state;
    ASSERT_EQ(Read(Write(d), state), 0);
    EXPECT_EQ(state.definition.associations[0].extension, u"txt");
    EXPECT_EQ(state.definition.associations[1].extension, u"doc");
    EXPECT_TRUE(state.definition.shortcuts[0].fromDefinition);
    EXPECT_TRUE(state.definition.shortcuts[1].fromDefinition);
    EXPECT_TRUE(state.monoColor);
}

TEST(DefinitionLanguages, DefaultLanguageLookupAndLineEnds) {
    Definition d = MinimalDefinition();
    d.languages.names.Clear();
    for (const char16_t* name : {u"english", u"Fran\u00e7ais", u"ENGLISH", u"Deutsch"})
        d.languages.names.Append(name);
    d.languages.stringCount = 2;
    d.languages.strings = {u"a", u"b", u"c", u"d", u"one\ntwo\rthree\r\nfour", u"x", u"y", u"z"};
    TestState state;
    ASSERT_EQ(Read(Write(d), state), 0);
    const LanguageTable& t = state.definition.languages;
    EXPECT_EQ(t.defaultLanguage, 2); // the last "English", any letter case
    EXPECT_EQ(state.currentLanguage, 2);
    EXPECT_EQ(state.LanguageString(0), u"c");
    EXPECT_EQ(t.Get(1, 0), u"one\r\ntwo\r\nthree\r\nfour");
    EXPECT_EQ(t.Get(1, 3), u"z");
    EXPECT_EQ(t.Get(2, 0), u"");  // string number out of range
    EXPECT_EQ(t.Get(-1, 0), u""); // likewise
    EXPECT_EQ(t.Get(0, 4), u"");  // language out of range
    state.currentLanguage = 1;
    EXPECT_EQ(state.LanguageString(0), u"b");

    Definition noEnglish = MinimalDefinition();
    noEnglish.languages.names[0] = u"Deutsch";
    TestState other;
    other.currentLanguage = 5;
    ASSERT_EQ(Read(Write(noEnglish), other), 0);
    EXPECT_EQ(other.definition.languages.defaultLanguage, 0);
    EXPECT_EQ(other.currentLanguage, 0);
}

TEST(DefinitionLanguages, NormalizeLineEnds) {
    EXPECT_EQ(NormalizeLineEnds(u"plain"), u"plain");
    EXPECT_EQ(NormalizeLineEnds(u"a\r\n\r\nb"), u"a\r\n\r\nb");
    EXPECT_EQ(NormalizeLineEnds(u"\n\r"), u"\r\n\r\n");
    EXPECT_EQ(NormalizeLineEnds(u"end\r"), u"end\r\n");
}

TEST(DefinitionLists, EndMarksAndWhatFollowsThem) {
    Definition d = MinimalDefinition();
    d.deletions.Append({"a.txt", 1, "2020-01-01", 4});
    d.autoClose.Append({u"Class", u"", u"Name", 3, 1});
    d.supportOffer = u"after";
    TestState state;
    ASSERT_EQ(Read(Write(d), state), 0);
    ASSERT_EQ(state.definition.deletions.Count(), 1);
    EXPECT_EQ(state.definition.deletions[0].value, "2020-01-01");
    ASSERT_EQ(state.definition.autoClose.Count(), 1);
    EXPECT_EQ(state.definition.autoClose[0].displayName, u"Name");
    EXPECT_EQ(state.definition.supportOffer, u"after");

    // An entry spelled like the end mark is refused by the checked writer.
    Definition bad = MinimalDefinition();
    bad.deletions.Append({"~~THE END~~", 0, "", 0});
    std::string out, error;
    EXPECT_FALSE(WriteDefinition(bad, 0, out, error));
    Definition badClose = MinimalDefinition();
    badClose.autoClose.Append({u"~~THE~END~~", u"", u"", 0, 0});
    EXPECT_FALSE(WriteDefinition(badClose, 0, out, error));
}

TEST(DefinitionJson, NamesEveryFieldAndTheLists) {
    Definition d = FullDefinition();
    d.deletions.Append({"|caf\xC3\xA9\\*.tmp", 0, "", 4});
    d.associations[0].verbs = "\xE9"
                              "dit"; // code page 1252
    std::string json = DefinitionToJson(d, kAllColorFlags);
    for (const char* key : {"\"option_word1\": \"0x",
                            "\"taskbar_text\": \"Taskbar \xC3\xA9\"",
                            "\"title_size\": 1.75",
                            "\"uninstaller_date\": {\"year\": 2024",
                            "\"registry_merge_file\": {\"bytes\": 301}",
                            "\"licences\": [",
                            "\"deletions\": [",
                            "\"pattern\": \"%InstallDir%\\\\old.dll\"",
                            "\"shortcuts\": [",
                            "\"custom_folder\"",
                            "\"auto_close\": [",
                            "\"languages\": [",
                            "\"strings\": [",
                            "\"de1\\r\\nzwei\"",
                            "\"button_border\": \"#070707\"",
                            "\"integrity_mode\": 1",
                            "\"master_min_version\": \"2.0\"",
                            "\"default_language\": 1",
                            "\"feedback_url\": \"link 13\"",
                            "\"pattern\": \"caf\xC3\xA9\\\\*.tmp\"",
                            "\"verbs\": \"\xC3\xA9"
                            "dit\""})
        EXPECT_NE(json.find(key), std::string::npos) << key << "\n" << json;
    EXPECT_EQ(json.find("~~THE"), std::string::npos); // end marks are not fields
}

} // namespace
} // namespace cs
