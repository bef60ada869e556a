// The file data stream: the builder writes records and chunks, the engine's reading steps
// give every record and every content byte back; every damaged part has its code.
#include "payload/DataStream.h"
#include "builder/InstallerWriter.h"
#include "builder/Project.h"
#include "builder/Reproducible.h"
#include "payload/Crc32.h"
#include "payload/FakePe.h"
#include "payload/PayloadCodes.h"
#include "payload/PayloadReader.h"
#include "payload/Xz.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

using namespace cs;

namespace {

namespace fs = std::filesystem;

Bytes Pattern(size_t size, uint32_t seed, bool compressible) {
    Bytes out(size);
    std::mt19937 random(seed);
    for (size_t i = 0; i < size; ++i)
        out[i] =
            compressible ? static_cast<uint8_t>("installer data "[i % 15]) : static_cast<uint8_t>(random());
    return out;
}

Blowfish TestCipher() {
    Blowfish cipher;
    uint8_t key[kCipherKeyBytes];
    for (size_t i = 0; i < sizeof key; ++i)
        key[i] = static_cast<uint8_t>(i * 7 + 3);
    cipher.SetKey(key, sizeof key);
    return cipher;
}

// A stored stream from decoded bytes, and a header that announces it.
struct Stream {
    Bytes bytes;
    PayloadHeader header;
};
Stream Announce(Bytes bytes, uint32_t flags = 0) {
    Stream s;
    s.bytes = std::move(bytes);
    s.header.flags = flags;
    s.header.dataStreamSize = static_cast<int32_t>(s.bytes.size());
    s.header.dataStreamChecksum = Crc32(s.bytes);
    return s;
}
void AddRawChunk(Bytes& stream, int32_t length, ByteView stored, bool goodChecksum = true) {
    AppendLE32(stream, static_cast<uint32_t>(length));
    AppendLE32(stream, Crc32(stored) ^ (goodChecksum ? 0 : 1));
    Append(stream, stored);
}

// Records the sizes the sink received.
class CountingSink final : public ExtractionSink {
  public:
    bool Write(const uint8_t* data, size_t size) override {
        writes.push_back(size);
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    std::vector<size_t> writes;
    Bytes bytes;
};

int Extract(const Stream& s, uint32_t optionWord1, Bytes* decoded = nullptr,
            const Blowfish& cipher = Blowfish()) {
    CountingSink sink;
    int code = ExtractDataStream(s.bytes, s.header, optionWord1, cipher, sink, {});
    if (decoded) *decoded = sink.bytes;
    return code;
}

// The extraction with `threads` decoding threads.
int ExtractOn(unsigned threads, const Stream& s, uint32_t optionWord1, ExtractionSink& sink,
              const Blowfish& cipher = Blowfish()) {
    ExtractionSteps steps;
    steps.decodeThreads = threads;
    return ExtractDataStream(s.bytes, s.header, optionWord1, cipher, sink, steps);
}

// A sink that refuses its `refuse`-th write (counted from 1).
class RefusingSink final : public ExtractionSink {
  public:
    explicit RefusingSink(size_t refuse) : refuse_(refuse) {}
    bool Write(const uint8_t*, size_t) override { return ++writes != refuse_; }
    size_t writes = 0;

  private:
    size_t refuse_;
};

FileRecord Record(const char16_t* name, int32_t size) {
    FileRecord r;
    r.name = name;
    r.size = size;
    r.kind = 3;
    r.flags = 0x80000001;
    r.attributes = 0x21;
    r.date = {2026, 12, 10, 3, 4, 5};
    r.msiValue = 0xFFFFFFFF;
    r.title = u"Title";
    r.destination = u"%InstallDir%\\bin\\";
    return r;
}

// Project files on disk for the builder.
class DataStreamFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("cs_datastream_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    ProjectFile Put(const std::string& name, const Bytes& contents) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   static_cast<std::streamsize>(contents.size()));
        ProjectFile f;
        f.source = (dir_ / name).string();
        f.name = Widen(name.c_str());
        return f;
    }
    fs::path dir_;
};

void ExpectSameRecord(const FileRecord& got, const ProjectFile& want, int32_t size) {
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.kind, want.kind);
    EXPECT_EQ(got.flags, want.flags);
    EXPECT_EQ(got.attributes, static_cast<uint32_t>(want.attributes));
    EXPECT_EQ(got.size, size);
    EXPECT_EQ(got.date, want.date);
    EXPECT_EQ(got.msiValue, static_cast<uint32_t>(want.msiValue));
    EXPECT_EQ(got.title, want.title);
    EXPECT_EQ(got.destination, want.destination);
    EXPECT_EQ(got.icon, want.icon);
    EXPECT_EQ(got.arguments, want.arguments);
    EXPECT_EQ(got.extra, want.extra);
}

} // namespace

