// Throughput of the payload steps, printed as figures beside references measured in the
// same run (a plain copy; `xz -dc` of the same data). Not a test: it never fails on time.
#include "payload/Blowfish.h"
#include "payload/Crc32.h"
#include "payload/XorStep.h"
#include "payload/Xz.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace cs;

namespace {

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

void Print(const char* what, size_t bytes, double seconds) {
    std::printf("%-34s %8.1f MB/s  (%zu bytes, %.3f s)\n", what, bytes / seconds / 1e6, bytes, seconds);
}

// Definition-like bytes: words, numbers and line ends that compress about 4:1.
Bytes Sample(size_t size) {
    static const char* words[] = {
        "Program Files", "%InstallDir%\\", "Software\\Corvantis", "readme.txt", "0x00FF00",
        "\r\n",          "Setup",          "Uninstall",           "1.2.3.4",    "shortcut"};
    Bytes out;
    out.reserve(size);
    uint32_t seed = 12345;
    while (out.size() < size) {
        seed = seed * 1103515245 + 12345;
        const char* w = words[(seed >> 16) % 10];
        out.insert(out.end(), w, w + std::strlen(w));
        out.push_back(static_cast<uint8_t>('0' + (seed >> 8) % 10));
    }
    out.resize(size);
    return out;
}

} // namespace

int main() {
    const size_t size = 16u << 20;
    Bytes plain = Sample(size);
    using clock = std::chrono::steady_clock;

    auto t = clock::now();
    Bytes copy(plain);
    Print("plain copy (reference)", size, Seconds(t));

    t = clock::now();
    volatile uint32_t crc = Crc32(plain);
    Print("CRC-32", size, Seconds(t));
    (void)crc;

    t = clock::now();
    XorStep(copy.data(), copy.size(), 0xA5A5F00D);
    Print("XOR step", size, Seconds(t));

    Blowfish cipher;
    uint8_t key[56];
    for (int i = 0; i < 56; ++i)
        key[i] = static_cast<uint8_t>(i * 31);
    t = clock::now();
    for (int i = 0; i < 1000; ++i)
        cipher.SetKey(key, sizeof key);
    std::printf("%-34s %8.1f us each\n", "Blowfish key schedule", Seconds(t) * 1e3);
    t = clock::now();
    cipher.Decrypt(copy.data(), copy.size());
    Print("Blowfish ECB decryption", size, Seconds(t));

    Bytes packed, unpacked;
    t = clock::now();
    XzEncode(plain, packed, 6);
    Print("xz encoding, preset 6 (builder)", size, Seconds(t));
    std::printf("%-34s %8.2f : 1\n", "compression ratio", double(size) / packed.size());

    t = clock::now();
    bool ok = XzDecode(packed, unpacked) && unpacked == plain;
    Print(ok ? "XzDecode (engine)" : "XzDecode FAILED", size, Seconds(t));

    std::string file = "/tmp/cs-payload-bench-" + std::to_string(getpid()) + ".xz";
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(packed.data(), 1, packed.size(), f);
        std::fclose(f);
        t = clock::now();
        int rc = std::system(("xz -dc " + file + " > /dev/null").c_str());
        Print(rc == 0 ? "xz -dc (reference, incl. start)" : "xz -dc FAILED", size, Seconds(t));
        std::remove(file.c_str());
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-34s %8.1f MB (input, copies, output)\n", "peak resident memory", usage.ru_maxrss / 1024.0);
    return 0;
}
