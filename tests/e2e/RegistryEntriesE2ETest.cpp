// The registry entries under Wine, read back with Wine's "reg": each action of the list, text
// expanded or kept, keys in every user hive (a second hive loaded for the test), the product
// key in HKLM and HKCU, the merge file, the "App Paths" entry and its second installation,
// a 64-bit product in the 64-bit view, and the records of "Uninstall.dat".
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <map>

#include <filesystem>
#include <string>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

// The "[Registry2]" block of "Uninstall.dat": its lines up to the next section.
std::string Registry2Block(const std::string& uninstallData) {
    const std::string header = "\r\n\r\n[Registry2]\r\n";
    size_t at = uninstallData.find(header);
    if (at == std::string::npos) return "";
    at += header.size();
    size_t end = uninstallData.find("\r\n\r\n[", at);
    return uninstallData.substr(at, end == std::string::npos ? std::string::npos : end + 2 - at);
}

struct Query {
    bool found = false;
    std::string output;
};

// `reg query` of a key, or of one value, in a view ("/reg:32" or "/reg:64").
Query RegQuery(const std::string& key, const std::string& view, const std::string& value = "") {
    std::vector<std::string> args{"reg", "query", key};
    if (!value.empty()) args.insert(args.end(), {"/v", value});
    args.push_back(view);
    RunResult r = RunWine(args, 60);
    return {r.exitCode == 0, r.output};
}

void RegDelete(const std::string& key, const std::string& view) {
    RunWine({"reg", "delete", key, "/f", view}, 60);
}

void RegAddValue(const std::string& key, const std::string& name, const std::string& type,
                 const std::string& data, const std::string& view) {
    RunResult r = RunWine({"reg", "add", key, "/v", name, "/t", type, "/d", data, "/f", view}, 60);
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

// A hive of the test's own, loaded under HKEY_USERS while the object lives. Wine's "reg" has
// no "load", "unload" or "save" commands, so a small Windows tool of the tests makes the
// empty hive file and loads and unloads it through the registry calls.
class LoadedHive {
  public:
    explicit LoadedHive(const std::string& name) : name_(name) {
        RunWine({WinBin("hive-tool.exe"), "unload", name_}, 60); // one left by an earlier run
        std::string file = ToWindowsPath(TempDir() + "/" + name_ + ".hive");
        RunResult made = RunWine({WinBin("hive-tool.exe"), "make", file}, 60);
        EXPECT_EQ(made.exitCode, 0) << made.output;
        RunResult loaded = RunWine({WinBin("hive-tool.exe"), "load", name_, file}, 60);
        EXPECT_EQ(loaded.exitCode, 0) << loaded.output;
    }
    ~LoadedHive() { RunWine({WinBin("hive-tool.exe"), "unload", name_}, 60); }

  private:
    std::string name_;
};

// The user hive Wine keeps for its user (HKEY_CURRENT_USER).
constexpr const char* kWineUserHive = "HKU\\S-1-5-21-0-0-0-1000";
constexpr const char* kTestHive = "HKU\\cs-test";

// One "[[registry.entries]]" table of the project file (TOML literal strings; an empty type
// or action is left to its default).
std::string Entry(const std::string& key, const std::string& name, const std::string& type,
                  const std::string& data, const std::string& action) {
    std::string entry =
        "[[registry.entries]]\nkey = '" + key + "'\nname = '" + name + "'\ndata = '" + data + "'\n";
    if (!type.empty()) entry += "type = '" + type + "'\n";
    if (!action.empty()) entry += "action = '" + action + "'\n";
    return entry;
}

class RegistryUnderWine : public testing::Test {
  protected:
    void SetUp() override {
        source_ = TempDir();
        WriteFile(source_ + "/app.exe", "not really a program");
    }
    // The project's files are named by their full paths (the builder's project folder is
    // another one).
    std::string Build(const std::string& name, const std::string& project) {
        WriteFile(source_ + "/merge.reg", merge_);
        return BuildInstaller(name, "[product]\nname = \"" + name + "\"\nversion = \"1.0\"\n" + project);
    }
    std::string MergeFileKey() const { return "[registry]\nmerge_file = '" + source_ + "/merge.reg'\n"; }
    RunResult RunSilent(const std::string& installer) {
        RunResult r = RunWine({installer, "/silent", "/a"}, 180);
        EXPECT_FALSE(r.timedOut) << r.output;
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return r;
    }
    std::string source_, merge_;
};

} // namespace

