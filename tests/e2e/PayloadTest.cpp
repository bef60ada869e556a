// The engine reading its own payload under Wine: good installers of every kind run through,
// a damaged one ends with exit code 2 (a box unless silent), the bare stub says it holds
// no installation data.
#include "builder/InstallerWriter.h"
#include "builder/Reproducible.h"
#include "payload/DataStream.h"
#include "payload/DefinitionReader.h"
#include "payload/DefinitionTestSupport.h"
#include "payload/PayloadCodes.h"
#include "payload/PayloadHeader.h"
#include "payload/PayloadReader.h"
#include "support/Wine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace cs;
using namespace cs::e2e;

namespace {

Bytes ReadStub() {
    std::string data;
    EXPECT_TRUE(ReadFile(Engine(), data)) << Engine();
    return Bytes(data.begin(), data.end());
}

// Writes an installer made from the real stub into a fresh folder; returns its path.
std::string WriteInstaller(const PackInput& base, void (*damage)(Bytes&, const PackResult&) = nullptr) {
    PackInput input = base;
    input.stub = ReadStub();
    PackResult packed;
    std::string error;
    EXPECT_TRUE(PackInstaller(input, packed, error)) << error;
    if (damage) damage(packed.installer, packed);
    std::string path = TempDir() + "/setup.exe";
    EXPECT_TRUE(WriteFile(path, std::string(packed.installer.begin(), packed.installer.end())));
    return path;
}

// A valid installer: the smallest definition, two small files' sizes and a short stream.
PackInput Sample(uint32_t flags = 0, int integrityMode = 0, bool external = false) {
    Definition definition = test::MinimalDefinition();
    definition.pages.integrityMode = integrityMode;
    definition.externalData = external ? 1 : 0;
    std::string bytes, error;
    EXPECT_TRUE(WriteDefinition(definition, flags, bytes, error)) << error;
    PackInput input;
    input.definition.assign(bytes.begin(), bytes.end());
    input.flags = flags;
    input.externalData = external;
    // Two small files in one chunk, sealed when the flags ask for Blowfish.
    ChunkOptions options;
    Blowfish cipher;
    if (flags & kFlagBlowfish) {
        input.key = CipherKeyFromSeed(Sha256Of(input.definition));
        cipher.SetKey(input.key->data(), input.key->size());
        options.cipher = &cipher;
    }
    ChunkWriter chunks(input.dataStream, options);
    for (int32_t size : {5, 6}) {
        FileRecord record;
        record.name = u"file";
        record.size = size;
        Bytes head;
        EXPECT_TRUE(AppendFileRecord(head, record));
        EXPECT_TRUE(chunks.Add(head, error) && chunks.Add(Bytes(size_t(size), 0x42), error)) << error;
        input.fileSizes.push_back(size);
    }
    EXPECT_TRUE(chunks.Finish(error)) << error;
    return input;
}

void BadMagic(Bytes& file, const PackResult& p) {
    file[p.section.rawOffset] ^= 0xFF;
}

// Window texts appear in Wine's "win" trace: the test reads the message box text there.
class WindowTextTrace {
  public:
    WindowTextTrace() {
        const char* old = std::getenv("WINEDEBUG");
        saved_ = old ? old : "";
        setenv("WINEDEBUG", "-all,trace+win", 1);
    }
    ~WindowTextTrace() { setenv("WINEDEBUG", saved_.empty() ? "-all" : saved_.c_str(), 1); }

  private:
    std::string saved_;
};

struct BoxRun {
    bool shown = false;
    std::string title;
    std::string screenshot; // the screen while the box was up
    RunResult result;
};

// Runs a program that should show one message box, closes it with Return.
BoxRun RunAndCloseBox(const std::vector<std::string>& args) {
    WindowTextTrace trace;
    Process process(args);
    BoxRun run;
    std::optional<std::string> box = WaitForWindow("^Error$", 60);
    if (box) {
        run.shown = true;
        run.title = WindowName(*box);
        run.screenshot = Screenshot(TempDir() + "/box.png");
        PressKey(*box, "Return");
    }
    run.result = process.Wait(60);
    return run;
}

} // namespace

TEST(PayloadUnderWine, GoodInstallersOfEveryKindPass) {
    struct Case {
        const char* what;
        uint32_t flags;
        bool external;
    } cases[] = {
        {"XOR", 0, false},
        {"Blowfish", kFlagBlowfish, false},
        {"external data", 0, true},
        {"uninstaller copy without the section (flag 0x20)", kFlagEngineWithoutPayload | kFlagBlowfish, true},
    };
    for (const Case& c : cases) {
        RunResult r = RunWine({WriteInstaller(Sample(c.flags, 0, c.external)), "/silent"}, 60);
        ASSERT_FALSE(r.timedOut) << c.what << ": a box was shown: " << r.output;
        EXPECT_EQ(r.exitCode, 0) << c.what << r.output;
    }
}

TEST(PayloadUnderWine, IntegrityModes) {
    auto changedEngine = [](Bytes& file, const PackResult&) { file[0x400] ^= 1; };
    struct Case {
        const char* what;
        int mode;
        void (*damage)(Bytes&, const PackResult&);
        int exitCode;
    } cases[] = {
        {"mode 1, engine as built", 1, nullptr, 0},
        {"mode 1, an engine byte changed (40)", 1, changedEngine, 2},
        {"mode 0 does not look", 0, changedEngine, 0},
        {"mode 2, unsigned (1001)", 2, nullptr, 2},
        {"mode 3, unsigned (1101)", 3, nullptr, 2},
    };
    for (const Case& c : cases) {
        RunResult r = RunWine({WriteInstaller(Sample(0, c.mode), c.damage), "/silent"}, 60);
        ASSERT_FALSE(r.timedOut) << c.what;
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what << r.output;
    }
}

