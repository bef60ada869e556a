// A payload whose records carry hostile names, made with the builder library past the
// project reader's checks: names and destinations that climb out of the installation folder
// (up to the root of C:), device names and two files that differ only in case. Under Wine the
// engine writes nothing outside the installation folder, opens no device, keeps the first of
// the twins, ends without asking for a restart, and the uninstallation removes everything.
#include "builder/Project.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace cs;
using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

const std::string kEntry = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CsE2E Names";

bool KeyExists(const std::string& key) {
    return RunWine({"reg", "query", key, "/reg:32"}, 60).exitCode == 0;
}

// Every file below `dir` that is not below `inside`.
std::vector<std::string> FilesOutside(const std::string& dir, const std::string& inside) {
    std::vector<std::string> outside;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (!it->is_directory() && it->path().string().rfind(inside + "/", 0) != 0)
            outside.push_back(it->path().string());
    return outside;
}

} // namespace

TEST(NamesUnderWine, HostileRecordsStayInsideAndTheUninstallationFinishes) {
    const std::string root = DriveC() + "/cs_e2e_names";
    const std::string app = root + "/deep/app";
    const std::string atDriveRoot = DriveC() + "/cs_e2e_names_escape.txt";
    fs::remove_all(root);
    fs::remove(atDriveRoot);
    RegDeleteKey(kEntry);
    const std::string source = TempDir() + "/names-src";
    fs::create_directories(source);
    WriteFile(source + "/good.txt", "good");
    WriteFile(source + "/first.txt", "first");
    WriteFile(source + "/evil.txt", "evil");
    WriteFile(source + "/names.toml",
              "[product]\nname = \"Names E2E\"\nversion = \"1.0\"\n"
              "[install]\nfolder = \"C:\\\\cs_e2e_names\\\\deep\\\\app\"\n"
              "[uninstall]\nkey_name = \"CsE2E Names\"\n[options]\nstart_menu_uninstaller = false\n"
              "[[file]]\nsource = \"good.txt\"\n"
              "[[file]]\nsource = \"first.txt\"\nname = \"Read.me\"\n");
    Project project;
    std::string error;
    ASSERT_TRUE(LoadProject(source + "/names.toml", project, error)) << error;
    ProjectFile evil = project.files[0];
    evil.source = source + "/evil.txt";
    struct Hostile {
        const char16_t *name, *destination;
    } hostile[] = {
        {u"..\\..\\escape1.txt", u""},                                    // cs_e2e_names\escape1.txt
        {u"../escape2.txt", u""},                                         // cs_e2e_names\deep\escape2.txt
        {u"x.txt", u"%InstallDir%\\..\\..\\..\\cs_e2e_names_escape.txt"}, // C:\cs_e2e_names_escape.txt
        {u"x.txt", u"..\\escape4.txt"},
        {u"x.txt", u"%..%\\escape5.txt"},
        {u"CON", u""},
        {u"NUL.txt", u""},
        {u"COM1", u""},
        {u"bin\\LPT1", u""},
        {u"aux.log", u""},
        {u"x.txt", u"PRN"},
        {u"READ.ME", u""}, // the twin of Read.me
    };
    for (const Hostile& h : hostile) {
        ProjectFile f = evil;
        f.name = h.name;
        f.destination = h.destination;
        project.files.push_back(f);
    }
    std::string stubText;
    ASSERT_TRUE(ReadFile(Engine(), stubText));
    Bytes stub(stubText.begin(), stubText.end()), installer;
    ASSERT_TRUE(BuildInstaller(project, stub, installer, error)) << error;
    std::string setup = source + "/names.exe";
    WriteFile(setup, std::string(installer.begin(), installer.end()));

    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(ran.timedOut) << ran.output;
    EXPECT_EQ(ran.exitCode, 0) << "no restart asked for, no other failure code: " << ran.output;
    EXPECT_EQ(FileText(app + "/good.txt"), "good");
    EXPECT_EQ(FileText(app + "/Read.me"), "first") << "the twin did not replace the first file";
    EXPECT_FALSE(fs::exists(atDriveRoot));
    EXPECT_EQ(FilesOutside(root, app), std::vector<std::string>{});
    std::string log = FileText(app + "/Install.log");
    for (const char* line : {"File \"..\\..\\escape1.txt\" was not installed: its name",
                             "File \"x.txt\" was not installed: its destination \"%InstallDir%\\..",
                             "File \"CON\" was not installed: its name \"CON\" names a device",
                             "File \"READ.ME\" was not installed: its destination"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    std::vector<std::string> body = UninstallBodyLines(FileText(app + "/Uninstall.dat"));
    EXPECT_FALSE(body.empty());
    for (const std::string& line : body)
        for (const char* refused :
             {"\\CON", "\\NUL.txt", "\\COM1", "\\LPT1", "\\aux.log", "escape", "READ.ME"})
            EXPECT_EQ(line.find(refused), std::string::npos) << refused << " recorded: " << line;

    RunResult removed =
        RunUninstaller("C:\\cs_e2e_names\\deep\\app\\uninstall.exe", "CsE2E Names", "/silent");
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_FALSE(fs::exists(app + "/good.txt"));
    EXPECT_FALSE(fs::exists(app + "/Read.me"));
    EXPECT_FALSE(KeyExists(kEntry)) << "the entry is gone: the uninstallation finished";
    fs::remove_all(root);
    fs::remove(atDriveRoot);
    RegDeleteKey(kEntry);
}
