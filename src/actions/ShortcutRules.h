// The rules of the shortcuts that do not touch the system: the entries the engine adds for
// the uninstaller and the log, how one entry becomes a link (target, arguments, icon, working
// folder, name, flags), what a link's creation sets, and on which Windows the taskbar pin is
// made.
#pragma once

#include "core/Array.h"
#include "core/OsInfo.h"
#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>
#include <functional>

namespace cs {

// Language texts of the shortcuts.
constexpr int kTextUninstallShortcut = 33; // the name of the shortcuts to the uninstaller
constexpr int kTextShortcutName = 38;      // an unnamed shortcut's name: %s is the target's file name
constexpr int kTextLogShortcut = 86;       // the name of the Start Menu shortcut to "Install.log"

// Payload flags of the shortcuts.
constexpr uint32_t kFlagRestrictShortcuts = 0x800; // on a removable drive only entries marked always
constexpr uint32_t kFlagUninstallerInInstallFolder = 0x200000; // a shortcut to the uninstaller there

// Link flags.
constexpr uint32_t kLinkAllUsers = 0x1;
constexpr uint32_t kLinkMinimized = 0x2;
constexpr uint32_t kLinkMaximized = 0x4;
constexpr uint32_t kLinkSkipFolderCreation = 0x8; // the link's folder must exist already

// File attributes the desktop folder's icon sets.
constexpr uint32_t kAttributeHidden = 0x2;
constexpr uint32_t kAttributeSystem = 0x4;

constexpr const char16_t kDesktopIniName[] = u"Desktop.ini";
constexpr const char16_t kDesktopIconName[] = u"Desktop Icon.ico";
constexpr const char16_t kUninstallerIconName[] = u"uninstall.ico";

// ---- One link ----------------------------------------------------------------------------

// What a link's creation takes.
struct Link {
    String path, target, arguments, workingFolder, icon;
    uint32_t flags = 0;
};

// The link's show command: 7 (minimised, not activated) for kLinkMinimized, 3 (maximised) for
// kLinkMaximized, 0 to leave the link's default.
int ShowCommandOf(uint32_t flags);
// The working folder as the link stores it: trimmed; a bare drive "X:" becomes "X:\".
String LinkWorkingFolder(String folder);
// The path with ".lnk" appended unless it ends in it (case ignored).
String WithLinkExtension(const String& path);
// The link of that name in the folder (the name may hold sub-folders).
String LinkPathIn(const String& folder, const String& name);

// A command's first token (in double quotes, or up to the first blank) and what follows it,
// both trimmed.
void SplitCommand(const String& command, String& program, String& rest);

// The system error code of a failed shell verb: from the shell's own result (hInstApp, one
// of the SE_ERR_ codes 32 and below) when it names the failure, else the thread's last error
// (which some shells leave unrelated to the verb), else 1155 (no association).
uint32_t ShellVerbError(intptr_t shellResult, uint32_t lastError);

// ---- The entries of a run ----------------------------------------------------------------

struct UninstallerShortcutInputs {
    uint32_t optionWord1 = 0, optionWord2 = 0, payloadFlags = 0;
    String uninstallerPath, uninstallName;
    String name; // language text 33
    String icon; // the uninstaller's icon file, "" for none
    String uninstallDataFolder, installDir;
    String logPath; // "Install.log" in the uninstall data folder
    String logName; // language text 86
};

// The entries the engine adds to the shortcut list, in this order: with the uninstaller, its
// Start Menu and desktop shortcuts and those in the uninstall data folder and the installation
// folder (as the options ask for them); then, with the log option, the Start Menu shortcut to
// the installation log.
Array<Shortcut> UninstallerShortcuts(const UninstallerShortcutInputs& in);

// What one entry's links are made of, before the kinds of folder are applied.
struct LinkEntry {
    String target, arguments, icon, workingFolder, name;
    uint32_t flags = 0;
    String log; // the line about a working folder that does not exist
};

struct LinkEntryContext {
    String installDir, uninstallDataFolder;
    bool allUsers = false;                           // ShortcutMode 1
    String nameFormat;                               // language text 38
    std::function<void(String&)> expand;             // installer variables
    std::function<bool(const String&)> folderExists; // the working folder
};

// Arguments expanded, and when they begin with "~\"" their quoted first token is the target;
// the icon (expanded) joined onto the uninstall data folder unless absolute; the working
// folder expanded and trimmed, dropped with a log line when it does not exist, and the
// installation folder when empty; the target of a definition entry expanded, and joined onto
// the installation folder when it has no ":"; an empty name from text 38 and the target's file
// name; the flags from ShortcutMode and the show state.
LinkEntry ResolveLinkEntry(const Shortcut& entry, const LinkEntryContext& context);

// ---- Windows versions --------------------------------------------------------------------

// Windows 7 and 8 (NT 6.1 up to 9.x): the only systems where the taskbar pin is made.
bool PinsToTaskbar(const OsRecord& os);
// Windows 95 and 98: an all-users Start Menu shortcut is also made in the user's Start Menu.
bool DoublesStartMenuShortcuts(const OsRecord& os);

// The link the shell keeps for a pin: the application data folder joined with
// "Microsoft\Internet Explorer\Quick Launch\User Pinned\TaskBar" and the name plus ".lnk".
String PinnedLinkPath(const String& appData, const String& name);

// "Desktop.ini" is first created holding the UTF-16 byte-order mark when the icon path holds
// a character of 128 or more and the file does not exist yet, so that the entries written
// into it are stored as Unicode.
bool NeedsUnicodeDesktopIni(const String& iconPath, bool iniExists);

} // namespace cs
