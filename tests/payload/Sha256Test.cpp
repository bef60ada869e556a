// SHA-256 against published vectors and, at the lengths where the padding changes shape,
// against digests of an independent implementation; fed whole and in uneven pieces.
#include "payload/Sha256.h"

#include <gtest/gtest.h>

#include <string>

using namespace cs;

namespace {

struct Vector {
    std::string message;
    const char* digest;
};

std::string Repeat(char c, size_t n) {
    return std::string(n, c);
}

const Vector kVectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    // 55 bytes: the length still fits the last block; 56: it needs one more block.
    {Repeat('a', 55), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {Repeat('a', 56), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
    {Repeat('a', 63), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
    {Repeat('a', 64), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    {Repeat('a', 65), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
    {Repeat('a', 119), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
    {Repeat('a', 120), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
    {Repeat('a', 1000000), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

ByteView View(const std::string& s) {
    return ByteView(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(Sha256, PublishedAndBoundaryVectorsWhole) {
    for (const Vector& v : kVectors)
        EXPECT_EQ(HexText(Sha256Of(View(v.message))), v.digest) << "length " << v.message.size();
}

TEST(Sha256, PiecesOfEveryShapeGiveTheSameDigest) {
    for (const Vector& v : kVectors) {
        for (size_t piece : {1u, 3u, 63u, 64u, 65u, 1000u}) {
            Sha256 h;
            ByteView all = View(v.message);
            for (size_t at = 0; at < all.size(); at += piece)
                h.Update(all.subspan(at, std::min(piece, all.size() - at)));
            EXPECT_EQ(HexText(h.Finish()), v.digest) << "length " << all.size() << ", pieces of " << piece;
        }
    }
}

} // namespace
