// Portable code-page codecs (1252 and UTF-8) and the case-ignoring comparison rule used
// where the platform's own calls are not available.
#include "core/Text.h"
#include "core/TextPlatform.h"

namespace cs {

namespace {

// Code page 1252 bytes 0x80 to 0x9F; 0 marks the five bytes the code page leaves undefined
// (they map to the C1 control of the same value, as the platform does).
constexpr char16_t k1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t Decode1252(unsigned char b) {
    if (b < 0x80 || b >= 0xA0) return b;
    char16_t c = k1252High[b - 0x80];
    return c ? c : b;
}

bool Encode1252(char16_t c, char& out) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        out = static_cast<char>(c);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (k1252High[i] == c || (k1252High[i] == 0 && c == 0x80 + i)) {
            out = static_cast<char>(0x80 + i);
            return true;
        }
    return false;
}

bool DecodeUtf8(std::string_view bytes, String& out) {
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char b = bytes[i];
        uint32_t cp;
        int extra;
        if (b < 0x80) {
            cp = b;
            extra = 0;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            extra = 3;
        } else {
            cp = 0xFFFD;
            extra = -1;
        }
        ++i;
        bool bad = extra < 0;
        for (int k = 0; k < extra; ++k, ++i) {
            if (i >= bytes.size() || (static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) {
                bad = true;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3F);
        }
        // A sequence longer than its code point needs ("\xC0\x8A" for a line feed) is refused:
        // it would let a byte that readers look for slip past them.
        static const uint32_t kShortestFor[] = {0, 0x80, 0x800, 0x10000};
        if (!bad && extra > 0 && cp < kShortestFor[extra]) bad = true;
        if (bad || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.Append(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.Append(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.Append(static_cast<char16_t>(cp));
        }
    }
    return true;
}

void EncodeUtf8(const String& text, String8& out) {
    for (size_t i = 0; i < text.Length(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.Length() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        char buf[4];
        int n;
        if (cp < 0x80) {
            buf[0] = static_cast<char>(cp);
            n = 1;
        } else if (cp < 0x800) {
            buf[0] = static_cast<char>(0xC0 | (cp >> 6));
            buf[1] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 2;
        } else if (cp < 0x10000) {
            buf[0] = static_cast<char>(0xE0 | (cp >> 12));
            buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[2] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 3;
        } else {
            buf[0] = static_cast<char>(0xF0 | (cp >> 18));
            buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[3] = static_cast<char>(0x80 | (cp & 0x3F));
            n = 4;
        }
        out.Append(buf, n);
    }
}

} // namespace

bool PortableToWide(std::string_view bytes, int codePage, String& out) {
    out.Clear();
    if (codePage == kCodePageUtf8) return DecodeUtf8(bytes, out);
    if (codePage == kCodePage1252 || codePage == kCodePageAnsi || codePage == 28591) {
        for (char b : bytes)
            out.Append(Decode1252(static_cast<unsigned char>(b)));
        return true;
    }
    return false;
}

bool PortableToNarrow(const String& text, int codePage, String8& out) {
    out.Clear();
    if (codePage == kCodePageUtf8) {
        EncodeUtf8(text, out);
        return true;
    }
    if (codePage == kCodePage1252 || codePage == kCodePageAnsi || codePage == 20127) {
        for (char16_t c : text) {
            char b;
            out.Append(Encode1252(c, b) ? b : '?');
        }
        return true;
    }
    return false;
}

int PortableCompareNoCase(const char16_t* a, int lengthA, const char16_t* b, int lengthB) {
    int n = lengthA < lengthB ? lengthA : lengthB;
    for (int i = 0; i < n; ++i) {
        char16_t ca = ToLowerChar(a[i]), cb = ToLowerChar(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
}

} // namespace cs
