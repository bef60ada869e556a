// Handle owners close exactly once, keep the last error, and hand over what they own; COM
// pointers are released once.
#include "core/HandleWin32.h"
#include "core/Folders.h"
#include "core/WinText.h"

#include <gtest/gtest.h>

#include <vector>
#include <windows.h>

using namespace cs;

namespace {

// An owner over plain numbers that records what it closes; closing sets a last error of its
// own, which the owner must not let through.
struct CountingTraits {
    using Handle = int;
    static inline std::vector<int> closed;
    static Handle Empty() { return -1; }
    static bool IsValid(Handle handle) { return handle >= 0; }
    static void Close(Handle handle) {
        closed.push_back(handle);
        SetLastError(ERROR_GEN_FAILURE);
    }
};
using CountingOwner = UniqueOwner<CountingTraits>;

class OwnerRules : public testing::Test {
  protected:
    void SetUp() override { CountingTraits::closed.clear(); }
    static const std::vector<int>& Closed() { return CountingTraits::closed; }
};

} // namespace

TEST_F(OwnerRules, ClosesOnceWhenLeavingScope) {
    {
        CountingOwner owner(7);
        EXPECT_TRUE(owner);
        EXPECT_EQ(owner.Get(), 7);
        EXPECT_TRUE(Closed().empty());
    }
    EXPECT_EQ(Closed(), std::vector<int>{7});
    { CountingOwner empty; }
    EXPECT_EQ(Closed(), std::vector<int>{7}) << "an empty owner closes nothing";
}

TEST_F(OwnerRules, MovingHandsTheHandleOver) {
    {
        CountingOwner first(1);
        CountingOwner second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(first.Get(), -1);
        EXPECT_EQ(second.Get(), 1);
        CountingOwner third(3);
        third = std::move(second); // closes 3, takes 1
        EXPECT_EQ(Closed(), std::vector<int>{3});
        EXPECT_EQ(third.Get(), 1);
        EXPECT_FALSE(second);
    }
    EXPECT_EQ(Closed(), (std::vector<int>{3, 1}));
}

TEST_F(OwnerRules, ReleaseResetAndPut) {
    CountingOwner owner(4);
    EXPECT_EQ(owner.Release(), 4);
    EXPECT_FALSE(owner);
    owner.Reset(5);
    owner.Reset(5); // the same handle again: nothing to close
    EXPECT_TRUE(Closed().empty());
    owner.Reset(6);
    EXPECT_EQ(Closed(), std::vector<int>{5});
    int* slot = owner.Put();
    EXPECT_EQ(Closed(), (std::vector<int>{5, 6}));
    EXPECT_EQ(*slot, -1);
    *slot = 8;
    EXPECT_EQ(owner.Get(), 8);
    owner.Reset();
    EXPECT_EQ(Closed(), (std::vector<int>{5, 6, 8}));
}

TEST_F(OwnerRules, ClosingKeepsTheLastError) {
    {
        CountingOwner owner(9);
        SetLastError(ERROR_FILE_NOT_FOUND);
    }
    ASSERT_EQ(Closed(), std::vector<int>{9});
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    LastErrorKept* kept = new LastErrorKept;
    SetLastError(ERROR_ACCESS_DENIED);
    delete kept;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(SystemOwners, KernelHandleIsClosedWhenTheOwnerLeavesScope) {
    HANDLE raw = nullptr;
    {
        UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.Get();
        DWORD flags = 0;
        EXPECT_TRUE(GetHandleInformation(raw, &flags));
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    UniqueHandle released(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE kept = released.Release();
    EXPECT_TRUE(GetHandleInformation(kept, &flags)) << "a released handle stays open";
    EXPECT_TRUE(CloseHandle(kept));
}

TEST(SystemOwners, BothFailureValuesAreEmpty) {
    EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(UniqueHandle(nullptr));
    EXPECT_FALSE(UniqueFind(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(UniqueFind(nullptr));
    EXPECT_EQ(UniqueFind().Get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(UniqueKey(nullptr));
    UniqueHandle failed(
        CreateFileW(L"C:\\cs-no-such-folder\\none.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(failed);
}

TEST(SystemOwners, RegistryKeyIsClosedWhenTheOwnerLeavesScope) {
    HKEY raw = nullptr;
    {
        UniqueKey key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.Put()), ERROR_SUCCESS);
        raw = key.Get();
        DWORD subkeys = 0;
        EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
    }
    DWORD subkeys = 0;
    EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_INVALID_HANDLE);
}

TEST(SystemOwners, FindHandleSearchesThroughTheOwner) {
    wchar_t system[MAX_PATH + 1] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(W(JoinPath(FromW(system), u"*")), &found));
    ASSERT_TRUE(search);
    int more = 0;
    while (more < 3 && FindNextFileW(search.Get(), &found))
        ++more;
    EXPECT_EQ(more, 3);
    UniqueFind missing(FindFirstFileW(L"C:\\cs-no-such-folder\\*", &found));
    EXPECT_FALSE(missing);
}

namespace {

// Counts its references, as a COM object does.
struct CountedObject {
    int references = 1;
    unsigned long Release() { return static_cast<unsigned long>(--references); }
};

} // namespace

TEST(ComOwner, ReleasesOnScopeExitAndBeforeItsSlotIsFilledAgain) {
    CountedObject first, second;
    {
        ComRef<CountedObject> ref;
        EXPECT_EQ(ref.Get(), nullptr);
        *&ref = &first; // as a creating call fills the slot
        EXPECT_EQ(ref.Get(), &first);
        EXPECT_EQ(first.references, 1);
        *&ref = &second; // the slot given again: what it held is released first
        EXPECT_EQ(first.references, 0);
        EXPECT_EQ(ref->references, 1);
    }
    EXPECT_EQ(second.references, 0) << "released when the owner leaves scope";
}
