#include "log/Log.h"

#include "core/Format.h"
#include "core/Text.h"
#include "runtime/InstallerState.h"
#include "support/TextPrint.h"
#include "vars/Variables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace cs;

namespace {

// The system in memory: files by path, the spool, and a record of what was asked.
class MemoryLogSystem : public LogSystem {
  public:
    std::string spool;
    bool spoolDeleted = false;
    std::map<std::u16string, std::string> files;
    bool unwritable = false;
    bool writeFails = false; // opened and read, but not replaced (a full disk)
    uint32_t lastError = 0;
    bool answerYes = true;
    int questions = 0, completions = 0, viewed = 0, notified = 0, loosened = 0;
    std::u16string deleted;
    String failureWord = u"FAILED:";
    String completionText = u"Installation completed.";
    String completionShown;
    PlaceholderInputs placeholders;

    void AppendToSpool(const char* data, size_t size) override { spool.append(data, size); }
    String8 ReadSpool() override { return String8(spool.data(), spool.size()); }
    void DeleteSpool() override { spoolDeleted = true; }
    String LanguageText(int number) override {
        switch (number) {
        case kLangFailureWord:
            return failureWord;
        case kLangViewLogQuestion:
            return u"Errors occurred. View %s?";
        case kLangViewLogTitle:
            return u"Installation";
        case kLangCompletionText:
            return completionText;
        default:
            return u"";
        }
    }
    String SystemErrorText(uint32_t code) override {
        return code == kErrorAccessDenied ? u"Access is denied." : u"Other error.";
    }
    uint32_t LastError() override { return lastError; }
    void RemoveFile(const String& path) override { deleted = std::u16string(path.View()); }
    bool ReadLog(const String& path, String8& contents) override {
        if (unwritable) return false;
        const std::string& f = files[std::u16string(path.View())];
        contents = String8(f.data(), f.size());
        return true;
    }
    bool WriteLog(const String& path, const String8& contents) override {
        if (writeFails) return false;
        files[std::u16string(path.View())] = std::string(contents.c_str(), contents.Length());
        return true;
    }
    void LoosenAccess(const String&) override { ++loosened; }
    bool AskYesNo(const String& text, const String& title) override {
        ++questions;
        EXPECT_EQ(text, u"Errors occurred. View C:\\App\\Install.log?");
        EXPECT_EQ(title, u"Installation");
        return answerYes;
    }
    void ExpandText(String& text) override { ExpandWizardPlaceholders(text, placeholders); }
    void ShowCompletion(const String& text) override {
        ++completions;
        completionShown = text;
    }
    void OpenForViewing(const String&) override { ++viewed; }
    void NotifyFailure() override { ++notified; }
    String Now() override { return u"2026/12/10 03:04:05"; }
};

class LogTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetLogState();
        SetLogSystem(&sys);
        options.logPath = u"C:\\App\\Install.log";
        options.optionWord1 = kOpt1KeepInstallLog;
        options.header.productName = u"Hello";
        options.header.installLocation = u"C:\\App";
        options.header.osDescription = u"Windows 7 Service Pack 1";
    }
    void TearDown() override { SetLogSystem(nullptr); }
    std::string& LogFile() { return sys.files[u"C:\\App\\Install.log"]; }

    MemoryLogSystem sys;
    FinishOptions options;
};

const char kFirstBlock[] = "\xEF\xBB\xBF"
                           "Installation log for: Hello\r\n"
                           "Install date: 2026/12/10 03:04:05\r\n"
                           "Install location: C:\\App\r\n"
                           "Installer version: 51.0\r\n"
                           "Operating system: Windows 7 Service Pack 1\r\n"
                           "\r\n"
                           "Caf\xC3\xA9 copied\r\n"
                           "\r\n"
                           "Installation completed.\r\n";

} // namespace

TEST_F(LogTest, FirstRunStartsWithByteOrderMarkAndNoSeparator) {
    LogText8("Caf\xE9 copied\r\n");
    EXPECT_TRUE(FinishLog(options));
    EXPECT_EQ(LogFile(), kFirstBlock);
    EXPECT_TRUE(sys.spoolDeleted);
    EXPECT_EQ(sys.loosened, 1);
    EXPECT_EQ(sys.notified, 0);
}

