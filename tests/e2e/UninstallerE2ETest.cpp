// The uninstaller under Wine: an installation undone in silent and in automatic mode leaves
// the prefix's files and registry as they were before it (apart from what Wine itself
// changes, named below), with a shared file still counted by another product kept and one
// counted only by this product removed, a read-only file deleted, the uninstall batch run and
// the uninstaller removed by its own batch, and every kind of system change (association,
// font, MSI package, COM server, type library, driver, firewall port) undone; the early
// results 13 and 14; a file held open
// ends in the failure summary (result 3, entry and record kept) and goes in a second run,
// which requests the uninstall notification; a
// folder holding a user's file stays with its parents; the whole-tree deletion refuses the
// user's Documents folder; answering No at the confirmation (xdotool) changes nothing.
//
// Wine's loader escapes the quotes of /u:"a b" when a program is started directly from
// Linux, so the uninstaller is started through a one-line batch file run by cmd.exe.
#include "support/HttpRecorder.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

const std::string kEntryRoot = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kCounts = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// What Wine changes by itself between two snapshots: its temporary files, the keys of the
// display and device set-up its services rewrite as programs come and go, and what a fresh
// prefix writes at a first use (the console's settings when cmd.exe first runs, the 64-bit
// common files folder when it is first asked for). And one value the installation itself
// leaves: its temporary extraction file registered for deletion at the next restart
// ("PendingFileRenameOperations").
const char* const kFileExclusions[] = {"windows/temp/", "windows/logs/"};
const char* const kKeyExclusions[] = {
    "HKEY_CURRENT_USER\\Software\\Wine",
    "HKEY_LOCAL_MACHINE\\Software\\Wine",
    "HKEY_LOCAL_MACHINE\\Hardware",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Video",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Class",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ServiceCurrent",
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles",
    "HKEY_CURRENT_USER\\Console",
};
const char* const kValueExclusions[] = {"PendingFileRenameOperations", "ProgramFilesCommonX64"};

// Wine's driver store writes a precompiled ".pnf" beside each INF it copies, which its
// SetupUninstallOEMInfW leaves behind (Windows removes both); the INF itself is compared.
bool IsWinePrecompiledInf(const std::string& relative) {
    return relative.rfind("windows/inf/", 0) == 0 && relative.size() > 4 &&
           relative.compare(relative.size() - 4, 4, ".pnf") == 0;
}

bool Excluded(const std::string& text, const char* const* list, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (text.rfind(list[i], 0) == 0) return true;
    return false;
}

// The files and folders under drive C: (links to folders followed, as the user's Desktop and
// Documents are links into $HOME) and the registry of HKLM in both views and of HKCU.
struct MachineState {
    std::set<std::string> files;
    std::set<std::string> registry;  // "view|key|name=type:data" and "view|key|" for each key
    std::set<std::string> userFiles; // below the user's folders (Desktop, Start Menu, ...)
};

MachineState Snapshot() {
    MachineState state;
    const fs::path root = DriveC();
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root,
                                                    fs::directory_options::follow_directory_symlink |
                                                        fs::directory_options::skip_permission_denied,
                                                    error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        std::string relative = fs::relative(it->path(), root).string();
        if (it->is_directory()) relative += "/";
        // The user's own folders are listed apart, without Wine's temporary files.
        if (relative.rfind("users/", 0) == 0) {
            if (relative.find("/Temp/") == std::string::npos &&
                relative.find("/AppData/Local/Microsoft/") == std::string::npos)
                state.userFiles.insert(relative);
            continue;
        }
        if (!Excluded(relative, kFileExclusions, std::size(kFileExclusions)) && !IsWinePrecompiledInf(relative))
            state.files.insert(relative);
    }
    const struct {
        const char *key, *view;
    } exports[] = {{"HKLM", "/reg:32"}, {"HKLM", "/reg:64"}, {"HKCU", "/reg:64"}};
    for (const auto& e : exports) {
        std::string file = TempDir() + "/export.reg";
        RunWine({"reg", "export", e.key, ToWindowsPath(file), "/y", e.view}, 120);
        for (const auto& [key, values] : ParseRegExport(FileText(file))) {
            if (Excluded(key, kKeyExclusions, std::size(kKeyExclusions))) continue;
            std::string prefix = std::string(e.view) + "|" + key + "|";
            state.registry.insert(prefix);
            for (const auto& [name, value] : values)
                if (std::find(std::begin(kValueExclusions), std::end(kValueExclusions), name) ==
                    std::end(kValueExclusions))
                    state.registry.insert(prefix + name + "=" + value.type + ":" + value.data);
        }
    }
    return state;
}

