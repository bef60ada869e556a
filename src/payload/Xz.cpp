#include "payload/Xz.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>

namespace cs {

namespace {

constexpr size_t kPiece = 16384;
constexpr uint64_t kMaxResult = 0x7FFFFFFF;

// Ends the coder on every path out of the scope.
struct Coder {
    lzma_stream stream = LZMA_STREAM_INIT;
    ~Coder() { lzma_end(&stream); }
};

} // namespace

bool XzDecode(ByteView input, Bytes& output) {
    output.clear();
    if (input.empty()) return true;
    Coder coder;
    if (lzma_stream_decoder(&coder.stream, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) return false;
    output.reserve(
        static_cast<size_t>(std::min<uint64_t>(3 * static_cast<uint64_t>(input.size()) + 1024, kMaxResult)));
    uint8_t window[kPiece];
    size_t fed = 0;
    for (;;) {
        if (coder.stream.avail_in == 0 && fed < input.size()) {
            size_t n = std::min(kPiece, input.size() - fed);
            coder.stream.next_in = input.data() + fed;
            coder.stream.avail_in = n;
            fed += n;
        }
        lzma_action action = fed == input.size() ? LZMA_FINISH : LZMA_RUN;
        coder.stream.next_out = window;
        coder.stream.avail_out = sizeof window;
        lzma_ret ret = lzma_code(&coder.stream, action);
        size_t produced = sizeof window - coder.stream.avail_out;
        if (output.size() + produced > kMaxResult) return false;
        output.insert(output.end(), window, window + produced);
        if (ret == LZMA_STREAM_END) return true;
        // A truncated input ends here too: the decoder reports LZMA_BUF_ERROR once it can
        // make no more progress.
        if (ret != LZMA_OK) return false;
    }
}

bool XzEncode(ByteView input, Bytes& output, uint32_t preset) {
    output.clear();
    Coder coder;
    if (lzma_easy_encoder(&coder.stream, preset, LZMA_CHECK_CRC32) != LZMA_OK) return false;
    coder.stream.next_in = input.data();
    coder.stream.avail_in = input.size();
    uint8_t window[kPiece];
    for (;;) {
        coder.stream.next_out = window;
        coder.stream.avail_out = sizeof window;
        lzma_ret ret = lzma_code(&coder.stream, LZMA_FINISH);
        output.insert(output.end(), window, window + (sizeof window - coder.stream.avail_out));
        if (ret == LZMA_STREAM_END) return true;
        if (ret != LZMA_OK) return false;
    }
}

} // namespace cs
