// The project file: defaults of a short project, every key reaching its field through the
// engine's reader, named options with raw words, languages, errors that name file, line and
// key, and the file data stream.
#include "builder/ProjectFixture.h"

#include "builder/Inspect.h"
#include "builder/InstallerWriter.h"
#include "builder/ProjectOptions.h"
#include "payload/Crc32.h"
#include "payload/DefinitionStream.h"
#include "payload/Xz.h"

#include "payload/DefinitionTestSupport.h"
#include "payload/FakePe.h"
#include "support/TextPrint.h"

namespace cs {
namespace {

TEST_F(ProjectFiles, ShortProjectGetsWorkingDefaults) {
    Project p = LoadOk("[product]\nname = \"Tiny\"\n[[file]]\nsource = \"app.exe\"\n");
    DefinitionState s = ThroughTheEngine(p);
    const Definition& d = s.definition;
    EXPECT_EQ(d.productName, u"Tiny");
    EXPECT_EQ(d.defaultFolder, u"C:\\PF32\\Tiny");
    EXPECT_EQ(d.uninstallerFileName, u"uninstall.exe");
    EXPECT_EQ(d.uninstallKeyName, u"Tiny");
    EXPECT_TRUE(d.optionWord1 & kOpt1RegisterUninstaller);
    EXPECT_TRUE(d.optionWord1 & kOpt1FolderPage);
    EXPECT_TRUE(d.optionWord2 & kOpt2ProgressPage);
    ASSERT_EQ(d.languages.LanguageCount(), 1);
    EXPECT_EQ(d.languages.names[0], u"English");
    EXPECT_GE(d.languages.stringCount, 117);
    // Every number the engine uses has an English text, apart from the optional pages and
    // the corrupt-installer message (whose built-in text carries the code).
    for (int n :
         {1, 2, 9, 10, 11, 20, 21, 24, 31, 33, 40, 41, 42, 43, 48, 49, 53, 54, 65, 77, 79, 80, 90, 98, 116})
        EXPECT_FALSE(s.LanguageString(n).IsEmpty()) << n;
    for (int n : {13, 63, 64})
        EXPECT_TRUE(s.LanguageString(n).IsEmpty()) << n;
    ASSERT_EQ(p.files.size(), 1u);
    EXPECT_EQ(p.files[0].name, u"app.exe");
    EXPECT_NE(p.files[0].date.month, 0);
    EXPECT_EQ(p.engine, EngineKind::X86);
    EXPECT_EQ(LoadOk("[product]\nname = \"Tiny\"\n[options]\nengine = \"x64\"\n").engine, EngineKind::X64);
    EXPECT_EQ(LoadOk("[product]\nname = \"Tiny\"\n[options]\nengine = \"x86\"\n").engine, EngineKind::X86);
}

TEST_F(ProjectFiles, EveryKeyReachesItsField) {
    std::string text = R"(
[product]
name = "Full"
title = "Full Product"
version = "2.5.1"
publisher = "Pub"
url = "https://example.com"
icon = "icon.ico"
bitness = "64-bit"
registry_key = "Pub\\Full"
main_executable = "app.exe"
support_offer = "https://example.com/help"
no_downgrade_below = "2.0"
build_date = 2026-12-10
build_value = 7

[install]
folder = "<os>\\Full"
shared_folder_base = "common-files-64"
shared_folder = "PubShared"
shared_subfolder = "shared"
start_menu_folder = "Pub\\Full"
desktop_folder = "Full Desk"
desktop_folder_icon = "icon.ico"
shortcuts_for = "all-users"
automatic = "never"
excluded_systems = 0x30
external_data = true
extra_disk_space = 5000000000
integrity_check = "checksum"
password = "pw"
min_status_time = 250
progress_placement = 9
location_reference = "HKLM\\Software\\Pub\\Full\\Path"
start_sound = "start.wav"
reinstall_in_place_from = "2.5"
upgrade_without_asking_from = "2.4"
registry_key_list = "a;b"
add_to_path_subfolder = "bin"
master = { key_name = "Main", display_name = "Main Product", min_version = "3" }
root_shortcut = { command = "app.exe", name = "Full" }
taskbar_pin = { target = "%InstallDir%\\app.exe", name = "Pin" }

[uninstall]
subfolder = "uninst"
file_name = "remove.exe"
key_name = "FullKey"
program_date = 2024-05-17T13:45:59
icon = "icon.ico"
fonts = "ask"
shared_files = "keep"
values = [ { name = "HelpLink", kind = "text", value = "x" }, { name = "NoModify", kind = "number", value = "1" } ]

[wizard]
caption = "Caption"
taskbar_text = "Taskbar"
title = "Big Title"
title_size = 1.5
title_color = "#102030"
title_shadow = 3
title_position = "bottom-right"
title_font = "Arial"
top_color = "#000080"
bottom_color = "system:5"
dialog_font = "Tahoma"
dialog_zoom = 120
banner_text_color = "#FFFFFF"
picture_border = "thin"
background_picture = "icon.ico"
bitmap_size = 80
stretch_mode = "tile"
bitmap_tpi = 96
copyright = { text = "(c) Pub", font = "Verdana", size = 0.8, color = "#C0C0C0", position = "bottom-left" }
dialog_background = "#EEEEEE"
dialog_text = "#111111"
panel_background = "#222222"
panel_text = "#333333"
button_face = "#444444"
button_text = "#555555"
button_border = "#666666"
edit_background = "#777777"
edit_text = "#888888"
list_background = "#999999"
list_text = "#AAAAAA"
list_selected_background = "#BBBBBB"
list_selected_text = "#CCCCCC"
document_background = "#DDDDDD"
document_text = "#EEEEEE"
licences = ["licence.rtf", "licence.txt"]
readmes = ["readme.txt"]
pages = { greeting = "banner", language = "plain", licence = "picture", readme = 3, folder = "side-panel", start_menu = "plain", progress = "banner", summary = "picture" }

[batches]
pre_install = "echo pre"
post_install = "echo post"
install_exit = "echo exit"
uninstall_before = "echo u1"
uninstall_after = "echo u2"
upgrade = "echo up"
reinstall = "echo re"

[links]
launch_on_exit = "app.exe"
document1 = "readme.txt"
document2 = "other.txt"
install_url = "https://n/install"
prepare_url = "https://n/prepare"
new_install_url = "https://n/new"
upgrade_url = "https://n/upgrade"
downgrade_url = "https://n/downgrade"
reinstall_url = "https://n/reinstall"
uninstall_url = "https://n/uninstall"
link_click_url = "https://n/link"
cancel_url = "https://n/cancel"
failure_url = "https://n/failure"
feedback_url = "https://n/feedback"

[registry]
merge_file = "merge.reg"
entries = [ { key = "HKLM\\Software\\Pub" }, { key = "HKCU\\Software\\Pub", name = "Say, hi", type = "number", data = "12", action = "write" } ]

[[shortcut]]
target = "%InstallDir%\\app.exe"
name = "Sub\\Full"
icon = "app.ico"
arguments = "-x"
working_folder = "%InstallDir%"
desktop = true
start_menu = false
startup = true
custom_folder = "C:\\Custom"
show = "maximized"
keep = true

[[association]]
extension = ".full"
mode = "default-verb"
file_type = "Full.Doc"
description = "Full document"
verbs = "open,print"
verb_label = "&Open"
command = "\"%InstallDir%\\app.exe\" \"%1\""
language = "English"
icon = "app.ico"

[[deletion]]
pattern = "%InstallDir%\\old.dll"
condition = "size-at-least"
value = 10
during_uninstall = true
at_restart = true

[[auto_close]]
window_class = "FullClass"
window_title = "*Full"
name = "Full"
mode = "terminate"
during_uninstall = false

[[firewall]]
port = 8080
name = "R\u00e8gle"
udp = true

[[firewall]]
program = "bin\\srv.exe"
tcp = false
keep = true

[[firewall]]
line = "21;\u00e9;1;"

[texts]
1 = "Hello <product>"

[options]
single_instance = true
progress_page = false
restore_point = true
option_word2 = 0x100
)";
    Project p = LoadOk(text);
    DefinitionState s = ThroughTheEngine(p);
    const Definition& d = s.definition;
    EXPECT_EQ(d.productTitle, u"Full Product");
    EXPECT_EQ(d.productVersion, u"2.5.1");
    EXPECT_EQ(d.productIcon.ByteLength(), 8u);
    EXPECT_EQ(d.bitness, 1);
    EXPECT_EQ(d.productRegistry, u"Pub\\Full");
    EXPECT_EQ(d.appPath, u"app.exe");
    EXPECT_EQ(d.noDowngradeBelow, u"2.0");
    EXPECT_EQ(d.buildDate, (BuildDate{2026, 12, 10}));
    EXPECT_EQ(d.buildValue, 7);
    EXPECT_EQ(d.defaultFolder, u"C:\\Windows\\Full");
    EXPECT_EQ(d.sharedFolderBase, 3);
    EXPECT_EQ(d.sharedPath, u"PubShared");
    EXPECT_EQ(d.sharedSubfolder, u"shared");
    EXPECT_EQ(d.desktopFolder, u"Full Desk");
    EXPECT_EQ(d.desktopFolderIcon.ByteLength(), 8u);
    EXPECT_EQ(d.shortcutMode, 1);
    EXPECT_EQ(d.automaticMode, 2);
    EXPECT_EQ(d.excludedSystems, 0x30);
    EXPECT_EQ(d.externalData, 1);
    EXPECT_EQ(d.pages.extraDiskSpace, 5000000000ULL);
    EXPECT_EQ(d.pages.integrityMode, 1);
    EXPECT_EQ(d.password, u"pw");
    EXPECT_EQ(d.minStatusTime, 250);
    EXPECT_EQ(d.progressPlacement, 9);
    EXPECT_EQ(d.locationReference, u"HKLM\\Software\\Pub\\Full\\Path");
    EXPECT_EQ(d.startSound, u"start.wav");
    EXPECT_EQ(d.reinstallInPlaceFrom, u"2.5");
    EXPECT_EQ(d.upgradeWithoutAskingFrom, "2.4");
    EXPECT_EQ(d.registryKeyList, u"a;b");
    EXPECT_EQ(d.addToPathSubfolder, u"bin");
    EXPECT_EQ(d.masterKeyName, u"Main");
    EXPECT_EQ(d.masterDisplayName, u"Main Product");
    EXPECT_EQ(d.masterMinVersion, u"3");
    EXPECT_EQ(d.rootShortcutCommand, u"app.exe");
    EXPECT_EQ(d.rootShortcutName, u"Full");
    EXPECT_EQ(d.pinTarget, u"%InstallDir%\\app.exe");
    EXPECT_EQ(d.pinName, u"Pin");
    EXPECT_EQ(d.uninstallSubdir, u"uninst");
    EXPECT_EQ(d.uninstallerFileName, u"remove.exe");
    EXPECT_EQ(d.uninstallKeyName, u"FullKey");
    EXPECT_EQ(d.uninstallerDate, (DateValue{2024, 5, 17, 13, 45, 59}));
    EXPECT_EQ(d.uninstallerIcon.ByteLength(), 8u);
    EXPECT_EQ(d.uninstallFonts, 1);
    EXPECT_EQ(d.uninstallShared, 0);
    ASSERT_EQ(d.uninstallValues.Count(), 2);
    EXPECT_EQ(d.uninstallValues[1].name, u"NoModify");
    EXPECT_EQ(d.uninstallValues[1].kind, 4);
    EXPECT_EQ(d.wizardCaption, u"Caption");
    EXPECT_EQ(d.taskbarText, u"Taskbar");
    EXPECT_EQ(d.displayTitle, u"Big Title");
    EXPECT_EQ(d.titleSize, 1.5);
    EXPECT_EQ(d.titleColor, 0x302010u);
    EXPECT_EQ(d.titleShadow, 3);
    EXPECT_EQ(d.titlePosition, 6);
    EXPECT_EQ(d.titleFont, u"Arial");
    EXPECT_EQ(d.topColor, 0x800000u);
    EXPECT_EQ(d.bottomColor, 0x80000005u);
    EXPECT_EQ(d.dialogFont, u"Tahoma");
    EXPECT_EQ(d.dialogZoom, 120);
    EXPECT_EQ(d.bannerFG, 0xFFFFFFu);
    EXPECT_EQ(d.pictureBorder, 2);
    EXPECT_EQ(d.backgroundPicture.ByteLength(), 8u);
    EXPECT_EQ(d.bitmapSize, 80);
    EXPECT_EQ(d.stretchMode, 3);
    EXPECT_EQ(d.bitmapTpi, 96);
    EXPECT_EQ(d.copyrightText, u"(c) Pub");
    EXPECT_EQ(d.copyrightFont, u"Verdana");
    EXPECT_EQ(d.copyrightSize, 0.8);
    EXPECT_EQ(d.copyrightColor, 0xC0C0C0u);
    EXPECT_EQ(d.copyrightPos, 4);
    EXPECT_EQ(d.dialogBG, 0xEEEEEEu);
    EXPECT_EQ(d.dialogFG, 0x111111u);
    EXPECT_EQ(d.spnmBG, 0x222222u);
    EXPECT_EQ(d.spnmFG, 0x333333u);
    EXPECT_EQ(d.buttonBG, 0x444444u);
    EXPECT_EQ(d.buttonFG, 0x555555u);
    EXPECT_EQ(d.buttonBorder, 0x666666u);
    EXPECT_EQ(d.editColors[0], 0x777777u);
    EXPECT_EQ(d.editColors[1], 0x888888u);
    EXPECT_EQ(d.listColors[3], 0xCCCCCCu);
    EXPECT_EQ(d.documentColors[0], 0xDDDDDDu);
    EXPECT_EQ(d.documentColors[1], 0xEEEEEEu);
    ASSERT_EQ(d.licences.Count(), 2);
    EXPECT_EQ(d.licences[0], "{\\rtf1 Licence}");                      // rich text as it is
    EXPECT_EQ(d.licences[1], String8("P\0l\0a\0i\0n\0 \0\xE9\0", 14)); // plain text as UTF-16LE
    ASSERT_EQ(d.readmes.Count(), 1);
    EXPECT_EQ(d.pages.greetingStyle, 2);
    EXPECT_EQ(d.pages.languageStyle, 0);
    EXPECT_EQ(d.pages.readmeStyle, 3);
    EXPECT_EQ(d.pages.folderStyle, 3);
    EXPECT_EQ(d.pages.summaryStyle, 1);
    const char16_t* batches[] = {u"echo pre", u"echo post", u"echo exit", u"echo u1",
                                 u"echo u2",  u"echo up",   u"echo re"};
    for (int i = 0; i < kBatchCount; ++i)
        EXPECT_EQ(d.batches[i], batches[i]);
    EXPECT_EQ(d.links[kLinkLaunchOnExit], u"app.exe");
    EXPECT_EQ(d.links[kLinkNotifyUrl], u"https://n/uninstall");
    EXPECT_EQ(d.links[kLinkFeedbackUrl], u"https://n/feedback");
    EXPECT_EQ(d.registryMergeFile, "REGEDIT4\r\n");
    EXPECT_EQ(d.registryEntries, "HKLM\\Software\\Pub\r\nHKCU\\Software\\Pub,\"Say, hi\",4,12,1\r\n");
    ASSERT_EQ(d.shortcuts.Count(), 1);
    const Shortcut& sc = d.shortcuts[0];
    EXPECT_EQ(sc.name, u"Sub\\Full");
    EXPECT_EQ(sc.desktop, 1);
    EXPECT_EQ(sc.startMenu, 0);
    EXPECT_EQ(sc.startup, 1);
    EXPECT_EQ(sc.customFolder, u"C:\\Custom");
    EXPECT_EQ(sc.showState, 2);
    EXPECT_EQ(sc.keep, 1);
    ASSERT_EQ(d.associations.Count(), 1);
    EXPECT_EQ(d.associations[0].extension, u"full");
    EXPECT_EQ(d.associations[0].mode, 1);
    EXPECT_EQ(d.associations[0].fileType, "Full.Doc");
    EXPECT_EQ(d.associations[0].verbs, "open,print");
    EXPECT_EQ(d.associations[0].language, u"English");
    ASSERT_EQ(d.deletions.Count(), 1);
    EXPECT_EQ(d.deletions[0].condition, 5);
    EXPECT_EQ(d.deletions[0].value, "10");
    EXPECT_EQ(d.deletions[0].flags, 0x1 | 0x2 | 0x4 | 0x8);
    ASSERT_EQ(d.autoClose.Count(), 1);
    EXPECT_EQ(d.autoClose[0].mode, 3);
    EXPECT_EQ(d.autoClose[0].passMask, 1);
    // The firewall exceptions as lines: port or program, rule name in UTF-8, the protocol
    // mask, "1" to keep the exception at uninstallation; `line` as it is.
    EXPECT_EQ(std::string(d.firewallExceptions.View()),
              "8080;R\xc3\xa8gle;3;\r\nbin\\srv.exe;;0;1\r\n21;\xc3\xa9;1;\r\n");
    EXPECT_EQ(s.LanguageString(1), u"Hello <product>");
    // Named options with their defaults, the raw word added, presence bits set by the keys.
    EXPECT_TRUE(d.optionWord1 & kOpt1SingleInstance);
    EXPECT_FALSE(d.optionWord2 & kOpt2ProgressPage);
    EXPECT_TRUE(d.optionWord2 & 0x100);
    EXPECT_TRUE(d.optionWord1 & kOpt1DialogColors);
    EXPECT_TRUE(d.optionWord1 & kOpt1AddOn);
    EXPECT_TRUE(p.payloadFlags & 0x2);
    EXPECT_EQ(p.payloadFlags & 0x1F000000, 0x1F000000u);
}

TEST_F(ProjectFiles, ErrorsNameFileLineAndKey) {
    struct Case {
        const char* text;
        const char* expected; // after "project.toml:"
    } cases[] = {
        {"[product]\nname = \"X\"\ncolour = 1\n", "3: product.colour: unknown key"},
        {"[product]\nname = 5\n", "2: product.name: expected a text"},
        {"[product]\nname = \"X\"\n[wizard]\nbitmap_size = 101\n",
         "4: wizard.bitmap_size: must be between 0 and 100"},
        {"[product]\nname = \"X\"\n[install]\nmin_status_time = 10000\n",
         "4: install.min_status_time: must be between 0 and 9999"},
        {"[product]\nname = \"X\"\n[[file]]\nsource = \"missing.dll\"\n", "4: file[0].source: no such file"},
        {"[product]\nname = \"X\"\n[wizard]\nlicences = [\"nope.rtf\"]\n",
         "4: wizard.licences: cannot read the file"},
        {"[product]\nname = \"X\"\n[options]\nfolder_pag = true\n", "4: options.folder_pag: unknown key"},
        {"[product]\nname = \"X\"\n[options]\nencrypt = \"yes\"\n",
         "4: options.encrypt: expected true or false"},
        {"[product]\nname = \"X\"\n[[shortcut]]\nname = \"no target\"\n", "3: shortcut[0].target: missing"},
        {"[install]\nfolder = \"x\"\n", "product.name: missing"},
        {"[product]\nname = \"X\"\n[[association]]\nextension = \"a\"\nfile_type = "
         "\"\xE2\x82\xAC\xE4\xB8\x80\"\n",
         "5: association[0].file_type: only characters of code page 1252"},
        {"[product]\nname = \"X\"\n[wizard]\ntitle_color = \"red\"\n",
         "4: wizard.title_color: expected a colour"},
        {"[product]\nname = \"X\"\n[product.extra]\n", "3: product.extra: unknown key"},
        {"[product\nname = \"X\"\n", "1: "},
        {"[product]\nname = \"X\"\n[[deletion]]\npattern = \"a\"\ncondition = \"date-equal\"\nvalue = "
         "\"2023/02/29\"\n",
         "6: deletion[0].value: expected a valid date"},
        {"[product]\nname = \"X\"\n[[deletion]]\npattern = \"a\"\ncondition = \"size-equal\"\nvalue = "
         "\"ten\"\n",
         "6: deletion[0].value: expected a size in bytes"},
        {"[product]\nname = \"X\"\n[[uninstall.values]]\nname = \"A\"\nkind = 3\n",
         "5: uninstall.values[0].kind: expected \"text\""},
        {"[product]\nname = \"X\"\n[options]\nengine = \"arm64\"\n",
         "4: options.engine: expected \"x86\" (the 32-bit engine) or \"x64\""},
        {"[product]\nname = \"X\"\n[[firewall]]\nport = 80\nprogram = \"a.exe\"\n",
         "firewall[0].port: give a port or a program (one of them)"},
        {"[product]\nname = \"X\"\n[[firewall]]\nname = \"none\"\n",
         "firewall[0].port: give a port or a program (one of them)"},
        {"[product]\nname = \"X\"\n[[firewall]]\nport = 70000\n",
         "4: firewall[0].port: must be between 0 and 65535"},
        {"[product]\nname = \"X\"\n[[firewall]]\nport = 80\nname = \"a;b\"\n",
         "firewall[0].name: must not contain \";\" or a line end"},
        {"[product]\nname = \"X\"\n[[firewall]]\nline = \"80;a;1;\"\nport = 80\n",
         "firewall[0].port: give `line` alone or the exception's keys, not both"},
    };
    for (const Case& c : cases)
        ExpectError(c.text, c.expected);
    // Lists beyond the engine's limits.
    std::string licences = "[product]\nname = \"X\"\n[wizard]\nlicences = [";
    for (int i = 0; i < 21; ++i)
        licences += std::string(i ? "," : "") + "\"licence.rtf\"";
    ExpectError(licences + "]\n", "4: wizard.licences: at most 20");
    std::string shortcuts = "[product]\nname = \"X\"\n";
    for (int i = 0; i < 1001; ++i)
        shortcuts += "[[shortcut]]\ntarget = \"a\"\n";
    ExpectError(shortcuts, "shortcut: at most 1000");
}

// Characters outside ASCII: kept wherever TOML allows them (strings, quoted keys, comments),
// refused with their line anywhere else, and never handed to the parser where it would take
// a path it declares unreachable (the first refused case came from the project fuzz target).
TEST_F(ProjectFiles, CharactersOutsideAscii) {
    struct Ok {
        const char* text;
        const char16_t* name;
    } oks[] = {
        {"[product]\nname = \"caf\xC3\xA9 \xF0\x9F\x98\x80\"\n", u"caf\u00E9 \U0001F600"},
        {"# caf\xC3\xA9\n[product] # \xC3\xA2\nname = 'caf\xC3\xA9'\n", u"caf\u00E9"},
        {"[product]\nname = '''\xC3\xA2'''\n", u"\u00E2"},
        {"[product]\nname = \"\"\"\\\n   \xC3\xA9t\xC3\xA9\"\"\"\n", u"\u00E9t\u00E9"},
        {"[product]\nname = \"\"\"a\"\"\xC3\xA2\"\"\"\"\n", u"a\"\"\u00E2\""},
        {"\xEF\xBB\xBF[product]\nname = \"\\u00E9\\\\\xC3\xA9\"\n", u"\u00E9\\\u00E9"},
    };
    for (const Ok& c : oks)
        EXPECT_EQ(LoadOk(c.text).definition.productName, c.name) << c.text;
    struct Bad {
        std::string text;
        const char* expected;
    } bads[] = {
        {"\xC3\xA2", "1: a character outside ASCII belongs in a string or a comment"},
        {"[product]\nname = \"X\" \xC3\xA9\n",
         "2: a character outside ASCII belongs in a string or a comment"},
        {"[product]\nn\xC3\xA2me = \"X\"\n", "2: a character outside ASCII belongs in a string or a comment"},
        {"[product]\nname = \"\"\"\n\\\xC3\xA9\"\"\"\n",
         "3: a backslash before a character outside ASCII is no escape"},
        {"[product]\nname = \"\xC3\"\n", "2: the text is not UTF-8"},
    };
    for (const Bad& c : bads)
        ExpectError(c.text, c.expected);
    // A language file goes through the same reading.
    Put("bad.toml", "language = \"Deutsch\" \xC3\xA4\n");
    Project p;
    std::string error;
    EXPECT_FALSE(Load("languages = [\"bad.toml\"]\n[product]\nname = \"X\"\n", p, error));
    EXPECT_NE(error.find("bad.toml:1: a character outside ASCII belongs in a string or a comment"),
              std::string::npos)
        << error;
}

TEST_F(ProjectFiles, LanguageFiles) {
    Put("german.toml", "language = \"Deutsch\"\n[strings]\n1 = \"Willkommen\"\n49 = \"Abbrechen\"\n");
    Project p = LoadOk("languages = [\"german.toml\"]\n[product]\nname = \"X\"\n[texts]\n49 = \"Stop\"\n");
    DefinitionState s = ThroughTheEngine(p);
    const LanguageTable& t = s.definition.languages;
    ASSERT_EQ(t.LanguageCount(), 2);
    EXPECT_EQ(t.names[1], u"Deutsch");
    EXPECT_EQ(t.defaultLanguage, 0);
    EXPECT_EQ(t.Get(1, 1), u"Willkommen");
    EXPECT_EQ(t.Get(49, 1), u"Abbrechen");
    EXPECT_EQ(t.Get(49, 0), u"Stop");    // [texts] overrides the English text
    EXPECT_EQ(t.Get(2, 1), t.Get(2, 0)); // missing strings take the English text
    EXPECT_FALSE(t.Get(2, 1).IsEmpty());

    Put("bad.toml", "language = \"Bad\"\n[strings]\n1 = \"ok\"\nx = \"not a number\"\n");
    std::string error;
    EXPECT_FALSE(Load("languages = [\"bad.toml\"]\n[product]\nname = \"X\"\n", p, error));
    EXPECT_NE(error.find("bad.toml:4: strings.x: expected a string number"), std::string::npos) << error;
    Put("noname.toml", "[strings]\n1 = \"ok\"\n");
    EXPECT_FALSE(Load("languages = [\"noname.toml\"]\n[product]\nname = \"X\"\n", p, error));
    EXPECT_NE(error.find("noname.toml:"), std::string::npos) << error;
    EXPECT_NE(error.find("language: missing"), std::string::npos) << error;
}

TEST_F(ProjectFiles, DeletionValuesAreWrittenInOneForm) {
    Project p = LoadOk("[product]\nname = \"X\"\n"
                       "[[deletion]]\npattern = \"a\"\ncondition = \"date-from\"\nvalue = 2024-02-29\n"
                       "[[deletion]]\npattern = \"b\"\ncondition = 3\nvalue = 2024-05-17T13:45:09\n"
                       "[[deletion]]\npattern = \"c\"\ncondition = \"date-equal\"\nvalue = \"2024/5/7\"\n"
                       "[[deletion]]\npattern = \"%InstallDir%\\\\caf\u00e9.tmp\"\n");
    const Array<FileDeletion>& list = p.definition.deletions;
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[0].value, "2024/02/29");
    EXPECT_EQ(list[1].value, "2024/05/17 13:45:09");
    EXPECT_EQ(list[2].value, "2024/05/07");
    EXPECT_EQ(list[3].pattern, "|%InstallDir%\\caf\xC3\xA9.tmp"); // path form: "|" and UTF-8
    EXPECT_EQ(list[3].flags, 0x2 | 0x4);
}

