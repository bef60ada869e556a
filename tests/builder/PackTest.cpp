// What the builder writes, the engine's reading code reads back unchanged: plain, XOR,
// Blowfish (given and drawn keys) and external-data payloads.
#include "builder/InstallerWriter.h"
#include "payload/Crc32.h"
#include "payload/PayloadCodes.h"
#include "payload/PayloadReader.h"

#include "payload/FakePe.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

Bytes Text(size_t size, uint32_t seed) {
    Bytes out(size);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>("abcdefgh \r\n"[(seed = seed * 69069 + 1) >> 28 & 7]);
    return out;
}

CipherKey SampleKey() {
    CipherKey key;
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<uint8_t>(i * 13 + 1);
    return key;
}

struct RoundTrip {
    const char* what;
    uint32_t flags;
    bool givenKey;
    size_t streamBytes;
    std::vector<int32_t> fileSizes;
    bool external;
};

} // namespace

TEST(PackInstaller, WhatIsWrittenReadsBackUnchanged) {
    const RoundTrip cases[] = {
        {"plain: no files", 0, false, 0, {}, false},
        {"XOR with a data stream", 0x10000000, false, 20000, {7, 0, 19993}, false},
        {"Blowfish with a given key", kFlagBlowfish, true, 999, {999}, false},
        {"Blowfish with a drawn key", kFlagBlowfish | 0x2, false, 64, {10, 54}, false},
        {"external data", 0, false, 300000, {300000}, true},
        {"external data, Blowfish, tiny stream", kFlagBlowfish, true, 10, {10}, true},
    };
    const Bytes stub = test::MakeFakeStub();
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        PackInput input;
        input.stub = stub;
        input.definition = Text(5000, 7);
        input.flags = c.flags;
        if (c.givenKey) input.key = SampleKey();
        input.dataStream = Text(c.streamBytes, 3);
        input.fileSizes = c.fileSizes;
        input.externalData = c.external;
        PackResult packed;
        std::string error;
        ASSERT_TRUE(PackInstaller(input, packed, error)) << error;

        MemorySource file(packed.installer);
        PayloadInfo info;
        Bytes mapped;
        ASSERT_EQ(ReadPayloadFile(file, info, mapped), kPayloadOk);
        const PayloadHeader& h = info.header;
        EXPECT_EQ(info.definition, input.definition);
        EXPECT_EQ(h.flags, c.flags);
        EXPECT_EQ(h.fileSizes, c.fileSizes);
        EXPECT_EQ(h.fileCount, static_cast<int32_t>(c.fileSizes.size()));
        EXPECT_EQ(h.definitionChecksum, Crc32(input.definition));
        if (c.givenKey) {
            EXPECT_EQ(h.cipherKey, SampleKey());
        }
        if ((c.flags & kFlagBlowfish) && !c.givenKey) {
            EXPECT_NE(h.cipherKey, CipherKey{});
        }
        EXPECT_EQ(info.headerLength, packed.headerLength);
        EXPECT_EQ(info.section.rawOffset, packed.section.rawOffset);
        EXPECT_EQ(info.section.rawSize, packed.section.rawSize);

        // The data stream where the engine looks for it, with its size and checksum.
        Bytes stream;
        if (c.external) {
            uint64_t from = info.section.rawOffset + info.dataStreamOffset;
            stream.assign(packed.installer.begin() + static_cast<long>(from), packed.installer.end());
        } else {
            ASSERT_LE(static_cast<size_t>(h.dataStreamEnd), mapped.size());
            stream.assign(mapped.begin() + static_cast<long>(info.dataStreamOffset),
                          mapped.begin() + h.dataStreamEnd);
        }
        EXPECT_EQ(stream, input.dataStream);
        EXPECT_EQ(h.dataStreamSize, static_cast<int32_t>(stream.size()));
        EXPECT_EQ(h.dataStreamChecksum, Crc32(stream));
        if (c.external) {
            // The section maps at most the header, the block and the page they end in.
            EXPECT_LE(info.section.rawSize, info.dataStreamOffset + stream.size());
            EXPECT_LE(info.section.rawSize, (info.dataStreamOffset + 0xFFF) / 0x1000 * 0x1000);
        }

        // The engine prefix passes integrity mode 1, and taking the section out again
        // gives the stub's bytes back, followed by the zeros up to the section's page.
        Bytes prefix, copy;
        ASSERT_EQ(ReadEnginePrefix(file, info, prefix), kPayloadOk);
        EXPECT_EQ(CheckEngineChecksum(prefix, info), kPayloadOk);
        ASSERT_EQ(MakeEngineCopy(file, prefix, info, copy, c.external), kPayloadOk);
        if (info.section.rawSize % 0x1000 != 0) {
            // A raw size that is not whole pages (a stream too short to fill the page): the
            // copy's image size is rounded up to whole pages again, at least the stub's.
            uint32_t imageSize = LoadLE32(&copy[0x80 + kPeSizeOfImage]);
            EXPECT_EQ(imageSize % 0x1000, 0u);
            EXPECT_GE(imageSize, LoadLE32(&stub[0x80 + kPeSizeOfImage]));
            StoreLE32(&copy[0x80 + kPeSizeOfImage], LoadLE32(&stub[0x80 + kPeSizeOfImage]));
        }
        EXPECT_EQ(copy, test::StubPaddedToPage(stub));
    }
}

TEST(PackInstaller, SectionHeadersKeepTheImageValid) {
    PackInput input;
    input.stub = test::MakeFakeStub();
    input.stub.resize(input.stub.size() + 100, 0x77); // data after the last section
    input.definition = Text(100, 1);
    input.dataStream = Text(9000, 2);
    PackResult packed;
    std::string error;
    ASSERT_TRUE(PackInstaller(input, packed, error)) << error;
    const Bytes& f = packed.installer;
    const uint8_t* h = &f[0x80];
    EXPECT_EQ(packed.section.rawOffset, 0x1000u); // the stub's 0xA00 bytes and the 100 extra, padded to a page
    EXPECT_EQ(packed.section.rawSize % 0x1000, 0u);
    EXPECT_EQ(f.size(), packed.section.rawOffset + packed.section.rawSize);
    EXPECT_EQ(LoadLE32(h + kPeSizeOfImage), packed.section.virtualAddress + packed.section.rawSize);
    EXPECT_EQ(LoadLE32(h + kPeSizeOfImage) % 0x1000, 0u);
    EXPECT_EQ(Bytes(f.begin() + 0xA00, f.begin() + 0xA64), Bytes(100, 0x77));
}

TEST(PackInstaller, RefusesValuesTheEngineWouldReject) {
    PackInput input;
    input.stub = test::MakeFakeStub();
    input.definition = Text(10, 1);
    PackResult packed;
    std::string error;
    input.fileSizes = {0x73333334};
    EXPECT_FALSE(PackInstaller(input, packed, error));
    EXPECT_NE(error.find("file size"), std::string::npos);
    input.fileSizes = {};
    input.stub[0] = 'Z';
    EXPECT_FALSE(PackInstaller(input, packed, error));
    EXPECT_NE(error.find("MZ"), std::string::npos);
}

