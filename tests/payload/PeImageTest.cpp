// Finding `.setup` as the engine does, adding it to a stub, and taking it out again.
#include "payload/PeImage.h"
#include "payload/PayloadCodes.h"

#include "payload/FakePe.h"

#include <gtest/gtest.h>

using namespace cs;
using cs::test::FakeImage;
using cs::test::MakeFakeStub;

namespace {

// A stub with a `.setup` section holding `payload`, the bytes padded to the raw size.
Bytes WithSection(const Bytes& stub, const Bytes& payload, SectionPlan* planOut = nullptr) {
    Bytes prefix;
    SectionPlan plan;
    std::string error;
    EXPECT_TRUE(PrepareSetupSection(stub, payload.size(), payload.size(), prefix, plan, error)) << error;
    Append(prefix, payload);
    prefix.resize(plan.rawOffset + plan.rawSize, 0);
    if (planOut) *planOut = plan;
    return prefix;
}

int Locate(const Bytes& file, SetupSection* out = nullptr) {
    SetupSection section;
    int code = LocateSetupSection(MemorySource(file), section);
    if (out) *out = section;
    return code;
}

const Bytes kPayload(100, 0xAB);

} // namespace

TEST(LocateSetupSection, FindsTheSectionTheBuilderAdded) {
    SectionPlan plan;
    Bytes file = WithSection(MakeFakeStub(), kPayload, &plan);
    SetupSection s;
    ASSERT_EQ(Locate(file, &s), kPayloadOk);
    EXPECT_EQ(s.index, 3);
    EXPECT_EQ(s.peOffset, 0x80u);
    EXPECT_EQ(s.rawOffset, plan.rawOffset);
    EXPECT_EQ(s.rawSize, plan.rawSize);
    EXPECT_EQ(s.virtualAddress, plan.virtualAddress);
    EXPECT_EQ(s.virtualSize, plan.virtualSize);
    Bytes mapped;
    ASSERT_TRUE(ReadMappedSection(MemorySource(file), s, mapped));
    EXPECT_EQ(Bytes(mapped.begin(), mapped.begin() + 100), kPayload);
}

TEST(LocateSetupSection, HeaderLimits) {
    struct Case {
        const char* what;
        int sections;
        uint32_t stubPeOffset;
        int32_t peOffsetPatch; // -1: keep
        int32_t countPatch;    // -1: keep
        int expected;
    } cases[] = {
        {"PE offset 63", 3, 0x80, 63, -1, kCodePeOffset},
        {"PE offset 64", 3, 64, -1, -1, kPayloadOk},
        {"PE offset 4096", 3, 4096, -1, -1, kPayloadOk},
        {"PE offset 4097", 3, 0x80, 4097, -1, kCodePeOffset},
        {"PE offset 0", 3, 0x80, 0, -1, kCodePeOffset},
        {"only the low 16 bits count", 3, 0x80, 0x10080, -1, kPayloadOk},
        {"3 sections", 3, 0x80, -1, 3, kCodeSectionCount},
        {"4 sections", 3, 0x80, -1, -1, kPayloadOk},
        {"99 sections", 98, 0x80, -1, -1, kPayloadOk},
        {"100 sections", 98, 0x80, -1, 100, kCodeSectionCount},
        {"0 sections", 3, 0x80, -1, 0, kCodeSectionCount},
    };
    for (const Case& c : cases) {
        Bytes file = WithSection(MakeFakeStub(c.sections, c.stubPeOffset), kPayload);
        if (c.peOffsetPatch >= 0) StoreLE32(&file[60], static_cast<uint32_t>(c.peOffsetPatch));
        if (c.countPatch >= 0) StoreLE16(&file[c.stubPeOffset + 6], static_cast<uint16_t>(c.countPatch));
        EXPECT_EQ(Locate(file), c.expected) << c.what;
    }
}

