// Writing installed files on the real system: the data from a file handle or from memory,
// the entry's attributes and date, the retries, the replacement at the next restart of a file
// in use, the failures that have no fall-back, and the version and time of existing files.
#include "actions/FileWriteWin32.h"

#include "actions/FileWrite.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/HandleWin32.h"
#include "core/ModulePathWin32.h"
#include "core/SystemErrorWin32.h"
#include "core/Text.h"
#include "core/WinText.h"
#include "support/PendingOperationsWin32.h"
#include "support/TextPrint.h"
#include "support/WinTestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

#include <aclapi.h>

using namespace cs;
using namespace cs::test;

namespace {

const String kFailureWord = u"Error writing file";
constexpr uint64_t kSecond = 10000000; // in file time units
// The attributes the tests look at. Not the archive bit: Wine reports it on every file,
// whatever was set.
constexpr DWORD kShownAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD kProtectingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Bytes that change from block to block, so a block written twice or out of order shows.
std::string Pattern(size_t size, int seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 31 + i / kWriteBlockBytes * 7 + seed) & 0xFF);
    return data;
}

void WriteBytes(const String& path, const std::string& data) {
    UniqueHandle file(
        CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << Narrow(path);
    DWORD wrote = 0;
    ASSERT_TRUE(WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &wrote, nullptr));
}

uint64_t Number(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint64_t Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return Number(now);
}

struct Times {
    uint64_t creation = 0, lastWrite = 0;
};

Times TimesOf(const String& path) {
    UniqueHandle file(CreateFileW(W(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    FILETIME creation{}, access{}, lastWrite{};
    if (!file || !GetFileTime(file.Get(), &creation, &access, &lastWrite)) return {};
    return {Number(creation), Number(lastWrite)};
}

int64_t PositionOf(HANDLE file) {
    LARGE_INTEGER position{};
    SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT);
    return position.QuadPart;
}

// The temporary files of replacements ("KWT*.tmp") in the folder.
Array<String> TempFilesIn(const String& folder) {
    Array<String> found;
    WIN32_FIND_DATAW data;
    UniqueFind search(FindFirstFileW(W(JoinPath(folder, u"KWT*.tmp")), &data));
    if (!search) return found;
    do
        found.Append(JoinPath(folder, FromW(data.cFileName)));
    while (FindNextFileW(search.Get(), &data));
    return found;
}

// A drive letter no drive answers to, 0 when every one is taken.
char16_t UnusedDriveLetter() {
    for (wchar_t letter = L'Z'; letter >= L'D'; --letter) {
        const wchar_t root[] = {letter, L':', L'\\', 0};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) return static_cast<char16_t>(letter);
    }
    return 0;
}

// Whether the file's access list lets Everyone read, write and delete it. Wine keeps a file's
// access list as its Unix permissions, so Everyone's entry reads back as what "rwx" for
// others means (0x1301FF: without the rights to change permissions and owner) rather than
// the full access granted; a new file's entry (0x1200A9) lacks writing and deleting.
bool EveryoneMayWriteAndDelete(const String& path) {
    constexpr DWORD kRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(W(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    bool granted = false;
    ACL_SIZE_INFORMATION info{};
    if (dacl && everyone && GetAclInformation(dacl, &info, sizeof info, AclSizeInformation)) {
        for (DWORD i = 0; i < info.AceCount && !granted; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
                ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
                continue;
            granted = EqualSid(reinterpret_cast<PSID>(&ace->SidStart), everyone) &&
                      ((ace->Mask & kRights) == kRights || (ace->Mask & GENERIC_ALL));
        }
    }
    if (everyone) FreeSid(everyone);
    LocalFree(descriptor);
    return granted;
}

// Takes this test's moves onto the file out of the machine's pending list, however the test
// ends.
struct PendingMovesCleanup {
    String file;
    ~PendingMovesCleanup() { RemovePendingMovesOnto(file); }
};

class FileWriteTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = JoinPath(TempFolder(), u"cs-file-write-test");
        RemoveTree(root_);
        ASSERT_TRUE(CreateDirectoryW(W(root_), nullptr));
    }
    void TearDown() override { RemoveTree(root_); }

    String In(const char16_t* name) const { return JoinPath(root_, name); }

    // A write of the bytes from memory (they must outlive the write).
    static FileWrite FromMemory(const String& destination, const std::string& data) {
        FileWrite write;
        write.destination = destination;
        write.size = static_cast<int64_t>(data.size());
        write.memory = reinterpret_cast<const uint8_t*>(data.data());
        return write;
    }

    // A source file holding the data between other bytes, opened at the data's first byte.
    UniqueHandle OpenSourceAt(const std::string& data, int64_t offset) {
        String path = In(u"source.bin");
        WriteBytes(path, Pattern(static_cast<size_t>(offset), 1) + data + Pattern(777, 2));
        UniqueHandle file(
            CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER at;
        at.QuadPart = offset;
        SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN);
        return file;
    }

    String root_;
};

} // namespace

