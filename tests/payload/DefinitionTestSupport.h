// Definitions for the tests: the smallest valid one and one that sets every field.
#pragma once

#include "payload/Definition.h"

namespace cs::test {

// One language ("English") with `strings` empty strings; everything else at its default.
inline Definition MinimalDefinition(int strings = 1) {
    Definition d;
    d.languages.names.Append(u"English");
    d.languages.stringCount = strings;
    d.languages.strings.resize(size_t(strings));
    return d;
}

// Payload flags that make every optional colour field present.
constexpr uint32_t kAllColorFlags =
    kFlagEditColors | kFlagButtonColors | kFlagListColors | kFlagDocumentColors | kFlagWizardColors;

inline String8 SomeBytes(int n, int seed) {
    String8 s;
    for (int i = 0; i < n; ++i)
        s += static_cast<char>((i * 7 + seed) & 0xFF);
    return s;
}

// Every field set to a value that differs from its default and survives the reader's
// completion steps unchanged.
inline Definition FullDefinition() {
    Definition d;
    d.optionWord1 =
        kOpt1RegisterUninstaller | kOpt1DialogColors | kOpt1AddOn | kOpt1NoBackgroundWindow | 0x40;
    d.optionWord2 = 0x12345678 & ~kOpt2DesktopFolderByName;
    d.automaticMode = 7;
    d.taskbarText = u"Taskbar \u00e9";
    d.displayTitle = u"Title";
    d.titleSize = 1.75;
    d.progressPlacement = 17;
    d.minStatusTime = 9999;
    d.shortcutMode = 1;
    d.uninstallerDate = {2024, 5, 17, 13, 45, 59};
    d.publisher = u"Publisher Ltd";
    d.productName = u"Product";
    d.productTitle = u"Product Title";
    d.bitness = 2;
    d.sharedFolderBase = 3;
    d.sharedPath = u"Shared";
    d.sharedSubfolder = u"common";
    d.startMenuFolder = u"Start\\Menu";
    d.productVersion = u"1.2.3b";
    d.defaultFolder = u"HKLM\\Software\\X\\Path";
    d.productRegistry = u"Vendor\\Product";
    d.registryEntries = "HKLM\\Software\\X,Name,1,Data,3\r\n";
    d.registryMergeFile = SomeBytes(301, 1);
    d.appPath = u"bin\\app.exe";
    d.bitmapSize = 100;
    d.stretchMode = 3;
    d.uninstallFonts = 1;
    d.uninstallShared = 2;
    d.productUrl = u"https://example.com/";
    d.licences.Append("{\\rtf1 licence one}");
    d.licences.Append(SomeBytes(9, 2));
    d.readmes.Append(SomeBytes(5, 3));
    d.uninstallSubdir = u"uninst";
    d.uninstallerFileName = u"uninstall.exe";
    d.uninstallKeyName = u"ProductKey";
    d.locationReference = u"HKLM\\Software\\X\\Location";
    d.dialogFont = u"Segoe UI";
    d.dialogZoom = 125;
    d.wizardCaption = u"Caption";
    d.bannerFG = 0x010203;
    d.pictureBorder = 2;
    d.titleColor = 0x112233;
    d.titleShadow = 4;
    d.titlePosition = 5;
    d.titleFont = u"Arial";
    d.topColor = 0x445566;
    d.bottomColor = 0x778899;
    d.backgroundPicture = SomeBytes(40, 4);
    d.bitmapTpi = 96;
    d.copyrightPos = 6;
    d.copyrightColor = 0xAABBCC;
    d.copyrightSize = 0.5;
    d.copyrightText = u"(c) Someone";
    d.copyrightFont = u"Verdana";
    d.dialogBG = 0x010101;
    d.dialogFG = 0x020202;
    d.spnmBG = 0x030303;
    d.spnmFG = 0x040404;
    d.buttonBG = 0x050505;
    d.buttonFG = 0x060606;
    d.buttonBorder = 0x070707;
    d.editColors[0] = 0x080808;
    d.editColors[1] = 0x090909;
    for (int i = 0; i < 4; ++i)
        d.listColors[i] = 0x0A0A0A + i;
    d.documentColors[0] = 0x0B0B0B;
    d.documentColors[1] = 0x0C0C0C;
    d.masterKeyName = u"MasterKey";
    d.masterDisplayName = u"Master";
    d.masterMinVersion = u"2.0";
    d.startSound = u"start.wav";
    d.desktopFolder = u"Desk";
    d.desktopFolderIcon = SomeBytes(12, 5);
    for (int i = 0; i < kBatchCount; ++i)
        d.batches[i] = String(u"echo batch ") + Widen(std::to_string(i));
    d.reserved = SomeBytes(20, 6);
    d.excludedSystems = 0x30;
    d.externalData = 1;
    for (int i = 0; i < kLinkCount; ++i)
        d.links[i] = String(u"link ") + Widen(std::to_string(i));
    d.upgradeWithoutAskingFrom = "1.0";
    d.noDowngradeBelow = u"0.9";
    d.buildDate = {2026, 12, 10};
    d.buildValue = -5;
    d.password = u"secret";
    d.reinstallInPlaceFrom = u"1.1";
    d.registryKeyList = u"a;b";
    d.addToPathSubfolder = u"bin";
    d.pages = {0x100000002ULL, 1, 3, 4, 1, 2, 3, 0, 1, 2, 3, 0};
    d.uninstallerIcon = SomeBytes(30, 7);
    d.deletions.Append({"%InstallDir%\\old.dll", 4, "10", 0x5});
    d.deletions.Append({"*.tmp", 0, "", 0x8});
    d.associations.Append({1, u"abc", "Product.Doc", u"Product document", "open,print", "&Open",
                           u"\"%InstallDir%\\app.exe\" \"%1\"", u"English", u"app.ico"});
    Shortcut s;
    s.target = u"%InstallDir%\\app.exe";
    s.name = u"Sub\\App";
    s.icon = u"app.ico";
    s.arguments = u"-x";
    s.workingFolder = u"%InstallDir%";
    s.desktop = 1;
    s.startMenu = 1;
    s.startup = 0;
    s.customFolder = u"C:\\Custom";
    s.showState = 2;
    s.keep = 1;
    s.fromDefinition = true;
    d.shortcuts.Append(s);
    d.rootShortcutCommand = u"app.exe /portable";
    d.rootShortcutName = u"Root";
    d.pinTarget = u"%InstallDir%\\app.exe";
    d.pinName = u"Pinned";
    d.uninstallValues.Append({u"HelpLink", 1, u"https://example.com/help"});
    d.uninstallValues.Append({u"NoModify", 4, u"1"});
    d.supportOffer = u"Support";
    d.productIcon = SomeBytes(50, 8);
    d.autoClose.Append({u"AppClass", u"*App", u"The App", 2, 3});
    d.firewallExceptions = "8080;Web;3;\r\n|C:\\\xc3\xa9.exe;R\xc3\xa8gle;0;1\r\n";
    d.languages.names.Append(u"Deutsch");
    d.languages.names.Append(u"English");
    d.languages.stringCount = 3;
    d.languages.strings = {u"de0", u"en0", u"de1\r\nzwei", u"en1\r\ntwo", u"", u"en2"};
    d.languages.defaultLanguage = 1;
    return d;
}

} // namespace cs::test
