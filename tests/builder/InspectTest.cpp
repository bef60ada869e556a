// `inspect` runs the engine's checks over damaged installers: one damage per code.
#include "builder/Inspect.h"
#include "builder/InstallerWriter.h"
#include "payload/Crc32.h"
#include "payload/DefinitionReader.h"
#include "payload/PayloadCodes.h"

#include "payload/DefinitionTestSupport.h"
#include "payload/FakePe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace cs;

namespace {

CipherKey SampleKey() {
    CipherKey key;
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<uint8_t>(0xC0 ^ i);
    return key;
}

struct Built {
    Bytes file;
    PackResult packed;
    size_t payload = 0; // file offset of the payload
    size_t entry = 0;   // file offset of the `.setup` section entry
    PayloadHeaderLayout layout;
    uint32_t peOffset = 0x80;

    void Put32(size_t at, uint32_t v) { StoreLE32(&file[at], v); }
    void Field(size_t layoutOffset, uint32_t v) { Put32(payload + layoutOffset, v); }
};

Built Build(int sections = 3, uint32_t peOffset = 0x80, uint32_t flags = 0) {
    PackInput input;
    input.stub = test::MakeFakeStub(sections, peOffset);
    for (int i = 0; i < 2000; ++i)
        input.definition.push_back(static_cast<uint8_t>("install "[i % 8]));
    input.flags = flags;
    input.key = SampleKey();
    input.fileSizes = {3, 4};
    input.dataStream = {1, 2, 3, 4, 5, 6, 7};
    Built b;
    std::string error;
    EXPECT_TRUE(PackInstaller(input, b.packed, error)) << error;
    b.file = b.packed.installer;
    b.payload = b.packed.section.rawOffset;
    b.peOffset = peOffset;
    b.entry = peOffset + 248 + 40 * sections;
    b.layout = LayoutOf(b.packed.header);
    return b;
}

struct DamageCase {
    const char* what;
    std::function<Built()> make;
    int expected;
};

Built Damaged(std::function<void(Built&)> damage, int sections = 3, uint32_t peOffset = 0x80,
              uint32_t flags = 0) {
    Built b = Build(sections, peOffset, flags);
    damage(b);
    return b;
}

// Rewrites the Blowfish block's length trailer to `length` (decrypt, patch, encrypt).
void SetTrailer(Built& b, uint32_t lengthFromEnd) {
    Blowfish cipher;
    cipher.SetKey(SampleKey().data(), SampleKey().size());
    uint8_t* block = &b.file[b.payload + b.layout.definitionBlock];
    size_t size = static_cast<size_t>(b.packed.header.definitionSize);
    cipher.Decrypt(block, size);
    StoreLE32(block + size - 4, static_cast<uint32_t>(size - lengthFromEnd));
    cipher.Encrypt(block, size);
}

std::string MemberLine(const std::string& json, const std::string& key) {
    size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos) return "<no " + key + ">";
    return json.substr(at, json.find(',', at) - at);
}

std::string ResultLine(const std::string& json) {
    return MemberLine(json, "result");
}

// An installer the engine accepts as a whole: a real definition with the integrity mode,
// no files, on the fake stub.
Bytes RealInstaller(int integrityMode, uint32_t flags = 0) {
    Definition definition = test::MinimalDefinition();
    definition.pages.integrityMode = integrityMode;
    std::string plain, error;
    EXPECT_TRUE(WriteDefinition(definition, flags, plain, error)) << error;
    PackInput input;
    input.stub = test::MakeFakeStub();
    input.definition.assign(plain.begin(), plain.end());
    input.flags = flags;
    PackResult packed;
    EXPECT_TRUE(PackInstaller(input, packed, error)) << error;
    return packed.installer;
}

void ChangeEngine(Bytes& file) {
    file[0x500] ^= 1; // a byte of the stub's code
}

} // namespace

