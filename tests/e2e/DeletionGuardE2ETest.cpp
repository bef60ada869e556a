// The uninstaller's deletion guard under Wine: whatever spelling "InstallLocation" uses for
// the user's Documents folder ("\\?\", "\\.\", its 8.3 short name), an installation made
// with the short name, and "\\?\C:\", the whole-tree deletion keeps the user's files and ends
// with 3; a normal installation into the Desktop and a Documents subfolder leaves both folders
// in place with their attributes; tampered records in "Uninstall.dat" delete nothing outside
// the product.
//
// The user's files are a scratch folder of the test's own inside Documents; nothing relies on
// the prefix surviving a deletion that goes wrong.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

const std::string kEntryRoot = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool KeyExists(const std::string& key, const std::string& view = "/reg:32") {
    return RunWine({"reg", "query", key, view}, 60).exitCode == 0;
}

// The path with its last component's 8.3 name as Wine gives it (hashed, such as "DOCU~OWL"),
// read from "dir /x" of the parent folder (Wine's cmd leaves "%~sI" long).
std::string ShortPathOf(const std::string& windowsPath) {
    size_t cut = windowsPath.rfind('\\');
    std::string parent = windowsPath.substr(0, cut), leaf = windowsPath.substr(cut + 1);
    std::string listing = RunWine({"cmd", "/c", "dir", "/x", parent}, 60).output;
    size_t start = 0;
    while (start < listing.size()) {
        size_t end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        std::string line = TrimmedEnd(listing.substr(start, end - start));
        start = end + 1;
        if (line.size() <= leaf.size() || line.compare(line.size() - leaf.size(), leaf.size(), leaf) != 0)
            continue;
        std::string before = TrimmedEnd(line.substr(0, line.size() - leaf.size()));
        std::string shortName = before.substr(before.rfind(' ') + 1);
        if (shortName.find('~') != std::string::npos) return parent + "\\" + shortName;
    }
    return windowsPath;
}