TEST(LocateSetupSection, FileCutShortOrMissingSection) {
    Bytes file = WithSection(MakeFakeStub(), kPayload);
    EXPECT_EQ(Locate(Bytes(file.begin(), file.begin() + 61)), kCodePeOffset);
    EXPECT_EQ(Locate(Bytes(file.begin(), file.begin() + 0x80 + 7)), kCodeSectionCount);
    EXPECT_EQ(Locate(MakeFakeStub(4)), kNoSetupSection);
    // The name is compared as a NUL-terminated text of the 8-byte field.
    Bytes longer = file;
    longer[0x80 + 248 + 3 * 40 + 6] = 'x'; // ".setupx"
    EXPECT_EQ(Locate(longer), kNoSetupSection);
}

TEST(LocateSetupSection, FirstMatchWinsAndRawDataRules) {
    SectionPlan plan;
    Bytes file = WithSection(MakeFakeStub(), kPayload, &plan);
    uint8_t* entry = &file[0x80 + 248 + 3 * 40];
    Bytes zero = file;
    StoreLE32(&zero[0x80 + 248 + 3 * 40 + 20], 0);
    EXPECT_EQ(Locate(zero), kCodeNoRawData);
    Bytes beyond = file;
    StoreLE32(&beyond[0x80 + 248 + 3 * 40 + 20], static_cast<uint32_t>(file.size() + 1));
    EXPECT_EQ(Locate(beyond), kCodeSeek);
    // An earlier section renamed `.setup` is the one found.
    Bytes twice = file;
    std::memcpy(&twice[0x80 + 248 + 40], entry, 8);
    SetupSection s;
    EXPECT_EQ(Locate(twice, &s), kPayloadOk);
    EXPECT_EQ(s.index, 1);
}

TEST(ReadMappedSection, CutToVirtualSizeRawSizeAndEndOfFile) {
    SetupSection s;
    Bytes file = WithSection(MakeFakeStub(), kPayload);
    ASSERT_EQ(Locate(file, &s), kPayloadOk);
    Bytes mapped;
    s.virtualSize = 50;
    ASSERT_TRUE(ReadMappedSection(MemorySource(file), s, mapped));
    EXPECT_EQ(mapped, Bytes(50, 0xAB));
    s.virtualSize = 0xFFFFFFFF; // zero fill past the raw data holds no payload
    ASSERT_TRUE(ReadMappedSection(MemorySource(file), s, mapped));
    EXPECT_EQ(mapped.size(), s.rawSize);
    Bytes cut(file.begin(), file.begin() + s.rawOffset + 60);
    ASSERT_TRUE(ReadMappedSection(MemorySource(cut), s, mapped));
    EXPECT_EQ(mapped, Bytes(60, 0xAB));
}

TEST(PrepareSetupSection, HeadersOfTheNewSection) {
    Bytes stub = MakeFakeStub();
    SectionPlan plan;
    Bytes file = WithSection(stub, Bytes(5000, 1), &plan);
    const uint8_t* h = &file[0x80];
    EXPECT_EQ(plan.rawOffset, 0x1000u);      // the stub's 0xA00 bytes, padded to a page
    EXPECT_EQ(plan.rawSize, 0x2000u);        // whole pages
    EXPECT_EQ(plan.virtualAddress, 0x4000u); // the stub's image size
    EXPECT_EQ(LoadLE16(h + 6), 4);
    EXPECT_EQ(LoadLE32(h + kPeSizeOfImage), 0x6000u);
    EXPECT_EQ(LoadLE32(h + kPeSizeOfInitializedData), 0x600u + 0x2000u);
    EXPECT_EQ(file.size(), plan.rawOffset + plan.rawSize);
}

TEST(PrepareSetupSection, ExternalStreamKeepsTheRawDataInsideTheFile) {
    Bytes stub = MakeFakeStub(), prefix;
    SectionPlan plan;
    std::string error;
    // 600 mapped bytes, 100 more in the file: a page would run past the end.
    ASSERT_TRUE(PrepareSetupSection(stub, 600, 700, prefix, plan, error));
    EXPECT_EQ(plan.rawSize, 700u);
    ASSERT_TRUE(PrepareSetupSection(stub, 600, 100000, prefix, plan, error));
    EXPECT_EQ(plan.rawSize, 0x1000u);
    ASSERT_TRUE(PrepareSetupSection(stub, 600, 2000, prefix, plan, error));
    EXPECT_EQ(plan.rawSize, 0x400u);
}

