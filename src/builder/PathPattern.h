// Patterns that pick files of a folder tree by their path below the tree's root, written
// with "/" between folders ("docs/*.txt", "**/*.dll"). Portable.
//
//   ?    one character other than "/"
//   *    any run of characters without "/", also none
//   **   any run of characters, "/" included: "docs/**" is everything below docs
//   **/  at the start or after "/": no folder or any number of folders, so "**/*.txt"
//        picks "a.txt" as well as "a/b/c.txt"
//
// A "\" in a pattern is read as "/". The pattern must match the whole path, so "*.txt"
// picks only the files directly in the root. Letters compare without regard to case, as
// Windows compares file names (the core's case rule: ASCII and Latin-1 letters). Matching
// costs at most path length x pattern length steps, whatever the stars.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cs {

class PathPattern {
  public:
    explicit PathPattern(std::string_view pattern);
    bool Matches(std::string_view path) const;

    // Why a pattern can never pick a file of the tree, or nullptr: it is empty, absolute, or
    // holds a "." or ".." folder.
    static const char* Problem(std::string_view pattern);

  private:
    // Folders is "**/": it moves on to the AnyText and "/" that follow it, or past them.
    enum class Step : unsigned char { Char, OneChar, Segment, AnyText, Folders };
    struct Token {
        Step step;
        char32_t c;
    };
    void Close(std::vector<char>& states) const;
    void Advance(const std::vector<char>& now, char32_t c, std::vector<char>& next) const;

    std::vector<Token> tokens_;
};

// A UTF-8 path as code points with the case folded, "\" read as "/": the form in which
// paths are matched, and in which two names that Windows takes for one are equal.
std::u32string FoldedPath(std::string_view path);

} // namespace cs
