// The builder's speed and output size, printed as figures beside `xz -6` on one thread and on
// every processor (`xz -6 -T1`, `xz -6 -T0`) of the same files in one tar, measured in the
// same run. Not a test: it never fails on time.
//
//   build_bench [--mb N (200)] [--small N (2000)] [--rounds N (1)] [--sweep]
//
// The payload is the extraction benchmark's (BenchPayload.h). Each round builds the
// installer with the builder library (on every processor, then on one thread: the bytes
// must be the same) and runs both references. --sweep also builds with chunk sizes from
// 256 KiB to 8 MiB and decodes each stream natively on one thread: the figures behind the
// default chunk size (ratio, build time, decoding time and the engine's memory per decoding
// thread). The stub is a small fake executable, so that no Windows build is needed.
#include "builder/Project.h"
#include "payload/BenchPayload.h"
#include "payload/ChunkEncoding.h"
#include "payload/DataStream.h"
#include "payload/FakePe.h"
#include "payload/PayloadCodes.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

using namespace cs;

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// CPU time (user and system) of this process, or of its finished children.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall-clock seconds of a shell command; `cpu` receives its CPU seconds. On a loaded machine
// the CPU time varies less than the wall-clock time.
double TimeShell(const std::string& command, double* cpu = nullptr) {
    double before = CpuSeconds(RUSAGE_CHILDREN);
    auto t = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    if (cpu) *cpu = CpuSeconds(RUSAGE_CHILDREN) - before;
    return Seconds(t);
}

std::string Quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

class NullSink final : public ExtractionSink {
  public:
    bool Write(const uint8_t*, size_t) override { return true; }
};

struct Built {
    Bytes installer;
    Bytes stream; // the file data stream alone, for the decoding figures
    double seconds = 0;
    double cpu = 0;
};

bool Build(const Project& project, unsigned threads, Built& out) {
    std::string error;
    double cpu = CpuSeconds(RUSAGE_SELF);
    auto t = std::chrono::steady_clock::now();
    BuildSettings settings;
    settings.threads = threads;
    if (!BuildInstaller(project, test::MakeFakeStub(), out.installer, error, settings)) {
        std::fprintf(stderr, "build: %s\n", error.c_str());
        return false;
    }
    out.seconds = Seconds(t);
    out.cpu = CpuSeconds(RUSAGE_SELF) - cpu;
    return true;
}

