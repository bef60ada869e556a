#include "support/HttpRecorder.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace cs::test {

namespace {

// A client gets this long to send its request head before the connection is dropped.
constexpr int kClientTimeoutMs = 5000;
constexpr size_t kMaxHead = 64 * 1024;

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

bool SendAll(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += size_t(n);
    }
    return true;
}

} // namespace

std::string RequestLineKey(const std::string& firstLine) {
    size_t method = firstLine.find(' ');
    if (method == std::string::npos || method == 0) return {};
    size_t target = firstLine.find(' ', method + 1);
    std::string key = firstLine.substr(0, target);
    return key.size() > method + 1 ? key : std::string();
}

HttpRecorder::HttpRecorder(uint16_t port, Listener listener) : listener_(std::move(listener)) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(stopPipe_, O_CLOEXEC) != 0) {
        close(fd);
        return;
    }
    listenFd_ = fd;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

HttpRecorder::~HttpRecorder() {
    if (thread_.joinable()) {
        char stop = 1;
        ssize_t ignored = write(stopPipe_[1], &stop, 1);
        (void)ignored;
        thread_.join();
    }
    CloseFd(listenFd_);
    CloseFd(stopPipe_[0]);
    CloseFd(stopPipe_[1]);
}

std::vector<std::string> HttpRecorder::Requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

bool HttpRecorder::WaitForRequests(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> hold(lock_);
    return arrived_.wait_for(hold, timeout, [&] { return requests_.size() >= count; });
}

void HttpRecorder::Serve() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Answer(client);
        close(client);
    }
}

// Reads the request head, records its first line, answers 200 with no body and lets the
// caller close the connection. A body the client sends is not read.
void HttpRecorder::Answer(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHead) {
        pollfd p[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        int ready = poll(p, 2, kClientTimeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || p[1].revents) return;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        head.append(buffer, size_t(n));
    }
    size_t end = head.find("\r\n");
    std::string key = RequestLineKey(head.substr(0, end));
    if (key.empty()) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(key);
    }
    arrived_.notify_all();
    if (listener_) listener_(key);
    std::chrono::milliseconds delay;
    bool answer;
    {
        std::lock_guard<std::mutex> hold(lock_);
        delay = delay_;
        answer = answer_;
    }
    if (!answer) {
        // Held until the client closes or gives up, or the server stops.
        for (;;) {
            pollfd p[2] = {{fd, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            int ready = poll(p, 2, -1);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0 || p[1].revents) return;
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
        }
    }
    if (delay.count() > 0) {
        pollfd stop{stopPipe_[0], POLLIN, 0};
        if (poll(&stop, 1, int(delay.count())) != 0) return;
    }
    SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    shutdown(fd, SHUT_WR);
}

void HttpRecorder::SetAnswer(std::chrono::milliseconds delay, bool answer) {
    std::lock_guard<std::mutex> hold(lock_);
    delay_ = delay;
    answer_ = answer;
}

} // namespace cs::test
