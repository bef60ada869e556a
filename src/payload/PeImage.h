// The Portable Executable parts the payload needs: finding the `.setup` section the way the
// engine does, adding one to a stub (builder), and removing it again (the engine copy that
// becomes the uninstaller). Everything works over bytes; nothing here touches the system.
#pragma once

#include "payload/ByteSource.h"
#include "payload/Bytes.h"

#include <string>

namespace cs {

constexpr char kSetupSectionName[] = ".setup";
constexpr uint32_t kPeOffsetField = 60;
constexpr uint32_t kMinPeOffset = 64;
constexpr uint32_t kMaxPeOffset = 4096;
constexpr int kMinSectionCount = 4;
constexpr int kMaxSectionCount = 99;
constexpr uint32_t kSectionEntryBytes = 40;
constexpr uint32_t kPageBytes = 4096;
// Offsets from the PE header.
constexpr uint32_t kPeSectionCount = 6;
constexpr uint32_t kPeOptionalHeaderSize = 20;
constexpr uint32_t kPeSizeOfInitializedData = 32;
constexpr uint32_t kPeSectionAlignment = 56;
constexpr uint32_t kPeFileAlignment = 60;
constexpr uint32_t kPeSizeOfImage = 80;
constexpr uint32_t kPeSizeOfHeaders = 84;
constexpr uint32_t kPeChecksum = 88;
constexpr uint32_t kPeOptionalMagic = 24;
// The optional header's magic: the 32-bit engine is PE32, the 64-bit engine PE32+. The
// fields this module touches lie at the same offsets in both.
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
// The engine checksum covers the engine prefix from here (just after the PE checksum).
constexpr uint32_t kPeEngineChecksumStart = 92;

// Where the `.setup` section lies, as read from the file's headers.
struct SetupSection {
    uint32_t peOffset = 0;
    int sectionCount = 0;
    uint32_t sectionTable = 0; // file offset of the section table
    int index = -1;            // entry number of `.setup` in the table
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

// Finds the first section named `.setup`. Returns kPayloadOk, kCodePeOffset,
// kCodeSectionCount, kNoSetupSection, kCodeNoRawData or kCodeSeek (raw offset beyond the
// end of the file).
int LocateSetupSection(const ByteSource& file, SetupSection& out);

// "PE32" or "PE32+" from the optional header's magic; "" when it is neither or unreadable.
const char* PeImageFormat(const ByteSource& file, uint32_t peOffset);

// The part of the section the payload steps read: its raw data, cut to the virtual size
// when that is smaller and to the end of the file. (Memory the loader fills with zeros past
// the raw data holds no payload, so a field there counts as past the section.)
uint32_t MappedSectionLength(const SetupSection& section, uint64_t fileSize);
// Reads that part from the file (the builder's inspection); false when it cannot be read.
bool ReadMappedSection(const ByteSource& file, const SetupSection& section, Bytes& out);

// CRC-32 of the engine prefix (file offset 0 up to the `.setup` raw data) from the byte
// after the PE checksum field to its end.
uint32_t EngineChecksum(ByteView enginePrefix, uint32_t peOffset);

// The engine without its payload: the prefix, then `tail` (the bytes that followed the
// section's raw data), with the section removed from the headers: the count and the sizes
// of initialized data and of the image decreased, later entries moved down a slot (their raw
// offsets decreased by the raw size), the freed slot filled with the 40 bytes that
// followed the table. The image size is kept a multiple of the section alignment. False
// when the prefix does not hold the headers it needs.
// A signature of the installer cannot hold for the copy, whose bytes differ: its certificate
// table entry is cleared and the certificate, when it ends the file, is cut off.
bool BuildEngineCopy(ByteView enginePrefix, ByteView tail, const SetupSection& section, Bytes& copy);

// The certificate table entry of the data directories (entry 4): the file offset and size of
// the signature appended to the file; false when the headers do not reach the entry.
bool ReadCertificateTable(ByteView file, uint32_t peOffset, uint32_t& offset, uint32_t& size);

// Builder: the placement of a new `.setup` section behind a stub.
struct SectionPlan {
    uint32_t rawOffset = 0;
    uint32_t rawSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
};

// Makes the engine prefix of an installer from a stub: the stub, zeros up to a page boundary
// (at least the file alignment), and headers with a `.setup` section entry for a payload whose first
// `mappedLength` bytes are mapped and which has `fileLength` bytes in the file from the
// section start (more than mappedLength when the data stream lies outside the section). The
// raw size is a multiple of the section alignment whenever the file has the bytes for it,
// so the engine copy gives the stub's headers back exactly. False with a reason when the
// stub is not a PE32 or PE32+ image that can take one more section header.
bool PrepareSetupSection(ByteView stub, uint64_t mappedLength, uint64_t fileLength, Bytes& prefix,
                         SectionPlan& plan, std::string& error);

} // namespace cs