TEST(Inspect, ReportsTheCodeOfEachDamage) {
    const DamageCase cases[] = {
        {"undamaged", [] { return Build(); }, kPayloadOk},
        {"PE header offset 63", [] { return Damaged([](Built& b) { b.Put32(60, 63); }); }, kCodePeOffset},
        {"PE header offset 64", [] { return Build(3, 64); }, kPayloadOk},
        {"PE header offset 4096", [] { return Build(3, 4096); }, kPayloadOk},
        {"PE header offset 4097", [] { return Damaged([](Built& b) { b.Put32(60, 4097); }); }, kCodePeOffset},
        {"3 sections", [] { return Damaged([](Built& b) { StoreLE16(&b.file[0x86], 3); }); },
         kCodeSectionCount},
        {"4 sections", [] { return Build(3); }, kPayloadOk},
        {"99 sections", [] { return Build(98); }, kPayloadOk},
        {"100 sections", [] { return Damaged([](Built& b) { StoreLE16(&b.file[0x86], 100); }, 98); },
         kCodeSectionCount},
        {"no .setup section", [] { return Damaged([](Built& b) { b.file[b.entry + 1] = 'S'; }); },
         kNoSetupSection},
        {"raw offset 0", [] { return Damaged([](Built& b) { b.Put32(b.entry + 20, 0); }); }, kCodeNoRawData},
        {"raw offset past the end",
         [] {
             return Damaged(
                 [](Built& b) { b.Put32(b.entry + 20, static_cast<uint32_t>(b.file.size() + 1)); });
         },
         kCodeSeek},
        {"bad magic", [] { return Damaged([](Built& b) { b.file[b.payload] ^= 0x80; }); }, kCodeMagic},
        {"another version text", [] { return Damaged([](Built& b) { b.file[b.payload + 5] = '0'; }); },
         kVersionMismatch},
        {"definition block size 0",
         [] { return Damaged([](Built& b) { b.Field(b.layout.definitionSize, 0); }); }, kCodeDefinitionSize},
        {"definition block size 0x3200000",
         [] { return Damaged([](Built& b) { b.Field(b.layout.definitionSize, 0x3200000); }); },
         kCodeDefinitionSize},
        {"definition block past the section",
         [] { return Damaged([](Built& b) { b.Field(b.layout.definitionSize, 0x100000); }); },
         kCodeDefinitionSize},
        {"negative data stream end",
         [] { return Damaged([](Built& b) { b.Field(b.layout.dataStreamEnd, ~0u); }); }, kCodeDataStreamEnd},
        {"negative file count",
         [] { return Damaged([](Built& b) { b.Field(b.layout.fileCount, 0x80000000); }); }, kCodeFileCount},
        {"negative data stream size",
         [] { return Damaged([](Built& b) { b.Field(b.layout.dataStreamSize, 0xFFFFFFF0); }); },
         kCodeDataStreamSize},
        {"file size 0x73333333",
         [] { return Damaged([](Built& b) { b.Field(b.layout.fileSizes + 4, 0x73333333); }); }, kPayloadOk},
        {"file size 0x73333334",
         [] { return Damaged([](Built& b) { b.Field(b.layout.fileSizes + 4, 0x73333334); }); },
         kCodeFileSize},
        {"definition decompresses but has another checksum",
         [] {
             return Damaged([](Built& b) { b.Field(b.layout.definitionChecksum, 0xDEADBEEF); }, 3, 0x80,
                            kFlagBlowfish);
         },
         kCodeDefinitionChecksum},
        {"Blowfish trailer at its lowest",
         [] { return Damaged([](Built& b) { SetTrailer(b, 12); }, 3, 0x80, kFlagBlowfish); },
         kCodeDecompress},
        {"Blowfish trailer out of range",
         [] { return Damaged([](Built& b) { SetTrailer(b, 13); }, 3, 0x80, kFlagBlowfish); },
         kCodeDefinitionChecksum},
        {"XOR block of length 4n+3",
         [] {
             return Damaged(
                 [](Built& b) { b.Field(b.layout.definitionSize, b.packed.header.definitionSize + 3); });
         },
         kCodeDecompress},
        {"definition block damaged",
         [] { return Damaged([](Built& b) { b.file[b.payload + b.layout.definitionBlock + 30] ^= 0x10; }); },
         kCodeDecompress},
    };
    for (const DamageCase& c : cases) {
        Built b = c.make();
        InspectReport report = InspectInstaller(b.file);
        EXPECT_EQ(report.code, c.expected) << c.what;
        std::string expectedLine = c.expected == kPayloadOk        ? "\"result\": \"ok\""
                                   : c.expected == kNoSetupSection ? "\"result\": \"no installation data\""
                                   : c.expected == kVersionMismatch
                                       ? "\"result\": \"version mismatch\""
                                       : "\"result\": " + std::to_string(c.expected);
        EXPECT_EQ(ResultLine(report.json), expectedLine) << c.what;
    }
}