TEST(ProjectOptions, NamesAreUniqueAndBitsDoNotOverlap) {
    for (const NamedOption* a = kNamedOptions; a->name; ++a)
        for (const NamedOption* b = a + 1; b->name; ++b) {
            EXPECT_STRNE(a->name, b->name);
            EXPECT_FALSE(a->word == b->word && a->bit == b->bit) << a->name << " " << b->name;
        }
    EXPECT_EQ(FindNamedOption("register_uninstaller")->bit, kOpt1RegisterUninstaller);
    EXPECT_EQ(FindNamedOption("no_such_option"), nullptr);
}

// Reads the stored stream back: chunks (CRC, xz) to the decoded records.
Bytes DecodeStream(const Bytes& stream, bool compressed) {
    Bytes decoded;
    size_t at = 0;
    while (at < stream.size()) {
        uint32_t length = LoadLE32(&stream[at]);
        uint32_t crc = LoadLE32(&stream[at + 4]);
        ByteView stored(&stream[at + 8], length);
        EXPECT_EQ(Crc32(stored), crc);
        Bytes plain;
        if (compressed)
            EXPECT_TRUE(XzDecode(stored, plain));
        else
            plain.assign(stored.begin(), stored.end());
        decoded.insert(decoded.end(), plain.begin(), plain.end());
        at += 8 + length;
    }
    EXPECT_EQ(at, stream.size());
    return decoded;
}

