// The file installation under Wine: every kind of entry reaches its folder with its bytes,
// date and attributes, "Uninstall.dat" lists exactly what the uninstaller must remove, the
// overwrite and version rules leave existing files alone (and still record them), shared
// files are counted, a file in use is replaced at the restart, and a damaged entry is the
// corrupt-installer error.
#include "builder/Project.h"
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

using namespace cs;
using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

RunResult RunSilent(const std::string& installer, int timeout = 180) {
    RunResult r = RunWine({installer, "/silent", "/a"}, timeout);
    EXPECT_FALSE(r.timedOut) << r.output;
    return r;
}

// The attribute letters "attrib" shows for a file (R, H, S), in that order. Wine reports the
// archive attribute on every file, so it tells nothing and is left out.
std::string AttributeLetters(const std::string& windowsPath) {
    RunResult r = RunWine({"cmd", "/c", "attrib", windowsPath}, 60);
    std::string head = r.output.substr(0, r.output.find(':') == std::string::npos ? 0 : r.output.find(':') - 1);
    std::string letters;
    for (char c : std::string("RHS"))
        if (head.find(c) != std::string::npos) letters += c;
    return letters;
}

// The file's last-write time as seconds since 1970 (Wine keeps Windows file times as they are
// on the Linux side).
long long ModifiedSeconds(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_mtime) : -1;
}

long long UtcSeconds(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return static_cast<long long>(timegm(&tm));
}

// The folder where 32-bit programs' system files land in this prefix.
std::string SystemFilesFolder() {
    std::string wow = DriveC() + "/windows/syswow64";
    return fs::exists(wow) ? wow : DriveC() + "/windows/system32";
}

std::string RegQuery(const std::string& key, const std::string& view) {
    return RunWine({"reg", "query", key, view}, 60).output;
}

class FilesUnderWine : public testing::Test {
  protected:
    void SetUp() override {
        source_ = TempDir() + "/files-src";
        fs::create_directories(source_);
    }
    std::string Source(const std::string& name, const std::string& contents) {
        WriteFile(source_ + "/" + name, contents);
        return name;
    }
    std::string Build(const std::string& name, const std::string& project) {
        std::string path = source_ + "/" + name + ".toml";
        WriteFile(path, project);
        std::string out = source_ + "/" + name + ".exe";
        RunResult r = RunBuilder({"build", path, "-o", out, "--stub", Engine()});
        EXPECT_EQ(r.exitCode, 0) << r.output;
        return r.exitCode == 0 ? out : "";
    }
    std::string source_;
};

constexpr const char* kAppletClass = "{5E5A9C2B-0C8B-4E0E-9D1E-6C7F00A1B2C3}";

} // namespace