TEST_F(LogTest, SecondRunAppendsSeparatorAndNewHeader) {
    LogText8("Caf\xE9 copied\r\n");
    FinishLog(options);
    sys.spool.clear();
    options.header.productVersion = u"2.0";
    options.header.oldVersion = u"1.0";
    options.header.withInstallType = true;
    options.header.installType = 2;
    options.header.built = {2026, 3, 7};
    options.header.signatureResult = 0;
    options.header.signatureText = u"valid";
    FinishLog(options);
    std::string expected = std::string(kFirstBlock) +
                           "\r\n\r\n**********************************************\r\n"
                           "Installation log for: Hello\r\n"
                           "Install date: 2026/12/10 03:04:05\r\n"
                           "Install type: Upgrade\r\n"
                           "Install location: C:\\App\r\n"
                           "Installer version: 51.0\r\n"
                           "Installer built: 2026/03/07\r\n"
                           "Product version: 2.0\r\n"
                           "Overwriting version: 1.0\r\n"
                           "Operating system: Windows 7 Service Pack 1\r\n"
                           "Signature: code 0: valid\r\n"
                           "\r\n"
                           "\r\n"
                           "Installation completed.\r\n";
    EXPECT_EQ(LogFile(), expected);
}

TEST_F(LogTest, OldLogWithoutByteOrderMarkIsConvertedOnce) {
    LogFile() = "old run: caf\xE9\r\n";
    FinishLog(options);
    const std::string head = "\xEF\xBB\xBFold run: caf\xC3\xA9\r\n\r\n\r\n****";
    EXPECT_EQ(LogFile().substr(0, head.size()), head);
    EXPECT_EQ(LogFile().find("\xE9"), std::string::npos);
}

TEST_F(LogTest, WithoutKeepOptionAndNoFailureNothingIsWrittenButSpoolGoes) {
    options.optionWord1 = 0;
    LogText8("line\r\n");
    EXPECT_FALSE(FinishLog(options));
    EXPECT_TRUE(sys.files.empty());
    EXPECT_TRUE(sys.spoolDeleted);
}

TEST_F(LogTest, OneFailureWritesTheLogEndingWithTheSummary) {
    options.optionWord1 = 0;
    sys.lastError = kErrorAccessDenied;
    RecordFailure(u"C:\\App\\locked.dll");
    EXPECT_TRUE(FinishLog(options));
    const std::string tail =
        "*** FAILURE SUMMARY ***\r\nFAILED: C:\\App\\locked.dll\r\nCode 5: Access is denied.\r\n\r\n";
    ASSERT_GE(LogFile().size(), tail.size());
    EXPECT_EQ(LogFile().substr(LogFile().size() - tail.size()), tail);
    EXPECT_EQ(sys.notified, 1) << "a failure sends the failure notification";
}

TEST_F(LogTest, FailureLinesAndCodeTexts) {
    EXPECT_EQ(ErrorCodeText(0), u"0");
    EXPECT_EQ(ErrorCodeText(1603), u"1603");
    EXPECT_EQ(ErrorCodeText(static_cast<int32_t>(0x80070005)), u"0x80070005");
    EXPECT_EQ(ErrorCodeText(static_cast<int32_t>(0x8000000F)), u"0x8000000F");
    EXPECT_EQ(FailureLines(u"a.txt", 0), u"FAILED: a.txt\r\n");
    LogFailure(u"b.txt", static_cast<int32_t>(0x80004005));
    EXPECT_EQ(sys.spool, "FAILED: b.txt\r\nCode 0x80004005: Other error.\r\n\r\n");
}

TEST_F(LogTest, DiskFullSetsTheFlagAndDeletesThePartialFile) {
    sys.lastError = kErrorDiskFull;
    RecordFailure(u"C:\\App\\big.bin");
    EXPECT_TRUE(DiskFull());
    EXPECT_EQ(sys.deleted, u"C:\\App\\big.bin");
}

TEST_F(LogTest, InteractiveEndings) {
    options.interactive = true;
    FinishLog(options);
    EXPECT_EQ(sys.completions, 1);
    EXPECT_EQ(sys.questions, 0);

    sys = MemoryLogSystem();
    options.optionWord1 |= kOpt1NoCompletionMessage;
    FinishLog(options);
    EXPECT_EQ(sys.completions, 0) << "option 0x400000 suppresses the completion message";

    sys = MemoryLogSystem();
    RecordFailure(u"x");
    FinishLog(options);
    EXPECT_EQ(sys.questions, 1);
    EXPECT_EQ(sys.viewed, 1) << "Yes opens the log";

    sys = MemoryLogSystem();
    sys.answerYes = false;
    FinishLog(options);
    EXPECT_EQ(sys.viewed, 0);
}

