// The summary page's choices at the end of a run, on Windows (under Wine in the tests): the
// product starts in the installation folder (through the desktop shell or directly), a
// product that cannot start is named in the finished log, and a document opens through the
// shell. The programs here are command scripts that leave a file behind.
#include "app/RunEndWin32.h"
#include "core/Text.h"
#include "payload/Definition.h"
#include "runtime/InstallerState.h"
#include "support/WinTestFiles.h"

#include <gtest/gtest.h>

using namespace cs;
using namespace cs::test;

namespace {

class SummaryChoicesTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = TempFolder() + u"\\cs-summary-" + String(FromW(std::to_wstring(GetCurrentProcessId()).c_str()));
        RemoveTree(folder_);
        CreateDirectoryW(W(folder_), nullptr);
        InstallerState& state = Installer();
        state.folders.installDir = folder_;
        state.definition.uninstallSubdir = String();
        state.outcome.failureSummary = String();
        state.choices.summary = SummaryChoices{};
        WriteBytes(folder_ + u"\\Install.log", "finished log\r\n");
    }
    void TearDown() override {
        Installer().choices.summary = SummaryChoices{};
        RemoveTree(folder_);
    }
    static void WriteBytes(const String& path, const std::string& bytes) {
        HANDLE f = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(f);
    }
    // Waits up to 30 s for a file the started program makes.
    bool Appears(const String& path) {
        for (int i = 0; i < 300 && !Exists(path); ++i)
            Sleep(100);
        return Exists(path);
    }
    String folder_;
};

} // namespace

TEST_F(SummaryChoicesTest, TheProductStartsInTheInstallationFolderEitherWay) {
    WriteBytes(folder_ + u"\\product.cmd", "@echo started %1> started.txt\r\n");
    for (uint32_t flags : {0u, kFlagLaunchDirectly}) {
        DeleteFileW(W(folder_ + u"\\started.txt"));
        Installer().payloadFlags = flags;
        Installer().definition.appPath = String(u"product.cmd first");
        Installer().choices.summary.launchProduct = true;
        RestartOrLaunch();
        ASSERT_TRUE(Appears(folder_ + u"\\started.txt")) << "flags " << flags;
        Sleep(200);
        EXPECT_EQ(ReadBytes(folder_ + u"\\started.txt"), "started first\r\n") << "flags " << flags;
    }
}

TEST_F(SummaryChoicesTest, AProductThatCannotStartIsAppendedToTheLog) {
    Installer().payloadFlags = kFlagLaunchDirectly;
    Installer().definition.appPath = String(u"missing.exe /x");
    Installer().choices.summary.launchProduct = true;
    RestartOrLaunch();
    std::string log = ReadBytes(folder_ + u"\\Install.log");
    EXPECT_EQ(log.rfind("finished log\r\nFailed to launch app: missing.exe /x\r\n", 0), 0u) << log;
    EXPECT_GT(log.size(), std::string("finished log\r\nFailed to launch app: missing.exe /x\r\n").size() + 2)
        << "the system's reason follows";
}

TEST_F(SummaryChoicesTest, TheDocumentsOpenOnlyWhenChosen) {
    WriteBytes(folder_ + u"\\first.cmd", "@echo first> first.txt\r\n");
    WriteBytes(folder_ + u"\\second.cmd", "@echo second> second.txt\r\n");
    Installer().definition.links[kLinkDocument1] = String(u"first.cmd");
    Installer().definition.links[kLinkDocument2] = String(u"second.cmd");
    Installer().choices.summary.openSecondDocument = true;
    RestartOrLaunch();
    EXPECT_TRUE(Appears(folder_ + u"\\second.txt"));
    Sleep(500);
    EXPECT_FALSE(Exists(folder_ + u"\\first.txt")) << "the first document was not chosen";
}
