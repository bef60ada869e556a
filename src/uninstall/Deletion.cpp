#include "uninstall/Deletion.h"

#include "core/CanonicalPath.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "runtime/CorruptInstaller.h"

namespace cs {

namespace {

constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorBadPathname = 161;

bool IsLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A byte count: decimal digits only, blanks around them allowed.
bool ParseSize(const String8& value, uint64_t& size) {
    String8 text = value;
    Trim(text);
    if (text.IsEmpty() || text.Length() > 19) return false;
    size = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        size = size * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

} // namespace

// ---- Pending restart operations ---------------------------------------------------------

Array<PendingOperation> ParsePendingOperations(const char16_t* data, size_t chars) {
    Array<String> texts;
    size_t start = 0;
    for (size_t i = 0; i < chars; ++i) {
        if (data[i] != 0) continue;
        texts.Append(String(data + start, i - start));
        start = i + 1;
    }
    if (start < chars) texts.Append(String(data + start, chars - start)); // no final NUL
    Array<PendingOperation> operations;
    for (int i = 0; i < texts.Count(); i += 2) {
        if (texts[i].IsEmpty()) continue; // the list's terminator, or padding
        PendingOperation& op = operations.Append();
        op.source = texts[i];
        if (i + 1 < texts.Count()) op.target = texts[i + 1];
    }
    return operations;
}

String JoinPendingOperations(const Array<PendingOperation>& operations) {
    String joined;
    const char16_t nul = 0;
    for (const PendingOperation& op : operations) {
        joined.Append(op.source);
        joined.Append(&nul, 1);
        joined.Append(op.target);
        joined.Append(&nul, 1);
    }
    joined.Append(&nul, 1);
    return joined;
}

String FromDriveLetter(const String& path) {
    for (size_t i = 0; i + 1 < path.Length(); ++i)
        if (IsLetter(path[i]) && path[i + 1] == u':') return path.Sub(i);
    return {};
}

String PendingSourceFile(const String& source) {
    size_t i = 0;
    while (i < source.Length() && (source[i] == u'\\' || source[i] == u'?' || source[i] == u'!'))
        ++i;
    return source.Sub(i);
}

PendingVerdict JudgePending(const PendingOperation& operation, const Array<String>& files) {
    bool target = !operation.target.IsEmpty();
    String key = FromDriveLetter(target ? operation.target : operation.source);
    if (key.IsEmpty()) return PendingVerdict::kKeep;
    for (const String& file : files) {
        String candidate = FromDriveLetter(file);
        if (!candidate.IsEmpty() && CompareNoCase(candidate, key) == 0)
            return target ? PendingVerdict::kCancelMove : PendingVerdict::kCancelDeletion;
    }
    return PendingVerdict::kKeep;
}

// ---- Conditional deletions ---------------------------------------------------------------

ConditionResult EvaluateCondition(const FileDeletion& record, const FoundFile& file) {
    auto holds = [](bool b) { return b ? ConditionResult::kHolds : ConditionResult::kDoesNotHold; };
    switch (record.condition) {
    case kConditionDateEqual:
    case kConditionDateFrom:
    case kConditionDateUntil: {
        DateTime when;
        if (DateTime::Parse(record.value.View(), when) != DateTime::kOk) return ConditionResult::kInvalidDate;
        int order = DateTime::Compare(file.modified, when, when.hasTime);
        if (record.condition == kConditionDateEqual) return holds(order == 0);
        if (record.condition == kConditionDateFrom) return holds(order >= 0);
        return holds(order <= 0);
    }
    case kConditionSizeEqual:
    case kConditionSizeAtLeast:
    case kConditionSizeAtMost: {
        uint64_t size = 0;
        if (!ParseSize(record.value, size)) return ConditionResult::kDoesNotHold;
        if (record.condition == kConditionSizeEqual) return holds(file.size == size);
        if (record.condition == kConditionSizeAtLeast) return holds(file.size >= size);
        return holds(file.size <= size);
    }
    case kConditionNone:
        return ConditionResult::kHolds;
    default:
        return ConditionResult::kDoesNotHold; // an unknown condition deletes nothing
    }
}

String DeletionPatternPath(const String& expanded, const String& installDir) {
    if (IsFullPath(expanded)) return expanded;
    return JoinPath(installDir, expanded);
}

int RunConditionalDeletionsWith(DeletionSystem& system, Array<FileDeletion>& records, bool installing,
                                ConditionalDeletionState& state) {
    const uint8_t pass = installing ? kDeletionDuringInstall : kDeletionDuringUninstall;
    bool deletedSomething = false;
    int failuresTotal = 0;
    for (int i = 0; i < records.Count();) {
        const FileDeletion& record = records[i];
        if (!(record.flags & pass)) {
            ++i;
            continue;
        }
        String pattern = DeletionPatternPath(system.ExpandVariables(FromPathForm(record.pattern.View())),
                                             system.InstallDir());
        DeletionVerdict verdict = system.JudgePattern(pattern);
        if (!verdict.allowed) {
            String refusal = RefusalText(pattern, verdict);
            system.Log(refusal);
            state.failureSummary += refusal;
            ++failuresTotal;
            if (installing)
                ++i;
            else
                records.RemoveAt(i);
            continue;
        }
        pattern = verdict.path;
        int failures = 0;
        for (const FoundFile& file : system.FindFiles(pattern)) {
            ConditionResult result = EvaluateCondition(record, file);
            if (result == ConditionResult::kInvalidDate) CorruptInstaller(kCodeInvalidDeletionDate);
            if (result != ConditionResult::kHolds) continue;
            deletedSomething = true;
            system.ClearAttributes(file.path);
            bool restartOnly = (record.flags & kDeletionAtRestartOnly) != 0;
            if (!restartOnly && system.DeleteNow(file.path)) {
                if (installing) system.Log(Format(u"Deleted file: %s\r\n", file.path));
                continue;
            }
            uint32_t error = restartOnly ? 0 : system.LastError();
            if (record.flags & (kDeletionAtRestartOnly | kDeletionRestartOnFailure)) {
                if (installing)
                    system.Log(Format(u"File \"%s\" will be deleted after rebooting%s%s\r\n", file.path,
                                      restartOnly ? u"" : u": ",
                                      restartOnly ? String(u".") : system.ErrorText(error)));
                if (system.ScheduleAtRestart(file.path)) {
                    if (installing)
                        state.optionWord1 |= kOpt1RebootRequired;
                    else
                        state.optionWord2 |= kOpt2RestartAfterUninstall;
                } else {
                    ++failures;
                    if (installing)
                        state.failureSummary += Format(u"Failed to register \"%s\" for deletion: %s\r\n",
                                                       file.path, system.ErrorText(system.LastError()));
                }
            } else {
                ++failures;
                if (installing)
                    system.Log(
                        Format(u"Failed to delete file \"%s\": %s\r\n", file.path, system.ErrorText(error)));
            }
        }
        failuresTotal += failures;
        if (!installing && failures == 0)
            records.RemoveAt(i);
        else
            ++i;
    }
    if (installing && deletedSomething) system.Log(u"\r\n");
    return failuresTotal;
}

// ---- Folder trees ----------------------------------------------------------------------

uint32_t FolderTreeRefusal(const String& path, const Array<String>& protectedFolders) {
    String folder = CanonicalPath(path);
    if (folder.IsEmpty() || IsPathRoot(folder)) return kErrorBadPathname;
    Array<String> guarded;
    for (const String& p : protectedFolders) {
        String canonical = CanonicalPath(p);
        if (!canonical.IsEmpty()) guarded.Append(canonical);
    }
    return IsProtectedPath(folder, guarded) ? kErrorAccessDenied : 0;
}

// ---- Self-removal ------------------------------------------------------------------------

String SelfRemovalText(const String& programPath, const String& installDir, const String& uninstallSubdir,
                       const String& batchPath) {
    String text =
        Format(u":Repeat\r\ndel \"%s\"\r\nif exist \"%s\" goto Repeat\r\n", programPath, programPath);
    text += u"CHOICE /T 3 /D Y\r\n";
    String sub = uninstallSubdir;
    while (!sub.IsEmpty() && (sub[0] == u'\\' || sub[0] == u'/'))
        sub.Erase(0, 1);
    while (!sub.IsEmpty() && (sub.Last() == u'\\' || sub.Last() == u'/'))
        sub.Truncate(sub.Length() - 1);
    for (int lines = 0; !sub.IsEmpty() && lines < kSelfRemovalMaxFolderLines; ++lines) {
        text += Format(u"rd \"%s\"\r\n", JoinPath(installDir, sub));
        size_t cut = sub.View().find_last_of(u'\\');
        if (cut == std::u16string_view::npos) break;
        sub.Truncate(cut);
    }
    text += Format(u"rd \"%s\"\r\n", installDir);
    text += Format(u"del \"%s\"\r\n", batchPath);
    return text;
}

} // namespace cs
