// The deletion rules: the pending restart operations, the
// conditional deletions over a file system in memory, the folder-tree refusals and the text
// of "delunins.bat".
#include "uninstall/Deletion.h"

#include "core/Text.h"
#include "runtime/CorruptInstaller.h"
#include "support/TextPrint.h"
#include "vars/Batch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

using namespace cs;
using namespace std::string_literals;

namespace {

std::string Text(const String8& s) {
    return std::string(s.c_str(), s.Length());
}

} // namespace

namespace {

String Multi(std::u16string text) {
    return String(text.data(), text.size());
}

} // namespace

TEST(PendingOperations, ParseAndJoin) {
    // A deletion, a move with the replace mark, and the list's terminator.
    std::u16string stored = u"\\??\\C:\\a.tmp\0\0\\??\\C:\\new.dll\0!\\??\\C:\\App\\x.dll\0\0"s;
    String data = Multi(stored);
    Array<PendingOperation> ops = ParsePendingOperations(data.c_str(), data.Length());
    ASSERT_EQ(ops.Count(), 2);
    EXPECT_EQ(ops[0].source, u"\\??\\C:\\a.tmp");
    EXPECT_EQ(ops[0].target, u"");
    EXPECT_EQ(ops[1].source, u"\\??\\C:\\new.dll");
    EXPECT_EQ(ops[1].target, u"!\\??\\C:\\App\\x.dll");
    EXPECT_EQ(std::u16string(JoinPendingOperations(ops).View()), stored);

    // Without the terminator, and a last deletion whose empty target is cut off.
    std::u16string bare = u"\\??\\C:\\b\0\\??\\C:\\c\0\\??\\C:\\d\0"s;
    String data2 = Multi(bare);
    ops = ParsePendingOperations(data2.c_str(), data2.Length());
    ASSERT_EQ(ops.Count(), 2);
    EXPECT_EQ(ops[0].target, u"\\??\\C:\\c");
    EXPECT_EQ(ops[1].source, u"\\??\\C:\\d");
    EXPECT_EQ(ops[1].target, u"");
    EXPECT_EQ(ParsePendingOperations(u"", 0).Count(), 0);
}

TEST(PendingOperations, DriveLetterAndSourceFile) {
    EXPECT_EQ(FromDriveLetter(u"\\??\\C:\\x"), u"C:\\x");
    EXPECT_EQ(FromDriveLetter(u"!\\??\\d:\\y"), u"d:\\y");
    EXPECT_EQ(FromDriveLetter(u"\\??\\UNC\\srv\\share\\z"), u"");
    EXPECT_EQ(PendingSourceFile(u"\\??\\C:\\t\\KWT1.tmp"), u"C:\\t\\KWT1.tmp");
    EXPECT_EQ(PendingSourceFile(u"!\\??\\C:\\t"), u"C:\\t");
}

TEST(PendingOperations, CancelsExactlyTheMatchingOnes) {
    Array<String> files = {u"C:\\App\\x.dll", u"c:\\app\\GONE.TXT", u"\\\\srv\\share\\z"};
    struct Case {
        const char16_t* source;
        const char16_t* target;
        PendingVerdict verdict;
    } cases[] = {
        {u"\\??\\C:\\T\\KWT1.tmp", u"!\\??\\C:\\App\\x.dll", PendingVerdict::kCancelMove},
        {u"\\??\\C:\\T\\KWT2.tmp", u"\\??\\C:\\APP\\X.DLL", PendingVerdict::kCancelMove},
        {u"\\??\\C:\\App\\gone.txt", u"", PendingVerdict::kCancelDeletion},
        {u"\\??\\C:\\App\\x.dll", u"\\??\\C:\\Other\\x.dll",
         PendingVerdict::kKeep}, // source matches, target not
        {u"\\??\\C:\\T\\KWT3.tmp", u"\\??\\C:\\App\\x.dll.bak", PendingVerdict::kKeep},
        {u"\\??\\C:\\App\\keep.txt", u"", PendingVerdict::kKeep},
        {u"\\??\\UNC\\srv\\share\\z", u"", PendingVerdict::kKeep}, // no drive letter: never matches
        {u"\\??\\D:\\App\\x.dll", u"", PendingVerdict::kKeep},
    };
    for (const Case& c : cases) {
        PendingOperation op{c.source, c.target};
        EXPECT_EQ(JudgePending(op, files), c.verdict)
            << ToUtf8(c.source).c_str() << " -> " << ToUtf8(c.target).c_str();
    }
}

