// "Uninstall.dat": what an installation changed that its uninstaller must undo, and the
// language texts the uninstaller shows.
//
// The installer collects the records in an UninstallRecords object while it works and turns
// them into the file's bytes once, at the end (WriteUninstallData). The uninstaller reads the
// file whole (ReadUninstallData), loads what it may have to write again into a fresh records
// object (LoadForRewrite), records again what it could not undo, and writes the reduced
// file with the same writer. Everything here is portable; UninstallDataWin32.cpp reads and
// writes the file itself. docs/uninstall-data.md describes the file.
#pragma once

#include "core/Array.h"
#include "core/HashTable.h"
#include "core/String.h"
#include "payload/Definition.h"

#include <cstdint>
#include <string_view>

namespace cs {

constexpr const char16_t kUninstallDataFileName[] = u"Uninstall.dat";

// What a body line records. The values are those callers pass as the record's kind.
enum class UninstallKind : int {
    kFile = 0,          // installed file: full path, path form
    kFolder = 1,        // "~": folder created by the installation, path form, once per folder
    kRegistryValue = 2, // "!": root, key path and value name joined by backslashes, UTF-8
    kRegistryKey = 3,   // "^": key path with root, path form
    kRegistryKey64 = 4, // "*": key path with root in the 64-bit view, path form
};

// Texts shorter than this are never recorded (and body lines shorter than it never read).
constexpr size_t kUninstallMinLine = 4;

// The language texts the uninstaller needs, in the order the "[Strings]" section lists them,
// and the number under which the installer's caption is stored.
constexpr int kUninstallTextNumbers[] = {10, 15,  20,  30,  34,  35,  49,  53,  55,  56,  57,
                                         58, 59,  65,  67,  68,  69,  70,  71,  74,  79,  80,
                                         99, 100, 101, 104, 107, 108, 109, 110, 111, 115, 116};
constexpr int kUninstallCaptionNumber = 999;
constexpr int kUninstallTextMax = 1000; // text numbers run from 1 to this

// The records of one run: the body, the folders already recorded, and the texts of the
// further sections. The running engine keeps one for the whole run (RunUninstallRecords);
// every function takes the object it works on, so tests and the uninstaller's rewrite use
// their own. Section texts are complete lines, each
// ended by "\r\n", appended by the actions that own them (AppendAssociationRecord,
// AppendMsiRecord, the firewall and INF lines as the definition has them, the registry
// undo block as CSV records).
struct UninstallRecords {
    String8 body; // record lines, each ended by "\r\n"
    // Folders recorded so far: case-folded key (see FolderKey in the source) to the paths
    // that share it, compared ignoring case.
    HashTable<String, Array<String>> folders;

