// Field types of the definition stream: one reader and one writer per type.
//
// Integers are little-endian. "text" has a variable length prefix: one byte L for 0..254;
// 0xFF and a 16-bit length whose low byte is not 0xFF; 0xFF 0xFF and a 32-bit length
// otherwise. text1, text2 and blob4 have a fixed 1-, 2- or 4-byte length. Texts hold
// UTF-16LE; ztext8 is 8-bit up to a NUL, ztext16 16-bit up to a 16-bit NUL.
#pragma once

#include "core/String.h"
#include "payload/Definition.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace cs {

// A read position over the plain definition. A read that needs more bytes than remain
// fails: its target is left empty (or zero), the position moves to the end and the reader
// counts as exhausted. A text longer than 0x40000000 bytes or a negative blob length also
// fails, after its prefix, without exhausting the reader.
class ByteReader {
  public:
    ByteReader(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint64_t U64(); // low word first
    double F64();
    String Text();
    String8 TextBytes(); // a text field whose bytes are kept as they are
    String Text1();
    String Text2();
    String8 Blob4();
    String8 ZText8();
    String ZText16();
    DateValue Date();
    String8 Bytes(size_t count);
    // The next four bytes as U32() would read them, without moving; false when fewer remain.
    bool PeekU32(uint32_t& value) const;

    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    bool Exhausted() const { return exhausted_; }

  private:
    const uint8_t* Take(size_t count);
    uint64_t TextLength();
    String TextOfLength(uint64_t length);

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool exhausted_ = false;
};

// Appends fields to a byte buffer. Texts that do not fit their type's length field are
// refused: the call returns false and writes nothing.
class ByteWriter {
  public:
    void U8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void U16(uint16_t v);
    void U32(uint32_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U64(uint64_t v);
    void F64(double v);
    bool Text(const String& text);
    bool TextBytes(const String8& bytes);
    bool Text1(const String& text);
    bool Text2(const String& text);
    bool Blob4(const String8& bytes);
    bool ZText8(const String8& text); // refused when the text holds a NUL
    bool ZText16(const String& text); // likewise
    void Date(const DateValue& date);
    void Bytes(const void* data, size_t count) { out_.append(static_cast<const char*>(data), count); }

    // The prefix of a text of `length` bytes, as the variable-length form stores it.
    void TextPrefix(uint32_t length);

    const std::string& Data() const { return out_; }
    std::string Take() { return std::move(out_); }

  private:
    void Utf16(const String& text);
    std::string out_;
};

} // namespace cs
