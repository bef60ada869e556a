#include "app/NotificationQueue.h"

#include "core/Text.h"

#include <utility>

namespace cs {

NotificationQueue::NotificationQueue(Request request, Prepare beforeFirst)
    : request_(std::move(request)), beforeFirst_(std::move(beforeFirst)) {}

NotificationQueue::~NotificationQueue() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
        waiting_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool NotificationQueue::Add(String8 url) {
    Trim(url);
    if (!IsWebAddress(url)) return false;
    {
        // Only the first address takes this path past the flag; later ones see started_.
        std::lock_guard<std::mutex> start(startLock_);
        if (!started_) {
            if (beforeFirst_) beforeFirst_();
            worker_ = std::thread([this] { Run(); });
            std::lock_guard<std::mutex> hold(lock_);
            started_ = true;
        }
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        waiting_.push_back(std::move(url));
    }
    wake_.notify_one();
    return true;
}

void NotificationQueue::WaitIdle() {
    std::unique_lock<std::mutex> hold(lock_);
    idle_.wait(hold, [this] { return IdleLocked(); });
}

bool NotificationQueue::WaitIdleFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    return idle_.wait_for(hold, limit, [this] { return IdleLocked(); });
}

bool NotificationQueue::Stop(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    closing_ = true;
    waiting_.clear();
    wake_.notify_all();
    if (!started_) return true;
    if (!ended_.wait_for(hold, limit, [this] { return finished_; })) return false;
    hold.unlock();
    if (worker_.joinable()) worker_.join();
    return true;
}

bool NotificationQueue::WorkerStarted() const {
    std::lock_guard<std::mutex> hold(lock_);
    return started_;
}

void NotificationQueue::Run() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [this] { return closing_ || !waiting_.empty(); });
        if (closing_) break;
        // Taking the address and marking the worker busy happen under one lock, so a waiter
        // never sees an empty queue while an address is still on its way.
        String8 url = std::move(waiting_.front());
        waiting_.pop_front();
        ++busy_;
        hold.unlock();
        try {
            request_(url);
        } catch (...) {
            // A failed request changes nothing; the next address is still requested.
        }
        hold.lock();
        --busy_;
        if (IdleLocked()) idle_.notify_all();
    }
    busy_ = 0;
    finished_ = true;
    idle_.notify_all();
    ended_.notify_all();
}

bool IsWebAddress(const String8& url) {
    std::string_view text = url.View();
    for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
        if (text.size() <= scheme.size()) continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i) {
            char c = text[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            same = c == scheme[i];
        }
        if (same) return true;
    }
    return false;
}

String8 UrlForRequest(const String8& url) {
    static const char kHex[] = "0123456789ABCDEF";
    String8 trimmed = url;
    Trim(trimmed);
    String8 out;
    for (char c : trimmed.View()) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

} // namespace cs
