// Planted code and planted links under Wine. A library of our own (cs-planted-library.dll,
// which leaves a ".loaded" mark beside itself when its code runs) is copied under the names of
// system libraries beside the installer, as in a downloads folder, and beside the installed
// uninstaller; Wine is told to prefer such files to its own ("n,b"), as Windows would find
// them first in the program's folder. Links at the batch files' old fixed names, pointing at a
// user's documents, must never be written through, by the installation's batches, the
// uninstaller's batches or the self-removal batch.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

// The names of system libraries the engine uses that the system does not keep in its list of
// known libraries (which it maps from the system folder whatever the search says). Not
// version.dll: Wine's own user32 imports it, so under a native-first override Wine's loader
// takes a planted version.dll from the program's folder while it maps user32, before any code
// of the program runs, for every program (Windows' user32 is a known library and imports no
// version library). The engine's own use of it is shown by the import-table test and
// library_search_tests.
const char* const kPlantedNames[] = {"winmm.dll", "wintrust.dll", "comctl32.dll"};

// The library search override for one run: Wine takes a file of these names from the search
// path before its own.
class NativeFirst {
  public:
    NativeFirst() {
        const char* current = std::getenv("WINEDLLOVERRIDES");
        saved_ = current ? current : "";
        std::string value = saved_;
        if (!value.empty()) value += ";";
        value += "winmm,wintrust,comctl32=n,b";
        setenv("WINEDLLOVERRIDES", value.c_str(), 1);
    }
    ~NativeFirst() { setenv("WINEDLLOVERRIDES", saved_.c_str(), 1); }

  private:
    std::string saved_;
};

// The planted libraries whose code ran: their marks, whatever the case the loader gave the
// library's name (an import names "WINMM.dll").
std::vector<std::string> LoadedLibraries(const std::string& folder) {
    std::vector<std::string> loaded;
    const std::string mark = ".loaded";
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > mark.size() && name.compare(name.size() - mark.size(), mark.size(), mark) == 0)
            loaded.push_back(name.substr(0, name.size() - mark.size()));
    }
    return loaded;
}

void PlantLibraries(const std::string& folder) {
    for (const char* name : kPlantedNames) {
        fs::copy_file(WinBin("cs-planted-library.dll"), folder + "/" + name,
                      fs::copy_options::overwrite_existing);
    }
    for (const std::string& mark : LoadedLibraries(folder))
        fs::remove(folder + "/" + mark + ".loaded");
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

bool Vanishes(const std::string& path, int seconds) {
    for (int i = 0; i < seconds * 4 && fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    return !fs::exists(path);
}

// An installer of the project text with one file, a.txt, appended.
std::string BuildWithOneFile(const std::string& name, const std::string& project) {
    const std::string source = TempDir() + "/a.txt";
    WriteFile(source, "a");
    return BuildInstaller(name, project + "[[file]]\nsource = '" + source + "'\n");
}

const std::string kLibraryProduct = "CsE2E Planted Libraries";
const std::string kLibraryFolder = "/cs_e2e_planted_dll";

} // namespace

// The installer run from a folder holding the planted libraries, then the installed
// uninstaller with the same libraries beside it: neither runs their code, both finish.
TEST(PlantedLibrariesUnderWine, BesideTheInstallerAndBesideTheUninstallerTheyAreNotLoaded) {
    const std::string app = DriveC() + kLibraryFolder;
    fs::remove_all(app);
    RegDeleteKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kLibraryProduct);
    std::string setup =
        BuildWithOneFile("planted-dll", "[product]\nname = '" + kLibraryProduct +
                                            "'\n[install]\nfolder = 'C:\\cs_e2e_planted_dll'\n"
                                            "[uninstall]\nkey_name = '" +
                                            kLibraryProduct + "'\n");
    ASSERT_FALSE(setup.empty());
    const std::string downloads = TempDir();
    fs::copy_file(setup, downloads + "/setup.exe");
    PlantLibraries(downloads);

    {
        NativeFirst preferPlanted;
        RunResult installed = RunWine({downloads + "/setup.exe", "/silent", "/a"}, 180);
        EXPECT_FALSE(installed.timedOut) << installed.output;
        EXPECT_EQ(installed.exitCode, 0) << installed.output;
    }
    EXPECT_EQ(Joined(LoadedLibraries(downloads)), "") << "planted libraries beside the installer ran";
    ASSERT_TRUE(fs::exists(app + "/a.txt"));
    ASSERT_TRUE(fs::exists(app + "/uninstall.exe"));

    PlantLibraries(app);
    {
        NativeFirst preferPlanted;
        RunResult removed =
            RunUninstaller("C:\\cs_e2e_planted_dll\\uninstall.exe", kLibraryProduct, "/silent");
        EXPECT_EQ(removed.exitCode, 0) << removed.output;
    }
    EXPECT_EQ(Joined(LoadedLibraries(app)), "") << "planted libraries beside the uninstaller ran";
    EXPECT_FALSE(fs::exists(app + "/a.txt")) << "the uninstallation ran";
    EXPECT_TRUE(Vanishes(app + "/uninstall.exe", 30)) << "the self-removal batch ran";
    fs::remove_all(app);
}

