#include "payload/ChunkEncoding.h"

#include <thread>

namespace cs {

unsigned EncodeThreads(unsigned requested) {
    if (requested) return requested;
    unsigned processors = std::thread::hardware_concurrency();
    return processors ? processors : 1;
}

ChunkEncoder::ChunkEncoder(Bytes& stream, const ChunkOptions& options) : stream_(stream), options_(options) {
    unsigned threads = EncodeThreads(options.threads);
    for (unsigned i = 0; i < threads; ++i)
        workers_.push_back(std::make_unique<Worker>(threads > 1, options.xzPreset));
}

// Waits for every job before the workers (and the buffers the jobs use) go away.
ChunkEncoder::~ChunkEncoder() {
    for (auto& worker : workers_) {
        try {
            worker->thread.Wait();
        } catch (...) {
        }
    }
}

bool ChunkEncoder::Deliver(Worker& worker, std::string& error) {
    if (!worker.thread.Wait()) return !failed_;
    if (failed_) return false;
    if (!worker.ok) {
        failed_ = true;
        error = worker.error;
        return false;
    }
    Append(stream_, worker.stored);
    written_ += worker.decodedSize;
    if (options_.progress) options_.progress(written_);
    return true;
}

bool ChunkEncoder::Submit(ByteView decoded, std::string& error) {
    Worker& worker = *workers_[next_ % workers_.size()];
    if (!Deliver(worker, error)) return false;
    ++next_;
    ByteView input = decoded;
    if (workers_.size() > 1) {
        // The caller's bytes change before the worker is done with them.
        worker.decoded.assign(decoded.begin(), decoded.end());
        input = worker.decoded;
    }
    worker.decodedSize = decoded.size();
    worker.thread.Start([this, &worker, input] {
        worker.stored.clear();
        worker.error.clear();
        worker.ok = AppendChunk(worker.stored, input, options_, worker.error, &worker.xz);
    });
    // On the caller's thread the chunk is done: it goes into the stream at once.
    return workers_.size() > 1 || Deliver(worker, error);
}

bool ChunkEncoder::Drain(std::string& error) {
    // The oldest chunk in flight is the one the next submission would go to.
    bool ok = true;
    for (size_t i = 0; i < workers_.size(); ++i)
        if (!Deliver(*workers_[(next_ + i) % workers_.size()], error)) ok = false;
    return ok;
}

} // namespace cs
