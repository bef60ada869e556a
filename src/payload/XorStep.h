// The XOR step of the definition block: consecutive 32-bit little-endian words XORed with
// the key; a last group of 1 to 3 bytes takes the key's low bytes, lowest first. The step
// is its own inverse.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cs {

void XorStep(uint8_t* data, size_t size, uint32_t key);

} // namespace cs
