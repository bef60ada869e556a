// Deletion against the real system: every option bit of DeleteFileEx, the restart schedule in
// PendingFileRenameOperations, its cancelling, the rename list file, the folder-tree refusals,
// the conditional deletions and the self-removal batch run by Wine's cmd.exe.
#include "uninstall/DeletionWin32.h"

#include "core/CanonicalPath.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "log/LogWin32.h"
#include "runtime/InstallerState.h"
#include "support/PendingOperationsWin32.h"
#include "support/TextPrint.h"
#include "support/WinTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

#include <winioctl.h>

using namespace cs;
using namespace cs::test;

namespace {

String WindowsFolder() {
    wchar_t path[MAX_PATH] = {};
    GetWindowsDirectoryW(path, MAX_PATH);
    return FromW(path);
}

void Write(const String& path, size_t size) {
    HANDLE f = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE) << ToUtf8(path).c_str();
    std::string data(size, 'x');
    DWORD wrote = 0;
    WriteFile(f, data.data(), static_cast<DWORD>(size), &wrote, nullptr);
    CloseHandle(f);
}

// How the pending list names a file: its source for a deletion, its target for a move.
int CountPending(const String& file, bool asMoveTarget) {
    int n = 0;
    for (const PendingOperation& op : ReadPendingOperations())
        if (NamesFile(op, file, asMoveTarget)) ++n;
    return n;
}

class DeletionTest : public testing::Test {
  protected:
    void SetUp() override {
        static bool logStarted = StartLog();
        ASSERT_TRUE(logStarted);
        root_ = JoinPath(TempFolder(), u"cs-deletion-test");
        RemoveTree(root_);
        ASSERT_TRUE(CreateDirectoryW(W(root_), nullptr));
        Installer().folders.installDir = root_;
        Installer().commandLine = CommandLine();
        Installer().outcome.failureSummary.Clear();
        Installer().definition.optionWord1 = 0;
        Installer().definition.optionWord2 = 0;
        mark_ = WindowsLogSystem().ReadSpool().Length();
    }
    void TearDown() override { RemoveTree(root_); }

    std::string NewLog() {
        String8 spool = WindowsLogSystem().ReadSpool();
        return std::string(spool.c_str() + mark_, spool.Length() - mark_);
    }
    String In(const char16_t* name) { return JoinPath(root_, name); }

    String root_;
    size_t mark_ = 0;
};

} // namespace

TEST_F(DeletionTest, ReadOnlyFile) {
    String file = In(u"readonly.txt");
    Write(file, 3);
    SetFileAttributesW(W(file), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFileEx(file, kDeleteKeepReadOnly));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(Exists(file));
    EXPECT_TRUE(DeleteFileEx(file, 0));
    EXPECT_FALSE(Exists(file));
}

TEST_F(DeletionTest, MissingFilesAndEmptyPath) {
    struct Case {
        String path;
        uint32_t options;
        bool ok;
        DWORD error;
    } cases[] = {
        {In(u"missing.txt"), 0, false, ERROR_FILE_NOT_FOUND},
        {In(u"missing.txt"), kDeleteMissingIsDeleted, true, 0},
        {In(u"no\\such\\folder.txt"), 0, false, ERROR_PATH_NOT_FOUND},
        {In(u"no\\such\\folder.txt"), kDeleteMissingIsDeleted, true, 0},
        {In(u"missing.txt"), kDeleteRestartOnFailure, false, ERROR_FILE_NOT_FOUND}, // never scheduled
        {u"", kDeleteMissingIsDeleted, false, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(DeleteFileEx(c.path, c.options), c.ok) << Narrow(c.path) << " " << c.options;
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), c.error) << Narrow(c.path) << " " << c.options;
        }
    }
    EXPECT_EQ(CountPending(In(u"missing.txt"), false), 0);
}

TEST_F(DeletionTest, OnlyEmptyFiles) {
    String full = In(u"full.txt"), empty = In(u"empty.txt");
    Write(full, 1);
    Write(empty, 0);
    EXPECT_FALSE(DeleteFileEx(full, kDeleteOnlyEmpty));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_TRUE(Exists(full));
    EXPECT_TRUE(DeleteFileEx(empty, kDeleteOnlyEmpty));
    EXPECT_FALSE(Exists(empty));
}

