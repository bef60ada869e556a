// Fonts and MSI packages under Wine: a real font (DejaVu Sans) and a file that is no font are
// installed into the Fonts folder, registered under the machine's font key and listed in
// "ProductFonts" (the broken one too, though its font resource could not be loaded), and the
// uninstaller removes both registrations and files; "keep" keeps them; "ask" asks for each
// font, and Cancel stands for no to all; a real MSI package made by wixl is run
// inside the file loop, its file installed, the package listed in "[MSI]" because it is
// marked for removal, and the uninstaller removes it with REMOVE=ALL.
//
// The uninstaller is started through a one-line batch file run by cmd.exe, since Wine's
// loader escapes the quotes of /u:"a b" when a program is started directly from Linux.
#include "support/Installers.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace cs::e2e;

namespace {

namespace fs = std::filesystem;

const std::string kData = CORVANTIS_FONTSMSI_DATA;
const std::string kEntryRoot = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kFontsKey = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::string FontsFolder() {
    return DriveC() + "/windows/Fonts";
}

// The font registration as the system reads it: the 64-bit view on a 64-bit prefix.
std::map<std::string, ExportedValue> FontValues() {
    return ExportedValues(kFontsKey, "/reg:64");
}

void DeleteFontValue(const std::string& face) {
    RunWine({"reg", "delete", kFontsKey, "/v", face, "/f", "/reg:64"});
}

} // namespace

// A real font and a file that is no font: both registered (the value's data is the file name)
// and listed in "ProductFonts"; the real one loads without a failure line, the broken one has
// the failure line of its font resource. The automatic uninstaller (fonts = "ask" asks nobody
// in automatic mode) removes values and files, and the entry goes with everything undone.
TEST(FontsUnderWine, FontsAreRegisteredListedAndRemoved) {
    const std::string root = DriveC() + "/cs_e2e_fonts";
    const std::string entry = kEntryRoot + "CsE2E Fonts";
    fs::remove_all(root);
    RegDeleteKey(entry);
    DeleteFontValue("Cs E2E Sans");
    DeleteFontValue("Cs E2E Broken");
    fs::remove(FontsFolder() + "/cs-e2e-sans.ttf");
    fs::remove(FontsFolder() + "/cs-e2e-broken.ttf");
    std::string sources = TempDir();
    WriteFile(sources + "/broken.ttf", "these bytes are no font");
    WriteFile(sources + "/app.txt", "application");

    std::string setup = BuildInstaller(
        "fonts", "[product]\nname = 'Fonts E2E'\nversion = '1.0'\npublisher = 'Corvantis Tests'\n"
                 "[install]\nfolder = 'C:\\cs_e2e_fonts'\n"
                 "[uninstall]\nsubfolder = 'uninst'\nkey_name = 'CsE2E Fonts'\nfonts = 'ask'\n"
                 "[[file]]\nsource = '" +
                     sources +
                     "/app.txt'\n"
                     "[[file]]\nsource = '" +
                     kData +
                     "/test-font.ttf'\nname = 'cs-e2e-sans.ttf'\n"
                     "kind = 'font'\ntitle = 'Cs E2E Sans'\n"
                     "[[file]]\nsource = '" +
                     sources +
                     "/broken.ttf'\nname = 'cs-e2e-broken.ttf'\n"
                     "kind = 'font'\ntitle = 'Cs E2E Broken'\n");
    ASSERT_FALSE(setup.empty());
    RunResult installed = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(installed.timedOut) << installed.output;
    EXPECT_EQ(installed.exitCode, 0) << installed.output;

    EXPECT_TRUE(fs::exists(FontsFolder() + "/cs-e2e-sans.ttf"));
    EXPECT_TRUE(fs::exists(FontsFolder() + "/cs-e2e-broken.ttf"));
    std::map<std::string, ExportedValue> fonts = FontValues();
    EXPECT_EQ(fonts["Cs E2E Sans"], (ExportedValue{"REG_SZ", "cs-e2e-sans.ttf"}));
    EXPECT_EQ(fonts["Cs E2E Broken"], (ExportedValue{"REG_SZ", "cs-e2e-broken.ttf"}));
    std::map<std::string, ExportedValue> values = ExportedValues(entry);
    EXPECT_EQ(values["ProductFonts"],
              (ExportedValue{
                  "REG_SZ", "\"Cs E2E Sans\" \"cs-e2e-sans.ttf\" \"Cs E2E Broken\" \"cs-e2e-broken.ttf\" "}));

    std::string log = FileText(root + "/uninst/Install.log");
    EXPECT_FALSE(TextContains(log, "Failed to register font")) << log;
    EXPECT_FALSE(TextContains(log, "font \"Cs E2E Sans\"")) << "the real font loads: " << log;
    EXPECT_TRUE(TextContains(log, " font \"Cs E2E Broken\"\r\n")) << "its resource cannot load: " << log;

    RunResult removed = RunUninstaller("C:\\cs_e2e_fonts\\uninst\\uninstall.exe", "CsE2E Fonts", "/a", 240);
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    fonts = FontValues();
    EXPECT_EQ(fonts.count("Cs E2E Sans"), 0u);
    EXPECT_EQ(fonts.count("Cs E2E Broken"), 0u);
    EXPECT_FALSE(fs::exists(FontsFolder() + "/cs-e2e-sans.ttf"));
    EXPECT_FALSE(fs::exists(FontsFolder() + "/cs-e2e-broken.ttf"));
    EXPECT_TRUE(ExportedValues(entry).empty()) << "the entry goes when everything was undone";
}

