#include "core/HashTable.h"

namespace cs {

uint32_t KeyHash(const void* key, int length) {
    uint32_t hash = kKeyHashSeed;
    if (!key || length <= 0) return hash;
    auto bytes = static_cast<const unsigned char*>(key);
    int words = length / 4;
    for (int i = 0; i < words; ++i) {
        const unsigned char* w = bytes + 4 * i;
        hash += static_cast<uint32_t>(w[0]) | static_cast<uint32_t>(w[1]) << 8 |
                static_cast<uint32_t>(w[2]) << 16 | static_cast<uint32_t>(w[3]) << 24;
    }
    for (int i = 4 * words; i < length; ++i)
        hash += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(bytes[i])));
    return hash + static_cast<uint32_t>(length);
}

} // namespace cs
