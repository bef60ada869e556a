#include "actions/ShortcutRules.h"

#include "actions/FileRules.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"

namespace cs {

namespace {

constexpr const char16_t kLinkExtension[] = u".lnk";
constexpr size_t kLinkExtensionLength = 4;
constexpr const char16_t kPinnedLinksFolder[] =
    u"Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar";

bool IsBlankChar(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool HasChar(const String& text, char16_t c) {
    return text.View().find(c) != std::u16string_view::npos;
}

uint32_t ShowFlags(uint8_t showState) {
    if (showState == 1) return kLinkMinimized;
    if (showState == 2) return kLinkMaximized;
    return 0;
}

// The working folder of an entry: expanded and trimmed; one that does not exist is dropped
// with a log line; an empty one is the installation folder.
String EntryWorkingFolder(const Shortcut& entry, const LinkEntryContext& context, String& log) {
    String folder = entry.workingFolder;
    context.expand(folder);
    Trim(folder);
    if (!folder.IsEmpty() && !context.folderExists(folder)) {
        log = Format(u"Shortcut \"Start In\" folder \"%s\" doesn't exist.\r\n", folder);
        folder.Clear();
    }
    return folder.IsEmpty() ? context.installDir : folder;
}

} // namespace

// ---- One link ----------------------------------------------------------------------------

int ShowCommandOf(uint32_t flags) {
    if (flags & kLinkMinimized) return 7;
    if (flags & kLinkMaximized) return 3;
    return 0;
}

String LinkWorkingFolder(String folder) {
    Trim(folder);
    if (folder.Length() == 2 && folder[1] == u':') folder += u'\\';
    return folder;
}

String WithLinkExtension(const String& path) {
    size_t length = path.Length();
    if (length >= kLinkExtensionLength &&
        EqualsNoCase(path.Sub(length - kLinkExtensionLength), kLinkExtension))
        return path;
    return path + kLinkExtension;
}

String LinkPathIn(const String& folder, const String& name) {
    return WithLinkExtension(JoinPath(folder, name));
}

void SplitCommand(const String& command, String& program, String& rest) {
    String text = command;
    Trim(text);
    size_t end;
    if (text.Length() && text[0] == u'"') {
        size_t close = text.View().find(u'"', 1);
        program = text.Sub(1, close == String::npos ? String::npos : close - 1);
        end = close == String::npos ? text.Length() : close + 1;
    } else {
        end = 0;
        while (end < text.Length() && !IsBlankChar(text[end]))
            ++end;
        program = text.Sub(0, end);
    }
    rest = text.Sub(end);
    Trim(program);
    Trim(rest);
}

uint32_t ShellVerbError(intptr_t shellResult, uint32_t lastError) {
    constexpr uint32_t kNoAssociation = 1155;
    struct Code {
        intptr_t shell;
        uint32_t system;
    };
    static const Code kCodes[] = {
        {2, 2},               // file not found
        {3, 3},               // path not found
        {5, 5},               // access denied
        {8, 8},               // out of memory
        {26, 32},             // sharing violation
        {27, kNoAssociation}, // association incomplete
        {31, kNoAssociation}, // no association
        {28, 1156},           // DDE time-out
        {29, 1156},           // DDE failure
        {30, 1156},           // DDE busy
        {32, 1157},           // a library was not found
    };
    for (const Code& code : kCodes)
        if (code.shell == shellResult) return code.system;
    return lastError ? lastError : kNoAssociation;
}

// ---- The entries of a run ----------------------------------------------------------------

Array<Shortcut> UninstallerShortcuts(const UninstallerShortcutInputs& in) {
    Array<Shortcut> list;
    auto addUninstaller = [&](bool startMenu, bool desktop, const String& folder) {
        Shortcut& s = list.Append();
        s.target = in.uninstallerPath;
        s.arguments = Format(u"/u:\"%s\"", in.uninstallName);
        s.name = in.name;
        s.icon = in.icon;
        s.startMenu = startMenu;
        s.desktop = desktop;
        s.customFolder = folder;
        s.always = !folder.IsEmpty();
        s.uninstallerEntry = true;
    };
    if (in.optionWord1 & kOpt1RegisterUninstaller) {
        if (in.optionWord1 & kOpt1StartMenuUninstaller) addUninstaller(true, false, {});
        if (in.optionWord2 & kOpt2DesktopUninstaller) addUninstaller(false, true, {});
        if (in.optionWord2 & kOpt2UninstallerInDataFolder)
            addUninstaller(false, false, in.uninstallDataFolder);
        if (in.payloadFlags & kFlagUninstallerInInstallFolder) addUninstaller(false, false, in.installDir);
    }
    if (in.optionWord2 & kOpt2LogShortcut) {
        Shortcut& s = list.Append();
        s.target = in.logPath;
        s.name = in.logName;
        s.startMenu = 1;
    }
    return list;
}

LinkEntry ResolveLinkEntry(const Shortcut& entry, const LinkEntryContext& context) {
    LinkEntry link;
    link.target = entry.target;
    if (entry.fromDefinition) context.expand(link.target);
    link.arguments = entry.arguments;
    context.expand(link.arguments);
    if (link.arguments.Length() >= 2 && link.arguments[0] == u'~' && link.arguments[1] == u'"')
        SplitCommand(link.arguments.Sub(1), link.target, link.arguments);
    // An empty target stays empty: its link fails rather than open the installation folder.
    if (!link.target.IsEmpty() && !HasChar(link.target, u':'))
        link.target = JoinPath(context.installDir, link.target);

    link.icon = entry.icon;
    context.expand(link.icon);
    if (!link.icon.IsEmpty() && !IsAbsolutePath(link.icon))
        link.icon = JoinPath(context.uninstallDataFolder, link.icon);

    link.workingFolder = EntryWorkingFolder(entry, context, link.log);
    link.name = entry.name;
    if (link.name.IsEmpty()) link.name = Format(context.nameFormat.c_str(), FileNameOf(link.target));
    if (IsBlank(link.name)) link.name = FileNameOf(link.target); // a blank text 38 names no link
    link.flags = (context.allUsers ? kLinkAllUsers : 0) | ShowFlags(entry.showState);
    return link;
}

// ---- Windows versions --------------------------------------------------------------------

bool PinsToTaskbar(const OsRecord& os) {
    if (os.platform != kPlatformNt) return false;
    bool fromSeven = os.major > 6 || (os.major == 6 && os.minor >= 1);
    return fromSeven && os.major < 10;
}

bool DoublesStartMenuShortcuts(const OsRecord& os) {
    // 4.0 is Windows 95, 4.10 Windows 98, 4.90 Windows Me.
    return os.platform == kPlatformWin9x && os.major == 4 && os.minor < 90;
}

String PinnedLinkPath(const String& appData, const String& name) {
    return LinkPathIn(JoinPath(appData, kPinnedLinksFolder), name);
}

bool NeedsUnicodeDesktopIni(const String& iconPath, bool iniExists) {
    if (iniExists) return false;
    for (char16_t c : iconPath)
        if (c >= 128) return true;
    return false;
}

} // namespace cs