// Each action of the list and each kind of data, a key in every user hive, the product key
// in HKLM and HKCU, and every line of the list in "Uninstall.dat".
TEST_F(RegistryUnderWine, ListActionsUserHivesProductKeyAndRecords) {
    const std::string root = DriveC() + "/cs_e2e_registry";
    const std::string values = "HKLM\\Software\\CsE2E Registry\\Values";
    fs::remove_all(root);
    RegDelete("HKLM\\Software\\CsE2E Registry", "/reg:32");
    RegDelete("HKCU\\Software\\CsE2E Registry", "/reg:32");
    RegAddValue(values, "Kept", "REG_SZ", "old", "/reg:32");
    RegAddValue(values, "Gone", "REG_DWORD", "5", "/reg:32");
    LoadedHive hive("cs-test");

    std::string setup =
        Build("Registry E2E", "registry_key = 'CsE2E Registry\\Product'\n"
                              "[install]\nfolder = 'C:\\cs_e2e_registry'\n" +
                                  Entry(values, "Count", "number", "12", "write") +
                                  Entry(values, "Gone", "number", "12", "delete") +
                                  Entry(values, "Kept", "", "new", "write-if-missing") +
                                  Entry(values, "Sz", "", "%InstallDir%\\bin", "") +
                                  Entry(values, "Expand", "expandable-text", "%InstallDir%\\bin", "") +
                                  "[[registry.entries]]\nkey = '\\HKAU\\Software\\CsE2E Registry\\All'\n");
    ASSERT_FALSE(setup.empty());
    RunSilent(setup);

    struct Expected {
        const char* name;
        const char* line; // as `reg query` shows it
    } expected[] = {
        {"Count", "Count    REG_DWORD    0xc"},
        {"Kept", "Kept    REG_SZ    old"}, // action 6 leaves the value there alone
        {"Sz", "Sz    REG_SZ    C:\\cs_e2e_registry\\bin"},
        {"Expand", "Expand    REG_EXPAND_SZ    %InstallDir%\\bin"},
    };
    for (const Expected& e : expected) {
        Query value = RegQuery(values, "/reg:32", e.name);
        EXPECT_TRUE(TextContains(value.output, e.line)) << value.output;
    }
    EXPECT_FALSE(RegQuery(values, "/reg:32", "Gone").found) << "action 4 deletes and writes nothing";

    for (const std::string& user : {std::string(kWineUserHive), std::string(kTestHive)}) {
        EXPECT_TRUE(RegQuery(user + "\\Software\\CsE2E Registry\\All", "/reg:32").found) << user;
        EXPECT_TRUE(RegQuery(user + "\\Software\\CsE2E Registry\\Product", "/reg:32").found) << user;
    }
    EXPECT_TRUE(RegQuery("HKCU\\Software\\CsE2E Registry\\Product", "/reg:32").found);
    EXPECT_TRUE(RegQuery("HKLM\\Software\\CsE2E Registry\\Product", "/reg:32").found);
    EXPECT_FALSE(RegQuery("HKLM\\Software\\CsE2E Registry\\Product", "/reg:64").found) << "a 32-bit product";

    EXPECT_EQ(Registry2Block(FileText(root + "/Uninstall.dat")),
              values + ",Count,4,12,1\r\n" + values + ",Gone,4,12,4\r\n" + values + ",Kept,1,new,6\r\n" +
                  values + ",Sz,1,%InstallDir%\\bin,3\r\n" + values + ",Expand,2,%InstallDir%\\bin,3\r\n" +
                  "\\HKAU\\Software\\CsE2E Registry\\All\r\n");

    RegDelete("HKLM\\Software\\CsE2E Registry", "/reg:32");
    RegDelete(std::string(kWineUserHive) + "\\Software\\CsE2E Registry", "/reg:32");
    RegDelete(std::string(kTestHive) + "\\Software\\CsE2E Registry", "/reg:32");
    fs::remove_all(root);
}

