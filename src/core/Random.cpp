#include "core/Random.h"

#include <atomic>
#include <chrono>

namespace cs {

namespace {

constexpr uint32_t kMultiplier = 214013;
constexpr uint32_t kIncrement = 2531011;
constexpr uint32_t kOutputFactor = 56605;

std::atomic<uint32_t> g_state{0};
std::atomic<bool> g_seeded{false};

uint32_t Advance(uint32_t state) {
    return state * kMultiplier + kIncrement;
}

uint32_t ClockSeed() {
    auto ticks = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    auto wall = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    int local = 0;
    auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&local));
    uint64_t mixed = ticks ^ (wall << 7) ^ (address << 13);
    return static_cast<uint32_t>(mixed ^ (mixed >> 32));
}

} // namespace

uint16_t NextRandom16(uint32_t& state) {
    state = Advance(state);
    return static_cast<uint16_t>(state * kOutputFactor);
}

void SeedCoreRandom(uint32_t seed) {
    g_state.store(seed);
    g_seeded.store(true);
}

uint16_t CoreRandom16() {
    if (!g_seeded.exchange(true)) g_state.store(ClockSeed());
    uint32_t state = g_state.load();
    uint32_t next;
    do {
        next = Advance(state);
    } while (!g_state.compare_exchange_weak(state, next));
    return static_cast<uint16_t>(next * kOutputFactor);
}

} // namespace cs