// The builder's project to an installer, and back through the engine's steps: the stream
// located (mapped or external), checked, decoded, every record and its contents read.
TEST_F(DataStreamFiles, RoundTripThroughAnInstaller) {
    std::vector<Bytes> contents = {Pattern(70000, 1, true), Bytes(), Pattern(5000, 2, false), Bytes(1, 'x'),
                                   Pattern(300000, 3, false)};
    Project project;
    for (size_t i = 0; i < contents.size(); ++i) {
        ProjectFile f = Put("file" + std::to_string(i) + ".bin", contents[i]);
        f.kind = static_cast<int32_t>(i);
        f.flags = 0x100u << i;
        f.attributes = i == 0 ? -1 : 0x20;
        f.date = {2020 + int(i), 1 + int(i), 2, i == 1 ? -1 : 12, 30, 59};
        f.msiValue = int32_t(i * 11);
        f.title = u"T\u00e9";
        f.destination = u"%InstallDir%\\sub\\";
        f.icon = u"%InstallDir%\\app.ico";
        f.arguments = u"/x";
        f.extra = String(std::u16string(300, u'e')); // a text with the 16-bit length form
        project.files.push_back(f);
    }
    project.files[4].name = String(std::u16string(40000, u'n')); // the 32-bit length form
    project.xzPreset = 1;

    struct Case {
        const char* what;
        bool compress, blowfish, external;
        uint32_t chunkSize;
    } cases[] = {
        {"plain", false, false, false, 4096},      {"xz", true, false, false, 65536},
        {"blowfish", false, true, false, 1000},    {"xz and blowfish", true, true, false, 200000},
        {"external, xz", true, false, true, 4093}, {"external, blowfish", false, true, true, 100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        project.definition.optionWord1 = c.compress ? kOpt1CompressedData : 0;
        project.chunkSize = c.chunkSize;
        PackInput input;
        input.stub = test::MakeFakeStub();
        input.definition = Bytes{'d', 'e', 'f'};
        input.flags = c.blowfish ? kFlagBlowfish : 0;
        input.externalData = c.external;
        Blowfish writeCipher;
        if (c.blowfish) {
            input.key = CipherKeyFromSeed(Sha256Of(input.definition));
            writeCipher.SetKey(input.key->data(), input.key->size());
        }
        std::string error;
        ASSERT_TRUE(BuildDataStream(project, c.blowfish ? &writeCipher : nullptr, input.dataStream,
                                    input.fileSizes, error))
            << error;
        PackResult packed;
        ASSERT_TRUE(PackInstaller(input, packed, error)) << error;

        MemorySource file(packed.installer);
        PayloadInfo info;
        Bytes mapped;
        ASSERT_EQ(ReadPayloadFile(file, info, mapped), kPayloadOk);
        StreamPlacement where;
        ASSERT_EQ(PlaceDataStream(info.dataStreamOffset, info.header, mapped.size(), c.external,
                                  info.section.rawOffset, info.fileSize, where),
                  kPayloadOk);
        ByteView stream = c.external ? ByteView(packed.installer).subspan(where.offset, size_t(where.length))
                                     : ByteView(mapped).subspan(where.offset, size_t(where.length));
        CountingSink sink;
        DecodeStats stats;
        ASSERT_EQ(ExtractDataStream(stream, info.header, project.definition.optionWord1, info.cipher, sink,
                                    {}, &stats),
                  kPayloadOk);
        for (size_t n : sink.writes)
            EXPECT_LE(n, c.chunkSize); // one chunk decoded at a time
        EXPECT_LE(stats.largestDecodedChunk, c.chunkSize);
        EXPECT_GT(stats.chunks, 1u);
        // Side by side on three threads: the same writes, in the same order.
        CountingSink threaded;
        ExtractionSteps steps;
        steps.decodeThreads = 3;
        ASSERT_EQ(ExtractDataStream(stream, info.header, project.definition.optionWord1, info.cipher,
                                    threaded, steps),
                  kPayloadOk);
        EXPECT_EQ(threaded.writes, sink.writes);
        EXPECT_EQ(threaded.bytes, sink.bytes);

        MemoryExtractionSource extracted(sink.bytes);
        FileRecordReader records(extracted, info.header.fileSizes);
        uint64_t end = 0;
        for (size_t i = 0; i < contents.size(); ++i) {
            FileRecord r;
            ASSERT_EQ(records.Next(i, r), kPayloadOk) << i;
            ExpectSameRecord(r, project.files[i], int32_t(contents[i].size()));
            ASSERT_LE(records.ContentsOffset() + contents[i].size(), sink.bytes.size());
            EXPECT_TRUE(std::equal(contents[i].begin(), contents[i].end(),
                                   sink.bytes.begin() + ptrdiff_t(records.ContentsOffset())))
                << "contents of file " << i;
            end = records.ContentsOffset() + contents[i].size();
        }
        EXPECT_EQ(end, sink.bytes.size()); // nothing after the last file
    }
}

// Every chunk but the last holds exactly the chunk size; a record spans chunks freely.
TEST(ChunkWriter, CutsWholeChunksAndAShorterLast) {
    Bytes stream;
    ChunkOptions options;
    options.chunkSize = 10;
    ChunkWriter writer(stream, options);
    std::string error;
    Bytes data = Pattern(47, 9, false);
    ByteView all(data);
    ASSERT_TRUE(writer.Add(all.subspan(0, 3), error));
    ASSERT_TRUE(writer.Add(all.subspan(3, 1), error));
    ASSERT_TRUE(writer.Add(all.subspan(4, 26), error)); // fills one chunk and a whole second
    ASSERT_TRUE(writer.Add(all.subspan(30), error));
    ASSERT_TRUE(writer.Finish(error));
    EXPECT_EQ(writer.ChunkCount(), 5u);
    Stream s = Announce(stream);
    CountingSink sink;
    ASSERT_EQ(ExtractDataStream(s.bytes, s.header, 0, Blowfish(), sink, {}), kPayloadOk);
    EXPECT_EQ(sink.writes, (std::vector<size_t>{10, 10, 10, 10, 7}));
    EXPECT_EQ(sink.bytes, data);
}

// Each damaged part of the stream stops with its own code before anything more is written.
TEST(DataStreamDamage, EachFaultHasItsCode) {
    Bytes good;
    AddRawChunk(good, 5, Bytes{1, 2, 3, 4, 5});
    Bytes xzGarbage = Pattern(40, 4, false);
    Bytes packed;
    ASSERT_TRUE(XzEncode(Pattern(100, 5, true), packed));
    Bytes cut(packed.begin(), packed.end() - 5);
    Blowfish cipher = TestCipher();
    Bytes sealed = BlowfishSeal(cipher, Bytes{9, 9, 9});
    Bytes badTrailer = sealed;
    badTrailer.push_back(0); // no longer a whole number of blocks
    struct Case {
        const char* what;
        Bytes stream;
        uint32_t flags, optionWord1;
        int code;
    } cases[] = {
        {"length 0",
         [&] {
             Bytes s = good;
             AddRawChunk(s, 0, {});
             return s;
         }(),
         0, 0, kCodeChunkLength},
        {"negative length",
         [&] {
             Bytes s = good;
             AddRawChunk(s, -1, Bytes{1});
             return s;
         }(),
         0, 0, kCodeChunkLength},
        {"length one past the end",
         [&] {
             Bytes s;
             AddRawChunk(s, 5, Bytes{1, 2, 3, 4, 5});
             s[0] = 6;
             return s;
         }(),
         0, 0, kCodeChunkOverrun},
        {"a tail shorter than a chunk header",
         [&] {
             Bytes s = good;
             s.push_back(1);
             s.push_back(0);
             return s;
         }(),
         0, 0, kCodeChunkOverrun},
        {"checksum",
         [&] {
             Bytes s = good;
             AddRawChunk(s, 2, Bytes{7, 7}, false);
             return s;
         }(),
         0, 0, kCodeChunkChecksum},
        {"not xz",
         [&] {
             Bytes s;
             AddRawChunk(s, 40, xzGarbage);
             return s;
         }(),
         0, kOpt1CompressedData, kCodeChunkDecompress},
        {"xz cut short",
         [&] {
             Bytes s;
             AddRawChunk(s, int32_t(cut.size()), cut);
             return s;
         }(),
         0, kOpt1CompressedData, kCodeChunkDecompress},
        {"Blowfish blocks broken",
         [&] {
             Bytes s;
             AddRawChunk(s, int32_t(badTrailer.size()), badTrailer);
             return s;
         }(),
         kFlagBlowfish, 0, kCodeChunkDecompress},
        {"Blowfish fine",
         [&] {
             Bytes s;
             AddRawChunk(s, int32_t(sealed.size()), sealed);
             return s;
         }(),
         kFlagBlowfish, 0, kPayloadOk},
        {"xz without the option bit is plain",
         [&] {
             Bytes s;
             AddRawChunk(s, 40, xzGarbage);
             return s;
         }(),
         0, 0, kPayloadOk},
    };
    for (const Case& c : cases) {
        Stream s = Announce(c.stream, c.flags);
        Bytes decoded;
        EXPECT_EQ(Extract(s, c.optionWord1, &decoded, cipher), c.code) << c.what;
    }
    // The whole-stream checksum is tested before any chunk: a damaged chunk with the
    // header's checksum of the undamaged stream gives 55.
    Stream s = Announce(good);
    s.bytes[9] ^= 1;
    CountingSink sink;
    bool created = false;
    ExtractionSteps steps;
    steps.createTarget = [&] { return created = true; };
    EXPECT_EQ(ExtractDataStream(s.bytes, s.header, 0, Blowfish(), sink, steps), kCodeStreamChecksum);
    EXPECT_FALSE(created);
    EXPECT_TRUE(sink.bytes.empty());
}

// Decoded side by side, the chunks still reach the sink in stream order, one write each,
// with xz and with Blowfish and xz.
TEST(DataStreamThreads, ChunksReachTheSinkInOrder) {
    Bytes data = Pattern(30000, 7, false);
    Append(data, Pattern(30000, 8, true));
    Blowfish cipher = TestCipher();
    for (bool sealed : {false, true}) {
        Bytes stored;
        ChunkOptions options;
        options.chunkSize = 1000;
        options.compress = true;
        options.xzPreset = 0;
        options.cipher = sealed ? &cipher : nullptr;
        ChunkWriter writer(stored, options);
        std::string error;
        ASSERT_TRUE(writer.Add(data, error) && writer.Finish(error)) << error;
        Stream s = Announce(stored, sealed ? kFlagBlowfish : 0);
        for (unsigned threads = 1; threads <= 5; ++threads) {
            CountingSink sink;
            ASSERT_EQ(ExtractOn(threads, s, kOpt1CompressedData, sink, cipher), kPayloadOk) << threads;
            EXPECT_EQ(sink.writes, std::vector<size_t>(60, 1000)) << threads;
            EXPECT_EQ(sink.bytes, data) << threads;
        }
    }
}

// A fault stops the extraction with its code once the chunks before it are written, and
// nothing after it: the same with every number of threads. A chunk that does not decode
// counts before a fault found in a later chunk's header or checksum while it decoded.
TEST(DataStreamThreads, AFaultStopsAfterTheChunksBeforeIt) {
    Bytes before, stream;
    for (uint32_t i = 0; i < 6; ++i) {
        Bytes piece = Pattern(500 + i, 20 + i, i % 2 == 0), packed;
        ASSERT_TRUE(XzEncode(piece, packed, 0));
        AddRawChunk(stream, int32_t(packed.size()), packed);
        Append(before, piece);
    }
    Bytes garbage = Pattern(40, 4, false), tail;
    ASSERT_TRUE(XzEncode(Pattern(300, 5, true), tail, 0));
    struct Case {
        const char* what;
        std::function<void(Bytes&)> fault;
        int code;
    } cases[] = {
        {"not xz", [&](Bytes& s) { AddRawChunk(s, 40, garbage); }, kCodeChunkDecompress},
        {"checksum", [&](Bytes& s) { AddRawChunk(s, int32_t(tail.size()), tail, false); },
         kCodeChunkChecksum},
        {"length 0", [&](Bytes& s) { AddRawChunk(s, 0, {}); }, kCodeChunkLength},
        {"not xz, then a checksum",
         [&](Bytes& s) {
             AddRawChunk(s, 40, garbage);
             AddRawChunk(s, int32_t(tail.size()), tail, false);
         },
         kCodeChunkDecompress},
        {"not xz, then a tail too short for a header",
         [&](Bytes& s) {
             AddRawChunk(s, 40, garbage);
             s.push_back(1);
         },
         kCodeChunkDecompress},
    };
    for (const Case& c : cases) {
        Bytes damaged = stream;
        c.fault(damaged);
        AddRawChunk(damaged, int32_t(tail.size()), tail); // a good chunk after the fault
        Stream s = Announce(damaged);
        for (unsigned threads = 1; threads <= 4; ++threads) {
            CountingSink sink;
            EXPECT_EQ(ExtractOn(threads, s, kOpt1CompressedData, sink), c.code) << c.what << ", " << threads;
            EXPECT_EQ(sink.bytes, before) << c.what << ", " << threads;
        }
    }
}

// A sink that refuses a chunk stops the extraction there.
TEST(DataStreamThreads, ARefusedWriteStopsTheRest) {
    Bytes stream;
    for (int i = 0; i < 8; ++i)
        AddRawChunk(stream, 100, Pattern(100, uint32_t(i), false));
    Stream s = Announce(stream);
    for (unsigned threads = 1; threads <= 4; ++threads) {
        RefusingSink sink(3);
        EXPECT_EQ(ExtractOn(threads, s, 0, sink), kExtractionWriteFailed) << threads;
        EXPECT_EQ(sink.writes, 3u) << threads;
    }
}

// Chunks too large to decode side by side (stored, or decoded from a few stored bytes) decode
// one after another on the calling thread, from the first such chunk on: the result is the
// same as with one thread.
TEST(DataStreamThreads, LargeChunksDecodeOneAfterAnother) {
    const size_t large = (4u << 20) + 1;
    Bytes zeros(large, 0), packedZeros, small = Pattern(2000, 9, true), packedSmall;
    ASSERT_TRUE(XzEncode(zeros, packedZeros, 0));
    ASSERT_TRUE(XzEncode(small, packedSmall, 0));
    Bytes packedStream, plainStream, packedResult, plainResult;
    for (int i = 0; i < 7; ++i) {
        bool big = i == 3 || i == 5;
        AddRawChunk(packedStream, int32_t((big ? packedZeros : packedSmall).size()),
                    big ? packedZeros : packedSmall);
        Append(packedResult, big ? zeros : small);
        AddRawChunk(plainStream, int32_t((big ? zeros : small).size()), big ? zeros : small);
        Append(plainResult, big ? zeros : small);
    }
    const struct {
        const Bytes* stream;
        uint32_t optionWord1;
        const Bytes* result;
    } cases[] = {{&packedStream, kOpt1CompressedData, &packedResult}, {&plainStream, 0, &plainResult}};
    for (const auto& c : cases) {
        Stream s = Announce(*c.stream);
        for (unsigned threads : {1u, 3u}) {
            CountingSink sink;
            ASSERT_EQ(ExtractOn(threads, s, c.optionWord1, sink), kPayloadOk) << threads;
            EXPECT_EQ(sink.writes.size(), 7u) << threads;
            EXPECT_TRUE(sink.bytes == *c.result) << threads;
        }
    }
}

// The stream's place and length: mapped up to the data stream end, external to the file's end.
TEST(DataStreamPlacement, LengthMustBeTheAnnouncedSize) {
    PayloadHeader h;
    h.dataStreamEnd = 1100;
    h.dataStreamSize = 100;
    StreamPlacement where;
    EXPECT_EQ(PlaceDataStream(1000, h, 1100, false, 0x400, 0, where), kPayloadOk);
    EXPECT_EQ(where.offset, 1000u);
    EXPECT_EQ(where.length, 100);
    EXPECT_EQ(PlaceDataStream(1000, h, 1099, false, 0x400, 0, where), kCodeStreamLength); // past the section
    h.dataStreamSize = 99;
    EXPECT_EQ(PlaceDataStream(1000, h, 1100, false, 0x400, 0, where), kCodeStreamLength);
    h.dataStreamEnd = 900; // ends before it starts
    h.dataStreamSize = 0;
    EXPECT_EQ(PlaceDataStream(1000, h, 1100, false, 0x400, 0, where), kCodeStreamLength);
    // External: the rest of the file after the raw offset plus the stream offset.
    h.dataStreamSize = 76;
    EXPECT_EQ(PlaceDataStream(1000, h, 1000, true, 0x400, 0x400 + 1076, where), kPayloadOk);
    EXPECT_EQ(where.offset, 0x400u + 1000);
    EXPECT_EQ(PlaceDataStream(1000, h, 1000, true, 0x400, 0x400 + 1077, where), kCodeStreamLength);
    EXPECT_EQ(PlaceDataStream(1000, h, 1000, true, 0x400, 0x100, where), kCodeStreamLength); // file too short
}

// Edge cases: the empty stream, a last chunk that fits exactly.
TEST(DataStreamEdges, EmptyStreamAndExactLastChunk) {
    Bytes decoded{1};
    Stream empty = Announce({});
    EXPECT_EQ(Extract(empty, kOpt1CompressedData, &decoded), kPayloadOk);
    EXPECT_TRUE(decoded.empty());
    MemoryExtractionSource nothing(decoded);
    std::vector<int32_t> noSizes;
    FileRecordReader none(nothing, noSizes); // a file count of 0 reads no record

    Bytes exact;
    AddRawChunk(exact, 3, Bytes{4, 5, 6});
    EXPECT_EQ(Extract(Announce(exact), 0, &decoded), kPayloadOk);
    EXPECT_EQ(decoded, (Bytes{4, 5, 6}));
}

// Progress figures and status texts in the order of the extraction's steps.
TEST(DataStreamProgress, FiguresFollowTheBytesConsumed) {
    Bytes stream;
    AddRawChunk(stream, 12, Bytes(12, 1)); // 20 bytes with its header
    AddRawChunk(stream, 72, Bytes(72, 2)); // 80 bytes
    Stream s = Announce(stream);
    std::vector<std::string> events;
    ExtractionSteps steps;
    steps.waitStatusTime = [&] { events.push_back("wait"); };
    steps.showStatus = [&](int n) { events.push_back("status " + std::to_string(n)); };
    steps.setProgress = [&](int n) { events.push_back("progress " + std::to_string(n)); };
    steps.runDeletionList = [&] { events.push_back("deletions"); };
    steps.createTarget = [&] {
        events.push_back("create");
        return true;
    };
    for (unsigned threads : {1u, 2u}) {
        events.clear();
        steps.decodeThreads = threads;
        CountingSink sink;
        ASSERT_EQ(ExtractDataStream(s.bytes, s.header, 0, Blowfish(), sink, steps), kPayloadOk);
        EXPECT_EQ(events, (std::vector<std::string>{"wait", "status 62", "progress 21", "wait", "progress 26",
                                                    "deletions", "progress 27", "status 29", "create",
                                                    "progress 34", "progress 59", "status 54"}))
            << threads << " threads";
    }
    // A large stream: the figure is computed in 64 bits.
    EXPECT_EQ(DecodeProgress(0x7FFFFFFF, 0x7FFFFFFF), 59);
    EXPECT_EQ(DecodeProgress(0x40000000, 0x7FFFFFFF), 43);
}

// Next file: the record checks in their order, and a 0-byte file followed directly by the next.
TEST(FileRecords, ChecksAndPositions) {
    auto build = [](std::vector<FileRecord> records, std::vector<Bytes> contents) {
        Bytes out;
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_TRUE(AppendFileRecord(out, records[i]));
            Append(out, contents[i]);
        }
        return out;
    };
    Bytes decoded = build({Record(u"a", 0), Record(u"b", 3)}, {Bytes(), Bytes{7, 8, 9}});
    std::vector<int32_t> sizes{0, 3};
    MemoryExtractionSource source(decoded);
    FileRecordReader reader(source, sizes);
    std::vector<int> progress;
    FileRecord r;
    ASSERT_EQ(reader.Next(0, r, [&](int p) { progress.push_back(p); }), kPayloadOk);
    EXPECT_EQ(r.name, u"a");
    uint64_t first = reader.ContentsOffset();
    ASSERT_EQ(reader.Next(1, r, [&](int p) { progress.push_back(p); }), kPayloadOk);
    EXPECT_EQ(r.name, u"b");
    EXPECT_EQ(r.destination, u"%InstallDir%\\bin\\");
    EXPECT_EQ(r.date, (DateValue{2026, 12, 10, 3, 4, 5}));
    EXPECT_EQ(reader.ContentsOffset(), decoded.size() - 3);
    EXPECT_GT(reader.ContentsOffset(), first); // the second record starts where the empty contents end
    EXPECT_EQ(progress, (std::vector<int>{59, 74}));

    struct Case {
        const char* what;
        Bytes decoded;
        std::vector<int32_t> sizes;
        int code;
    } cases[] = {
        {"bad magic",
         [&] {
             Bytes d = decoded;
             d[0] ^= 1;
             return d;
         }(),
         sizes, kCodeRecordMagic},
        {"record cut off", Bytes(decoded.begin(), decoded.begin() + 30), sizes, kCodeRecordMagic},
        {"text cut off", Bytes(decoded.begin(), decoded.begin() + 52), sizes, kCodeRecordMagic},
        {"contents cut off", Bytes(decoded.begin(), decoded.end() - 1), sizes, kCodeRecordMagic},
        {"no name", build({Record(u"", 0)}, {Bytes()}), {0}, kCodeRecordName},
        {"table entry negative", decoded, {0, -1}, kCodeSizeNegative},
        {"table entry above 0x73333333", decoded, {0, 0x73333334}, kCodeSizeTooLarge},
        {"table entry differs", decoded, {0, 2}, kCodeSizeMismatch},
        {"second record's magic",
         [&] {
             Bytes d = decoded;
             d[first] ^= 1;
             return d;
         }(),
         sizes, kCodeRecordMagic},
    };
    for (const Case& c : cases) {
        MemoryExtractionSource s(c.decoded);
        FileRecordReader rr(s, c.sizes);
        int code = kPayloadOk;
        for (size_t i = 0; i < c.sizes.size() && code == kPayloadOk; ++i)
            code = rr.Next(i, r);
        EXPECT_EQ(code, c.code) << c.what;
    }
}

