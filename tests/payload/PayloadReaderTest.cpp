// From the mapped section to the plain definition: the XOR and Blowfish paths, the
// checksum test, the engine checks and the trust-verification codes.
#include "payload/PayloadReader.h"
#include "payload/Crc32.h"
#include "payload/DefinitionReader.h"
#include "payload/DefinitionStream.h"
#include "payload/Integrity.h"
#include "payload/PayloadCodes.h"
#include "payload/XorStep.h"
#include "payload/Xz.h"

#include "payload/FakePe.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace cs;

namespace {

const Bytes kDefinition = [] {
    Bytes d;
    for (int i = 0; i < 3000; ++i)
        d.push_back(static_cast<uint8_t>("definition text "[i % 16] + i / 1000));
    return d;
}();

// A payload with the block made from `plain`: xz, then the XOR step keyed with `crc` or
// Blowfish with the sample key; `crc` is also what field 5 says.
Bytes MakePayload(ByteView plain, uint32_t crc, bool blowfish) {
    PayloadHeader h;
    h.flags = blowfish ? kFlagBlowfish : 0;
    for (size_t i = 0; i < h.cipherKey.size(); ++i)
        h.cipherKey[i] = static_cast<uint8_t>(i ^ 0x5C);
    Bytes block;
    EXPECT_TRUE(XzEncode(plain, block, 1));
    if (blowfish) {
        Blowfish cipher;
        cipher.SetKey(h.cipherKey.data(), h.cipherKey.size());
        block = BlowfishSeal(cipher, block);
    } else {
        XorStep(block.data(), block.size(), crc);
    }
    h.definitionSize = static_cast<int32_t>(block.size());
    h.definitionChecksum = crc;
    Bytes payload = WritePayloadHeader(h);
    Append(payload, block);
    return payload;
}

} // namespace

TEST(ReadPayload, XorAndBlowfishBlocksGiveThePlainDefinition) {
    for (bool blowfish : {false, true}) {
        Bytes payload = MakePayload(kDefinition, Crc32(kDefinition), blowfish);
        payload.resize(payload.size() + 77, 0); // the rest of the section
        PayloadInfo info;
        ASSERT_EQ(ReadPayload(payload, info), kPayloadOk) << blowfish;
        EXPECT_EQ(info.definition, kDefinition);
        EXPECT_EQ(info.dataStreamOffset, payload.size() - 77);
        EXPECT_EQ(info.cipher.HasKey(), blowfish);
        EXPECT_TRUE(DefinitionChecksumMatches(info, info.definition));
    }
}

TEST(ReadPayload, ChecksumIsTheXorKey) {
    // Field 5 keys the XOR step: a different value unscrambles into bytes that are no xz.
    Bytes payload = MakePayload(kDefinition, Crc32(kDefinition), false);
    StoreLE32(&payload[LayoutOf(4, 0, false).definitionChecksum], Crc32(kDefinition) ^ 0x100);
    PayloadInfo info;
    EXPECT_EQ(ReadPayload(payload, info), kCodeDecompress);
}

TEST(ReadPayload, DefinitionThatDecompressesWithAnotherChecksum) {
    // Scrambled with the stored value, which is not the plain text's CRC-32.
    Bytes payload = MakePayload(kDefinition, 0x12345678, false);
    PayloadInfo info;
    ASSERT_EQ(ReadPayload(payload, info), kPayloadOk);
    EXPECT_EQ(info.definition, kDefinition);
    EXPECT_FALSE(DefinitionChecksumMatches(info, info.definition));
}

TEST(DecodeDefinitionBlock, BlowfishTrailerOutOfRangeGivesAnEmptyDefinition) {
    PayloadHeader h;
    h.flags = kFlagBlowfish;
    Blowfish cipher;
    cipher.SetKey(h.cipherKey.data(), h.cipherKey.size());
    Bytes stored(32, 0);
    StoreLE32(&stored[28], 29); // more than total - 4
    cipher.Encrypt(stored.data(), stored.size());
    Bytes plain = {1};
    EXPECT_EQ(DecodeDefinitionBlock(stored, h, cipher, plain), kPayloadOk);
    EXPECT_TRUE(plain.empty());
    PayloadInfo info;
    info.header.definitionChecksum = Crc32(kDefinition);
    EXPECT_FALSE(DefinitionChecksumMatches(info, plain));
}

