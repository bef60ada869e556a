#include "builder/BuildProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cs {

namespace {

std::string Duration(double seconds) {
    auto whole = static_cast<uint64_t>(std::ceil(seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(whole / 3600),
                      static_cast<unsigned long long>(whole / 60 % 60),
                      static_cast<unsigned long long>(whole % 60));
    else
        std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(whole / 60),
                      static_cast<unsigned long long>(whole % 60));
    return text;
}

} // namespace

std::string ProgressLine(uint64_t done, uint64_t total, double seconds) {
    done = std::min(done, total);
    unsigned percent = total ? static_cast<unsigned>(done * 100 / total) : 100;
    char head[64];
    std::snprintf(head, sizeof head, "%u%% of %.1f MB, ", percent, static_cast<double>(total) / 1e6);
    if (done == 0 || seconds < 0.001) return std::string(head) + "- MB/s, - left";
    double rate = static_cast<double>(done) / seconds;
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.1f MB/s, ", rate / 1e6);
    return std::string(head) + speed + Duration(static_cast<double>(total - done) / rate) + " left";
}

} // namespace cs
