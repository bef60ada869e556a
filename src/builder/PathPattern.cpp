// Path patterns: a pattern becomes a list of steps, and a path is matched by moving the set
// of steps reached so far over its characters, one pass per character (no backtracking).
#include "builder/PathPattern.h"

#include "core/Text.h"

#include <algorithm>

namespace cs {

std::u32string FoldedPath(std::string_view path) {
    String wide = FromUtf8(path);
    std::u32string out;
    out.reserve(wide.Length());
    for (size_t i = 0; i < wide.Length(); ++i) {
        char16_t c = wide[i];
        bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < wide.Length() && wide[i + 1] >= 0xDC00 &&
                    wide[i + 1] < 0xE000;
        if (pair)
            out += char32_t(0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00));
        else
            out += c == u'\\' ? U'/' : char32_t(ToLowerChar(c));
    }
    return out;
}

PathPattern::PathPattern(std::string_view pattern) {
    std::u32string text = FoldedPath(pattern);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U'?') {
            tokens_.push_back({Step::OneChar, 0});
        } else if (text[i] != U'*') {
            tokens_.push_back({Step::Char, text[i]});
        } else if (i + 1 == text.size() || text[i + 1] != U'*') {
            tokens_.push_back({Step::Segment, 0});
        } else {
            bool folderStart = i == 0 || text[i - 1] == U'/';
            while (i + 1 < text.size() && text[i + 1] == U'*')
                ++i;
            bool folders = folderStart && i + 1 < text.size() && text[i + 1] == U'/';
            if (folders) tokens_.push_back({Step::Folders, 0});
            tokens_.push_back({Step::AnyText, 0});
            if (folders) tokens_.push_back({Step::Char, U'/'}), ++i;
        }
    }
}

// Adds the steps reachable without a character; they only lead forward, so one pass does.
void PathPattern::Close(std::vector<char>& states) const {
    for (size_t i = 0; i < tokens_.size(); ++i) {
        if (!states[i]) continue;
        Step step = tokens_[i].step;
        if (step == Step::Segment || step == Step::AnyText || step == Step::Folders) states[i + 1] = 1;
        if (step == Step::Folders) states[i + 3] = 1;
    }
}

// The steps reached from `now` by one character of the path.
void PathPattern::Advance(const std::vector<char>& now, char32_t c, std::vector<char>& next) const {
    std::fill(next.begin(), next.end(), 0);
    for (size_t i = 0; i < tokens_.size(); ++i) {
        if (!now[i]) continue;
        const Token& t = tokens_[i];
        switch (t.step) {
        case Step::Char:
            if (t.c == c) next[i + 1] = 1;
            break;
        case Step::OneChar:
            if (c != U'/') next[i + 1] = 1;
            break;
        case Step::Segment:
            if (c != U'/') next[i] = 1;
            break;
        case Step::AnyText:
            next[i] = 1;
            break;
        case Step::Folders: // moves on without a character only (Close)
            break;
        }
    }
    Close(next);
}

bool PathPattern::Matches(std::string_view path) const {
    std::vector<char> now(tokens_.size() + 1, 0), next(tokens_.size() + 1, 0);
    now[0] = 1;
    Close(now);
    for (char32_t c : FoldedPath(path)) {
        Advance(now, c, next);
        now.swap(next);
        if (std::find(now.begin(), now.end(), 1) == now.end()) return false;
    }
    return now[tokens_.size()] != 0;
}

const char* PathPattern::Problem(std::string_view pattern) {
    if (pattern.empty()) return "is empty";
    if (pattern[0] == '/' || pattern[0] == '\\' || (pattern.size() > 1 && pattern[1] == ':'))
        return "must be relative to the source folder";
    size_t start = 0;
    while (start <= pattern.size()) {
        size_t end = pattern.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = pattern.size();
        std::string_view folder = pattern.substr(start, end - start);
        if (folder == "." || folder == "..")
            return "holds a \".\" or \"..\" folder; write the path as it is below the source folder";
        start = end + 1;
    }
    return nullptr;
}

} // namespace cs
