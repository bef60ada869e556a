// Lets GoogleTest print the core text types readably in failure messages.
#pragma once

#include "core/String.h"
#include "core/Text.h"

#include <ostream>

namespace cs {
inline void PrintTo(const String& s, std::ostream* os) { *os << '"' << ToUtf8(s).c_str() << '"'; }
inline void PrintTo(const String8& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }
} // namespace cs
