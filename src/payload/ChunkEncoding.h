// The stored chunks of the data stream made on several processors (used by ChunkWriter,
// declared with the stream's format in DataStream.h). Chunk i goes to worker i mod N; before
// a worker takes a new chunk, the chunk it holds (the oldest one in flight) is appended to
// the stream. So the chunks reach the stream in their order and the stream's bytes depend
// only on the decoded bytes and the options, never on the number of threads. Each worker
// keeps its xz encoder (about 90 MiB at preset 6) and holds one chunk, decoded and stored.
#pragma once

#include "payload/Bytes.h"
#include "payload/DataStream.h"
#include "payload/JobThread.h"
#include "payload/Xz.h"

#include <memory>
#include <string>
#include <vector>

namespace cs {

// The threads a count of 0 stands for: one per processor.
unsigned EncodeThreads(unsigned requested);

class ChunkEncoder {
  public:
    ChunkEncoder(Bytes& stream, const ChunkOptions& options);
    ~ChunkEncoder();

    // Takes one chunk's decoded bytes (copied when a worker thread encodes it). False with
    // the reason once a chunk failed to encode; the stream then ends before that chunk.
    bool Submit(ByteView decoded, std::string& error);
    // Appends every chunk still in flight.
    bool Drain(std::string& error);

  private:
    struct Worker {
        explicit Worker(bool ownThread, uint32_t preset) : thread(ownThread), xz(preset) {}
        JobThread thread;
        XzEncoder xz;
        Bytes decoded;
        Bytes stored; // the whole chunk: length, CRC-32, stored bytes
        uint64_t decodedSize = 0;
        bool ok = true;
        std::string error;
    };
    // Waits for the worker's chunk, if any, and appends it.
    bool Deliver(Worker& worker, std::string& error);

    Bytes& stream_;
    ChunkOptions options_;
    std::vector<std::unique_ptr<Worker>> workers_;
    uint64_t next_ = 0;    // chunks submitted
    uint64_t written_ = 0; // decoded bytes whose chunks are in the stream
    bool failed_ = false;
};

} // namespace cs
