// The rules of installing one file entry that do not touch the system: what each kind is,
// where a file goes, how dates and versions compare, whether an existing file is replaced
// and what the log says about it, and the shared-file reference counts to raise after the
// file loop.
#pragma once

#include "core/Array.h"
#include "core/Folders.h"
#include "core/String.h"
#include "payload/DataStream.h"

#include <functional>
#include <string_view>

namespace cs {

// ---- Kinds and flags --------------------------------------------------------------------

enum FileKind : int32_t {
    kAppFile = 0,
    kSharedFile = 1,
    kFontFile = 4,
    kStartupFile = 5,
    kSystemFile = 6,
    kComServerFile = 7,
    kTypeLibraryFile = 8,
    kVersionedFile = 9,
    kDriverPackage = 10,
    kMsiPackage = 11,
    kControlPanelApplet = 12,
};

constexpr uint32_t kFileDesktopShortcut = 0x1;
constexpr uint32_t kFileStartMenuShortcut = 0x2;
constexpr uint32_t kFileKeep = 0x20;
constexpr uint32_t kFileIntoUninstallFolder = 0x40;
constexpr uint32_t kFileRemoveMsi = 0x80000000;
inline int OverwriteModeOf(uint32_t flags) { return static_cast<int>((flags >> 2) & 7); }

// Corrupt-installer codes of the file loop.
constexpr int kCodeFileKind = 110;
constexpr int kCodeFileSize = 5;
constexpr int kCodeAppletName = 78;
constexpr int kCodeAppletClass = 79;

// Where a kind's files go when the entry names no destination.
enum class BaseFolder { Install, Shared, Fonts, System };
// How an existing file at the destination is judged.
enum class ExistingTest { None, Date, VersionThenDate };

struct KindRules {
    BaseFolder base = BaseFolder::Install;
    ExistingTest test = ExistingTest::None;
    bool recordable = false; // the uninstaller removes the file (kind 1: only on a removable drive)
};

// False for 2, 3 and anything outside 0..12: the corrupt-installer error, code 110.
bool IsFileKind(int32_t kind);
KindRules RulesOfKind(int32_t kind); // for valid kinds
bool IsRecordable(int32_t kind, bool removableDrive);

// ---- Dates and versions ------------------------------------------------------------------

// Month 0: no date. Hour below 0: no time.
inline bool HasDate(const DateValue& d) { return d.month != 0; }
// Negative, 0 or positive. A side without a date is the greater; dates compare by year,
// month, day; a side without a time is the greater; times within 2 seconds are equal,
// otherwise the result is the difference in seconds.
int CompareFileDates(const DateValue& a, const DateValue& b);
// "2024/05/17 13:45:00" (year, month, day, hour, minute, second).
String FormatFileDate(const DateValue& d);

// Versions such as "1.2.3.4" or "1.2b": runs of digits are numbers, a letter anywhere is the
// suffix (the last wins), a "." before any number counts as a 0, everything else is
// skipped. Lists compare number by number, a longer list with the same start is greater,
// then the suffix letters decide. Negative, 0 or positive.
int CompareFileVersions(std::string_view a, std::string_view b);

// ---- Destination -------------------------------------------------------------------------

struct DestinationFolders {
    String installDir, sharedDir, uninstallDataFolder, fontsFolder, systemFolder;
    // Where the system folder's files really go when that differs from its name (a 32-bit
    // product installed by the 64-bit engine: the 32-bit system folder), else "". Paths are
    // recorded, counted and logged under the system folder's name; the file operations use
    // RedirectedPath (core/Folders.h).
    String systemFolder32;
    bool removableDrive = false;
    String sharedOverride; // on a removable drive: where shared files with sub-folders go ("" none)
};

struct Destination {
    String name; // the entry's name, or the new name its destination gives it
    String path;
    bool createFolder = false;     // the parent folder is made before writing
    const char* problem = nullptr; // why the destination is refused (then no path)
};

// The full destination path of an entry; `expand` replaces installer variables. A leading
// "%Variable%" is expanded on its own as the base folder; the rest, expanded apart from it,
// must stay a relative name (FileNames.h), else the destination is refused with the reason.
Destination ResolveDestination(const FileRecord& entry, const DestinationFolders& folders,
                               const std::function<void(String&)>& expand);

// The folder that must be made for a destination, or "" when it is the installation folder
// itself (case ignored, a trailing backslash ignored).
String FolderToCreate(const String& destination, const String& installDir);

// ---- Replacing an existing file ----------------------------------------------------------

// What the system says about the destination before the write.
struct ExistingFile {
    bool exists = false;   // a file (not a folder) is there
    bool timeKnown = false;
    DateValue time;        // its last-write time, UTC
    String8 version;       // its file version ("" none)
};

// The verdict on one entry: install it or not, whether to record the existing file for
// removal (when the kind is recordable and the entry not kept), and the log text.
struct FileVerdict {
    bool install = true;
    bool record = false;
    String logText;
};

// The overwrite mode's verdict ((flags >> 2) & 7).
FileVerdict DecideOverwrite(int mode, const String& destination, const ExistingFile& existing,
                            const DateValue& entryDate);

// The kind's test of an existing file: dates for kinds 1 and 4, version then date for 6
// to 9; the entry's version is its title. An entry that passes gets the line telling why
// the file is replaced.
FileVerdict TestExistingFile(const FileRecord& entry, const String& destination, const ExistingFile& existing,
                             bool removableDrive);

// ---- Lists of the run --------------------------------------------------------------------

// The marker a shared-file list entry carries after its path: ' ' keep, '^' COM server,
// 0xA9 type library, 0 none; -1 when the kind adds nothing to the list.
int SharedFileMarker(int32_t kind, uint32_t flags, bool removableDrive);

// The progress line: the destination, or the placeholder text when file names are hidden
// (by the option, or for the entry named "b/0@+").
bool HidesFileName(const String& name, bool hideOption);

// The applet's name: the title, else the destination's file name without its extension.
String AppletName(const FileRecord& entry, const String& destination);

// ---- After the loop ----------------------------------------------------------------------

// The shared-file reference counts to raise: the paths (markers stripped, still in the
// path form) of the list's entries that the stored list (quoted entries joined by ";")
// does not hold yet, and the stored list with them added.
struct SharedCountPlan {
    Array<String8> paths;
    String8 storedList;
};
SharedCountPlan PlanSharedCounts(const Array<String8>& sharedFiles, const String8& storedList);

} // namespace cs
