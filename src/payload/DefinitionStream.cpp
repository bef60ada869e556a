#include "payload/DefinitionStream.h"

#include <bit>
#include <cstring>

namespace cs {

namespace {

// `count` UTF-16LE characters from bytes at any alignment; both targets are little-endian.
String Utf16Le(const uint8_t* bytes, size_t count) {
    static_assert(std::endian::native == std::endian::little);
    if (count == 0) return {};
    std::u16string chars(count, u'\0');
    std::memcpy(chars.data(), bytes, 2 * count);
    return String(chars.data(), count);
}

} // namespace

const uint8_t* ByteReader::Take(size_t count) {
    if (count > size_ - pos_) {
        pos_ = size_;
        exhausted_ = true;
        return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += count;
    return p;
}

uint8_t ByteReader::U8() {
    const uint8_t* p = Take(1);
    return p ? p[0] : 0;
}

uint16_t ByteReader::U16() {
    const uint8_t* p = Take(2);
    return p ? static_cast<uint16_t>(p[0] | p[1] << 8) : 0;
}

uint32_t ByteReader::U32() {
    const uint8_t* p = Take(4);
    return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24 : 0;
}

bool ByteReader::PeekU32(uint32_t& value) const {
    if (Remaining() < 4) return false;
    const uint8_t* p = data_ + pos_;
    value = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return true;
}

uint64_t ByteReader::U64() {
    uint64_t low = U32();
    uint64_t high = U32();
    return low | high << 32;
}

double ByteReader::F64() {
    uint64_t bits = U64();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

String ByteReader::TextOfLength(uint64_t length) {
    if (length > kMaxTextLength) return {};
    const uint8_t* p = Take(static_cast<size_t>(length));
    if (!p || length < 2) return {};
    return Utf16Le(p, static_cast<size_t>(length) / 2); // an odd last byte cannot form a character
}

uint64_t ByteReader::TextLength() {
    uint8_t first = U8();
    if (first != 0xFF) return first;
    if (pos_ < size_ && data_[pos_] == 0xFF) {
        ++pos_;
        return U32();
    }
    return U16();
}

String ByteReader::Text() {
    return TextOfLength(TextLength());
}

String8 ByteReader::TextBytes() {
    uint64_t length = TextLength();
    if (length > kMaxTextLength) return {};
    const uint8_t* p = Take(static_cast<size_t>(length));
    return p && length ? String8(reinterpret_cast<const char*>(p), static_cast<size_t>(length)) : String8();
}

String ByteReader::Text1() {
    return TextOfLength(U8());
}
String ByteReader::Text2() {
    return TextOfLength(U16());
}

String8 ByteReader::Blob4() {
    int32_t length = I32();
    if (length <= 0) return {};
    const uint8_t* p = Take(static_cast<size_t>(length));
    return p ? String8(reinterpret_cast<const char*>(p), static_cast<size_t>(length)) : String8();
}

String8 ByteReader::ZText8() {
    // An empty buffer may come with a null pointer, which memchr must never see.
    const void* end = Remaining() ? std::memchr(data_ + pos_, 0, Remaining()) : nullptr;
    if (!end) {
        Take(size_ - pos_ + 1);
        return {};
    }
    size_t length = static_cast<const uint8_t*>(end) - (data_ + pos_);
    String8 text(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length + 1;
    return text;
}

String ByteReader::ZText16() {
    const uint8_t* start = data_ + pos_;
    size_t available = (size_ - pos_) / 2;
    size_t count = 0;
    while (count < available && (start[2 * count] | start[2 * count + 1]) != 0)
        ++count;
    if (count == available) { // no terminator
        Take(size_ - pos_ + 1);
        return {};
    }
    pos_ += 2 * (count + 1);
    return Utf16Le(start, count);
}

DateValue ByteReader::Date() {
    DateValue d;
    d.year = I32();
    d.month = I32();
    d.day = I32();
    d.hour = I32();
    d.minute = I32();
    d.second = I32();
    return d;
}

String8 ByteReader::Bytes(size_t count) {
    const uint8_t* p = Take(count);
    return p && count ? String8(reinterpret_cast<const char*>(p), count) : String8();
}

void ByteWriter::U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
}

void ByteWriter::U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
}

void ByteWriter::F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U64(bits);
}

void ByteWriter::Utf16(const String& text) {
    for (char16_t c : text)
        U16(c);
}

void ByteWriter::TextPrefix(uint32_t length) {
    if (length <= 254) {
        U8(static_cast<uint8_t>(length));
    } else if (length <= 0xFFFF && (length & 0xFF) != 0xFF) {
        U8(0xFF);
        U16(static_cast<uint16_t>(length));
    } else {
        U8(0xFF);
        U8(0xFF);
        U32(length);
    }
}

bool ByteWriter::Text(const String& text) {
    if (text.ByteLength() > kMaxTextLength) return false;
    TextPrefix(static_cast<uint32_t>(text.ByteLength()));
    Utf16(text);
    return true;
}

bool ByteWriter::TextBytes(const String8& bytes) {
    if (bytes.ByteLength() > kMaxTextLength) return false;
    TextPrefix(static_cast<uint32_t>(bytes.ByteLength()));
    Bytes(bytes.Data(), bytes.ByteLength());
    return true;
}

bool ByteWriter::Text1(const String& text) {
    if (text.ByteLength() > 0xFF) return false;
    U8(static_cast<uint8_t>(text.ByteLength()));
    Utf16(text);
    return true;
}

bool ByteWriter::Text2(const String& text) {
    if (text.ByteLength() > 0xFFFF) return false;
    U16(static_cast<uint16_t>(text.ByteLength()));
    Utf16(text);
    return true;
}

bool ByteWriter::Blob4(const String8& bytes) {
    if (bytes.ByteLength() > 0x7FFFFFFF) return false;
    U32(static_cast<uint32_t>(bytes.ByteLength()));
    Bytes(bytes.Data(), bytes.ByteLength());
    return true;
}

bool ByteWriter::ZText8(const String8& text) {
    if (text.View().find('\0') != std::string_view::npos) return false;
    Bytes(text.Data(), text.ByteLength());
    U8(0);
    return true;
}

bool ByteWriter::ZText16(const String& text) {
    if (text.View().find(u'\0') != std::u16string_view::npos) return false;
    Utf16(text);
    U16(0);
    return true;
}

void ByteWriter::Date(const DateValue& d) {
    I32(d.year);
    I32(d.month);
    I32(d.day);
    I32(d.hour);
    I32(d.minute);
    I32(d.second);
}

} // namespace cs
