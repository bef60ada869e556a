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
#include <regex>
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

namespace {

const std::string kFullKey = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CsE2E Full Key";

// A project that sets every value of the entry it can; `extra` adds to its [options].
std::string FullProject(const std::string& sources, const std::string& version, const std::string& extra) {
    return "[product]\nname = 'CsE2E Full Key'\nversion = '" + version +
           "'\npublisher = 'Corvantis Tests'\n"
           "icon = '" + sources + "/product.ico'\nregistry_key = 'CsE2E Full Product'\n"
           "support_offer = 'https://support.example/offer'\nno_downgrade_below = '2.0'\n"
           "[install]\nfolder = 'C:\\cs_e2e_fullkey'\nshared_folder = 'CsE2E Full Shared'\n"
           "start_menu_folder = 'CsE2E Full Menu'\ndesktop_folder = 'CsE2E Desk'\n"
           "shortcuts_for = 'all-users'\nadd_to_path_subfolder = 'bin'\n"
           "[uninstall]\nkey_name = 'CsE2E Full Key'\nsubfolder = 'uninst'\nfonts = 'keep'\n"
           "shared_files = 'ask'\n"
           "[[uninstall.values]]\nname = 'HelpLink'\nvalue = 'https://help.example/%ProductName%'\n"
           "[[uninstall.values]]\nname = 'Readme'\nkind = 'expandable-text'\nvalue = '%InstallDir%\\readme.txt'\n"
           "[[uninstall.values]]\nname = 'NoRepair'\nkind = 'number'\nvalue = '1'\n"
           "[wizard]\ntaskbar_text = 'Full Key Setup'\ndialog_font = 'Tahoma'\ntitle = 'Full Title'\n"
           "title_size = 1.25\ntitle_color = '#112233'\ntitle_shadow = 2\ntitle_position = 'top-right'\n"
           "title_font = 'Arial'\ntop_color = '#004080'\nbottom_color = '#102030'\ndialog_zoom = 110\n"
           "banner_text_color = '#0A0B0C'\ndialog_background = '#E5E9EB'\ndialog_text = '#1B2125'\n"
           "panel_background = '#FFFFF0'\npanel_text = '#000010'\n"
           "button_face = '#D9DFE3'\nbutton_text = '#1A1F22'\nbutton_border = '#1A1F23'\n"
           "copyright = { text = '(c) Tests', font = 'Verdana', size = 0.5, color = '#ECFCFE', "
           "position = 'bottom-centre' }\n"
           "[batches]\nuninstall_before = 'echo before'\nuninstall_after = 'echo after'\n"
           "[links]\nuninstall_url = 'http://127.0.0.1:9/removed'\nfeedback_url = 'http://127.0.0.1:9/feedback'\n"
           "[options]\nadd_to_path = true\n" + extra +
           "[[file]]\nsource = '" + sources + "/data.bin'\n"
           "[[file]]\nsource = '" + sources + "/face.ttf'\nkind = 'font'\ntitle = 'Cs Test Face'\n";
}

void CleanFull() {
    RegDeleteKey(kFullKey);
    RegDeleteKey("HKLM\\Software\\CsE2E Full Product");
    RegDeleteKey("HKCU\\Software\\CsE2E Full Product");
    fs::remove_all(DriveC() + "/cs_e2e_fullkey");
}

} // namespace