std::vector<std::string> Difference(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::vector<std::string> out;
    for (const std::string& item : after)
        if (!before.count(item)) out.push_back("added: " + item);
    for (const std::string& item : before)
        if (!after.count(item)) out.push_back("removed: " + item);
    return out;
}

std::string Lines(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += item + "\n";
    return text;
}

bool KeyExists(const std::string& key) {
    return RunWine({"reg", "query", key, "/reg:32"}, 60).exitCode == 0;
}

std::string CountOf(const std::string& path) {
    RunResult r = RunWine({"reg", "query", kCounts, "/v", path, "/reg:32"}, 60);
    if (r.exitCode != 0) return "";
    size_t at = r.output.find("REG_DWORD");
    if (at == std::string::npos) return "";
    std::string count = TrimmedEnd(r.output.substr(at + 9));
    return count.substr(count.find_first_not_of(' ') == std::string::npos ? count.size()
                                                                          : count.find_first_not_of(' '));
}

void SetCount(const std::string& path, int count) {
    RunWine(
        {"reg", "add", kCounts, "/v", path, "/t", "REG_DWORD", "/d", std::to_string(count), "/f", "/reg:32"});
}

void DeleteCount(const std::string& path) {
    RunWine({"reg", "delete", kCounts, "/v", path, "/f", "/reg:32"});
}

