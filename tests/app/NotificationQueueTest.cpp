#include "app/NotificationQueue.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

using namespace cs;

namespace {

// A request function that records what it was given, in order; it can be held at a gate so a
// test sees the worker busy.
struct Recorder {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::string> urls;
    std::vector<std::thread::id> threads;
    bool gateOpen = true;
    int entered = 0;

    NotificationQueue::Request Function() {
        return [this](const String8& url) {
            std::unique_lock<std::mutex> hold(lock);
            ++entered;
            changed.notify_all();
            changed.wait(hold, [this] { return gateOpen; });
            urls.emplace_back(url.View());
            threads.push_back(std::this_thread::get_id());
        };
    }
    void Close() {
        std::lock_guard<std::mutex> hold(lock);
        gateOpen = false;
    }
    void Open() {
        {
            std::lock_guard<std::mutex> hold(lock);
            gateOpen = true;
        }
        changed.notify_all();
    }
    void WaitEntered(int count) {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return entered >= count; });
    }
    std::vector<std::string> Urls() {
        std::lock_guard<std::mutex> hold(lock);
        return urls;
    }
};

} // namespace

TEST(NotificationQueue, RequestsEveryAddressInOrderOnOneOtherThread) {
    Recorder recorder;
    NotificationQueue queue(recorder.Function());
    std::vector<std::string> sent;
    for (int i = 0; i < 50; ++i) {
        sent.push_back("http://example.test/n?i=" + std::to_string(i));
        ASSERT_TRUE(queue.Add(String8(sent.back().c_str())));
    }
    queue.WaitIdle();
    // WaitIdle returns only after the last request has ended, so all fifty are recorded.
    EXPECT_EQ(recorder.Urls(), sent);
    ASSERT_EQ(recorder.threads.size(), 50u);
    for (std::thread::id id : recorder.threads) {
        EXPECT_EQ(id, recorder.threads[0]);
        EXPECT_NE(id, std::this_thread::get_id());
    }
}

TEST(NotificationQueue, OnlyWebAddressesAreQueuedAndTheFirstOneStartsTheWorker) {
    Recorder recorder;
    std::vector<std::string> events;
    NotificationQueue queue(recorder.Function(), [&] {
        // Runs on the caller's thread before the worker exists.
        events.push_back(queue.WorkerStarted() ? "prepare after start" : "prepare");
    });
    struct Case {
        const char* url;
        bool queued;
    } cases[] = {
        {"", false},
        {" \t\r\n", false},
        {"ftp://example.test/x", false},
        {"file:///C:/x", false},
        {"http://", false},
        {"example.test/x", false},
        {" HTTPS://example.test/a \r\n", true},
        {"http://example.test/b", true},
        {"Http://example.test/c", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(queue.Add(String8(c.url)), c.queued);
        if (!c.queued && events.empty()) {
            EXPECT_FALSE(queue.WorkerStarted());
        }
    }
    EXPECT_TRUE(queue.WorkerStarted());
    queue.WaitIdle();
    EXPECT_EQ(events, std::vector<std::string>{"prepare"});
    EXPECT_EQ(recorder.Urls(), (std::vector<std::string>{"HTTPS://example.test/a", "http://example.test/b",
                                                         "Http://example.test/c"}));
}

TEST(NotificationQueue, WithoutAnyAddressTheWaitReturnsAtOnceAndNothingIsPrepared) {
    int prepared = 0;
    NotificationQueue queue([](const String8&) { FAIL() << "nothing was queued"; }, [&] { ++prepared; });
    EXPECT_FALSE(queue.Add(String8("")));
    queue.WaitIdle();
    EXPECT_TRUE(queue.WaitIdleFor(std::chrono::milliseconds(0)));
    EXPECT_FALSE(queue.WorkerStarted());
    EXPECT_EQ(prepared, 0);
}

TEST(NotificationQueue, IsNotIdleWhileARequestIsInProgressOrWaiting) {
    Recorder recorder;
    recorder.Close();
    NotificationQueue queue(recorder.Function());
    ASSERT_TRUE(queue.Add(String8("http://example.test/first")));
    recorder.WaitEntered(1);
    // The queue is empty, but its one address is still in progress (held at the gate).
    EXPECT_FALSE(queue.WaitIdleFor(std::chrono::milliseconds(0)));
    ASSERT_TRUE(queue.Add(String8("http://example.test/second")));
    // One in progress, one waiting.
    EXPECT_FALSE(queue.WaitIdleFor(std::chrono::milliseconds(0)));
    recorder.Open();
    queue.WaitIdle();
    EXPECT_TRUE(queue.WaitIdleFor(std::chrono::milliseconds(0)));
    EXPECT_EQ(recorder.Urls(),
              (std::vector<std::string>{"http://example.test/first", "http://example.test/second"}));
}

// At the exit the worker must end before the process does: an idle worker ends at once and
// what still waits is dropped; a worker held inside a request is reported, not waited for.
TEST(NotificationQueue, StopEndsAnIdleWorkerAndReportsABusyOne) {
    NotificationQueue never([](const String8&) {});
    EXPECT_TRUE(never.Stop(std::chrono::milliseconds(0))) << "no worker ever started";

    Recorder idleRecorder;
    NotificationQueue idle(idleRecorder.Function());
    ASSERT_TRUE(idle.Add(String8("http://example.test/one")));
    idle.WaitIdle();
    EXPECT_TRUE(idle.Stop(std::chrono::seconds(5)));

    Recorder busyRecorder;
    busyRecorder.Close();
    NotificationQueue busy(busyRecorder.Function());
    ASSERT_TRUE(busy.Add(String8("http://example.test/held")));
    ASSERT_TRUE(busy.Add(String8("http://example.test/waiting")));
    busyRecorder.WaitEntered(1);
    EXPECT_FALSE(busy.Stop(std::chrono::milliseconds(50))) << "the worker is inside a request";
    busyRecorder.Open();
    EXPECT_TRUE(busy.Stop(std::chrono::seconds(5))) << "it ends once the request returns";
    EXPECT_EQ(busyRecorder.Urls(), std::vector<std::string>{"http://example.test/held"})
        << "the waiting address was dropped";
    EXPECT_EQ(idleRecorder.Urls(), std::vector<std::string>{"http://example.test/one"});
}

TEST(NotificationQueue, AThrowingRequestDoesNotStopTheWorker) {
    std::vector<std::string> done;
    NotificationQueue queue([&](const String8& url) {
        if (url.View().find("bad") != std::string_view::npos) throw std::runtime_error("refused");
        done.emplace_back(url.View());
    });
    queue.Add(String8("http://example.test/bad"));
    queue.Add(String8("http://example.test/good"));
    queue.WaitIdle();
    EXPECT_EQ(done, std::vector<std::string>{"http://example.test/good"});
}

TEST(UrlForRequest, EncodesWhatARequestLineCannotCarry) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"http://h/p?a=1&b=%20x", "http://h/p?a=1&b=%20x"},
        {"  http://h/a b\t", "http://h/a%20b"},
        {"http://h/\xC3\xA9t\xC3\xA9", "http://h/%C3%A9t%C3%A9"},
        {std::string("http://h/\x01\x7F~", 12), "http://h/%01%7F~"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(std::string(UrlForRequest(String8(c.in.c_str(), c.in.size())).View()), c.out);
    }
}