TEST(PrepareSetupSection, RejectsStubsThatCannotTakeTheSection) {
    Bytes prefix;
    SectionPlan plan;
    std::string error;
    Bytes notExe = MakeFakeStub();
    notExe[0] = 'X';
    Bytes withSetup = WithSection(MakeFakeStub(), kPayload);
    Bytes noRoom = MakeFakeStub();
    StoreLE32(&noRoom[0x80 + kPeSizeOfHeaders], 0x80 + 248 + 3 * 40 + 40); // table fills the headers
    Bytes romImage = MakeFakeStub();
    StoreLE16(&romImage[0x80 + kPeOptionalMagic], 0x107);
    Bytes tooFew = MakeFakeStub(2);
    Bytes cutHeaders = MakeFakeStub();
    cutHeaders.resize(0x80 + 200); // the section table and the header area are missing
    for (const Bytes* stub : {&notExe, &withSetup, &noRoom, &romImage, &tooFew, &cutHeaders}) {
        error.clear();
        EXPECT_FALSE(PrepareSetupSection(*stub, 100, 100, prefix, plan, error));
        EXPECT_FALSE(error.empty());
    }
}

// The 64-bit engine is a PE32+ image: its optional header is 16 bytes longer, so the section
// table lies further on, while every field the section steps touch keeps its offset.
TEST(PrepareSetupSection, Pe32PlusStubRoundTrip) {
    Bytes stub = MakeFakeStub(3, 0x80, FakeImage::Pe32Plus);
    EXPECT_STREQ(PeImageFormat(MemorySource(stub), 0x80), "PE32+");
    SectionPlan plan;
    Bytes file = WithSection(stub, kPayload, &plan);
    SetupSection s;
    ASSERT_EQ(Locate(file, &s), kPayloadOk);
    EXPECT_EQ(s.sectionTable, 0x80u + 24 + 240);
    EXPECT_EQ(s.rawOffset, plan.rawOffset);
    EXPECT_EQ(s.index, 3);
    Bytes copy;
    ASSERT_TRUE(BuildEngineCopy(ByteView(file).first(s.rawOffset), {}, s, copy));
    EXPECT_EQ(copy, cs::test::StubPaddedToPage(stub));
}

TEST(PeImageFormat, FromTheOptionalHeaderMagic) {
    Bytes pe32 = MakeFakeStub();
    EXPECT_STREQ(PeImageFormat(MemorySource(pe32), 0x80), "PE32");
    Bytes other = MakeFakeStub();
    StoreLE16(&other[0x80 + kPeOptionalMagic], 0x107);
    EXPECT_STREQ(PeImageFormat(MemorySource(other), 0x80), "");
    Bytes cut(pe32.begin(), pe32.begin() + 0x80 + 20);
    EXPECT_STREQ(PeImageFormat(MemorySource(cut), 0x80), "");
}

TEST(EngineCopy, RemovingTheSectionGivesTheStubBack) {
    Bytes stub = MakeFakeStub();
    Bytes file = WithSection(stub, kPayload);
    SetupSection s;
    ASSERT_EQ(Locate(file, &s), kPayloadOk);
    Bytes copy;
    ASSERT_TRUE(BuildEngineCopy(ByteView(file).first(s.rawOffset), {}, s, copy));
    EXPECT_EQ(copy, cs::test::StubPaddedToPage(stub));
}

