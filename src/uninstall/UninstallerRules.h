// The uninstaller's rules that do not touch the system: the values of the product's uninstall
// entry with their defaults, the shared-file list, the order in which created folders are
// removed, which parent keys of the product key may go, what the "[Registry2]" records undo,
// and the feedback address. app/UninstallerWin32.cpp applies them; docs/uninstaller.md
// describes the run.
#pragma once

#include "core/Array.h"
#include "core/String.h"
#include "uninstall/RegistryKeyPaths.h"

#include <cstdint>
#include <string_view>

namespace cs {

// Result codes of an uninstallation (also the process's exit code).
constexpr int kUninstallDone = 0;
constexpr int kUninstallFailures = 3;
constexpr int kUninstallCancelled = 12;
constexpr int kUninstallNotFound = 13;
constexpr int kUninstallCorrupt = 14;

// Levels the folder and key loops walk up at most.
constexpr int kMaxFolderLevels = 50;
constexpr int kMaxStartMenuParents = 19;
constexpr int kMaxProductKeyParents = 20;

// Window styling as the installation stored it; kept for the uninstaller's windows.
struct UninstallStyling {
    String dialogFont, displayTitle, titleFont, taskbarText, copyrightText, copyrightFont;
    double titleSize = 1.0, copyrightSize = 1.0;
    uint32_t titleColor = 0, titleShadow = 1, topColor = 0, bottomColor = 0, monoColor = 1;
    uint32_t titlePosition = 0, copyrightColor = 0, copyrightPos = 0, progressStyle = 2;
    uint32_t dialogBG = 0, dialogFG = 0, spnmBG = 0, spnmFG = 0, buttonBG = 0, buttonFG = 0;
    uint32_t buttonBorder = 0, bannerFG = 0, dialogZoom = 100, bitmapTpi = 0, stretchMode = 0;
    uint32_t bitmapSize = 0;
};

// The values of the uninstall entry that the uninstaller reads.
struct UninstallEntryValues {
    String feedbackUrl, displayName, installLocation, displayVersion, uninstallSubdir;
    String addToPathSubfolder, productFonts, desktopFolder, notifyUrl, language, supportOffer;
    String sharedPath, productStartMenu, uninstallBatch1, uninstallBatch2, sharedFiles, productRegistry;
    uint32_t optionWord1 = 0, optionWord2 = 0, payloadFlags = 0, bitness = 0;
    uint32_t uninstallFonts = 2, uninstallShared = 2, shortcutMode = 0;
    uint64_t session = 0; // 0: none stored
    UninstallStyling styling;
};

// How the values are read: a text value (REG_SZ, REG_EXPAND_SZ) and a number value (REG_DWORD,
// REG_QWORD); false when the value is missing or of the other kind.
class UninstallEntryReader {
  public:
    virtual ~UninstallEntryReader() = default;
    virtual bool Text(const char16_t* name, String& text) = 0;
    virtual bool Number(const char16_t* name, uint64_t& number) = 0;
};

// Reads every value with its default. Numbers may be stored as numbers or as decimal text
// ("ProductFlags" is the text of a signed 64-bit number: option word 1 low, option word 2
// high); colours as numbers (0x00BBGGRR) or as "RRGGBB" text, a leading "#" skipped.
// "DialogZoom" is clamped: below 1 gives 100, 1 to 49 gives 50, above 150 gives 150. The
// title and top colours default to the system's window text and window colours.
UninstallEntryValues ReadUninstallEntryValues(UninstallEntryReader& reader, uint32_t windowTextColor,
                                              uint32_t windowColor);

// "RRGGBB" (a leading "#" skipped) as 0x00BBGGRR; false when it is not six hexadecimal digits.
bool ParseColorText(const String& text, uint32_t& color);

// ---- Shared files -------------------------------------------------------------------------

// The marker after a shared file's path.
enum class SharedFileKind { Plain, ComServer, TypeLibrary, CountOnly };

struct SharedFileEntry {
    String path;
    SharedFileKind kind = SharedFileKind::Plain;
};

// The "SharedFiles" list as the installation stored it (code page 1252): entries up to each
// ";", each in double quotes, a path in the path form followed by at most one marker: "^" a
// COM server, byte 0xA9 a type library, a space count-only. Empty entries are skipped.
Array<SharedFileEntry> ParseSharedFiles(std::string_view list);

// ---- Folders ------------------------------------------------------------------------------

// The folder list sorted by path length, longest first (equal lengths keep their order), so
// that a folder comes before its parents.
Array<String> FoldersLongestFirst(const Array<String>& folders);

// The folders the removal of one created folder tries, in order: the folder, then each parent,
// at most kMaxFolderLevels in all, stopping before the installation folder (case ignored) and
// before a drive root or a path without a folder.
Array<String> FolderAndParents(const String& folder, const String& installDir);

// The parent keys of a key path, nearest first, at most maxLevels; the hive's root itself
// ("") is never one of them.
Array<String> ParentKeys(const String& keyPath, int maxLevels);
// The same for a key path below HKEY_USERS ("SID\Software\..."): parents while the remaining
// path is at least 10 characters long and still holds a backslash, so the user's hive itself
// is never one.
Array<String> UserHiveParentKeys(const String& keyPath, int maxLevels);

// ---- Registry undo -----------------------------------------------------------------------

struct RegistryUndoStep {
    bool deleteValue = false; // else: delete the key when it is empty
    RegistryKeyPath key;      // hive AllUsers: the key in every user hive
    String keyText;           // the key path as recorded (for the failure summary)
    String valueName;
};

// What the "[Registry2]" block (CSV records) undoes: the value of every five-field record
// whose action deletes at uninstallation (2, 3, 5, 7), in the block's order, then every key of
// a one-field record, last recorded first (a subkey before the key that holds it), each only
// when empty. Records whose key path has no known root are skipped.
Array<RegistryUndoStep> RegistryUndoSteps(std::string_view block);

// A "!" body record ("root\key path\value name") split into its key and value name; false when
// the text has no backslash or no known root.
bool SplitValueRecord(const String& record, RegistryKeyPath& key, String& valueName);

// ---- Messages ------------------------------------------------------------------------------

// The feedback address before its variables are expanded: UTF-8, spaces, tabs and line
// breaks trimmed at both ends, every byte outside 0x21 to 0x7E as "%" and two upper-case
// hexadecimal digits.
String8 FeedbackAddress(const String& url);

} // namespace cs
