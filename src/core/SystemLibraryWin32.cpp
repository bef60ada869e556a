#include "core/SystemLibraryWin32.h"

#include <string>

namespace cs {

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path(folder, n);
    if (path.back() != L'\\') path += L'\\';
    path += name;
    return LoadLibraryW(path.c_str());
}

} // namespace cs