namespace {

FileDeletion Record(uint8_t condition, const char* value, uint8_t flags = kDeletionDuringInstall,
                    const char* pattern = "*.dat") {
    FileDeletion d;
    d.pattern = pattern;
    d.condition = condition;
    d.value = value;
    d.flags = flags;
    return d;
}

FoundFile File(uint64_t size, DateTime modified = DateTime(2024, 5, 17, 12, 0, 0)) {
    FoundFile f;
    f.path = u"C:\\App\\f.dat";
    f.size = size;
    f.modified = modified;
    return f;
}

} // namespace

TEST(ConditionalDeletion, Conditions) {
    struct Case {
        uint8_t condition;
        const char* value;
        FoundFile file;
        ConditionResult expected;
    } cases[] = {
        {kConditionNone, "", File(7), ConditionResult::kHolds},
        {kConditionSizeEqual, "10", File(10), ConditionResult::kHolds},
        {kConditionSizeEqual, "10", File(11), ConditionResult::kDoesNotHold},
        {kConditionSizeAtLeast, "0", File(0), ConditionResult::kHolds},
        {kConditionSizeAtLeast, "10", File(9), ConditionResult::kDoesNotHold},
        {kConditionSizeAtMost, "10", File(10), ConditionResult::kHolds},
        {kConditionSizeAtMost, "10", File(11), ConditionResult::kDoesNotHold},
        {kConditionSizeAtMost, "5000000000", File(4999999999ull), ConditionResult::kHolds},
        {kConditionSizeAtLeast, "ten", File(10), ConditionResult::kDoesNotHold}, // no number: nothing matches
        {kConditionSizeAtLeast, "-1", File(10), ConditionResult::kDoesNotHold},
        // Dates without a time compare the day; with a time, to the second.
        {kConditionDateEqual, "2024/05/17", File(1), ConditionResult::kHolds},
        {kConditionDateEqual, "2024/05/17 12:00:00", File(1), ConditionResult::kHolds},
        {kConditionDateEqual, "2024/05/17 12:00:01", File(1), ConditionResult::kDoesNotHold},
        {kConditionDateEqual, "2024/05/17 25:00:00", File(1), ConditionResult::kHolds}, // time dropped
        {kConditionDateFrom, "2024/05/17", File(1), ConditionResult::kHolds},
        {kConditionDateFrom, "2024/05/18", File(1), ConditionResult::kDoesNotHold},
        {kConditionDateFrom, "2024/05/17 12:00:01", File(1), ConditionResult::kDoesNotHold},
        {kConditionDateUntil, "2024/05/17", File(1), ConditionResult::kHolds},
        {kConditionDateUntil, "2024/05/16", File(1), ConditionResult::kDoesNotHold},
        {kConditionDateUntil, "2024/05/17 11:59:59", File(1), ConditionResult::kDoesNotHold},
        {kConditionDateEqual, "2024/02/30", File(1), ConditionResult::kInvalidDate},
        {kConditionDateUntil, "someday", File(1), ConditionResult::kInvalidDate},
        {7, "1", File(1), ConditionResult::kDoesNotHold},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EvaluateCondition(Record(c.condition, c.value), c.file), c.expected)
            << int(c.condition) << " " << c.value;
}

namespace {

// Files in memory under "C:\App" and a record of what happened to them.
class MemoryDeletionSystem : public DeletionSystem {
  public:
    std::map<std::u16string, uint64_t> files;
    std::set<std::u16string> undeletable; // DeleteNow fails with code 5
    bool scheduleFails = false;
    std::set<std::u16string> scheduled, cleared;
    std::string log;
    uint32_t lastError = 0;
    std::u16string lastPattern;

