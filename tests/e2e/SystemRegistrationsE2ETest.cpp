// The system registrations under Wine, with fixtures of our own built beside the test programs
// (tests/actions): a COM server registered by regsvr32 (its class key appears) and removed by
// the uninstaller once its shared count reaches zero; a server regsvr32 cannot register
// (it refuses inside regsvr32.exe), registered through its own DllRegisterServer and logged
// "OK"; a type library registered and unregistered; a driver INF copied, its final place
// logged and recorded in "[INF]", and removed at uninstallation; firewall exception lines
// logged and recorded, a missing program logged, a line of 3 fields the corrupt-installer
// error (code 90); a server that crashes while registering is caught by the guard.
//
// Wine limits met: Wine's firewall objects are a stub that answers S_OK to everything and
// keeps nothing, so the firewall part checks what the engine does with the answers (the log
// lines, the "[Firewall]" records), not the firewall's state. Wine's SetupCopyOEMInfW keeps
// the INF's own name instead of making an "oem<n>.inf".
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

constexpr const char* kServerKey = "HKCR\\CLSID\\{6B1F3C52-2E7A-4C11-9A0D-5E2B7C4D9F01}";
constexpr const char* kRefusingServerKey = "HKCR\\CLSID\\{6B1F3C52-2E7A-4C11-9A0D-5E2B7C4D9F02}";
constexpr const char* kTypeLibKey = "HKCR\\TypeLib\\{2C6E8A41-7D3B-4F0A-8E15-9B4C3D2A1F01}";
constexpr const char* kProduct = "CsE2E Registrations";

// The engine under test writes the registry in its own view.
std::string View() {
    return EngineIsX64() ? "/reg:64" : "/reg:32";
}

bool KeyExists(const std::string& key) {
    return RunWine({"reg", "query", key, View()}, 60).exitCode == 0;
}

std::string Query(const std::string& key) {
    return RunWine({"reg", "query", key, "/s", View()}, 60).output;
}

// The lines of one section of "Uninstall.dat" (up to the next section or the end).
std::vector<std::string> SectionLines(const std::string& data, const std::string& header) {
    std::vector<std::string> lines;
    size_t at = data.find("\r\n" + header + "\r\n");
    if (at == std::string::npos) return lines;
    at += header.size() + 4;
    while (at < data.size()) {
        size_t end = data.find("\r\n", at);
        std::string line = data.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.empty() || line[0] == '[') break;
        lines.push_back(line);
        if (end == std::string::npos) break;
        at = end + 2;
    }
    return lines;
}

std::string Build(const std::string& name, const std::string& project) {
    std::string folder = TempDir() + "/sysreg-src";
    fs::create_directories(folder);
    std::string path = folder + "/" + name + ".toml";
    WriteFile(path, project);
    std::string out = folder + "/" + name + ".exe";
    RunResult r = RunBuilder({"build", path, "-o", out, "--stub", Engine()});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return r.exitCode == 0 ? out : "";
}

std::string FixtureEntry(const std::string& file, const std::string& kind, const std::string& folder) {
    return "[[file]]\nsource = \"" + WinBin(file) + "\"\nkind = \"" + kind +
           "\"\ndestination = \"%InstallDir%\\\\" + folder + "\\\\\"\n";
}

} // namespace