    Array<AutoCloseEntry> autoClose; // written: entries with pass mask bit 0x2
    String8 associations;            // "[Associations]" lines
    String8 firewall;                // "[Firewall]" lines
    String8 inf;                     // "[INF]" lines
    String8 msi;                     // "[MSI]" lines
    String8 registry2;               // "[Registry2]" block, CSV records in UTF-8
    Array<FileDeletion> deletions;   // written: records with flag kDeletionDuringUninstall (0x8)
};

// Appends "prefix + text + \r\n" to the body. Refuses (false) a text shorter than 4 bytes,
// a text holding a carriage return, line feed or NUL (it would split into lines the reader
// takes for other records), a file text that begins with one of the kind characters "~",
// "!", "^", "*" (it would read back as another kind), and a folder already recorded (case
// ignored).
bool RecordUninstallLine(UninstallRecords& records, std::string_view text, UninstallKind kind);
// The same for a wide path: a registry value as UTF-8, everything else in the path form.
bool RecordUninstallPath(UninstallRecords& records, const String& path, UninstallKind kind);
// Empties the body and the folder set.
void ClearUninstallRecords(UninstallRecords& records);

// The records the running installation collects.
UninstallRecords& RunUninstallRecords();

// The section lines the actions append. An association whose fields hold a line end is
// refused (false): it would split into lines read as other records.
bool AppendAssociationRecord(UninstallRecords& records, const String& extension, const String& typeKey,
                             const String& verb, const String& iconPath);
void AppendMsiRecord(UninstallRecords& records, const String& packagePath, int uiLevel);

// The whole file: the body, "[Strings]" with the texts of kUninstallTextNumbers taken from
// the language table in the given language and the caption as text 999 (a lone line feed in
// a text is written as "\r\n", as the reader gives it back), then each further section that
// has content.
String8 WriteUninstallData(const UninstallRecords& records, const LanguageTable& texts, int language,
                           const String& caption);

// ---- CSV form ---------------------------------------------------------------------------

// One field, quoted when it holds "," "\"" tab CR LF ";" "|", begins with a space, "'" or
// "#", or ends with a space; a double quote inside quotes is doubled.
String8 CsvField(std::string_view field);
// A record (fields joined with ","; a single empty field as two double quotes), no line end.
String8 CsvRecord(const Array<String8>& fields);
// The records of a block: a quoted field may span lines; blank lines hold no record; blanks
// at the start and end of a record's line are not part of its fields.
Array<Array<String8>> ParseCsv(std::string_view block);

// ---- Reading ----------------------------------------------------------------------------

struct UninstallBodyRecord {
    UninstallKind kind = UninstallKind::kFile;
    String8 line; // as in the file (trimmed), with its kind character
    String path;  // the line's text decoded: UTF-8 for registry values, else the path form
};

struct UninstallAssociation {
    String extension, typeKey, verb, iconPath;
};

struct UninstallFirewallRule {
    String8 line;           // as in the file (trimmed)
    String target;          // port number or program path (path form decoded)
    String8 name;           // the rule name (not used by the uninstaller)
    uint32_t protocols = 0; // bit 0 TCP, bit 1 UDP
    String8 options;
};

struct UninstallMsiPackage {
    String8 line; // as in the file (trimmed), appended again when the removal fails
    String path;
    int uiLevel = 0;
};

// When an auto-close record applies in the uninstaller.
enum class ClosePass { kBeforeConfirmation, kAfterConfirmation };
ClosePass AutoClosePass(const AutoCloseEntry& entry); // mode 2 after, all others before

struct UninstallFile {
    Array<UninstallBodyRecord> body; // in file order
    LanguageTable texts;             // one language; numbers 1 to 1000 (empty when missing)
    String caption;                  // text 999
    Array<AutoCloseEntry> autoClose; // pass mask 0x2
    Array<UninstallAssociation> associations;
    Array<UninstallFirewallRule> firewall;
    Array<String> inf;
    Array<UninstallMsiPackage> msi;
    String8 registry2; // the block's lines, each ended by "\r\n"
    Array<FileDeletion> deletions;
};

// Reads the file's bytes. Never fails: what does not fit the grammar is skipped.
void ReadUninstallData(std::string_view bytes, UninstallFile& out);

// Loads what the uninstaller writes again into records (after ClearUninstallRecords): the
// auto-close records, the "[Registry2]" block and the conditional deletions. The texts and
// the caption are passed to WriteUninstallData from the file (texts, language 0, caption).
void LoadForRewrite(const UninstallFile& file, UninstallRecords& records);

#ifdef _WIN32
// Writes the file whole to `path` (through its partial name, flushed before the rename),
// replacing any previous one. False with the system error set and the previous file as it was.
bool SaveUninstallData(const String& path, const UninstallRecords& records, const LanguageTable& texts,
                       int language, const String& caption);
// Reads the file whole. False with the system error set when it cannot be read.
bool LoadUninstallData(const String& path, UninstallFile& out);
// The running installation's file: its records with the definition's auto-close entries and
// conditional deletions, the texts in the run's language and the wizard caption, written to
// the uninstall data folder. The path written (or tried).
String UninstallDataPath();
bool SaveRunUninstallData();
#endif

} // namespace cs