// The merge file is imported (into the product's view) and its temporary file removed; the
// main executable is registered under "App Paths" with both values recorded for the
// uninstaller; a second installation finds the registration and leaves it.
TEST_F(RegistryUnderWine, MergeFileAndAppPaths) {
    const std::string root = DriveC() + "/cs_e2e_regapp";
    const std::string merged = "HKLM\\Software\\CsE2E Registry Merged";
    const std::string appPaths =
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\cs_e2e_app.exe";
    fs::remove_all(root);
    RegDelete(merged, "/reg:32");
    RegDelete(merged, "/reg:64");
    RegDelete(appPaths, "/reg:32");
    merge_ = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\CsE2E Registry Merged]\r\n\"From\"=\"merge "
             "file\"\r\n";
    std::string setup = Build("Registry Merge E2E", "main_executable = 'cs_e2e_app.exe'\n"
                                                    "[install]\nfolder = 'C:\\cs_e2e_regapp'\n" +
                                                        MergeFileKey() + "[[file]]\nsource = '" + source_ +
                                                        "/app.exe'\nname = 'cs_e2e_app.exe'\n");
    ASSERT_FALSE(setup.empty());
    RunSilent(setup);

    // The 32-bit registry editor imports into the 32-bit view. A prefix made on a machine that
    // runs no 32-bit code has none (no syswow64\\regedit.exe): the system's own editor imports
    // into the 64-bit view there.
    const bool has32BitEditor = fs::exists(DriveC() + "/windows/syswow64/regedit.exe");
    Query from = RegQuery(merged, has32BitEditor ? "/reg:32" : "/reg:64", "From");
    EXPECT_TRUE(TextContains(from.output, "From    REG_SZ    merge file")) << from.output;
    std::string log = FileText(root + "/Install.log");
    EXPECT_TRUE(TextContains(log, "Merging registry file...OK\r\n")) << log;
    for (const auto& entry : fs::recursive_directory_iterator(DriveC() + "/users"))
        EXPECT_FALSE(entry.path().filename().string().rfind("KWT", 0) == 0 &&
                     entry.path().extension() == ".reg")
            << entry.path();

    EXPECT_TRUE(TextContains(log, "Registering exe path...OK\r\n")) << log;
    Query program = RegQuery(appPaths, "/reg:32", "");
    EXPECT_TRUE(TextContains(program.output, "REG_SZ    C:\\cs_e2e_regapp\\cs_e2e_app.exe")) << program.output;
    Query path = RegQuery(appPaths, "/reg:32", "Path");
    EXPECT_TRUE(TextContains(path.output, "Path    REG_SZ    C:\\cs_e2e_regapp\r\n")) << path.output;
    const std::string key = "\\" + appPaths;
    const std::string records = key + ",,,,2\r\n" + key + ",Path,,,2\r\n" + key + "\r\n";
    EXPECT_EQ(Registry2Block(FileText(root + "/Uninstall.dat")), records);

    // The second installation's records replace the first's: its own registration is still
    // recorded for the uninstaller.
    RunSilent(setup);
    log = FileText(root + "/Install.log");
    EXPECT_TRUE(TextContains(log.substr(log.rfind("Registering exe path...")),
                         "Registering exe path...a registration already exists\r\n"))
        << log;
    EXPECT_EQ(Registry2Block(FileText(root + "/Uninstall.dat")), records);

    RegDelete(merged, "/reg:32");
    RegDelete(merged, "/reg:64");
    RegDelete(appPaths, "/reg:32");
    fs::remove_all(root);
}

