// The xz container: the encoder the builder uses and the decoders the engine uses.
#pragma once

#include "payload/Bytes.h"

#include <memory>

namespace cs {

// Decodes xz containers one after another with one decoder. liblzma keeps the decoder's
// memory (the dictionary above all, as large as a container announces: the builder's chunks
// announce their own size rounded up to a power of two) from one container to the next, and the result is written straight into a buffer
// the decoder keeps, so that decoding the data stream chunk by chunk allocates, faults in
// and copies nothing anew per chunk.
constexpr uint64_t kXzMostResult = 0x7FFFFFFF; // the largest result the decoders give

enum class XzResult { Decoded, Damaged, TooLarge };

class XzDecoder {
  public:
    XzDecoder();
    ~XzDecoder();
    XzDecoder(const XzDecoder&) = delete;
    XzDecoder& operator=(const XzDecoder&) = delete;

    // Decodes one xz container (concatenated streams accepted, no memory limit for the
    // decoder), given whole with the finish action. An empty input gives an empty result.
    // Damaged on any decoder error and on an input that ends before the end of the stream;
    // TooLarge on a result above `most` bytes (at most kXzMostResult), found before more
    // than `most` + 1 bytes are held. When decoded, `decoded` shows the result in the
    // decoder's buffer, valid until the next call; otherwise it is empty.
    XzResult Decode(ByteView input, ByteView& decoded, uint64_t most = kXzMostResult);

  private:
    // Makes room for at least `wanted` bytes, never more than `most` + 1, keeping the first
    // `kept` bytes.
    void Reserve(size_t kept, uint64_t wanted, uint64_t most);

    struct Coder;
    std::unique_ptr<Coder> coder_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_ = 0;
};

// Decodes one xz container with a decoder of its own, by the rules of XzDecoder::Decode;
// false unless decoded. `output` holds the result; it is empty after a failure.
bool XzDecode(ByteView input, Bytes& output);

// Encodes xz streams (CRC-32 integrity check) one after another with one encoder, whose
// memory (about 90 MiB at preset 6) liblzma keeps from one stream to the next. The
// dictionary is the preset's, cut down to the input's size rounded up to a power of two
// (4 KiB at least): a window larger than the input finds nothing more, and the decoder
// allocates the dictionary the stream announces, so a 1 MiB chunk costs the engine 1 MiB
// instead of the preset's 8 MiB. The result depends on the input and the preset alone.
class XzEncoder {
  public:
    explicit XzEncoder(uint32_t preset = 6);
    ~XzEncoder();
    XzEncoder(const XzEncoder&) = delete;
    XzEncoder& operator=(const XzEncoder&) = delete;

    // One whole xz stream of `input` in `output` (replaced); false on an encoder error or a
    // preset outside 0 to 9.
    bool Encode(ByteView input, Bytes& output);

  private:
    struct Coder;
    std::unique_ptr<Coder> coder_;
    uint32_t preset_;
};

// One xz stream with an encoder of its own, as XzEncoder::Encode.
bool XzEncode(ByteView input, Bytes& output, uint32_t preset = 6);

} // namespace cs
