// The uninstaller's files under Wine: the uninstaller program (the engine copy of payload flag
// 0x20 with its icon group replaced, or the running installer's copy), "uninstall.ico", the
// background picture, the saved readme and licence texts, the restart marker listed among the
// prefix's pending restart operations, and their records in "Uninstall.dat".
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

void Put(std::string& out, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        out += char(value >> (8 * i));
}

// An icon file of one 16 x 16 image whose bytes are the given marker (the resource update
// takes the bytes as they are; the test looks for them in the written program).
std::string IconFile(const std::string& image) {
    std::string file;
    Put(file, 0, 2);
    Put(file, 1, 2);
    Put(file, 1, 2);
    file += std::string("\x10\x10\0\0", 4);
    Put(file, 1, 2);
    Put(file, 32, 2);
    Put(file, uint32_t(image.size()), 4);
    Put(file, 22, 4);
    return file + image;
}

// The bytes of the first image of an icon file, "" when it has none.
std::string FirstIconImage(const std::string& file) {
    if (file.size() < 22) return "";
    auto at = [&](size_t i) { return uint32_t(uint8_t(file[i])); };
    uint32_t size = at(14) | at(15) << 8 | at(16) << 16 | at(17) << 24;
    uint32_t offset = at(18) | at(19) << 8 | at(20) << 16 | at(21) << 24;
    return offset + size <= file.size() ? file.substr(offset, size) : "";
}

std::string Utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// "C:\cs_e2e_unfiles\<name>" in the project file's TOML form.
std::string TomlFolder(const std::string& name) {
    return "C:\\\\cs_e2e_unfiles\\\\" + name;
}

class UninstallerFiles : public testing::Test {
  protected:
    void SetUp() override {
        sources_ = TempDir();
        fs::remove_all(DriveC() + "/cs_e2e_unfiles");
    }
    std::string Source(const std::string& name, const std::string& bytes) {
        WriteFile(sources_ + "/" + name, bytes);
        return sources_ + "/" + name;
    }
    std::string sources_;
};

const std::string kIconImage = "CS-E2E-UNINSTALLER-ICON-IMAGE-" + std::string(40, 'i');

} // namespace