TEST_F(ProjectFiles, DataStreamRecordsAcrossChunks) {
    Put("empty.dat", "");
    for (bool compressed : {true, false}) {
        Project p = LoadOk(
            std::string("[product]\nname = \"X\"\n[options]\ncompress_files = ") +
            (compressed ? "true" : "false") +
            "\n[[file]]\nsource = \"app.exe\"\ndestination = \"bin\\\\\"\n"
            "[[file]]\nsource = \"empty.dat\"\n[[file]]\nsource = \"readme.txt\"\nkind = \"versioned\"\n");
        p.chunkSize = 16; // records span chunks
        Bytes stream;
        std::vector<int32_t> sizes;
        std::string error;
        ASSERT_TRUE(BuildDataStream(p, nullptr, stream, sizes, error)) << error;
        EXPECT_EQ(sizes, (std::vector<int32_t>{18, 0, 9}));
        Bytes decoded = DecodeStream(stream, compressed);
        ByteReader r(decoded.data(), decoded.size());
        const char* names[] = {"app.exe", "empty.dat", "readme.txt"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(r.U32(), 0x600FFEE1u);
            EXPECT_EQ(r.I32(), i == 2 ? 9 : 0); // kind
            r.U32();                            // flags
            EXPECT_EQ(r.I32(), -1);             // attributes
            int32_t size = r.I32();
            EXPECT_EQ(size, sizes[size_t(i)]);
            EXPECT_NE(r.Date().month, 0);
            r.I32(); // MSI value
            EXPECT_EQ(r.Text(), Widen(names[i]));
            r.Text();
            EXPECT_EQ(r.Text(), i == 0 ? String(u"bin\\") : String());
            r.Text();
            r.Text();
            r.Text();
            r.Bytes(size_t(size));
        }
        EXPECT_EQ(r.Remaining(), 0u);
        EXPECT_FALSE(r.Exhausted());
    }
}

