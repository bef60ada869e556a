// CRC-32, the XOR step, Blowfish (published test vectors) with its length trailer, and xz.
#include "payload/Blowfish.h"
#include "payload/Crc32.h"
#include "payload/XorStep.h"
#include "payload/Xz.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

using namespace cs;

namespace {

Bytes FromText(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes FromHex(std::string_view hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        unsigned v;
        std::sscanf(std::string(hex.substr(i, 2)).c_str(), "%2x", &v);
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

// Bytes that compress somewhat but not trivially.
Bytes Sample(size_t size, uint32_t seed = 1) {
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245 + 12345;
        out[i] = static_cast<uint8_t>((seed >> 16) % 23 + 'a');
    }
    return out;
}

} // namespace

TEST(Crc32, CheckValueAndPieces) {
    EXPECT_EQ(Crc32(FromText("123456789")), 0xCBF43926u);
    EXPECT_EQ(Crc32({}), 0u);
    Bytes data = Sample(5000);
    uint32_t pieces = Crc32Update(Crc32Update(0, data.data(), 1234), data.data() + 1234, data.size() - 1234);
    EXPECT_EQ(pieces, Crc32(data));
}

TEST(XorStep, WordsThenLowKeyBytesOfTheLastGroup) {
    const uint32_t key = 0x44332211;
    struct Case {
        size_t length;
        const char* expected; // the result for input bytes 0xF0, 0xF1, ...
    } cases[] = {
        {0, ""},         {1, "E1"},
        {2, "E1D3"},     {3, "E1D3C1"},         // 4n+3: the three low key bytes, lowest first
        {4, "E1D3C1B7"}, {7, "E1D3C1B7E5D7C5"}, // one word, then 3 bytes
    };
    for (const Case& c : cases) {
        Bytes data(c.length);
        for (size_t i = 0; i < c.length; ++i)
            data[i] = static_cast<uint8_t>(0xF0 + i);
        XorStep(data.data(), data.size(), key);
        EXPECT_EQ(data, FromHex(c.expected)) << "length " << c.length;
        XorStep(data.data(), data.size(), key);
        for (size_t i = 0; i < c.length; ++i)
            EXPECT_EQ(data[i], 0xF0 + i);
    }
}

TEST(Blowfish, PublishedEcbVectors) {
    struct Vector {
        const char *key, *plain, *cipher;
    } vectors[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    };
    for (const Vector& v : vectors) {
        Blowfish cipher;
        Bytes key = FromHex(v.key);
        ASSERT_TRUE(cipher.SetKey(key.data(), key.size()));
        Bytes block = FromHex(v.plain);
        cipher.Encrypt(block.data(), block.size());
        EXPECT_EQ(block, FromHex(v.cipher)) << "key " << v.key;
        cipher.Decrypt(block.data(), block.size());
        EXPECT_EQ(block, FromHex(v.plain)) << "key " << v.key;
    }
}

TEST(Blowfish, PublishedVariableKeyLengthVectors) {
    // Plain text FEDCBA9876543210 under the first n bytes of one long key.
    const Bytes longKey = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    struct Vector {
        size_t keyBytes;
        const char* cipher;
    } vectors[] = {
        {8, "E87A244E2CC85E82"},  {12, "9409DA87A90F6BF2"}, {16, "93142887EE3BE15C"},
        {20, "10851C0E3858DA9F"}, {24, "05044B62FA52D080"},
    };
    for (const Vector& v : vectors) {
        Blowfish cipher;
        ASSERT_TRUE(cipher.SetKey(longKey.data(), v.keyBytes));
        Bytes block = FromHex("FEDCBA9876543210");
        cipher.Encrypt(block.data(), block.size());
        EXPECT_EQ(block, FromHex(v.cipher)) << v.keyBytes << "-byte key";
    }
}

TEST(Blowfish, KeyLengthsAre64To448BitsInStepsOf32) {
    uint8_t key[60] = {1, 2, 3};
    Blowfish cipher;
    for (size_t size : {0, 4, 7, 9, 10, 57, 60}) {
        EXPECT_FALSE(cipher.SetKey(key, size)) << size;
        EXPECT_FALSE(cipher.HasKey());
    }
    for (size_t size : {8, 12, 52, 56})
        EXPECT_TRUE(cipher.SetKey(key, size)) << size;
}

class BlowfishTrailer : public testing::Test {
  protected:
    void SetUp() override {
        Bytes key(56);
        for (size_t i = 0; i < key.size(); ++i)
            key[i] = static_cast<uint8_t>(i * 7 + 3);
        cipher.SetKey(key.data(), key.size());
    }
    // A stored part of `total` bytes whose trailer announces `length`.
    Bytes Stored(size_t total, uint32_t length) {
        Bytes plain = Sample(total);
        StoreLE32(plain.data() + total - 4, length);
        cipher.Encrypt(plain.data(), plain.size());
        return plain;
    }
    Blowfish cipher;
};

TEST_F(BlowfishTrailer, SealThenOpenGivesThePlainTextBack) {
    for (size_t length = 0; length <= 40; ++length) {
        Bytes plain = Sample(length, static_cast<uint32_t>(length));
        Bytes sealed = BlowfishSeal(cipher, plain);
        EXPECT_EQ(sealed.size() % 8, 0u);
        EXPECT_GE(sealed.size(), length + 4);
        EXPECT_LE(sealed.size(), length + 11);
        EXPECT_EQ(BlowfishOpen(cipher, sealed), plain) << "length " << length;
    }
}

TEST_F(BlowfishTrailer, LengthMustLieBetweenTotalMinus12AndTotalMinus4) {
    struct Case {
        size_t total;
        uint32_t length;
        bool accepted;
    } cases[] = {
        {24, 12, true},          {24, 20, true}, {24, 11, false}, {24, 21, false},
        {24, 0xFFFFFFFF, false}, {8, 0, true},   {8, 4, true},    {8, 5, false},
    };
    for (const Case& c : cases) {
        Bytes stored = Stored(c.total, c.length);
        Bytes plain = BlowfishOpen(cipher, stored);
        EXPECT_EQ(plain.size(), c.accepted ? c.length : 0u) << c.total << "/" << c.length;
    }
}

TEST_F(BlowfishTrailer, PartialOrEmptyInputGivesNothing) {
    Bytes sealed = BlowfishSeal(cipher, Sample(30));
    for (size_t cut : {0, 1, 7, 9, 31}) {
        Bytes part(sealed.begin(), sealed.begin() + static_cast<long>(std::min(cut, sealed.size())));
        EXPECT_TRUE(BlowfishOpen(cipher, part).empty()) << cut;
    }
}

TEST(Xz, RoundTripsAcrossPieceBoundaries) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{16384}, size_t{16385}, size_t{200000}}) {
        Bytes plain = Sample(size, static_cast<uint32_t>(size));
        Bytes packed, unpacked;
        ASSERT_TRUE(XzEncode(plain, packed, 1));
        EXPECT_EQ(packed.size() % 4, 0u);
        ASSERT_TRUE(XzDecode(packed, unpacked)) << size;
        EXPECT_EQ(unpacked, plain) << size;
    }
}