TEST_F(FileWriteTest, DataArriveWholeFromHandleOrMemory) {
    struct Case {
        size_t size;
        bool fromHandle;
        size_t existingSize; // a longer file already there is cut to the new size
    } cases[] = {
        {5, true, 0},
        {5, false, 0},
        {0, true, 40},
        {0, false, 0},
        {kWriteBlockBytes, true, 0},
        {100 * 1024 + 17, true, 300000},
        {100 * 1024 + 17, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.size << " bytes from " << (c.fromHandle ? "a handle" : "memory"));
        String destination = In(u"written.bin");
        if (c.existingSize) WriteBytes(destination, Pattern(c.existingSize, 3));
        std::string data = Pattern(c.size, 4);
        FileWrite write = FromMemory(destination, data);
        const int64_t offset = 1000;
        UniqueHandle source;
        if (c.fromHandle) {
            source = OpenSourceAt(data, offset);
            write.memory = nullptr;
            write.source = source.Get();
        }
        WriteOutcome result = WriteInstalledFile(write, kFailureWord);
        EXPECT_TRUE(result.written);
        EXPECT_FALSE(result.deferred);
        EXPECT_EQ(result.failure, u"");
        EXPECT_TRUE(ReadBytes(destination) == data) << "the written file differs";
        if (c.fromHandle) {
            EXPECT_EQ(PositionOf(source.Get()), offset + static_cast<int64_t>(c.size))
                << "the source stands after";
        }
        DeleteFileW(W(destination));
    }
}

TEST_F(FileWriteTest, CopiesLetWindowMessagesThroughAfterTheFirstBlock) {
    struct Case {
        size_t size;
        bool messagesProcessed;
    } cases[] = {{0, false}, {5, true}, {100 * 1024, true}};
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // gives the thread its message queue
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes");
        ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0));
        std::string data = Pattern(c.size, 14);
        EXPECT_TRUE(WriteInstalledFile(FromMemory(In(u"paced.bin"), data), kFailureWord).written);
        bool waiting = PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_REMOVE);
        EXPECT_EQ(waiting, !c.messagesProcessed);
    }
}

TEST_F(FileWriteTest, SourceShorterThanItsSizeFailsAndStandsAfterTheData) {
    std::string data = Pattern(100, 5);
    UniqueHandle source = OpenSourceAt(data, 10);
    FileWrite write;
    write.destination = In(u"short.bin");
    write.source = source.Get();
    write.size = 100000; // more than the source holds after the offset
    WriteOutcome result = WriteInstalledFile(write, kFailureWord);
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.deferred);
    EXPECT_EQ(result.failure,
              kFailureWord + u" " + write.destination + u"\r\n" + WindowsSystemErrorText(ERROR_HANDLE_EOF));
    EXPECT_EQ(PositionOf(source.Get()), 10 + write.size);
}

TEST_F(FileWriteTest, AttributesOfTheMaskComeFromTheEntry) {
    struct Case {
        uint32_t entry;
        DWORD expected; // among kShownAttributes
    } cases[] = {
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY,
         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN}, // the folder bit is not the entry's to set
        {FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_SYSTEM},
        {FILE_ATTRIBUTE_ARCHIVE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "entry attributes 0x" << std::hex << c.entry);
        String destination = In(u"attributes.bin");
        std::string data = Pattern(10, 6);
        FileWrite write = FromMemory(destination, data);
        write.attributes = c.entry;
        EXPECT_TRUE(WriteInstalledFile(write, kFailureWord).written);
        EXPECT_EQ(GetFileAttributesW(W(destination)) & kShownAttributes, c.expected);
        EXPECT_TRUE(ReadBytes(destination) == data);
        SetFileAttributesW(W(destination), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(destination));
    }
}