    String ExpandVariables(const String& text) override {
        String out = text;
        size_t at = Find(out, u"%InstallDir%");
        if (at != String::npos) {
            out.Erase(at, 12);
            out.Insert(at, u"C:\\App");
        }
        return out;
    }
    String InstallDir() override { return u"C:\\App"; }
    Array<FoundFile> FindFiles(const String& pattern) override {
        lastPattern = std::u16string(pattern.View());
        // "C:\App\*.ext" or an exact name.
        Array<FoundFile> found;
        std::u16string p(pattern.View());
        for (auto& [path, size] : files) {
            bool match = p.rfind(u"C:\\App\\*", 0) == 0 ? path.ends_with(p.substr(8)) : path == p;
            if (!match) continue;
            FoundFile& f = found.Append();
            f.path = String(path.data(), path.size());
            f.size = size;
        }
        return found;
    }
    void ClearAttributes(const String& path) override { cleared.insert(std::u16string(path.View())); }
    bool DeleteNow(const String& path) override {
        std::u16string p(path.View());
        if (undeletable.count(p)) {
            lastError = 5;
            return false;
        }
        files.erase(p);
        return true;
    }
    bool ScheduleAtRestart(const String& path) override {
        if (scheduleFails) {
            lastError = 1314;
            return false;
        }
        scheduled.insert(std::u16string(path.View()));
        return true;
    }
    uint32_t LastError() override { return lastError; }
    String ErrorText(uint32_t code) override {
        return code == 5 ? u"Access is denied." : u"Privilege not held.";
    }
    void Log(const String& text) override { log += Text(ToUtf8(text)); }
    // The uninstaller's judgement over a small machine; the installation's own patterns need
    // only be full paths.
    bool uninstalling = false;
    class NoShortNames : public LongNames {
        String Expand(const String& canonical) override { return canonical; }
    };
    DeletionVerdict JudgePattern(const String& pattern) override {
        DeletionScope scope;
        scope.installDir = u"C:\\App";
        scope.protectedFolders = {u"C:\\Users\\ann", u"C:\\Users\\ann\\Documents", u"C:\\Windows"};
        scope.roots = {u"C:\\Users\\ann\\Documents"};
        NoShortNames names;
        if (uninstalling) return JudgeDeletion(pattern, DeletionObject::kPattern, scope, names);
        DeletionVerdict verdict;
        verdict.path = JudgedPath(pattern, names);
        verdict.allowed = !verdict.path.IsEmpty();
        verdict.reason = u"not a full path";
        return verdict;
    }
};

} // namespace

TEST(ConditionalDeletion, SizeAtLeastZeroDeletesEveryMatchAndSizeEqualOnlyItsOwn) {
    MemoryDeletionSystem sys;
    sys.files = {
        {u"C:\\App\\a.dat", 0}, {u"C:\\App\\b.dat", 10}, {u"C:\\App\\c.dat", 11}, {u"C:\\App\\keep.txt", 10}};
    Array<FileDeletion> records = {Record(kConditionSizeAtLeast, "0")};
    ConditionalDeletionState state;
    EXPECT_EQ(RunConditionalDeletionsWith(sys, records, true, state), 0);
    EXPECT_EQ(sys.files.size(), 1u);
    EXPECT_EQ(sys.files.count(u"C:\\App\\keep.txt"), 1u);
    EXPECT_EQ(sys.log, "Deleted file: C:\\App\\a.dat\r\nDeleted file: C:\\App\\b.dat\r\n"
                       "Deleted file: C:\\App\\c.dat\r\n\r\n");
    EXPECT_EQ(records.Count(), 1) << "the installation keeps its list";

    MemoryDeletionSystem sys2;
    sys2.files = {
        {u"C:\\App\\a.dat", 9}, {u"C:\\App\\b.dat", 10}, {u"C:\\App\\c.dat", 11}, {u"C:\\App\\d.dat", 10}};
    records = {Record(kConditionSizeEqual, "10")};
    RunConditionalDeletionsWith(sys2, records, true, state);
    EXPECT_EQ(sys2.files.size(), 2u);
    EXPECT_EQ(sys2.files.count(u"C:\\App\\a.dat") + sys2.files.count(u"C:\\App\\c.dat"), 2u);
    EXPECT_EQ(sys2.cleared.size(), 2u) << "attributes are cleared on the files that match only";
    EXPECT_EQ(state.optionWord1, 0u);
}

