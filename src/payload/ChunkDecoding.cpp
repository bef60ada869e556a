#include "payload/ChunkDecoding.h"

#include "payload/Crc32.h"
#include "payload/PayloadCodes.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace cs {

ChunkWorker::ChunkWorker(const ChunkSteps& steps, bool ownThread, uint64_t most)
    : steps_(steps), most_(most), thread_(ownThread) {}

ChunkWorker::~ChunkWorker() = default;

void ChunkWorker::Start() {
    thread_.Start([this] { Decode(most_); });
}

bool ChunkWorker::Finish() {
    return thread_.Wait();
}

void ChunkWorker::Decode(uint64_t most) {
    ChunkJob& job = job_;
    ByteView data(job.stored.data(), job.storedSize);
    job.decoded = {};
    job.code = kCodeChunkDecompress;
    if (steps_.decrypt) {
        job.opened = BlowfishOpen(*steps_.cipher, data);
        // A chunk the builder wrote never decrypts to nothing: an empty result is a chunk
        // whose blocks or length trailer are wrong.
        if (job.opened.empty()) return;
        data = job.opened;
    }
    if (steps_.decompress) {
        ByteView plain;
        XzResult result = xz_.Decode(data, plain, most);
        if (result == XzResult::TooLarge && most < kXzMostResult) job.code = kChunkAboveLimit;
        if (result != XzResult::Decoded) return;
        data = plain;
    }
    if (data.size() > most) {
        job.code = kChunkAboveLimit;
        return;
    }
    job.decoded = data;
    job.code = kPayloadOk;
}

bool ReadStreamPiece(const ByteSource& source, uint64_t offset, void* buffer, size_t size,
                     ReadFailure* failure) {
    if (source.ReadAt(offset, buffer, size)) return true;
    if (failure) *failure = ReadFailure{offset, size};
    return false;
}

namespace {

// Decoding side by side holds a chunk per thread: only chunks of ordinary size (the builder
// writes 1 MiB by default) take part, stored and decoded. A larger one, and all after it,
// decode one after another on the calling thread.
constexpr uint64_t kMostChunkSideBySide = 4 << 20;

// The chunks of the stream, one after another: the length and checksum checks (61, 63, 62).
class ChunkReader {
  public:
    ChunkReader(const ByteSource& source, uint64_t offset, uint64_t length, ReadFailure* failure)
        : source_(source), offset_(offset), length_(length), failure_(failure) {}

    bool AtEnd() const { return pos_ >= length_; }

    // Reads the next chunk's header and checks its length; `stored` is that length. The
    // position stays before the chunk.
    int Head(uint64_t& stored) {
        uint64_t remaining = length_ - pos_;
        // A tail too short for a chunk header cannot hold the length it would announce.
        if (remaining < kChunkHeaderBytes) return kCodeChunkOverrun;
        if (!ReadStreamPiece(source_, offset_ + pos_, head_, sizeof head_, failure_))
            return kExtractionReadFailed;
        int32_t n = static_cast<int32_t>(LoadLE32(head_));
        if (n < 1) return kCodeChunkLength;
        if (static_cast<uint64_t>(n) > remaining - kChunkHeaderBytes) return kCodeChunkOverrun;
        stored = static_cast<uint64_t>(n);
        return kPayloadOk;
    }

    // After Head: reads the chunk's stored bytes into the job, checks them against the
    // checksum and moves past the chunk.
    int Body(ChunkJob& job) {
        job.storedSize = static_cast<size_t>(LoadLE32(head_));
        // The buffer only grows: chunks of about one size reuse it without clearing it again.
        if (job.stored.size() < job.storedSize) job.stored.resize(job.storedSize);
        uint64_t at = offset_ + pos_ + kChunkHeaderBytes;
        if (!ReadStreamPiece(source_, at, job.stored.data(), job.storedSize, failure_))
            return kExtractionReadFailed;
        if (Crc32Update(0, job.stored.data(), job.storedSize) != LoadLE32(head_ + 4))
            return kCodeChunkChecksum;
        pos_ += kChunkHeaderBytes + job.storedSize;
        job.end = pos_;
        return kPayloadOk;
    }

