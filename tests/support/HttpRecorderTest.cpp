#include "support/HttpRecorder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace cs::test;

namespace {

// Sends raw bytes to the recorder and returns everything it answers (until it closes).
std::string Exchange(uint16_t port, const std::string& bytes) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return "no socket";
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        if (!bytes.empty() && send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != ssize_t(bytes.size()))
            answer = "send failed";
        shutdown(fd, SHUT_WR);
        char buffer[1024];
        ssize_t n;
        while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, size_t(n));
    } else {
        answer = "connect failed";
    }
    close(fd);
    return answer;
}

} // namespace

TEST(HttpRecorder, RecordsEachRequestLineAndAnswers200) {
    std::vector<std::string> heard;
    std::mutex heardLock;
    HttpRecorder recorder(0, [&](const std::string& r) {
        std::lock_guard<std::mutex> hold(heardLock);
        heard.push_back(r);
    });
    ASSERT_TRUE(recorder.Listening());
    ASSERT_NE(recorder.Port(), 0);
    EXPECT_FALSE(recorder.WaitForRequests(1, std::chrono::milliseconds(0)));

    std::string answer = Exchange(recorder.Port(), "GET /install?v=1.0%20beta&s=42 HTTP/1.1\r\nHost: x\r\n"
                                                   "User-Agent: t\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
    EXPECT_NE(answer.find("Content-Length: 0\r\n"), std::string::npos) << answer;
    EXPECT_EQ(answer.substr(answer.size() - 4), "\r\n\r\n") << "no body";
    // A connection that sends nothing is dropped without a record; the server goes on.
    EXPECT_EQ(Exchange(recorder.Port(), ""), "");
    // Any method is recorded as it came.
    Exchange(recorder.Port(), "HEAD /b HTTP/1.0\r\n\r\n");

    // Each exchange ended after the answer, so the records are already there.
    std::vector<std::string> expected{"GET /install?v=1.0%20beta&s=42", "HEAD /b"};
    EXPECT_TRUE(recorder.WaitForRequests(2, std::chrono::milliseconds(0)));
    EXPECT_EQ(recorder.Requests(), expected);
    std::lock_guard<std::mutex> hold(heardLock);
    EXPECT_EQ(heard, expected);
}

// For the exit tests: a server that answers late, or never (the client gives up).
TEST(HttpRecorder, AnswersLateOrNever) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    recorder.SetAnswer(std::chrono::milliseconds(50));
    EXPECT_EQ(Exchange(recorder.Port(), "GET /late HTTP/1.1\r\n\r\n").rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    recorder.SetAnswer(std::chrono::milliseconds(0), false);
    EXPECT_EQ(Exchange(recorder.Port(), "GET /never HTTP/1.1\r\n\r\n"), "") << "closed without an answer";
    EXPECT_EQ(recorder.Requests(), (std::vector<std::string>{"GET /late", "GET /never"}));
}

TEST(HttpRecorder, ListensOnAGivenPort) {
    uint16_t port = 0;
    {
        HttpRecorder first;
        ASSERT_TRUE(first.Listening());
        port = first.Port();
        // A second server cannot take a port that is in use.
        HttpRecorder clash(port);
        EXPECT_FALSE(clash.Listening());
    }
    HttpRecorder again(port);
    ASSERT_TRUE(again.Listening());
    EXPECT_EQ(again.Port(), port);
    Exchange(port, "GET /again HTTP/1.1\r\n\r\n");
    EXPECT_EQ(again.Requests(), std::vector<std::string>{"GET /again"});
}

TEST(HttpRecorder, WaitForRequestsSeesRequestsFromAnotherThread) {
    HttpRecorder recorder;
    ASSERT_TRUE(recorder.Listening());
    std::thread client([&] {
        for (int i = 0; i < 3; ++i)
            Exchange(recorder.Port(), "GET /n" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
    });
    EXPECT_TRUE(recorder.WaitForRequests(3, std::chrono::seconds(30)));
    client.join();
    EXPECT_EQ(recorder.Requests(), (std::vector<std::string>{"GET /n0", "GET /n1", "GET /n2"}));
}

TEST(RequestLineKey, KeepsMethodAndTarget) {
    struct Case {
        const char* line;
        const char* key;
    } cases[] = {
        {"GET /a?b=c HTTP/1.1", "GET /a?b=c"},
        {"POST /p HTTP/1.0", "POST /p"},
        {"GET /no-version", "GET /no-version"},
        {"GET", ""},
        {"GET ", ""},
        {" /x HTTP/1.1", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RequestLineKey(c.line), c.key) << c.line;
}