TEST(ConditionalDeletion, PatternsAreExpandedAndTakenFromTheInstallationFolder) {
    MemoryDeletionSystem sys;
    sys.files = {{u"C:\\App\\a.dat", 1}, {u"C:\\App\\\u00E9t\u00E9.log", 1}};
    Array<FileDeletion> records = {
        Record(kConditionNone, "", kDeletionDuringInstall, "%InstallDir%\\a.dat"),
        Record(kConditionNone, "", kDeletionDuringInstall, "|\xC3\xA9t\xC3\xA9.log")};
    ConditionalDeletionState state;
    RunConditionalDeletionsWith(sys, records, true, state);
    EXPECT_TRUE(sys.files.empty());
    EXPECT_EQ(sys.lastPattern, u"C:\\App\\\u00E9t\u00E9.log") << "relative, in the path form";
}

// Tampered "[ConditionalDelete]" records of "Uninstall.dat": a wildcard outside the
// installation folder, a path that climbs out of it, a wildcard in a folder name. Each deletes
// nothing, is logged and counted, and leaves the list; a record inside the folder still works.
TEST(ConditionalDeletion, UninstallingRefusesPatternsOutsideTheInstallationFolder) {
    MemoryDeletionSystem sys;
    sys.uninstalling = true;
    sys.files = {{u"C:\\App\\a.txt", 1}};
    const char* hostile[] = {"C:\\Users\\ann\\Documents\\*.txt", "..\\Users\\ann\\Documents\\*.txt",
                             "\\\\?\\C:\\Users\\ann\\Documents\\*.txt", "C:\\App\\*\\*.txt", "C:\\*.*"};
    Array<FileDeletion> records;
    for (const char* pattern : hostile)
        records.Append(Record(kConditionNone, "", kDeletionDuringUninstall, pattern));
    records.Append(Record(kConditionNone, "", kDeletionDuringUninstall, "*.txt"));
    ConditionalDeletionState state;
    EXPECT_EQ(RunConditionalDeletionsWith(sys, records, false, state), 5);
    EXPECT_EQ(sys.lastPattern, u"C:\\App\\*.txt") << "only the record inside the folder was listed";
    EXPECT_TRUE(sys.files.empty());
    EXPECT_EQ(records.Count(), 0) << "refused records are not written back";
    EXPECT_NE(sys.log.find("Refused to delete \"C:\\Users\\ann\\Documents\\*.txt\": a wildcard outside the "
                           "installation folder.\r\n"),
              std::string::npos)
        << sys.log;
    EXPECT_NE(Find(state.failureSummary, u"Refused to delete"), String::npos);
}

TEST(ConditionalDeletion, RestartFlagsWhileInstalling) {
    MemoryDeletionSystem sys;
    sys.files = {{u"C:\\App\\later.dat", 1}, {u"C:\\App\\busy.dat", 1}, {u"C:\\App\\stuck.dat", 1}};
    sys.undeletable = {u"C:\\App\\busy.dat", u"C:\\App\\stuck.dat"};
    Array<FileDeletion> records = {
        Record(kConditionNone, "", kDeletionDuringInstall | kDeletionAtRestartOnly, "later.dat"),
        Record(kConditionNone, "", kDeletionDuringInstall | kDeletionRestartOnFailure, "busy.dat"),
        Record(kConditionNone, "", kDeletionDuringInstall, "stuck.dat"),
    };
    ConditionalDeletionState state;
    EXPECT_EQ(RunConditionalDeletionsWith(sys, records, true, state), 1);
    EXPECT_EQ(sys.files.count(u"C:\\App\\later.dat"), 1u) << "flag 0x1 never deletes at once";
    EXPECT_EQ(sys.scheduled, (std::set<std::u16string>{u"C:\\App\\later.dat", u"C:\\App\\busy.dat"}));
    EXPECT_EQ(sys.log, "File \"C:\\App\\later.dat\" will be deleted after rebooting.\r\n"
                       "File \"C:\\App\\busy.dat\" will be deleted after rebooting: Access is denied.\r\n"
                       "Failed to delete file \"C:\\App\\stuck.dat\": Access is denied.\r\n"
                       "\r\n");
    EXPECT_EQ(state.optionWord1, kOpt1RebootRequired);
    EXPECT_EQ(state.optionWord2, 0u);
    EXPECT_EQ(state.failureSummary, u"");
}

