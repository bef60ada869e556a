// The system's text for an error code: in the user's language, followed by a line break and
// the United States English text when that differs. Trailing line ends are removed.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace cs {

String WindowsSystemErrorText(uint32_t code);

} // namespace cs
