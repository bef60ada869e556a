#include "app/SequenceRules.h"

#include "payload/Definition.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(SequenceRules, UpgradeKind) {
    struct Case {
        bool compare;
        const char16_t *installed, *current;
        int kind, statusString;
    } cases[] = {
        {true, u"1.0", u"1.0", 1, 4},   {true, u"1.0", u"1.2", 2, 5},  {true, u"2.0", u"1.9.9", 3, 6},
        {true, u"1.9", u"1.10", 2, 5},  {false, u"1.0", u"2.0", 1, 3}, {true, u"", u"2.0", 1, 3},
        {true, u"1.0", u"  ", 1, 3},
    };
    for (const Case& c : cases) {
        UpgradeKind kind = DecideUpgradeKind(c.compare, c.installed, c.current);
        EXPECT_EQ(kind.kind, c.kind) << ToUtf8(String(c.installed)).c_str() << " -> " << ToUtf8(String(c.current)).c_str();
        EXPECT_EQ(kind.statusString, c.statusString);
    }
}

TEST(SequenceRules, UpgradeQuestions) {
    EXPECT_EQ(UpgradeQuestionText(u"An older version is installed in:", u"C:\\Old", u"Continue?"),
              String(u"An older version is installed in:\r\nC:\\Old\r\n\r\nContinue?"));
    EXPECT_FALSE(AskBeforeUpgrade(false, u"1.0", u""));
    EXPECT_FALSE(AskBeforeUpgrade(true, u"", u"")) << "nothing installed: nothing to ask";
    EXPECT_TRUE(AskBeforeUpgrade(true, u"1.0", u""));
    EXPECT_TRUE(AskBeforeUpgrade(true, u"1.4", u"1.5"));
    EXPECT_FALSE(AskBeforeUpgrade(true, u"1.5", u"1.5")) << "at the lowest version: upgraded without asking";
    EXPECT_FALSE(AskBeforeUpgrade(true, u"1.10", u"1.9"));
}

TEST(SequenceRules, RegistryReferences) {
    struct Case {
        const char16_t* text;
        bool ok;
        RegistryRoot root;
        const char16_t *key, *value;
    } cases[] = {
        {u"HKLM\\Software\\Vendor\\Product\\InstallPath", true, RegistryRoot::LocalMachine, u"Software\\Vendor\\Product",
         u"InstallPath"},
        {u"hkcu\\Software\\App\\Dir", true, RegistryRoot::CurrentUser, u"Software\\App", u"Dir"},
        {u"HKLM\\Folder", true, RegistryRoot::LocalMachine, u"", u"Folder"},
        {u"HKLM\\Software\\Vendor\\", false, RegistryRoot::LocalMachine, u"", u""},
        {u"HKCR\\Software\\App\\Dir", false, RegistryRoot::LocalMachine, u"", u""},
        {u"C:\\Program Files\\App", false, RegistryRoot::LocalMachine, u"", u""},
        {u"HKLM", false, RegistryRoot::LocalMachine, u"", u""},
    };
    for (const Case& c : cases) {
        RegistryReference ref;
        ASSERT_EQ(ParseRegistryReference(c.text, ref), c.ok) << ToUtf8(String(c.text)).c_str();
        if (!c.ok) continue;
        EXPECT_EQ(ref.root, c.root);
        EXPECT_EQ(ref.key, String(c.key));
        EXPECT_EQ(ref.value, String(c.value));
    }
    EXPECT_EQ(RegistryPathMissingMessage(u"HKLM\\A\\B"), String(u"Failed to obtain installation path from \"HKLM\\A\\B\""));
    EXPECT_EQ(RegistryPathNotFoundMessage(u"C:\\X", u"HKCU\\A\\B"),
              String(u"Installation path \"C:\\X\" obtained from \"HKCU\\A\\B\" does not exist."));
}

TEST(SequenceRules, DefaultFolderTakesTheCommandLineFirst) {
    EXPECT_EQ(DefaultInstallFolder(u"D:\\Mine", u"C:\\Program Files\\App"), String(u"D:\\Mine"));
    EXPECT_EQ(DefaultInstallFolder(u"", u"C:\\Program Files\\App"), String(u"C:\\Program Files\\App"));
}