TEST(ConditionalDeletion, SchedulingFailureGoesToTheFailureSummary) {
    MemoryDeletionSystem sys;
    sys.files = {{u"C:\\App\\later.dat", 1}};
    sys.scheduleFails = true;
    Array<FileDeletion> records = {
        Record(kConditionNone, "", kDeletionDuringInstall | kDeletionAtRestartOnly, "later.dat")};
    ConditionalDeletionState state;
    EXPECT_EQ(RunConditionalDeletionsWith(sys, records, true, state), 1);
    EXPECT_EQ(state.failureSummary,
              u"Failed to register \"C:\\App\\later.dat\" for deletion: Privilege not held.\r\n");
    EXPECT_EQ(state.optionWord1, 0u);
}

TEST(ConditionalDeletion, UninstallingKeepsOnlyFailedRecordsAndLogsNothing) {
    MemoryDeletionSystem sys;
    sys.files = {{u"C:\\App\\a.dat", 1}, {u"C:\\App\\stuck.dat", 1}, {u"C:\\App\\busy.dat", 1}};
    sys.undeletable = {u"C:\\App\\stuck.dat", u"C:\\App\\busy.dat"};
    Array<FileDeletion> records = {
        Record(kConditionNone, "", kDeletionDuringUninstall, "a.dat"),
        Record(kConditionNone, "", kDeletionDuringUninstall, "stuck.dat"),
        Record(kConditionNone, "", kDeletionDuringUninstall | kDeletionRestartOnFailure, "busy.dat"),
        Record(kConditionNone, "", kDeletionDuringInstall, "*.dat"), // not this pass
    };
    ConditionalDeletionState state;
    EXPECT_EQ(RunConditionalDeletionsWith(sys, records, false, state), 1);
    EXPECT_EQ(sys.log, "");
    EXPECT_EQ(state.failureSummary, u"");
    EXPECT_EQ(state.optionWord2, kOpt2RestartAfterUninstall);
    EXPECT_EQ(state.optionWord1, 0u);
    ASSERT_EQ(records.Count(), 2);
    EXPECT_EQ(Text(records[0].pattern), "stuck.dat");
    EXPECT_EQ(Text(records[1].pattern), "*.dat");
}

TEST(ConditionalDeletion, NothingMatchedLogsNothing) {
    MemoryDeletionSystem sys;
    sys.files = {{u"C:\\App\\a.dat", 3}};
    Array<FileDeletion> records = {Record(kConditionSizeAtLeast, "4")};
    ConditionalDeletionState state;
    RunConditionalDeletionsWith(sys, records, true, state);
    EXPECT_EQ(sys.log, "");
    EXPECT_EQ(sys.files.size(), 1u);
}

namespace {
void PrintBox(const String& message, const String&) {
    std::fprintf(stderr, "BOX{%s}", ToUtf8(message).c_str());
}
uint32_t NoError() {
    return 0;
}
String NoText(uint32_t) {
    return {};
}
[[noreturn]] void Exit(int code) {
    std::_Exit(code);
}

void RunWithInvalidDate() {
    SetCorruptInstallerPlatform({NoError, NoText, PrintBox, Exit});
    MemoryDeletionSystem sys;
    sys.files = {{u"C:\\App\\a.dat", 3}};
    Array<FileDeletion> records = {Record(kConditionDateFrom, "2024/13/01")};
    ConditionalDeletionState state;
    RunConditionalDeletionsWith(sys, records, true, state);
}
} // namespace

TEST(ConditionalDeletionDeathTest, InvalidDateIsTheCorruptInstallerErrorWithCode65) {
    EXPECT_EXIT(RunWithInvalidDate(), testing::ExitedWithCode(2), "Error code: 65\\}");
}

