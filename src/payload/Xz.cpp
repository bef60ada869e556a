#include "payload/Xz.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace cs {

namespace {

constexpr size_t kPiece = 16384;

// The room a result of `inputSize` stored bytes is expected to need: xz data of code-like
// files decodes to about three times its size; incompressible data to a little less.
uint64_t ExpectedResult(size_t inputSize) {
    return 3 * static_cast<uint64_t>(inputSize) + 1024;
}

// Ends the coder on every path out of the scope.
struct OwnedStream {
    lzma_stream stream = LZMA_STREAM_INIT;
    ~OwnedStream() { lzma_end(&stream); }
};

} // namespace

struct XzDecoder::Coder : OwnedStream {};

XzDecoder::XzDecoder() : coder_(std::make_unique<Coder>()) {}

XzDecoder::~XzDecoder() = default;

void XzDecoder::Reserve(size_t kept, uint64_t wanted, uint64_t most) {
    // One byte beyond the largest result allowed, so that a larger one shows.
    wanted = std::min(wanted, most + 1);
    if (wanted <= capacity_) return;
    size_t size =
        static_cast<size_t>(std::min(std::max<uint64_t>(wanted, 2 * uint64_t{capacity_}), most + 1));
    std::unique_ptr<uint8_t[]> larger(new uint8_t[size]);
    if (kept) std::memcpy(larger.get(), buffer_.get(), kept);
    buffer_ = std::move(larger);
    capacity_ = size;
}

XzResult XzDecoder::Decode(ByteView input, ByteView& decoded, uint64_t most) {
    decoded = {};
    if (input.empty()) return XzResult::Decoded;
    most = std::min(most, kXzMostResult);
    lzma_stream& stream = coder_->stream;
    // On a stream that was used before, liblzma starts the new container in the memory of
    // the previous one.
    if (lzma_stream_decoder(&stream, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) return XzResult::Damaged;
    stream.next_in = input.data();
    stream.avail_in = input.size();
    Reserve(0, ExpectedResult(input.size()), most);
    size_t produced = 0;
    for (;;) {
        if (produced == capacity_) Reserve(produced, uint64_t{capacity_} + 1, most);
        stream.next_out = buffer_.get() + produced;
        stream.avail_out = capacity_ - produced;
        lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
        produced = capacity_ - stream.avail_out;
        if (produced > most) return XzResult::TooLarge;
        if (ret == LZMA_STREAM_END) {
            decoded = ByteView(buffer_.get(), produced);
            return XzResult::Decoded;
        }
        // A truncated input ends here too: the decoder reports LZMA_BUF_ERROR once it can
        // make no more progress.
        if (ret != LZMA_OK) return XzResult::Damaged;
    }
}

bool XzDecode(ByteView input, Bytes& output) {
    XzDecoder decoder;
    ByteView decoded;
    bool ok = decoder.Decode(input, decoded) == XzResult::Decoded;
    output.assign(decoded.begin(), decoded.end());
    return ok;
}

bool XzEncode(ByteView input, Bytes& output, uint32_t preset) {
    output.clear();
    OwnedStream coder;
    lzma_stream& stream = coder.stream;
    if (lzma_easy_encoder(&stream, preset, LZMA_CHECK_CRC32) != LZMA_OK) return false;
    stream.next_in = input.data();
    stream.avail_in = input.size();
    uint8_t window[kPiece];
    for (;;) {
        stream.next_out = window;
        stream.avail_out = sizeof window;
        lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
        output.insert(output.end(), window, window + (sizeof window - stream.avail_out));
        if (ret == LZMA_STREAM_END) return true;
        if (ret != LZMA_OK) return false;
    }
}

} // namespace cs
