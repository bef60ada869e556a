#include "payload/JobThread.h"

#include <utility>

namespace cs {

JobThread::JobThread(bool ownThread) {
    if (ownThread) thread_ = std::thread([this] { Run(); });
}

JobThread::~JobThread() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void JobThread::Start(std::function<void()> job) {
    started_ = true;
    job_ = std::move(job);
    if (!thread_.joinable()) {
        try {
            job_();
        } catch (...) {
            failure_ = std::current_exception();
        }
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        queued_ = true;
    }
    changed_.notify_all();
}

bool JobThread::Wait() {
    if (!started_) return false;
    started_ = false;
    if (thread_.joinable()) {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] { return !queued_; });
    }
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    return true;
}

void JobThread::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return queued_ || stop_; });
        // A job still queued at the stop has no one waiting for it any more.
        if (stop_) return;
        hold.unlock();
        try {
            job_();
        } catch (...) {
            failure_ = std::current_exception();
        }
        hold.lock();
        queued_ = false;
        changed_.notify_all();
    }
}

} // namespace cs