TEST(Inspect, LargestDefinitionBlockSizePassesItsRule) {
    // A block of 0x31FFFFF bytes fits the size rule; these bytes are no xz, so the decoder
    // has the last word.
    PayloadHeader h;
    h.definitionSize = kMaxDefinitionBlockSize;
    Bytes payload = WritePayloadHeader(h);
    payload.resize(payload.size() + kMaxDefinitionBlockSize, 0);
    Bytes prefix;
    SectionPlan plan;
    std::string error;
    ASSERT_TRUE(
        PrepareSetupSection(test::MakeFakeStub(), payload.size(), payload.size(), prefix, plan, error));
    Append(prefix, payload);
    EXPECT_EQ(InspectInstaller(prefix).code, kCodeDecompress);
}

TEST(Inspect, EngineChecksumOfAChangedEngine) {
    Built b = Build();
    EXPECT_TRUE(InspectInstaller(b.file).engineChecksumMatches);
    b.file[0x500] ^= 1; // a byte of the stub's code
    InspectReport report = InspectInstaller(b.file);
    EXPECT_EQ(report.code, kPayloadOk); // only integrity mode 1 tests it
    EXPECT_FALSE(report.engineChecksumMatches);
    EXPECT_NE(report.json.find("\"checksumMatches\": false"), std::string::npos);
}

// The verdict is the engine's: after the container the definition, then the engine part as
// the definition's integrity mode asks, then the data stream; the first failure decides.
TEST(Inspect, VerdictFollowsTheEnginesChecksInOrder) {
    struct Case {
        const char* what;
        int mode;
        uint32_t flags;
        bool changeEngine;
        int verdict;
    } cases[] = {
        {"mode 0, engine as built", 0, 0, false, kPayloadOk},
        {"mode 0 does not look at the engine", 0, 0, true, kPayloadOk},
        {"mode 1, engine as built", 1, 0, false, kPayloadOk},
        {"mode 1, an engine byte changed", 1, 0, true, kCodeEngineChecksum},
        {"mode 1 with the uninstaller copy (flag 0x20)", 1, kFlagEngineWithoutPayload, false, kPayloadOk},
        {"mode 1 with the copy, an engine byte changed", 1, kFlagEngineWithoutPayload, true,
         kCodeEngineChecksum},
        {"mode 2 checks the signature, not the checksum", 2, 0, true, kPayloadOk},
        {"mode 3 checks the signature, not the checksum", 3, 0, true, kPayloadOk},
    };
    for (const Case& c : cases) {
        Bytes file = RealInstaller(c.mode, c.flags);
        if (c.changeEngine) ChangeEngine(file);
        InspectReport report = InspectInstaller(file);
        EXPECT_EQ(report.code, kPayloadOk) << c.what << ": the container passes";
        EXPECT_EQ(report.definitionCode, kPayloadOk) << c.what;
        EXPECT_EQ(report.engineChecksumMatches, !c.changeEngine) << c.what;
        EXPECT_EQ(report.engineCode, c.verdict) << c.what;
        EXPECT_EQ(report.verdict, c.verdict) << c.what;
        std::string verdict = c.verdict == kPayloadOk ? "\"ok\"" : std::to_string(c.verdict);
        EXPECT_EQ(MemberLine(report.json, "verdict"), "\"verdict\": " + verdict) << c.what;
        std::string engine = report.json.substr(report.json.find("\"engine\": "));
        EXPECT_EQ(ResultLine(engine), "\"result\": " + verdict) << c.what;
        EXPECT_EQ(MemberLine(engine, "integrityMode"), "\"integrityMode\": " + std::to_string(c.mode))
            << c.what;
        EXPECT_EQ(MemberLine(engine, "signature") == "\"signature\": null", c.mode < 2) << c.what;
    }

    // A definition the reader refuses stops the engine before its engine part: the verdict is
    // the reader's code, and the engine part has no result although its checksum differs.
    Built b = Build();
    ChangeEngine(b.file);
    InspectReport refused = InspectInstaller(b.file);
    EXPECT_EQ(refused.code, kPayloadOk);
    EXPECT_NE(refused.definitionCode, kPayloadOk);
    EXPECT_EQ(refused.verdict, refused.definitionCode);
    EXPECT_EQ(ResultLine(refused.json.substr(refused.json.find("\"engine\": "))), "\"result\": null");
    EXPECT_EQ(MemberLine(refused.json, "verdict"), "\"verdict\": " + std::to_string(refused.definitionCode));
}

