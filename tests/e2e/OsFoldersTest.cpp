// The engine's view of the system under Wine: corvantis-sysinfo prints the OS record, the
// system bit, the names and every special folder. The prefix's reported Windows version is
// switched (and switched back at the end); the folders are looked up in the prefix from Linux.
#include "support/WindowsVersion.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace cs::e2e;

namespace {

using Values = std::map<std::string, std::string>;

Values SysInfo() {
    RunResult r = RunWine({WinBin("corvantis-sysinfo.exe")}, 60);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return KeyValueLines(r.output);
}

struct VersionCase {
    const char* setting;
    const char* version; // major.minor.build
    const char* servicePack;
    const char* bare;      // flags 4
    const char* shortName; // flags 3, after the WINE prefix
    const char* fullStart; // flags 1 begins with it, after the WINE prefix
    const char* systemBit; // with the WINE bit
    const char* newerThan2003;
};

const VersionCase kVersions[] = {
    {"win10", "10.0.18362", "", "10", "Windows 10", "Windows 10", "0x88000", "0"},
    {"win81", "6.3.9600", "", "8", "Windows 8.1", "Windows 8.1", "0x82000", "0"},
    {"win7", "6.1.7601", "Service Pack 1", "7", "Windows 7", "Windows 7", "0x81000", "0"},
    {"vista", "6.0.6002", "Service Pack 2", "Vista", "Windows Vista", "Windows Vista", "0x80400", "0"},
    {"winxp", "5.1.2600", "Service Pack 3", "XP", "Windows XP", "Windows XP Professional", "0x80100", "0"},
};

} // namespace

TEST(OsUnderWine, NameAndBitForEachConfiguredVersion) {
    WindowsVersionSwitch versions;
    ASSERT_FALSE(versions.Original().empty()) << "winecfg -v did not report the current version";
    for (const VersionCase& c : kVersions) {
        SCOPED_TRACE(c.setting);
        ASSERT_TRUE(versions.Set(c.setting)) << "winecfg refused " << c.setting;
        Values v = SysInfo();
        EXPECT_EQ(v["OsMajor"] + "." + v["OsMinor"] + "." + v["OsBuild"], c.version);
        EXPECT_EQ(v["OsPlatform"], "2");
        EXPECT_EQ(v["OsWine"], "1");
        ASSERT_FALSE(v["OsWineVersion"].empty());
        const std::string prefix = "WINE " + v["OsWineVersion"] + " reporting as ";
        const bool is64 = v["Os64BitWindows"] == "1";
        const std::string sp = *c.servicePack ? std::string(" ") + c.servicePack : "";
        EXPECT_EQ(v["OsName4"], c.bare);
        EXPECT_EQ(v["OsName3"], prefix + c.shortName);
        EXPECT_EQ(v["OsName2"], prefix + c.shortName + sp);
        EXPECT_EQ(v["OsName1"].rfind(prefix + c.fullStart, 0), 0u) << v["OsName1"];
        EXPECT_EQ(v["OsName0"], v["OsName1"] + sp);
        EXPECT_EQ(v["OsName1"].size() >= 4 && v["OsName1"].substr(v["OsName1"].size() - 4) == " x64", is64)
            << v["OsName1"];
        EXPECT_EQ(v["OsSystemBit"], c.systemBit);
        EXPECT_EQ(v["OsNewerThanServer2003"], c.newerThan2003);
        EXPECT_EQ(v["OsIsServer"], "0");
    }
}

TEST(OsUnderWine, ReleaseIdOfWindows10) {
    WindowsVersionSwitch versions;
    ASSERT_TRUE(versions.Set("win10"));
    const std::string key = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion";
    RunResult added = RunWine({"reg", "add", key, "/v", "ReleaseId", "/d", "2009", "/f", "/reg:32"}, 60);
    ASSERT_EQ(added.exitCode, 0) << added.output;
    Values v = SysInfo();
    EXPECT_EQ(v["OsReleaseId"], "2009");
    const std::string& full = v["OsName0"];
    EXPECT_EQ(full.substr(full.size() - 5), " 2009") << full;
    EXPECT_EQ(v["OsName8"].find("2009"), std::string::npos) << "flag 8 leaves the release identifier out";
    EXPECT_EQ(v["OsName4"], "10");
    ASSERT_TRUE(versions.Set("win7"));
    v = SysInfo();
    EXPECT_EQ(v["OsName0"].find("2009"), std::string::npos) << "only Windows 10 shows it";
    RunWine({"reg", "delete", key, "/v", "ReleaseId", "/f", "/reg:32"}, 60);
}

// Sets environment variables for its lifetime.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* old = std::getenv(name);
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

