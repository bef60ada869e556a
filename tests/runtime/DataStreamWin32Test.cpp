// The engine's extraction on Windows: the extraction file made in the temporary folder,
// registered for deletion at restart, read back record by record through its handle, and
// deleted; damaged chunks and records end the process with exit code 2 and their code.
#include "builder/InstallerWriter.h"
#include "payload/FakePe.h"
#include "payload/PayloadReader.h"
#include "runtime/CorruptInstaller.h"
#include "runtime/Extraction.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>

using namespace cs;

namespace {

const wchar_t* W(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

Bytes Contents(size_t size, uint8_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 31 + (i >> 7));
    return b;
}

// An installer file on disk and the payload record the engine would have made from it.
struct Installer {
    String path;
    Bytes file;
    Bytes mapped;
    EnginePayload payload;
    std::vector<Bytes> contents;

    Installer(bool external, uint32_t optionWord1, void (*damage)(Bytes& stream) = nullptr,
              std::vector<int32_t> table = {}) {
        contents = {Contents(3000, 1), Bytes(), Contents(70000, 2)};
        PackInput input;
        input.stub = test::MakeFakeStub();
        input.definition = Bytes{'d'};
        input.externalData = external;
        ChunkOptions options;
        options.chunkSize = 4096;
        options.compress = (optionWord1 & kOpt1CompressedData) != 0;
        options.xzPreset = 0;
        ChunkWriter chunks(input.dataStream, options);
        std::string error;
        for (size_t i = 0; i < contents.size(); ++i) {
            FileRecord r;
            r.name = i == 0 ? u"first.bin" : i == 1 ? u"empty.txt" : u"third.dll";
            r.size = static_cast<int32_t>(contents[i].size());
            Bytes head;
            EXPECT_TRUE(AppendFileRecord(head, r));
            EXPECT_TRUE(chunks.Add(head, error) && chunks.Add(contents[i], error));
            input.fileSizes.push_back(r.size);
        }
        EXPECT_TRUE(chunks.Finish(error));
        if (damage) damage(input.dataStream);
        if (!table.empty()) input.fileSizes = table;
        PackResult packed;
        EXPECT_TRUE(PackInstaller(input, packed, error)) << error;
        file = packed.installer;
        EXPECT_EQ(ReadPayloadFile(MemorySource(file), payload.info, mapped), 0);
        payload.mapped = mapped;

        wchar_t folder[MAX_PATH], name[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"cst", 0, name);
        path = String(reinterpret_cast<const char16_t*>(name));
        HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD done = 0;
        WriteFile(h, file.data(), static_cast<DWORD>(file.size()), &done, nullptr);
        CloseHandle(h);
        payload.file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~Installer() {
        CloseHandle(static_cast<HANDLE>(payload.file));
        DeleteFileW(W(path));
    }
};

bool PendingDeletionNames(const String& path) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size);
    std::u16string value(size / 2 + 1, u'\0');
    RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(key);
    // Entries are NUL-separated "\??\C:\..." paths; the name part is enough.
    String file = path.Sub(path.View().find_last_of(u'\\') + 1);
    return value.find(file.View()) != std::u16string::npos;
}

void PrintBox(const String& message, const String&) {
    std::fprintf(stderr, "BOX{%s}|", reinterpret_cast<const char*>(NarrowLatin1(message).c_str()));
}
void Exit(int code) {
    std::fflush(stderr);
    std::_Exit(code);
}
uint32_t NoError() {
    return 0;
}
String NoText(uint32_t) {
    return {};
}

} // namespace

TEST(ExtractionWin32, ExtractsReadsBackAndDeletes) {
    for (bool external : {false, true}) {
        for (uint32_t optionWord1 : {0u, kOpt1CompressedData}) {
            SCOPED_TRACE(testing::Message() << "external " << external << ", option word 1 " << optionWord1);
            Installer setup(external, optionWord1);
            ExtractOrExit(setup.payload, optionWord1, external);
            String path = ExtractionFilePath();
            ASSERT_FALSE(path.IsEmpty());
            EXPECT_NE(GetFileAttributesW(W(path)), INVALID_FILE_ATTRIBUTES);
            EXPECT_TRUE(PendingDeletionNames(path)) << "registered for deletion at restart";
            EXPECT_EQ(LastExtractionStats().largestDecodedChunk, 4096u);

            HANDLE file = static_cast<HANDLE>(ExtractionFileHandle());
            for (size_t i = 0; i < setup.contents.size(); ++i) {
                FileRecord record;
                NextFileOrExit(setup.payload, i, record);
                EXPECT_EQ(record.size, static_cast<int32_t>(setup.contents[i].size()));
                // The first file is only half read: the next call still finds its record.
                size_t want = i == 0 ? setup.contents[i].size() / 2 : setup.contents[i].size();
                Bytes got(want);
                DWORD done = 0;
                ASSERT_TRUE(want == 0 ||
                            ReadFile(file, got.data(), static_cast<DWORD>(want), &done, nullptr));
                EXPECT_EQ(done, want);
                EXPECT_TRUE(std::equal(got.begin(), got.end(), setup.contents[i].begin())) << i;
            }
            DeleteExtractionFile();
            EXPECT_EQ(GetFileAttributesW(W(path)), INVALID_FILE_ATTRIBUTES);
            EXPECT_EQ(ExtractionFileHandle(), nullptr);
        }
    }
}

// The main sequence's hooks: the deletion list runs before the file is made, and the
// restart scheduler it passes receives the extraction file.
TEST(ExtractionWin32, StepsTheSequencePasses) {
    Installer setup(false, kOpt1CompressedData);
    std::vector<std::string> events;
    String scheduled;
    ExtractionSteps steps;
    steps.runDeletionList = [&] { events.push_back("deletions"); };
    steps.showStatus = [&](int n) { events.push_back("status " + std::to_string(n)); };
    steps.deleteAtRestart = [&](const String& path) {
        events.push_back("restart");
        scheduled = path;
        return true;
    };
    ExtractOrExit(setup.payload, kOpt1CompressedData, false, steps);
    EXPECT_EQ(events,
              (std::vector<std::string>{"status 62", "deletions", "status 29", "restart", "status 54"}));
    EXPECT_EQ(scheduled, ExtractionFilePath());
    DeleteExtractionFile();
}

TEST(ExtractionWin32DeathTest, DamageEndsWithItsCode) {
    struct Case {
        const char* what;
        void (*damage)(Bytes&);
        std::vector<int32_t> table;
        const char* code;
    } cases[] = {
        {"chunk checksum", [](Bytes& s) { s[20] ^= 1; }, {}, "Error code: 62"},
        {"chunk length 0", [](Bytes& s) { StoreLE32(s.data(), 0); }, {}, "Error code: 61"},
        {"size table", nullptr, {3000, 0, 69999}, "Error code: 73"},
    };
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                SetCorruptInstallerPlatform({NoError, NoText, PrintBox, Exit});
                Installer setup(false, 0, c.damage, c.table);
                ExtractOrExit(setup.payload, 0, false);
                FileRecord record;
                for (size_t i = 0; i < 3; ++i)
                    NextFileOrExit(setup.payload, i, record);
                std::fprintf(stderr, "no error|");
                Exit(0);
            },
            testing::ExitedWithCode(2), testing::HasSubstr(c.code))
            << c.what;
    }
}