TEST(PayloadUnderWine, DamagedHeaderInSilentModeShowsNothingAndExits2) {
    RunResult r = RunWine({WriteInstaller(Sample(), BadMagic), "/silent"}, 60);
    ASSERT_FALSE(r.timedOut) << "a box was shown although silent";
    EXPECT_EQ(r.exitCode, 2);
}

TEST(PayloadUnderWine, DamagedDefinitionExits2) {
    // The block decompresses, but the stored checksum is another one: code 25.
    auto otherChecksum = [](Bytes& file, const PackResult& p) {
        StoreLE32(&file[p.section.rawOffset + LayoutOf(p.header).definitionChecksum], 0x12345678);
    };
    RunResult r = RunWine({WriteInstaller(Sample(kFlagBlowfish), otherChecksum), "/silent"}, 60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 2);
}

TEST(PayloadUnderWine, DamagedHeaderShowsTheCorruptInstallerBoxThenExits2) {
    BoxRun run = RunAndCloseBox({WriteInstaller(Sample(), BadMagic)});
    ASSERT_TRUE(run.shown) << "no message box appeared";
    EXPECT_EQ(run.title, "Error");
    RecordProperty("screenshot", run.screenshot);
    ASSERT_FALSE(run.result.timedOut);
    EXPECT_EQ(run.result.exitCode, 2);
    EXPECT_NE(run.result.output.find(
                  "L\"This installation program is corrupt.  This is usually caused by a faulty"),
              std::string::npos);
}

TEST(PayloadUnderWine, AfterTheDefinitionTheBoxSpeaksItsLanguage) {
    // Language strings 13 (message) and 21 (title); integrity mode 2 fails after the
    // definition is read, on an unsigned installer (code 1001 with the system error).
    Definition definition = test::MinimalDefinition(22);
    definition.languages.strings[13] = u"Das Installationsprogramm ist defekt.";
    definition.languages.strings[21] = u"Setup-Fehler";
    definition.pages.integrityMode = 2;
    std::string bytes, error;
    ASSERT_TRUE(WriteDefinition(definition, 0, bytes, error)) << error;
    PackInput input = Sample();
    input.definition.assign(bytes.begin(), bytes.end());

    WindowTextTrace trace;
    Process process({WriteInstaller(input)});
    std::optional<std::string> box = WaitForWindow("^Setup-Fehler$", 60);
    ASSERT_TRUE(box.has_value()) << "no box titled with language string 21";
    PressKey(*box, "Return");
    RunResult r = process.Wait(60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("L\"Das Installationsprogramm ist defekt.\\r\\nSystem error, code 0x800B0100: "),
              std::string::npos)
        << r.output.substr(0, 2000);
}

TEST(PayloadUnderWine, UninstallerCopyIsTheStubAndRuns) {
    // The copy the engine makes for flag 0x20 is the stub again (zero-padded to the file
    // alignment), and Windows runs it: as a bare stub it says it has no installation data.
    PackInput input = Sample(kFlagEngineWithoutPayload);
    std::string path = WriteInstaller(input);
    std::string data;
    ASSERT_TRUE(ReadFile(path, data));
    Bytes file(data.begin(), data.end());
    MemorySource source(file);
    PayloadInfo info;
    Bytes mapped, prefix, copy;
    ASSERT_EQ(ReadPayloadFile(source, info, mapped), kPayloadOk);
    ASSERT_EQ(ReadEnginePrefix(source, info, prefix), kPayloadOk);
    ASSERT_EQ(MakeEngineCopy(source, prefix, info, copy), kPayloadOk);
    Bytes stub = ReadStub();
    ASSERT_GE(copy.size(), stub.size());
    EXPECT_EQ(Bytes(copy.begin(), copy.begin() + static_cast<long>(stub.size())), stub);
    EXPECT_EQ(Bytes(copy.begin() + static_cast<long>(stub.size()), copy.end()),
              Bytes(copy.size() - stub.size(), 0));

    std::string copyPath = TempDir() + "/uninstaller.exe";
    ASSERT_TRUE(WriteFile(copyPath, std::string(copy.begin(), copy.end())));
    RunResult r = RunWine({copyPath, "/silent"}, 60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 255) << r.output;
}

TEST(PayloadUnderWine, BareStubSaysThereIsNoInstallationData) {
    BoxRun run = RunAndCloseBox({Engine()});
    ASSERT_TRUE(run.shown) << "no message box appeared";
    ASSERT_FALSE(run.result.timedOut);
    EXPECT_EQ(run.result.exitCode, 255); // the fatal path: -1
    EXPECT_NE(
        run.result.output.find("L\"This program performs installations and uninstallations.\\r\\nThere is no "
                               "installation data present."),
        std::string::npos);

    RunResult silent = RunWine({Engine(), "/silent"}, 60);
    ASSERT_FALSE(silent.timedOut) << "a box was shown although silent";
    EXPECT_EQ(silent.exitCode, 255);
}
