// The benchmarks' payload: files of a product's kinds of data (code-like binaries that xz
// compresses about 3:1, incompressible media, many small files of both), written into a
// folder with the project text that installs them. The same payload for the extraction
// benchmark and the build benchmark, so that their figures describe the same installer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace cs {
namespace fs = std::filesystem;

inline void WriteBytes(const fs::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Code-like bytes: instructions drawn from a small vocabulary with varying operands (about
// 3:1 under xz), like the binaries of a product.
inline std::string Compressible(size_t size, uint32_t seed) {
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

inline std::string Incompressible(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (size_t i = 0; i + 4 <= size; i += 4) {
        uint32_t v = random();
        std::memcpy(&out[i], &v, 4);
    }
    return out;
}

// The payload's files under dir/files (half compressible binaries, the small files, the
// rest incompressible) and the project that installs them; returns the project text.
inline std::string MakePayload(const fs::path& dir, size_t megabytes, size_t smallFiles,
                               const std::string& head) {
    const size_t total = megabytes << 20;
    std::string toml = head;
    size_t smallBytes = 0, binaryBytes = 0, randomBytes = 0;
    auto add = [&](const std::string& name, const std::string& data) {
        WriteBytes(dir / "files" / name, data);
        toml += "[[file]]\nsource = \"files/" + name + "\"\n";
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
                (smallBytes + binaryBytes + randomBytes) / 1048576.0, smallFiles + 6, binaryBytes / 1048576.0,
                randomBytes / 1048576.0, smallFiles, smallBytes / 1048576.0);
    return toml;
}

} // namespace cs