// The merge text as another writer stores it (UTF-16 without a byte-order mark) is imported;
// a text the registry editor cannot import is a failure in the log and the failure summary,
// never "OK" (the editor's silent import ends with 0 either way).
TEST_F(RegistryUnderWine, MergeFileImportIsChecked) {
    const std::string root = DriveC() + "/cs_e2e_regmerge";
    const std::string key = "HKCU\\Software\\CsE2E Merge16";
    auto utf16 = [](const std::string& ascii) {
        std::string bytes;
        for (char c : ascii)
            bytes += std::string{c, '\0'};
        return bytes;
    };
    struct Case {
        const char* what;
        std::string text;
        const char* logLine;
    } cases[] = {
        {"UTF-16 without its mark",
         utf16("Windows Registry Editor Version 5.00\r\n\r\n[" + std::string("HKEY_CURRENT_USER\\Software\\CsE2E Merge16") +
               "]\r\n\"Wide\"=\"yes\"\r\n"),
         "Merging registry file...OK\r\n"},
        {"not a registry file", "this is no registry file\r\n",
         "Merging registry file...FAILED!\r\nthe file names no registry key the registry editor can import\r\n"},
    };
    for (const Case& c : cases) {
        fs::remove_all(root);
        RegDelete(key, "/reg:32");
        merge_ = c.text;
        std::string setup = Build("Registry Merge Check E2E", "[install]\nfolder = 'C:\\cs_e2e_regmerge'\n" + MergeFileKey());
        ASSERT_FALSE(setup.empty());
        RunSilent(setup);
        std::string log = FileText(root + "/Install.log");
        EXPECT_TRUE(TextContains(log, c.logLine)) << c.what << "\n" << log;
        bool imported = std::string(c.logLine).find("OK") != std::string::npos;
        EXPECT_EQ(TextContains(log, "Failed to import the registry merge file: "), !imported) << c.what << "\n" << log;
        if (imported) {
            Query wide = RegQuery(key, "/reg:32", "Wide");
            EXPECT_TRUE(TextContains(wide.output, "Wide    REG_SZ    yes")) << wide.output;
        }
    }
    RegDelete(key, "/reg:32");
    fs::remove_all(root);
}

// A product that asks for the 64-bit registry writes its entries, and imports its merge file,
// into the 64-bit view, whichever engine runs it.
TEST_F(RegistryUnderWine, SixtyFourBitProductWritesTheSixtyFourBitView) {
    const std::string root = DriveC() + "/cs_e2e_reg64";
    const std::string key = "HKLM\\Software\\CsE2E Registry64";
    fs::remove_all(root);
    RegDelete(key, "/reg:64");
    RegDelete(key, "/reg:32");
    merge_ = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\CsE2E Registry64]\r\n\"Merged\"=\"64\"\r\n";
    std::string setup =
        Build("Registry64 E2E", "[install]\nfolder = 'C:\\cs_e2e_reg64'\n"
                                "[options]\nproduct_64bit_registry = true\n" +
                                    MergeFileKey() + Entry(key, "Written", "number64", "0x100000000", ""));
    ASSERT_FALSE(setup.empty());
    RunSilent(setup);

    // Wine's `reg query` shows REG_QWORD data as "(null)"; the export shows it.
    std::map<std::string, ExportedValue> exported = ExportedValues(key, "/reg:64");
    EXPECT_EQ(exported["Written"].type, "REG_QWORD");
    EXPECT_EQ(exported["Written"].data, "4294967296");
    Query merged = RegQuery(key, "/reg:64", "Merged");
    EXPECT_TRUE(TextContains(merged.output, "Merged    REG_SZ    64")) << merged.output;
    EXPECT_FALSE(RegQuery(key, "/reg:32").found) << "nothing in the 32-bit view";

    RegDelete(key, "/reg:64");
    fs::remove_all(root);
}