namespace {

const std::string kLinkProduct = "CsE2E Planted Links";
const std::string kLinkFolder = "C:\\cs_e2e_planted_links";
const std::string kTraceFile = "/cs_e2e_planted_links_trace.txt"; // on drive C:

// A user's documents, each the target of one planted link.
struct PlantedLink {
    std::string link, document;
};

std::string DocumentText(const std::string& link) {
    return "a user's document behind " + link + "\r\n";
}

// Links at every fixed name a batch file once had: the installation folder and the temporary
// folder for the batch and its capture, the temporary folder for the self-removal batch.
std::vector<PlantedLink> PlantLinks(const std::string& installFolder, const std::string& tempFolder,
                                    const std::string& documents) {
    std::vector<PlantedLink> links;
    int n = 0;
    for (const std::string& folder : {installFolder, tempFolder})
        for (const char* name : {"SETUPBAT.BAT", "cs_batch.log", "delunins.bat"}) {
            PlantedLink planted{folder + "/" + name, documents + "/document" + std::to_string(++n) + ".txt"};
            WriteFile(planted.document, DocumentText(planted.link));
            fs::remove(planted.link);
            fs::create_symlink(planted.document, planted.link);
            links.push_back(planted);
        }
    return links;
}

void ExpectDocumentsUnchanged(const std::vector<PlantedLink>& links, const char* after) {
    for (const PlantedLink& planted : links) {
        EXPECT_EQ(FileText(planted.document), DocumentText(planted.link)) << after << ": " << planted.link;
        EXPECT_TRUE(fs::is_symlink(planted.link)) << after << ": " << planted.link << " left as it was";
    }
}

// Batch files of ours left in the temporary folder's private folders.
std::vector<std::string> LeftBatchFiles(const std::string& tempFolder) {
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(tempFolder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("cs-", 0) != 0 || !entry.is_directory()) continue;
        for (const auto& file : fs::directory_iterator(entry.path()))
            left.push_back(file.path().string());
    }
    return left;
}

} // namespace

// An installation whose batches capture their output and an uninstallation with both of its
// batches and the self-removal batch, with links at every old fixed name: every batch runs,
// no document changes, no batch file is left.
TEST(PlantedLinksUnderWine, BatchesAndTheSelfRemovalNeverWriteThroughALink) {
    const std::string app = DriveCPath(kLinkFolder);
    const std::string temp = DriveCPath(SpecialFolder("Temp"));
    ASSERT_FALSE(SpecialFolder("Temp").empty());
    fs::remove_all(app);
    fs::remove(DriveC() + kTraceFile);
    RegDeleteKey("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kLinkProduct);
    // In the project's basic strings: "\\" is one backslash, "\r\n" a line break.
    const std::string trace = "\\\"C:\\\\cs_e2e_planted_links_trace.txt\\\"";
    std::string setup = BuildWithOneFile(
        "planted-links", "[product]\nname = '" + kLinkProduct + "'\n[install]\nfolder = '" + kLinkFolder +
                             "'\n"
                             "[uninstall]\nkey_name = '" +
                             kLinkProduct +
                             "'\n"
                             "[batches]\npre_install = \"echo pre>>" +
                             trace +
                             "\"\n"
                             "post_install = \"echo post>>" +
                             trace +
                             "\\r\\necho captured post output\"\n"
                             "uninstall_before = \"echo before>>" +
                             trace +
                             "\"\n"
                             "uninstall_after = \"echo after>>" +
                             trace +
                             "\"\n"
                             "[options]\nlog_pre_install_batch = true\nlog_post_install_batch = true\n");
    ASSERT_FALSE(setup.empty());

    fs::create_directories(app);
    const std::string documents = TempDir();
    std::vector<PlantedLink> links = PlantLinks(app, temp, documents);
    std::vector<std::string> batchesBefore = LeftBatchFiles(temp);

    RunResult installed = RunWine({setup, "/silent", "/a"}, 180);
    EXPECT_FALSE(installed.timedOut) << installed.output;
    EXPECT_EQ(installed.exitCode, 0) << installed.output;
    ExpectDocumentsUnchanged(links, "after the installation");
    EXPECT_EQ(FileText(DriveC() + kTraceFile), "pre\r\npost\r\n") << "both installation batches ran";
    const std::string log = FileText(app + "/Install.log");
    // The captured output follows its batch's line, after the line that names the 32-bit
    // command interpreter where one is logged (a 32-bit product on 64-bit Windows).
    const std::string running = "Running Post-Installation Batch...\r\n";
    size_t post = log.find(running);
    EXPECT_NE(post, std::string::npos) << log;
    std::string afterRunning = post == std::string::npos ? std::string() : log.substr(post + running.size());
    if (afterRunning.rfind("Batch runs in the 32-bit command interpreter ", 0) == 0)
        afterRunning = afterRunning.substr(afterRunning.find("\r\n") + 2);
    EXPECT_EQ(afterRunning.rfind("captured post output\r\n", 0), 0u) << log;

    RunResult removed = RunUninstaller(kLinkFolder + "\\uninstall.exe", kLinkProduct, "/silent");
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_TRUE(Vanishes(app + "/uninstall.exe", 30)) << "the self-removal batch ran";
    // The self-removal batch deletes itself last; give it the time to finish.
    for (int i = 0; i < 40 && LeftBatchFiles(temp).size() > batchesBefore.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    ExpectDocumentsUnchanged(links, "after the uninstallation");
    EXPECT_EQ(FileText(DriveC() + kTraceFile), "pre\r\npost\r\nbefore\r\nafter\r\n")
        << "both uninstall batches ran";
    EXPECT_EQ(LeftBatchFiles(temp), batchesBefore) << "every batch file went";

    for (const PlantedLink& planted : links)
        fs::remove(planted.link);
    fs::remove_all(app);
    fs::remove(DriveC() + kTraceFile);
}
