// A small HTTP server for tests (Linux): listens on 127.0.0.1, records the request line of
// every request ("GET /install?v=1.0%20beta") and answers 200 with an empty body, at once or
// after a delay, or never (it then holds the connection until the client gives up). It
// serves connections one after another on its own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cs::test {

class HttpRecorder {
  public:
    // Called on the server thread for each request, as "METHOD TARGET", when it arrives.
    using Listener = std::function<void(const std::string& request)>;

    // port 0 picks a free one. Listening() tells whether the socket could be opened.
    explicit HttpRecorder(uint16_t port = 0, Listener listener = {});
    ~HttpRecorder(); // stops the thread and closes the socket
    HttpRecorder(const HttpRecorder&) = delete;
    HttpRecorder& operator=(const HttpRecorder&) = delete;

    // How the following requests are answered: after `delay`, or (answer false) not at all.
    void SetAnswer(std::chrono::milliseconds delay, bool answer = true);

    bool Listening() const { return listenFd_ >= 0; }
    uint16_t Port() const { return port_; }

    // Every request so far, in arrival order.
    std::vector<std::string> Requests() const;
    // Waits until at least count requests have arrived or the time-out passes; returns
    // whether they arrived.
    bool WaitForRequests(size_t count, std::chrono::milliseconds timeout) const;

  private:
    void Serve();
    void Answer(int fd);

    int listenFd_ = -1;
    int stopPipe_[2] = {-1, -1};
    uint16_t port_ = 0;
    Listener listener_;
    mutable std::mutex lock_;
    mutable std::condition_variable arrived_;
    std::vector<std::string> requests_;
    std::chrono::milliseconds delay_{0};
    bool answer_ = true;
    std::thread thread_;
};

// The "METHOD TARGET" part of a request's first line ("GET /a HTTP/1.1" gives "GET /a");
// empty when the line has no target.
std::string RequestLineKey(const std::string& firstLine);

} // namespace cs::test
