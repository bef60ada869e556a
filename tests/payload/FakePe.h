// A small PE image for tests that need a stub without the cross build: MZ header, PE header
// at a chosen offset, a standard optional header (PE32, or PE32+ as the 64-bit engine has)
// and `sections` sections of 0x200 raw bytes each (filled with their number), file alignment
// 0x200, section alignment 0x1000.
#pragma once

#include "payload/Bytes.h"
#include "payload/PeImage.h"

#include <cstring>
#include <string>

namespace cs::test {

// What the engine copy of an installer made from the stub is: the stub, then the zeros that
// put the section's data on a page boundary.
inline Bytes StubPaddedToPage(const Bytes& stub) {
    Bytes padded = stub;
    padded.resize((stub.size() + kPageBytes - 1) / kPageBytes * kPageBytes, 0);
    return padded;
}

enum class FakeImage { Pe32, Pe32Plus };

inline Bytes MakeFakeStub(int sections = 3, uint32_t peOffset = 0x80, FakeImage image = FakeImage::Pe32) {
    const bool plus = image == FakeImage::Pe32Plus;
    const uint32_t optionalSize = plus ? 240 : 224;
    const uint32_t table = peOffset + 24 + optionalSize;
    // Room for the table, one more entry and the 40 empty bytes after it.
    const uint32_t headers = (table + 40 * (sections + 2) + 0x1FF) / 0x200 * 0x200;
    Bytes b(headers + 0x200 * sections, 0);
    b[0] = 'M';
    b[1] = 'Z';
    StoreLE32(&b[60], peOffset);
    uint8_t* h = &b[peOffset];
    std::memcpy(h, "PE\0\0", 4);
    StoreLE16(h + 4, plus ? 0x8664 : 0x14C);
    StoreLE16(h + 6, static_cast<uint16_t>(sections));
    StoreLE16(h + 20, static_cast<uint16_t>(optionalSize));
    StoreLE16(h + 22, plus ? 0x0022 : 0x0102);
    StoreLE16(h + 24, plus ? kPe32PlusMagic : kPe32Magic);
    StoreLE32(h + kPeSizeOfInitializedData, 0x200 * sections);
    StoreLE32(h + 40, 0x1000); // entry point
    if (plus)
        StoreLE32(h + 48 + 4, 0x1); // image base 0x1'00000000 (8 bytes from offset 48)
    else
        StoreLE32(h + 52, 0x400000); // image base
    StoreLE32(h + kPeSectionAlignment, 0x1000);
    StoreLE32(h + kPeFileAlignment, 0x200);
    StoreLE32(h + kPeSizeOfImage, 0x1000 * (sections + 1));
    StoreLE32(h + kPeSizeOfHeaders, headers);
    StoreLE16(h + 92, 2);                  // subsystem: GUI
    StoreLE32(h + (plus ? 132 : 116), 16); // data directories
    for (int i = 0; i < sections; ++i) {
        uint8_t* e = &b[table + 40 * i];
        std::string name = ".s" + std::to_string(i);
        std::memcpy(e, name.data(), name.size());
        StoreLE32(e + 8, 0x200);
        StoreLE32(e + 12, 0x1000 * (i + 1));
        StoreLE32(e + 16, 0x200);
        StoreLE32(e + 20, headers + 0x200 * i);
        StoreLE32(e + 36, 0x40000040);
        std::memset(&b[headers + 0x200 * i], i + 1, 0x200);
    }
    return b;
}

} // namespace cs::test
