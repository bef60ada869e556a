// Extraction under Wine, printed as figures: an installer of mixed data (compressible
// binaries, incompressible data, many small files) is built with the builder, run under
// Wine, and compared with references on Linux measured in the same rounds: `xz -dc` of the
// same files as one tar compressed by `xz -6`, and `xz -dc | tar -x` of it (every file
// written). The engine's memory is sampled from /proc while it runs. Not a test: it never
// fails on time.
//
//   datastream_bench [--mb N (64)] [--small N (2000)] [--rounds N (3)] [--keep]
//                    [--stub corvantis-setup.exe] [--compare other-corvantis-setup.exe]
//
// Each round runs both references, a 1-file installer (the start-up cost) and the payload's
// installer; the extraction is the difference of the two installers. Both installers run
// again on one processor (the engine decodes its chunks on as many threads as its process
// has processors): the decoding on one thread. The summary gives the medians and the median
// of the rounds' ratios, which the machine's load varies least.
// --compare builds the same two installers on another engine build (an earlier commit's, say)
// and runs them in the same rounds: a before and after that the machine's load varies least.
// --keep leaves the work folder (installers, files, the tar) for a profile.
//
// Without --stub it runs the engine scripts/wine-env chose for this machine: the stub in
// $CORVANTIS_WIN_BIN, corvantis-setup-x64.exe when CORVANTIS_ENGINE=x64, through the Wine
// loader in $CORVANTIS_WINE.
//
// 64 MB with 3 rounds runs in about a minute and a half on a 2-core machine (most of it the
// build and the reference at xz preset 6).
//
// Needs the Wine environment of scripts/wine-start (WINEPREFIX, DISPLAY, a running server).
#include "builder/Project.h"
#include "payload/BenchPayload.h"
#include "payload/DataStream.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace cs;
namespace fs = std::filesystem;

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

struct RunFigures {
    int exitCode = -1;
    double seconds = 0;
    double userSeconds = 0;   // getrusage: the process's CPU time in user mode
    double systemSeconds = 0; // and in the kernel
    long maxRssKb = 0;        // getrusage of the process (all of its resident memory)
    long peakRssAnonKb = 0;   // sampled: anonymous memory (heap, buffers, copies)
    long peakRssFileKb = 0;   // sampled: file-backed pages (mapped image, libraries)
    long lateRssKb = 0;       // sampled after start-up (the time a 1-file installer takes): VmRSS
    long lateRssAnonKb = 0;   // and its anonymous part
};

long StatusField(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    return 0;
}

double CpuSeconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `wine installer /silent /a` and samples its memory every 10 ms; on one processor,
// the engine sees one in its process's affinity mask and decodes on one thread.
RunFigures RunUnderWine(const std::string& installer, bool oneProcessor, double startupSeconds = 0) {
    RunFigures f;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        if (oneProcessor) {
            cpu_set_t first;
            CPU_ZERO(&first);
            CPU_SET(0, &first);
            sched_setaffinity(0, sizeof first, &first);
        }
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
    f.userSeconds = CpuSeconds(usage.ru_utime);
    f.systemSeconds = CpuSeconds(usage.ru_stime);
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

// Wall-clock seconds of a shell command.
double TimeShell(const std::string& command) {
    auto t = std::chrono::steady_clock::now();
    Shell(command);
    return Seconds(t);
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

struct Options {
    size_t megabytes = 64;
    size_t smallFiles = 2000;
    int rounds = 3;
    bool keep = false; // leave the work folder (installers, files, references) for a profile
    std::string stub;
    std::string comparedStub; // another engine build, run in the same rounds (--compare)
};

bool ReadOptions(int argc, char** argv, Options& o) {
    const char* engine = std::getenv("CORVANTIS_ENGINE");
    const bool x64 = engine && std::strcmp(engine, "x64") == 0;
    if (const char* bin = std::getenv("CORVANTIS_WIN_BIN"))
        o.stub = std::string(bin) + (x64 ? "/corvantis-setup-x64.exe" : "/corvantis-setup.exe");
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--keep")) o.keep = true;
        if (i + 1 == argc) break;
        if (!std::strcmp(argv[i], "--mb")) o.megabytes = std::strtoul(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--small")) o.smallFiles = std::strtoul(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--rounds")) o.rounds = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--stub")) o.stub = argv[i + 1];
        if (!std::strcmp(argv[i], "--compare")) o.comparedStub = argv[i + 1];
    }
    if (!o.stub.empty()) return true;
    std::fprintf(stderr, "datastream_bench: give --stub or set CORVANTIS_WIN_BIN (scripts/wine-env does)\n");
    return false;
}