TEST(SequenceRules, SharedFolder) {
    SharedFolderInputs in;
    in.systemFolder = u"C:\\Windows\\system32";
    in.commonFiles32 = u"C:\\Program Files (x86)\\Common Files";
    in.commonFiles64 = u"C:\\Program Files\\Common Files";
    in.sharedName = u"Vendor";
    in.installDir = u"D:\\App";
    struct Case {
        uint8_t base;
        bool product64;
        const char16_t* subfolder;
        bool removable;
        const char16_t* expected;
    } cases[] = {
        {1, false, u"", false, u"C:\\Windows\\system32\\Vendor"},
        {2, true, u"", false, u"C:\\Program Files (x86)\\Common Files\\Vendor"},
        {3, false, u"", false, u"C:\\Program Files\\Common Files\\Vendor"},
        {0, true, u"", false, u"C:\\Program Files\\Common Files\\Vendor"},
        {7, false, u"", false, u"C:\\Program Files (x86)\\Common Files\\Vendor"},
        {2, false, u"Shared", false, u"D:\\App\\Shared"},
        {2, false, u"Shared", true, u"C:\\Program Files (x86)\\Common Files\\Vendor"},
    };
    for (const Case& c : cases) {
        in.base = c.base;
        in.product64 = c.product64;
        in.subfolder = c.subfolder;
        in.removableDrive = c.removable;
        EXPECT_EQ(SharedFolderPath(in), String(c.expected)) << int(c.base) << " " << ToUtf8(String(c.subfolder)).c_str();
    }
}

TEST(SequenceRules, PreparationBatches) {
    auto plan = [](uint32_t payloadFlags, bool existing, int kind, uint32_t w1 = 0, uint32_t w2 = 0) {
        std::string text;
        for (const PlannedBatch& b : PreparationBatches({payloadFlags, w1, w2, existing, kind}))
            text += std::to_string(b.index) + ":" + std::string(ToUtf8(b.label).c_str()) + (b.hide ? ":hidden" : "") + " ";
        return text;
    };
    // The reinstall batch runs for a reinstallation, and always unless the definition limits it.
    EXPECT_EQ(plan(0x1, false, 0), "0: ");
    EXPECT_EQ(plan(0x0, false, 0), "0: 6: ");
    EXPECT_EQ(plan(0x1, true, 1), "0: 6: ");
    EXPECT_EQ(plan(0x1, true, 2), "0: 5: ");
    EXPECT_EQ(plan(0x1, true, 3), "0: ");
    EXPECT_EQ(plan(0x1 | 0x40 | 0x100, true, 2), "0:Pre-Installation Batch 5:Upgrade Batch ");
    EXPECT_EQ(plan(0x200, true, 1, kOpt1HidePreInstallBatch, kOpt2HideReinstallBatch),
              "0::hidden 6:Reinstall Batch:hidden ");
    EXPECT_EQ(plan(0x1, true, 2, 0, kOpt2HideUpgradeBatch), "0: 5::hidden ");
}

TEST(SequenceRules, EndOfRunUrl) {
    EXPECT_EQ(EndOfRunUrlIndex(0), kLinkNewInstallUrl);
    EXPECT_EQ(EndOfRunUrlIndex(1), kLinkReinstallUrl);
    EXPECT_EQ(EndOfRunUrlIndex(2), kLinkUpgradeUrl);
    EXPECT_EQ(EndOfRunUrlIndex(3), kLinkDowngradeUrl);
}

TEST(SequenceRules, RestorePointDescription) {
    EXPECT_EQ(RestorePointDescription(u"Hello", u"1.2"), String(u"Hello 1.2"));
    EXPECT_EQ(RestorePointDescription(u"Hello", u""), String(u"Hello"));
    EXPECT_EQ(RestorePointDescription(String(std::u16string(300, u'x')), u"1").Length(), 255u);
}
