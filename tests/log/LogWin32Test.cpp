// The log against the real system: the spool file, Install.log on disk, and the system's
// error texts.
#include "log/LogWin32.h"

#include "core/Text.h"
#include "runtime/InstallerState.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

using namespace cs;

namespace {

std::string ReadBytes(const String& path) {
    HANDLE f = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data(1 << 16, '\0');
    DWORD got = 0;
    ReadFile(f, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(f);
    data.resize(got);
    return data;
}

String TempFolderPath() {
    wchar_t buffer[MAX_PATH];
    GetTempPathW(MAX_PATH, buffer);
    return String(reinterpret_cast<const char16_t*>(buffer)) + u"cs-log-test";
}

} // namespace

TEST(LogWin32, SystemErrorTextOfAccessDenied) {
    String text = WindowsSystemErrorText(ERROR_ACCESS_DENIED);
    // Windows says "Access is denied.", Wine "Access denied."
    EXPECT_NE(FindNoCase(text, u"Access"), String::npos) << ToUtf8(text).c_str();
    EXPECT_NE(FindNoCase(text, u"denied"), String::npos) << ToUtf8(text).c_str();
    EXPECT_NE(text.Last(), u'\n') << "trailing line ends are trimmed";
}

TEST(LogWin32, TwoRunsOnDiskWithFailureAndSpoolRemoved) {
    ResetLogState();
    String folder = TempFolderPath();
    CreateDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str()), nullptr);
    String logPath = folder + u"\\Install.log";
    DeleteFileW(reinterpret_cast<const wchar_t*>(logPath.c_str()));

    FinishOptions options;
    options.logPath = logPath;
    options.optionWord1 = kOpt1KeepInstallLog;
    options.header.productName = u"Hello";
    options.header.installDate = u"2026/12/10 01:02:03";

    ASSERT_TRUE(StartLog());
    LogText8("first run line\r\n");
    ASSERT_TRUE(FinishLog(options));
    std::string first = ReadBytes(logPath);
    EXPECT_EQ(first.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(first.find("Installation log for: Hello\r\nInstall date: 2026/12/10 01:02:03\r\n"),
              std::string::npos);
    EXPECT_NE(first.find("first run line\r\n"), std::string::npos);
    EXPECT_EQ(first.find("*****"), std::string::npos);

    ASSERT_TRUE(StartLog());
    SetLastError(ERROR_ACCESS_DENIED);
    RecordFailure(u"C:\\locked.dll");
    ASSERT_TRUE(FinishLog(options));
    std::string second = ReadBytes(logPath);
    ASSERT_EQ(second.substr(0, first.size()), first) << "the first block is kept";
    std::string added = second.substr(first.size());
    EXPECT_EQ(added.substr(0, 52), "\r\n\r\n**********************************************\r\n");
    EXPECT_NE(added.find("*** FAILURE SUMMARY ***\r\n"), std::string::npos);
    EXPECT_NE(added.find(" C:\\locked.dll\r\nCode 5: "), std::string::npos) << added;
    EXPECT_EQ(added.find("first run line"), std::string::npos) << "the spool starts empty each run";
    ResetLogState();
}