// One installation with every registration, then its uninstallation.
TEST(SystemRegistrationsUnderWine, RegisteredAtInstallationAndUndoneAtUninstallation) {
    const std::string root = DriveC() + "/cs_e2e_sysreg";
    fs::remove_all(root);
    for (const char* key : {kServerKey, kRefusingServerKey, kTypeLibKey})
        RunWine({"reg", "delete", key, "/f", View()}, 60);
    // Wine keeps a precompiled copy (".pnf") beside the INF in its store.
    for (const char* left : {"cs-test-driver.inf", "cs-test-driver.pnf"})
        fs::remove(DriveC() + "/windows/inf/" + left);
    std::string setup = Build(
        "sysreg", std::string("[product]\nname = \"") + kProduct +
                      "\"\nversion = \"1.0\"\n"
                      "[install]\nfolder = \"C:\\\\cs_e2e_sysreg\"\n[uninstall]\nsubfolder = \"uninst\"\n"
                      "[options]\nstart_menu_uninstaller = false\n" +
                      FixtureEntry("cs-test-com-server-plain.dll", "com-server", "com") +
                      FixtureEntry("cs-test-com-server-refuses-regsvr32.dll", "com-server", "com") +
                      FixtureEntry("cs-test-typelib.tlb", "type-library", "tlb") +
                      FixtureEntry("cs-test-driver.inf", "driver", "drv") +
                      "[[firewall]]\nport = 8080\nname = \"Web\"\ntcp = true\nudp = true\n"
                      "[[firewall]]\nport = 9090\ntcp = false\n"
                      "[[firewall]]\nport = 7070\nkeep = true\n"
                      "[[firewall]]\nprogram = \"bin\\\\missing.exe\"\nname = \"Gone\"\n");
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_EQ(ran.exitCode, 0) << ran.output;
    const std::string log = FileText(root + "/uninst/Install.log");
    const std::string data = FileText(root + "/uninst/Uninstall.dat");

    // COM servers: regsvr32's registration, and the direct call where regsvr32 failed.
    EXPECT_TRUE(TextContains(Query(kServerKey), "C:\\cs_e2e_sysreg\\com\\cs-test-com-server-plain.dll"))
        << Query(kServerKey);
    EXPECT_TRUE(TextContains(
        log, "Registering COM File \"C:\\cs_e2e_sysreg\\com\\cs-test-com-server-plain.dll\"...OK\r\n"))
        << log;
    EXPECT_TRUE(KeyExists(kRefusingServerKey)) << "the server's own DllRegisterServer was not called";
    EXPECT_TRUE(TextContains(
        log,
        "Registering COM File \"C:\\cs_e2e_sysreg\\com\\cs-test-com-server-refuses-regsvr32.dll\"...OK\r\n"))
        << log;

    // The type library.
    EXPECT_TRUE(KeyExists(kTypeLibKey));
    EXPECT_TRUE(TextContains(
        log, "Registering Type Library \"C:\\cs_e2e_sysreg\\tlb\\cs-test-typelib.tlb\"...OK\r\n"))
        << log;

    // The driver: its final place logged, recorded and there.
    const std::string driverLine = "Installing driver \"C:\\cs_e2e_sysreg\\drv\\cs-test-driver.inf\"...OK\r\n"
                                   "Final driver location: ";
    ASSERT_TRUE(TextContains(log, driverLine)) << log;
    size_t at = log.find(driverLine) + driverLine.size();
    std::string location = log.substr(at, log.find("\r\n", at) - at);
    EXPECT_EQ(SectionLines(data, "[INF]"), std::vector<std::string>{location}) << data;
    EXPECT_TRUE(fs::exists(DriveCPath(location))) << location;

    // The firewall (a stub under Wine: every call succeeds): two ports for protocol mask 3,
    // none for 0 but still recorded, a kept line not recorded, a missing program logged.
    EXPECT_TRUE(TextContains(
        log, "Added firewall exception: TCP port 8080\r\nAdded firewall exception: UDP port 8080\r\n"))
        << log;
    EXPECT_FALSE(TextContains(log, "port 9090")) << log;
    EXPECT_TRUE(TextContains(log, "Added firewall exception: TCP port 7070\r\n")) << log;
    EXPECT_TRUE(TextContains(log, "Failed to add firewall exception for "
                                  "\"C:\\cs_e2e_sysreg\\bin\\missing.exe\": file does not exist\r\n"))
        << log;
    EXPECT_EQ(SectionLines(data, "[Firewall]"), (std::vector<std::string>{"8080;Web;3;", "9090;;0;"}))
        << data;

    // The uninstallation: the shared counts reach zero, so both servers and the library are
    // unregistered; the driver package goes.
    RunResult undone = RunUninstaller("C:\\cs_e2e_sysreg\\uninst\\uninstall.exe", kProduct, "/silent");
    EXPECT_EQ(undone.exitCode, 0) << undone.output;
    EXPECT_FALSE(KeyExists(kServerKey));
    EXPECT_FALSE(KeyExists(kRefusingServerKey));
    EXPECT_FALSE(KeyExists(kTypeLibKey));
    EXPECT_FALSE(fs::exists(DriveCPath(location))) << location;
    fs::remove_all(root);
    fs::remove(DriveC() + "/windows/inf/cs-test-driver.pnf");
}

