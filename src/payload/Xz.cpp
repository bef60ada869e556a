#include "payload/Xz.h"

#include <lzma.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace cs {

namespace {

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

struct XzEncoder::Coder : OwnedStream {};

XzEncoder::XzEncoder(uint32_t preset) : coder_(std::make_unique<Coder>()), preset_(preset) {}

XzEncoder::~XzEncoder() = default;

bool XzEncoder::Encode(ByteView input, Bytes& output) {
    output.clear();
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, preset_)) return false;
    uint32_t window = LZMA_DICT_SIZE_MIN;
    while (window < input.size() && window < options.dict_size)
        window *= 2;
    options.dict_size = std::min(window, options.dict_size);
    lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream& stream = coder_->stream;
    // The same stream object again: liblzma reuses the encoder's memory when it fits.
    if (lzma_stream_encoder(&stream, filters, LZMA_CHECK_CRC32) != LZMA_OK) return false;
    output.resize(lzma_stream_buffer_bound(input.size()));
    stream.next_in = input.data();
    stream.avail_in = input.size();
    stream.next_out = output.data();
    stream.avail_out = output.size();
    lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
    output.resize(output.size() - stream.avail_out);
    if (ret == LZMA_STREAM_END) return true;
    output.clear();
    return false;
}

bool XzEncode(ByteView input, Bytes& output, uint32_t preset) {
    return XzEncoder(preset).Encode(input, output);
}

} // namespace cs
