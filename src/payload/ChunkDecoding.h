// The decoding of the data stream's chunks (DecodeChunks, declared with the stream's format
// in DataStream.h), one chunk per worker at a time: on a thread of the worker's own, so that
// chunks decode side by side on several processors (each chunk is a whole xz container of
// its own), or at once on the caller's thread. A worker keeps its xz decoder and its buffers
// from one chunk to the next.
#pragma once

#include "payload/Blowfish.h"
#include "payload/ByteSource.h"
#include "payload/Bytes.h"
#include "payload/DataStream.h"
#include "payload/JobThread.h"
#include "payload/Xz.h"

namespace cs {

// What a chunk's stored bytes go through: Blowfish (payload flag 0x1000), then xz (option
// word 1 bit 0x20).
struct ChunkSteps {
    bool decrypt = false;
    bool decompress = false;
    const Blowfish* cipher = nullptr;
};

// A job's code besides kPayloadOk and kCodeChunkDecompress: the chunk decodes to more than
// the worker's limit.
constexpr int kChunkAboveLimit = -20;

// One chunk on its way from the stream to the sink.
struct ChunkJob {
    Bytes stored;          // the buffer, never shrunk: the chunk is its first `storedSize` bytes
    size_t storedSize = 0; //
    uint64_t end = 0;      // the stream position after the chunk
    Bytes opened;          // the stored bytes after Blowfish
    ByteView decoded;      // the result: in `stored`, in `opened` or in the worker's xz buffer
    int code = 0;          // kPayloadOk, kCodeChunkDecompress or kChunkAboveLimit
};

class ChunkWorker {
  public:
    // `most`: the most decoded bytes a job may give (kChunkAboveLimit beyond).
    ChunkWorker(const ChunkSteps& steps, bool ownThread, uint64_t most = kXzMostResult);
    ~ChunkWorker();
    ChunkWorker(const ChunkWorker&) = delete;
    ChunkWorker& operator=(const ChunkWorker&) = delete;

    // The job: filled by the caller before Start, read after Finish.
    ChunkJob& Job() { return job_; }
    // Decodes the job: on the worker's thread, or at once without one.
    void Start();
    // Waits for the job started last; false when none was started since the last Finish. Out
    // of memory on the worker's thread is thrown again here.
    bool Finish();
    // Decodes the finished job again, without the limit, on the caller's thread.
    void DecodeWithoutLimit() { Decode(kXzMostResult); }

  private:
    void Decode(uint64_t most);

    ChunkSteps steps_;
    uint64_t most_;
    XzDecoder xz_;
    ChunkJob job_;
    JobThread thread_; // the last member: its thread starts once the others exist
};

// Reads `size` bytes of the stream at `offset`; on failure `failure` (if any) tells where.
bool ReadStreamPiece(const ByteSource& source, uint64_t offset, void* buffer, size_t size,
                     ReadFailure* failure);

} // namespace cs
