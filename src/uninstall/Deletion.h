// Deleting files under conditions ordinary deletion does not meet (the deletion primitives
// below every user are in runtime/FileRemoval.h): cancelling pending restart operations, the conditional
// deletions of the definition and of "Uninstall.dat", the guarded deletion of a folder tree, and the
// self-removal batch "delunins.bat".
//
// This header holds the rules; DeletionWin32.cpp applies them to the system.
#pragma once

#include "core/Array.h"
#include "core/DateTime.h"
#include "core/String.h"
#include "payload/Definition.h"
#include "runtime/FileRemoval.h"
#include "uninstall/PathJudgement.h"

#include <cstdint>

namespace cs {

// FileDeletion conditions and flags.
enum DeletionCondition : uint8_t {
    kConditionNone = 0,
    kConditionDateEqual = 1,
    kConditionDateFrom = 2,  // file date not before the value
    kConditionDateUntil = 3, // file date not after the value
    kConditionSizeEqual = 4,
    kConditionSizeAtLeast = 5,
    kConditionSizeAtMost = 6,
};
constexpr uint8_t kDeletionAtRestartOnly = 0x1;
constexpr uint8_t kDeletionRestartOnFailure = 0x2;
constexpr uint8_t kDeletionDuringInstall = 0x4;
constexpr uint8_t kDeletionDuringUninstall = 0x8;

// Corrupt-installer code of a conditional deletion whose date is not a date.
constexpr int kCodeInvalidDeletionDate = 65;

// ---- Pending restart operations ---------------------------------------------------------

constexpr const char16_t kSessionManagerKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char16_t kPendingRenameValue[] = u"PendingFileRenameOperations";

struct PendingOperation {
    String source;
    String target; // empty: a deletion
};

// A REG_MULTI_SZ value (UTF-16, as stored) to pairs and back. A final unpaired text is a
// deletion of that file.
Array<PendingOperation> ParsePendingOperations(const char16_t* data, size_t chars);
String JoinPendingOperations(const Array<PendingOperation>& operations); // with its double NUL

// The path from its drive letter on ("\??\C:\x" gives "C:\x"); empty without a drive letter.
String FromDriveLetter(const String& path);
// A pending source as a file path: leading "\", "?" and "!" removed.
String PendingSourceFile(const String& source);

enum class PendingVerdict { kKeep, kCancelMove, kCancelDeletion };
// A move whose target, or a deletion whose source, lies in files (compared from the drive
// letter on, ignoring case) is cancelled; any other operation is kept.
PendingVerdict JudgePending(const PendingOperation& operation, const Array<String>& files);

// ---- Conditional deletions ---------------------------------------------------------------

struct FoundFile {
    String path;
    uint64_t size = 0;
    DateTime modified; // last-write time, local, with its time of day
};

enum class ConditionResult { kHolds, kDoesNotHold, kInvalidDate };
ConditionResult EvaluateCondition(const FileDeletion& record, const FoundFile& file);

// What the conditional deletions need of the system.
class DeletionSystem {
  public:
    virtual ~DeletionSystem() = default;
    virtual String ExpandVariables(const String& text) = 0;
    virtual String InstallDir() = 0;
    virtual Array<FoundFile> FindFiles(const String& pattern) = 0; // files only, not folders
    virtual void ClearAttributes(const String& path) = 0;          // read-only, hidden, system
    virtual bool DeleteNow(const String& path) = 0;                // DeleteFileEx without options
    virtual bool ScheduleAtRestart(const String& path) = 0;
    virtual uint32_t LastError() = 0;
    virtual String ErrorText(uint32_t code) = 0;
    virtual void Log(const String& text) = 0;
    // The judgement of a pattern before it is listed (uninstall/PathJudgement.h). Installing,
    // the definition's own patterns need only be full paths without a wildcard in a folder
    // name; uninstalling, the records of "Uninstall.dat" meet the whole judgement.
    virtual DeletionVerdict JudgePattern(const String& pattern) = 0;
};

struct ConditionalDeletionState {
    uint32_t optionWord1 = 0; // gains the restart-needed bit when installing
    uint32_t optionWord2 = 0; // gains the restart-after-uninstall bit when uninstalling
    String failureSummary;    // failures while installing; refused patterns in both passes
};

// Processes the records that apply to this pass. A date condition whose value is not a
// date stops the run with the corrupt-installer error (code 65). A pattern the judgement refuses
// deletes nothing: its refusal is logged, added to the failure summary and counted as a failure,
// and while uninstalling the record leaves the list all the same (written back, it would be
// refused again on every run). While uninstalling, a record without failures leaves the list,
// so that only failed ones are written back. Returns the count of failures.
int RunConditionalDeletionsWith(DeletionSystem& system, Array<FileDeletion>& records, bool installing,
                                ConditionalDeletionState& state);

// The pattern as a path: installer variables expanded, relative to the installation folder.
String DeletionPatternPath(const String& expanded, const String& installDir);

// ---- Folder trees ----------------------------------------------------------------------

// Why a folder tree is not deleted: 0 when it may be; ERROR_BAD_PATHNAME (161) for a drive
// root, a share or a path that is not a full path; ERROR_ACCESS_DENIED (5) for a protected
// folder or a folder that holds one. Both the path and the protected folders are compared in
// their canonical form (core/CanonicalPath.h), ignoring case; 8.3 names must have been
// expanded by the caller.
uint32_t FolderTreeRefusal(const String& path, const Array<String>& protectedFolders);

// ---- Self-removal ------------------------------------------------------------------------

constexpr const char16_t kSelfRemovalFileName[] = u"delunins.bat";
constexpr int kSelfRemovalMaxFolderLines = 50;

// The wide text of "delunins.bat": delete the program until it is gone, wait, remove the
// uninstall data subfolder level by level, the installation folder, then the batch itself.
String SelfRemovalText(const String& programPath, const String& installDir, const String& uninstallSubdir,
                       const String& batchPath);

} // namespace cs
