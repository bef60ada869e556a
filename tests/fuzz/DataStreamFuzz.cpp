// Outside bytes through the file data stream: as a stored stream (chunks, Blowfish, xz) and
// as a decoded stream of file records against a file size table. Every input ends in a
// result, never a crash; what is reported as read lies inside the input.
#include "payload/Crc32.h"
#include "payload/DataStream.h"
#include "payload/PayloadCodes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void ReadRecords(cs::ByteView decoded, const std::vector<int32_t>& sizes) {
    cs::MemoryExtractionSource source(decoded);
    cs::FileRecordReader reader(source, sizes);
    for (size_t i = 0; i < sizes.size(); ++i) {
        cs::FileRecord record;
        if (reader.Next(i, record) != cs::kPayloadOk) return;
        if (record.name.IsEmpty() || record.size != sizes[i]) abort();
        if (reader.ContentsOffset() + uint64_t(record.size) > decoded.size()) abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    uint8_t mode = data[0];
    cs::ByteView rest(data + 1, size - 1);

    // A stored stream the header announces correctly, so that every chunk is read.
    cs::PayloadHeader header;
    header.flags = (mode & 1) ? cs::kFlagBlowfish : 0;
    header.dataStreamSize = static_cast<int32_t>(rest.size());
    header.dataStreamChecksum = cs::Crc32(rest);
    static cs::Blowfish cipher = [] {
        cs::Blowfish c;
        uint8_t key[cs::kCipherKeyBytes] = {1, 2, 3, 4, 5, 6, 7, 8};
        c.SetKey(key, sizeof key);
        return c;
    }();
    cs::MemorySink sink;
    cs::DecodeStats stats;
    int code = cs::ExtractDataStream(rest, header, (mode & 2) ? cs::kOpt1CompressedData : 0, cipher, sink, {},
                                     &stats);
    if (code == cs::kPayloadOk && stats.decodedBytes != sink.bytes.size()) abort();

    // The same bytes as decoded records: a table of up to 4 sizes taken from the front.
    std::vector<int32_t> sizes;
    size_t count = (mode >> 2) & 3;
    if (rest.size() >= 4 * count) {
        for (size_t i = 0; i < count; ++i)
            sizes.push_back(static_cast<int32_t>(cs::LoadLE32(rest.data() + 4 * i)));
        ReadRecords(rest.subspan(4 * count), sizes);
    }
    if (code == cs::kPayloadOk && !sink.bytes.empty()) ReadRecords(sink.bytes, sizes);
    return 0;
}
