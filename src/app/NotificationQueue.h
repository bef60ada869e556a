// The notification worker without its system calls: a first-in first-out queue of expanded
// addresses served by one background thread, which the first accepted address starts after a
// preparation step, and the rules that decide what is sent to the network.
#pragma once

#include "core/String.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace cs {

class NotificationQueue {
  public:
    // Requests one address; runs on the worker thread. Its failures are its own: an
    // exception thrown by it is swallowed and the worker goes on with the next address.
    using Request = std::function<void(const String8& url)>;
    // Runs once, on the thread of the first accepted address, before the worker starts.
    using Prepare = std::function<void()>;

    explicit NotificationQueue(Request request, Prepare beforeFirst = {});
    // Drops what still waits, lets the address in progress end and joins the worker.
    ~NotificationQueue();
    NotificationQueue(const NotificationQueue&) = delete;
    NotificationQueue& operator=(const NotificationQueue&) = delete;

    // Queues an address that IsWebAddress accepts (after trimming); anything else is dropped.
    // Returns whether it was queued. Never waits for the network.
    bool Add(String8 url);

    // Waits until no address waits and none is in progress; at once when no worker runs.
    void WaitIdle();
    // The same with an upper bound; false when the bound passed first.
    bool WaitIdleFor(std::chrono::milliseconds limit);

    // Drops what still waits and lets the worker end: true when it has ended within the
    // limit (or never started); false when it is still inside a request, which then runs to
    // its end on a thread nobody waits for.
    bool Stop(std::chrono::milliseconds limit);

    bool WorkerStarted() const;

  private:
    void Run();
    bool IdleLocked() const { return waiting_.empty() && busy_ == 0; }

    Request request_;
    Prepare beforeFirst_;
    std::mutex startLock_; // serialises the first Add: preparation, then the thread
    mutable std::mutex lock_;
    std::condition_variable wake_; // the worker: an address arrived or the queue closes
    std::condition_variable idle_; // the waiters: the queue became idle
    std::deque<String8> waiting_;
    int busy_ = 0;
    bool closing_ = false;
    bool started_ = false;
    bool finished_ = false;         // the worker has left its loop
    std::condition_variable ended_; // the waiters of Stop: the worker ended
    std::thread worker_;
};

// True for an address of the form "http://..." or "https://..." (scheme in any case) with
// something after the scheme.
bool IsWebAddress(const String8& url);

// The address as it goes on the wire: trimmed, and every byte that a request line cannot
// carry as it is (control characters, space, DEL and bytes of 0x80 and above, such as UTF-8
// sequences left in the definition's address) written as "%" and two upper-case hex digits.
String8 UrlForRequest(const String8& url);

} // namespace cs
