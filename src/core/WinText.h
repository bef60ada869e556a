// Passing the core's UTF-16 text to and from Windows calls: wchar_t is 16 bits there, so a
// String's buffer is a valid wide string as it is.
#pragma once

#include "core/String.h"

namespace cs {

inline const wchar_t* W(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline String FromW(const wchar_t* s) {
    return String(reinterpret_cast<const char16_t*>(s));
}
inline String FromW(const wchar_t* s, size_t count) {
    return String(reinterpret_cast<const char16_t*>(s), count);
}

} // namespace cs
