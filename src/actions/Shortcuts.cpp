#include "actions/Shortcuts.h"

#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"

namespace cs {

namespace {

constexpr const char16_t kShellClassInfo[] = u".ShellClassInfo";
constexpr const char16_t kPinStatus[] = u"Pin to taskbar";

bool HasSubFolder(const String& name) {
    return name.View().find(u'\\') != std::u16string_view::npos;
}

} // namespace

void ShortcutInstaller::Run(Array<Shortcut>& list) {
    AddUninstallerEntries(list);
    bool restricted = (run_.payloadFlags & kFlagRestrictShortcuts) && run_.removableDrive;
    for (const Shortcut& entry : list)
        if (!restricted || entry.always) Install(entry);
    if (run_.removableDrive)
        RootShortcut();
    else if (PinsToTaskbar(run_.os))
        PinToTaskbar();
}

// The uninstaller's icon file is written before this step when the definition carries one;
// without it the links show the uninstaller program's own icon.
void ShortcutInstaller::AddUninstallerEntries(Array<Shortcut>& list) {
    const Definition& d = Def();
    UninstallerShortcutInputs in;
    in.optionWord1 = d.optionWord1;
    in.optionWord2 = d.optionWord2;
    in.payloadFlags = run_.payloadFlags;
    in.uninstallerPath = run_.uninstallerPath;
    in.uninstallName = d.uninstallKeyName;
    in.uninstallDataFolder = run_.folders.uninstallDataFolder;
    in.installDir = run_.folders.installDir;
    in.logPath = run_.logPath;
    if (d.optionWord1 & kOpt1RegisterUninstaller) {
        in.name = system_.LanguageText(kTextUninstallShortcut);
        String icon = JoinPath(run_.folders.uninstallDataFolder, kUninstallerIconName);
        if (system_.FileExists(icon)) in.icon = icon;
    }
    if (d.optionWord2 & kOpt2LogShortcut) in.logName = system_.LanguageText(kTextLogShortcut);
    for (Shortcut& entry : UninstallerShortcuts(in))
        list.Append(std::move(entry));
}

void ShortcutInstaller::Install(const Shortcut& entry) {
    LinkEntryContext context;
    context.installDir = run_.folders.installDir;
    context.uninstallDataFolder = run_.folders.uninstallDataFolder;
    context.allUsers = Def().shortcutMode == 1;
    context.nameFormat = system_.LanguageText(kTextShortcutName);
    context.expand = [this](String& text) { system_.ExpandVariables(text); };
    context.folderExists = [this](const String& folder) { return system_.FolderExists(folder); };
    LinkEntry link = ResolveLinkEntry(entry, context);
    if (!link.log.IsEmpty()) system_.Log(link.log);

    if (entry.desktop) OnDesktop(entry, link);
    if (entry.startMenu) InStartMenu(entry, link);
    if (entry.startup) InStartup(entry, link);
    if (!entry.customFolder.IsEmpty()) InCustomFolder(entry, link);
}

void ShortcutInstaller::OnDesktop(const Shortcut& entry, const LinkEntry& link) {
    const String& folder = run_.folders.desktopFolder;
    String path;
    if (folder.IsEmpty()) {
        // A link on the desktop itself opens in a normal window, whatever the entry says.
        path = LinkPathIn(run_.folders.desktop, link.name);
        if (!MakeEntryLink(link, path, link.flags & ~(kLinkMinimized | kLinkMaximized))) return;
        LogMade(u"Desktop Shortcut(%s) >>> %s\r\n", link.name, path);
    } else {
        PrepareDesktopFolder();
        path = LinkPathIn(folder, link.name);
        if (!MakeEntryLink(link, path, link.flags)) return;
        LogMade(u"Desktop Folder Shortcut(%s) >>> %s\r\n", link.name, path);
    }
    if (!entry.keep) RecordLink(path, link.name);
}

void ShortcutInstaller::InStartMenu(const Shortcut& entry, const LinkEntry& link) {
    String path = LinkPathIn(run_.folders.startMenu, link.name);
    if (MakeEntryLink(link, path, link.flags)) {
        LogMade(u"Start Menu Shortcut(%s) >>> %s\r\n", link.name, path);
        if (!entry.keep) RecordLink(path, link.name);
    }
    if (!(DoublesStartMenuShortcuts(run_.os) && (link.flags & kLinkAllUsers))) return;
    String userPath = LinkPathIn(run_.folders.userStartMenu, link.name);
    if (!MakeEntryLink(link, userPath, link.flags & ~kLinkAllUsers)) return;
    LogMade(u"Start Menu Shortcut(%s) >>> %s\r\n", link.name, userPath);
    if (!entry.keep) RecordLink(userPath, link.name);
}

void ShortcutInstaller::InStartup(const Shortcut& entry, const LinkEntry& link) {
    String path = LinkPathIn(run_.folders.startup, link.name);
    if (!MakeEntryLink(link, path, link.flags)) return;
    LogMade(u"Startup Shortcut(%s) >>> %s\r\n", link.name, path);
    if (!entry.keep) RecordLink(path, link.name);
}

void ShortcutInstaller::InCustomFolder(const Shortcut& entry, const LinkEntry& link) {
    String folder = entry.customFolder;
    system_.ExpandVariables(folder);
    String path = LinkPathIn(folder, link.name);
    if (!MakeEntryLink(link, path, link.flags)) return;
    LogMade(u"Shortcut(%s) >>> %s\r\n", link.name, path);
    if (entry.keep) return;
    Record(path, UninstallKind::kFile);
    Record(FolderOf(path), UninstallKind::kFolder);
}

// Once, before the first link in the desktop folder: the folder, its records, and its icon
// when the definition carries one.
void ShortcutInstaller::PrepareDesktopFolder() {
    if (desktopFolderPrepared_) return;
    desktopFolderPrepared_ = true;
    const String& folder = run_.folders.desktopFolder;
    String reason;
    if (!system_.MakeFolder(folder, reason))
        system_.Log(Format(u"Failed to create folder %s: %s\r\n\r\n", folder, reason));
    Record(JoinPath(folder, kDesktopIniName), UninstallKind::kFile);
    Record(folder, UninstallKind::kFolder);
    if (Def().desktopFolderIcon.IsEmpty()) return;
    String icon = JoinPath(run_.folders.uninstallDataFolder, kDesktopIconName);
    if (!system_.SaveFile(icon, Def().desktopFolderIcon)) {
        system_.Log(Format(u"Failed to create Desktop shortcut folder icon \"%s\"\r\n", icon));
        return;
    }
    SetFolderIcon(folder, icon);
}

// "Desktop.ini" names the icon; the shell reads it in system folders only, and it stays out of
// sight.
void ShortcutInstaller::SetFolderIcon(const String& folder, const String& icon) {
    String ini = JoinPath(folder, kDesktopIniName);
    if (NeedsUnicodeDesktopIni(icon, system_.FileExists(ini))) system_.SaveFile(ini, String8("\xFF\xFE", 2));
    system_.WriteIniText(ini, kShellClassInfo, u"IconIndex", u"0");
    system_.WriteIniText(ini, kShellClassInfo, u"IconFile", icon);
    Record(icon, UninstallKind::kFile);
    system_.AddAttributes(folder, kAttributeSystem);
    system_.AddAttributes(ini, kAttributeHidden | kAttributeSystem);
}

// On a removable drive: a link in the drive's root to the command, starting in the
// installation folder.
void ShortcutInstaller::RootShortcut() {
    if (Def().rootShortcutCommand.IsEmpty()) return;
    bool completed = system_.Guarded([this] {
        const String& installDir = run_.folders.installDir;
        if (installDir.Length() < 2 || installDir[1] != u':') return;
        String command = Def().rootShortcutCommand, name = Def().rootShortcutName;
        system_.ExpandVariables(command);
        system_.ExpandVariables(name);
        Link link;
        link.path = installDir.Sub(0, 2) + u"\\" + name + u".lnk";
        SplitCommand(command, link.target, link.arguments);
        link.workingFolder = installDir;
        if (!Make(link)) return;
        LogMade(u"Root Shortcut(%s) >>> %s\r\n", name, link.path);
        Record(link.path, UninstallKind::kFile);
    });
    if (!completed) system_.Log(u"Crash while installing root shortcut.\r\n");
}

// The pin is made through a link in the temporary folder; the shell keeps its own link, which
// is recorded whether the pin worked or not, so that the uninstaller takes it away.
void ShortcutInstaller::PinToTaskbar() {
    if (Def().pinTarget.IsEmpty()) return;
    bool completed = system_.Guarded([this] {
        String command = Def().pinTarget, name = Def().pinName;
        system_.ExpandVariables(command);
        system_.ExpandVariables(name);
        if (name.IsEmpty()) name = Def().productName;
        system_.ShowStatus(kPinStatus);
        Link link;
        SplitCommand(command, link.target, link.arguments);
        link.path = LinkPathIn(run_.folders.temp, name);
        String failure;
        bool pinned = system_.CreateLink(link) && system_.PinToTaskbar(link.path, failure);
        system_.Log(Format(u"Pin to taskbar(%s): %s\r\n", link.target, pinned ? u"OK" : u"FAIL"));
        if (!pinned && !failure.IsEmpty()) system_.Log(failure + u"\r\n");
        system_.RemoveFile(link.path);
        Record(PinnedLinkPath(run_.folders.appData, name), UninstallKind::kFile);
    });
    if (!completed) system_.Log(u"Crash while pinning to taskbar.\r\n");
}

bool ShortcutInstaller::Make(const Link& link) {
    if (!(Def().optionWord2 & kOpt2HideFileNames)) system_.ShowStatus(link.path);
    return system_.CreateLink(link);
}

bool ShortcutInstaller::MakeEntryLink(const LinkEntry& entry, const String& path, uint32_t flags) {
    Link link;
    link.path = path;
    link.target = entry.target;
    link.arguments = entry.arguments;
    link.workingFolder = entry.workingFolder;
    link.icon = entry.icon;
    link.flags = flags;
    return Make(link);
}

void ShortcutInstaller::LogMade(const char16_t* format, const String& name, const String& path) {
    if (Def().optionWord1 & kOpt1LogEveryFile) system_.Log(Format(format, name, path));
}

void ShortcutInstaller::Record(const String& path, UninstallKind kind) {
    if (run_.records) RecordUninstallPath(*run_.records, path, kind);
}

// A link whose name holds sub-folders also leaves the folder it is in.
void ShortcutInstaller::RecordLink(const String& path, const String& name) {
    Record(path, UninstallKind::kFile);
    if (HasSubFolder(name)) Record(FolderOf(path), UninstallKind::kFolder);
}

} // namespace cs