// Flag 0x20: the engine copy becomes the uninstaller with the definition's icon; every file
// for the uninstaller is in place and recorded; the marker waits for the restart.
TEST_F(UninstallerFiles, EngineCopyWithItsIconAndEveryFileForTheUninstaller) {
    std::string project =
        "[product]\nname = \"Uninstaller Files E2E\"\nversion = \"1.0\"\n"
        "[install]\nfolder = \"" +
        TomlFolder("copy") +
        "\"\n"
        "[uninstall]\nsubfolder = \"data\"\nicon = \"" +
        Source("u.ico", IconFile(kIconImage)) +
        "\"\n"
        "[wizard]\nreadmes = [\"" +
        Source("r1.txt", "first readme") + "\", \"" + Source("r2.txt", "second readme") +
        "\"]\n"
        "licences = [\"" +
        Source("l.rtf", "{\\rtf1 licence}") +
        "\"]\n"
        "background_picture = \"" +
        Source("bg.bmp", "BM-background-bytes") +
        "\"\nbitmap_size = 50\n"
        "[options]\nuninstaller_without_payload = true\nsave_readmes = true\nsave_licences = true\n"
        "save_background_picture = true\nreboot_marker = true\nstart_menu_uninstaller = false\n"
        "[[file]]\nsource = \"" +
        Source("app.txt", "app") + "\"\n";
    std::string setup = BuildInstaller("uninstaller-files", project);
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;

    const std::string app = DriveC() + "/cs_e2e_unfiles/copy", data = app + "/data";
    std::string uninstaller = FileText(data + "/uninstall.exe"), installer = FileText(setup);
    ASSERT_FALSE(uninstaller.empty());
    EXPECT_EQ(uninstaller.substr(0, 2), "MZ");
    EXPECT_LT(uninstaller.size(), installer.size()) << "the copy leaves the installation data out";
    EXPECT_FALSE(TextContains(uninstaller, "first readme")) << "no payload in the uninstaller";
    EXPECT_TRUE(TextContains(uninstaller, kIconImage)) << "the icon group holds the definition's image";
    std::string engineImage = FirstIconImage(FileText(CORVANTIS_SOURCE_DIR "/res/engine/corvantis.ico"));
    ASSERT_FALSE(engineImage.empty());
    EXPECT_TRUE(TextContains(FileText(Engine()), engineImage)) << "the stub shows the engine's icon";
    EXPECT_FALSE(TextContains(uninstaller, engineImage)) << "its first image is replaced";
    // The uninstaller runs: given a command line it does not know, it shows its usage message
    // and ends with 15.
    Process wrong({data + "/uninstall.exe", "/wrong"});
    std::optional<std::string> usage = WaitForWindow("^Error$", 60);
    EXPECT_TRUE(usage.has_value()) << "no usage message from the uninstaller";
    if (usage) PressKey(*usage, "Return");
    RunResult rejected = wrong.Wait(60);
    ASSERT_FALSE(rejected.timedOut);
    EXPECT_EQ(rejected.exitCode, 15);

    EXPECT_EQ(FileText(data + "/uninstall.ico"), IconFile(kIconImage));
    EXPECT_EQ(FileText(data + "/Installer Background.bmp"), "BM-background-bytes");
    EXPECT_EQ(FileText(app + "/readme1.txt"), "\xFF\xFE" + Utf16("first readme"));
    EXPECT_EQ(FileText(app + "/readme2.txt"), "\xFF\xFE" + Utf16("second readme"));
    EXPECT_EQ(FileText(app + "/eula.rtf"), "{\\rtf1 licence}");
    EXPECT_TRUE(fs::exists(app + "/reboot.dat"));

    std::string pending =
        RunWine({"reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "/v",
                 "PendingFileRenameOperations"})
            .output;
    EXPECT_TRUE(TextContains(pending, "cs_e2e_unfiles\\copy\\reboot.dat")) << pending;

    std::string log = FileText(data + "/Install.log");
    EXPECT_TRUE(TextContains(log, "Uninstaller >>> C:\\cs_e2e_unfiles\\copy\\data\\uninstall.exe\r\n"))
        << log;
    EXPECT_FALSE(TextContains(log, "uninstaller icon")) << log;
    std::vector<std::string> records = UninstallBodyLines(FileText(data + "/Uninstall.dat"));
    for (const char* file :
         {"C:\\cs_e2e_unfiles\\copy\\data\\uninstall.ico",
          "C:\\cs_e2e_unfiles\\copy\\data\\Installer Background.bmp", "C:\\cs_e2e_unfiles\\copy\\readme1.txt",
          "C:\\cs_e2e_unfiles\\copy\\readme2.txt", "C:\\cs_e2e_unfiles\\copy\\eula.rtf"})
        EXPECT_NE(std::find(records.begin(), records.end(), file), records.end()) << file;
    EXPECT_EQ(std::find(records.begin(), records.end(), "C:\\cs_e2e_unfiles\\copy\\data\\uninstall.exe"),
              records.end())
        << "the uninstaller removes itself";
}

// Without flag 0x20 the uninstaller is the running installer's copy; one readme is
// "readme.txt"; nothing is saved without the options.
TEST_F(UninstallerFiles, InstallerCopyAndOneReadme) {
    std::string project = "[product]\nname = \"Uninstaller Copy E2E\"\nversion = \"1.0\"\n"
                          "[install]\nfolder = \"" +
                          TomlFolder("plain") +
                          "\"\n"
                          "[wizard]\nreadmes = [\"" +
                          Source("r.txt", "only readme") +
                          "\"]\n"
                          "licences = [\"" +
                          Source("l.txt", "licence") +
                          "\"]\n"
                          "[options]\nsave_readmes = true\nstart_menu_uninstaller = false\n";
    std::string setup = BuildInstaller("uninstaller-copy", project);
    ASSERT_FALSE(setup.empty());
    RunResult ran = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(ran.timedOut);
    EXPECT_EQ(ran.exitCode, 0) << ran.output;

    const std::string app = DriveC() + "/cs_e2e_unfiles/plain";
    EXPECT_EQ(FileText(app + "/uninstall.exe"), FileText(setup));
    EXPECT_EQ(FileText(app + "/readme.txt"), "\xFF\xFE" + Utf16("only readme"));
    EXPECT_FALSE(fs::exists(app + "/eula.txt"));
    EXPECT_FALSE(fs::exists(app + "/reboot.dat"));
    EXPECT_FALSE(fs::exists(app + "/uninstall.ico"));
}
