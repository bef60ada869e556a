// Notification requests under Wine, watched by an HTTP server on the Linux side: the worker
// driven by a probe program, an installer's installation address with its variables
// expanded, a damaged installer's failure address requested once, and an installer without
// addresses that requests nothing.
#include "support/HttpRecorder.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <string>

using namespace cs;
using namespace cs::e2e;
using cs::test::HttpRecorder;

namespace {

namespace fs = std::filesystem;

std::string Base(const HttpRecorder& recorder) {
    return "http://127.0.0.1:" + std::to_string(recorder.Port());
}

// A project with version "1.0 beta", a few files (enough data for more than one chunk) and
// the given [links] lines; returns the built installer's path.
std::string BuildNotifyingInstaller(const std::string& name, const std::string& links) {
    std::string dir = TempDir();
    std::mt19937 random(7);
    std::string data(3000000, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    WriteFile(dir + "/random.bin", data);
    WriteFile(dir + "/note.txt", "notification test\r\n");
    std::string toml = "[product]\nname = \"" + name +
                       "\"\nversion = \"1.0 beta\"\n[install]\nfolder = \"C:\\\\" + name +
                       "\"\n[options]\ncompress_files = true\n[links]\n" + links +
                       "\n[[file]]\nsource = \"random.bin\"\n[[file]]\nsource = \"note.txt\"\n";
    WriteFile(dir + "/project.toml", toml);
    std::string setup = dir + "/setup.exe";
    RunResult built = RunBuilder({"build", dir + "/project.toml", "-o", setup, "--stub", Engine()});
    EXPECT_EQ(built.exitCode, 0) << built.output;
    return setup;
}

} // namespace

TEST(NotificationsUnderWine, TheWorkerRequestsEachAddressInOrderAndTheFailureAddressOnce) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    RunResult ran = RunWine({WinBin("notify-probe.exe"), std::to_string(recorder.Port())}, 120);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;
    // The probe ends after waiting for its worker: every request has been answered already.
    std::vector<std::string> got = recorder.Requests();
    ASSERT_EQ(got.size(), 3u) << ran.output;
    EXPECT_TRUE(std::regex_match(got[0], std::regex(R"(GET /install\?v=1\.0%20beta&s=4242&os=[0-9]+)")))
        << got[0];
    EXPECT_EQ(got[1], "GET /fail?s=4242");
    EXPECT_EQ(got[2], "GET /raw%20path");
    // The firewall registration's result, for the record (Wine's firewall objects are stubs).
    std::cout << ran.output;
}

TEST(NotificationsUnderWine, TheWaitWithoutRequestsReturns) {
    RunResult ran = RunWine({WinBin("notify-probe.exe")}, 60);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;
    EXPECT_NE(ran.output.find("firewall 0x00000001"), std::string::npos) << "not tried: " << ran.output;
}

TEST(NotificationsUnderWine, AnInstallerRequestsItsInstallationAddress) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    std::string setup = BuildNotifyingInstaller(
        "cs_e2e_notify_install", "install_url = \"" + Base(recorder) + "/install?v=%version%&s=%Session%\"");
    RunResult ran = RunWine({setup, "/silent", "/a"}, 120);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;
    std::vector<std::string> got = recorder.Requests();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(std::regex_match(got[0], std::regex(R"(GET /install\?v=1\.0%20beta&s=[1-9][0-9]*)")))
        << got[0];
}

TEST(NotificationsUnderWine, ADamagedInstallerRequestsItsFailureAddressOnce) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    std::string setup = BuildNotifyingInstaller("cs_e2e_notify_damaged", "failure_url = \"" + Base(recorder) +
                                                                             "/failed?s=%Session%\"");
    ASSERT_NO_FATAL_FAILURE(DamageLastChunk(setup));
    fs::remove_all(DriveC() + "/cs_e2e_notify_damaged");
    RunResult ran = RunWine({setup, "/silent", "/a"}, 120);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 2) << ran.output;
    std::vector<std::string> got = recorder.Requests();
    ASSERT_EQ(got.size(), 1u) << (got.empty() ? "" : got[0] + " ...");
    EXPECT_TRUE(std::regex_match(got[0], std::regex(R"(GET /failed\?s=[1-9][0-9]*)"))) << got[0];
}

TEST(NotificationsUnderWine, AnInstallerWithoutRequestedAddressesSendsNothing) {
    struct Case {
        const char* what;
        std::string links;
    };
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    // Addresses for a cancel and a click on the greeting's link are never requested by an
    // automatic run that succeeds.
    Case cases[] = {
        {"no addresses", ""},
        {"only cancel and link addresses",
         "cancel_url = \"" + Base(recorder) + "/cancel\"\nlink_click_url = \"" + Base(recorder) + "/click\""},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string setup = BuildNotifyingInstaller("cs_e2e_notify_none" + std::to_string(n++), c.links);
        RunResult ran = RunWine({setup, "/silent", "/a"}, 60);
        ASSERT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 0) << ran.output;
    }
    EXPECT_EQ(recorder.Requests(), std::vector<std::string>{});
}

// A run requests its addresses as it goes: the installation address once the definition is
// read, the preparation address, then the end-of-run address of its install type; every
// request of one run carries the same session number.
TEST(NotificationsUnderWine, ARunRequestsItsAddressesInOrder) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    std::string links;
    for (const char* key :
         {"install", "prepare", "new_install", "upgrade", "downgrade", "reinstall", "failure"})
        links += std::string(key) + "_url = \"" + Base(recorder) + "/" + key + "?s=%Session%\"\n";
    std::string setup = BuildNotifyingInstaller("cs_e2e_notify_order", links);
    RunResult ran = RunWine({setup, "/silent", "/a"}, 120);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;
    std::vector<std::string> got = recorder.Requests();
    ASSERT_EQ(got.size(), 3u);
    std::smatch session;
    ASSERT_TRUE(std::regex_match(got[0], session, std::regex(R"(GET /install\?s=([1-9][0-9]*))"))) << got[0];
    EXPECT_EQ(got[1], "GET /prepare?s=" + session[1].str());
    EXPECT_EQ(got[2], "GET /new_install?s=" + session[1].str());
    fs::remove_all(DriveC() + "/cs_e2e_notify_order");
}
