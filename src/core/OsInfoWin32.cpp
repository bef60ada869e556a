// Fills the operating-system record of the running process, once, from the system's own
// version queries. Every entry point that older systems lack is looked up by name.
#include "core/BitnessWin32.h"
#include "core/HandleWin32.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"

#include <windows.h>

namespace cs {

namespace {

using WineGetVersionFn = const char*(CDECL*)();
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);

template <class Fn> Fn Lookup(const wchar_t* module, const char* name) {
    HMODULE handle = GetModuleHandleW(module);
    if (!handle) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

OsRecord FillRecord() {
    OsRecord os;
    OSVERSIONINFOEXW info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;

    if (auto wineGetVersion = Lookup<WineGetVersionFn>(L"ntdll.dll", "wine_get_version")) {
        os.underWine = true;
        const char* version = wineGetVersion();
        os.wineVersion = Widen(version ? version : "");
    }

    bool queried = false;
    if (auto rtlGetVersion = Lookup<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion"))
        queried = rtlGetVersion(&info) == 0;
    if (!queried) {
        ZeroMemory(&info, sizeof info);
        info.dwOSVersionInfoSize = sizeof info;
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
            // Systems before the extended record know only the plain one.
            info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
            GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
        }
    }

    os.major = info.dwMajorVersion;
    os.minor = info.dwMinorVersion;
    os.platform = info.dwPlatformId;
    // The 9x family keeps its major and minor version in the high word of the build.
    os.build = os.platform == kPlatformWin9x ? (info.dwBuildNumber & 0xFFFF) : info.dwBuildNumber;
    size_t spLength = 0;
    while (spLength < kServicePackMaxChars && info.szCSDVersion[spLength])
        ++spLength;
    os.servicePack.Assign(reinterpret_cast<const char16_t*>(info.szCSDVersion), spLength);
    os.servicePackMajor = info.wServicePackMajor;
    os.servicePackMinor = info.wServicePackMinor;
    os.suiteMask = info.wSuiteMask;
    os.productType = info.wProductType;

    if (os.major > 5) {
        if (auto getProductInfo = Lookup<GetProductInfoFn>(L"kernel32.dll", "GetProductInfo")) {
            DWORD edition = 0;
            if (getProductInfo(os.major, os.minor, os.servicePackMajor, os.servicePackMinor, &edition))
                os.edition = edition;
        }
    }
    if (os.major > 4) {
        if (auto getNativeSystemInfo =
                Lookup<GetNativeSystemInfoFn>(L"kernel32.dll", "GetNativeSystemInfo")) {
            SYSTEM_INFO si;
            ZeroMemory(&si, sizeof si);
            getNativeSystemInfo(&si);
            os.native.processorArchitecture = si.wProcessorArchitecture;
            os.native.pageSize = si.dwPageSize;
            os.native.numberOfProcessors = si.dwNumberOfProcessors;
            os.native.processorType = si.dwProcessorType;
            os.native.allocationGranularity = si.dwAllocationGranularity;
            os.native.processorLevel = si.wProcessorLevel;
            os.native.processorRevision = si.wProcessorRevision;
            os.is64BitWindows = si.wProcessorArchitecture == kArchitectureItanium ||
                                si.wProcessorArchitecture == kArchitectureAmd64;
        }
    }
    return os;
}

// The release ("1909", ...); "" when missing, not text, or when the stored value, terminator
// included, is longer than kReleaseIdMaxChars characters. The caller's last error is kept.
String ReadReleaseId() {
    LastErrorKept kept;
    RegistryKey key;
    RegistryValue value;
    if (!key.Open(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows NT\\CurrentVersion",
                  RegistryView::Default, KEY_QUERY_VALUE) ||
        !key.Read(u"ReleaseId", value) || value.data.size() > kReleaseIdMaxChars * sizeof(char16_t))
        return {};
    String text;
    RegistryValueText(value, kRegistryTextAsStored, text);
    return text;
}

OsNameFacts FillFacts(const OsRecord& os) {
    OsNameFacts facts;
    facts.mediaCenter = GetSystemMetrics(SM_MEDIACENTER) != 0;
    facts.starter = GetSystemMetrics(SM_STARTER) != 0;
    facts.tabletPc = GetSystemMetrics(SM_TABLETPC) != 0;
    facts.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
    if (os.platform == kPlatformNt && os.major == 10 && os.minor == 0) facts.releaseId = ReadReleaseId();
    return facts;
}

} // namespace

const OsRecord& CurrentOsRecord() {
    static const OsRecord record = FillRecord();
    return record;
}

const OsNameFacts& CurrentOsNameFacts() {
    static const OsNameFacts facts = FillFacts(CurrentOsRecord());
    return facts;
}

uint32_t CurrentSystemBit() {
    return OsSystemBitOf(CurrentOsRecord());
}

String CurrentOsName(unsigned flags) {
    return OsNameOf(CurrentOsRecord(), CurrentOsNameFacts(), flags);
}

bool CurrentIsServer() {
    return OsIsServer(CurrentOsRecord());
}

bool CurrentIsNewerThanServer2003() {
    return OsIsNewerThanServer2003(CurrentOsRecord());
}

} // namespace cs
