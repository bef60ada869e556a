// The build's progress line on a terminal: share done, throughput and the time left.
#pragma once

#include <cstdint>
#include <string>

namespace cs {

// "42% of 200.0 MB, 35.2 MB/s, 0:03 left" for `done` of `total` bytes after `seconds`
// (MB: 10^6 bytes). Done above the total counts as all of it; before the first byte or
// the first millisecond the rate and the time left are unknown ("-").
std::string ProgressLine(uint64_t done, uint64_t total, double seconds);

} // namespace cs