TEST_F(FileWriteTest, NoAttributesLeaveTheFileAsCreated) {
    String destination = In(u"plain.bin");
    std::string data = Pattern(10, 7);
    ASSERT_TRUE(WriteInstalledFile(FromMemory(destination, data), kFailureWord).written);
    EXPECT_EQ(GetFileAttributesW(W(destination)) & kShownAttributes, 0u);
}

TEST_F(FileWriteTest, DatesAreTakenAsUtc) {
    struct Case {
        DateValue date;
        uint64_t fileTime; // what the file's times become
        uint32_t attributes;
    } cases[] = {
        {{2024, 5, 17, 13, 45, 30}, 133604271300000000ull, ~0u},
        {{2001, 9, 9, -1, 0, 0}, 126444672000000000ull, ~0u},                         // no time: 00:00:00
        {{1999, 12, 31, 23, 59, 58}, 125911583980000000ull, FILE_ATTRIBUTE_READONLY}, // still dated
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.date.year << "/" << c.date.month << "/" << c.date.day);
        String destination = In(u"dated.bin");
        std::string data = Pattern(20, 8);
        FileWrite write = FromMemory(destination, data);
        write.date = c.date;
        write.attributes = c.attributes;
        ASSERT_TRUE(WriteInstalledFile(write, kFailureWord).written);
        Times times = TimesOf(destination);
        EXPECT_EQ(times.lastWrite, c.fileTime);
        EXPECT_EQ(times.creation, c.fileTime);
        DateValue read;
        ASSERT_TRUE(FileTimeOf(destination, read));
        EXPECT_EQ(read, StampOf(c.date));
        SetFileAttributesW(W(destination), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(destination));
    }
}

TEST_F(FileWriteTest, NoDateLeavesTheTimeOfWriting) {
    String destination = In(u"undated.bin");
    std::string data = Pattern(20, 9);
    uint64_t before = Now();
    ASSERT_TRUE(WriteInstalledFile(FromMemory(destination, data), kFailureWord).written);
    uint64_t after = Now();
    uint64_t written = TimesOf(destination).lastWrite;
    EXPECT_GE(written + 2 * kSecond, before); // file systems round times to whole seconds or two
    EXPECT_LE(written, after + 2 * kSecond);
    DateValue read;
    EXPECT_TRUE(FileTimeOf(destination, read));
    EXPECT_EQ(read, DateValueOfFileTime(written));
    EXPECT_FALSE(FileTimeOf(In(u"missing.bin"), read));
}

TEST_F(FileWriteTest, MissingParentFoldersAreMadeOnRetry) {
    String destination = In(u"new\\deeper\\file.bin");
    std::string data = Pattern(3000, 10);
    WriteOutcome result = WriteInstalledFile(FromMemory(destination, data), kFailureWord);
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(ReadBytes(destination) == data);
}

