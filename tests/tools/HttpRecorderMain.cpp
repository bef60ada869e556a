// http-recorder: a small HTTP server on 127.0.0.1 that prints the request line of every
// request ("GET /install?v=1.0%20beta") as it arrives and answers 200 with an empty body.
// Scripts use it to watch an installer's notification requests.
#include "support/HttpRecorder.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fstream>

int main(int argc, char** argv) {
    CLI::App app{
        "Listens on 127.0.0.1 and prints each HTTP request line (\"GET /path?query\") to "
        "stdout as it arrives; every request is answered 200 with an empty body (late with --delay-ms, "
        "never with --no-answer). Runs until "
        "SIGINT or SIGTERM, or until --count requests have arrived.",
        "http-recorder"};
    uint16_t port = 0;
    std::string portFile;
    size_t count = 0;
    app.add_option("-p,--port", port, "port to listen on; 0 (the default) picks a free one");
    app.add_option("--port-file", portFile, "write the port (decimal, one line) to this file once listening");
    app.add_option("-n,--count", count, "exit 0 after this many requests (0: never)");
    int delayMs = 0;
    bool noAnswer = false;
    app.add_option("--delay-ms", delayMs, "answer each request this many milliseconds late")
        ->check(CLI::Range(0, 3600000));
    app.add_flag("--no-answer", noAnswer, "never answer: hold each connection until the client gives up");
    CLI11_PARSE(app, argc, argv);

    // The signals are taken synchronously below, so the server thread never sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::atomic<size_t> printed{0};
    cs::test::HttpRecorder recorder(port, [&](const std::string& request) {
        std::printf("%s\n", request.c_str());
        std::fflush(stdout);
        ++printed;
    });
    recorder.SetAnswer(std::chrono::milliseconds(delayMs), !noAnswer);
    if (!recorder.Listening()) {
        std::fprintf(stderr, "http-recorder: cannot listen on 127.0.0.1:%u\n", unsigned(port));
        return 1;
    }
    if (!portFile.empty()) {
        // Written to a side file first and renamed, so a reader never sees a partial number.
        std::string partial = portFile + ".partial";
        std::ofstream(partial) << recorder.Port() << "\n";
        if (std::rename(partial.c_str(), portFile.c_str()) != 0) {
            std::fprintf(stderr, "http-recorder: cannot write %s\n", portFile.c_str());
            return 1;
        }
    }
    std::fprintf(stderr, "http-recorder: listening on 127.0.0.1:%u\n", unsigned(recorder.Port()));
    for (;;) {
        timespec step{0, 200 * 1000 * 1000};
        if (sigtimedwait(&stopSignals, nullptr, &step) > 0) return 0;
        if (count > 0 && printed >= count) return 0;
    }
}