TEST(Xz, IncompressibleInputLongerThanOnePiece) {
    // Random bytes expand slightly: more than one 16384-byte piece in and out.
    Bytes plain(70000);
    uint32_t seed = 99;
    for (uint8_t& b : plain)
        b = static_cast<uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
    Bytes packed, unpacked;
    ASSERT_TRUE(XzEncode(plain, packed, 0));
    ASSERT_GT(packed.size(), 2 * 16384u);
    ASSERT_TRUE(XzDecode(packed, unpacked));
    EXPECT_EQ(unpacked, plain);
}

TEST(Xz, ConcatenatedStreamsAndPaddingDecodeToTheWhole) {
    Bytes a = Sample(1000, 1), b = Sample(3000, 2), packedA, packedB, out;
    ASSERT_TRUE(XzEncode(a, packedA));
    ASSERT_TRUE(XzEncode(b, packedB));
    Bytes both = packedA;
    both.insert(both.end(), 4, 0); // stream padding
    Append(both, packedB);
    ASSERT_TRUE(XzDecode(both, out));
    Bytes expected = a;
    Append(expected, b);
    EXPECT_EQ(out, expected);
}

TEST(Xz, DamagedInputFails) {
    Bytes plain = Sample(5000), packed, out;
    ASSERT_TRUE(XzEncode(plain, packed));
    Bytes truncated(packed.begin(), packed.end() - 5);
    Bytes flipped = packed;
    flipped[packed.size() / 2] ^= 0x55;
    Bytes trailing = packed;
    trailing.insert(trailing.end(), {0, 0, 0}); // padding that is not a multiple of 4
    for (const Bytes* bad : {&truncated, &flipped, &trailing}) {
        EXPECT_FALSE(XzDecode(*bad, out));
    }
    EXPECT_FALSE(XzDecode(FromText("definitely not xz"), out));
    EXPECT_TRUE(XzDecode({}, out));
    EXPECT_TRUE(out.empty());
}

// One decoder for container after container (the data stream's chunks): each result is its
// own, whether it fits the decoder's first guess or needs more room, also after a damaged one.
TEST(XzDecoder, DecodesContainerAfterContainer) {
    Bytes small = Sample(3000, 7), zeros(3u << 20, 0), packedSmall, packedZeros;
    ASSERT_TRUE(XzEncode(small, packedSmall, 0));
    ASSERT_TRUE(XzEncode(zeros, packedZeros, 0));
    ASSERT_LT(packedZeros.size() * 100, zeros.size()); // far more than the first guess of room
    Bytes damaged = packedSmall;
    damaged[damaged.size() / 2] ^= 0x55;
    XzDecoder decoder;
    ByteView out;
    const struct {
        const Bytes* input;
        XzResult result;
        const Bytes* expected;
    } steps[] = {{&packedSmall, XzResult::Decoded, &small},
                 {&packedZeros, XzResult::Decoded, &zeros},
                 {&damaged, XzResult::Damaged, nullptr},
                 {&packedSmall, XzResult::Decoded, &small},
                 {&packedZeros, XzResult::Decoded, &zeros}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        ASSERT_EQ(decoder.Decode(*steps[i].input, out), steps[i].result) << i;
        if (steps[i].expected)
            EXPECT_TRUE(
                std::equal(out.begin(), out.end(), steps[i].expected->begin(), steps[i].expected->end()))
                << i;
        else
            EXPECT_TRUE(out.empty()) << i;
    }
    EXPECT_EQ(decoder.Decode({}, out), XzResult::Decoded);
    EXPECT_TRUE(out.empty());
}

// A result above the caller's limit is told apart from a damaged container.
TEST(XzDecoder, ResultAboveTheLimit) {
    Bytes plain = Sample(100000, 3), packed;
    ASSERT_TRUE(XzEncode(plain, packed, 0));
    XzDecoder decoder;
    ByteView out;
    EXPECT_EQ(decoder.Decode(packed, out, plain.size() - 1), XzResult::TooLarge);
    EXPECT_TRUE(out.empty());
    ASSERT_EQ(decoder.Decode(packed, out, plain.size()), XzResult::Decoded);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), plain.begin(), plain.end()));
}