TEST_F(FileWriteTest, FileInUseIsReplacedAtRestartWhenItExistedOrTheOptionSaysSo) {
    struct Case {
        bool existedBefore;
        uint32_t optionWord1;
        bool deferred;
    } cases[] = {
        {true, 0, true},
        {false, kOpt1ReplaceInUse, true},
        {false, kOpt1ClearAttributesOnRetry, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "existed " << c.existedBefore << ", option word 1 0x" << std::hex << c.optionWord1);
        String destination = In(u"in use.dll");
        PendingMovesCleanup cleanup{destination};
        WriteBytes(destination, "old contents");
        std::string data = Pattern(40000, 11);
        UniqueHandle source = OpenSourceAt(data, 123);
        FileWrite write;
        write.destination = destination;
        write.source = source.Get();
        write.size = static_cast<int64_t>(data.size());
        write.date = {2023, 2, 3, 4, 5, 6};
        write.existedBefore = c.existedBefore;
        write.optionWord1 = c.optionWord1;
        UniqueHandle held(CreateFileW(W(destination), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);

        WriteOutcome result = WriteInstalledFile(write, kFailureWord);
        held.Reset();
        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.deferred, c.deferred);
        EXPECT_FALSE(result.diskFull);
        EXPECT_EQ(ReadBytes(destination), "old contents");
        Array<String> temps = TempFilesIn(root_);
        if (!c.deferred) {
            EXPECT_EQ(result.failure, kFailureWord + u" " + destination + u"\r\n" +
                                          WindowsSystemErrorText(ERROR_SHARING_VIOLATION));
            EXPECT_EQ(result.logText, u"");
            EXPECT_EQ(temps.Count(), 0);
            EXPECT_EQ(ReadPendingOperations().IndexOf(
                          [&](const PendingOperation& op) { return NamesFile(op, destination, true); }),
                      -1);
            continue;
        }
        ASSERT_EQ(temps.Count(), 1);
        const String& temp = temps[0];
        EXPECT_EQ(result.failure, u"");
        EXPECT_EQ(result.logText,
                  String(u"\"") + destination + u"\" was successfully registered for replacement.\r\n" +
                      u"Temporary file is \"" + temp + u"\"\r\nReboot will be required.\r\n\r\n");
        EXPECT_TRUE(ReadBytes(temp) == data) << "the temporary file holds the new bytes";
        EXPECT_EQ(TimesOf(temp).lastWrite, 133198707060000000ull) << "and the entry's date";
        EXPECT_EQ(GetFileAttributesW(W(temp)) & kProtectingAttributes, 0u);
        EXPECT_TRUE(EveryoneMayWriteAndDelete(temp));
        EXPECT_EQ(PositionOf(source.Get()), 123 + write.size);
        int pairs = 0;
        for (const PendingOperation& op : ReadPendingOperations()) {
            if (!NamesFile(op, destination, true)) continue;
            ++pairs;
            EXPECT_EQ(CompareNoCase(FromDriveLetter(op.source), temp), 0) << Narrow(op.source);
        }
        EXPECT_EQ(pairs, 1);
        RemovePendingMovesOnto(destination);
        EXPECT_EQ(ReadPendingOperations().IndexOf(
                      [&](const PendingOperation& op) { return NamesFile(op, destination, true); }),
                  -1);
        DeleteFileW(W(temp));
    }
}

