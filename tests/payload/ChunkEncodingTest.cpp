// Chunks compressed side by side: the stream's bytes do not depend on the number of threads,
// the engine's reader gives the decoded bytes back and still finds a damaged chunk, and a
// chunk's xz stream asks the decoder for no more memory than the chunk needs.
#include "payload/ChunkEncoding.h"
#include "payload/Crc32.h"
#include "payload/DataStream.h"
#include "payload/PayloadCodes.h"
#include "payload/Xz.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <random>

using namespace cs;

namespace {

// Code-like bytes with incompressible stretches, so that chunks differ in encoding time.
Bytes MixedData(size_t size) {
    Bytes out(size);
    std::mt19937 random(11);
    for (size_t i = 0; i < size; ++i)
        out[i] = (i / 5000) % 3 == 2 ? static_cast<uint8_t>(random())
                                     : static_cast<uint8_t>("mov eax, "[i % 9] + i / 9000 % 7);
    return out;
}

struct Encoded {
    Bytes stream;
    std::vector<uint64_t> progress;
    uint64_t chunks = 0;
};

Encoded Encode(const Bytes& data, unsigned threads, const Blowfish* cipher, bool compress) {
    Encoded out;
    ChunkOptions options;
    options.chunkSize = 7000; // records arrive in pieces that do not match the chunks
    options.compress = compress;
    options.xzPreset = 1;
    options.cipher = cipher;
    options.threads = threads;
    options.progress = [&out](uint64_t done) { out.progress.push_back(done); };
    ChunkWriter writer(out.stream, options);
    std::string error;
    for (size_t at = 0; at < data.size(); at += 3001) {
        ByteView piece(data.data() + at, std::min<size_t>(3001, data.size() - at));
        EXPECT_TRUE(writer.Add(piece, error)) << error;
    }
    EXPECT_TRUE(writer.Finish(error)) << error;
    out.chunks = writer.ChunkCount();
    return out;
}

int Extract(const Bytes& stream, uint32_t flags, bool compress, const Blowfish& cipher, Bytes& decoded) {
    PayloadHeader header;
    header.flags = flags;
    header.dataStreamSize = static_cast<int32_t>(stream.size());
    header.dataStreamChecksum = Crc32(stream);
    MemorySink sink;
    int code = ExtractDataStream(stream, header, compress ? kOpt1CompressedData : 0, cipher, sink, {});
    decoded = sink.bytes;
    return code;
}

} // namespace

// The same bytes from 1, 2, 3 and 8 threads (a few dozen chunks, so that every worker
// takes several), for every combination of xz and Blowfish; the reader gives the data back and
// the progress rises chunk by chunk to the whole.
TEST(ChunkEncoding, TheStreamIsTheSameForEveryThreadCount) {
    Bytes data = MixedData(200000);
    Blowfish cipher;
    uint8_t key[kCipherKeyBytes] = {1, 2, 3};
    cipher.SetKey(key, sizeof key);
    for (bool compress : {true, false}) {
        for (bool sealed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "compress " << compress << ", sealed " << sealed);
            Encoded one = Encode(data, 1, sealed ? &cipher : nullptr, compress);
            EXPECT_EQ(one.chunks, (data.size() + 6999) / 7000);
            for (unsigned threads : {2u, 3u, 8u}) {
                Encoded many = Encode(data, threads, sealed ? &cipher : nullptr, compress);
                EXPECT_EQ(many.stream, one.stream) << threads << " threads";
                EXPECT_EQ(many.progress, one.progress) << threads << " threads";
            }
            ASSERT_EQ(one.progress.size(), one.chunks);
            for (size_t i = 0; i < one.progress.size(); ++i)
                EXPECT_EQ(one.progress[i], std::min<uint64_t>((i + 1) * 7000, data.size()));
            Bytes decoded;
            EXPECT_EQ(Extract(one.stream, sealed ? kFlagBlowfish : 0, compress, cipher, decoded), kPayloadOk);
            EXPECT_EQ(decoded, data);
        }
    }
}

// A byte changed inside a chunk that a worker thread wrote: the reader stops there with the
// chunk checksum code, after the chunks before it.
TEST(ChunkEncoding, ADamagedChunkIsFoundByTheReader) {
    Bytes data = MixedData(50000);
    Encoded e = Encode(data, 4, nullptr, true);
    size_t firstLength = LoadLE32(e.stream.data());
    size_t second = kChunkHeaderBytes + firstLength;
    e.stream[second + kChunkHeaderBytes + 5] ^= 0x40;
    Bytes decoded;
    EXPECT_EQ(Extract(e.stream, 0, true, Blowfish(), decoded), kCodeChunkChecksum);
    EXPECT_EQ(decoded, Bytes(data.begin(), data.begin() + 7000));
}

// The dictionary follows the input (a power of two, 4 KiB at least, at most the preset's):
// a 1 MiB chunk decodes within a 3 MiB memory limit, which the preset's own 8 MiB window
// would exceed; the encoder reused for a smaller input gives what a fresh one gives.
TEST(ChunkEncoding, TheDictionaryFollowsTheInput) {
    Bytes big = MixedData(1 << 20), small = MixedData(10000);
    XzEncoder encoder(6);
    Bytes packedBig, packedSmall, fresh;
    ASSERT_TRUE(encoder.Encode(big, packedBig));
    ASSERT_TRUE(encoder.Encode(small, packedSmall));
    ASSERT_TRUE(XzEncode(small, fresh, 6));
    EXPECT_EQ(packedSmall, fresh);
    struct Case {
        const Bytes* packed;
        const Bytes* plain;
        uint64_t limit;
        lzma_ret expected;
    } cases[] = {
        {&packedBig, &big, 3 << 20, LZMA_OK},
        {&packedBig, &big, 1 << 20, LZMA_MEMLIMIT_ERROR},
        {&packedSmall, &small, 1 << 20, LZMA_OK},
    };
    for (const Case& c : cases) {
        Bytes out(c.plain->size());
        uint64_t limit = c.limit;
        size_t inPos = 0, outPos = 0;
        lzma_ret ret = lzma_stream_buffer_decode(&limit, 0, nullptr, c.packed->data(), &inPos,
                                                 c.packed->size(), out.data(), &outPos, out.size());
        EXPECT_EQ(ret, c.expected) << c.limit;
        if (ret == LZMA_OK) {
            EXPECT_EQ(out, *c.plain);
        }
    }
}
