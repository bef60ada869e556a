#include "payload/PayloadHeader.h"

#include "payload/PayloadCodes.h"

#include <cstring>

namespace cs {

namespace {

// The payload cursor: reads advance it; a read past the end of the view fails.
class Cursor {
  public:
    explicit Cursor(ByteView view) : view_(view) {}
    size_t Position() const { return at_; }
    size_t Remaining() const { return view_.size() - at_; }
    bool Read32(uint32_t& value) {
        if (Remaining() < 4) return false;
        value = LoadLE32(view_.data() + at_);
        at_ += 4;
        return true;
    }
    bool ReadSigned(int32_t& value) {
        uint32_t v;
        if (!Read32(v)) return false;
        value = static_cast<int32_t>(v);
        return true;
    }
    // A NUL-terminated text; false when no NUL comes before the end of the view.
    bool ReadText(String8& text) {
        if (Remaining() == 0) return false; // an empty view may have no data pointer at all
        const uint8_t* start = view_.data() + at_;
        const void* nul = std::memchr(start, 0, Remaining());
        if (!nul) return false;
        size_t length = static_cast<const uint8_t*>(nul) - start;
        text.Assign(reinterpret_cast<const char*>(start), length);
        at_ += length + 1;
        return true;
    }
    bool ReadBytes(uint8_t* out, size_t size) {
        if (Remaining() < size) return false;
        std::memcpy(out, view_.data() + at_, size);
        at_ += size;
        return true;
    }

  private:
    ByteView view_;
    size_t at_ = 0;
};

} // namespace

PayloadHeaderLayout LayoutOf(size_t versionLength, size_t fileCount, bool hasCipherKey) {
    PayloadHeaderLayout l;
    l.flags = l.version + versionLength + 1;
    l.definitionSize = l.flags + 4;
    l.definitionChecksum = l.definitionSize + 4;
    l.engineChecksum = l.definitionChecksum + 4;
    l.dataStreamEnd = l.engineChecksum + 4;
    l.fileCount = l.dataStreamEnd + 4;
    l.dataStreamSize = l.fileCount + 4;
    l.dataStreamChecksum = l.dataStreamSize + 4;
    l.fileSizes = l.dataStreamChecksum + 4;
    l.cipherKey = l.fileSizes + 4 * fileCount;
    l.definitionBlock = l.cipherKey + (hasCipherKey ? kCipherKeyBytes : 0);
    return l;
}

int ReadPayloadHeader(ByteView payload, PayloadHeader& h, size_t& headerLength) {
    h = PayloadHeader();
    headerLength = 0;
    Cursor c(payload);
    if (!c.Read32(h.magic) || h.magic != kPayloadMagic) return kCodeMagic;
    if (!c.ReadText(h.version)) return kCodeMagic;
    if (!(h.version == kPayloadVersion)) return kVersionMismatch;
    if (!c.Read32(h.flags)) return kCodeMagic;
    if (!c.ReadSigned(h.definitionSize)) return kCodeMagic;
    if (h.definitionSize < 1 || h.definitionSize > kMaxDefinitionBlockSize) return kCodeDefinitionSize;
    if (!c.Read32(h.definitionChecksum) || !c.Read32(h.engineChecksum)) return kCodeMagic;
    if (!c.ReadSigned(h.dataStreamEnd)) return kCodeMagic;
    if (h.dataStreamEnd < 0) return kCodeDataStreamEnd;
    if (!c.ReadSigned(h.fileCount)) return kCodeMagic;
    if (h.fileCount < 0) return kCodeFileCount;
    if (!c.ReadSigned(h.dataStreamSize)) return kCodeMagic;
    if (h.dataStreamSize < 0) return kCodeDataStreamSize;
    if (!c.Read32(h.dataStreamChecksum)) return kCodeMagic;
    if (c.Remaining() / 4 < static_cast<size_t>(h.fileCount)) return kCodeFileCount;
    h.fileSizes.resize(static_cast<size_t>(h.fileCount));
    for (int32_t& size : h.fileSizes) {
        c.ReadSigned(size);
        if (size < 0 || size > kMaxFileSize) return kCodeFileSize;
    }
    if (h.HasCipherKey() && !c.ReadBytes(h.cipherKey.data(), kCipherKeyBytes)) return kCodeDefinitionSize;
    if (c.Remaining() < static_cast<size_t>(h.definitionSize)) return kCodeDefinitionSize;
    headerLength = c.Position();
    return kPayloadOk;
}

Bytes WritePayloadHeader(const PayloadHeader& h) {
    Bytes out;
    AppendLE32(out, h.magic);
    out.insert(out.end(), h.version.begin(), h.version.end());
    out.push_back(0);
    AppendLE32(out, h.flags);
    AppendLE32(out, static_cast<uint32_t>(h.definitionSize));
    AppendLE32(out, h.definitionChecksum);
    AppendLE32(out, h.engineChecksum);
    AppendLE32(out, static_cast<uint32_t>(h.dataStreamEnd));
    AppendLE32(out, static_cast<uint32_t>(h.fileCount));
    AppendLE32(out, static_cast<uint32_t>(h.dataStreamSize));
    AppendLE32(out, h.dataStreamChecksum);
    for (int32_t size : h.fileSizes)
        AppendLE32(out, static_cast<uint32_t>(size));
    if (h.HasCipherKey()) out.insert(out.end(), h.cipherKey.begin(), h.cipherKey.end());
    return out;
}

} // namespace cs
