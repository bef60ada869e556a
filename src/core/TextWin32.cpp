// Windows build: comparison and conversion through the platform's own calls.
#include "core/Text.h"
#include "core/TextPlatform.h"

#include <string>
#include <windows.h>

namespace cs {

int PlatformCompareNoCase(const char16_t* a, int lengthA, const char16_t* b, int lengthB) {
    int r = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE | SORT_STRINGSORT,
                           reinterpret_cast<const wchar_t*>(a), lengthA, reinterpret_cast<const wchar_t*>(b),
                           lengthB);
    if (r == 0) return PortableCompareNoCase(a, lengthA, b, lengthB);
    return r - CSTR_EQUAL;
}

bool PlatformToWide(std::string_view bytes, int codePage, String& out) {
    UINT cp = codePage == kCodePageAnsi ? CP_ACP : static_cast<UINT>(codePage);
    DWORD flags = MB_PRECOMPOSED;
    int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    }
    if (n <= 0) return false;
    std::u16string buffer(static_cast<size_t>(n), u'\0');
    if (MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()),
                            reinterpret_cast<wchar_t*>(buffer.data()), n) != n)
        return false;
    out.Assign(buffer.data(), buffer.size());
    return true;
}

bool PlatformToNarrow(const String& text, int codePage, String8& out) {
    UINT cp = codePage == kCodePageAnsi ? CP_ACP : static_cast<UINT>(codePage);
    bool unicode = codePage == kCodePageUtf7 || codePage == kCodePageUtf8;
    DWORD flags = unicode ? 0 : WC_COMPOSITECHECK;
    const char* fallback = unicode ? nullptr : "?";
    auto wide = reinterpret_cast<const wchar_t*>(text.c_str());
    int length = static_cast<int>(text.Length());
    int n = WideCharToMultiByte(cp, flags, wide, length, nullptr, 0, fallback, nullptr);
    if (n == 0 && flags && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        n = WideCharToMultiByte(cp, flags, wide, length, nullptr, 0, fallback, nullptr);
    }
    if (n <= 0) return false;
    std::string buffer(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(cp, flags, wide, length, buffer.data(), n, fallback, nullptr) != n) return false;
    out.Assign(buffer.data(), buffer.size());
    return true;
}

} // namespace cs
