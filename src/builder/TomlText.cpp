#include "builder/TomlText.h"

#include <cstdint>
#include <cstdio>

namespace cs {

namespace {

// The length of the well-formed UTF-8 sequence at `at` (2 to 4) with its code point, or 0.
size_t Utf8Sequence(std::string_view text, size_t at, uint32_t& cp) {
    uint8_t lead = static_cast<uint8_t>(text[at]);
    size_t length;
    uint32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        uint8_t next = static_cast<uint8_t>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

enum class Place { Outside, Comment, Basic, MultiLineBasic, Literal, MultiLineLiteral };

bool Starts(std::string_view text, size_t at, std::string_view what) {
    return text.substr(at, what.size()) == what;
}

} // namespace

bool TomlParserText(std::string_view text, std::string& safe, size_t& line, std::string& problem) {
    safe.clear();
    safe.reserve(text.size());
    line = 1;
    Place place = Place::Outside;
    size_t at = 0;
    if (Starts(text, 0, "\xEF\xBB\xBF")) { // a byte order mark, which the parser skips
        safe.append(text.substr(0, 3));
        at = 3;
    }
    auto fail = [&](const char* why) {
        problem = why;
        return false;
    };
    while (at < text.size()) {
        char c = text[at];
        if (static_cast<uint8_t>(c) >= 0x80) {
            uint32_t cp = 0;
            size_t length = Utf8Sequence(text, at, cp);
            if (!length) return fail("the text is not UTF-8");
            if (place == Place::Basic || place == Place::MultiLineBasic) {
                char escape[16];
                std::snprintf(escape, sizeof escape, cp <= 0xFFFF ? "\\u%04X" : "\\U%08X",
                              static_cast<unsigned>(cp));
                safe += escape;
            } else if (place == Place::Outside) {
                return fail("a character outside ASCII belongs in a string or a comment");
            } else {
                safe.append(text.substr(at, length));
            }
            at += length;
            continue;
        }
        size_t take = 1;
        switch (place) {
        case Place::Outside:
            if (c == '#')
                place = Place::Comment;
            else if (Starts(text, at, "\"\"\""))
                place = Place::MultiLineBasic, take = 3;
            else if (c == '"')
                place = Place::Basic;
            else if (Starts(text, at, "'''"))
                place = Place::MultiLineLiteral, take = 3;
            else if (c == '\'')
                place = Place::Literal;
            break;
        case Place::Comment:
            if (c == '\n') place = Place::Outside;
            break;
        case Place::Basic:
        case Place::MultiLineBasic:
            if (c == '\\' && at + 1 < text.size()) {
                if (static_cast<uint8_t>(text[at + 1]) >= 0x80)
                    return fail("a backslash before a character outside ASCII is no escape");
                take = 2; // the escaped character is never an end of the string
            } else if (place == Place::Basic && (c == '"' || c == '\n')) {
                place = Place::Outside;
            } else if (place == Place::MultiLineBasic && Starts(text, at, "\"\"\"")) {
                while (at + take < text.size() && text[at + take] == '"')
                    ++take; // up to two quotes of the text itself stand before the end
                place = Place::Outside;
            }
            break;
        case Place::Literal:
            if (c == '\'' || c == '\n') place = Place::Outside;
            break;
        case Place::MultiLineLiteral:
            if (Starts(text, at, "'''")) {
                while (at + take < text.size() && text[at + take] == '\'')
                    ++take;
                place = Place::Outside;
            }
            break;
        }
        for (size_t i = 0; i < take; ++i)
            if (text[at + i] == '\n') ++line;
        safe.append(text.substr(at, take));
        at += take;
    }
    return true;
}

} // namespace cs
