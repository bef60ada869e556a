// The running system's folder sources: the shell's lookups (taken from the system folder's
// shell32.dll by name, so a shell without them simply fails the step), the registry with its
// 32-bit and 64-bit views, the environment and the kernel's folder queries.
#include "core/Folders.h"
#include "core/WinText.h"

#include "core/BitnessWin32.h"
#include "core/OsInfo.h"
#include "core/RegistryWin32.h"
#include "core/SystemLibraryWin32.h"

#include <windows.h>

#include <objbase.h>
#include <string>
#include <vector>

namespace cs {

namespace {

constexpr DWORD kMaxPathChars = 260;
constexpr DWORD kUserNameMaxChars = 255;
constexpr LONG kEventAssociationChanged = 0x08000000;

using SHGetSpecialFolderPathWFn = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
using SHGetKnownFolderPathFn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
using SHChangeNotifyFn = void(WINAPI*)(LONG, UINT, const void*, const void*);

// shell32.dll from the system folder, loaded once and kept.
HMODULE Shell32() {
    static HMODULE module = LoadSystemLibrary(L"shell32.dll");
    return module;
}

template <class Fn> Fn Shell32Entry(const char* name) {
    return LibraryEntry<Fn>(Shell32(), name);
}

// A fixed-size query (GetWindowsDirectoryW and the like): "" when it fails or needs more room.
template <class Query> String FixedQuery(DWORD maxChars, Query query) {
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD n = query(buffer.data(), maxChars);
    if (n == 0 || n >= maxChars) return {};
    return FromW(buffer.data(), n);
}

class SystemSources final : public FolderSources {
  public:
    String SpecialFolder(int csidl) override {
        auto lookup = Shell32Entry<SHGetSpecialFolderPathWFn>("SHGetSpecialFolderPathW");
        if (!lookup) return {};
        wchar_t buffer[kMaxPathChars + 1] = {};
        if (!lookup(nullptr, buffer, csidl, FALSE)) return {};
        return FromW(buffer);
    }

    String KnownFolder(const FolderGuid& id) override {
        auto lookup = Shell32Entry<SHGetKnownFolderPathFn>("SHGetKnownFolderPath");
        if (!lookup) return {};
        GUID guid;
        guid.Data1 = id.data1;
        guid.Data2 = id.data2;
        guid.Data3 = id.data3;
        for (int i = 0; i < 8; ++i)
            guid.Data4[i] = id.data4[i];
        PWSTR path = nullptr;
        HRESULT hr = lookup(guid, 0, nullptr, &path);
        String result;
        if (SUCCEEDED(hr) && path) result = FromW(path);
        if (path) CoTaskMemFree(path);
        return result;
    }

    // Lookups: a failure is an empty result and leaves the caller's last error as it was.
    RegistryText ReadRegistry(RegistryRoot root, const String& key, const String& name,
                              RegistryView view) override {
        LastErrorKept kept;
        RegistryText value;
        RegistryKey handle;
        DWORD type = REG_NONE;
        if (handle.Open(RegistryRootKey(root), key, view, KEY_QUERY_VALUE) &&
            handle.ReadText(name, value.text, kRegistryTextAsStored, &type)) {
            value.found = true;
            value.expandable = type == REG_EXPAND_SZ;
        }
        return value;
    }

    String8 ReadRegistryAnsi(RegistryRoot root, const String& key, const String& name) override {
        LastErrorKept kept;
        String8 text;
        RegistryKey handle;
        if (handle.Open(RegistryRootKey(root), key, RegistryView::Default, KEY_QUERY_VALUE))
            handle.ReadAnsiText(name, text);
        return text;
    }

    String Environment(const String& name) override {
        DWORD n = GetEnvironmentVariableW(W(name), nullptr, 0);
        if (n == 0) return {};
        std::vector<wchar_t> buffer(n + 1, L'\0');
        n = GetEnvironmentVariableW(W(name), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0 || n >= buffer.size()) return {};
        return FromW(buffer.data(), n);
    }

    String ExpandEnvironment(const String& text) override {
        DWORD n = ExpandEnvironmentStringsW(W(text), nullptr, 0);
        if (n == 0) return text;
        std::vector<wchar_t> buffer(n + 1, L'\0');
        n = ExpandEnvironmentStringsW(W(text), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0 || n > buffer.size()) return text;
        return FromW(buffer.data());
    }

    String WindowsDirectory() override {
        return FixedQuery(kMaxPathChars,
                          [](wchar_t* b, DWORD n) { return (DWORD)GetWindowsDirectoryW(b, n); });
    }
    String SystemDirectory() override {
        return FixedQuery(kMaxPathChars,
                          [](wchar_t* b, DWORD n) { return (DWORD)GetSystemDirectoryW(b, n); });
    }
    String TempPath() override {
        return FixedQuery(kMaxPathChars, [](wchar_t* b, DWORD n) { return GetTempPathW(n, b); });
    }
    String UserName() override {
        wchar_t buffer[kUserNameMaxChars + 1] = {};
        DWORD size = kUserNameMaxChars + 1;
        if (!GetUserNameW(buffer, &size)) return {};
        return FromW(buffer);
    }
    bool FolderExists(const String& path) override { return IsExistingFolder(path); }
    bool IsNtPlatform() override { return CurrentOsRecord().platform == kPlatformNt; }
    bool Is64BitWindows() override { return CurrentOsRecord().is64BitWindows; }
    bool Is64BitProcess() override { return kEngineIs64Bit; }
};

} // namespace

FolderSources& SystemFolderSources() {
    static SystemSources sources;
    return sources;
}

FolderResolver& SystemFolders() {
    static FolderResolver resolver(SystemFolderSources());
    return resolver;
}

bool IsExistingFolder(const String& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return !path.IsEmpty() && attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFile(const String& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolderPath(const String& path) {
    if (IsExistingFolder(path)) return true;
    size_t start = 0;
    if (path.Length() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
        start = 2;
        for (int part = 0; part < 2 && start < path.Length(); ++part) {
            while (start < path.Length() && path[start] != u'\\')
                ++start;
            ++start;
        }
    }
    for (size_t i = start; i <= path.Length(); ++i) {
        if (i < path.Length() && path[i] != u'\\' && path[i] != u'/') continue;
        if (i == 0 || path[i - 1] == u':' || path[i - 1] == u'\\' || path[i - 1] == u'/') continue;
        String part = path.Sub(0, i);
        if (!IsExistingFolder(part) && !CreateDirectoryW(W(part), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return IsExistingFolder(path);
}

void NotifyAssociationsChanged() {
    if (auto notify = Shell32Entry<SHChangeNotifyFn>("SHChangeNotify"))
        notify(kEventAssociationChanged, 0 /* SHCNF_IDLIST */, nullptr, nullptr);
}

} // namespace cs