// The chunk size and the xz preset come from the project file, within their limits.
TEST(ProjectStreamOptions, ChunkSizeAndPresetFromTheProjectFile) {
    struct Case {
        const char* options;
        bool ok;
        uint32_t chunkSize, preset;
    } cases[] = {
        {"", true, kDefaultChunkSize, 6},
        {"chunk_size = 4096\nxz_preset = 0", true, 4096, 0},
        {"chunk_size = 0x10000000\nxz_preset = 9", true, 0x10000000, 9},
        {"chunk_size = 4095", false, 0, 0},
        {"chunk_size = 0x10000001", false, 0, 0},
        {"xz_preset = 10", false, 0, 0},
    };
    for (const Case& c : cases) {
        Project p;
        std::string error;
        bool ok = LoadProjectText(std::string("[product]\nname = \"X\"\n[options]\n") + c.options + "\n",
                                  "/nowhere/p.toml", p, error);
        EXPECT_EQ(ok, c.ok) << c.options << ": " << error;
        if (ok && c.ok) {
            EXPECT_EQ(p.chunkSize, c.chunkSize) << c.options;
            EXPECT_EQ(p.xzPreset, c.preset) << c.options;
        } else if (!c.ok) {
            EXPECT_NE(error.find(std::string(c.options).substr(0, 6)), std::string::npos) << error;
        }
    }
}