namespace {

// An installer of the fake stub whose header carries the right engine checksum: the engine
// prefix, then the payload.
struct ChecksummedInstaller {
    Bytes stub, prefix, file;
    SectionPlan plan;
};
ChecksummedInstaller MakeChecksummedInstaller() {
    ChecksummedInstaller built;
    built.stub = test::MakeFakeStub();
    Bytes payload = MakePayload(kDefinition, Crc32(kDefinition), false);
    std::string error;
    EXPECT_TRUE(
        PrepareSetupSection(built.stub, payload.size(), payload.size(), built.prefix, built.plan, error));
    StoreLE32(&payload[LayoutOf(4, 0, false).engineChecksum], EngineChecksum(built.prefix, 0x80));
    built.file = built.prefix;
    Append(built.file, payload);
    return built;
}

} // namespace

TEST(EngineChecks, PrefixChecksumAndCopy) {
    ChecksummedInstaller built = MakeChecksummedInstaller();
    const Bytes& stub = built.stub;
    const Bytes& prefix = built.prefix;
    const SectionPlan& plan = built.plan;
    Bytes file = built.file;
    file.resize(plan.rawOffset + plan.rawSize + 5, 0xEE); // 5 bytes behind the section

    MemorySource source(file);
    PayloadInfo info;
    Bytes mapped, enginePrefix, copy;
    ASSERT_EQ(ReadPayloadFile(source, info, mapped), kPayloadOk);
    ASSERT_EQ(ReadEnginePrefix(source, info, enginePrefix), kPayloadOk);
    EXPECT_EQ(enginePrefix, prefix);
    EXPECT_EQ(CheckEngineChecksum(enginePrefix, info), kPayloadOk);
    enginePrefix[0x400] ^= 1; // a changed engine byte
    EXPECT_EQ(CheckEngineChecksum(enginePrefix, info), kCodeEngineChecksum);
    enginePrefix[0x400] ^= 1;

    ASSERT_EQ(MakeEngineCopy(source, enginePrefix, info, copy), kPayloadOk);
    Bytes expected = cs::test::StubPaddedToPage(stub);
    expected.insert(expected.end(), 5, 0xEE);
    EXPECT_EQ(copy, expected);
}

// The engine part as the engine and inspect check it: the prefix read, then the check of the
// integrity mode (the checksum for 1, the signature for 2 and 3), then the copy for flag 0x20.
TEST(EngineChecks, PartByIntegrityModeInOrder) {
    ChecksummedInstaller installer = MakeChecksummedInstaller();
    const Bytes& stub = installer.stub;
    const SectionPlan& plan = installer.plan;
    const Bytes& built = installer.file;
    PayloadInfo read;
    Bytes mapped;
    ASSERT_EQ(ReadPayloadFile(MemorySource(built), read, mapped), kPayloadOk);

    struct Case {
        const char* what;
        int mode;
        bool changeEngine, withCopy, prefixUnreadable;
        int signatureCode; // what the platform's verification says; -1: no verification given
        int code;
        bool withSystemError;
        int verifiedMode; // the mode the verification was asked for; 0: not asked
    } cases[] = {
        {"mode 0 looks at nothing", 0, true, false, false, 1101, kPayloadOk, false, 0},
        {"mode 1, engine as built", 1, false, false, false, 1001, kPayloadOk, false, 0},
        {"mode 1, a changed engine byte", 1, true, false, false, 0, kCodeEngineChecksum, false, 0},
        {"mode 1 stops before the copy", 1, true, true, false, 0, kCodeEngineChecksum, false, 0},
        {"mode 2 asks the platform, not the checksum", 2, true, false, false, 0, kPayloadOk, false, 2},
        {"mode 2 failing carries the system error", 2, false, false, false, 1001, 1001, true, 2},
        {"mode 3 failing does not", 3, false, false, false, 1101, 1101, false, 3},
        {"mode 2 without a verification (inspect)", 2, false, false, false, -1, kPayloadOk, false, 0},
        {"the prefix cannot be read", 1, false, false, true, 0, kCodeEnginePrefix, true, 0},
        {"flag 0x20 makes the copy", 1, false, true, false, 0, kPayloadOk, false, 0},
    };
    for (const Case& c : cases) {
        Bytes file = built;
        if (c.changeEngine) file[0x400] ^= 1;
        PayloadInfo info = read;
        if (c.withCopy) info.header.flags |= kFlagEngineWithoutPayload;
        if (c.prefixUnreadable) info.section.rawOffset = static_cast<uint32_t>(file.size() + 1);
        int verifiedMode = 0;
        SignatureCheck verify;
        if (c.signatureCode >= 0)
            verify = [&](int mode) {
                verifiedMode = mode;
                return c.signatureCode;
            };
        Bytes enginePrefix, copy;
        EngineCheck check =
            CheckEnginePart(MemorySource(file), info, c.mode, false, verify, enginePrefix, copy);
        EXPECT_EQ(check.code, c.code) << c.what;
        EXPECT_EQ(check.withSystemError, c.withSystemError) << c.what;
        EXPECT_EQ(verifiedMode, c.verifiedMode) << c.what;
        if (!c.prefixUnreadable) {
            EXPECT_EQ(enginePrefix, Bytes(file.begin(), file.begin() + plan.rawOffset)) << c.what;
        }
        bool copied = c.withCopy && c.code == kPayloadOk;
        EXPECT_EQ(copy == test::StubPaddedToPage(stub), copied) << c.what;
    }
}

