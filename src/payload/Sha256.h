// SHA-256 (FIPS 180-4). The builder derives an installer's cipher key from the digest of
// its inputs, so that the same inputs give the same installer, and the manifest writer
// names the installer by its digest.
#pragma once

#include "payload/Bytes.h"

#include <array>
#include <string>

namespace cs {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
  public:
    Sha256();
    void Update(const uint8_t* data, size_t size);
    void Update(ByteView data) { Update(data.data(), data.size()); }
    // The digest of everything given so far; the object must not be updated afterwards.
    Sha256Digest Finish();

  private:
    void Block(const uint8_t* block);
    std::array<uint32_t, 8> state_;
    std::array<uint8_t, 64> buffer_;
    size_t buffered_ = 0;
    uint64_t length_ = 0; // bytes given so far
};

inline Sha256Digest Sha256Of(ByteView data) {
    Sha256 h;
    h.Update(data);
    return h.Finish();
}

// Lower-case hexadecimal, two digits a byte.
std::string HexText(ByteView bytes);

} // namespace cs