// The chunk-size row: build time on every processor, size, decoding time on one thread, and
// the engine's memory per decoding thread (the xz dictionary, which follows the chunk, and
// the chunk held stored and decoded).
void SweepChunkSizes(Project project, double tarMb) {
    std::printf("\nchunk size  build s  stream MB  ratio   decode s (1 thread)  decoder memory per thread\n");
    for (uint32_t kib : {256u, 512u, 1024u, 2048u, 4096u, 8192u}) {
        project.chunkSize = kib << 10;
        std::vector<int32_t> sizes;
        Bytes stream;
        std::string error;
        BuildSettings settings;
        auto t = std::chrono::steady_clock::now();
        if (!BuildDataStream(project, nullptr, stream, sizes, error, settings)) {
            std::fprintf(stderr, "build: %s\n", error.c_str());
            return;
        }
        double build = Seconds(t);
        MemorySource source(stream);
        NullSink sink;
        t = std::chrono::steady_clock::now();
        int code = DecodeChunks(source, 0, stream.size(), false, true, Blowfish(), sink,
                                int64_t(stream.size()), {}, nullptr, nullptr, 1);
        double decode = Seconds(t);
        uint32_t dictionary = 4096;
        while (dictionary < project.chunkSize && dictionary < (8u << 20))
            dictionary *= 2;
        double memoryMb = (dictionary + 2.0 * project.chunkSize) / 1048576.0;
        std::printf("%7u KiB  %7.1f  %9.1f  %.3f  %8.2f%s  %14.1f MiB\n", kib, build, stream.size() / 1e6,
                    stream.size() / 1e6 / tarMb, decode, code == kPayloadOk ? "" : " (failed)", memoryMb);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line as it comes, also into a file
    size_t megabytes = 200, smallFiles = 2000;
    int rounds = 1;
    bool sweep = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--sweep")) sweep = true;
        if (i + 1 == argc) break;
        if (!std::strcmp(argv[i], "--mb")) megabytes = std::strtoul(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--small")) smallFiles = std::strtoul(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--rounds")) rounds = std::max(0, std::atoi(argv[i + 1]));
    }
    fs::path dir = fs::temp_directory_path() / ("cs_build_bench_" + std::to_string(getpid()));
    fs::create_directories(dir / "files");
    std::string toml = MakePayload(dir, megabytes, smallFiles,
                                   "[product]\nname = \"Bench\"\nversion = \"1.0\"\n[install]\nfolder = "
                                   "\"C:\\\\cs_bench\"\n[options]\ncompress_files = true\n");
    Project project;
    std::string error;
    if (!LoadProjectText(toml, (dir / "project.toml").string(), project, error)) {
        std::fprintf(stderr, "project: %s\n", error.c_str());
        return 1;
    }
    TimeShell("tar -cf " + Quote(dir / "all.tar") + " -C " + Quote(dir) + " files");
    double tarMb = fs::file_size(dir / "all.tar") / 1e6;
    std::printf("processors: %u; chunk size %u KiB, xz preset 6\n", EncodeThreads(0),
                kDefaultChunkSize >> 10);

    std::vector<double> all, one, t1, t0, cpuAll, cpuT1, cpuT0;
    double builtMb = 0, t1Mb = 0, t0Mb = 0;
    bool same = true;
    if (rounds)
        std::printf("\nround  builder  builder 1 thread  xz -6 -T1  xz -6 -T0  (seconds; CPU seconds)\n");
    for (int r = 0; r < rounds; ++r) {
        Built many, single;
        if (!Build(project, 0, many) || !Build(project, 1, single)) return 1;
        same = same && many.installer == single.installer;
        builtMb = many.installer.size() / 1e6;
        all.push_back(many.seconds);
        one.push_back(single.seconds);
        cpuAll.push_back(many.cpu);
        double cpu1 = 0, cpu0 = 0;
        t1.push_back(
            TimeShell("xz -6 -T1 -c " + Quote(dir / "all.tar") + " > " + Quote(dir / "t1.xz"), &cpu1));
        t0.push_back(
            TimeShell("xz -6 -T0 -c " + Quote(dir / "all.tar") + " > " + Quote(dir / "t0.xz"), &cpu0));
        cpuT1.push_back(cpu1);
        cpuT0.push_back(cpu0);
        t1Mb = fs::file_size(dir / "t1.xz") / 1e6;
        t0Mb = fs::file_size(dir / "t0.xz") / 1e6;
        std::printf(
            "%5d  %7.2f  %16.2f  %9.2f  %9.2f   CPU: builder %.2f, 1 thread %.2f, xz -T1 %.2f, xz -T0 %.2f\n",
            r + 1, all.back(), one.back(), t1.back(), t0.back(), many.cpu, single.cpu, cpu1, cpu0);
    }
    if (!rounds) {
        if (sweep) SweepChunkSizes(project, tarMb);
        fs::remove_all(dir);
        return 0;
    }
    std::printf(
        "\nmedians: builder %.2f s (%.1f MB/s), 1 thread %.2f s, xz -6 -T1 %.2f s, xz -6 -T0 %.2f s\n",
        Median(all), tarMb / Median(all), Median(one), Median(t1), Median(t0));
    std::printf(
        "time: builder / xz -T0 %.2f, builder / xz -T1 %.2f; CPU: builder %.2f s, xz -T1 %.2f s, xz -T0 "
        "%.2f s\n",
        Median(all) / Median(t0), Median(all) / Median(t1), Median(cpuAll), Median(cpuT1), Median(cpuT0));
    std::printf(
        "size: tar %.1f MB; installer %.1f MB, xz -6 -T1 %.1f MB, xz -6 -T0 %.1f MB; installer / xz -6 "
        "%.3f\n",
        tarMb, builtMb, t1Mb, t0Mb, builtMb / t1Mb);
    std::printf("the installer from every processor and from one thread: %s\n",
                same ? "the same bytes" : "DIFFERENT BYTES");
    if (sweep) SweepChunkSizes(project, tarMb);
    fs::remove_all(dir);
    return same ? 0 : 1;
}
