#include "payload/Crc32.h"

#include <zlib.h>

namespace cs {

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
    // zlib takes the length as a 32-bit count: feed larger buffers in pieces.
    constexpr size_t kPiece = 1u << 30;
    while (size > 0) {
        size_t n = size < kPiece ? size : kPiece;
        crc = static_cast<uint32_t>(::crc32(crc, data, static_cast<uInt>(n)));
        data += n;
        size -= n;
    }
    return crc;
}

} // namespace cs
