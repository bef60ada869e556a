// The core pseudo-random generator: a 32-bit linear congruential state whose outputs are
// 16-bit numbers (the state advanced, then multiplied by 56605 and cut to 16 bits). Over
// 65,536 consecutive calls every 16-bit number comes out exactly once, so names made from
// successive numbers do not repeat soon. Not for anything that needs secrecy.
#pragma once

#include <cstdint>

namespace cs {

// Advances state and returns the next number.
uint16_t NextRandom16(uint32_t& state);

// The process-wide generator, seeded on first use from the clock and the process.
uint16_t CoreRandom16();
void SeedCoreRandom(uint32_t seed);

} // namespace cs
