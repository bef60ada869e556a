#include "builder/Reproducible.h"

#include "builder/Project.h"
#include "builder/ProjectSection.h"
#include "builder/SourceTree.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace cs {

CipherKey CipherKeyFromSeed(const Sha256Digest& seed) {
    CipherKey key;
    for (uint8_t part = 0; part < 2; ++part) {
        Sha256 h;
        h.Update(seed);
        h.Update(&part, 1);
        Sha256Digest d = h.Finish();
        size_t at = part * d.size();
        std::memcpy(key.data() + at, d.data(), std::min(d.size(), key.size() - at));
    }
    return key;
}

namespace {

void UpdateLength(Sha256& h, uint64_t n) {
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(n >> (8 * i));
    h.Update(bytes, sizeof bytes);
}

} // namespace

bool ProjectCipherKey(const Project& project, ByteView definition, CipherKey& key, std::string& error) {
    static const char kLabel[] = "corvantis-build cipher key 1";
    Sha256 h;
    h.Update(reinterpret_cast<const uint8_t*>(kLabel), sizeof kLabel);
    // Each part is preceded by its length, so that moving bytes from one file to the next
    // changes the key.
    UpdateLength(h, definition.size());
    h.Update(definition);
    std::vector<char> piece(1 << 16);
    for (const ProjectFile& f : project.files) {
        std::ifstream in(PathFromUtf8(f.source), std::ios::binary);
        if (!in) {
            error = "cannot read " + f.source;
            return false;
        }
        Sha256 contents;
        uint64_t size = 0;
        while (in) {
            in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
            size_t got = static_cast<size_t>(in.gcount());
            contents.Update(reinterpret_cast<const uint8_t*>(piece.data()), got);
            size += got;
        }
        if (in.bad()) {
            error = "cannot read " + f.source;
            return false;
        }
        UpdateLength(h, size);
        h.Update(contents.Finish());
    }
    key = CipherKeyFromSeed(h.Finish());
    return true;
}

bool ParseSourceDateEpoch(const char* text, std::optional<int64_t>& epoch) {
    epoch.reset();
    if (!text || !*text) return true;
    for (const char* p = text; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    // Dates of file records end with year 9999.
    if (errno || *end || value > 253402300799LL) return false;
    epoch = value;
    return true;
}

std::optional<int64_t> SourceDateEpoch() {
    std::optional<int64_t> epoch;
    if (!ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), epoch)) return std::nullopt;
    return epoch;
}

DateValue ClampedFileDate(int64_t modified, std::optional<int64_t> epoch) {
    if (epoch && modified > *epoch) modified = *epoch;
    return UtcDateValue(std::chrono::sys_seconds(std::chrono::seconds(modified)));
}

} // namespace cs