// The engine's reader as inspect runs it, over an installer made from a definition.
int InspectedCode(const Definition& d, std::string* json = nullptr) {
    std::string bytes, error;
    EXPECT_TRUE(WriteDefinition(d, 0, bytes, error, false)) << error;
    PackInput input;
    input.stub = test::MakeFakeStub();
    input.definition.assign(bytes.begin(), bytes.end());
    PackResult packed;
    EXPECT_TRUE(PackInstaller(input, packed, error)) << error;
    InspectReport report = InspectInstaller(packed.installer);
    EXPECT_EQ(report.code, 0);
    int code = -1;
    std::string decoded = DecodedDefinitionJson(report, code);
    if (json) *json = decoded;
    return code;
}

TEST(ProjectInspect, EveryLimitAtItsEdgeShowsItsCode) {
    struct Case {
        const char* what;
        void (*set)(Definition&, bool over);
        int code;
    } cases[] = {
        {"licences 20/21", [](Definition& d, bool over) { d.licences.SetCount(over ? 21 : 20); }, 24},
        {"readmes 20/21", [](Definition& d, bool over) { d.readmes.SetCount(over ? 21 : 20); }, 26},
        {"status time 9999/10000", [](Definition& d, bool over) { d.minStatusTime = over ? 10000 : 9999; },
         19},
        {"bitmap size 100/101", [](Definition& d, bool over) { d.bitmapSize = over ? 101 : 100; }, 39},
        {"associations 1000/1001",
         [](Definition& d, bool over) { d.associations.SetCount(over ? 1001 : 1000); }, 36},
        {"shortcuts 1000/1001", [](Definition& d, bool over) { d.shortcuts.SetCount(over ? 1001 : 1000); },
         48},
        {"extra values 1000/1001",
         [](Definition& d, bool over) { d.uninstallValues.SetCount(over ? 1001 : 1000); }, 37},
        {"deletions 1001/1002",
         [](Definition& d, bool over) {
             d.deletions.SetCount(over ? 1002 : 1001);
             for (FileDeletion& e : d.deletions)
                 e.pattern = "x";
         },
         38},
        {"auto-close 1000/1001",
         [](Definition& d, bool over) {
             d.autoClose.SetCount(over ? 1001 : 1000);
             for (AutoCloseEntry& e : d.autoClose)
                 e.windowClass = u"c";
         },
         41},
        {"strings 10000/10001",
         [](Definition& d, bool over) {
             d.languages.stringCount = over ? 10001 : 10000;
             d.languages.strings.resize(size_t(d.languages.stringCount));
         },
         31},
        {"languages 1/0",
         [](Definition& d, bool over) {
             if (!over) return;
             d.languages.names.Clear();
             d.languages.strings.clear();
         },
         30},
    };
    for (const Case& c : cases)
        for (bool over : {false, true}) {
            Definition d = test::MinimalDefinition();
            c.set(d, over);
            std::string json;
            EXPECT_EQ(InspectedCode(d, &json), over ? c.code : 0) << c.what;
            std::string result = over ? "\"result\": " + std::to_string(c.code) : "\"result\": \"ok\"";
            EXPECT_NE(json.find(result), std::string::npos) << c.what << json.substr(0, 200);
        }
}

