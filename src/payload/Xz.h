// The xz container: the encoder the builder uses and the decoder the engine uses.
#pragma once

#include "payload/Bytes.h"

namespace cs {

// Decodes an xz container (concatenated streams accepted, no memory limit). The input goes
// to the decoder in pieces of at most 16384 bytes, the finish action with the last piece.
// An empty input gives an empty result and succeeds. False on any decoder error, on an
// input that ends before the end of the stream, and on a result above 0x7FFFFFFF bytes.
bool XzDecode(ByteView input, Bytes& output);

// Encodes one xz stream (CRC-32 integrity check) at the given preset (0 to 9).
bool XzEncode(ByteView input, Bytes& output, uint32_t preset = 6);

} // namespace cs