  private:
    const ByteSource& source_;
    uint64_t offset_, length_, pos_ = 0;
    ReadFailure* failure_;
    uint8_t head_[kChunkHeaderBytes] = {};
};

// Where decoded chunks go: the sink, and the progress and figures that follow it.
struct ChunkOutput {
    ExtractionSink& sink;
    int64_t announcedSize;
    const std::function<void(int)>& setProgress;
    DecodeStats* stats;
};

// Takes decoded chunks from the workers in stream order and writes them to the output.
class ChunkDelivery {
  public:
    explicit ChunkDelivery(const ChunkOutput& output) : out_(output) {}

    // Waits for the worker's chunk, if it has one, and writes it: kPayloadOk, the chunk's
    // code, or kExtractionWriteFailed. A chunk above the worker's limit decodes again here.
    int Deliver(ChunkWorker& worker) {
        if (!worker.Finish()) return kPayloadOk;
        const ChunkJob& job = worker.Job();
        if (job.code == kChunkAboveLimit) {
            sawLargeChunk_ = true;
            worker.DecodeWithoutLimit();
        }
        if (job.code != kPayloadOk) return job.code;
        if (!job.decoded.empty() && !out_.sink.Write(job.decoded.data(), job.decoded.size()))
            return kExtractionWriteFailed;
        if (DecodeStats* stats = out_.stats) {
            ++stats->chunks;
            stats->decodedBytes += job.decoded.size();
            stats->largestDecodedChunk = std::max(stats->largestDecodedChunk, job.decoded.size());
        }
        if (out_.setProgress) out_.setProgress(DecodeProgress(job.end, out_.announcedSize));
        return kPayloadOk;
    }

    // Every chunk still with the workers, oldest first (the worker at `oldest`, then on
    // round): the first code that is not kPayloadOk ends it.
    int DeliverAll(std::vector<std::unique_ptr<ChunkWorker>>& workers, size_t oldest) {
        for (size_t i = 0; i < workers.size(); ++i)
            if (int code = Deliver(*workers[(oldest + i) % workers.size()]); code != kPayloadOk) return code;
        return kPayloadOk;
    }

    bool SawLargeChunk() const { return sawLargeChunk_; }

  private:
    const ChunkOutput& out_;
    bool sawLargeChunk_ = false;
};

// Decodes chunks with `threads` workers until the stream ends, a fault, or (with a limit
// below kXzMostResult) a chunk above it; every chunk given to a worker is delivered before
// it returns. Chunk i goes to worker i mod N: the worker a chunk is given to holds the oldest
// chunk still on its way, which is written first, so the sink receives the chunks in order.
int DecodeWithWorkers(ChunkReader& reader, const ChunkSteps& steps, unsigned threads, uint64_t most,
                      const ChunkOutput& output) {
    ChunkDelivery delivery(output);
    std::vector<std::unique_ptr<ChunkWorker>> workers;
    for (unsigned i = 0; i < threads; ++i)
        workers.push_back(std::make_unique<ChunkWorker>(steps, threads > 1, most));
    size_t next = 0; // the number of the next chunk
    for (; !reader.AtEnd(); ++next) {
        ChunkWorker& worker = *workers[next % workers.size()];
        if (int code = delivery.Deliver(worker); code != kPayloadOk) return code;
        if (delivery.SawLargeChunk()) break;
        uint64_t stored = 0;
        int code = reader.Head(stored);
        if (code == kPayloadOk && stored > most) break;
        if (code == kPayloadOk) code = reader.Body(worker.Job());
        if (code != kPayloadOk) {
            // The chunks before this one come first, with their own faults.
            int earlier = delivery.DeliverAll(workers, next + 1);
            return earlier != kPayloadOk ? earlier : code;
        }
        worker.Start();
    }
    return delivery.DeliverAll(workers, next);
}

} // namespace

int DecodeChunks(const ByteSource& source, uint64_t offset, uint64_t length, bool decrypt, bool decompress,
                 const Blowfish& cipher, ExtractionSink& sink, int64_t announcedSize,
                 const std::function<void(int)>& setProgress, DecodeStats* stats, ReadFailure* readFailure,
                 unsigned threads) {
    ChunkReader reader(source, offset, length, readFailure);
    ChunkSteps steps{decrypt, decompress, &cipher};
    ChunkOutput output{sink, announcedSize, setProgress, stats};
    if (threads > 1) {
        int code = DecodeWithWorkers(reader, steps, threads, kMostChunkSideBySide, output);
        if (code != kPayloadOk) return code;
    }
    // What is left after a large chunk, or all of it with one thread.
    return DecodeWithWorkers(reader, steps, 1, kXzMostResult, output);
}

} // namespace cs