TEST(Inspect, VersionTextIsShownAsJsonText) {
    // "5\"\xE9" (a quote and e-acute in code page 1252) in place of "51.0".
    Built b = Damaged([](Built& b) {
        b.file[b.payload + 5] = '"';
        b.file[b.payload + 6] = 0xE9;
        b.file[b.payload + 7] = '\n';
    });
    InspectReport report = InspectInstaller(b.file);
    EXPECT_EQ(report.code, kVersionMismatch);
    EXPECT_NE(report.json.find("\"version\": \"5\\\"\xC3\xA9\\n\""), std::string::npos) << report.json;
}

TEST(Inspect, ReportShowsPlacementAndEveryHeaderField) {
    Built b = Build(3, 0x80, kFlagBlowfish | 0x20);
    std::string json = InspectInstaller(b.file).json;
    for (const char* key :
         {"\"rawOffset\": ", "\"rawSize\": ", "\"virtualAddress\": ", "\"magic\": \"0xA4F23DE5\"",
          "\"version\": \"51.0\"", "\"flags\": \"0x00001020\"", "\"definitionSize\": ",
          "\"definitionChecksum\": ", "\"engineChecksum\": ", "\"dataStreamEnd\": ", "\"fileCount\": 2",
          "\"dataStreamSize\": 7", "\"dataStreamChecksum\": ", "\"fileSizes\": [\n",
          "\"cipherKey\": \"C0C1C2C3", "\"plainSize\": 2000"})
        EXPECT_NE(json.find(key), std::string::npos) << key << "\n" << json;
}

// The 64-bit engine is a PE32+ image; its installers read and check like the 32-bit ones.
TEST(Inspect, ReadsInstallersOfEitherEngine) {
    for (test::FakeImage image : {test::FakeImage::Pe32, test::FakeImage::Pe32Plus}) {
        PackInput input;
        input.stub = test::MakeFakeStub(3, 0x80, image);
        input.definition.assign(500, 'd');
        input.fileSizes = {2};
        input.dataStream = {1, 2};
        PackResult packed;
        std::string error;
        ASSERT_TRUE(PackInstaller(input, packed, error)) << error;
        InspectReport report = InspectInstaller(packed.installer);
        EXPECT_EQ(report.code, kPayloadOk) << report.json;
        EXPECT_TRUE(report.engineChecksumMatches);
        const char* expected =
            image == test::FakeImage::Pe32 ? "\"image\": \"PE32\"" : "\"image\": \"PE32+\"";
        EXPECT_NE(report.json.find(expected), std::string::npos) << report.json;
    }
}

#ifdef CORVANTIS_BUILD_TOOL
#include "builder/RunTool.h"

