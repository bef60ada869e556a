// The named bits of option words 1 and 2 and of the payload flags, as the project file
// offers them under [options].
#pragma once

#include <cstdint>

namespace cs {

enum class OptionWord { Word1, Word2, PayloadFlags };

struct NamedOption {
    const char* name;
    OptionWord word;
    uint32_t bit;
    bool byDefault;
    const char* meaning;
};

// The whole table, ended by an entry with a null name.
extern const NamedOption kNamedOptions[];

const NamedOption* FindNamedOption(const char* name);

} // namespace cs