TEST(EngineCopy, LaterSectionsMoveDownAndTheirDataFollows) {
    // `.setup` in the middle: entry 1 of 4 (hand-made: rename entry 1 of a 4-section stub).
    Bytes file = MakeFakeStub(4);
    const uint32_t table = 0x80 + 248;
    std::memcpy(&file[table + 40], ".setup\0\0", 8);
    SetupSection s;
    ASSERT_EQ(Locate(file, &s), kPayloadOk);
    ASSERT_EQ(s.index, 1);
    Bytes tail(file.begin() + s.rawOffset + s.rawSize, file.end());
    Bytes copy;
    ASSERT_TRUE(BuildEngineCopy(ByteView(file).first(s.rawOffset), tail, s, copy));
    EXPECT_EQ(copy.size(), file.size() - 0x200);
    EXPECT_EQ(LoadLE16(&copy[0x80 + 6]), 3);
    EXPECT_EQ(LoadLE32(&copy[0x80 + kPeSizeOfInitializedData]), 0x600u);
    for (int i = 1; i < 3; ++i) {
        const uint8_t* e = &copy[table + 40 * i];
        EXPECT_EQ(e[2], '0' + i + 1) << "entry " << i << " is the old entry " << i + 1;
        uint32_t raw = LoadLE32(e + 20);
        EXPECT_EQ(copy[raw], i + 2) << "raw data of entry " << i << " points at its bytes";
    }
    EXPECT_EQ(Bytes(&copy[table + 120], &copy[table + 160]), Bytes(40, 0)); // freed slot
}

TEST(EngineCopy, TheInstallersSignatureIsDropped) {
    Bytes stub = MakeFakeStub();
    Bytes file = WithSection(stub, kPayload);
    SetupSection s;
    ASSERT_EQ(Locate(file, &s), kPayloadOk);
    const uint32_t entry = 0x80 + 24 + 128; // PE32: certificate table entry
    struct Case {
        const char* what;
        Bytes beforeCertificate; // bytes of the tail ahead of the certificate
        bool certificateInTail;
    } cases[] = {
        {"certificate right behind the section", {}, true},
        {"other bytes, then the certificate", Bytes(24, 0x5A), true},
        {"entry pointing into the engine", {}, false},
    };
    for (const Case& c : cases) {
        Bytes signedFile = file;
        Append(signedFile, c.beforeCertificate);
        const Bytes certificate(32, 0xC5);
        uint32_t offset = c.certificateInTail ? uint32_t(signedFile.size()) : 0x200;
        StoreLE32(&signedFile[entry], offset);
        StoreLE32(&signedFile[entry + 4], uint32_t(certificate.size()));
        Append(signedFile, certificate);
        uint32_t read = 0, size = 0;
        ASSERT_TRUE(ReadCertificateTable(signedFile, 0x80, read, size));
        EXPECT_EQ(read, offset);

        Bytes tail(signedFile.begin() + s.rawOffset + s.rawSize, signedFile.end());
        Bytes copy;
        ASSERT_TRUE(BuildEngineCopy(ByteView(signedFile).first(s.rawOffset), tail, s, copy)) << c.what;
        ASSERT_TRUE(ReadCertificateTable(copy, 0x80, read, size));
        EXPECT_EQ(read, 0u) << c.what;
        EXPECT_EQ(size, 0u) << c.what;
        Bytes expected = cs::test::StubPaddedToPage(stub);
        Append(expected, c.beforeCertificate);
        if (!c.certificateInTail) Append(expected, certificate); // not ours to cut
        EXPECT_EQ(copy, expected) << c.what;
    }
}

TEST(EngineChecksum, CoversEverythingAfterThePeChecksumField) {
    Bytes prefix = MakeFakeStub();
    uint32_t sum = EngineChecksum(prefix, 0x80);
    Bytes changed = prefix;
    changed[0x80 + kPeChecksum] ^= 1; // the PE checksum itself is not covered
    changed[10] ^= 1;                 // nor is the DOS header
    EXPECT_EQ(EngineChecksum(changed, 0x80), sum);
    changed[0x80 + kPeEngineChecksumStart] ^= 1;
    EXPECT_NE(EngineChecksum(changed, 0x80), sum);
    changed = prefix;
    changed.back() ^= 1;
    EXPECT_NE(EngineChecksum(changed, 0x80), sum);
}
