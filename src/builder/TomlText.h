// The text handed to the TOML parser. The parser the builder links (toml++ 3.3) reaches a
// point it declares unreachable, which is undefined behaviour, when it asks whether some
// characters outside ASCII (U+00A1 to U+0499, for one) are blanks: it asks outside strings,
// after a line-ending backslash in a multi-line basic string and after a backslash there.
// So the parser only ever sees such characters where it never asks: in comments and literal
// strings they stay as they are; in basic strings they become \u escapes, which read back as
// the same characters; anywhere else TOML allows none, and the text is refused here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cs {

// The parser's text for `text`, in `safe`. On failure returns false with the 1-based line of
// the first offending character and the problem.
bool TomlParserText(std::string_view text, std::string& safe, size_t& line, std::string& problem);

} // namespace cs
