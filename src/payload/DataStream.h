// The file data stream: the file records (fixed fields, six texts, contents) and the chunks
// that carry them (stored length, CRC-32, stored bytes; Blowfish and xz per chunk). Each
// format has its writer (the builder) beside its reader (the engine and `inspect`).
//
//   chunk:  length n i32 | CRC-32 of the n stored bytes u32 | n stored bytes
//   record: magic 0x600FFEE1 | kind i32 | flags u32 | attributes u32 | size i32 |
//           date (6 x i32) | MSI value u32 | name, title, destination, icon, arguments,
//           extra (variable-length texts) | size bytes of contents
//
// Chunk boundaries carry no meaning: the decoded bytes of all chunks, in order, are the
// records one after the other.
#pragma once

#include "core/String.h"
#include "payload/Blowfish.h"
#include "payload/ByteSource.h"
#include "payload/Bytes.h"
#include "payload/Definition.h"
#include "payload/PayloadHeader.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cs {

constexpr uint32_t kFileRecordMagic = 0x600FFEE1;
constexpr size_t kFileRecordFixedBytes = 48;
constexpr size_t kChunkHeaderBytes = 8;
constexpr uint32_t kDefaultChunkSize = 1 << 20; // decoded bytes per chunk the builder writes

// Corrupt-installer codes of the data stream and its records.
constexpr int kCodeStreamLength = 46;       // the stream has not the announced size
constexpr int kCodeStreamChecksum = 55;     // the stream's CRC-32 differs from header field 10
constexpr int kCodeChunkDecompress = 60;    // a chunk does not decompress
constexpr int kCodeChunkLength = 61;        // a chunk's stored length is below 1
constexpr int kCodeChunkChecksum = 62;      // a chunk's CRC-32 differs
constexpr int kCodeChunkOverrun = 63;       // a chunk's stored length exceeds the rest of the stream
constexpr int kCodeRecordName = 70;         // a record without a name
constexpr int kCodeSizeNegative = 71;       // file size table entry below 0
constexpr int kCodeSizeTooLarge = 72;       // file size table entry above 0x73333333
constexpr int kCodeSizeMismatch = 73;       // file size table entry differs from the record's size
constexpr int kCodeRecordMagic = 101;       // a record without its magic (or cut off)
constexpr int kExtractionWriteFailed = -10; // the sink refused bytes (fatal, not a code)

// Progress figures and status strings of the extraction.
constexpr int kStatusCheckingData = 62;
constexpr int kStatusDeletingFiles = 29;
constexpr int kStatusExtracted = 54;
constexpr int kProgressLengthChecked = 21;
constexpr int kProgressChecksumChecked = 26;
constexpr int kProgressDeletionsDone = 27;
constexpr int kProgressDecodeStart = 28;
constexpr int kProgressDecodeSpan = 31;
constexpr int kProgressFilesStart = 59;
constexpr int kProgressFilesSpan = 31;

// A short description of the codes above (for reports and `inspect`); nullptr for others.
const char* DataStreamCodeText(int code);

// One file record without its contents.
struct FileRecord {
    int32_t kind = 0;
    uint32_t flags = 0;
    uint32_t attributes = 0;
    int32_t size = 0;
    DateValue date;
    uint32_t msiValue = 0;
    String name, title, destination, icon, arguments, extra;
};

// ---- Writing (builder) ----

// Appends the record's fields (not its contents). False, with nothing appended, when a text
// does not fit the variable-length text type.
bool AppendFileRecord(Bytes& out, const FileRecord& record);

struct ChunkOptions {
    uint32_t chunkSize = kDefaultChunkSize; // decoded bytes per chunk (the last may be shorter)
    bool compress = false;                  // xz per chunk (option word 1 bit 0x20)
    uint32_t xzPreset = 6;
    const Blowfish* cipher = nullptr; // seal each chunk (payload flag 0x1000)
    // Chunks encoded side by side (ChunkEncoding.h); 0: one per processor. The stream's
    // bytes are the same for every count.
    unsigned threads = 1;
    // Told the decoded bytes whose chunks are in the stream, after each chunk.
    std::function<void(uint64_t)> progress;
};

class ChunkEncoder;

// Cuts decoded bytes into stored chunks as they come and appends them to `stream`.
class ChunkWriter {
  public:
    ChunkWriter(Bytes& stream, const ChunkOptions& options);
    ~ChunkWriter();
    bool Add(ByteView decoded, std::string& error);
    bool Finish(std::string& error); // writes the last, shorter chunk
    uint64_t ChunkCount() const { return chunks_; }

  private:
    bool Emit(ByteView decoded, std::string& error);
    ChunkOptions options_;
    std::unique_ptr<ChunkEncoder> encoder_;
    Bytes pending_;
    uint64_t chunks_ = 0;
};

// One stored chunk for the given decoded bytes (xz, then Blowfish, as the options say), with
// the given encoder (kept from chunk to chunk) or one of its own.
class XzEncoder;
bool AppendChunk(Bytes& stream, ByteView decoded, const ChunkOptions& options, std::string& error,
                 XzEncoder* xz = nullptr);

// ---- Reading (engine, inspect) ----

// Where the stream lies: in the mapped section from the data stream offset up to the data
// stream end, or (external data) in the file from the section's raw offset plus the data
// stream offset to the end of the file.
struct StreamPlacement {
    bool external = false;
    uint64_t offset = 0; // mapped: from the payload start; external: from the file start
    int64_t length = 0;
};
// kPayloadOk, or kCodeStreamLength when the length differs from the data stream size (a
// mapped stream that would end outside the mapped section counts as such).
int PlaceDataStream(uint64_t dataStreamOffset, const PayloadHeader& header, uint64_t mappedLength,
                    bool external, uint32_t sectionRawOffset, uint64_t fileSize, StreamPlacement& out);