// One round: the two references on Linux, then the 1-file installer and the payload's, on
// every processor and on one.
struct Round {
    double xz = 0;                            // xz -dc of the tar of the same files
    double xzTar = 0;                         // xz -dc | tar -x of it (every file written)
    RunFigures base;                          // the 1-file installer: start-up cost
    RunFigures payload;                       // the payload's installer
    RunFigures baseOne;                       // the same two on one processor
    RunFigures payloadOne;                    //
    RunFigures comparedBase, comparedPayload; // the same two built on the compared engine
    double Extraction() const { return payload.seconds - base.seconds; }
    double ExtractionOne() const { return payloadOne.seconds - baseOne.seconds; }
    double ComparedExtraction() const { return comparedPayload.seconds - comparedBase.seconds; }
};

Round MeasureRound(const fs::path& dir, bool compared) {
    Round r;
    fs::path archive = dir / "all.tar.xz", out = dir / "untarred";
    r.xz = TimeShell("xz -dc " + Quote(archive) + " > /dev/null");
    fs::create_directories(out);
    r.xzTar = TimeShell("xz -dc " + Quote(archive) + " | tar -x -C " + Quote(out));
    fs::remove_all(out);
    std::string tiny = (dir / "tiny.exe").string(), setup = (dir / "setup.exe").string();
    r.base = RunUnderWine(tiny, false);
    r.payload = RunUnderWine(setup, false, r.base.seconds * 1.5);
    r.baseOne = RunUnderWine(tiny, true);
    r.payloadOne = RunUnderWine(setup, true);
    if (compared) {
        r.comparedBase = RunUnderWine((dir / "tiny-compared.exe").string(), false);
        r.comparedPayload = RunUnderWine((dir / "setup-compared.exe").string(), false);
    }
    return r;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The columns of the rounds' table.
struct Column {
    const char* name;
    double (*value)(const Round&);
};
const Column kColumns[] = {
    {"xz -dc", [](const Round& r) { return r.xz; }},
    {"xz|tar -x", [](const Round& r) { return r.xzTar; }},
    {"1-file", [](const Round& r) { return r.base.seconds; }},
    {"payload", [](const Round& r) { return r.payload.seconds; }},
    {"extraction", [](const Round& r) { return r.Extraction(); }},
    {"CPU user", [](const Round& r) { return r.payload.userSeconds - r.base.userSeconds; }},
    {"CPU sys", [](const Round& r) { return r.payload.systemSeconds - r.base.systemSeconds; }},
    {"1 processor", [](const Round& r) { return r.ExtractionOne(); }},
    {"/ xz -dc", [](const Round& r) { return r.Extraction() / r.xz; }},
    {"/ xz|tar -x", [](const Round& r) { return r.Extraction() / r.xzTar; }},
    {"1 proc / xz", [](const Round& r) { return r.ExtractionOne() / r.xz; }},
};
constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

void PrintRow(const std::string& name, const double (&values)[kColumnCount]) {
    std::printf("%-8s", name.c_str());
    for (double v : values)
        std::printf(" %11.2f", v);
    std::printf("\n");
}

// Every round, then the medians (each column's own; the ratios are the medians of the
// rounds' ratios, so that a round slowed down as a whole does not skew them).
void PrintRounds(const std::vector<Round>& rounds, double megabytes) {
    std::printf("\n%-8s", "seconds");
    for (const Column& c : kColumns)
        std::printf(" %11s", c.name);
    std::printf("\n");
    std::vector<double> columns[kColumnCount];
    for (size_t i = 0; i < rounds.size(); ++i) {
        double values[kColumnCount];
        for (size_t c = 0; c < kColumnCount; ++c)
            columns[c].push_back(values[c] = kColumns[c].value(rounds[i]));
        PrintRow("round " + std::to_string(i + 1), values);
        for (const RunFigures* run :
             {&rounds[i].base, &rounds[i].payload, &rounds[i].baseOne, &rounds[i].payloadOne})
            if (run->exitCode != 0)
                std::printf("         an installer ended with exit code %d\n", run->exitCode);
    }
    double m[kColumnCount];
    for (size_t c = 0; c < kColumnCount; ++c)
        m[c] = Median(columns[c]);
    PrintRow("median", m);
    std::printf(
        "throughput (MB/s, medians): xz -dc %.1f, xz -dc | tar -x %.1f, engine extraction %.1f, on one "
        "processor %.1f\n",
        megabytes / m[0], megabytes / m[1], megabytes / m[4], megabytes / m[7]);
    std::printf("engine extraction time / xz -dc time: %.2f (on one processor %.2f); / xz -dc | tar -x time: "
                "%.2f (medians of the rounds' ratios)\n",
                m[8], m[10], m[9]);
}

// The compared engine beside this one, round by round and the medians.
void PrintComparison(const std::vector<Round>& rounds) {
    std::printf("\ncompared engine  %11s %11s %11s\n", "extraction", "/ xz -dc", "this / it");
    std::vector<double> extraction, toXz, thisToIt;
    for (size_t i = 0; i < rounds.size(); ++i) {
        const Round& r = rounds[i];
        extraction.push_back(r.ComparedExtraction());
        toXz.push_back(r.ComparedExtraction() / r.xz);
        thisToIt.push_back(r.Extraction() / r.ComparedExtraction());
        std::printf("round %-10zu %11.2f %11.2f %11.2f\n", i + 1, extraction.back(), toXz.back(),
                    thisToIt.back());
    }
    std::printf("%-16s %11.2f %11.2f %11.2f\n", "median", Median(extraction), Median(toXz), Median(thisToIt));
}

// The memory figures: each the highest of all rounds.
void PrintMemory(const std::vector<Round>& rounds, double startupSeconds, size_t totalBytes) {
    RunFigures base, run;
    for (const Round& r : rounds) {
        base.maxRssKb = std::max(base.maxRssKb, r.base.maxRssKb);
        base.peakRssAnonKb = std::max(base.peakRssAnonKb, r.base.peakRssAnonKb);
        base.peakRssFileKb = std::max(base.peakRssFileKb, r.base.peakRssFileKb);
        run.maxRssKb = std::max(run.maxRssKb, r.payload.maxRssKb);
        run.peakRssAnonKb = std::max(run.peakRssAnonKb, r.payload.peakRssAnonKb);
        run.peakRssFileKb = std::max(run.peakRssFileKb, r.payload.peakRssFileKb);
        run.lateRssKb = std::max(run.lateRssKb, r.payload.lateRssKb);
        run.lateRssAnonKb = std::max(run.lateRssAnonKb, r.payload.lateRssAnonKb);
    }
    std::printf("\nmemory (KB, highest of the rounds) %12s %12s %12s\n", "max RSS", "peak anon", "peak file");
    std::printf("1-file installer                   %12ld %12ld %12ld\n", base.maxRssKb, base.peakRssAnonKb,
                base.peakRssFileKb);
    std::printf("the payload                        %12ld %12ld %12ld\n", run.maxRssKb, run.peakRssAnonKb,
                run.peakRssFileKb);
    std::printf("difference                         %12ld %12ld %12ld   (payload %.0f KB, chunk %u KB)\n",
                run.maxRssKb - base.maxRssKb, run.peakRssAnonKb - base.peakRssAnonKb,
                run.peakRssFileKb - base.peakRssFileKb, totalBytes / 1024.0, kDefaultChunkSize / 1024);
    std::printf("the payload, after start-up        %12ld %12ld %12s   (sampled every 10 ms after %.2f s)\n",
                run.lateRssKb, run.lateRssAnonKb, "", startupSeconds);
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ReadOptions(argc, argv, o)) return 1;
    std::printf("engine: %s\n", o.stub.c_str());
    fs::path dir = fs::temp_directory_path() / ("cs_datastream_bench_" + std::to_string(getpid()));
    fs::create_directories(dir / "files");
    std::string head =
        "[product]\nname = \"Bench\"\nversion = \"1.0\"\n[install]\nfolder = \"C:\\\\cs_bench\"\n"
        "[options]\ncompress_files = true\n";
    std::string toml = MakePayload(dir, o.megabytes, o.smallFiles, head);
    WriteBytes(dir / "project.toml", toml);

    auto t = std::chrono::steady_clock::now();
    if (!Build(dir, toml, o.stub, dir / "setup.exe")) return 1;
    double buildSeconds = Seconds(t);
    std::string tiny = head + "[[file]]\nsource = \"files/small0.dat\"\n";
    if (!Build(dir, tiny, o.stub, dir / "tiny.exe")) return 1;
    std::printf("built: installer %.1f MB (chunk size %u, xz preset 6) in %.1f s\n",
                fs::file_size(dir / "setup.exe") / 1048576.0, kDefaultChunkSize, buildSeconds);

    // The references: the same files as one tar, compressed by `xz -6` as one stream.
    Shell("tar -cf " + Quote(dir / "all.tar") + " -C " + Quote(dir) + " files && xz -6 -T1 -f " +
          Quote(dir / "all.tar"));
    const bool compared = !o.comparedStub.empty();
    if (compared && !(Build(dir, toml, o.comparedStub, dir / "setup-compared.exe") &&
                      Build(dir, tiny, o.comparedStub, dir / "tiny-compared.exe")))
        return 1;
    std::vector<Round> rounds;
    for (int i = 0; i < o.rounds; ++i)
        rounds.push_back(MeasureRound(dir, compared));
    PrintRounds(rounds, static_cast<double>(o.megabytes));
    if (compared) PrintComparison(rounds);
    PrintMemory(rounds, rounds.back().base.seconds * 1.5, o.megabytes << 20);
    if (o.keep)
        std::printf("kept: %s\n", dir.c_str());
    else
        fs::remove_all(dir);
    return 0;
}