// Waits until the path is gone (the self-removal batch runs after the uninstaller's exit).
bool Vanishes(const std::string& path, int seconds) {
    for (int i = 0; i < seconds * 4; ++i) {
        if (!fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return !fs::exists(path);
}

class UninstallerUnderWine : public testing::Test {
  protected:
    void SetUp() override { source_ = TempDir(); }
    // A source file of the project, by its full path (the builder's project lies elsewhere).
    std::string Source(const std::string& name, const std::string& contents) {
        WriteFile(source_ + "/" + name, contents);
        return source_ + "/" + name;
    }
    std::string Build(const std::string& name, const std::string& project) {
        return BuildInstaller(name, project);
    }
    RunResult Install(const std::string& setup) {
        RunResult r = RunWine({setup, "/silent", "/a"}, 180);
        EXPECT_FALSE(r.timedOut) << r.output;
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return r;
    }
    std::string source_;
};

// The system changes of the full product; the fixtures are the ones the font, MSI and
// registration tests use.
std::string SystemChanges() {
    const std::string data = CORVANTIS_FONTSMSI_DATA;
    auto fixture = [](const std::string& file, const std::string& kind) {
        return "[[file]]\nsource = '" + WinBin(file) + "'\nkind = '" + kind +
               "'\ndestination = '%InstallDir%\\system\\'\n";
    };
    return "[[file]]\nsource = '" + data + "/test-font.ttf'\nname = 'cs-e2e-unin-sans.ttf'\n"
           "kind = 'font'\ntitle = 'Cs E2E Uninstaller Sans'\n"
           "[[file]]\nsource = '" + data + "/test-package.msi'\n"
           "kind = 'msi'\nmsi_ui_level = 2\nremove_msi_at_uninstall = true\n" +
           fixture("cs-test-com-server-plain.dll", "com-server") + fixture("cs-test-typelib.tlb", "type-library") +
           fixture("cs-test-driver.inf", "driver") +
           "[[association]]\nextension = 'csunin'\nfile_type = 'CsE2E.Uninstaller.Document'\nmode = 'default-verb'\n"
           "verbs = 'open, print'\ndescription = 'Uninstaller E2E document'\nverb_label = '&Open'\n"
           "command = '\"%InstallDir%\\bin\\app.txt\" \"%1\"'\nicon = 'bin\\app.txt'\n"
           "[[firewall]]\nport = 8080\nname = 'Uninstaller E2E'\ntcp = true\nudp = true\n";
}

// A product with files of several kinds, shortcuts, registry entries (one in every user hive),
// its own key, the two uninstall batches and every kind of system change: a file association,
// a font, an MSI package, a COM server, a type library, a driver package and a firewall port.
std::string FullProject(const std::function<std::string(const std::string&, const std::string&)>& source) {
    return "[product]\nname = \"Uninstaller E2E\"\nversion = \"2.0\"\npublisher = \"Corvantis Tests\"\n"
           "registry_key = \"Corvantis Tests\\\\Uninstaller E2E\"\n"
           "[install]\nfolder = \"C:\\\\cs_e2e_unin\\\\app\"\nshared_subfolder = \"shared\"\n"
           "start_menu_folder = \"Corvantis Tests\\\\Uninstaller E2E\"\n"
           "[uninstall]\nsubfolder = \"uninst\"\nkey_name = \"CsE2E Uninstaller\"\n"
           "[batches]\npost_install = \"echo made> C:\\\\cs_e2e_unin_marker.txt\"\n"
           "uninstall_before = \"del C:\\\\cs_e2e_unin_marker.txt\"\n"
           "uninstall_after = \"del C:\\\\cs_e2e_unin_marker2.txt\"\n"
           "[[file]]\nsource = \"" +
           source("app.txt", "application") +
           "\"\nname = \"bin\\\\app.txt\"\n"
           "start_menu_shortcut = true\ndesktop_shortcut = true\n"
           "[[file]]\nsource = \"" +
           source("ro.txt", "read-only") +
           "\"\nname = \"docs\\\\deep\\\\ro.txt\"\n"
           "attributes = \"read-only\"\n"
           "[[file]]\nsource = \"" +
           source("kept.dll", "shared, counted elsewhere") +
           "\"\nkind = \"shared\"\n"
           "[[file]]\nsource = \"" +
           source("gone.dll", "shared, ours alone") +
           "\"\nkind = \"shared\"\n"
           "[[shortcut]]\ntarget = \"%InstallDir%\\\\bin\\\\app.txt\"\nname = \"Sub\\\\Extra\"\n"
           "[[registry.entries]]\nkey = \"HKCU\\\\Software\\\\Corvantis Tests\\\\Uninstaller E2E Values\"\n"
           "name = \"Greeting\"\ndata = \"hello\"\n"
           "[[registry.entries]]\nkey = \"HKLM\\\\Software\\\\Corvantis Tests\\\\Uninstaller E2E "
           "Machine\\\\Sub\"\n"
           "[[registry.entries]]\nkey = \"\\\\HKAU\\\\Software\\\\Corvantis Tests\\\\Uninstaller E2E "
           "Users\"\n"
           "name = \"Each\"\ntype = \"number\"\ndata = \"7\"\n" +
           SystemChanges();
}

const std::string kRoot = "/cs_e2e_unin";
const std::string kProgram = "C:\\cs_e2e_unin\\app\\uninst\\uninstall.exe";

} // namespace

// Silent and automatic runs: everything the installation added goes, the machine is as before.
TEST_F(UninstallerUnderWine, SilentAndAutomaticRunsLeaveTheMachineAsItWas) {
    const std::string app = DriveC() + kRoot + "/app";
    const std::string keptPath = "C:\\cs_e2e_unin\\app\\shared\\kept.dll";
    const std::string gonePath = "C:\\cs_e2e_unin\\app\\shared\\gone.dll";
    auto source = [this](const std::string& n, const std::string& c) { return Source(n, c); };
    std::string setup = Build("full", FullProject(source));
    ASSERT_FALSE(setup.empty());

    // The Windows installer service makes its own folder and keys at its first use and keeps
    // them (Windows has them from the start): the test package installed and removed once
    // beforehand makes them, so the comparison sees only what the product's package leaves.
    const std::string package = ToWindowsPath(std::string(CORVANTIS_FONTSMSI_DATA) + "/test-package.msi");
    ASSERT_EQ(RunWine({"msiexec", "/i", package, "/qn"}, 180).exitCode, 0);
    ASSERT_EQ(RunWine({"msiexec", "/x", package, "/qn"}, 180).exitCode, 0);

    for (const char* switches : {"/silent", "/a"}) {
        SCOPED_TRACE(switches);
        RegDeleteKey("HKCU\\Software\\Corvantis Tests");
        RegDeleteKey("HKLM\\Software\\Corvantis Tests");
        fs::remove_all(DriveC() + kRoot);
        RegDeleteKey(kEntryRoot + "CsE2E Uninstaller");
        DeleteCount(gonePath);
        // Another product installed the first shared file and counts it twice.
        fs::create_directories(app + "/shared");
        WriteFile(app + "/shared/kept.dll", "shared, counted elsewhere");
        SetCount(keptPath, 2);
        WriteFile(DriveC() + "/cs_e2e_unin_marker2.txt", "deleted by the second batch");
        MachineState before = Snapshot();
        fs::remove(DriveC() + "/cs_e2e_unin_marker2.txt");
        before.files.erase("cs_e2e_unin_marker2.txt");
        WriteFile(DriveC() + "/cs_e2e_unin_marker2.txt", "deleted by the second batch");

        Install(setup);
        ASSERT_TRUE(fs::exists(app + "/uninst/uninstall.exe"));
        ASSERT_TRUE(fs::exists(DriveC() + "/cs_e2e_unin_marker.txt")) << "the post-installation batch ran";
        EXPECT_EQ(CountOf(keptPath), "0x3");
        EXPECT_EQ(CountOf(gonePath), "0x1");
        const std::string log = FileText(app + "/uninst/Install.log");
        for (const std::string made :
             {"Associated .csunin with", "test-package.msi\"...OK\r\n", "cs-test-com-server-plain.dll\"...OK\r\n",
              "cs-test-typelib.tlb\"...OK\r\n", "Final driver location: ",
              "Added firewall exception: TCP port 8080", "Added firewall exception: UDP port 8080"})
            EXPECT_TRUE(TextContains(log, made)) << made << "\n" << log;
        EXPECT_TRUE(fs::exists(DriveC() + "/windows/Fonts/cs-e2e-unin-sans.ttf"));
        MachineState installed = Snapshot();
        ASSERT_FALSE(Difference(before.files, installed.files).empty());
        ASSERT_FALSE(Difference(before.userFiles, installed.userFiles).empty()) << "shortcuts were made";

        RunResult run = RunUninstaller(kProgram, "CsE2E Uninstaller", switches);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_FALSE(fs::exists(DriveC() + "/cs_e2e_unin_marker.txt")) << "the first uninstall batch ran";
        EXPECT_FALSE(fs::exists(DriveC() + "/cs_e2e_unin_marker2.txt")) << "the second uninstall batch ran";
        EXPECT_TRUE(Vanishes(app + "/uninst/uninstall.exe", 30))
            << "the self-removal batch deleted the program";
        EXPECT_TRUE(Vanishes(app + "/uninst", 10)) << "and its empty folder";
        std::string temp = SpecialFolder("Temp");
        if (!temp.empty()) {
            // It lies in a private folder of its own ("cs-*.tmp") in the temporary folder.
            for (const auto& entry : fs::directory_iterator(DriveCPath(temp))) {
                if (entry.path().filename().string().rfind("cs-", 0) == 0) {
                    EXPECT_TRUE(Vanishes(entry.path().string() + "/delunins.bat", 10)) << "and itself";
                }
            }
        }
        EXPECT_FALSE(KeyExists(kEntryRoot + "CsE2E Uninstaller"));
        EXPECT_EQ(CountOf(keptPath), "0x2") << "the other product's count";
        EXPECT_EQ(FileText(app + "/shared/kept.dll"), "shared, counted elsewhere");
        EXPECT_EQ(CountOf(gonePath), "") << "a count reaching zero leaves no value";
        EXPECT_FALSE(fs::exists(app + "/shared/gone.dll"));
        EXPECT_FALSE(fs::exists(app + "/docs/deep/ro.txt")) << "the read-only file";
        for (const char* created : {"HKCU\\Software\\Corvantis Tests", "HKLM\\Software\\Corvantis Tests"})
            EXPECT_FALSE(KeyExists(created)) << created << ": keys the installation made go when left empty";

        MachineState after = Snapshot();
        EXPECT_EQ(Lines(Difference(before.files, after.files)), "");
        EXPECT_EQ(Lines(Difference(before.userFiles, after.userFiles)), "");
        EXPECT_EQ(Lines(Difference(before.registry, after.registry)), "");
    }
    fs::remove_all(DriveC() + kRoot);
    DeleteCount(keptPath);
}

// The checks before any change: an unknown name is 13; an empty "InstallLocation" and an
// unreadable "Uninstall.dat" are 14. The engine is started from the build folder: it removes
// nothing of itself.
TEST_F(UninstallerUnderWine, EarlyChecksEndWithTheirCodes) {
    const std::string engine = ToWindowsPath(Engine());
    const std::string key = kEntryRoot + "CsE2E Uninstaller Broken";
    RegDeleteKey(key);
    EXPECT_EQ(RunUninstaller(engine, "CsE2E No Such Product", "/silent").exitCode, 13);

    RegAdd(key, "DisplayName", "Broken Product");
    RegAdd(key, "InstallLocation", "");
    EXPECT_EQ(RunUninstaller(engine, "CsE2E Uninstaller Broken", "/silent").exitCode, 14);
    EXPECT_TRUE(KeyExists(key)) << "nothing is changed";

    RegAdd(key, "InstallLocation", "C:\\cs_e2e_unin_missing");
    EXPECT_EQ(RunUninstaller(engine, "CsE2E Uninstaller Broken", "/silent").exitCode, 14);
    EXPECT_TRUE(KeyExists(key));
    EXPECT_TRUE(fs::exists(Engine()));
    RegDeleteKey(key);
}

// A file held open by another program: result 3, the file in the failure summary and in the
// rewritten "Uninstall.dat", the entry kept. Released, a second run finishes with 0. A folder
// that holds a user's file stays, and so do its parents.
TEST_F(UninstallerUnderWine, HeldFileStaysRecordedAndGoesInASecondRun) {
    const std::string root = DriveC() + "/cs_e2e_unin_held";
    fs::remove_all(root);
    const std::string key = kEntryRoot + "CsE2E Uninstaller Held";
    RegDeleteKey(key);
    cs::test::HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    const std::string address = "http://127.0.0.1:" + std::to_string(recorder.Port());
    std::string setup =
        Build("held", "[product]\nname = \"Held E2E\"\nversion = \"3.1\"\n"
                      "[links]\nuninstall_url = \"" +
                          address +
                          "/uninstalled?version=%version%\"\n[install]\nfolder = \"C:\\\\cs_e2e_unin_held\"\n"
                          "[uninstall]\nsubfolder = \"uninst\"\nkey_name = \"CsE2E Uninstaller Held\"\n"
                          "[options]\nstart_menu_uninstaller = false\n"
                          "[[file]]\nsource = \"" +
                          Source("held.txt", "held") +
                          "\"\nname = \"bin\\\\held.txt\"\n"
                          "[[file]]\nsource = \"" +
                          Source("free.txt", "free") +
                          "\"\nname = \"bin\\\\free.txt\"\n"
                          "[[file]]\nsource = \"" +
                          Source("note.txt", "note") + "\"\nname = \"docs\\\\a\\\\b\\\\note.txt\"\n");
    ASSERT_FALSE(setup.empty());
    Install(setup);
    WriteFile(root + "/docs/a/mine.txt", "the user's own file");
    const std::string program = "C:\\cs_e2e_unin_held\\uninst\\uninstall.exe";
    {
        const std::string stop = TempDir() + "/stop";
        Process holder({WinBin("hold-file.exe"), "C:\\cs_e2e_unin_held\\bin\\held.txt", ToWindowsPath(stop)});
        for (int i = 0; i < 120 && !fs::exists(root + "/bin/held.txt.held"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        ASSERT_TRUE(fs::exists(root + "/bin/held.txt.held"));
        fs::remove(root + "/bin/held.txt.held");

        RunResult first = RunUninstaller(program, "CsE2E Uninstaller Held", "/silent");
        EXPECT_EQ(first.exitCode, 3) << first.output;
        WriteFile(stop, "");
        holder.Wait(60);
    }
    EXPECT_TRUE(KeyExists(key)) << "the entry stays for a later run";
    EXPECT_TRUE(fs::exists(root + "/bin/held.txt"));
    EXPECT_FALSE(fs::exists(root + "/bin/free.txt"));
    std::vector<std::string> body = UninstallBodyLines(FileText(root + "/uninst/Uninstall.dat"));
    auto recorded = [&body](const std::string& line) {
        return std::count(body.begin(), body.end(), line) == 1;
    };
    EXPECT_TRUE(recorded("C:\\cs_e2e_unin_held\\bin\\held.txt")) << Lines(body);
    EXPECT_TRUE(recorded("~C:\\cs_e2e_unin_held\\bin")) << "the folder that still holds it";
    EXPECT_FALSE(recorded("C:\\cs_e2e_unin_held\\bin\\free.txt"));
    EXPECT_FALSE(recorded("C:\\cs_e2e_unin_held\\docs\\a\\b\\note.txt"));
    EXPECT_TRUE(fs::exists(root + "/uninst/uninstall.exe")) << "no self-removal after failures";
    // The deepest folder went; the one with the user's file stays with its parents.
    EXPECT_FALSE(fs::exists(root + "/docs/a/b"));
    EXPECT_EQ(FileText(root + "/docs/a/mine.txt"), "the user's own file");

    EXPECT_TRUE(recorder.Requests().empty()) << "no uninstall notification after failures";

    RunResult second = RunUninstaller(program, "CsE2E Uninstaller Held", "/silent");
    EXPECT_EQ(second.exitCode, 0) << second.output;
    // The uninstall notification ("NotifyURL") is requested before the process ends.
    EXPECT_EQ(recorder.Requests(), (std::vector<std::string>{"GET /uninstalled?version=3.1"}));
    EXPECT_FALSE(fs::exists(root + "/bin/held.txt"));
    EXPECT_FALSE(fs::exists(root + "/bin"));
    EXPECT_FALSE(KeyExists(key));
    EXPECT_TRUE(Vanishes(root + "/uninst", 30));
    EXPECT_TRUE(fs::exists(root + "/docs/a/mine.txt"));
    fs::remove_all(root);
}

// The whole-tree deletion refuses a folder of the user's, whatever "InstallLocation" says:
// pointed at the user's Documents folder, which holds a file of the user's, it deletes nothing
// there and the refusal is a failure (result 3).
TEST_F(UninstallerUnderWine, WholeTreeDeletionRefusesTheUsersDocuments) {
    const std::string root = DriveC() + "/cs_e2e_unin_docs";
    fs::remove_all(root);
    const std::string key = kEntryRoot + "CsE2E Uninstaller Docs";
    RegDeleteKey(key);
    std::string setup =
        Build("docs", "[product]\nname = \"Docs E2E\"\n[install]\nfolder = \"C:\\\\cs_e2e_unin_docs\"\n"
                      "[uninstall]\nsubfolder = \"cs_e2e_uninst\"\nkey_name = \"CsE2E Uninstaller Docs\"\n"
                      "[options]\nstart_menu_uninstaller = false\ndelete_install_folder = true\n"
                      "[[file]]\nsource = \"" +
                          Source("app.txt", "app") + "\"\n");
    ASSERT_FALSE(setup.empty());
    Install(setup);
    std::string documents = SpecialFolder("Documents");
    ASSERT_FALSE(documents.empty());
    const std::string docs = DriveCPath(documents);
    WriteFile(docs + "/cs_e2e_user_letter.txt", "the user's letter");
    fs::create_directories(docs + "/cs_e2e_uninst");
    fs::copy_file(root + "/cs_e2e_uninst/Uninstall.dat", docs + "/cs_e2e_uninst/Uninstall.dat",
                  fs::copy_options::overwrite_existing);
    RegAdd(key, "InstallLocation", documents);

    RunResult run = RunUninstaller("C:\\cs_e2e_unin_docs\\cs_e2e_uninst\\uninstall.exe",
                                   "CsE2E Uninstaller Docs", "/silent");
    EXPECT_EQ(run.exitCode, 3) << run.output;
    EXPECT_EQ(FileText(docs + "/cs_e2e_user_letter.txt"), "the user's letter");
    EXPECT_TRUE(fs::exists(docs));
    EXPECT_TRUE(KeyExists(key));
    fs::remove(docs + "/cs_e2e_user_letter.txt");
    fs::remove_all(docs + "/cs_e2e_uninst");
    RegDeleteKey(key);
    fs::remove_all(root);
}

// Interactive runs under Xvfb: the unknown name's message is a real box (its title found by
// xdotool; the static text is not visible to X); answering No at the confirmation gives 12
// and changes nothing.
TEST_F(UninstallerUnderWine, InteractiveRunsShowTheirBoxes) {
    {
        Process run(
            {"cmd", "/c", UninstallBatch(ToWindowsPath(Engine()), "CsE2E Nobody Installed This", "")});
        auto box = WaitForWindow("^Error$", 60);
        ASSERT_TRUE(box) << "no message box for an unknown name";
        Screenshot(TempDir() + "/unknown-name.png");
        PressKey(*box, "Return");
        RunResult ran = run.Wait(60);
        ASSERT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 13) << ran.output;
    }

    const std::string root = DriveC() + "/cs_e2e_unin_ask";
    fs::remove_all(root);
    const std::string key = kEntryRoot + "CsE2E Uninstaller Ask";
    RegDeleteKey(key);
    RegDeleteKey("HKCU\\Software\\Corvantis Tests\\Ask E2E");
    std::string setup =
        Build("ask", "[product]\nname = \"Ask E2E\"\n[install]\nfolder = \"C:\\\\cs_e2e_unin_ask\"\n"
                     "[uninstall]\nkey_name = \"CsE2E Uninstaller Ask\"\n"
                     "[[file]]\nsource = \"" +
                         Source("a.txt", "a") +
                         "\"\nname = \"bin\\\\a.txt\"\n"
                         "[[registry.entries]]\nkey = \"HKCU\\\\Software\\\\Corvantis Tests\\\\Ask E2E\"\n"
                         "name = \"Value\"\ndata = \"kept\"\n");
    ASSERT_FALSE(setup.empty());
    Install(setup);
    const std::string data = FileText(root + "/Uninstall.dat");
    ASSERT_FALSE(data.empty());
    {
        Process run(
            {"cmd", "/c", UninstallBatch("C:\\cs_e2e_unin_ask\\uninstall.exe", "CsE2E Uninstaller Ask", "")});
        auto question = WaitForWindow("^Uninstall Ask E2E$", 60);
        ASSERT_TRUE(question) << "no confirmation question";
        PressKey(*question, "n");
        RunResult ran = run.Wait(60);
        ASSERT_FALSE(ran.timedOut);
        EXPECT_EQ(ran.exitCode, 12) << ran.output;
    }
    EXPECT_EQ(FileText(root + "/bin/a.txt"), "a");
    EXPECT_EQ(FileText(root + "/Uninstall.dat"), data);
    EXPECT_TRUE(fs::exists(root + "/Install.log"));
    EXPECT_TRUE(KeyExists(key));
    EXPECT_EQ(ExportedValues("HKCU\\Software\\Corvantis Tests\\Ask E2E")["Value"].data, "kept");

    EXPECT_EQ(
        RunUninstaller("C:\\cs_e2e_unin_ask\\uninstall.exe", "CsE2E Uninstaller Ask", "/silent").exitCode, 0);
    EXPECT_TRUE(ExportedValues("HKCU\\Software\\Corvantis Tests\\Ask E2E").empty());
    EXPECT_TRUE(Vanishes(root, 30));
    fs::remove_all(root);
}