TEST_F(FileWriteTest, OptionClearsProtectingAttributesBeforeTheRetries) {
    // The file is held without sharing, so every attempt fails: what the retries did to its
    // attributes shows afterwards.
    struct Case {
        uint32_t optionWord1;
        DWORD left;
    } cases[] = {
        {kOpt1ClearAttributesOnRetry, 0},
        {0, kProtectingAttributes},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "option word 1 0x" << std::hex << c.optionWord1);
        String destination = In(u"protected and held.bin");
        WriteBytes(destination, "old");
        ASSERT_TRUE(SetFileAttributesW(W(destination), kProtectingAttributes));
        UniqueHandle held(CreateFileW(W(destination), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        std::string data = Pattern(50, 12);
        FileWrite write = FromMemory(destination, data);
        write.optionWord1 = c.optionWord1;
        WriteOutcome result = WriteInstalledFile(write, kFailureWord);
        held.Reset();
        EXPECT_FALSE(result.written);
        EXPECT_EQ(result.failure, kFailureWord + u" " + destination + u"\r\n" +
                                      WindowsSystemErrorText(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(GetFileAttributesW(W(destination)) & kShownAttributes, c.left);
        SetFileAttributesW(W(destination), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(destination));
    }
}

namespace {

// Whether the system refuses to rewrite an existing file with the attributes. Wine keeps the
// read-only attribute as the file's Unix permissions, which a process running as root passes,
// and does not refuse a hidden or system file: there such a file is rewritten at the first
// attempt.
bool RefusesRewriting(const String& path, DWORD attributes) {
    WriteBytes(path, "probe");
    SetFileAttributesW(W(path), attributes);
    UniqueHandle file(
        CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    bool refused = !file;
    file.Reset();
    SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(W(path));
    return refused;
}

} // namespace

TEST_F(FileWriteTest, ProtectedDestinationIsWrittenWithTheOption) {
    struct Case {
        DWORD attributes;
        uint32_t optionWord1;
        bool written;
    } cases[] = {
        {FILE_ATTRIBUTE_READONLY, kOpt1ClearAttributesOnRetry, true},
        {kProtectingAttributes, kOpt1ClearAttributesOnRetry, true},
        {FILE_ATTRIBUTE_READONLY, 0, false},
        {FILE_ATTRIBUTE_HIDDEN, 0, false},
    };
    String untested;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "attributes 0x" << std::hex << c.attributes << ", option word 1 0x" << c.optionWord1);
        bool refused = RefusesRewriting(In(u"probe.bin"), c.attributes);
        if (!c.written && !refused) {
            untested += Format(u" 0x%X", c.attributes);
            continue;
        }
        String destination = In(u"protected.bin");
        WriteBytes(destination, "old");
        ASSERT_TRUE(SetFileAttributesW(W(destination), c.attributes));
        std::string data = Pattern(50, 13);
        FileWrite write = FromMemory(destination, data);
        write.optionWord1 = c.optionWord1;
        WriteOutcome result = WriteInstalledFile(write, kFailureWord);
        EXPECT_EQ(result.written, c.written);
        EXPECT_FALSE(result.deferred);
        if (!c.written) {
            EXPECT_EQ(ReadBytes(destination), "old");
            EXPECT_EQ(result.failure, kFailureWord + u" " + destination + u"\r\n" +
                                          WindowsSystemErrorText(ERROR_ACCESS_DENIED));
        } else {
            EXPECT_TRUE(ReadBytes(destination) == data);
            if (refused) {
                EXPECT_EQ(GetFileAttributesW(W(destination)) & c.attributes, 0u);
            }
        }
        SetFileAttributesW(W(destination), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(W(destination));
    }
    EXPECT_EQ(TempFilesIn(root_).Count(), 0);
    if (!untested.IsEmpty())
        GTEST_SKIP()
            << "this system rewrites files with the attributes" << Narrow(untested)
            << " at the first attempt, so their refusal cannot be shown (Wine does not refuse a hidden "
               "file, and a process running as root passes a read-only file's Unix permissions)";
}

TEST_F(FileWriteTest, FailuresWithoutReplacement) {
    char16_t drive = UnusedDriveLetter();
    ASSERT_NE(drive, 0) << "every drive letter is in use";
    String onMissingDrive = String(&drive, 1) + u":\\Corvantis\\file.bin";
    String invalidName = In(u"bad|name.bin");
    struct Case {
        String destination;
        int64_t size;
        String failure;
    } cases[] = {
        {onMissingDrive, 10, String(u"Drive ") + String(&drive, 1) + u": is not present.\r\n"},
        {invalidName, 10,
         kFailureWord + u" " + invalidName + u"\r\n" + WindowsSystemErrorText(ERROR_INVALID_NAME)},
        {In(u"negative.bin"), -1,
         kFailureWord + u" " + In(u"negative.bin") + u"\r\n" + WindowsSystemErrorText(ERROR_INVALID_DATA)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.destination));
        std::string data = Pattern(10, 13);
        FileWrite write = FromMemory(c.destination, data);
        write.size = c.size;
        write.existedBefore = true; // these fail even where a file in use would be replaced
        write.optionWord1 = kOpt1ReplaceInUse;
        WriteOutcome result = WriteInstalledFile(write, kFailureWord);
        EXPECT_FALSE(result.written);
        EXPECT_FALSE(result.deferred);
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(result.logText, u"");
        EXPECT_FALSE(Exists(c.destination));
    }
    EXPECT_EQ(TempFilesIn(root_).Count(), 0);
}

TEST_F(FileWriteTest, VersionOfTheVersionResource) {
    String folder = FolderOf(ModuleFullPath());
    String noResource = In(u"no version.dll");
    WriteBytes(noResource, "MZ but nothing else");
    struct Case {
        String path;
        const char* version;
    } cases[] = {
        {JoinPath(folder, u"version_probe_text.dll"), "3.1.4.1"},     // the first translation's block
        {JoinPath(folder, u"version_probe_english.dll"), "2. 7. 18"}, // the common English block
        {JoinPath(folder, u"version_probe_fixed.dll"), "5.6.7.8"},    // no text: the fixed numbers
        {noResource, ""},
        {In(u"missing.dll"), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileVersionOf(c.path), c.version) << Narrow(c.path);
}
