#include "payload/Blowfish.h"

#include <cstring>

namespace cs {

namespace {

uint32_t LoadBE32(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
void StoreBE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

} // namespace

bool Blowfish::SetKey(const uint8_t* key, size_t size) {
    hasKey_ = false;
    if (size < kMinKeyBytes || size > kMaxKeyBytes || size % 4 != 0) return false;
    std::memcpy(p_, kBlowfishInitialP, sizeof p_);
    std::memcpy(s_, kBlowfishInitialS, sizeof s_);
    size_t at = 0;
    for (uint32_t& p : p_) {
        uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | key[at];
            at = (at + 1) % size;
        }
        p ^= word;
    }
    uint32_t left = 0, right = 0;
    for (int i = 0; i < 18; i += 2) {
        EncryptBlock(left, right);
        p_[i] = left;
        p_[i + 1] = right;
    }
    for (auto& box : s_) {
        for (int i = 0; i < 256; i += 2) {
            EncryptBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
    hasKey_ = true;
    return true;
}

void Blowfish::EncryptBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= p_[i];
        r ^= F(l);
        r ^= p_[i + 1];
        l ^= F(r);
    }
    l ^= p_[16];
    r ^= p_[17];
    left = r;
    right = l;
}

void Blowfish::DecryptBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= p_[i];
        r ^= F(l);
        r ^= p_[i - 1];
        l ^= F(r);
    }
    l ^= p_[1];
    r ^= p_[0];
    left = r;
    right = l;
}

void Blowfish::Encrypt(uint8_t* data, size_t size) const {
    for (size_t at = 0; at + kBlockBytes <= size; at += kBlockBytes) {
        uint32_t l = LoadBE32(data + at), r = LoadBE32(data + at + 4);
        EncryptBlock(l, r);
        StoreBE32(data + at, l);
        StoreBE32(data + at + 4, r);
    }
}

void Blowfish::Decrypt(uint8_t* data, size_t size) const {
    for (size_t at = 0; at + kBlockBytes <= size; at += kBlockBytes) {
        uint32_t l = LoadBE32(data + at), r = LoadBE32(data + at + 4);
        DecryptBlock(l, r);
        StoreBE32(data + at, l);
        StoreBE32(data + at + 4, r);
    }
}

Bytes BlowfishOpen(const Blowfish& cipher, ByteView stored) {
    size_t total = stored.size();
    if (total == 0 || total % Blowfish::kBlockBytes != 0) return {};
    Bytes plain(stored.begin(), stored.end());
    cipher.Decrypt(plain.data(), plain.size());
    uint32_t length = LoadLE32(plain.data() + total - 4);
    if (total < 12 ? length > total - 4 : (length < total - 12 || length > total - 4)) return {};
    plain.resize(length);
    return plain;
}

Bytes BlowfishSeal(const Blowfish& cipher, ByteView plain) {
    size_t total =
        (plain.size() + 4 + Blowfish::kBlockBytes - 1) / Blowfish::kBlockBytes * Blowfish::kBlockBytes;
    Bytes sealed(total, 0);
    if (!plain.empty()) std::memcpy(sealed.data(), plain.data(), plain.size());
    StoreLE32(sealed.data() + total - 4, static_cast<uint32_t>(plain.size()));
    cipher.Encrypt(sealed.data(), sealed.size());
    return sealed;
}

} // namespace cs
