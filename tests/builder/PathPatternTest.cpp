// Path patterns of [[folder]] entries: what each wildcard spans, case as Windows ignores it,
// "\" read as "/", characters beyond the 16-bit range, and the patterns refused up front.
#include "builder/PathPattern.h"

#include <gtest/gtest.h>

namespace cs {
namespace {

TEST(PathPattern, MatchesWholePaths) {
    struct Case {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        // "*" stays within one folder, also empty.
        {"*.txt", "a.txt", true},
        {"*.txt", ".txt", true},
        {"*.txt", "dir/a.txt", false},
        {"*.txt", "a.txt.bak", false},
        {"*", "a/b", false},
        {"dir/*", "dir/a", true},
        {"dir/*", "dir/a/b", false},
        // "?" is one character, never "/".
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"?.txt", ".txt", false},
        {"a?b", "a/b", false},
        {"?.txt", "\xF0\x9F\x98\x80.txt", true}, // one character, two UTF-16 units
        // "**" spans folders; "**/" may also stand for no folder.
        {"**", "a/b/c", true},
        {"**/*.txt", "a.txt", true},
        {"**/*.txt", "x/y/a.txt", true},
        {"**/*.txt", "x/a.md", false},
        {"docs/**", "docs/a", true},
        {"docs/**", "docs/x/y", true},
        {"docs/**", "docs", false},
        {"docs/**", "docsx/a", false},
        {"a/**/b", "a/b", true},
        {"a/**/b", "a/x/b", true},
        {"a/**/b", "a/x/y/b", true},
        {"a/**/b", "ab", false},
        {"a/**/b", "a/xb", false},
        {"a**b", "a/x/b", true},
        {"a**b", "ab", true},
        {"***.txt", "x/y.txt", true},
        // Case is ignored for ASCII and Latin-1 letters; "\" separates folders.
        {"README.TXT", "readme.txt", true},
        {"\xC3\x89*",
         "\xC3\xA9"
         "crit",
         true},                         // É* and écrit
        {"\xC3\xBF", "\xC5\xB8", true}, // ÿ and Ÿ
        {"docs\\*.txt", "docs/a.txt", true},
        // Other characters are themselves.
        {"a+b(c)[d]{e}.txt", "a+b(c)[d]{e}.txt", true},
        {"a.txt", "abtxt", false},
        {"a", "ab", false},
        {"ab", "a", false},
        // Many stars over a long path that nearly matches: no blow-up.
        {"*a*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"**a**a**a**a**a**b", "a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/c", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathPattern(c.pattern).Matches(c.path), c.matches) << c.pattern << " on " << c.path;
}

TEST(PathPattern, RefusesPatternsThatCanPickNothing) {
    struct Case {
        const char* pattern;
        const char* problem; // part of the message, or nullptr for a usable pattern
    } cases[] = {
        {"", "empty"},
        {"/docs/*", "relative"},
        {"\\docs", "relative"},
        {"C:/docs/*", "relative"},
        {"../docs/*", "\"..\""},
        {"docs/./a", "\".\""},
        {"docs/..", "\"..\""},
        {"docs\\..\\x", "\"..\""},
        {"...", nullptr},
        {".hidden", nullptr},
        {"docs/**/*.txt", nullptr},
    };
    for (const Case& c : cases) {
        const char* problem = PathPattern::Problem(c.pattern);
        std::string said = problem ? problem : "(usable)";
        if (c.problem)
            EXPECT_NE(said.find(c.problem), std::string::npos) << c.pattern << ": " << said;
        else
            EXPECT_EQ(problem, nullptr) << c.pattern << ": " << said;
    }
}

} // namespace
} // namespace cs