// The whole entry read back through `reg export`, every value with its type and data: the
// installer writes 8-bit and wide texts, numbers of 32 and 64 bits, the colours as RRGGBB, the
// background's styling (no "/silent": that switch hides the background), and deletes what is
// empty. Values that change from run to run are checked by their form.
TEST(UninstallRegistrationUnderWine, TheExportedEntryHoldsEveryValueInItsForm) {
    CleanFull();
    std::string sources = TempDir();
    WriteFile(sources + "/data.bin", std::string(5000, 'd'));
    WriteFile(sources + "/face.ttf", "not really a font");
    WriteFile(sources + "/product.ico", std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x08\0\0\0\x16\0\0\0iconicon", 30));
    std::string setup = BuildInstaller("Full Key E2E", FullProject(sources, "5.12.1", ""));
    ASSERT_FALSE(setup.empty());
    RunResult run = RunWine({setup, "/a"}, 180);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;

    std::map<std::string, ExportedValue> got = ExportedValues(kFullKey);
    const std::string folder = "C:\\cs_e2e_fullkey";
    const std::string uninstaller = "\"" + folder + "\\uninst\\uninstall.exe\"";
    const std::map<std::string, ExportedValue> expected = {
        {"UninstallString", {"REG_SZ", uninstaller + " /u:\"CsE2E Full Key\""}},
        {"QuietUninstallString", {"REG_SZ", uninstaller + " /a /u:\"CsE2E Full Key\""}},
        {"DisplayName", {"REG_SZ", "CsE2E Full Key"}},
        {"Publisher", {"REG_SZ", "Corvantis Tests"}},
        {"Bitness", {"REG_DWORD", "0"}},
        {"DisplayVersion", {"REG_SZ", "5.12.1"}},
        {"NoDowngradeBelow", {"REG_SZ", "2.0"}},
        {"DisplayIcon", {"REG_SZ", folder + "\\uninst\\product.ico"}},
        {"VersionMajor", {"REG_DWORD", "5"}},
        {"VersionMinor", {"REG_DWORD", "12"}},
        {"ProductRegistry", {"REG_SZ", "CsE2E Full Product"}},
        {"ProductStartMenu", {"REG_SZ", "CsE2E Full Menu"}},
        {"ProductFonts", {"REG_SZ", "\"Cs Test Face\" \"face.ttf\" "}},
        {"UninstallBatch1", {"REG_SZ", "echo before"}},
        {"UninstallBatch2", {"REG_SZ", "echo after"}},
        {"UninstallSubdir", {"REG_SZ", "uninst"}},
        {"AddToPathSubfolder", {"REG_SZ", "bin"}},
        {"ShortcutMode", {"REG_DWORD", "1"}},
        {"NotifyURL", {"REG_SZ", "http://127.0.0.1:9/removed"}},
        {"SupportOffer", {"REG_SZ", "https://support.example/offer"}},
        {"DesktopFolder", {"REG_SZ", "CsE2E Desk"}},
        {"UninstallFonts", {"REG_DWORD", "0"}},
        {"UninstallShared", {"REG_DWORD", "1"}},
        {"Language", {"REG_SZ", "English"}},
        {"FeedbackURL", {"REG_SZ", "http://127.0.0.1:9/feedback"}},
        {"EstimatedSize", {"REG_DWORD", "4"}},
        {"TaskbarText", {"REG_SZ", "Full Key Setup"}},
        {"DialogFont", {"REG_SZ", "Tahoma"}},
        {"BannerFG", {"REG_SZ", "0A0B0C"}},
        {"DialogFG", {"REG_SZ", "1B2125"}},
        {"DialogBG", {"REG_SZ", "E5E9EB"}},
        {"SPNMFG", {"REG_SZ", "000010"}},
        {"SPNMBG", {"REG_SZ", "FFFFF0"}},
        {"ButtonBG", {"REG_SZ", "D9DFE3"}},
        {"ButtonFG", {"REG_SZ", "1A1F22"}},
        {"ButtonBorder", {"REG_SZ", "1A1F23"}},
        {"DialogZoom", {"REG_DWORD", "110"}},
        {"DisplayTitle", {"REG_SZ", "Full Title"}},
        {"TitleColor", {"REG_DWORD", std::to_string(0x332211)}},
        {"TitleSize", {"REG_SZ", "1.25"}},
        {"TopColor", {"REG_DWORD", std::to_string(0x804000)}},
        {"BottomColor", {"REG_DWORD", std::to_string(0x302010)}},
        {"MonoColor", {"REG_DWORD", "0"}},
        {"TitleShadow", {"REG_DWORD", "2"}},
        {"TitlePosition", {"REG_DWORD", "3"}},
        {"TitleFont", {"REG_SZ", "Arial"}},
        {"CopyrightText", {"REG_SZ", "(c) Tests"}},
        {"CopyrightFont", {"REG_SZ", "Verdana"}},
        {"CopyrightSize", {"REG_SZ", "0.5"}},
        {"CopyrightColor", {"REG_SZ", "ECFCFE"}},
        {"CopyrightPos", {"REG_DWORD", "5"}},
        {"HelpLink", {"REG_SZ", "https://help.example/CsE2E Full Key"}},
        {"Readme", {"REG_EXPAND_SZ", folder + "\\readme.txt"}},
        {"NoRepair", {"REG_DWORD", "1"}},
        {"InstallLocation", {"REG_SZ", folder}},
    };
    for (const auto& [name, value] : expected) {
        ASSERT_TRUE(got.count(name)) << name << " is missing";
        EXPECT_EQ(got[name].type, value.type) << name;
        EXPECT_EQ(got[name].data, value.data) << name;
    }
    // Values of the run itself: their forms.
    const struct {
        const char *name, *type, *pattern;
    } forms[] = {
        {"InstallSource", "REG_SZ", R"(.*\\Full Key E2E.*\.exe)"},
        {"SharedPath", "REG_SZ", R"(C:\\.*\\CsE2E Full Shared)"},
        {"ProductFlags", "REG_SZ", R"(-?[0-9]+)"},
        {"ProductFlags2", "REG_SZ", R"([0-9]+)"},
        {"Session", "REG_QWORD", R"([1-9][0-9]*)"},
        {"ProgressStyle", "REG_DWORD", R"([0-3])"},
        {"InstallDate", "REG_SZ", R"(20[0-9]{2}(0[1-9]|1[0-2])(0[1-9]|[12][0-9]|3[01]))"},
    };
    for (const auto& f : forms) {
        ASSERT_TRUE(got.count(f.name)) << f.name << " is missing";
        EXPECT_EQ(got[f.name].type, f.type) << f.name;
        EXPECT_TRUE(std::regex_match(got[f.name].data, std::regex(f.pattern))) << f.name << ": " << got[f.name].data;
    }
    // ProductFlags: option word 1 low, word 2 high, as one signed 64-bit number; the option
    // words carry "add_to_path" and the uninstaller's own bit.
    uint64_t flags = static_cast<uint64_t>(std::stoll(got["ProductFlags"].data));
    EXPECT_EQ(flags & 0x4u, 0x4u) << got["ProductFlags"].data;
    EXPECT_EQ(flags & 0x20000000u, 0u) << "no background-less option without /silent";
    // Nothing else: the deleted and conditional values are absent.
    for (const char* absent : {"SharedFiles", "BitmapSize", "BitmapTPI", "StretchMode"})
        EXPECT_FALSE(got.count(absent)) << absent;
    EXPECT_EQ(got.size(), expected.size() + std::size(forms)) << "no value besides the table's";
    CleanFull();
}

// The values that depend on the project: a version without "." writes no version numbers, an
// installation without file data no size, and "/silent" (which hides the background) none of
// the background's styling values.
TEST(UninstallRegistrationUnderWine, ConditionalValuesFollowTheProject) {
    CleanFull();
    std::string sources = TempDir();
    WriteFile(sources + "/data.bin", "");
    WriteFile(sources + "/face.ttf", "");
    WriteFile(sources + "/product.ico", std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\x08\0\0\0\x16\0\0\0iconicon", 30));
    std::string setup = BuildInstaller("Full Key E2E v5", FullProject(sources, "5", ""));
    ASSERT_FALSE(setup.empty());
    RunResult run = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::map<std::string, ExportedValue> got = ExportedValues(kFullKey);
    ASSERT_TRUE(got.count("DisplayVersion"));
    EXPECT_EQ(got["DisplayVersion"].data, "5");
    for (const char* absent : {"VersionMajor", "VersionMinor", "EstimatedSize", "DisplayTitle", "TitleColor",
                               "TitleSize", "TopColor", "BottomColor", "MonoColor", "TitleShadow",
                               "TitlePosition", "TitleFont", "CopyrightText", "CopyrightFont",
                               "CopyrightSize", "CopyrightColor", "CopyrightPos"})
        EXPECT_FALSE(got.count(absent)) << absent;
    EXPECT_EQ(static_cast<uint64_t>(std::stoll(got["ProductFlags"].data)) & 0x20000000u, 0x20000000u)
        << "silent mode hides the background";
    EXPECT_EQ(got["BannerFG"].data, "0A0B0C") << "the colours stay";
    CleanFull();
}