TEST_F(LogTest, AutomaticSilentAndUnwritableEndingsNeverOpenTheLog) {
    RecordFailure(u"x");
    options.interactive = true;
    options.automatic = true;
    FinishLog(options);
    EXPECT_EQ(sys.questions + sys.viewed + sys.completions, 0);

    sys = MemoryLogSystem();
    options.automatic = false;
    sys.unwritable = true;
    EXPECT_FALSE(FinishLog(options));
    EXPECT_EQ(sys.questions, 1);
    EXPECT_EQ(sys.viewed, 0) << "a log that could not be written is not offered";
    EXPECT_TRUE(sys.spoolDeleted);
}

// The log's language texts pass through the wizard placeholders: the completion text in the
// log and in the completion message, and the failure word.
TEST_F(LogTest, LanguageTextsCarryThePlaceholderValues) {
    struct Case {
        const char16_t* text;
        BuildDate built;
        const char* logged;
    } cases[] = {
        {u"Done: <product> in <os>[<lbdate>]", {2026, 3, 7}, "Done: Hello App in C:\\Windows[2026-3-7]"},
        {u"Done: <product> in <os>[<lbdate>]", {2026, 0, 7}, "Done: Hello App in C:\\Windows[]"},
        {u"<PRODUCT> (<Description>) installed", {}, "Hello App (The Hello App) installed"},
        {u"No placeholder <here>", {}, "No placeholder <here>"},
    };
    for (const Case& c : cases) {
        sys = MemoryLogSystem();
        sys.completionText = c.text;
        sys.placeholders.productName = u"Hello App";
        sys.placeholders.description = u"The Hello App";
        sys.placeholders.windowsDir = u"C:\\Windows";
        sys.placeholders.buildDate = c.built;
        sys.placeholders.formatDate = [](const BuildDate& d) {
            return Format(u"%d-%d-%d", d.year, d.month, d.day);
        };
        options.interactive = true;
        ASSERT_TRUE(FinishLog(options));
        const std::string tail = "\r\n" + std::string(c.logged) + "\r\n";
        ASSERT_GE(LogFile().size(), tail.size());
        EXPECT_EQ(LogFile().substr(LogFile().size() - tail.size()), tail) << c.logged;
        EXPECT_EQ(ToUtf8(sys.completionShown).c_str(), std::string(c.logged)) << "the completion message";
        LogFile().clear();
    }

    sys = MemoryLogSystem();
    sys.failureWord = u"<product>: failed";
    sys.placeholders.productName = u"Hello App";
    EXPECT_EQ(FailureLines(u"a.txt", 0), u"Hello App: failed a.txt\r\n");
}

TEST_F(LogTest, PiecesAndWideTextAreStoredAsUtf8) {
    LogPieces8({"\r\nRunning ", "Caf\xE9", "...\r\n", nullptr, "ignored"});
    LogPiecesWide({u"\u20AC ", u"\u4E2D", nullptr});
    LogRaw("\xFF\xFE raw");
    EXPECT_EQ(sys.spool, "\r\nRunning Caf\xC3\xA9...\r\n\xE2\x82\xAC \xE4\xB8\xAD\xFF\xFE raw");
}

// A log that should be written and is not (a full disk, a folder that refuses it) fails the
// run; one that need not be written does not.
TEST_F(LogTest, ALogThatCannotBeWrittenFailsTheRun) {
    struct Case {
        bool readFails, writeFails;
        uint32_t error;
        bool fails, diskFull;
    } cases[] = {
        {false, true, kErrorDiskFull, true, true},
        {false, true, kErrorHandleDiskFull, true, true},
        {false, true, kErrorAccessDenied, true, false},
        {true, false, kErrorAccessDenied, true, false},
        {false, false, 0, false, false},
    };
    for (const Case& c : cases) {
        ResetLogState();
        sys.unwritable = c.readFails;
        sys.writeFails = c.writeFails;
        sys.lastError = c.error;
        EXPECT_EQ(FinishLog(options), !c.fails);
        EXPECT_EQ(Installer().outcome.fileNotWritten, c.fails) << "error " << c.error;
        EXPECT_EQ(DiskFull(), c.diskFull) << "error " << c.error;
    }
    // Without the keep option and without failures no log is due: nothing failed.
    ResetLogState();
    sys.writeFails = true;
    options.optionWord1 = 0;
    EXPECT_FALSE(FinishLog(options));
    EXPECT_FALSE(Installer().outcome.fileNotWritten);
}
