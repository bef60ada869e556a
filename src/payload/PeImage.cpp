#include "payload/PeImage.h"

#include "payload/Crc32.h"
#include "payload/PayloadCodes.h"

#include <algorithm>
#include <cstring>

namespace cs {

namespace {

bool Read16(const ByteSource& file, uint64_t offset, uint32_t& value) {
    uint8_t b[2];
    if (!file.ReadAt(offset, b, 2)) return false;
    value = LoadLE16(b);
    return true;
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

bool IsPowerOfTwo(uint32_t v) {
    return v && !(v & (v - 1));
}

} // namespace

int LocateSetupSection(const ByteSource& file, SetupSection& out) {
    out = SetupSection();
    uint32_t peOffset = 0;
    if (!Read16(file, kPeOffsetField, peOffset) || peOffset < kMinPeOffset || peOffset > kMaxPeOffset)
        return kCodePeOffset;
    uint32_t count = 0;
    if (!Read16(file, peOffset + kPeSectionCount, count) || count < kMinSectionCount ||
        count > kMaxSectionCount)
        return kCodeSectionCount;
    uint32_t optionalSize = 0;
    // An unreadable optional header size leaves no table to search.
    if (!Read16(file, peOffset + kPeOptionalHeaderSize, optionalSize)) return kNoSetupSection;
    out.peOffset = peOffset;
    out.sectionCount = static_cast<int>(count);
    out.sectionTable = peOffset + 24 + optionalSize;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t entry[kSectionEntryBytes];
        uint64_t at = out.sectionTable + uint64_t{i} * kSectionEntryBytes;
        if (!file.ReadAt(at, entry, 8)) break;
        // The name field is 8 bytes; compared as a NUL-terminated text.
        if (std::memcmp(entry, kSetupSectionName, sizeof kSetupSectionName) != 0) continue;
        if (!file.ReadAt(at, entry, sizeof entry)) return kCodeSeek;
        out.index = static_cast<int>(i);
        out.virtualSize = LoadLE32(entry + 8);
        out.virtualAddress = LoadLE32(entry + 12);
        out.rawSize = LoadLE32(entry + 16);
        out.rawOffset = LoadLE32(entry + 20);
        if (out.rawOffset == 0) return kCodeNoRawData;
        if (out.rawOffset > file.Size()) return kCodeSeek;
        return kPayloadOk;
    }
    return kNoSetupSection;
}

const char* PeImageFormat(const ByteSource& file, uint32_t peOffset) {
    uint32_t magic = 0;
    if (!Read16(file, uint64_t{peOffset} + kPeOptionalMagic, magic)) return "";
    if (magic == kPe32Magic) return "PE32";
    if (magic == kPe32PlusMagic) return "PE32+";
    return "";
}

uint32_t MappedSectionLength(const SetupSection& section, uint64_t fileSize) {
    uint64_t length = section.rawSize;
    if (section.virtualSize) length = std::min<uint64_t>(length, section.virtualSize);
    uint64_t available = fileSize > section.rawOffset ? fileSize - section.rawOffset : 0;
    return static_cast<uint32_t>(std::min(length, available));
}

bool ReadMappedSection(const ByteSource& file, const SetupSection& section, Bytes& out) {
    out.resize(MappedSectionLength(section, file.Size()));
    return file.ReadAt(section.rawOffset, out.data(), out.size());
}

uint32_t EngineChecksum(ByteView enginePrefix, uint32_t peOffset) {
    uint64_t start = uint64_t{peOffset} + kPeEngineChecksumStart;
    if (start >= enginePrefix.size()) return Crc32({});
    return Crc32(enginePrefix.subspan(static_cast<size_t>(start)));
}

namespace {

// The data directories start at optional-header offset 96 (PE32) or 112 (PE32+); the
// certificate table is their entry 4.
uint64_t CertificateEntryOffset(ByteView file, uint32_t peOffset) {
    uint64_t optional = uint64_t{peOffset} + 24;
    if (optional + 2 > file.size()) return 0;
    bool plus = LoadLE16(file.data() + optional) == kPe32PlusMagic;
    uint64_t entry = optional + (plus ? 144 : 128);
    return entry + 8 <= file.size() ? entry : 0;
}

// The copy's signature entry cleared; a certificate that ends the file goes with it.
void DropSignature(Bytes& copy, const SetupSection& section) {
    uint64_t entry = CertificateEntryOffset(copy, section.peOffset);
    if (!entry) return;
    uint64_t offset = LoadLE32(copy.data() + entry), size = LoadLE32(copy.data() + entry + 4);
    if (!offset && !size) return;
    std::memset(copy.data() + entry, 0, 8);
    // The offset is the installer's; behind the removed section it moved down with the tail.
    uint64_t sectionEnd = uint64_t{section.rawOffset} + section.rawSize;
    if (offset < sectionEnd) return;
    uint64_t start = offset - section.rawSize;
    if (start < copy.size() && start + size >= copy.size()) copy.resize(static_cast<size_t>(start));
}

} // namespace

bool ReadCertificateTable(ByteView file, uint32_t peOffset, uint32_t& offset, uint32_t& size) {
    uint64_t entry = CertificateEntryOffset(file, peOffset);
    if (!entry) return false;
    offset = LoadLE32(file.data() + entry);
    size = LoadLE32(file.data() + entry + 4);
    return true;
}

bool BuildEngineCopy(ByteView enginePrefix, ByteView tail, const SetupSection& section, Bytes& copy) {
    const uint64_t pe = section.peOffset;
    const uint64_t tableEnd = section.sectionTable + uint64_t(section.sectionCount) * kSectionEntryBytes;
    if (section.index < 0 || section.index >= section.sectionCount ||
        pe + kPeSizeOfHeaders > enginePrefix.size() || tableEnd + kSectionEntryBytes > enginePrefix.size())
        return false;
    copy.assign(enginePrefix.begin(), enginePrefix.end());
    copy.insert(copy.end(), tail.begin(), tail.end());
    uint8_t* h = copy.data() + pe;
    StoreLE16(h + kPeSectionCount, static_cast<uint16_t>(section.sectionCount - 1));
    StoreLE32(h + kPeSizeOfInitializedData, LoadLE32(h + kPeSizeOfInitializedData) - section.rawSize);
    uint32_t alignment = LoadLE32(h + kPeSectionAlignment);
    uint64_t image = LoadLE32(h + kPeSizeOfImage) - section.rawSize;
    if (IsPowerOfTwo(alignment)) image = AlignUp(image, alignment);
    StoreLE32(h + kPeSizeOfImage, static_cast<uint32_t>(image));
    // Later entries move down one slot; their raw data moved down by the section's size.
    uint8_t* slot = copy.data() + section.sectionTable + uint64_t(section.index) * kSectionEntryBytes;
    uint8_t* last = copy.data() + tableEnd - kSectionEntryBytes;
    for (; slot < last; slot += kSectionEntryBytes) {
        std::memcpy(slot, slot + kSectionEntryBytes, kSectionEntryBytes);
        uint32_t raw = LoadLE32(slot + 20);
        if (raw >= uint64_t{section.rawOffset} + section.rawSize) StoreLE32(slot + 20, raw - section.rawSize);
    }
    std::memcpy(last, copy.data() + tableEnd, kSectionEntryBytes);
    DropSignature(copy, section);
    return true;
}

bool PrepareSetupSection(ByteView stub, uint64_t mappedLength, uint64_t fileLength, Bytes& prefix,
                         SectionPlan& plan, std::string& error) {
    auto fail = [&](const char* why) {
        error = why;
        return false;
    };
    if (stub.size() < 64 || stub[0] != 'M' || stub[1] != 'Z')
        return fail("the stub is not an executable (no MZ header)");
    uint32_t pe = LoadLE32(stub.data() + kPeOffsetField);
    // The file header and the optional header up to the checksum field must be there.
    if (pe < kMinPeOffset || pe > kMaxPeOffset || uint64_t{pe} + kPeEngineChecksumStart > stub.size())
        return fail("the stub's PE header offset is outside 64 to 4096");
    const uint8_t* h = stub.data() + pe;
    if (std::memcmp(h, "PE\0\0", 4) != 0) return fail("the stub has no PE signature");
    uint32_t magic = LoadLE16(h + kPeOptionalMagic);
    if (magic != kPe32Magic && magic != kPe32PlusMagic)
        return fail("the stub is neither a 32-bit (PE32) nor a 64-bit (PE32+) image");
    uint32_t count = LoadLE16(h + kPeSectionCount);
    uint32_t table = pe + 24 + LoadLE16(h + kPeOptionalHeaderSize);
    uint32_t sectionAlignment = LoadLE32(h + kPeSectionAlignment);
    uint32_t fileAlignment = LoadLE32(h + kPeFileAlignment);
    uint32_t headersSize = LoadLE32(h + kPeSizeOfHeaders);
    if (!IsPowerOfTwo(sectionAlignment) || !IsPowerOfTwo(fileAlignment) || fileAlignment > sectionAlignment)
        return fail("the stub's section or file alignment is not valid");
    if (count + 1 > kMaxSectionCount) return fail("the stub has too many sections");
    if (count + 1 < kMinSectionCount)
        return fail("the stub has too few sections (the engine needs at least 3)");
    uint64_t newEntry = table + uint64_t{count} * kSectionEntryBytes;
    // The new entry and the 40 bytes after it (which the engine copy moves into the freed
    // slot) must lie in the header area and be unused.
    uint64_t firstRaw = headersSize;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = stub.data() + table + i * kSectionEntryBytes;
        if (table + (i + 1) * uint64_t{kSectionEntryBytes} > stub.size())
            return fail("the stub's section table is cut off");
        if (std::memcmp(e, kSetupSectionName, sizeof kSetupSectionName) == 0)
            return fail("the stub already has a .setup section");
        uint32_t raw = LoadLE32(e + 20);
        if (raw && LoadLE32(e + 16)) firstRaw = std::min<uint64_t>(firstRaw, raw);
    }
    if (newEntry + 2 * kSectionEntryBytes > std::min<uint64_t>({headersSize, firstRaw, stub.size()}))
        return fail("the stub's header area has no room for another section header");
    for (uint64_t i = newEntry; i < newEntry + 2 * kSectionEntryBytes; ++i)
        if (stub[i] != 0) return fail("the stub's header area after the section table is not empty");
    if (mappedLength == 0 || mappedLength > fileLength) return fail("the payload is empty");

