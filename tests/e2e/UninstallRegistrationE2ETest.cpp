// The uninstall entry under Wine, read back with Wine's "reg" in the 32-bit view (where both
// engines write it): the commands with "/u:" and "/a", the product's names and version, the
// installation folder and date, the option words, the definition's own values of each kind
// (one of them in a key of its own, listed for the uninstaller) and the installation-path
// value of the location reference.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

const std::string kUninstallKey =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CsE2E Uninstall Key";
const std::string kOwnKey = "HKCU\\Software\\CsE2E Uninstall";
const std::string kLocationKey = "HKLM\\Software\\CsE2E Uninstall Location";

struct RegValue {
    std::string type, data;
};

// The values of a key as `reg query` lists them ("    Name    REG_SZ    data"), by name.
std::map<std::string, RegValue> KeyValues(const std::string& key) {
    RunResult r = RunWine({"reg", "query", key, "/reg:32"}, 60);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::map<std::string, RegValue> values;
    size_t start = 0;
    while (start < r.output.size()) {
        size_t end = r.output.find('\n', start);
        std::string line = r.output.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? r.output.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t type = line.find("    REG_");
        if (line.rfind("    ", 0) != 0 || type == std::string::npos) continue;
        size_t data = line.find("    ", type + 4);
        RegValue& v = values[line.substr(4, type - 4)];
        v.type = line.substr(type + 4, data == std::string::npos ? std::string::npos : data - type - 4);
        v.data = data == std::string::npos ? "" : line.substr(data + 4);
    }
    return values;
}

std::string Today(const char* format) {
    std::time_t now = std::time(nullptr);
    char text[16];
    std::strftime(text, sizeof text, format, std::localtime(&now));
    return text;
}

void Clean(const std::string& root) {
    RegDeleteKey(kUninstallKey);
    RegDeleteKey(kOwnKey);
    RegDeleteKey(kLocationKey);
    fs::remove_all(root);
}

} // namespace

TEST(UninstallRegistrationUnderWine, SilentInstallationWritesTheUninstallEntry) {
    const std::string root = DriveC() + "/cs_e2e_uninstkey";
    Clean(root);
    std::string before = Today("%Y%m%d");
    std::string setup = BuildInstaller(
        "Uninstall Key E2E", "[product]\nname = 'Uninstall Key E2E'\nversion = '5.12.1'\n"
                             "publisher = 'Corvantis Tests'\n"
                             "[install]\nfolder = 'C:\\cs_e2e_uninstkey'\n"
                             "location_reference = 'HKLM\\Software\\CsE2E Uninstall Location\\Path'\n"
                             "[uninstall]\nkey_name = 'CsE2E Uninstall Key'\nsubfolder = 'uninst'\n"
                             "[[uninstall.values]]\nname = 'Comments'\nvalue = 'for %ProductName%'\n"
                             "[[uninstall.values]]\nname = 'HelpFolder'\nkind = 'expandable-text'\n"
                             "value = '%InstallDir%\\help'\n"
                             "[[uninstall.values]]\nname = 'NoModify'\nkind = 'number'\nvalue = '1'\n"
                             "[[uninstall.values]]\nname = 'HKCU\\Software\\CsE2E Uninstall\\Extra'\n"
                             "kind = 'number'\nvalue = '0x2A'\n");
    ASSERT_FALSE(setup.empty());
    RunResult run = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::string after = Today("%Y%m%d");

    std::map<std::string, RegValue> values = KeyValues(kUninstallKey);
    EXPECT_NE(RunWine({"reg", "query", kUninstallKey, "/reg:64"}, 60).exitCode, 0)
        << "the entry is in the 32-bit view only, whichever engine writes it";
    const std::string uninstaller = "\"C:\\cs_e2e_uninstkey\\uninst\\uninstall.exe\"";
    struct Expected {
        const char *name, *type;
        std::string data;
    } expected[] = {
        {"UninstallString", "REG_SZ", uninstaller + " /u:\"CsE2E Uninstall Key\""},
        {"QuietUninstallString", "REG_SZ", uninstaller + " /a /u:\"CsE2E Uninstall Key\""},
        {"DisplayName", "REG_SZ", "Uninstall Key E2E"},
        {"Publisher", "REG_SZ", "Corvantis Tests"},
        {"DisplayVersion", "REG_SZ", "5.12.1"},
        {"VersionMajor", "REG_DWORD", "0x5"},
        {"VersionMinor", "REG_DWORD", "0xc"},
        {"InstallLocation", "REG_SZ", "C:\\cs_e2e_uninstkey"},
        {"UninstallSubdir", "REG_SZ", "uninst"},
        {"Comments", "REG_SZ", "for Uninstall Key E2E"},
        {"HelpFolder", "REG_EXPAND_SZ", "C:\\cs_e2e_uninstkey\\help"},
        {"NoModify", "REG_DWORD", "0x1"},
    };
    for (const Expected& e : expected) {
        ASSERT_TRUE(values.count(e.name)) << e.name;
        EXPECT_EQ(values[e.name].type, e.type) << e.name;
        EXPECT_EQ(values[e.name].data, e.data) << e.name;
    }
    EXPECT_FALSE(values.count("NoDowngradeBelow")) << "an empty text deletes its value";
    EXPECT_FALSE(values.count("Extra")) << "a name with a backslash writes to its own key";
    ASSERT_TRUE(values.count("InstallSource"));
    EXPECT_NE(values["InstallSource"].data.find("Uninstall Key E2E"), std::string::npos);

    const std::string date = values["InstallDate"].data;
    EXPECT_EQ(values["InstallDate"].type, "REG_SZ");
    EXPECT_TRUE(date == before || date == after) << date << " (the date of " << before << ")";

    // Silent mode sets 0x30600000 in option word 1; the uninstaller's option 0x4 is on.
    EXPECT_EQ(values["ProductFlags"].type, "REG_SZ");
    const std::string flags = values["ProductFlags"].data;
    ASSERT_FALSE(flags.empty());
    EXPECT_EQ(flags.find_first_not_of("-0123456789"), std::string::npos) << flags;
    uint64_t words = static_cast<uint64_t>(std::stoll(flags));
    EXPECT_EQ(words & 0x30600004u, 0x30600004u) << flags;
    EXPECT_EQ(values["ProductFlags2"].data.find_first_not_of("0123456789"), std::string::npos);

    std::map<std::string, RegValue> own = KeyValues(kOwnKey);
    EXPECT_EQ(own["Extra"].type, "REG_DWORD");
    EXPECT_EQ(own["Extra"].data, "0x2a");
    std::string data = FileText(root + "/uninst/Uninstall.dat");
    EXPECT_NE(data.find(kOwnKey + ",Extra,0,,2\r\n"), std::string::npos) << data;

    std::map<std::string, RegValue> location = KeyValues(kLocationKey);
    EXPECT_EQ(location["Path"].data, "C:\\cs_e2e_uninstkey");

    std::string log = FileText(root + "/uninst/Install.log");
    EXPECT_EQ(log.find("Unable to save the uninstall information"), std::string::npos) << log;
    Clean(root);
}
