#include "core/Text.h"
#include "core/TextPlatform.h"

namespace cs {

namespace {

bool IsTrimChar(char16_t c) {
    return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t';
}

char16_t Unit(char c) {
    return static_cast<unsigned char>(c);
}
char16_t Unit(char16_t c) {
    return c;
}

template <class S> int TrimImpl(S& text, TrimSide side) {
    int removed = 0;
    if (side != TrimSide::Start) {
        size_t end = text.Length();
        while (end > 0 && IsTrimChar(Unit(text[end - 1])))
            --end;
        removed += static_cast<int>(text.Length() - end);
        text.Truncate(end);
    }
    if (side != TrimSide::End) {
        size_t start = 0;
        while (start < text.Length() && IsTrimChar(Unit(text[start])))
            ++start;
        removed += static_cast<int>(start);
        text.Erase(0, start);
    }
    return removed;
}

template <class S> bool IsBlankImpl(const S& text) {
    for (auto c : text)
        if (!IsTrimChar(Unit(c))) return false;
    return true;
}

void SwapBytePairs(String& text) {
    for (size_t i = 0; i < text.Length(); ++i) {
        char16_t c = text[i];
        text[i] = static_cast<char16_t>((c >> 8) | (c << 8));
    }
}

} // namespace

int CompareExact(const char16_t* a, const char16_t* b) {
    if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
    for (;; ++a, ++b) {
        if (*a != *b) return *a < *b ? -1 : 1;
        if (!*a) return 0;
    }
}

int CompareNoCase(const char16_t* a, const char16_t* b, int count) {
    if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
    if (count == 0 || count < -1) return 0;
    int la = static_cast<int>(String::TextLength(a));
    int lb = static_cast<int>(String::TextLength(b));
    if (count > 0) {
        la = la < count ? la : count;
        lb = lb < count ? lb : count;
    }
    return PlatformCompareNoCase(a, la, b, lb);
}

bool IsOneOf(const char16_t* text, const char16_t* const* list) {
    for (; list && *list; ++list)
        if (CompareNoCase(text, *list) == 0) return true;
    return false;
}

bool IsOneOf(const String& text, std::initializer_list<const char16_t*> list) {
    for (const char16_t* entry : list)
        if (CompareNoCase(text.c_str(), entry) == 0) return true;
    return false;
}

char16_t ToLowerChar(char16_t c) {
    if ((c >= 0x41 && c <= 0x5A) || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    if (c == 0x178) return 0xFF;
    return c;
}

char16_t ToUpperChar(char16_t c) {
    if ((c >= 0x61 && c <= 0x7A) || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
    if (c == 0xFF) return 0x178;
    return c;
}

static int MapCase(String& text, char16_t (*map)(char16_t)) {
    int changed = 0;
    for (size_t i = 0; i < text.Length(); ++i) {
        char16_t mapped = map(text[i]);
        if (mapped != text[i]) {
            text[i] = mapped;
            ++changed;
        }
    }
    return changed;
}

int ToLower(String& text) {
    return MapCase(text, ToLowerChar);
}
int ToUpper(String& text) {
    return MapCase(text, ToUpperChar);
}

size_t Find(const String& text, const String& sub, size_t from) {
    if (text.IsEmpty() || sub.IsEmpty() || from >= text.Length()) return String::npos;
    size_t at = text.View().find(sub.View(), from);
    return at == std::u16string_view::npos ? String::npos : at;
}

size_t FindNoCase(const String& text, const String& sub, size_t from) {
    if (text.IsEmpty() || sub.IsEmpty()) return String::npos;
    size_t n = sub.Length();
    for (size_t i = from; i + n <= text.Length(); ++i) {
        String window = text.Sub(i, n);
        if (CompareNoCase(window.c_str(), sub.c_str()) == 0) return i;
    }
    return String::npos;
}

int Trim(String& text, TrimSide side) {
    return TrimImpl(text, side);
}
int Trim(String8& text, TrimSide side) {
    return TrimImpl(text, side);
}

void Unquote(String& text, char16_t quote) {
    Trim(text);
    if (text.Length() >= 2 && text[0] == quote && text.Last() == quote) {
        text.Truncate(text.Length() - 1);
        text.Erase(0, 1);
    }
    Trim(text);
}

bool IsBlank(const String& text) {
    return IsBlankImpl(text);
}
bool IsBlank(const String8& text) {
    return IsBlankImpl(text);
}

bool ToWide(std::string_view bytes, int codePage, String& out) {
    out.Clear();
    if (bytes.empty()) return true;
    if (codePage == 20127) codePage = kCodePage1252;
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE) {
        out.Assign(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
        if (codePage == kCodePageUtf16BE) SwapBytePairs(out);
        return true;
    }
    return PlatformToWide(bytes, codePage, out);
}

String FromCodePage(std::string_view bytes, int codePage) {
    String out;
    ToWide(bytes, codePage, out);
    return out;
}

bool ToNarrow(const String& text, int codePage, String8& out) {
    out.Clear();
    if (text.IsEmpty()) return true;
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE) {
        String copy = text;
        if (codePage == kCodePageUtf16BE) SwapBytePairs(copy);
        out.Assign(reinterpret_cast<const char*>(copy.c_str()), copy.ByteLength());
        return true;
    }
    return PlatformToNarrow(text, codePage, out);
}

String8 ToCodePage(const String& text, int codePage) {
    String8 out;
    ToNarrow(text, codePage, out);
    return out;
}

String8 ToPathForm(const String& path) {
    // A leading "|" is read as the marker, so such a path takes the marked form too.
    if (!path.IsEmpty() && path[0] == u'|') return String8("|") + ToUtf8(path);
    for (char16_t c : path)
        if (c >= 128) return String8("|") + ToUtf8(path);
    return NarrowLatin1(path);
}

String FromPathForm(std::string_view bytes) {
    if (!bytes.empty() && bytes[0] == '|') return FromUtf8(bytes.substr(1));
    return FromCodePage(bytes, kCodePage1252);
}

String Widen(std::string_view latin1) {
    String out;
    for (char c : latin1)
        out.Append(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

String8 NarrowLatin1(const String& text) {
    String8 out;
    for (char16_t c : text)
        out.Append(c < 256 ? static_cast<char>(c) : '?');
    return out;
}

} // namespace cs