// A server that crashes inside DllRegisterServer (in regsvr32, then in the engine's direct
// call): the guard turns the crash into "CRASHED!" and a failure summary line, and the run goes
// on with the next server.
TEST(SystemRegistrationsUnderWine, ACrashingServerIsLoggedAndTheNextOneIsRegistered) {
    const std::string root = DriveC() + "/cs_e2e_sysreg_crash";
    fs::remove_all(root);
    RunWine({"reg", "delete", kServerKey, "/f", View()}, 60);
    std::string setup =
        Build("sysreg-crash", "[product]\nname = \"CsE2E Registration Crash\"\nversion = \"1.0\"\n"
                              "[install]\nfolder = \"C:\\\\cs_e2e_sysreg_crash\"\n" +
                                  FixtureEntry("cs-test-com-server-crashes.dll", "com-server", "com") +
                                  FixtureEntry("cs-test-com-server-plain.dll", "com-server", "com"));
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    EXPECT_FALSE(ran.timedOut);
    const std::string log = FileText(root + "/Install.log");
    const std::string crashed = "C:\\cs_e2e_sysreg_crash\\com\\cs-test-com-server-crashes.dll";
    EXPECT_TRUE(TextContains(log, "Registering COM File \"" + crashed + "\"...CRASHED!\r\n")) << log;
    EXPECT_TRUE(TextContains(log, "Crashed while registering COM file " + crashed)) << log;
    EXPECT_TRUE(TextContains(
        log, "Registering COM File \"C:\\cs_e2e_sysreg_crash\\com\\cs-test-com-server-plain.dll\"...OK\r\n"))
        << log;
    EXPECT_TRUE(KeyExists(kServerKey));
    // The uninstaller leaves the prefix as it was (its unregistration does not crash).
    EXPECT_EQ(RunUninstaller("C:\\cs_e2e_sysreg_crash\\uninstall.exe", "CsE2E Registration Crash", "/silent").exitCode,
              0);
    EXPECT_FALSE(KeyExists(kServerKey));
    fs::remove_all(root);
}

// A firewall line of 3 fields is a damaged payload: code 90, exit code 2, no exception added.
TEST(SystemRegistrationsUnderWine, AFirewallLineWithoutFourFieldsIsTheCorruptInstallerError) {
    const std::string root = DriveC() + "/cs_e2e_sysreg90";
    fs::remove_all(root);
    std::string setup = Build("sysreg90", "[product]\nname = \"CsE2E Firewall 90\"\nversion = \"1.0\"\n"
                                          "[install]\nfolder = \"C:\\\\cs_e2e_sysreg90\"\n"
                                          "[[firewall]]\nline = \"8080;Web;3;\"\n"
                                          "[[firewall]]\nline = \"8081;Web;3\"\n");
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    EXPECT_EQ(ran.exitCode, 2) << ran.output;
    const std::string log = FileText(root + "/Install.log");
    EXPECT_TRUE(TextContains(log, "Error code: 90")) << log;
    EXPECT_FALSE(TextContains(log, "Added firewall exception")) << log;
    fs::remove_all(root);
}