TEST_F(DeletionTest, RecycleBin) {
    String file = In(u"recycle me.txt");
    Write(file, 5);
    EXPECT_TRUE(DeleteFileEx(file, kDeleteToRecycleBin));
    EXPECT_FALSE(Exists(file));
}

TEST_F(DeletionTest, FileInUseIsDeletedAtRestartAndCancellingRemovesExactlyTheMatchingPairs) {
    String held = In(u"held.dll"), later = In(u"later.dat"), other = In(u"other.dat");
    Write(held, 4);
    Write(later, 4);
    Write(other, 4);
    HANDLE open = CreateFileW(W(held), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileEx(held, 0)) << "held open without delete sharing";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(DeleteFileEx(held, kDeleteRestartOnFailure));
    CloseHandle(open);
    EXPECT_TRUE(Exists(held));
    EXPECT_EQ(CountPending(held, false), 1);

    EXPECT_TRUE(DeleteFileEx(later, kDeleteAtRestart));
    EXPECT_TRUE(Exists(later)) << "option 0x2 only schedules";
    EXPECT_TRUE(DeleteFileEx(other, kDeleteAtRestart));

    // A replacement at restart: the new file waits under a temporary name.
    String target = In(u"app.dll"), fresh = In(u"KWT1.tmp");
    Write(target, 1);
    Write(fresh, 2);
    SetLastError(0);
    EXPECT_TRUE(ReplaceAtRestart(target, fresh));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(CountPending(target, true), 1);
    int before = ReadPendingOperations().Count();

    Array<String> files = {held, target, In(u"not-pending.txt")};
    CancelPendingOperations(files);
    EXPECT_EQ(CountPending(held, false), 0);
    EXPECT_EQ(CountPending(target, true), 0);
    EXPECT_EQ(CountPending(later, false), 1);
    EXPECT_EQ(CountPending(other, false), 1);
    EXPECT_EQ(ReadPendingOperations().Count(), before - 2);
    EXPECT_FALSE(Exists(fresh)) << "the pending source of a cancelled move goes to the Recycle Bin";
    EXPECT_TRUE(Exists(target));
    EXPECT_EQ(NewLog(), "\r\nFile \"" + Narrow(held) +
                            "\" was removed from the list of pending deletions.\r\n" + "File \"" +
                            Narrow(target) + "\" was removed from the list of pending moves.\r\n");

    // The uninstaller cancels without logging.
    Installer().commandLine.uninstall = true;
    mark_ = WindowsLogSystem().ReadSpool().Length();
    Array<String> rest = {later, other};
    CancelPendingOperations(rest);
    EXPECT_EQ(CountPending(later, false), 0);
    EXPECT_EQ(CountPending(other, false), 0);
    EXPECT_EQ(NewLog(), "");
}