TEST(ProjectInspect, HelloExampleBuildsAndShowsItsDefinition) {
    Project project;
    std::string error;
    ASSERT_TRUE(LoadProject(std::string(CORVANTIS_SOURCE_DIR) + "/examples/hello/hello.toml", project, error))
        << error;
    Bytes installer;
    ASSERT_TRUE(BuildInstaller(project, test::MakeFakeStub(), installer, error)) << error;
    InspectReport report = InspectInstaller(installer);
    ASSERT_EQ(report.code, 0);
    // The two files, then the docs folder's text files in name order.
    std::vector<std::u16string> names;
    for (const ProjectFile& f : project.files)
        names.emplace_back(f.name.View());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"hello.bat", u"readme.txt", u"docs\\changes.txt",
                                                  u"docs\\faq.txt", u"docs\\getting-started.txt"}));
    EXPECT_EQ(report.info.header.fileCount, 5);
    int code = -1;
    std::string json = DecodedDefinitionJson(report, code);
    EXPECT_EQ(code, 0);
    for (const char* text :
         {"\"product_name\": \"Hello Corvantis\"", "\"product_version\": \"1.0.0\"", "\"shortcuts\": [",
          "Corvantis Examples\\\\Hello,Greeting,1,", "\"licences\": [", "\"English\"",
          "\"options\": [\"start_menu_uninstaller\", \"register_uninstaller\""})
        EXPECT_NE(json.find(text), std::string::npos) << text << "\n" << json.substr(0, 400);
}

} // namespace
} // namespace cs
