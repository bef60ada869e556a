// Temporary files on the running system: new, distinct, empty files; no file where the
// folder cannot be made.
#include "core/FileIoWin32.h"
#include "core/Folders.h"
#include "core/Format.h"
#include "core/Random.h"
#include "core/TempFile.h"
#include "core/Text.h"
#include "support/TextPrint.h"
#include "support/WinTestFiles.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>
#include <windows.h>

#include <aclapi.h>

using namespace cs;
using cs::test::Exists;
using cs::test::RemoveTree;

namespace {

bool IsEmptyFile(const String& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
    return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.nFileSizeLow == 0 &&
           data.nFileSizeHigh == 0;
}

String FileName(const String& path) {
    size_t slash = path.Length();
    while (slash > 0 && path[slash - 1] != u'\\')
        --slash;
    return path.Sub(slash);
}

// A fresh folder under the temporary folder, removed with its files at the end.
class TempFileOnSystem : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = JoinPath(SystemFolders().Temp(), Format(u"cs-tempfile-%u", GetCurrentProcessId()));
    }
    void TearDown() override {
        for (const String& f : made_)
            DeleteFileW(W(f));
        RemoveTree(folder_);
    }
    String Made(const String& path) {
        if (!path.IsEmpty()) made_.push_back(path);
        return path;
    }
    String folder_;
    std::vector<String> made_; // files made outside folder_
};

} // namespace

TEST_F(TempFileOnSystem, WithAndWithoutExtensionMakesDistinctEmptyFiles) {
    std::set<std::u16string> names;
    for (int i = 0; i < 25; ++i) {
        String plain = MakeTempFileName(folder_, u"");
        String withExt = MakeTempFileName(folder_, u".log");
        ASSERT_FALSE(plain.IsEmpty());
        ASSERT_FALSE(withExt.IsEmpty());
        EXPECT_TRUE(IsEmptyFile(plain)) << ToUtf8(plain).c_str();
        EXPECT_TRUE(IsEmptyFile(withExt)) << ToUtf8(withExt).c_str();
        EXPECT_EQ(FileName(plain).Sub(0, 3), u"KWT");
        EXPECT_EQ(FileName(withExt).Sub(0, 3), u"KWT");
        EXPECT_EQ(withExt.Sub(withExt.Length() - 4), u".log");
        EXPECT_EQ(withExt.Sub(0, folder_.Length() + 1), folder_ + u"\\");
        EXPECT_TRUE(names.insert(std::u16string(plain.View())).second);
        EXPECT_TRUE(names.insert(std::u16string(withExt.View())).second);
    }
}

TEST_F(TempFileOnSystem, MissingFoldersAreMade) {
    String nested = JoinPath(folder_, u"a\\b");
    String path = MakeTempFileName(nested, u"dat");
    ASSERT_FALSE(path.IsEmpty());
    EXPECT_TRUE(IsEmptyFile(path));
    EXPECT_EQ(path.Sub(0, nested.Length() + 1), nested + u"\\");
}

TEST_F(TempFileOnSystem, FolderThatCannotBeMadeGivesEmptyText) {
    ASSERT_FALSE(MakeTempFileName(folder_, u"x").IsEmpty()); // makes folder_
    String blocker = JoinPath(folder_, u"plain-file");
    HANDLE file =
        CreateFileW(W(blocker), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(MakeTempFileName(JoinPath(blocker, u"sub"), u"log"), u"");
    EXPECT_EQ(MakeTempFileName(JoinPath(blocker, u"sub"), u""), u"");
}

TEST_F(TempFileOnSystem, EmptyFolderMeansTheTemporaryFolder) {
    String path = Made(MakeTempFileName(u"", u"tmp"));
    ASSERT_FALSE(path.IsEmpty());
    EXPECT_TRUE(IsEmptyFile(path));
    EXPECT_EQ(path.Sub(0, SystemFolders().Temp().Length() + 1), SystemFolders().Temp() + u"\\");
    String plain = Made(MakeTempFileName());
    ASSERT_FALSE(plain.IsEmpty());
    EXPECT_TRUE(IsEmptyFile(plain));
}

namespace {
// The real file system with the system's own name refused, to reach the name search.
class NoSystemName : public TempFileSystem {
  public:
    bool MakeFolder(const String& path) override { return real_.MakeFolder(path); }
    bool SystemUniqueName(const String&, String&) override { return false; }
    bool Exists(const String& path) override { return real_.Exists(path); }
    bool FolderExists(const String& path) override { return real_.FolderExists(path); }
    bool CreateNewFile(const String& path, uint32_t& error) override {
        return real_.CreateNewFile(path, error);
    }
    String TempFolder() override { return real_.TempFolder(); }
    uint16_t Random16() override { return real_.Random16(); }

  private:
    TempFileSystem& real_ = SystemTempFileSystem();
};
} // namespace

TEST_F(TempFileOnSystem, NameSearchWhenTheSystemGivesNoName) {
    NoSystemName system;
    std::set<std::u16string> names;
    for (int i = 0; i < 10; ++i) {
        String path = MakeTempFileNameWith(system, folder_, u"");
        ASSERT_FALSE(path.IsEmpty());
        EXPECT_TRUE(IsEmptyFile(path));
        String name = FileName(path);
        ASSERT_EQ(name.Length(), 11u) << ToUtf8(name).c_str();
        EXPECT_EQ(name.Sub(0, 3), u"KWT");
        EXPECT_EQ(name.Sub(7), u".tmp");
        for (size_t k = 3; k < 7; ++k) {
            char16_t c = name[k];
            EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))
                << "upper-case hex, zero-padded";
        }
        EXPECT_TRUE(names.insert(std::u16string(path.View())).second);
    }
}

