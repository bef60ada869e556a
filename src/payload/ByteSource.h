// Random-access reads of a file's bytes: the engine reads its own file through a handle,
// the builder's inspection and the tests read a buffer. The same checks run over both.
#pragma once

#include "payload/Bytes.h"

#include <cstring>

namespace cs {

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) const = 0;
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(ByteView bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const override {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
        if (size) std::memcpy(buffer, bytes_.data() + offset, size);
        return true;
    }

  private:
    ByteView bytes_;
};

} // namespace cs
