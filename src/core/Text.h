// Text rules shared by every subsystem: comparison, case mapping, search, trimming and
// code-page conversion. The Windows build compares and converts through the platform's
// calls; the native build uses an equivalent rule for the same cases.
#pragma once

#include "core/String.h"

#include <initializer_list>

namespace cs {

// Unsigned code-unit comparison; -1, 0 or +1. A null text is less than any other text.
int CompareExact(const char16_t* a, const char16_t* b);
inline int CompareExact(const String& a, const String& b) {
    return CompareExact(a.c_str(), b.c_str());
}

// Case-ignoring comparison in the invariant locale (string sort); -1, 0 or +1.
// count limits the characters compared; a count of 0 or less compares equal.
int CompareNoCase(const char16_t* a, const char16_t* b, int count = -1);
inline int CompareNoCase(const String& a, const String& b) {
    return CompareNoCase(a.c_str(), b.c_str());
}
inline bool EqualsNoCase(const String& a, const char16_t* b) {
    return CompareNoCase(a.c_str(), b) == 0;
}
inline bool StartsWithNoCase(const String& text, const char16_t* prefix) {
    int n = static_cast<int>(String::TextLength(prefix));
    return static_cast<int>(text.Length()) >= n && CompareNoCase(text.c_str(), prefix, n) == 0;
}

// True when text equals, ignoring case, any entry of a null-terminated list.
bool IsOneOf(const char16_t* text, const char16_t* const* list);
bool IsOneOf(const String& text, std::initializer_list<const char16_t*> list);

// Latin-1 case mapping of one character and of whole texts (returns the count changed).
char16_t ToLowerChar(char16_t c);
char16_t ToUpperChar(char16_t c);
int ToLower(String& text);
int ToUpper(String& text);

// Index of the first occurrence of sub in text, or String::npos. An empty text or
// sub-text finds nothing.
size_t Find(const String& text, const String& sub, size_t from = 0);
size_t FindNoCase(const String& text, const String& sub, size_t from = 0);

enum class TrimSide { Start, End, Both };
// Removes " \r\n\t" from the chosen side(s); returns how many were removed from that side
// (for Both: from both sides together).
int Trim(String& text, TrimSide side = TrimSide::Both);
int Trim(String8& text, TrimSide side = TrimSide::Both);
// Trims, removes one enclosing pair of the quote character, trims again.
void Unquote(String& text, char16_t quote = u'"');
bool IsBlank(const String& text);
bool IsBlank(const String8& text);

// Code pages: -1 is the system's ANSI code page.
constexpr int kCodePageAnsi = -1;
constexpr int kCodePage1252 = 1252;
constexpr int kCodePageUtf16LE = 1200;
constexpr int kCodePageUtf16BE = 1201;
constexpr int kCodePageUtf7 = 65000;
constexpr int kCodePageUtf8 = 65001;

// 8-bit text in a code page to UTF-16. Empty input is an empty result and success. On
// failure the target is empty and the result false.
bool ToWide(std::string_view bytes, int codePage, String& out);
String FromCodePage(std::string_view bytes, int codePage);
// UTF-16 to 8-bit text in a code page; a character the code page lacks becomes '?'.
bool ToNarrow(const String& text, int codePage, String8& out);
String8 ToCodePage(const String& text, int codePage);

inline String FromUtf8(std::string_view bytes) {
    return FromCodePage(bytes, kCodePageUtf8);
}
inline String8 ToUtf8(const String& text) {
    return ToCodePage(text, kCodePageUtf8);
}

// The 8-bit path form: plain ASCII when every character is below 128 (and the first is not
// "|", the form's own marker), otherwise "|" followed by the UTF-8 bytes.
String8 ToPathForm(const String& path);
String FromPathForm(std::string_view bytes);

} // namespace cs