// "keep": the uninstaller leaves the font, its registration and its file alone.
TEST(FontsUnderWine, KeptFontsStay) {
    const std::string root = DriveC() + "/cs_e2e_fonts_kept";
    const std::string entry = kEntryRoot + "CsE2E Fonts Kept";
    fs::remove_all(root);
    RegDeleteKey(entry);
    DeleteFontValue("Cs E2E Kept Sans");
    fs::remove(FontsFolder() + "/cs-e2e-kept.ttf");
    std::string setup = BuildInstaller(
        "fonts-kept", "[product]\nname = 'Fonts Kept E2E'\nversion = '1.0'\npublisher = 'Corvantis Tests'\n"
                      "[install]\nfolder = 'C:\\cs_e2e_fonts_kept'\n"
                      "[uninstall]\nsubfolder = 'uninst'\nkey_name = 'CsE2E Fonts Kept'\nfonts = 'keep'\n"
                      "[[file]]\nsource = '" +
                          kData +
                          "/test-font.ttf'\nname = 'cs-e2e-kept.ttf'\n"
                          "kind = 'font'\ntitle = 'Cs E2E Kept Sans'\n");
    ASSERT_FALSE(setup.empty());
    RunResult installed = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(installed.timedOut) << installed.output;
    EXPECT_EQ(installed.exitCode, 0) << installed.output;
    ASSERT_EQ(FontValues()["Cs E2E Kept Sans"], (ExportedValue{"REG_SZ", "cs-e2e-kept.ttf"}));

    RunResult removed = RunUninstaller("C:\\cs_e2e_fonts_kept\\uninst\\uninstall.exe", "CsE2E Fonts Kept", "/a", 240);
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_EQ(FontValues()["Cs E2E Kept Sans"], (ExportedValue{"REG_SZ", "cs-e2e-kept.ttf"}));
    EXPECT_TRUE(fs::exists(FontsFolder() + "/cs-e2e-kept.ttf"));
    DeleteFontValue("Cs E2E Kept Sans");
    fs::remove(FontsFolder() + "/cs-e2e-kept.ttf");
}

// fonts = "ask" in an interactive run: the question names each font ("Remove font", Yes, No
// and Cancel for more than one font); Yes removes the first, Cancel (no to all) keeps the
// second without asking again. The list is cleared either way.
TEST(FontsUnderWine, TheQuestionRemovesOrKeepsEachFont) {
    const std::string root = DriveC() + "/cs_e2e_fonts_ask";
    const std::string entry = kEntryRoot + "CsE2E Fonts Ask";
    fs::remove_all(root);
    RegDeleteKey(entry);
    for (const char* face : {"Cs E2E Ask One", "Cs E2E Ask Two"})
        DeleteFontValue(face);
    std::string setup = BuildInstaller(
        "fonts-ask", "[product]\nname = 'Fonts Ask E2E'\nversion = '1.0'\npublisher = 'Corvantis Tests'\n"
                     "[install]\nfolder = 'C:\\cs_e2e_fonts_ask'\n"
                     "[uninstall]\nsubfolder = 'uninst'\nkey_name = 'CsE2E Fonts Ask'\nfonts = 'ask'\n"
                     "[[file]]\nsource = '" +
                         kData +
                         "/test-font.ttf'\nname = 'cs-e2e-ask1.ttf'\n"
                         "kind = 'font'\ntitle = 'Cs E2E Ask One'\n"
                         "[[file]]\nsource = '" +
                         kData +
                         "/test-font.ttf'\nname = 'cs-e2e-ask2.ttf'\n"
                         "kind = 'font'\ntitle = 'Cs E2E Ask Two'\n");
    ASSERT_FALSE(setup.empty());
    RunResult installed = RunWine({setup, "/silent", "/a"}, 180);
    ASSERT_FALSE(installed.timedOut) << installed.output;
    ASSERT_EQ(installed.exitCode, 0) << installed.output;

    std::string batch = TempDir() + "/uninstall.bat";
    WriteFile(
        batch,
        "@\"C:\\cs_e2e_fonts_ask\\uninst\\uninstall.exe\" /u:\"CsE2E Fonts Ask\"\r\n@exit %errorlevel%\r\n");
    Process run({"cmd", "/c", ToWindowsPath(batch)});
    auto confirm = WaitForWindow("^Uninstall Fonts Ask E2E$", 60);
    ASSERT_TRUE(confirm) << "no confirmation question";
    PressKey(*confirm, "y");
    auto first = WaitForWindow("^Remove font$", 60);
    ASSERT_TRUE(first) << "no font question";
    Screenshot(TempDir() + "/font-question.png");
    PressKey(*first, "y");
    std::optional<std::string> second;
    for (int i = 0; i < 60 && (!second || *second == *first); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        second = WaitForWindow("^Remove font$", 5);
    }
    ASSERT_TRUE(second && *second != *first) << "no question for the second font";
    PressKey(*second, "Escape");
    RunResult ran = run.Wait(120);
    ASSERT_FALSE(ran.timedOut) << ran.output;
    EXPECT_EQ(ran.exitCode, 0) << ran.output;

    std::map<std::string, ExportedValue> fonts = FontValues();
    EXPECT_EQ(fonts.count("Cs E2E Ask One"), 0u);
    EXPECT_FALSE(fs::exists(FontsFolder() + "/cs-e2e-ask1.ttf"));
    EXPECT_EQ(fonts["Cs E2E Ask Two"], (ExportedValue{"REG_SZ", "cs-e2e-ask2.ttf"}));
    EXPECT_TRUE(fs::exists(FontsFolder() + "/cs-e2e-ask2.ttf"));
    DeleteFontValue("Cs E2E Ask Two");
    fs::remove(FontsFolder() + "/cs-e2e-ask2.ttf");
}

