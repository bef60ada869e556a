// The corrupt-installer routine: its message, the hooks in order, the box and exit code 2.
#include "runtime/CorruptInstaller.h"

#include "support/TextPrint.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using namespace cs;

TEST(CorruptInstallerMessage, BuiltInTextLanguageTextAndSystemError) {
    String builtIn = CorruptInstallerMessage(47, u"", 0, u"");
    EXPECT_EQ(builtIn.Sub(0, 37), u"This installation program is corrupt.");
    EXPECT_EQ(builtIn.Sub(builtIn.Length() - 18), u"\r\n\r\nError code: 47");
    EXPECT_EQ(CorruptInstallerMessage(20, u"Kaputt.", 0, u"ignored"), u"Kaputt.");
    EXPECT_EQ(CorruptInstallerMessage(10, u"Kaputt.", 5, u"Access is denied."),
              u"Kaputt.\r\nSystem error, code 5: Access is denied.");
    EXPECT_EQ(CorruptInstallerMessage(1001, u"X", 0x800B0100, u"No signature."),
              u"X\r\nSystem error, code 0x800B0100: No signature.");
    EXPECT_EQ(CorruptInstallerMessage(1001, u"X", 0x7FFFFFFF, u"Big."),
              u"X\r\nSystem error, code 2147483647: Big.");
}

namespace {

uint32_t FakeLastError() {
    return 5;
}
String FakeErrorText(uint32_t) {
    return u"Access is denied.";
}
void PrintBox(const String& message, const String& title) {
    std::fprintf(stderr, "BOX[%s]{%s}|", ToUtf8(title).c_str(), ToUtf8(message).c_str());
}
[[noreturn]] void Exit(int code) {
    std::_Exit(code);
}
void Record(const String& message) {
    std::fprintf(stderr, "SUMMARY{%s}|", ToUtf8(message).c_str());
}
void WriteLog() {
    std::fprintf(stderr, "LOG|");
}
void Notify() {
    std::fprintf(stderr, "NOTIFY|");
}
String German(int number) {
    if (number == kStringCorruptInstaller) return u"Installationsprogramm defekt";
    if (number == kStringErrorTitle) return u"Fehler";
    return {};
}

} // namespace

// Separators instead of line ends: the Windows build's text-mode stderr changes line ends.
TEST(CorruptInstallerDeathTest, SummaryLogNotificationBoxThenExitTwo) {
    EXPECT_EXIT(
        {
            SetCorruptInstallerPlatform({FakeLastError, FakeErrorText, PrintBox, Exit});
            SetCorruptInstallerHooks({nullptr, Record, WriteLog, Notify});
            CorruptInstaller(10, true);
        },
        testing::ExitedWithCode(2),
        testing::AllOf(
            testing::StartsWith("SUMMARY{This installation program is corrupt."),
            testing::HasSubstr("Error code: 10"),
            testing::HasSubstr("System error, code 5: Access is denied.}|LOG|NOTIFY|BOX[Error]{This "
                               "installation program is corrupt."),
            testing::EndsWith("System error, code 5: Access is denied.}|")));
}

TEST(CorruptInstallerDeathTest, LanguageStringsAndNoSystemErrorWithoutTheFlag) {
    EXPECT_EXIT(
        {
            SetCorruptInstallerPlatform({FakeLastError, FakeErrorText, PrintBox, Exit});
            SetCorruptInstallerHooks({German, nullptr, nullptr, nullptr});
            CorruptInstaller(25);
        },
        testing::ExitedWithCode(2), testing::Eq("BOX[Fehler]{Installationsprogramm defekt}|"));
}
