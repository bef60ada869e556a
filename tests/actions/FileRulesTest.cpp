// The rules of one file entry: dates, versions, destinations, overwrite modes, the tests of
// an existing file, the run's lists and the bookkeeping after the loop.
#include "actions/FileRules.h"

#include "core/Text.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

DateValue At(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) {
    return {y, mo, d, h, mi, s};
}
const DateValue kNoDate = {0, 0, 0, 12, 0, 0};

int Sign(int v) {
    return (v > 0) - (v < 0);
}

FileRecord Entry(int32_t kind, const char16_t* name, const char16_t* destination = u"", uint32_t flags = 0) {
    FileRecord r;
    r.kind = kind;
    r.name = name;
    r.destination = destination;
    r.flags = flags;
    r.date = At(2024, 5, 17, 10, 0, 0);
    return r;
}

} // namespace

TEST(FileDates, CompareByDateThenTimeWithTwoSecondsSlack) {
    struct Case {
        DateValue a, b;
        int sign;
    } cases[] = {
        {At(2024, 5, 17, 10, 0, 1), At(2024, 5, 17, 10, 0, 0), 0},  // 1 second: equal
        {At(2024, 5, 17, 10, 0, 0), At(2024, 5, 17, 10, 0, 1), 0},
        {At(2024, 5, 17, 10, 0, 2), At(2024, 5, 17, 10, 0, 0), 1},  // 2 seconds decide
        {At(2024, 5, 17, 9, 59, 59), At(2024, 5, 17, 10, 0, 1), -1},
        {At(2023, 12, 31, 23), At(2024, 1, 1, 0), -1},             // the date decides first
        {At(2024, 6, 1, 0), At(2024, 5, 31, 23), 1},
        {kNoDate, At(2024, 5, 17), 1},                              // no date: greater
        {At(2024, 5, 17), kNoDate, -1},
        {At(2024, 5, 17, -1), At(2024, 5, 17, 8), 1},               // no time: greater
        {At(2024, 5, 17, 8), At(2024, 5, 17, -1), -1},
        {At(2024, 5, 17, -1), At(2024, 5, 17, -1), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Sign(CompareFileDates(c.a, c.b)), c.sign)
            << ToUtf8(FormatFileDate(c.a)).c_str() << " vs " << ToUtf8(FormatFileDate(c.b)).c_str();
    EXPECT_EQ(CompareFileDates(At(2024, 5, 17, 10, 1, 0), At(2024, 5, 17, 10, 0, 0)), 60);
    EXPECT_EQ(FormatFileDate(At(2024, 5, 7, 3, 4, 5)), String(u"2024/05/07 03:04:05"));
}

TEST(FileVersions, NumbersThenLengthThenSuffix) {
    struct Case {
        const char *a, *b;
        int sign;
    } cases[] = {
        {"1.0", "1.0.0", -1},       // a prefix is the smaller
        {"1.0.0", "1.0", 1},
        {"1.2b", "1.2a", 1},        // the suffix letter decides equal numbers
        {"1.2", "1.2a", -1},
        {"1.10", "1.9", 1},         // numbers, not text
        {"2, 0, 0, 1", "2.0.0.1", 0}, // separators other than "." are skipped
        {".5", "0.5", 0},           // a leading "." counts as 0
        {"1.2a.3", "1.2.3", 1},     // a letter anywhere is the suffix
        {"1a2b", "1.2a", 1},        // the last letter wins
        {"", "0", -1},
        {"", "", 0},
        {"99999999999999999999999", "1", 1}, // an overlong number does not wrap
    };
    for (const Case& c : cases) EXPECT_EQ(Sign(CompareFileVersions(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
}

TEST(FileDestination, RulesByDestinationFlagsAndKind) {
    DestinationFolders f;
    f.installDir = u"C:\\App";
    f.sharedDir = u"C:\\Common\\Shared";
    f.uninstallDataFolder = u"C:\\App\\Uninstall";
    f.fontsFolder = u"C:\\Windows\\Fonts";
    f.systemFolder = u"C:\\Windows\\System32";
    auto expand = [](String& text) {
        size_t at = Find(text, u"%Desktop%");
        if (at != String::npos) text = String(u"C:\\Users\\u\\Desktop") + String(text.c_str() + at + 9);
    };
    struct Case {
        int32_t kind;
        const char16_t *name, *destination;
        uint32_t flags;
        const char16_t* path;
        bool createFolder;
    } cases[] = {
        {kAppFile, u"bin\\a.exe", u"", 0, u"C:\\App\\bin\\a.exe", true},
        {kAppFile, u"bin\\a.exe", u"b.exe", 0, u"C:\\App\\b.exe", true},           // a new name
        {kAppFile, u"a.exe", u"tools\\", 0, u"C:\\App\\tools\\a.exe", true},        // joined, name appended
        {kAppFile, u"sub\\a.exe", u"D:\\Other\\", 0, u"D:\\Other\\a.exe", true},    // absolute
        {kAppFile, u"a.exe", u"%Desktop%\\x.exe", 0, u"C:\\Users\\u\\Desktop\\x.exe", true},
        {kAppFile, u"a.exe", u"", kFileIntoUninstallFolder, u"C:\\App\\Uninstall\\a.exe", false},
        {kSharedFile, u"s.dll", u"", 0, u"C:\\Common\\Shared\\s.dll", false},
        {kSharedFile, u"s.dll", u"lib\\", 0, u"C:\\Common\\Shared\\lib\\s.dll", true},
        {kFontFile, u"f.ttf", u"", 0, u"C:\\Windows\\Fonts\\f.ttf", false},
        {kSystemFile, u"x.dll", u"", 0, u"C:\\Windows\\System32\\x.dll", false},
        {kComServerFile, u"c.dll", u"c2.dll", 0, u"C:\\Windows\\System32\\c2.dll", false},
        {kTypeLibraryFile, u"t.tlb", u"", 0, u"C:\\Windows\\System32\\t.tlb", false},
        {kVersionedFile, u"v.dll", u"", 0, u"C:\\App\\v.dll", true},
        {kControlPanelApplet, u"c.cpl", u"", kFileIntoUninstallFolder, u"C:\\App\\Uninstall\\c.cpl", false},
    };
    for (const Case& c : cases) {
        Destination d = ResolveDestination(Entry(c.kind, c.name, c.destination, c.flags), f, expand);
        EXPECT_EQ(d.path, String(c.path)) << ToUtf8(String(c.name)).c_str();
        EXPECT_EQ(d.createFolder, c.createFolder) << ToUtf8(String(c.name)).c_str();
    }
}

TEST(FileDestination, SharedFilesOnARemovableDriveFollowTheOverride) {
    DestinationFolders f;
    f.installDir = u"E:\\App";
    f.sharedDir = u"E:\\Common";
    f.removableDrive = true;
    f.sharedOverride = u"E:\\App\\Shared";
    struct Case {
        const char16_t *destination, *path;
    } cases[] = {
        {u"lib\\", u"E:\\App\\Shared\\lib\\s.dll"},    // joined onto the override
        {u"C:\\Windows\\", u"E:\\Common\\s.dll"},      // absolute: dropped
        {u"%SystemDir%\\", u"E:\\Common\\s.dll"},      // a variable: dropped
        {u"t.dll", u"E:\\Common\\t.dll"},              // a new name stays a new name
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveDestination(Entry(kSharedFile, u"s.dll", c.destination), f, nullptr).path, String(c.path));
    f.sharedOverride = String();
    EXPECT_EQ(ResolveDestination(Entry(kSharedFile, u"s.dll", u"lib\\"), f, nullptr).path,
              String(u"E:\\Common\\lib\\s.dll"));
}

TEST(FileDestination, TheInstallationFolderItselfIsNeverMade) {
    EXPECT_EQ(FolderToCreate(u"C:\\App\\a.exe", u"c:\\app\\"), String());
    EXPECT_EQ(FolderToCreate(u"C:\\App\\bin\\a.exe", u"C:\\App"), String(u"C:\\App\\bin"));
    EXPECT_EQ(FolderToCreate(u"C:\\a.exe", u"C:\\"), String());
}

TEST(FileOverwrite, EveryModeAgainstAMissingAnExistingAndANewerFile) {
    const String dest = u"C:\\App\\a.exe";
    DateValue entryDate = At(2024, 5, 17, 10);
    ExistingFile missing;
    ExistingFile older{true, true, At(2024, 1, 1, 10), {}};
    ExistingFile newer{true, true, At(2024, 12, 1, 10), {}};
    const char16_t* kNotExisting = u"C:\\App\\a.exe was not installed because it does not already exist.\r\n";
    const char16_t* kExisting = u"C:\\App\\a.exe was not installed because it already exists.\r\n";
    const char16_t* kNewer = u"C:\\App\\a.exe was not installed because the existing file is newer.\r\n";
    struct Case {
        int mode;
        const ExistingFile* existing;
        bool install, record;
        const char16_t* log;
    } cases[] = {
        {0, &missing, true, false, u""},  {0, &older, true, false, u""},      {0, &newer, true, false, u""},
        {1, &missing, false, false, u""}, {1, &older, false, false, u""},     {1, &newer, false, false, u""},
        {2, &missing, false, false, kNotExisting}, {2, &older, true, false, u""}, {2, &newer, true, false, u""},
        {3, &missing, true, false, u""},  {3, &older, false, true, kExisting}, {3, &newer, false, true, kExisting},
        {4, &missing, true, false, u""},  {4, &older, true, false, u""},      {4, &newer, false, true, kNewer},
        {5, &missing, false, false, u""}, {5, &older, false, false, u""},     {5, &newer, false, false, u""},
        {6, &missing, true, false, u""},  {6, &newer, true, false, u""},
        {7, &missing, true, false, u""},  {7, &newer, true, false, u""},
    };
    for (const Case& c : cases) {
        FileVerdict v = DecideOverwrite(c.mode, dest, *c.existing, entryDate);
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " existing " << c.existing->exists);
        EXPECT_EQ(v.install, c.install);
        EXPECT_EQ(v.record, c.record);
        EXPECT_EQ(v.logText, String(c.log));
    }
    // Mode 4 needs both dates: a newer file without a readable time, or an entry without a
    // date, is installed; one second newer counts as the same time.
    ExistingFile unknownTime{true, false, {}, {}};
    EXPECT_TRUE(DecideOverwrite(4, dest, unknownTime, entryDate).install);
    EXPECT_TRUE(DecideOverwrite(4, dest, newer, kNoDate).install);
    ExistingFile secondNewer{true, true, At(2024, 5, 17, 10, 0, 1), {}};
    EXPECT_TRUE(DecideOverwrite(4, dest, secondNewer, entryDate).install);
}

TEST(FileExistingTest, DatesForSharedFilesAndFonts) {
    const String dest = u"C:\\Common\\s.dll";
    FileRecord shared = Entry(kSharedFile, u"s.dll");
    const char16_t* kUpToDate = u"C:\\Common\\s.dll is up to date.\r\n";
    const char16_t* kReplaced = u"C:\\Common\\s.dll is out of date and will be replaced.\r\n";
    struct Case {
        ExistingFile existing;
        DateValue entryDate;
        bool removable;
        bool install, record;
        const char16_t* log;
    } cases[] = {
        {{true, true, At(2024, 5, 17, 9, 59, 59), {}}, At(2024, 5, 17, 10), false, false, false, kUpToDate}, // 1 s older
        {{true, true, At(2024, 5, 17, 9, 59, 58), {}}, At(2024, 5, 17, 10), false, true, false, kReplaced},
        {{true, true, At(2025, 1, 1), {}}, At(2024, 5, 17, 10), false, false, false, kUpToDate},
        {{true, true, At(2025, 1, 1), {}}, At(2024, 5, 17, 10), true, false, true, kUpToDate}, // recorded on a removable drive
        {{true, false, {}, {}}, At(2024, 5, 17, 10), false, true, false, kReplaced},           // time unreadable
        {{true, true, At(2025, 1, 1), {}}, kNoDate, false, true, false, kReplaced},            // entry without a date
        {{false, false, {}, {}}, At(2024, 5, 17, 10), false, true, false, u""},               // nothing there
    };
    for (const Case& c : cases) {
        shared.date = c.entryDate;
        FileVerdict v = TestExistingFile(shared, dest, c.existing, c.removable);
        EXPECT_EQ(v.install, c.install) << ToUtf8(v.logText).c_str();
        EXPECT_EQ(v.record, c.record);
        EXPECT_EQ(v.logText, String(c.log));
    }
    FileRecord font = Entry(kFontFile, u"f.ttf");
    EXPECT_FALSE(TestExistingFile(font, dest, {true, true, At(2024, 5, 17, 10, 0, 1), {}}, false).install);
}

TEST(FileExistingTest, VersionThenDateForSystemAndVersionedFiles) {
    const String dest = u"C:\\App\\v.dll";
    struct Case {
        int32_t kind;
        const char16_t* version;
        ExistingFile existing;
        DateValue date;
        bool install, record;
        const char16_t* log;
    } cases[] = {
        {kVersionedFile, u"1.0", {true, false, {}, "1.0.0"}, At(2024, 5, 17), false, true,
         u"C:\\App\\v.dll was not installed because its version (1.0) is not newer than 1.0.0\r\n"},
        {kSystemFile, u"1.0", {true, false, {}, "1.0.0"}, At(2024, 5, 17), false, false,
         u"C:\\App\\v.dll was not installed because its version (1.0) is not newer than 1.0.0\r\n"},
        {kVersionedFile, u"1.2b", {true, false, {}, "1.2a"}, At(2024, 5, 17), true, false,
         u"C:\\App\\v.dll needs replacement because its version (1.2b) is newer than 1.2a\r\n"},
        {kComServerFile, u"2.0", {true, true, At(2024, 5, 17, 10, 0, 1), "1.0"}, At(2024, 5, 17, 10), false, false,
         u"C:\\App\\v.dll was not installed because its date (2024/05/17 10:00:00) is not newer than "
         u"2024/05/17 10:00:01.\r\n"},
        {kVersionedFile, u"2.0", {true, true, At(2024, 1, 1, 8), "1.0"}, At(2024, 5, 17, 10), true, false,
         u"C:\\App\\v.dll needs replacement because its version (2.0) is newer than 1.0 and its date "
         u"(2024/05/17 10:00:00) is newer than 2024/01/01 08:00:00\r\n"},
        {kTypeLibraryFile, u"", {true, true, At(2024, 1, 1, 8), ""}, At(2024, 5, 17, 10), true, false,
         u"C:\\App\\v.dll needs replacement because its date (2024/05/17 10:00:00) is newer than "
         u"2024/01/01 08:00:00\r\n"},
        {kVersionedFile, u"2.0", {true, false, {}, ""}, At(2024, 5, 17), true, false,
         u"C:\\App\\v.dll is out of date and will be replaced.\r\n"},   // nothing to compare
    };
    for (const Case& c : cases) {
        FileRecord entry = Entry(c.kind, u"v.dll");
        entry.title = c.version;
        entry.date = c.date;
        FileVerdict v = TestExistingFile(entry, dest, c.existing, false);
        EXPECT_EQ(v.install, c.install) << ToUtf8(v.logText).c_str();
        EXPECT_EQ(v.record, c.record);
        EXPECT_EQ(v.logText, String(c.log));
    }
}

TEST(FileLists, SharedMarkersAndRecordableKinds) {
    struct Case {
        int32_t kind;
        uint32_t flags;
        bool removable;
        int marker;
        bool recordable;
    } cases[] = {
        {kSharedFile, 0, false, 0, false},         {kSharedFile, kFileKeep, false, ' ', false},
        {kSharedFile, 0, true, -1, true},          {kSystemFile, 0, false, ' ', false},
        {kComServerFile, 0, false, '^', false},    {kComServerFile, kFileKeep, false, ' ', false},
        {kTypeLibraryFile, 0, false, 0xA9, false}, {kAppFile, 0, false, -1, true},
        {kFontFile, 0, false, -1, false},          {kVersionedFile, 0, false, -1, true},
        {kMsiPackage, 0, false, -1, true},         {kControlPanelApplet, 0, false, -1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SharedFileMarker(c.kind, c.flags, c.removable), c.marker) << c.kind;
        EXPECT_EQ(IsRecordable(c.kind, c.removable), c.recordable) << c.kind;
    }
    for (int32_t kind : {2, 3, 13, -1, 1000}) EXPECT_FALSE(IsFileKind(kind)) << kind;
    EXPECT_TRUE(HidesFileName(u"b/0@+", false));
    EXPECT_FALSE(HidesFileName(u"b/0@", false));
}

TEST(FileAfterLoop, SharedCountsRiseOnceForEachNewEntry) {
    Array<String8> shared = {"C:\\Common\\a.dll", "C:\\Windows\\System32\\b.dll ", "C:\\Windows\\System32\\c.dll^",
                             String8("C:\\Windows\\System32\\d.tlb") + "\xA9"};
    SharedCountPlan plan = PlanSharedCounts(shared, "\"C:\\Windows\\System32\\b.dll \"");
    ASSERT_EQ(plan.paths.Count(), 3);
    EXPECT_EQ(plan.paths[0], String8("C:\\Common\\a.dll"));
    EXPECT_EQ(plan.paths[1], String8("C:\\Windows\\System32\\c.dll"));
    EXPECT_EQ(plan.paths[2], String8("C:\\Windows\\System32\\d.tlb"));
    EXPECT_EQ(plan.storedList, String8("\"C:\\Windows\\System32\\b.dll \";\"C:\\Common\\a.dll\";"
                                       "\"C:\\Windows\\System32\\c.dll^\";\"C:\\Windows\\System32\\d.tlb\xA9\""));
    // A second run of the same installation counts nothing again.
    EXPECT_EQ(PlanSharedCounts(shared, plan.storedList).paths.Count(), 0);
}

TEST(FileApplet, NameFromTitleElseFileName) {
    FileRecord entry = Entry(kControlPanelApplet, u"x.cpl");
    EXPECT_EQ(AppletName(entry, u"C:\\App\\Tools.cpl"), String(u"Tools"));
    entry.title = u"My Applet";
    EXPECT_EQ(AppletName(entry, u"C:\\App\\Tools.cpl"), String(u"My Applet"));
    entry.title = String();
    EXPECT_EQ(AppletName(entry, u"C:\\App\\.cpl"), String());
}
