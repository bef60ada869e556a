// The payload header: written and read back, each field's rule as it is read, and headers
// cut off by the end of the section.
#include "payload/PayloadHeader.h"
#include "payload/PayloadCodes.h"

#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

PayloadHeader Sample(bool withKey) {
    PayloadHeader h;
    h.flags = 0x10000000 | 0x20 | (withKey ? kFlagBlowfish : 0);
    h.definitionSize = 8;
    h.definitionChecksum = 0x11223344;
    h.engineChecksum = 0x55667788;
    h.dataStreamEnd = 1000;
    h.fileCount = 3;
    h.dataStreamSize = 900;
    h.dataStreamChecksum = 0x99AABBCC;
    h.fileSizes = {0, 1, kMaxFileSize};
    for (size_t i = 0; i < h.cipherKey.size(); ++i)
        h.cipherKey[i] = static_cast<uint8_t>(200 + i);
    return h;
}

// Header bytes followed by a definition block of the announced size.
Bytes Written(const PayloadHeader& h) {
    Bytes out = WritePayloadHeader(h);
    if (h.definitionSize > 0 && h.definitionSize < 1000) out.resize(out.size() + h.definitionSize, 0x5A);
    return out;
}

int Read(const Bytes& bytes, PayloadHeader* out = nullptr) {
    PayloadHeader h;
    size_t length = 0;
    int code = ReadPayloadHeader(bytes, h, length);
    if (out) *out = h;
    return code;
}

} // namespace

TEST(PayloadHeader, WrittenFieldsReadBack) {
    for (bool withKey : {false, true}) {
        PayloadHeader h = Sample(withKey);
        Bytes bytes = Written(h);
        PayloadHeader back;
        size_t length = 0;
        ASSERT_EQ(ReadPayloadHeader(bytes, back, length), kPayloadOk);
        EXPECT_EQ(length, LayoutOf(h).definitionBlock);
        EXPECT_EQ(length, 4 + 5 + 8 * 4 + 3 * 4 + (withKey ? 56u : 0u));
        EXPECT_EQ(back.version, String8("51.0"));
        EXPECT_EQ(back.flags, h.flags);
        EXPECT_EQ(back.definitionSize, h.definitionSize);
        EXPECT_EQ(back.definitionChecksum, h.definitionChecksum);
        EXPECT_EQ(back.engineChecksum, h.engineChecksum);
        EXPECT_EQ(back.dataStreamEnd, h.dataStreamEnd);
        EXPECT_EQ(back.fileCount, h.fileCount);
        EXPECT_EQ(back.dataStreamSize, h.dataStreamSize);
        EXPECT_EQ(back.dataStreamChecksum, h.dataStreamChecksum);
        EXPECT_EQ(back.fileSizes, h.fileSizes);
        if (withKey) {
            EXPECT_EQ(back.cipherKey, h.cipherKey);
        }
    }
}

TEST(PayloadHeader, LayoutMatchesTheWrittenBytes) {
    PayloadHeader h = Sample(true);
    Bytes bytes = WritePayloadHeader(h);
    PayloadHeaderLayout l = LayoutOf(h);
    EXPECT_EQ(LoadLE32(&bytes[l.flags]), h.flags);
    EXPECT_EQ(LoadLE32(&bytes[l.definitionSize]), 8u);
    EXPECT_EQ(LoadLE32(&bytes[l.dataStreamChecksum]), h.dataStreamChecksum);
    EXPECT_EQ(LoadLE32(&bytes[l.fileSizes + 8]), static_cast<uint32_t>(kMaxFileSize));
    EXPECT_EQ(bytes[l.cipherKey], 200);
    EXPECT_EQ(bytes.size(), l.definitionBlock);
}

TEST(PayloadHeader, EachRuleGivesItsCode) {
    struct Case {
        const char* what;
        void (*damage)(PayloadHeader&);
        int expected;
    } cases[] = {
        {"bad magic", [](PayloadHeader& h) { h.magic = 0xA4F23DE4; }, kCodeMagic},
        {"other version", [](PayloadHeader& h) { h.version = "50.0"; }, kVersionMismatch},
        {"empty version", [](PayloadHeader& h) { h.version = ""; }, kVersionMismatch},
        {"definition size 0", [](PayloadHeader& h) { h.definitionSize = 0; }, kCodeDefinitionSize},
        {"definition size -1", [](PayloadHeader& h) { h.definitionSize = -1; }, kCodeDefinitionSize},
        {"definition size 0x3200000", [](PayloadHeader& h) { h.definitionSize = 0x3200000; },
         kCodeDefinitionSize},
        {"negative data stream end", [](PayloadHeader& h) { h.dataStreamEnd = -1; }, kCodeDataStreamEnd},
        {"negative file count", [](PayloadHeader& h) { h.fileCount = -1; }, kCodeFileCount},
        {"negative data stream size", [](PayloadHeader& h) { h.dataStreamSize = -5; }, kCodeDataStreamSize},
        {"file size 0x73333334", [](PayloadHeader& h) { h.fileSizes[1] = kMaxFileSize + 1; }, kCodeFileSize},
        {"negative file size", [](PayloadHeader& h) { h.fileSizes[2] = -1; }, kCodeFileSize},
        // Reported in reading order: the magic before the version, the size before the count.
        {"magic and version",
         [](PayloadHeader& h) {
             h.magic = 0;
             h.version = "1";
         },
         kCodeMagic},
        {"size and count",
         [](PayloadHeader& h) {
             h.definitionSize = 0;
             h.fileCount = -1;
         },
         kCodeDefinitionSize},
    };
    for (const Case& c : cases) {
        PayloadHeader h = Sample(false);
        c.damage(h);
        PayloadHeader back;
        EXPECT_EQ(Read(Written(h), &back), c.expected) << c.what;
        if (c.expected == kVersionMismatch) {
            EXPECT_EQ(back.version, h.version) << c.what;
        }
    }
}

TEST(PayloadHeader, CutOffByTheEndOfTheSection) {
    PayloadHeader h = Sample(true);
    Bytes full = Written(h);
    PayloadHeaderLayout l = LayoutOf(h);
    struct Case {
        size_t keep;
        int expected;
    } cases[] = {
        {0, kCodeMagic},
        {3, kCodeMagic},
        {7, kCodeMagic},                    // version without its NUL
        {l.definitionSize + 2, kCodeMagic}, // inside the fixed fields
        {l.fileSizes + 4, kCodeFileCount},  // part of the size table
        {l.cipherKey + 10, kCodeDefinitionSize},
        {full.size() - 1, kCodeDefinitionSize},
        {full.size(), kPayloadOk},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(Bytes(full.begin(), full.begin() + c.keep)), c.expected) << c.keep;
}

TEST(PayloadHeader, HugeFileCountDoesNotReadPastTheSection) {
    PayloadHeader h = Sample(false);
    Bytes bytes = Written(h);
    StoreLE32(&bytes[LayoutOf(h).fileCount], 0x7FFFFFFF);
    EXPECT_EQ(Read(bytes), kCodeFileCount);
}