// A pure 32-bit prefix (made once beside the test run's prefix): no 64-bit Windows, so no
// " x64" and the 64-bit folder views are the default ones.
TEST(OsUnderWine, PureThirtyTwoBitPrefix) {
    if (EngineIsX64()) GTEST_SKIP() << "the 64-bit build does not run on 32-bit Windows";
    const char* prefix = std::getenv("WINEPREFIX");
    ASSERT_NE(prefix, nullptr) << "run under scripts/wine-start";
    std::string prefix32 = std::filesystem::path(prefix).parent_path().string() + "/prefix32";
    ScopedEnv useIt("WINEPREFIX", prefix32);
    ScopedEnv arch("WINEARCH", "win32");
    if (!std::filesystem::exists(prefix32 + "/system.reg")) {
        RunResult boot = RunWine({"wineboot", "-i"}, 240);
        ASSERT_FALSE(boot.timedOut) << boot.output;
        RunNative({"wineserver", "-w"}, 120);
    }
    Values v = SysInfo();
    RunNative({"wineserver", "-k"}, 60); // this prefix's server only
    EXPECT_EQ(v["Os64BitWindows"], "0");
    EXPECT_EQ(v["OsProcessorArchitecture"], "0");
    EXPECT_EQ(v["OsName0"].find(" x64"), std::string::npos) << v["OsName0"];
    EXPECT_EQ(v["OsName4"], "7") << "a fresh prefix reports Windows 7";
    EXPECT_EQ(v["OsSystemBit"], "0x81000");
    EXPECT_EQ(v["FolderProgramFiles"], "C:\\Program Files");
    EXPECT_EQ(v["FolderProgramFiles64"], v["FolderProgramFiles"]);
    EXPECT_EQ(v["FolderCommonFiles64"], v["FolderCommonFiles"]);
    EXPECT_EQ(v["FolderSystem32"], v["FolderSystem"]);
}

TEST(FoldersUnderWine, EveryFolderResolvesAndExistsInThePrefix) {
    Values v = SysInfo();
    std::vector<std::string> names, paths;
    for (const auto& [name, value] : v) {
        if (name.rfind("Folder", 0) != 0) continue;
        names.push_back(name);
        paths.push_back(value);
    }
    ASSERT_EQ(names.size(), 28u) << "27 folders of the table and the Windows folder";
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i] + "=" + paths[i]);
        ASSERT_FALSE(paths[i].empty());
        EXPECT_TRUE(paths[i].size() <= 3 || paths[i].back() != '\\');
        RunResult unix = RunWine({"winepath", "-u", paths[i]}, 60);
        ASSERT_EQ(unix.exitCode, 0);
        std::string linuxPath = TrimmedEnd(unix.output);
        // The web folders exist only with a web server; Wine ships no media folder.
        bool optional =
            names[i] == "FolderWebRoot" || names[i] == "FolderWebServer" || names[i] == "FolderMedia";
        if (!optional) {
            EXPECT_TRUE(std::filesystem::is_directory(linuxPath)) << linuxPath;
        }
    }
    EXPECT_EQ(v["FolderProgramFiles"], "C:\\Program Files (x86)") << "a 32-bit program on a 64-bit prefix";
    EXPECT_EQ(v["FolderProgramFiles64"], "C:\\Program Files");
    EXPECT_EQ(v["FolderCommonFiles64"], "C:\\Program Files\\Common Files");
    EXPECT_EQ(v["FolderWebRoot"], "c:\\Inetpub\\wwwroot");
    EXPECT_EQ(v["FolderWebServer"], "c:\\Inetpub");
    EXPECT_EQ(v["BootDrive"], "C");
}

TEST(TempFilesUnderWine, NewEmptyFilesAndNoFileWhereNoFolderCanBe) {
    std::string dir = TempDir();
    std::string winDir = ToWindowsPath(dir) + "\\made\\here";
    std::vector<std::string> made;
    for (const char* ext : {"", "log", ""}) {
        RunResult r = RunWine({WinBin("corvantis-sysinfo.exe"), "/tempfile", winDir, ext}, 60);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        std::string path = KeyValueLines(r.output)["TempFile"];
        ASSERT_EQ(path.rfind(winDir + "\\KWT", 0), 0u) << path;
        std::string linuxPath = TrimmedEnd(RunWine({"winepath", "-u", path}, 60).output);
        EXPECT_TRUE(std::filesystem::is_regular_file(linuxPath)) << linuxPath;
        EXPECT_EQ(std::filesystem::file_size(linuxPath), 0u);
        for (const std::string& earlier : made)
            EXPECT_NE(earlier, path);
        made.push_back(path);
    }
    EXPECT_EQ(made[1].substr(made[1].size() - 4), ".log");

    ASSERT_TRUE(WriteFile(dir + "/blocker", "x"));
    RunResult blocked = RunWine(
        {WinBin("corvantis-sysinfo.exe"), "/tempfile", ToWindowsPath(dir) + "\\blocker\\sub", "log"}, 60);
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_EQ(KeyValueLines(blocked.output)["TempFile"], "");
    std::filesystem::remove_all(dir);
}
