// The Blowfish block cipher with its standard initial tables (the fractional hex digits of
// pi), in electronic-codebook mode: each 8-byte block by itself, its two 32-bit halves and
// the key taken in big-endian byte order. Keys are 64 to 448 bits long in steps of 32.
//
// Stored payload parts carry a length trailer: the encrypted text is a whole number of
// blocks, and after decryption its last 4 bytes hold the little-endian length L of the
// plain text, with total - 12 <= L <= total - 4.
#pragma once

#include "payload/Bytes.h"

namespace cs {

class Blowfish {
  public:
    static constexpr size_t kBlockBytes = 8;
    static constexpr size_t kMinKeyBytes = 8;
    static constexpr size_t kMaxKeyBytes = 56;

    // Runs the key schedule; false (and no key) when the length is not 8 to 56 bytes in
    // steps of 4.
    bool SetKey(const uint8_t* key, size_t size);
    bool HasKey() const { return hasKey_; }

    void EncryptBlock(uint32_t& left, uint32_t& right) const;
    void DecryptBlock(uint32_t& left, uint32_t& right) const;
    // Whole blocks in place; a partial block at the end is left as it is.
    void Encrypt(uint8_t* data, size_t size) const;
    void Decrypt(uint8_t* data, size_t size) const;

  private:
    uint32_t F(uint32_t x) const {
        return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
    }

    uint32_t p_[18] = {};
    uint32_t s_[4][256] = {};
    bool hasKey_ = false;
};

// Decrypts a stored part and cuts it to the length of its trailer. The result is empty
// when the input is not a whole, non-empty number of blocks or the trailer is out of range.
Bytes BlowfishOpen(const Blowfish& cipher, ByteView stored);
// The inverse: the plain text, zero padding, the 4-byte length trailer, encrypted.
Bytes BlowfishSeal(const Blowfish& cipher, ByteView plain);

// The standard initial tables.
extern const uint32_t kBlowfishInitialP[18];
extern const uint32_t kBlowfishInitialS[4][256];

} // namespace cs
