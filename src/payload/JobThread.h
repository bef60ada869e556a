// One job at a time on a thread of its own, or at once on the caller's thread: the unit the
// chunk coders spread over the processors. The caller starts a job and later waits for it;
// the thread lives as long as the object, so that a coder's memory stays with it.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace cs {

class JobThread {
  public:
    // `ownThread` false: Start runs the job at once on the caller's thread.
    explicit JobThread(bool ownThread);
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // Runs `job`; the one started before must have been waited for.
    void Start(std::function<void()> job);
    // Waits for the job started last; false when none was started since the last Wait. An
    // exception the job threw (out of memory) is thrown again here.
    bool Wait();

  private:
    void Run();

    std::function<void()> job_;
    std::exception_ptr failure_;
    bool started_ = false; // the caller's view: a job started and not yet waited for
    std::mutex lock_;
    std::condition_variable changed_;
    bool queued_ = false; // under lock_: a job for the thread
    bool stop_ = false;   // under lock_
    std::thread thread_;  // the last member: it starts once the others exist
};

} // namespace cs