// A real package run inside the file loop: its file is installed, the log line ends with "OK",
// "Uninstall.dat" lists it in "[MSI]" with its level (and records the package file itself).
// An uninstallation that cannot reach the package keeps its record and the entry; the next
// one removes the product with REMOVE=ALL, so its file goes.
TEST(MsiUnderWine, APackageIsInstalledListedAndRemoved) {
    const std::string root = DriveC() + "/cs_e2e_msi";
    const std::string entry = kEntryRoot + "CsE2E Msi";
    fs::remove_all(root);
    RegDeleteKey(entry);
    // wixl makes a 32-bit package: its program files folder is the x86 one on a 64-bit prefix.
    const std::string payloadX86 = DriveC() + "/Program Files (x86)/Corvantis MSI Test/msi-payload.txt";
    const std::string payload64 = DriveC() + "/Program Files/Corvantis MSI Test/msi-payload.txt";
    ASSERT_FALSE(fs::exists(payloadX86) || fs::exists(payload64)) << "the package is installed already";

    std::string setup =
        BuildInstaller("msi", "[product]\nname = 'Msi E2E'\nversion = '1.0'\npublisher = 'Corvantis Tests'\n"
                              "[install]\nfolder = 'C:\\cs_e2e_msi'\n"
                              "[uninstall]\nsubfolder = 'uninst'\nkey_name = 'CsE2E Msi'\n"
                              "[[file]]\nsource = '" +
                                  kData +
                                  "/test-package.msi'\n"
                                  "kind = 'msi'\nmsi_ui_level = 2\nremove_msi_at_uninstall = true\n");
    ASSERT_FALSE(setup.empty());
    RunResult installed = RunWine({setup, "/silent", "/a"}, 300);
    ASSERT_FALSE(installed.timedOut) << installed.output;
    EXPECT_EQ(installed.exitCode, 0) << installed.output;

    std::string log = FileText(root + "/uninst/Install.log");
    EXPECT_TRUE(TextContains(log, "Installing MSI package \"C:\\cs_e2e_msi\\test-package.msi\"...OK\r\n"))
        << log;
    EXPECT_TRUE(fs::exists(payloadX86) || fs::exists(payload64)) << "the package's file";
    std::string data = FileText(root + "/uninst/Uninstall.dat");
    EXPECT_TRUE(TextContains(data, "[MSI]\r\n\"C:\\cs_e2e_msi\\test-package.msi\",2\r\n")) << data;
    std::vector<std::string> body = UninstallBodyLines(data);
    EXPECT_NE(std::find(body.begin(), body.end(), "C:\\cs_e2e_msi\\test-package.msi"), body.end()) << data;

    // With the package file gone the removal fails (Wine's installer gives 2 for a missing
    // package, where Windows gives 1619): result 3, the record stays for the next run.
    const std::string package = root + "/test-package.msi", aside = root + "/../cs_e2e_msi_aside.msi";
    fs::rename(package, aside);
    RunResult failed = RunUninstaller("C:\\cs_e2e_msi\\uninst\\uninstall.exe", "CsE2E Msi", "/a", 240);
    EXPECT_EQ(failed.exitCode, 3) << failed.output;
    data = FileText(root + "/uninst/Uninstall.dat");
    EXPECT_TRUE(TextContains(data, "[MSI]\r\n\"C:\\cs_e2e_msi\\test-package.msi\",2\r\n")) << data;
    EXPECT_TRUE(fs::exists(payloadX86) || fs::exists(payload64)) << "the product is still installed";
    EXPECT_FALSE(ExportedValues(entry).empty()) << "the entry stays after a failure";

    fs::rename(aside, package);
    RunResult removed = RunUninstaller("C:\\cs_e2e_msi\\uninst\\uninstall.exe", "CsE2E Msi", "/a", 240);
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_FALSE(fs::exists(payloadX86) || fs::exists(payload64)) << "REMOVE=ALL took the package's file";
    EXPECT_TRUE(ExportedValues(entry).empty()) << "the entry goes when everything was undone";
    fs::remove_all(root);
}
