// Extraction under Wine, printed as figures: an installer of mixed data (compressible
// binaries, incompressible data, many small files) is built with the builder, run under
// Wine, and compared with `xz -dc` of the same data on Linux measured in the same run; the
// engine's memory is sampled from /proc while it runs. Not a test: it never fails on time.
//
//   datastream_bench [--mb N (64)] [--small N (2000)] [--stub corvantis-setup.exe]
//
// Without --stub it runs the engine scripts/wine-env chose for this machine: the stub in
// $CORVANTIS_WIN_BIN, corvantis-setup-x64.exe when CORVANTIS_ENGINE=x64, through the Wine
// loader in $CORVANTIS_WINE.
//
// 64 MB runs in about a minute on a 2-core machine (most of it the build at xz preset 6).
//
// Needs the Wine environment of scripts/wine-start (WINEPREFIX, DISPLAY, a running server).
#include "builder/Project.h"
#include "payload/DataStream.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

using namespace cs;
namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

void WriteBytes(const fs::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Code-like bytes: instructions drawn from a small vocabulary with varying operands (about
// 3:1 under xz), like the binaries of a product.
std::string Compressible(size_t size, uint32_t seed) {
    static const char* ops[] = {"\x8B\x45",     "\x89\x45", "\xE8", "\x83\xC4",
                                "\x55\x8B\xEC", "\xC3",     "\x6A", "\xFF\x15"};
    std::mt19937 random(seed);
    std::string out;
    out.reserve(size + 8);
    while (out.size() < size) {
        out += ops[random() % 8];
        out += static_cast<char>(random() % 16);
        if (random() % 4 == 0) out += static_cast<char>(random());
    }
    out.resize(size);
    return out;
}

std::string Incompressible(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t v = random();
        std::memcpy(&out[i], &v, 4);
    }
    return out;
}

struct RunFigures {
    int exitCode = -1;
    double seconds = 0;
    long maxRssKb = 0;      // getrusage of the process (all of its resident memory)
    long peakRssAnonKb = 0; // sampled: anonymous memory (heap, buffers, copies)
    long peakRssFileKb = 0; // sampled: file-backed pages (mapped image, libraries)
    long lateRssKb = 0;     // sampled after start-up (the time a 1-file installer takes): VmRSS
    long lateRssAnonKb = 0; // and its anonymous part
};

long StatusField(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    return 0;
}

// Runs `wine installer /silent /a` and samples its memory every 10 ms.
RunFigures RunUnderWine(const std::string& installer, double startupSeconds = 0) {
    RunFigures f;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        const char* wine = std::getenv("CORVANTIS_WINE");
        if (!wine || !*wine) wine = "wine";
        execlp(wine, wine, installer.c_str(), "/silent", "/a", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    for (;;) {
        pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        f.peakRssAnonKb = std::max(f.peakRssAnonKb, StatusField(pid, "RssAnon:"));
        f.peakRssFileKb = std::max(f.peakRssFileKb, StatusField(pid, "RssFile:"));
        if (startupSeconds > 0 && Seconds(start) > startupSeconds) {
            f.lateRssKb = std::max(f.lateRssKb, StatusField(pid, "VmRSS:"));
            f.lateRssAnonKb = std::max(f.lateRssAnonKb, StatusField(pid, "RssAnon:"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    f.seconds = Seconds(start);
    f.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    f.maxRssKb = usage.ru_maxrss;
    return f;
}

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

bool Build(const fs::path& dir, const std::string& toml, const std::string& stubPath, const fs::path& out) {
    Project project;
    std::string error;
    if (!LoadProjectText(toml, (dir / "project.toml").string(), project, error)) {
        std::fprintf(stderr, "project: %s\n", error.c_str());
        return false;
    }
    std::ifstream in(stubPath, std::ios::binary);
    Bytes stub((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes installer;
    if (stub.empty() || !BuildInstaller(project, stub, installer, error)) {
        std::fprintf(stderr, "build: %s\n", stub.empty() ? "no stub" : error.c_str());
        return false;
    }
    std::ofstream(out, std::ios::binary)
        .write(reinterpret_cast<const char*>(installer.data()),
               static_cast<std::streamsize>(installer.size()));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    size_t megabytes = 64, smallFiles = 2000;
    std::string stub;
    const char* engine = std::getenv("CORVANTIS_ENGINE");
    const bool x64 = engine && std::strcmp(engine, "x64") == 0;
    if (const char* bin = std::getenv("CORVANTIS_WIN_BIN"))
        stub = std::string(bin) + (x64 ? "/corvantis-setup-x64.exe" : "/corvantis-setup.exe");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--mb")) megabytes = std::strtoul(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--small")) smallFiles = std::strtoul(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--stub")) stub = argv[i + 1];
    }
    if (stub.empty()) {
        std::fprintf(stderr,
                     "datastream_bench: give --stub or set CORVANTIS_WIN_BIN (scripts/wine-env does)\n");
        return 1;
    }
    std::printf("engine: %s\n", stub.c_str());
    const size_t total = megabytes << 20;
    fs::path dir = fs::temp_directory_path() / ("cs_datastream_bench_" + std::to_string(getpid()));
    fs::create_directories(dir / "files");

    // The payload: half compressible binaries, the small files, the rest incompressible.
    std::string head =
        "[product]\nname = \"Bench\"\nversion = \"1.0\"\n[install]\nfolder = \"C:\\\\cs_bench\"\n"
        "[options]\ncompress_files = true\n";
    std::string toml = head, all; // `all`: every content byte, in order, for the xz reference
    size_t smallBytes = 0, binaryBytes = 0, randomBytes = 0;
    auto add = [&](const std::string& name, const std::string& data) {
        WriteBytes(dir / "files" / name, data);
        toml += "[[file]]\nsource = \"files/" + name + "\"\n";
        all += data;
    };
    for (size_t i = 0; i < smallFiles; ++i) {
        std::string data = i % 2 ? Compressible(512 + (i * 977) % 7000, uint32_t(i))
                                 : Incompressible(512 + (i * 577) % 7000, uint32_t(i));
        smallBytes += data.size();
        add("small" + std::to_string(i) + ".dat", data);
    }
    size_t left = total > smallBytes ? total - smallBytes : 0;
    for (int i = 0; i < 4; ++i) {
        std::string data = Compressible(left / 2 / 4, uint32_t(100 + i));
        binaryBytes += data.size();
        add("program" + std::to_string(i) + ".dll", data);
    }
    for (int i = 0; i < 2; ++i) {
        std::string data = Incompressible(left / 2 / 2, uint32_t(200 + i));
        randomBytes += data.size();
        add("media" + std::to_string(i) + ".pak", data);
    }
    std::printf("payload: %.1f MB in %zu files: %.1f MB compressible binaries, %.1f MB incompressible, "
                "%zu small files (%.1f MB)\n",
                all.size() / 1048576.0, smallFiles + 6, binaryBytes / 1048576.0, randomBytes / 1048576.0,
                smallFiles, smallBytes / 1048576.0);
    WriteBytes(dir / "project.toml", toml);

    auto t = std::chrono::steady_clock::now();
    if (!Build(dir, toml, stub, dir / "setup.exe")) return 1;
    double buildSeconds = Seconds(t);
    std::string tiny = head + "[[file]]\nsource = \"files/small0.dat\"\n";
    if (!Build(dir, tiny, stub, dir / "tiny.exe")) return 1;
    std::printf("built: installer %.1f MB (chunk size %u, xz preset 6) in %.1f s\n",
                fs::file_size(dir / "setup.exe") / 1048576.0, kDefaultChunkSize, buildSeconds);

    // Reference: xz -dc of the same bytes, compressed at the same preset, on Linux.
    WriteBytes(dir / "all.bin", all);
    Shell("xz -6 -k -T1 -f '" + (dir / "all.bin").string() + "'");
    t = std::chrono::steady_clock::now();
    Shell("xz -dc '" + (dir / "all.bin.xz").string() + "' > /dev/null");
    double xzSeconds = Seconds(t);
    fs::remove(dir / "all.bin");
    std::string().swap(all);

    RunFigures base = RunUnderWine((dir / "tiny.exe").string());
    RunFigures run = RunUnderWine((dir / "setup.exe").string(), base.seconds * 1.5);
    double extractSeconds = run.seconds - base.seconds;
    double mb = total / 1048576.0;
    std::printf("\n%-44s %8s %10s\n", "", "seconds", "MB/s");
    std::printf("%-44s %8.2f %10.1f\n", "xz -dc of the same data (Linux, reference)", xzSeconds,
                mb / xzSeconds);
    std::printf("%-44s %8.2f %10s   exit %d\n", "engine under Wine, 1-file installer", base.seconds, "-",
                base.exitCode);
    std::printf("%-44s %8.2f %10.1f   exit %d\n", "engine under Wine, the payload", run.seconds,
                mb / run.seconds, run.exitCode);
    std::printf("%-44s %8.2f %10.1f\n", "  extraction alone (minus the 1-file run)", extractSeconds,
                mb / extractSeconds);
    std::printf("ratio engine extraction / xz -dc throughput: %.2f\n", xzSeconds / extractSeconds);
    std::printf("\nmemory (KB)                 %12s %12s %12s\n", "max RSS", "peak anon", "peak file");
    std::printf("1-file installer            %12ld %12ld %12ld\n", base.maxRssKb, base.peakRssAnonKb,
                base.peakRssFileKb);
    std::printf("the payload                 %12ld %12ld %12ld\n", run.maxRssKb, run.peakRssAnonKb,
                run.peakRssFileKb);
    std::printf("difference                  %12ld %12ld %12ld   (payload %.0f KB, chunk %u KB)\n",
                run.maxRssKb - base.maxRssKb, run.peakRssAnonKb - base.peakRssAnonKb,
                run.peakRssFileKb - base.peakRssFileKb, total / 1024.0, kDefaultChunkSize / 1024);
    std::printf("the payload, after start-up  %12ld %12ld %12s   (sampled every 10 ms after %.2f s)\n",
                run.lateRssKb, run.lateRssAnonKb, "", base.seconds * 1.5);
    fs::remove_all(dir);
    return 0;
}