// One entry of every kind: each lands in its kind's folder with its bytes; the entry's date
// and attributes are the file's; "Uninstall.dat" lists exactly the recordable files, the
// folders the installation made for them and the applet's keys.
TEST_F(FilesUnderWine, EveryKindReachesItsFolderAndIsRecordedAsItsKindSays) {
    const std::string root = DriveC() + "/cs_e2e_files";
    fs::remove_all(root);
    const std::string font = DriveC() + "/windows/Fonts/cs_e2e_font.ttf";
    const std::string system = SystemFilesFolder() + "/cs_e2e_system.dll";
    fs::remove(font);
    fs::remove(system);
    std::string project =
        "[product]\nname = \"Files E2E\"\nversion = \"1.0\"\n"
        "[install]\nfolder = \"C:\\\\cs_e2e_files\\\\app\"\nshared_subfolder = \"shared\"\n"
        "[uninstall]\nsubfolder = \"data\"\n[options]\nstart_menu_uninstaller = false\n"
        "[[file]]\nsource = \"" + Source("app.txt", "application bytes") + "\"\nname = \"bin\\\\app.txt\"\n"
        "date = 2021-03-04T05:06:07\nattributes = 3\n"
        "[[file]]\nsource = \"" + Source("shared.dll", "shared bytes") + "\"\nkind = \"shared\"\n"
        "[[file]]\nsource = \"" + Source("cs_e2e_font.ttf", "font bytes") + "\"\nkind = \"font\"\ntitle = \"E2E Face\"\n"
        "[[file]]\nsource = \"" + Source("tray.txt", "startup bytes") + "\"\nkind = \"startup\"\ntitle = \"Tray\"\n"
        "[[file]]\nsource = \"" + Source("cs_e2e_system.dll", "system bytes") + "\"\nkind = \"system\"\n"
        "[[file]]\nsource = \"" + Source("v.txt", "versioned bytes") + "\"\nkind = \"versioned\"\ntitle = \"1.0\"\n"
        "[[file]]\nsource = \"" + Source("d.inf", "[Version]\r\n") + "\"\nkind = \"driver\"\n"
        "[[file]]\nsource = \"" + Source("p.msi", "not really a package") + "\"\nkind = \"msi\"\n"
        "[[file]]\nsource = \"" + Source("c.cpl", "applet bytes") + "\"\nkind = \"control-panel\"\n"
        "title = \"E2E Applet\"\nextra = \"" + kAppletClass + "\"\n"
        "[[file]]\nsource = \"" + Source("u.txt", "uninstall folder bytes") + "\"\ninto_uninstall_folder = true\n"
        "[[file]]\nsource = \"" + Source("k.txt", "kept bytes") + "\"\nname = \"keep\\\\k.txt\"\nkeep = true\n";
    std::string setup = Build("every-kind", project);
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunSilent(setup);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;

    const std::string app = root + "/app";
    struct Placed {
        std::string path, bytes;
    } placed[] = {
        {app + "/bin/app.txt", "application bytes"},  {app + "/shared/shared.dll", "shared bytes"},
        {font, "font bytes"},                         {app + "/tray.txt", "startup bytes"},
        {system, "system bytes"},                     {app + "/v.txt", "versioned bytes"},
        {app + "/d.inf", "[Version]\r\n"},            {app + "/p.msi", "not really a package"},
        {app + "/c.cpl", "applet bytes"},             {app + "/data/u.txt", "uninstall folder bytes"},
        {app + "/keep/k.txt", "kept bytes"},
    };
    for (const Placed& p : placed) EXPECT_EQ(FileText(p.path), p.bytes) << p.path;

    EXPECT_EQ(ModifiedSeconds(app + "/bin/app.txt"), UtcSeconds(2021, 3, 4, 5, 6, 7)) << "the date is UTC";
    EXPECT_EQ(AttributeLetters("C:\\cs_e2e_files\\app\\bin\\app.txt"), "RH");

    const std::string w = "C:\\cs_e2e_files\\app\\";
    const std::string startupLink = SpecialFolder("Startup") + "\\Tray.lnk";
    EXPECT_TRUE(fs::exists(DriveCPath(startupLink))) << startupLink;
    std::vector<std::string> expected = {
        "~" + w + "bin", w + "bin\\app.txt", w + "tray.txt", w + "v.txt", w + "d.inf", w + "p.msi", w + "c.cpl",
        std::string("*\\HKLM\\Software\\Classes\\CLSID\\") + kAppletClass,
        std::string("*\\HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\") +
            kAppletClass,
        w + "data\\u.txt",
        startupLink, // the startup file's generated shortcut, made after the files
    };
    std::string data = FileText(app + "/data/Uninstall.dat");
    EXPECT_EQ(UninstallBodyLines(data), expected) << data;
    EXPECT_TRUE(TextContains(data, "\r\n\r\n[Strings]\r\n~10\r\n"));

    std::string applet = RegQuery(std::string("HKLM\\Software\\Classes\\CLSID\\") + kAppletClass, "/reg:64");
    EXPECT_TRUE(TextContains(applet, "E2E Applet")) << applet;
    std::string command =
        RegQuery(std::string("HKLM\\Software\\Classes\\CLSID\\") + kAppletClass + "\\Shell\\Open\\Command", "/reg:64");
    EXPECT_TRUE(TextContains(command, "\"C:\\cs_e2e_files\\app\\c.cpl\"")) << command;

    std::string log = FileText(app + "/data/Install.log");
    EXPECT_TRUE(TextContains(log, "app.txt >>> C:\\cs_e2e_files\\app\\bin\\app.txt")) << log;
    EXPECT_TRUE(TextContains(log, "Registering control panel applet \"E2E Applet\"...OK")) << log;
    // The package is no MSI file and the font no font: both are run and fail, and say so.
    EXPECT_TRUE(TextContains(log, "Installing MSI package \"C:\\cs_e2e_files\\app\\p.msi\"...FAILED code ")) << log;
    EXPECT_TRUE(TextContains(log, " font \"E2E Face\"\r\n")) << log;

    RunWine({"reg", "delete", std::string("HKLM\\Software\\Classes\\CLSID\\") + kAppletClass, "/f", "/reg:64"});
    RunWine({"reg", "delete",
             std::string("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace\\") +
                 kAppletClass,
             "/f", "/reg:64"});
    RunWine({"reg", "delete", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", "/v", "E2E Face", "/f",
             "/reg:64"});
    fs::remove(font);
    fs::remove(system);
    fs::remove(DriveCPath(startupLink));
    fs::remove_all(root);
}

// Existing files: an only-missing entry leaves the file and records it; an if-newer entry
// leaves a newer file; a versioned entry whose version is not newer than the file's version
// resource leaves it and still records it, a newer one replaces it; a shared file is counted once more in SharedDLLs (from 3 to 4, and a
// new one from nothing to 1).
TEST_F(FilesUnderWine, ExistingFilesStayAndSharedFilesAreCounted) {
    const std::string root = DriveC() + "/cs_e2e_existing";
    // An entry left by an earlier run would make this one an installation over it, whose
    // stored shared files are not counted again.
    const std::string entry = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Existing E2E";
    RegDeleteKey(entry);
    fs::remove_all(root);
    fs::create_directories(root + "/app/shared");
    WriteFile(root + "/app/only-missing.txt", "old bytes");
    WriteFile(root + "/app/newer.txt", "newer bytes");
    WriteFile(root + "/app/shared/counted.dll", "old shared");
    // A module whose version resource says "2, 7, 18".
    fs::copy_file(WinBin("version_probe_english.dll"), root + "/app/older.dll");
    fs::copy_file(WinBin("version_probe_english.dll"), root + "/app/newer.dll");
    const std::string counts = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    RunWine({"reg", "delete", counts, "/v", "C:\\cs_e2e_existing\\app\\shared\\new.dll", "/f", "/reg:32"});
    RunWine({"reg", "add", counts, "/v", "C:\\cs_e2e_existing\\app\\shared\\counted.dll", "/t", "REG_DWORD", "/d",
             "3", "/f", "/reg:32"});

    std::string project =
        "[product]\nname = \"Existing E2E\"\nversion = \"1.0\"\n"
        "[install]\nfolder = \"C:\\\\cs_e2e_existing\\\\app\"\nshared_subfolder = \"shared\"\n"
        "[options]\nstart_menu_uninstaller = false\n"
        "[[file]]\nsource = \"" + Source("only-missing.txt", "new bytes") + "\"\noverwrite = \"only-missing\"\n"
        "[[file]]\nsource = \"" + Source("newer.txt", "new bytes") + "\"\noverwrite = \"if-newer\"\n"
        "date = 2001-01-01T00:00:00\n"
        "[[file]]\nsource = \"" + Source("older.dll", "version 2.7") + "\"\nkind = \"versioned\"\ntitle = \"2.7\"\n"
        "[[file]]\nsource = \"" + Source("newer.dll", "version 3.0") + "\"\nkind = \"versioned\"\ntitle = \"3.0\"\n"
        "date = 2030-01-01T00:00:00\n"
        "[[file]]\nsource = \"" + Source("counted.dll", "new shared") + "\"\nkind = \"shared\"\n"
        "date = 2030-01-01T00:00:00\n"
        "[[file]]\nsource = \"" + Source("new.dll", "another shared") + "\"\nkind = \"shared\"\n";
    std::string setup = Build("existing", project);
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunSilent(setup);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;

    EXPECT_EQ(FileText(root + "/app/only-missing.txt"), "old bytes");
    EXPECT_EQ(FileText(root + "/app/newer.txt"), "newer bytes");
    EXPECT_EQ(FileText(root + "/app/shared/counted.dll"), "new shared");
    EXPECT_NE(FileText(root + "/app/older.dll"), "version 2.7");
    EXPECT_EQ(FileText(root + "/app/newer.dll"), "version 3.0");
    std::string log = FileText(root + "/app/Install.log");
    EXPECT_TRUE(TextContains(log, "C:\\cs_e2e_existing\\app\\only-missing.txt was not installed because it already "
                              "exists.")) << log;
    EXPECT_TRUE(TextContains(log, "C:\\cs_e2e_existing\\app\\newer.txt was not installed because the existing file is "
                              "newer.")) << log;
    EXPECT_TRUE(TextContains(log, "C:\\cs_e2e_existing\\app\\older.dll was not installed because its version (2.7) is "
                              "not newer than 2. 7. 18\r\n")) << log;
    EXPECT_TRUE(TextContains(log, "C:\\cs_e2e_existing\\app\\newer.dll needs replacement because its version (3.0) is "
                              "newer than 2. 7. 18 and its date (2030/01/01 00:00:00) is newer than ")) << log;
    std::vector<std::string> body = UninstallBodyLines(FileText(root + "/app/Uninstall.dat"));
    EXPECT_EQ(body, (std::vector<std::string>{
                        "C:\\cs_e2e_existing\\app\\only-missing.txt", "C:\\cs_e2e_existing\\app\\newer.txt",
                        "C:\\cs_e2e_existing\\app\\older.dll", "C:\\cs_e2e_existing\\app\\newer.dll"}));

    std::string values = RegQuery(counts, "/reg:32");
    EXPECT_TRUE(TextContains(values, "counted.dll    REG_DWORD    0x4")) << values;
    EXPECT_TRUE(TextContains(values, "new.dll    REG_DWORD    0x1")) << values;
    RunWine({"reg", "delete", counts, "/v", "C:\\cs_e2e_existing\\app\\shared\\counted.dll", "/f", "/reg:32"});
    RunWine({"reg", "delete", counts, "/v", "C:\\cs_e2e_existing\\app\\shared\\new.dll", "/f", "/reg:32"});
    RegDeleteKey(entry);
    fs::remove_all(root);
}

// A 32-bit product's system files, whichever engine installs them, are what the 32-bit engine
// makes of them on 64-bit Windows: they lie in the 32-bit system folder, but the log line, the
// SharedDLLs value and the "SharedFiles" entry name the system folder ("system32"), so that a
// second product sharing them counts 2 under the one name. The uninstaller releases that
// name: the first uninstallation leaves them counted once, the second removes the values, and
// the files whose entries are not count-only (the type library; a system file stays, as its
// " " marker says) are deleted from the 32-bit system folder.
TEST_F(FilesUnderWine, A32BitProductsSystemFilesAreNamedAndCountedAsTheSystemFolder) {
    const std::string wow = DriveC() + "/windows/syswow64";
    if (!fs::exists(wow)) GTEST_SKIP() << "a prefix without a 32-bit system folder";
    const std::string counts = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const std::string entries = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const std::string dll = "C:\\windows\\system32\\cs_e2e_wow.dll", tlb = "C:\\windows\\system32\\cs_e2e_wow.tlb";
    const std::string root = DriveC() + "/cs_e2e_wow";
    auto cleanUp = [&] {
        for (const std::string file : {"cs_e2e_wow.dll", "cs_e2e_wow.tlb"}) {
            for (const std::string folder : {"system32", "syswow64"})
                for (const char* view : {"/reg:32", "/reg:64"})
                    RunWine({"reg", "delete", counts, "/v", "C:\\windows\\" + folder + "\\" + file, "/f", view});
            fs::remove(wow + "/" + file);
            fs::remove(DriveC() + "/windows/system32/" + file);
        }
        RegDeleteKey(entries + "CsE2E Wow A");
        RegDeleteKey(entries + "CsE2E Wow B");
        fs::remove_all(root);
    };
    cleanUp();
    auto countOf = [&](const std::string& value, const char* view = "/reg:32") {
        RunResult r = RunWine({"reg", "query", counts, "/v", value, view}, 60);
        if (r.exitCode != 0) return std::string();
        size_t at = r.output.find("REG_DWORD");
        if (at == std::string::npos) return std::string("?");
        std::string count = TrimmedEnd(r.output.substr(at + 9));
        return count.substr(std::min(count.size(), count.find_first_not_of(' ')));
    };
    auto project = [&](const std::string& product) {
        return "[product]\nname = \"Wow " + product + " E2E\"\nversion = \"1.0\"\n" +
               "[install]\nfolder = \"C:\\\\cs_e2e_wow\\\\" + product + "\"\n" +
               "[uninstall]\nsubfolder = \"uninst\"\nkey_name = \"CsE2E Wow " + product + "\"\n" +
               "[options]\nstart_menu_uninstaller = false\n" + "[[file]]\nsource = \"" +
               Source("cs_e2e_wow.dll", "system bytes") + "\"\nkind = \"system\"\n" + "[[file]]\nsource = \"" +
               Source("cs_e2e_wow.tlb", "type library bytes") + "\"\nkind = \"type-library\"\n";
    };
    for (const std::string product : {"A", "B"}) {
        std::string setup = Build("wow-" + product, project(product));
        ASSERT_FALSE(setup.empty());
        RunResult ran = RunSilent(setup);
        EXPECT_EQ(ran.exitCode, 0) << ran.output;
        std::string log = FileText(root + "/" + product + "/uninst/Install.log");
        // The second product finds the files in place: its overwrite lines name them the same way.
        EXPECT_TRUE(TextContains(log, product == "A" ? "cs_e2e_wow.dll >>> " + dll + "\r\n" : dll + " ")) << log;
        EXPECT_FALSE(TextContains(log, "syswow64")) << log;
        RunResult shared =
            RunWine({"reg", "query", entries + "CsE2E Wow " + product, "/v", "SharedFiles", "/reg:32"});
        EXPECT_TRUE(TextContains(shared.output, "\"" + dll + " \"")) << shared.output;
        EXPECT_TRUE(TextContains(shared.output, "\"" + tlb)) << shared.output;
        EXPECT_FALSE(TextContains(shared.output, "syswow64")) << shared.output;
    }
    EXPECT_EQ(FileText(wow + "/cs_e2e_wow.dll"), "system bytes");
    EXPECT_EQ(FileText(wow + "/cs_e2e_wow.tlb"), "type library bytes");
    EXPECT_FALSE(fs::exists(DriveC() + "/windows/system32/cs_e2e_wow.dll"));
    for (const std::string& name : {dll, tlb}) {
        EXPECT_EQ(countOf(name), "0x2") << name << ": both products count the one name";
        std::string name32 = "C:\\windows\\syswow64\\" + name.substr(name.rfind('\\') + 1);
        EXPECT_EQ(countOf(name32), "") << name32;
        EXPECT_EQ(countOf(name32, "/reg:64"), "") << name32;
    }

    RunResult first = RunUninstaller("C:\\cs_e2e_wow\\B\\uninst\\uninstall.exe", "CsE2E Wow B", "/silent");
    EXPECT_EQ(first.exitCode, 0) << first.output;
    EXPECT_EQ(countOf(dll), "0x1");
    EXPECT_EQ(countOf(tlb), "0x1");
    EXPECT_TRUE(fs::exists(wow + "/cs_e2e_wow.tlb")) << "still counted by the other product";
    RunResult second = RunUninstaller("C:\\cs_e2e_wow\\A\\uninst\\uninstall.exe", "CsE2E Wow A", "/silent");
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(countOf(dll), "") << "a count reaching zero leaves no value";
    EXPECT_EQ(countOf(tlb), "");
    EXPECT_FALSE(fs::exists(wow + "/cs_e2e_wow.tlb")) << "the last product's uninstallation removes the file";
    EXPECT_EQ(FileText(wow + "/cs_e2e_wow.dll"), "system bytes") << "a count-only entry's file stays";
    cleanUp();
}

// A payload entry of kind 2 (which the builder refuses to write) ends the run with the
// corrupt-installer error, code 110, before anything of it is installed.
TEST_F(FilesUnderWine, AnEntryOfAnInvalidKindIsTheCorruptInstallerError) {
    const std::string root = DriveC() + "/cs_e2e_kind2";
    fs::remove_all(root);
    Project project;
    std::string error;
    std::string path = source_ + "/kind2.toml";
    Source("x.txt", "x");
    WriteFile(path, "[product]\nname = \"Kind E2E\"\nversion = \"1.0\"\n[install]\nfolder = "
                    "\"C:\\\\cs_e2e_kind2\"\n[[file]]\nsource = \"x.txt\"\n");
    ASSERT_TRUE(LoadProject(path, project, error)) << error;
    project.files[0].kind = 2;
    std::string stubText;
    ASSERT_TRUE(ReadFile(Engine(), stubText));
    Bytes stub(stubText.begin(), stubText.end()), installer;
    ASSERT_TRUE(BuildInstaller(project, stub, installer, error)) << error;
    std::string setup = source_ + "/kind2.exe";
    WriteFile(setup, std::string(installer.begin(), installer.end()));

    RunResult ran = RunSilent(setup);
    EXPECT_EQ(ran.exitCode, 2) << ran.output;
    EXPECT_FALSE(fs::exists(root + "/x.txt"));
    fs::remove_all(root);
}
