#include "core/SystemLibraryWin32.h"

#include "core/WinText.h"

#include <string>

namespace cs {

namespace {

// The search flags of newer systems (they exist in every header, not on every system).
constexpr DWORD kSearchDllLoadDir = 0x00000100; // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
constexpr DWORD kSearchSystem32 = 0x00000800;   // LOAD_LIBRARY_SEARCH_SYSTEM32

// A system that does not know the search flags refuses them as an invalid parameter.
bool FlagsUnknown() {
    return GetLastError() == ERROR_INVALID_PARAMETER;
}

} // namespace

bool RestrictLibrarySearch() {
    using SetDefaultDirs = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (auto setDefault = LibraryEntry<SetDefaultDirs>(kernel, "SetDefaultDllDirectories")) {
        if (setDefault(kSearchSystem32)) return true;
    }
    // Older systems: the working folder at least leaves the search.
    using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
    if (auto setDirectory = LibraryEntry<SetDirectory>(kernel, "SetDllDirectoryW")) setDirectory(L"");
    return false;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    // By name with the system-folder flag first: a side-by-side redirection of the name (the
    // common controls of a manifest) still applies, where a full path would bypass it.
    if (HMODULE module = LoadLibraryExW(name, nullptr, kSearchSystem32)) return module;
    if (!FlagsUnknown()) return nullptr;
    wchar_t folder[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path(folder, n);
    if (path.back() != L'\\') path += L'\\';
    path += name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadLibraryFromItsFolder(const String& path) {
    if (HMODULE module = LoadLibraryExW(W(path), nullptr, kSearchDllLoadDir | kSearchSystem32)) return module;
    if (!FlagsUnknown()) return nullptr;
    return LoadLibraryExW(W(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace cs
