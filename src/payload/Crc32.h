// The payload's checksum: the standard CRC-32 (reflected polynomial 0xEDB88320, initial
// value all ones, final complement), computed through zlib.
#pragma once

#include "payload/Bytes.h"

namespace cs {

// Continues a checksum over more bytes; start with crc 0. Any length, also beyond 4 GiB.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);
inline uint32_t Crc32(ByteView data) {
    return Crc32Update(0, data.data(), data.size());
}

} // namespace cs
