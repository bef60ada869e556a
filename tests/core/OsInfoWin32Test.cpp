// The record of the running system, checked against what the system says by other means.
#include "core/OsInfo.h"
#include "core/Text.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace cs;

namespace {

// True when HKCU\Software\Wine exists: the compatibility layer keeps its settings there.
bool HasWineSettings() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

String ProductName() {
    wchar_t buffer[256] = {};
    DWORD bytes = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"ProductName",
                     RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS)
        return {};
    return String(reinterpret_cast<const char16_t*>(buffer));
}

} // namespace

TEST(CurrentOs, RecordIsFilledOnceAndDescribesAnNtSystem) {
    const OsRecord& os = CurrentOsRecord();
    EXPECT_EQ(&os, &CurrentOsRecord());
    EXPECT_EQ(os.platform, static_cast<uint32_t>(kPlatformNt));
    EXPECT_GE(os.major, 5u);
    EXPECT_GT(os.build, 0u);
    EXPECT_NE(os.productType, 0);
    EXPECT_GT(os.native.numberOfProcessors, 0u);
    EXPECT_GT(os.native.pageSize, 0u);

    // GetVersionExW may understate the version (to programs without a manifest), never overstate it.
    OSVERSIONINFOW plain = {};
    plain.dwOSVersionInfoSize = sizeof plain;
    ASSERT_TRUE(GetVersionExW(&plain));
    EXPECT_GE(os.major * 100 + os.minor, plain.dwMajorVersion * 100 + plain.dwMinorVersion);
}

// A 32-bit process runs under WoW64 exactly on 64-bit Windows; a 64-bit process runs only there.
TEST(CurrentOs, SixtyFourBitFlagAgreesWithWow64) {
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    const bool on64 = sizeof(void*) == 8 || wow64 != FALSE;
    EXPECT_FALSE(sizeof(void*) == 8 && wow64) << "a 64-bit process is never under WoW64";
    EXPECT_EQ(CurrentOsRecord().is64BitWindows, on64);
    String full = CurrentOsName(0);
    EXPECT_EQ(FindNoCase(full, u" x64") != String::npos, on64) << ToUtf8(full).c_str();
}

TEST(CurrentOs, CompatibilityLayerIsNamedAndFlagged) {
    if (!HasWineSettings()) GTEST_SKIP() << "not running under the compatibility layer";
    const OsRecord& os = CurrentOsRecord();
    ASSERT_TRUE(os.underWine);
    EXPECT_FALSE(os.wineVersion.IsEmpty());
    String prefix = String(u"WINE ") + os.wineVersion + u" reporting as Windows ";
    EXPECT_EQ(CurrentOsName(0).Sub(0, prefix.Length()), prefix);
    EXPECT_EQ(CurrentSystemBit() & kSystemWine, static_cast<uint32_t>(kSystemWine));
    EXPECT_FALSE(CurrentIsNewerThanServer2003());
    // The layer's own product name ("Microsoft Windows 8.1", ...) carries the release name.
    String product = ProductName();
    ASSERT_FALSE(product.IsEmpty());
    String release =
        CurrentOsName(kOsNameShort | kOsNameNoServicePack | kOsNameNoReleaseId).Sub(prefix.Length());
    EXPECT_NE(Find(product + u" ", String(u" ") + release + u" "), String::npos)
        << ToUtf8(product).c_str() << " / " << ToUtf8(release).c_str();
}