TEST(FolderTree, Refusals) {
    Array<String> guarded = {u"C:\\Windows", u"C:\\Windows\\System32", u"C:\\Program Files",
                             u"C:\\Users\\ann\\AppData\\Local\\Temp", u""};
    struct Case {
        const char16_t* path;
        uint32_t refusal;
    } cases[] = {
        {u"C:\\", 161},
        {u"C:", 161},
        {u"D:\\", 161},
        {u"C:\\\\\\", 161}, // a root once its backslashes are set aside
        {u"C:\\Windows", 5},
        {u"c:\\WINDOWS\\", 5},
        {u"C:\\Windows\\System32", 5},
        {u"C:\\Program Files", 5},
        {u"C:\\Users", 5}, // holds a protected folder
        {u"C:\\Users\\ann\\AppData", 5},
        {u"C:\\Program Files\\Demo", 0},
        {u"C:\\Windows\\Temp\\x", 0},
        {u"C:\\Win", 0},
        {u"C:\\Program", 0},
        {u"C:\\Users\\ann\\Documents\\Demo", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FolderTreeRefusal(c.path, guarded), c.refusal) << ToUtf8(c.path).c_str();
}

// The spellings Windows accepts for a protected folder or a drive root all reach the same
// refusal; a path that is no full path is refused rather than taken from the working folder.
TEST(FolderTree, RefusesEverySpellingOfAProtectedFolder) {
    Array<String> guarded = {u"C:\\Windows", u"C:\\Users\\ann\\Documents"};
    struct Case {
        const char16_t* path;
        uint32_t refusal;
    } cases[] = {
        {u"\\\\?\\C:\\Users\\ann\\Documents", 5},
        {u"\\\\.\\C:\\Users\\ann\\Documents", 5},
        {u"\\??\\C:\\Users\\ann\\Documents", 5},
        {u"C:/Users/ann/Documents/", 5},
        {u"C:\\Users\\ann\\Documents.", 5},
        {u"C:\\Users\\ann\\Documents \\", 5},
        {u"C:\\Users\\ann\\Music\\..\\Documents", 5},
        {u"C:\\Users\\.\\ann", 5},
        {u"\\\\?\\C:\\", 161},
        {u"\\\\.\\C:", 161},
        {u"C:\\Windows\\..", 161},
        {u"\\\\?\\UNC\\server\\share", 161},
        {u"\\\\.\\PhysicalDrive0", 161},
        {u"Documents", 161},
        {u"C:\\Users\\ann\\Documents::$INDEX_ALLOCATION", 161},
        {u"\\\\?\\C:\\Users\\ann\\Documents\\Demo", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FolderTreeRefusal(c.path, guarded), c.refusal) << ToUtf8(c.path).c_str();
}

TEST(SelfRemoval, TextForANestedUninstallSubfolder) {
    String text = SelfRemovalText(u"C:\\App\\Data\\Uninstall\\unins.exe", u"C:\\App", u"Data\\Uninstall\\",
                                  u"C:\\Temp\\delunins.bat");
    OsRecord win7;
    win7.platform = kPlatformNt;
    win7.major = 6;
    win7.minor = 1;
    EXPECT_EQ(Text(EncodeBatchText(text, win7)),
              "@chcp 1252 >nul\r\n"
              ":Repeat\r\n"
              "del \"C:\\App\\Data\\Uninstall\\unins.exe\"\r\n"
              "if exist \"C:\\App\\Data\\Uninstall\\unins.exe\" goto Repeat\r\n"
              "CHOICE /T 3 /D Y\r\n"
              "rd \"C:\\App\\Data\\Uninstall\"\r\n"
              "rd \"C:\\App\\Data\"\r\n"
              "rd \"C:\\App\"\r\n"
              "del \"C:\\Temp\\delunins.bat\"\r\n");
    // Without a subfolder only the installation folder goes; a non-ASCII path makes it UTF-8.
    String plain = SelfRemovalText(u"C:\\Caf\u00E9\\u.exe", u"C:\\Caf\u00E9", u"", u"delunins.bat");
    EXPECT_EQ(Text(EncodeBatchText(plain, win7)), "@chcp 65001 >nul\r\n"
                                                  ":Repeat\r\n"
                                                  "del \"C:\\Caf\xC3\xA9\\u.exe\"\r\n"
                                                  "if exist \"C:\\Caf\xC3\xA9\\u.exe\" goto Repeat\r\n"
                                                  "CHOICE /T 3 /D Y\r\n"
                                                  "rd \"C:\\Caf\xC3\xA9\"\r\n"
                                                  "del \"delunins.bat\"\r\n");
}

TEST(SelfRemoval, AtMostFiftyFolderLines) {
    std::u16string deep;
    for (int i = 0; i < 60; ++i)
        deep += i ? u"\\d" : u"d";
    String text = SelfRemovalText(u"C:\\A\\u.exe", u"C:\\A", String(deep.data(), deep.size()), u"x.bat");
    std::string s = Text(ToUtf8(text));
    size_t lines = 0;
    for (size_t at = s.find("rd \""); at != std::string::npos; at = s.find("rd \"", at + 1))
        ++lines;
    EXPECT_EQ(lines, 51u) << "50 subfolder levels and the installation folder";
}
