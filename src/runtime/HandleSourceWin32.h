// A file opened by handle read as a ByteSource: the engine's own file for the payload checks
// and the data stream, and the extraction file when records are read back.
#pragma once

#include "payload/ByteSource.h"

#include <windows.h>

namespace cs {

class HandleSource final : public ByteSource {
  public:
    explicit HandleSource(HANDLE file) : file_(file) {}
    uint64_t Size() const override;
    // Reads exactly `size` bytes at `offset`; a file that ends first fails with
    // ERROR_HANDLE_EOF.
    bool ReadAt(uint64_t offset, void* buffer, size_t size) const override;

  private:
    HANDLE file_;
};

} // namespace cs