// Wine keeps a file's DOS attributes in the extended attribute "user.DOSATTRIB"
// ("0x" and hexadecimal digits); read and set from Linux.
std::string DosAttributes(const std::string& path) {
    char buffer[64] = {};
    ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", buffer, sizeof(buffer) - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}
bool SetDosAttributes(const std::string& path, const std::string& value) {
    return setxattr(path.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) == 0;
}

// A folder of the prefix is a link into the test's home; a deletion gone wrong leaves the link
// pointing at nothing, which this makes whole again so that one failing case does not fail
// the next.
void EnsureFolder(const std::string& path) {
    std::error_code ignored;
    if (fs::is_symlink(path, ignored) && !fs::exists(path, ignored)) {
        fs::path target = fs::read_symlink(path, ignored);
        if (target.is_relative()) target = fs::path(path).parent_path() / target;
        fs::create_directories(target, ignored);
    }
    fs::create_directories(path, ignored);
}

// The self-removal batch runs on after a successful uninstaller: waits until it removed the
// installation folder (30 s at most).
void WaitUntilGone(const std::string& folder) {
    for (int i = 0; i < 120 && fs::exists(folder); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
}

class DeletionGuardUnderWine : public testing::Test {
  protected:
    void SetUp() override {
        source_ = TempDir();
        documents_ = SpecialFolder("Documents");
        desktop_ = SpecialFolder("Desktop");
        ASSERT_FALSE(documents_.empty());
        ASSERT_FALSE(desktop_.empty());
        docs_ = DriveCPath(documents_);
        EnsureFolder(docs_);
        EnsureFolder(DriveCPath(desktop_));
        scratch_ = docs_ + "/cs_e2e_guard_scratch";
        fs::remove_all(scratch_);
        WriteScratch();
    }
    void WriteScratch() {
        EnsureFolder(docs_);
        fs::create_directories(scratch_);
        WriteFile(scratch_ + "/letter.txt", "the user's letter");
        WriteFile(scratch_ + "/notes.txt", "the user's notes");
    }
    void TearDown() override { fs::remove_all(scratch_); }
    std::string Source(const std::string& name, const std::string& contents) {
        WriteFile(source_ + "/" + name, contents);
        return source_ + "/" + name;
    }
    // A product in C:\<folder> whose uninstaller deletes the whole installation folder.
    std::string GuardedProduct(const std::string& name, const std::string& folder,
                               const std::string& keyName) {
        return BuildInstaller(name,
                              "[product]\nname = \"Guard E2E\"\n[install]\nfolder = \"C:\\\\" + folder +
                                  "\"\n[uninstall]\nsubfolder = \"cs_e2e_uninst\"\nkey_name = \"" + keyName +
                                  "\"\n[options]\nstart_menu_uninstaller = false\ndelete_install_folder = "
                                  "true\n[[file]]\nsource = \"" +
                                  Source("app.txt", "app") + "\"\n");
    }
    void Install(const std::vector<std::string>& args) {
        RunResult r = RunWine(args, 180);
        EXPECT_FALSE(r.timedOut) << r.output;
        EXPECT_EQ(r.exitCode, 0) << r.output;
    }
    void ExpectUsersFilesKept(const std::string& what) {
        EXPECT_TRUE(fs::is_directory(docs_)) << what;
        EXPECT_EQ(FileText(scratch_ + "/letter.txt"), "the user's letter") << what;
        EXPECT_EQ(FileText(scratch_ + "/notes.txt"), "the user's notes") << what;
    }
    std::string source_, documents_, desktop_, docs_, scratch_;
};

} // namespace

// An edited "InstallLocation" that names Documents through a namespace prefix or its short
// name: the tree is refused (3), the user's files stay, the entry stays.
TEST_F(DeletionGuardUnderWine, GuardBypassesInTheInstallLocationKeepTheUsersFiles) {
    const std::string key = kEntryRoot + "CsE2E Guard Bypass";
    const std::string root = DriveC() + "/cs_e2e_guard";
    std::string setup = GuardedProduct("bypass", "cs_e2e_guard", "CsE2E Guard Bypass");
    ASSERT_FALSE(setup.empty());
    std::string shortName = ShortPathOf(documents_);
    ASSERT_NE(shortName.find('~'), std::string::npos) << "Wine gave no short name: " << shortName;
    const std::string locations[] = {"\\\\?\\" + documents_, "\\\\.\\" + documents_, shortName,
                                     "\\\\?\\" + shortName + "\\"};
    for (const std::string& location : locations) {
        fs::remove_all(root);
        RegDeleteKey(key);
        Install({setup, "/silent", "/a"});
        fs::create_directories(docs_ + "/cs_e2e_uninst");
        fs::copy_file(root + "/cs_e2e_uninst/Uninstall.dat", docs_ + "/cs_e2e_uninst/Uninstall.dat",
                      fs::copy_options::overwrite_existing);
        RegAdd(key, "InstallLocation", location);

        RunResult run =
            RunUninstaller("C:\\cs_e2e_guard\\cs_e2e_uninst\\uninstall.exe", "CsE2E Guard Bypass", "/silent");
        EXPECT_EQ(run.exitCode, 3) << location << "\n" << run.output;
        ExpectUsersFilesKept(location);
        EXPECT_TRUE(KeyExists(key)) << location;
        fs::remove_all(docs_ + "/cs_e2e_uninst");
        WriteScratch();
    }
    RegDeleteKey(key);
    fs::remove_all(root);
}

// "\\?\C:\" as the installation folder: the drive is refused and a file at its root stays.
TEST_F(DeletionGuardUnderWine, DriveRootThroughANamespacePrefixIsRefused) {
    const std::string key = kEntryRoot + "CsE2E Guard Root";
    const std::string root = DriveC() + "/cs_e2e_guard_root";
    fs::remove_all(root);
    RegDeleteKey(key);
    std::string setup = GuardedProduct("root", "cs_e2e_guard_root", "CsE2E Guard Root");
    ASSERT_FALSE(setup.empty());
    Install({setup, "/silent", "/a"});
    const std::string marker = DriveC() + "/cs_e2e_guard_root_marker.txt";
    WriteFile(marker, "stays");
    fs::create_directories(DriveC() + "/cs_e2e_uninst");
    fs::copy_file(root + "/cs_e2e_uninst/Uninstall.dat", DriveC() + "/cs_e2e_uninst/Uninstall.dat",
                  fs::copy_options::overwrite_existing);
    RegAdd(key, "InstallLocation", "\\\\?\\C:\\");

    RunResult run =
        RunUninstaller("C:\\cs_e2e_guard_root\\cs_e2e_uninst\\uninstall.exe", "CsE2E Guard Root", "/silent");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_EQ(FileText(marker), "stays");
    EXPECT_TRUE(fs::exists(DriveC() + "/windows/system32"));
    ExpectUsersFilesKept("\\\\?\\C:\\");
    fs::remove(marker);
    fs::remove_all(DriveC() + "/cs_e2e_uninst");
    RegDeleteKey(key);
    fs::remove_all(root);
}

// Installed with /d: and the short name of Documents (no tampering at all): the product's
// files go, the user's stay, the refusal of the tree is the run's failure (3).
TEST_F(DeletionGuardUnderWine, ShortNameInstallationKeepsTheUsersFiles) {
    const std::string key = kEntryRoot + "CsE2E Guard Short";
    RegDeleteKey(key);
    std::string setup = GuardedProduct("short", "cs_e2e_guard_short", "CsE2E Guard Short");
    ASSERT_FALSE(setup.empty());
    std::string shortName = ShortPathOf(documents_);
    ASSERT_NE(shortName.find('~'), std::string::npos) << shortName;
    Install({setup, "/silent", "/a", "/d:" + shortName});
    ASSERT_TRUE(fs::exists(docs_ + "/app.txt"));
    ASSERT_TRUE(fs::exists(docs_ + "/cs_e2e_uninst/uninstall.exe"));

    RunResult run =
        RunUninstaller(shortName + "\\cs_e2e_uninst\\uninstall.exe", "CsE2E Guard Short", "/silent");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    ExpectUsersFilesKept("/d:" + shortName);
    EXPECT_FALSE(fs::exists(docs_ + "/app.txt")) << "the product's own file goes";
    fs::remove(docs_ + "/app.txt");
    fs::remove_all(docs_ + "/cs_e2e_uninst");
    RegDeleteKey(key);
}

// A normal installation of a file to the Desktop and one to a new Documents subfolder: the
// uninstallation removes both files and the subfolder and leaves the Desktop and Documents,
// empty or holding a desktop.ini with the System attribute, as they were.
TEST_F(DeletionGuardUnderWine, ShellFoldersKeepExistingAndKeepTheirAttributes) {
    const std::string key = kEntryRoot + "CsE2E Guard Shell";
    const std::string root = DriveC() + "/cs_e2e_guard_shell";
    const std::string desk = DriveCPath(desktop_);
    std::string setup = BuildInstaller(
        "shell",
        "[product]\nname = \"Guard Shell E2E\"\n[install]\nfolder = \"C:\\\\cs_e2e_guard_shell\"\n"
        "[uninstall]\nsubfolder = \"uninst\"\nkey_name = \"CsE2E Guard Shell\"\n"
        "[options]\nstart_menu_uninstaller = false\n"
        "[[file]]\nsource = \"" +
            Source("x.txt", "x") +
            "\"\nname = \"cs_e2e_guard_x.txt\"\ndestination = \"%DesktopDir%\\\\\"\n"
            "[[file]]\nsource = \"" +
            Source("y.txt", "y") +
            "\"\nname = \"cs_e2e_guard_y.txt\"\ndestination = \"%DocumentDir%\\\\CsE2EGuardSub\\\\\"\n");
    ASSERT_FALSE(setup.empty());

    // Both cases: the folders holding a desktop.ini marked System, then empty. What the two
    // folders held before the test waits in a holding folder and comes back at the end.
    const std::string holding = TempDir() + "/holding";
    fs::remove_all(scratch_);
    // Wine may link both to one folder of the home; each real folder is handled once.
    struct Shell {
        std::string folder, held;
    };
    std::vector<Shell> shells = {{desk, holding + "/desktop"}};
    if (fs::canonical(desk) != fs::canonical(docs_)) shells.push_back({docs_, holding + "/documents"});
    // Whatever happens below, the contents come back.
    struct Restore {
        const std::vector<Shell>& shells;
        ~Restore() {
            for (size_t i = 0; i < shells.size(); ++i) {
                EnsureFolder(shells[i].folder);
                std::error_code ignored;
                for (const auto& entry : fs::directory_iterator(shells[i].held, ignored))
                    fs::rename(entry.path(), shells[i].folder + "/" + entry.path().filename().string(),
                               ignored);
            }
        }
    } restore{shells};
    for (const Shell& s : shells) {
        fs::create_directories(s.held);
        for (const auto& entry : fs::directory_iterator(s.folder))
            fs::rename(entry.path(), s.held + "/" + entry.path().filename().string());
    }
    for (bool withIni : {true, false}) {
        const char* what = withIni ? "with desktop.ini" : "empty";
        fs::remove_all(root);
        RegDeleteKey(key);
        for (const Shell& s : shells) {
            if (!withIni) continue;
            WriteFile(s.folder + "/desktop.ini", "[.ShellClassInfo]\r\n");
            ASSERT_TRUE(SetDosAttributes(s.folder, "0x4")) << "no extended attributes here";
        }
        Install({setup, "/silent", "/a"});
        ASSERT_TRUE(fs::exists(desk + "/cs_e2e_guard_x.txt"));
        ASSERT_TRUE(fs::exists(docs_ + "/CsE2EGuardSub/cs_e2e_guard_y.txt"));

        RunResult run =
            RunUninstaller("C:\\cs_e2e_guard_shell\\uninst\\uninstall.exe", "CsE2E Guard Shell", "/silent");
        EXPECT_EQ(run.exitCode, 0) << what << "\n" << run.output;
        EXPECT_FALSE(fs::exists(desk + "/cs_e2e_guard_x.txt")) << what;
        EXPECT_FALSE(fs::exists(docs_ + "/CsE2EGuardSub"))
            << what << ": the folder the installation made goes";
        EXPECT_TRUE(fs::is_directory(desk)) << what;
        EXPECT_TRUE(fs::is_directory(docs_)) << what;
        // The self-removal batch runs on after the uninstaller; the next installation must not
        // meet it.
        WaitUntilGone(root);
        EXPECT_FALSE(fs::exists(root)) << what << ": the self-removal batch ends";
        for (const Shell& s : shells) {
            if (withIni) {
                EXPECT_EQ(DosAttributes(s.folder), "0x4") << what << ": " << s.folder;
                EXPECT_TRUE(fs::exists(s.folder + "/desktop.ini")) << what;
                fs::remove(s.folder + "/desktop.ini");
                removexattr(s.folder.c_str(), "user.DOSATTRIB");
            }
        }
    }
    RegDeleteKey(key);
    fs::remove_all(root);
}

// Tampered records added to a real "Uninstall.dat": each names something outside the product
// (decoys of the test's own where the record names a system file, so nothing of the prefix is
// at stake). The product's own file still goes; every decoy stays; the run ends with 3.
TEST_F(DeletionGuardUnderWine, TamperedRecordsDeleteNothingOutsideTheProduct) {
    const std::string key = kEntryRoot + "CsE2E Guard Records";
    const std::string root = DriveC() + "/cs_e2e_guard_rec";
    const std::string decoyKey = "HKCU\\Software\\CsE2EGuardDecoy";
    fs::remove_all(root);
    RegDeleteKey(key);
    RegDeleteKey(decoyKey);
    std::string setup = GuardedProduct("records", "cs_e2e_guard_rec", "CsE2E Guard Records");
    ASSERT_FALSE(setup.empty());
    Install({setup, "/silent", "/a"});
    ASSERT_TRUE(fs::exists(root + "/app.txt"));

    const std::string relative = "cs_e2e_guard_relative.txt";
    struct Decoy {
        std::string record;  // the line put into "Uninstall.dat"
        std::string file;    // the Linux path that must stay ("" for a registry decoy)
        std::string section; // "" for a body line
    } decoys[] = {
        {"C:\\windows\\cs_e2e_guard_win.ini", DriveC() + "/windows/cs_e2e_guard_win.ini", ""},
        {"C:\\windows\\system32\\cs_e2e_guard_kernel.dll",
         DriveC() + "/windows/system32/cs_e2e_guard_kernel.dll", ""},
        {"\\\\?\\C:\\windows\\cs_e2e_guard_prefixed.ini", DriveC() + "/windows/cs_e2e_guard_prefixed.ini",
         ""},
        {relative, (fs::current_path() / relative).string(), ""},
        {"C:\\cs_e2e_guard_other\\keep.txt", DriveC() + "/cs_e2e_guard_other/keep.txt", ""},
        {"C:\\cs_e2e_guard_rec\\..\\cs_e2e_guard_other\\climb.txt",
         DriveC() + "/cs_e2e_guard_other/climb.txt", ""},
        {"~" + documents_, "", ""},
        {"^HKEY_CURRENT_USER\\Software\\CsE2EGuardDecoy", "", ""},
        {"^HKEY_CURRENT_USER\\Software\\CsE2EGuardDecoy\\Keep", "", ""},
        {"!HKEY_CURRENT_USER\\Software\\CsE2EGuardDecoy\\Keep\\Value", "", ""},
        {documents_ + "\\cs_e2e_guard_scratch\\*.txt,0,,8", scratch_ + "/notes.txt", "[ConditionalDelete]"},
    };
    for (const Decoy& d : decoys) {
        if (d.file.empty() || fs::exists(d.file)) continue;
        fs::create_directories(fs::path(d.file).parent_path());
        WriteFile(d.file, "decoy");
    }
    RegAdd(decoyKey + "\\Keep", "Value", "kept");
    RegAdd(decoyKey + "\\Keep\\Deeper", "Other", "kept");

    // Body lines go first, before "[Strings]"; sections at the end.
    const std::string data = root + "/cs_e2e_uninst/Uninstall.dat";
    std::string text = FileText(data), body, sections;
    for (const Decoy& d : decoys) {
        if (d.section.empty())
            body += d.record + "\r\n";
        else
            sections += "\r\n" + d.section + "\r\n" + d.record + "\r\n";
    }
    WriteFile(data, body + text + sections);

    RunResult run = RunUninstaller("C:\\cs_e2e_guard_rec\\cs_e2e_uninst\\uninstall.exe",
                                   "CsE2E Guard Records", "/silent");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_FALSE(fs::exists(root + "/app.txt")) << "the product's own file goes";
    for (const Decoy& d : decoys) {
        if (!d.file.empty()) {
            EXPECT_TRUE(fs::exists(d.file)) << d.record;
        }
    }
    ExpectUsersFilesKept("tampered records");
    EXPECT_EQ(ExportedValues(decoyKey + "\\Keep", "/reg:32")["Value"].data, "kept");
    EXPECT_TRUE(KeyExists(decoyKey + "\\Keep\\Deeper"));
    EXPECT_TRUE(KeyExists("HKCU\\Software\\Wine"));

    for (const Decoy& d : decoys)
        if (!d.file.empty() && d.file.find("cs_e2e_guard_scratch") == std::string::npos) fs::remove(d.file);
    fs::remove_all(DriveC() + "/cs_e2e_guard_other");
    RegDeleteKey(decoyKey);
    RegDeleteKey(key);
    fs::remove_all(root);
}

// Garbage lines and records of files that are not there leave nothing behind: they are only
// logged, and the uninstallation still ends with 0 and removes the product.
TEST_F(DeletionGuardUnderWine, RecordsNamingNothingLeaveTheResultAsItWas) {
    const std::string key = kEntryRoot + "CsE2E Guard Garbage";
    const std::string root = DriveC() + "/cs_e2e_guard_garbage";
    fs::remove_all(root);
    RegDeleteKey(key);
    std::string setup = GuardedProduct("garbage", "cs_e2e_guard_garbage", "CsE2E Guard Garbage");
    ASSERT_FALSE(setup.empty());
    Install({setup, "/silent", "/a"});
    const std::string data = root + "/cs_e2e_uninst/Uninstall.dat";
    WriteFile(data, "garbage line one\r\n..\\..\\cs_e2e_no_such.txt\r\nC:\\windows\\cs_e2e_no_such.ini\r\n"
                    "\\\\?\\C:\\cs_e2e_no_such\\x.txt\r\n" +
                        FileText(data));

    RunResult run = RunUninstaller("C:\\cs_e2e_guard_garbage\\cs_e2e_uninst\\uninstall.exe",
                                   "CsE2E Guard Garbage", "/silent");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_FALSE(fs::exists(root + "/app.txt"));
    EXPECT_FALSE(KeyExists(key));
    WaitUntilGone(root);
    ExpectUsersFilesKept("garbage lines");
    RegDeleteKey(key);
    fs::remove_all(root);
}