TEST(InspectCommand, PrintsTheReportAndExitsByTheVerdict) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("cs-inspect-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Bytes changedEngine = RealInstaller(1);
    ChangeEngine(changedEngine);
    struct Case {
        const char* name;
        Bytes file;
        int exitCode;
        const char* line;
        const char* verdict; // nullptr: not checked
    } cases[] = {
        // The definition bytes here are no real definition: the exit code of a passing
        // container also depends on the definition reader, so only the container's line counts.
        {"ok.exe", Build().file, -1, "\"result\": \"ok\"", nullptr},
        {"magic.exe", Damaged([](Built& b) { b.file[b.payload] = 0; }).file, 2, "\"result\": 20",
         "\"verdict\": 20"},
        {"stub.exe", test::MakeFakeStub(4), 2, "\"result\": \"no installation data\"",
         "\"verdict\": \"no installation data\""},
        {"real.exe", RealInstaller(1), 0, "\"result\": \"ok\"", "\"verdict\": \"ok\""},
        // Integrity mode 1: the container is sound, the engine stops at its checksum.
        {"checksum.exe", changedEngine, 2, "\"result\": \"ok\"", "\"verdict\": 40"},
    };
    for (const Case& c : cases) {
        fs::path path = dir / c.name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.file.data()), c.file.size());
        std::string command = std::string(CORVANTIS_BUILD_TOOL) + " inspect " + path.string();
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        int status = pclose(pipe);
        if (c.exitCode >= 0) {
            EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << c.name;
        }
        EXPECT_EQ(ResultLine(out), c.line) << c.name;
        if (c.verdict) {
            EXPECT_EQ(MemberLine(out, "verdict"), c.verdict) << c.name;
        }
    }
    std::string missing =
        std::string(CORVANTIS_BUILD_TOOL) + " inspect " + (dir / "missing.exe").string() + " 2>&1";
    FILE* pipe = popen(missing.c_str(), "r");
    char buffer[512] = {};
    size_t n = fread(buffer, 1, sizeof buffer - 1, pipe);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1);
    EXPECT_NE(std::string(buffer, n).find("cannot read"), std::string::npos);
    fs::remove_all(dir);
}

TEST(PackCommand, OptionsReachTheInstaller) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("cs-pack-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Bytes stub = test::MakeFakeStub();
    std::ofstream(dir / "stub.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(stub.data()), stub.size());
    std::ofstream(dir / "def.bin", std::ios::binary) << "a raw definition";
    std::ofstream(dir / "stream.bin", std::ios::binary) << "0123456789";
    const std::string common = "pack --stub " + (dir / "stub.exe").string() + " --definition " +
                               (dir / "def.bin").string() + " -o " + (dir / "out.exe").string();
    const std::string key(112, 'A');
    std::string out;
    ASSERT_EQ(RunTool(common + " --blowfish --key " + key + " --flags 0x20 --data-stream " +
                          (dir / "stream.bin").string() + " --file-size 4 --file-size 6 --external-data",
                      out),
              0)
        << out;
    // The verdict line is the container's; the raw definition decides the exit code.
    RunTool("inspect " + (dir / "out.exe").string(), out);
    EXPECT_NE(out.find("\"result\": \"ok\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"flags\": \"0x00001020\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"cipherKey\": \"" + std::string(112, 'A') + "\""), std::string::npos);
    EXPECT_NE(out.find("\"dataStreamSize\": 10"), std::string::npos);
    EXPECT_NE(out.find("\"fileCount\": 2"), std::string::npos);

    struct Bad {
        std::string arguments, message;
    } bad[] = {
        {common + " --key " + key, "--key needs --blowfish"},
        {common + " --blowfish --key ABC", "112 hex digits"},
        {common + " --file-size 1932735284", "file size"}, // 0x73333334
        {"pack --stub " + (dir / "missing.exe").string() + " --definition x -o y", "cannot read the stub"},
    };
    for (const Bad& b : bad) {
        EXPECT_EQ(RunTool(b.arguments, out), 1) << b.arguments;
        EXPECT_NE(out.find(b.message), std::string::npos) << out;
    }
    fs::remove_all(dir);
}
#endif
