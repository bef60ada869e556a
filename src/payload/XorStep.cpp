#include "payload/XorStep.h"

namespace cs {

void XorStep(uint8_t* data, size_t size, uint32_t key) {
    // XORing each word in little-endian order is the same as XORing byte i with key byte
    // i mod 4, which also covers the last partial group.
    const uint8_t keyBytes[4] = {static_cast<uint8_t>(key), static_cast<uint8_t>(key >> 8),
                                 static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 24)};
    for (size_t i = 0; i < size; ++i)
        data[i] ^= keyBytes[i & 3];
}

} // namespace cs