    // The section's data starts on a page boundary, so a loader can map it from the file
    // instead of reading it whole into memory (the engine reads the data stream from its
    // file piece by piece and never touches most of the section). The engine copy keeps
    // the zeros in between behind the stub's last section, where they do no harm.
    uint64_t rawOffset = AlignUp(stub.size(), std::max(fileAlignment, kPageBytes));
    // The raw size: whole pages when the file has the bytes for them (the data stream may
    // continue behind the section), else whole file-alignment units, else exactly the bytes
    // the file has.
    uint64_t rawSize = AlignUp(mappedLength, sectionAlignment);
    if (rawSize > fileLength && mappedLength < fileLength) {
        rawSize = AlignUp(mappedLength, fileAlignment);
        if (rawSize > fileLength) rawSize = fileLength;
    }
    uint64_t virtualAddress = AlignUp(LoadLE32(h + kPeSizeOfImage), sectionAlignment);
    uint64_t imageSize = virtualAddress + AlignUp(rawSize, sectionAlignment);
    if (rawOffset + fileLength > 0xFFFFFFFFu || imageSize > 0x7FFFFFFFu)
        return fail("the installer would exceed 4 GiB");

    plan.rawOffset = static_cast<uint32_t>(rawOffset);
    plan.rawSize = static_cast<uint32_t>(rawSize);
    plan.virtualAddress = static_cast<uint32_t>(virtualAddress);
    plan.virtualSize = static_cast<uint32_t>(rawSize);

    prefix.assign(stub.begin(), stub.end());
    prefix.resize(static_cast<size_t>(rawOffset), 0);
    uint8_t* ph = prefix.data() + pe;
    StoreLE16(ph + kPeSectionCount, static_cast<uint16_t>(count + 1));
    StoreLE32(ph + kPeSizeOfInitializedData, LoadLE32(ph + kPeSizeOfInitializedData) + plan.rawSize);
    StoreLE32(ph + kPeSizeOfImage, static_cast<uint32_t>(imageSize));
    uint8_t* e = prefix.data() + newEntry;
    std::memcpy(e, kSetupSectionName, sizeof kSetupSectionName);
    StoreLE32(e + 8, plan.virtualSize);
    StoreLE32(e + 12, plan.virtualAddress);
    StoreLE32(e + 16, plan.rawSize);
    StoreLE32(e + 20, plan.rawOffset);
    // Initialized data, readable.
    StoreLE32(e + 36, 0x40000040);
    return true;
}

} // namespace cs