TEST(Integrity, TrustOutcomesToCodes) {
    struct Case {
        uint32_t outcome;
        int number, mode2, mode3;
    } cases[] = {
        {0, 0, 0, 0},
        {0x800B0100, 1, 1001, 1101}, // unsigned
        {0x800B0111, 2, 1002, 0},
        {0x800B0109, 3, 1003, 0},
        {0x800B0101, 4, 0, 0}, // expired passes mode 2
        {0x800B0106, 11, 0, 0},
        {0x80096010, 12, 1012, 1102}, // changed since signing
        {0x800B010A, 13, 0, 0},
        {0x800B010C, 14, 1014, 0},
        {0x800B0004, 16, 1016, 0},
        {0x800B0001, 17, 0, 0},
        {0x80070002, 18, 1018, 1100}, // file not found
    };
    for (const Case& c : cases) {
        int n = TrustResultNumber(c.outcome);
        EXPECT_EQ(n, c.number) << std::hex << c.outcome;
        EXPECT_EQ(TrustIntegrityCode(2, n, c.outcome), c.mode2) << std::hex << c.outcome;
        EXPECT_EQ(TrustIntegrityCode(3, n, c.outcome), c.mode3) << std::hex << c.outcome;
        EXPECT_EQ(TrustIntegrityCode(0, n, c.outcome), 0);
        EXPECT_EQ(TrustIntegrityCode(1, n, c.outcome), 0);
    }
    // A failing number passes mode 2 when the chain ends in an untrusted root.
    EXPECT_EQ(TrustIntegrityCode(2, 18, kTrustUntrustedRootChain), 0);
    EXPECT_EQ(TrustIntegrityCode(2, 19, 0x1234), 1019);
}

#ifdef CORVANTIS_SOURCE_DIR
// A payload whose block decodes to an empty definition: the text reads then start at no data
// at all, which must end in a read failure and never hand a null pointer to the C library
// (this input, found by the payload fuzz target, did; the sanitizer build stops on it).
TEST(PayloadReader, EmptyDecodedDefinitionReadsAsAFailure) {
    std::ifstream in(CORVANTIS_SOURCE_DIR "/tests/fuzz/seeds/payload/payload-ubsan-ztext8.bin",
                     std::ios::binary);
    ASSERT_TRUE(in);
    Bytes input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PayloadInfo info;
    ASSERT_EQ(ReadPayload(ByteView(input.data(), input.size()), info), kPayloadOk);
    ASSERT_TRUE(info.definition.empty());
    DefinitionEnvironment env;
    DefinitionState state;
    EXPECT_NE(ReadDefinition(info.definition.data(), info.definition.size(), env, state), 0);
}
#endif

// Every text read over no data at all (a null pointer, as an empty buffer gives) fails
// the same way as one past the end of real data: empty, exhausted.
TEST(DefinitionStream, TextReadsOverNoData) {
    String8 (*reads8[])(ByteReader&) = {
        [](ByteReader& r) { return r.ZText8(); },
        [](ByteReader& r) { return r.TextBytes(); },
        [](ByteReader& r) { return r.Blob4(); },
    };
    for (auto read : reads8) {
        ByteReader r(nullptr, 0);
        EXPECT_EQ(read(r), "");
        EXPECT_TRUE(r.Exhausted());
    }
    String (*reads16[])(ByteReader&) = {
        [](ByteReader& r) { return r.ZText16(); },
        [](ByteReader& r) { return r.Text(); },
        [](ByteReader& r) { return r.Text1(); },
        [](ByteReader& r) { return r.Text2(); },
    };
    for (auto read : reads16) {
        ByteReader r(nullptr, 0);
        EXPECT_EQ(read(r), u"");
        EXPECT_TRUE(r.Exhausted());
    }
}

// The header's version text at the very end of the view: no terminator, the magic code.
TEST(PayloadHeader, VersionTextAtTheEndOfTheView) {
    const uint8_t magicOnly[] = {uint8_t(kPayloadMagic), uint8_t(kPayloadMagic >> 8),
                                 uint8_t(kPayloadMagic >> 16), uint8_t(kPayloadMagic >> 24)};
    PayloadHeader h;
    size_t length = 0;
    EXPECT_EQ(ReadPayloadHeader(ByteView(magicOnly, sizeof magicOnly), h, length), kCodeMagic);
    EXPECT_EQ(ReadPayloadHeader(ByteView(), h, length), kCodeMagic);
}
