// printf-style formatting into a String: %s takes a String, String8, char16_t* or char*
// (8-bit text is read as Latin-1); %d %i %u %x %X %o %c %f %g %e %p %% with the usual
// flags, width and precision ("*" is not supported). Length modifiers (h, l, ll, I64) are
// accepted and ignored: every integer argument arrives as 64 bits.
#pragma once

#include "core/String.h"

#include <cstdint>
#include <type_traits>

namespace cs {

struct FormatArg {
    enum class Kind { Signed, Unsigned, Float, Wide, Narrow, Pointer } kind;
    union {
        int64_t i;
        uint64_t u;
        double f;
        const char16_t* w;
        const char* n;
        const void* p;
    };
    FormatArg(const String& s) : kind(Kind::Wide), w(s.c_str()) {}
    FormatArg(const String8& s) : kind(Kind::Narrow), n(s.c_str()) {}
    FormatArg(const char16_t* s) : kind(Kind::Wide), w(s) {}
    FormatArg(const char* s) : kind(Kind::Narrow), n(s) {}
    FormatArg(const void* ptr) : kind(Kind::Pointer), p(ptr) {}
    FormatArg(double v) : kind(Kind::Float), f(v) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
    FormatArg(T v) : kind(Kind::Signed), i(v) {}
    template <class T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T>, int> = 0>
    FormatArg(T v) : kind(Kind::Unsigned), u(v) {}
    template <class T, std::enable_if_t<std::is_enum_v<T>, int> = 0>
    FormatArg(T v) : kind(Kind::Signed), i(static_cast<int64_t>(v)) {}
};

// Formats into at most maxChars characters (0: no limit).
String FormatArgs(const char16_t* format, const FormatArg* args, size_t count, size_t maxChars = 0);

template <class... A> String Format(const char16_t* format, const A&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return FormatArgs(format, list, sizeof...(A));
}

} // namespace cs