// What one extraction needs of the run: status texts, progress, the minimum status time,
// the deletion list. Every member may be empty.
struct ExtractionSteps {
    std::function<void()> waitStatusTime;
    std::function<void(int)> showStatus; // language string number
    std::function<void(int)> setProgress;
    std::function<void()> runDeletionList;
    std::function<bool()> createTarget; // creates the extraction file; false is fatal
    // Registers a file for deletion at the next restart (the engine's default: the system's
    // delayed move); the main sequence passes the deletion module's scheduler.
    std::function<bool(const String&)> deleteAtRestart;
    // How many chunks decode at the same time, each on a thread of its own; 1 decodes them
    // one after another on the calling thread. Each costs the memory of one chunk held
    // (stored and decoded) and one xz decoder.
    unsigned decodeThreads = 1;
};

// Where decoded bytes go.
class ExtractionSink {
  public:
    virtual ~ExtractionSink() = default;
    virtual bool Write(const uint8_t* data, size_t size) = 0;
};

class MemorySink final : public ExtractionSink {
  public:
    bool Write(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }
    Bytes bytes;
};

struct DecodeStats {
    uint64_t chunks = 0;
    uint64_t decodedBytes = 0;
    size_t largestDecodedChunk = 0; // the most decoded bytes one chunk held
};

// Steps 2 to 7 of the extraction over the located stream, read from `source` at `offset`
// (`length` bytes) piece by piece: the checksum (55), the deletion list, the target created,
// then every chunk decoded into the sink (61, 63, 62, 60) with the progress figures. One chunk
// per decoding thread is held, stored and decoded, at a time (steps.decodeThreads); the sink
// receives the chunks in stream order, one write per chunk, and a fault stops the extraction
// after the chunks before it were written, whatever the number of threads. Besides the codes:
// kExtractionCreateFailed (createTarget false), kExtractionWriteFailed (the sink refused bytes) and
// kExtractionReadFailed (the source could not give bytes; `readFailure` tells which).
constexpr int kExtractionCreateFailed = -11;
constexpr int kExtractionReadFailed = -12;
struct ReadFailure {
    uint64_t offset = 0;
    size_t size = 0;
};
int ExtractDataStream(const ByteSource& source, uint64_t offset, uint64_t length, const PayloadHeader& header,
                      uint32_t optionWord1, const Blowfish& cipher, ExtractionSink& sink,
                      const ExtractionSteps& steps, DecodeStats* stats = nullptr,
                      ReadFailure* readFailure = nullptr);
// The same over a stream in memory.
int ExtractDataStream(ByteView stream, const PayloadHeader& header, uint32_t optionWord1,
                      const Blowfish& cipher, ExtractionSink& sink, const ExtractionSteps& steps,
                      DecodeStats* stats = nullptr);

// Only the chunk decoding of step 6, on `threads` threads (1: on the calling thread). The
// chunks are read and checked on the calling thread, which also writes them to the sink.
int DecodeChunks(const ByteSource& source, uint64_t offset, uint64_t length, bool decrypt, bool decompress,
                 const Blowfish& cipher, ExtractionSink& sink, int64_t announcedSize,
                 const std::function<void(int)>& setProgress, DecodeStats* stats,
                 ReadFailure* readFailure = nullptr, unsigned threads = 1);

// The extraction file read back.
class ExtractionSource {
  public:
    virtual ~ExtractionSource() = default;
    virtual uint64_t Size() = 0;
    virtual bool Seek(uint64_t position) = 0;
    // Reads exactly `size` bytes at the current position; false when they are not all there.
    virtual bool Read(void* buffer, size_t size) = 0;
};

class MemoryExtractionSource final : public ExtractionSource {
  public:
    explicit MemoryExtractionSource(ByteView bytes) : bytes_(bytes) {}
    uint64_t Size() override { return bytes_.size(); }
    bool Seek(uint64_t position) override;
    bool Read(void* buffer, size_t size) override;

  private:
    ByteView bytes_;
    uint64_t position_ = 0;
};

// "Next file": the records in payload order. Each call seeks to where the previous file's
// contents ended, reads and checks the record (101, 70, 71, 72, 73) and leaves the source at
// the first byte of the contents.
class FileRecordReader {
  public:
    FileRecordReader(ExtractionSource& source, const std::vector<int32_t>& fileSizes)
        : source_(source), sizes_(fileSizes) {}
    int Next(size_t index, FileRecord& record, const std::function<void(int)>& setProgress = {});
    uint64_t ContentsOffset() const { return contents_; }

  private:
    ExtractionSource& source_;
    const std::vector<int32_t>& sizes_;
    uint64_t next_ = 0;
    uint64_t contents_ = 0;
};

// The whole check of an installer's stream as the engine makes it (placement, checksum,
// every chunk, every record against the file size table), for `inspect` and the tests. The
// decoded stream is held in memory. Returns kPayloadOk or the first code; `files` holds the
// records read before it.
struct DataStreamCheck {
    StreamPlacement placement;
    DecodeStats stats;
    std::vector<FileRecord> files;
    Bytes decoded;                  // the decoded stream
    std::vector<uint64_t> contents; // where each file's contents start in it
};
struct PayloadInfo;
int CheckDataStream(const ByteSource& file, const PayloadInfo& info, ByteView mapped, uint32_t optionWord1,
                    bool external, DataStreamCheck& out);

// The progress figure after `consumed` of `total` stream bytes (28 to 59).
int DecodeProgress(uint64_t consumed, int64_t total);

} // namespace cs