TEST_F(DeletionTest, ReplaceAtRestartEdges) {
    String a = In(u"a.dll");
    Write(a, 1);
    int before = ReadPendingOperations().Count();
    EXPECT_TRUE(ReplaceAtRestart(a, a));
    EXPECT_FALSE(ReplaceAtRestart(a, In(u"no-source.tmp")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadPendingOperations().Count(), before);
}

TEST_F(DeletionTest, RenameListFile) {
    String ini = In(u"wininit.ini");
    EXPECT_TRUE(AddRenameListEntry(ini, "NUL", "C:\\OLD\\FIRST.DLL"));
    EXPECT_TRUE(AddRenameListEntry(ini, "C:\\APP\\MAIN.DLL", "C:\\TEMP\\KWT1.TMP"));
    EXPECT_EQ(ReadBytes(ini), "[rename]\r\nC:\\APP\\MAIN.DLL=C:\\TEMP\\KWT1.TMP\r\nNUL=C:\\OLD\\FIRST.DLL");
    EXPECT_FALSE(AddRenameListEntry(ini, "  ", "C:\\X"));
    EXPECT_FALSE(AddRenameListEntry(In(u"no\\such\\wininit.ini"), "NUL", "C:\\X"));
}

// The spellings that used to pass a string comparison: namespace prefixes and the 8.3 name of a
// protected folder (Wine's are hashed, such as "C:\\PROG~FBU"), also for a path below it that
// does not exist yet; the long form is what the judgement sees.
TEST_F(DeletionTest, FolderTreeRefusesPrefixesAndShortNames) {
    String programFiles = GetFolder(FolderId::ProgramFiles);
    String shortName = ShortPathOf(programFiles);
    ASSERT_NE(Find(shortName, u"~"), String::npos) << Narrow(shortName);
    SystemLongNames names;
    EXPECT_EQ(Narrow(JudgedPath(shortName, names)), Narrow(CanonicalPath(programFiles)));
    EXPECT_EQ(Narrow(JudgedPath(JoinPath(shortName, u"NoSuch\\Deeper"), names)),
              Narrow(JoinPath(CanonicalPath(programFiles), u"NoSuch\\Deeper")));
    for (const String& path :
         {String(u"\\\\?\\") + WindowsFolder(), String(u"\\\\.\\") + WindowsFolder(), shortName,
          String(u"\\\\?\\") + shortName + u"\\", JoinPath(shortName, u"..\\")}) {
        SetLastError(0);
        EXPECT_FALSE(DeleteFolderTree(path)) << Narrow(path);
        DWORD error = GetLastError();
        EXPECT_TRUE(error == ERROR_ACCESS_DENIED || error == ERROR_BAD_PATHNAME)
            << Narrow(path) << " " << error;
    }
    EXPECT_TRUE(IsExistingFolder(programFiles));
}

TEST_F(DeletionTest, FolderTreeRefusesRootsAndSystemFolders) {
    String marker = JoinPath(WindowsFolder(), u"cs-deletion-marker.txt");
    Write(marker, 1);
    struct Case {
        String path;
        DWORD error;
    } cases[] = {
        {u"C:\\", ERROR_BAD_PATHNAME},
        {u"C:", ERROR_BAD_PATHNAME},
        {WindowsFolder(), ERROR_ACCESS_DENIED},
        {WindowsFolder() + u"\\", ERROR_ACCESS_DENIED},
        {WindowsFolder() + u"\\system32\\..", ERROR_ACCESS_DENIED},
        {JoinPath(WindowsFolder(), u"system32"), ERROR_ACCESS_DENIED},
        {u"C:\\Program Files", ERROR_ACCESS_DENIED},
        {u"C:\\users", ERROR_ACCESS_DENIED},
        {TempFolder(), ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(DeleteFolderTree(c.path)) << Narrow(c.path);
        EXPECT_EQ(GetLastError(), c.error) << Narrow(c.path);
    }
    EXPECT_TRUE(Exists(marker));
    EXPECT_TRUE(Exists(JoinPath(WindowsFolder(), u"system32\\kernel32.dll")));
    DeleteFileW(W(marker));
}

TEST_F(DeletionTest, FolderTreeDeletesEverythingBelow) {
    String tree = In(u"Tree");
    CreateDirectoryW(W(tree), nullptr);
    CreateDirectoryW(W(JoinPath(tree, u"a")), nullptr);
    CreateDirectoryW(W(JoinPath(tree, u"a\\b")), nullptr);
    Write(JoinPath(tree, u"top.txt"), 1);
    Write(JoinPath(tree, u"a\\b\\deep.txt"), 1);
    SetFileAttributesW(W(JoinPath(tree, u"a\\b\\deep.txt")), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFolderTree(tree));
    EXPECT_FALSE(Exists(tree));

    // A file that cannot go fails the whole, keeps the last error, and the rest is gone.
    CreateDirectoryW(W(tree), nullptr);
    CreateDirectoryW(W(JoinPath(tree, u"c")), nullptr);
    Write(JoinPath(tree, u"c\\held.txt"), 1);
    Write(JoinPath(tree, u"free.txt"), 1);
    HANDLE open = CreateFileW(W(JoinPath(tree, u"c\\held.txt")), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(DeleteFolderTree(tree));
    EXPECT_NE(GetLastError(), 0u);
    CloseHandle(open);
    EXPECT_FALSE(Exists(JoinPath(tree, u"free.txt")));
    EXPECT_TRUE(Exists(JoinPath(tree, u"c\\held.txt")));
}

namespace {

// Makes link a junction (mount point) to target; false where the file system has none.
bool MakeJunction(const String& link, const String& target) {
    if (!CreateDirectoryW(W(link), nullptr)) return false;
    HANDLE h = CreateFileW(W(link), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    String substitute = String(u"\\??\\") + target;
    // The mount-point layout: tag, sizes, then the substitute and print names with NULs.
    std::vector<BYTE> buffer(8 + 8 + (substitute.Length() + 1 + target.Length() + 1) * 2);
    auto put16 = [&](size_t at, size_t v) {
        buffer[at] = static_cast<BYTE>(v);
        buffer[at + 1] = static_cast<BYTE>(v >> 8);
    };
    DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    memcpy(buffer.data(), &tag, 4);
    put16(4, buffer.size() - 8);
    put16(8, 0);
    put16(10, substitute.Length() * 2);
    put16(12, (substitute.Length() + 1) * 2);
    put16(14, target.Length() * 2);
    memcpy(buffer.data() + 16, substitute.c_str(), substitute.Length() * 2);
    memcpy(buffer.data() + 16 + (substitute.Length() + 1) * 2, target.c_str(), target.Length() * 2);
    DWORD got = 0;
    bool ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                              nullptr, 0, &got, nullptr);
    CloseHandle(h);
    return ok && (GetFileAttributesW(W(link)) & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

TEST_F(DeletionTest, FolderTreeUnlinksLinkedFoldersWithoutEnteringThem) {
    String outside = In(u"Outside"), tree = In(u"Tree"), link = In(u"Tree\\link");
    CreateDirectoryW(W(outside), nullptr);
    CreateDirectoryW(W(tree), nullptr);
    Write(JoinPath(outside, u"precious.txt"), 1);
    if (!MakeJunction(link, outside) || !Exists(JoinPath(link, u"precious.txt")))
        GTEST_SKIP() << "this file system offers no folder links (error " << GetLastError() << ")";
    EXPECT_TRUE(DeleteFolderTree(tree));
    EXPECT_FALSE(Exists(tree));
    EXPECT_TRUE(Exists(JoinPath(outside, u"precious.txt")));
}

namespace {

FileDeletion Record(uint8_t condition, const char* value, const char* pattern,
                    uint8_t flags = kDeletionDuringInstall) {
    FileDeletion d;
    d.pattern = pattern;
    d.condition = condition;
    d.value = value;
    d.flags = flags;
    return d;
}

void SetWriteTime(const String& path, int year, int month, int day) {
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    local.wHour = 12;
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    HANDLE f =
        CreateFileW(W(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(f, nullptr, nullptr, &utc);
    CloseHandle(f);
}

} // namespace

TEST_F(DeletionTest, ConditionalDeletionsBySize) {
    for (const char16_t* name : {u"zero.dat", u"ten1.dat", u"ten2.dat", u"eleven.dat"})
        Write(In(name), name[0] == u'z' ? 0 : name[0] == u'e' ? 11 : 10);
    Write(In(u"keep.txt"), 10);
    SetFileAttributesW(W(In(u"ten2.dat")), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    Array<FileDeletion> records = {Record(kConditionSizeEqual, "10", "*.dat")};
    EXPECT_EQ(RunConditionalDeletions(records, true), 0);
    EXPECT_TRUE(Exists(In(u"zero.dat")));
    EXPECT_FALSE(Exists(In(u"ten1.dat")));
    EXPECT_FALSE(Exists(In(u"ten2.dat")));
    EXPECT_TRUE(Exists(In(u"eleven.dat")));
    EXPECT_EQ(NewLog(), "Deleted file: " + Narrow(In(u"ten1.dat")) +
                            "\r\nDeleted file: " + Narrow(In(u"ten2.dat")) + "\r\n\r\n");

    records = {Record(kConditionSizeAtLeast, "0", "%InstallDir%\\*.dat")};
    EXPECT_EQ(RunConditionalDeletions(records, true), 0);
    EXPECT_FALSE(Exists(In(u"zero.dat")));
    EXPECT_FALSE(Exists(In(u"eleven.dat")));
    EXPECT_TRUE(Exists(In(u"keep.txt")));
}

TEST_F(DeletionTest, ConditionalDeletionsByDate) {
    Write(In(u"old.log"), 1);
    Write(In(u"new.log"), 1);
    SetWriteTime(In(u"old.log"), 2023, 3, 9);
    SetWriteTime(In(u"new.log"), 2024, 5, 17);
    Array<FileDeletion> records = {Record(kConditionDateEqual, "2024/05/17", "*.log")};
    RunConditionalDeletions(records, true);
    EXPECT_TRUE(Exists(In(u"old.log")));
    EXPECT_FALSE(Exists(In(u"new.log")));
    records = {Record(kConditionDateUntil, "2023/12/31 23:59:59", "*.log")};
    RunConditionalDeletions(records, true);
    EXPECT_FALSE(Exists(In(u"old.log")));
}

TEST_F(DeletionTest, ConditionalDeletionOfAFileInUseWaitsForTheRestart) {
    String busy = In(u"busy.dat");
    Write(busy, 1);
    HANDLE open = CreateFileW(W(busy), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Array<FileDeletion> records = {
        Record(kConditionNone, "", "busy.dat", kDeletionDuringInstall | kDeletionRestartOnFailure)};
    EXPECT_EQ(RunConditionalDeletions(records, true), 0);
    CloseHandle(open);
    EXPECT_TRUE(Installer().definition.optionWord1 & kOpt1RebootRequired);
    EXPECT_EQ(CountPending(busy, false), 1);
    std::string log = NewLog();
    std::string expected = "File \"" + Narrow(busy) + "\" will be deleted after rebooting: ";
    EXPECT_EQ(log.rfind(expected, 0), 0u) << log;
    Array<String> files = {busy};
    CancelPendingOperations(files);
    EXPECT_EQ(CountPending(busy, false), 0);
}

namespace {

// The self-removal batches in the private temporary folders ("cs-*.tmp") as they are now.
std::vector<String> SelfRemovalBatches() {
    std::vector<String> found;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(W(JoinPath(TempFolder(), u"cs-*.tmp")), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        String batch = JoinPath(JoinPath(TempFolder(), FromW(data.cFileName)), kSelfRemovalFileName);
        if (Exists(batch)) found.push_back(batch);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

} // namespace

TEST_F(DeletionTest, SelfRemovalWaitsForTheProgramThenRemovesTheFoldersAndItself) {
    String install = In(u"Product");
    String data = JoinPath(install, u"Data\\Uninstall");
    CreateDirectoryW(W(install), nullptr);
    CreateDirectoryW(W(JoinPath(install, u"Data")), nullptr);
    CreateDirectoryW(W(data), nullptr);
    String program = JoinPath(data, u"unins000.exe");
    ASSERT_TRUE(CopyFileW(W(JoinPath(ProgramFolder(), u"deletion_probe.exe")), W(program), FALSE));
    // A user's file at the batch's old fixed name is no batch of ours: never written.
    String oldPlace = JoinPath(TempFolder(), kSelfRemovalFileName);
    DeleteFileW(W(oldPlace));
    HANDLE document = CreateFileW(W(oldPlace), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(document, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    WriteFile(document, "a user's document", 17, &wrote, nullptr);
    CloseHandle(document);
    std::vector<String> earlier = SelfRemovalBatches();

    String commandLine = Format(u"\"%s\" selfremove \"%s\" \"Data\\Uninstall\" 2500", program, install);
    std::vector<wchar_t> line(W(commandLine), W(commandLine) + commandLine.Length() + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, W(TempFolder()),
                               &startup, &process));
    CloseHandle(process.hThread);
    // While the program runs, the batch exists (in a new private folder) and the program is
    // still there.
    Sleep(1200);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    String batch;
    for (const String& found : SelfRemovalBatches())
        if (std::find(earlier.begin(), earlier.end(), found) == earlier.end()) batch = found;
    ASSERT_FALSE(batch.IsEmpty()) << "a batch in a new private temporary folder";
    EXPECT_TRUE(Exists(batch));
    EXPECT_TRUE(Exists(program));
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), static_cast<DWORD>(WAIT_OBJECT_0));
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);

    for (int i = 0; i < 300 && (Exists(install) || Exists(batch)); ++i)
        Sleep(100);
    EXPECT_FALSE(Exists(program));
    EXPECT_FALSE(Exists(data));
    EXPECT_FALSE(Exists(install));
    EXPECT_FALSE(Exists(batch)) << "the batch deletes itself";
    EXPECT_EQ(ReadBytes(oldPlace), "a user's document");
    DeleteFileW(W(oldPlace));
    RemoveDirectoryW(W(batch.Sub(0, batch.View().find_last_of(u'\\'))));
    EXPECT_TRUE(Exists(root_)) << "only the installation folder and below";
}