// ---- Private folders -----------------------------------------------------------------------

namespace {

bool IsCurrentUser(PSID sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    alignas(TOKEN_USER) BYTE buffer[256];
    DWORD size = 0;
    bool isUser = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                  EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    CloseHandle(token);
    return isUser;
}

// The SIDs the access list of a private folder may name: the current user, the
// administrators, the system.
bool IsAllowedOwnerOfAccess(PSID sid) {
    return IsCurrentUser(sid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
           IsWellKnownSid(sid, WinLocalSystemSid);
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

TEST_F(TempFileOnSystem, PrivateFoldersAreNewAndPassOverEveryNameThatExists) {
    // The names the generator gives next, the first taken beforehand by a planted file.
    SeedCoreRandom(4242);
    uint32_t state = 4242;
    String temp = SystemFolders().Temp();
    uint16_t a = NextRandom16(state), b = NextRandom16(state);
    String planted = JoinPath(temp, PrivateTempFolderName(a, b));
    uint16_t c = NextRandom16(state), d = NextRandom16(state);
    String expected = JoinPath(temp, PrivateTempFolderName(c, d));
    RemoveTree(expected);
    RemoveTree(planted);
    HANDLE file = CreateFileW(W(planted), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    WriteFile(file, "mine", 4, &wrote, nullptr);
    CloseHandle(file);
    made_.push_back(planted);

    String folder = MakePrivateTempFolder();
    EXPECT_EQ(folder, expected) << "the planted name is passed over";
    EXPECT_EQ(cs::test::ReadBytes(planted), "mine") << "and left as it was";
    DWORD attributes = GetFileAttributesW(W(folder));
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    String second = MakePrivateTempFolder();
    EXPECT_FALSE(second.IsEmpty());
    EXPECT_NE(second, folder);
    RemoveDirectoryW(W(second));

    // Its access list lets only the user, the administrators and the system in, the user
    // among them; on Windows it is its own, not inherited from the temporary folder. (Wine
    // keeps no access list of a file: it answers with one made from the Linux permissions,
    // never marked as protected.)
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoW(W(folder), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &acl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    if (!RunningUnderWine()) {
        EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited";
    }
    ASSERT_NE(acl, nullptr) << "a null access list would let everybody in";
    EXPECT_GE(acl->AceCount, 1);
    EXPECT_LE(acl->AceCount, 3);
    bool userAllowed = false;
    for (WORD i = 0; i < acl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&header)));
        ASSERT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE);
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        EXPECT_TRUE(IsAllowedOwnerOfAccess(&ace->SidStart)) << "entry " << i;
        userAllowed = userAllowed || IsCurrentUser(&ace->SidStart);
    }
    EXPECT_TRUE(userAllowed);
    LocalFree(descriptor);

    // Files in it are created new: an existing one is never written through.
    String batch = JoinPath(folder, u"x.bat");
    EXPECT_TRUE(WriteNewFile(batch, "first"));
    EXPECT_FALSE(WriteNewFile(batch, "second"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(cs::test::ReadBytes(batch), "first");
    RemoveTree(folder);
}

TEST_F(TempFileOnSystem, StaleEmptyPrivateFoldersGoWhenTheNextIsMade) {
    String temp = SystemFolders().Temp();
    auto makeFolder = [&](const char16_t* name, bool old, bool withFile) {
        String path = JoinPath(temp, name);
        RemoveTree(path);
        EXPECT_TRUE(CreateDirectoryW(W(path), nullptr)) << cs::test::Narrow(path);
        if (withFile) {
            HANDLE file = CreateFileW(W(JoinPath(path, u"kept.txt")), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      0, nullptr);
            CloseHandle(file);
        }
        if (old) {
            HANDLE folder = CreateFileW(W(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            FILETIME now;
            GetSystemTimeAsFileTime(&now);
            ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
            t.QuadPart -= uint64_t(kStalePrivateFolderSeconds + 60) * 10000000u;
            FILETIME then{t.LowPart, t.HighPart};
            EXPECT_TRUE(SetFileTime(folder, nullptr, nullptr, &then));
            CloseHandle(folder);
        }
        return path;
    };
    String stale = makeFolder(u"cs-5a1e0000.tmp", true, false);
    String fresh = makeFolder(u"cs-f2e5b000.tmp", false, false);
    String full = makeFolder(u"cs-f0110000.tmp", true, true);
    String other = makeFolder(u"cs-other.tmp", true, false);
    String made = MakePrivateTempFolder();
    EXPECT_FALSE(made.IsEmpty());
    EXPECT_FALSE(Exists(stale)) << "an old empty private folder is a leftover";
    EXPECT_TRUE(Exists(fresh)) << "a new one may be about to be used";
    EXPECT_TRUE(Exists(full)) << "only empty folders go";
    EXPECT_TRUE(Exists(other)) << "not a name of ours";
    for (const String& path : {stale, fresh, full, other, made})
        RemoveTree(path);
}
