// Owned text: UTF-16 (String) or 8-bit (String8) in one byte-counted buffer.
//
// The buffer holds the text followed by a two-byte zero terminator; a buffer made for a
// text of n bytes is n + 2 bytes. An empty text owns no buffer at all (null data, length 0,
// allocated 0) and still reads as "" wherever text is expected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "core/TypeName.h"

// GCC's overflow analysis misreads the in-place insert below after inlining (it assumes the
// size_t arithmetic can wrap); the sizes are checked against the allocation right there.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#pragma GCC diagnostic ignored "-Wrestrict"
#endif

namespace cs {

template <class Ch> class BasicString {
  public:
    using Char = Ch;
    static constexpr size_t npos = static_cast<size_t>(-1);

    BasicString() = default;
    BasicString(const Ch* text) { Assign(text); }
    BasicString(const Ch* text, size_t count) { Assign(text, count); }
    BasicString(std::basic_string_view<Ch> text) { Assign(text.data(), text.size()); }
    BasicString(const BasicString& other) { Assign(other.Data(), other.Length()); }
    BasicString(BasicString&& other) noexcept { Swap(other); }
    ~BasicString() { Release(); }

    BasicString& operator=(const BasicString& other) {
        if (this != &other) Assign(other.Data(), other.Length());
        return *this;
    }
    BasicString& operator=(BasicString&& other) noexcept {
        if (this != &other) {
            Release();
            Swap(other);
        }
        return *this;
    }
    BasicString& operator=(const Ch* text) {
        Assign(text);
        return *this;
    }

    // Never null: an empty string reads as "".
    const Ch* c_str() const { return data_ ? data_ : EmptyText(); }
    const Ch* Data() const { return c_str(); }
    Ch* MutableData() { return data_; }
    bool IsNull() const { return data_ == nullptr; }

    size_t Length() const { return bytes_ / sizeof(Ch); }
    size_t ByteLength() const { return bytes_; }
    size_t AllocatedBytes() const { return allocated_; }
    bool IsEmpty() const { return bytes_ == 0; }
    Ch operator[](size_t i) const { return data_[i]; }
    Ch& operator[](size_t i) { return data_[i]; }
    Ch Last() const { return bytes_ ? data_[Length() - 1] : Ch(0); }
    std::basic_string_view<Ch> View() const { return {c_str(), Length()}; }
    const Ch* begin() const { return c_str(); }
    const Ch* end() const { return c_str() + Length(); }

    // Replaces the text. On out-of-memory std::bad_alloc is raised and the target is empty.
    void Assign(const Ch* text) { Assign(text, text ? TextLength(text) : 0); }
    void Assign(const Ch* text, size_t count) {
        if (count == 0) {
            Release();
            return;
        }
        if (text >= data_ && text < data_ + Length()) { // assigning a part of ourselves
            BasicString copy(text, count);
            Swap(copy);
            return;
        }
        Release();
        Ch* buffer = Allocate(count * sizeof(Ch));
        std::memcpy(buffer, text, count * sizeof(Ch));
        Adopt(buffer, count * sizeof(Ch), count * sizeof(Ch) + 2);
    }

    BasicString& Append(const Ch* text, size_t count) { return Insert(Length(), text, count); }
    BasicString& Append(const Ch* text) { return Append(text, TextLength(text)); }
    BasicString& Append(const BasicString& text) { return Append(text.Data(), text.Length()); }
    BasicString& Append(Ch c) { return Append(&c, 1); }
    BasicString& operator+=(const BasicString& text) { return Append(text); }
    BasicString& operator+=(const Ch* text) { return Append(text); }
    BasicString& operator+=(Ch c) { return Append(c); }

    // Inserts count characters at position pos (clamped to the length).
    BasicString& Insert(size_t pos, const Ch* text, size_t count) {
        if (count == 0) return *this;
        size_t length = Length();
        if (pos > length) pos = length;
        size_t newBytes = (length + count) * sizeof(Ch);
        if (newBytes + 2 <= allocated_ && !(text >= data_ && text < data_ + length)) {
            std::memmove(data_ + pos + count, data_ + pos, (length - pos) * sizeof(Ch));
            std::memcpy(data_ + pos, text, count * sizeof(Ch));
            SetByteLength(newBytes);
            return *this;
        }
        size_t capacity = newBytes + newBytes / 2; // room to grow for repeated appends
        Ch* buffer = Allocate(capacity);
        if (pos) std::memcpy(buffer, data_, pos * sizeof(Ch));
        std::memcpy(buffer + pos, text, count * sizeof(Ch));
        if (length > pos) std::memcpy(buffer + pos + count, data_ + pos, (length - pos) * sizeof(Ch));
        Release();
        Adopt(buffer, newBytes, capacity + 2);
        return *this;
    }
    BasicString& Insert(size_t pos, const BasicString& text) {
        return Insert(pos, text.Data(), text.Length());
    }

    // Removes count characters from pos (both clamped).
    BasicString& Erase(size_t pos, size_t count = npos) {
        size_t length = Length();
        if (pos >= length || count == 0) return *this;
        if (count > length - pos) count = length - pos;
        if (count == length) {
            Release();
            return *this;
        }
        std::memmove(data_ + pos, data_ + pos + count, (length - pos - count) * sizeof(Ch));
        SetByteLength((length - count) * sizeof(Ch));
        return *this;
    }

    // Keeps the first count characters.
    void Truncate(size_t count) {
        if (count < Length()) Erase(count);
    }

    BasicString Sub(size_t pos, size_t count = npos) const {
        size_t length = Length();
        if (pos >= length) return {};
        if (count > length - pos) count = length - pos;
        return BasicString(c_str() + pos, count);
    }

    void Clear() { Release(); }

    void Swap(BasicString& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(bytes_, other.bytes_);
        std::swap(allocated_, other.allocated_);
    }

    static size_t TextLength(const Ch* text) {
        size_t n = 0;
        if (text)
            while (text[n])
                ++n;
        return n;
    }

  private:
    static const Ch* EmptyText() {
        static const Ch empty[1] = {0};
        return empty;
    }
    // A buffer for a text of `bytes` bytes plus the two-byte terminator.
    static Ch* Allocate(size_t bytes) {
        size_t chars = (bytes + 2 + sizeof(Ch) - 1) / sizeof(Ch);
        return new Ch[chars];
    }
    void Adopt(Ch* buffer, size_t bytes, size_t allocated) {
        data_ = buffer;
        allocated_ = allocated;
        SetByteLength(bytes);
    }
    void SetByteLength(size_t bytes) {
        bytes_ = bytes;
        reinterpret_cast<char*>(data_)[bytes] = 0;
        reinterpret_cast<char*>(data_)[bytes + 1] = 0;
    }
    void Release() {
        delete[] data_;
        data_ = nullptr;
        bytes_ = 0;
        allocated_ = 0;
    }

    Ch* data_ = nullptr;
    size_t bytes_ = 0;
    size_t allocated_ = 0;
};

using String = BasicString<char16_t>;
using String8 = BasicString<char>;

template <class Ch> BasicString<Ch> operator+(BasicString<Ch> a, const BasicString<Ch>& b) {
    a.Append(b);
    return a;
}
template <class Ch> BasicString<Ch> operator+(BasicString<Ch> a, const Ch* b) {
    a.Append(b);
    return a;
}
template <class Ch> bool operator==(const BasicString<Ch>& a, const BasicString<Ch>& b) {
    return a.View() == b.View();
}
template <class Ch> bool operator==(const BasicString<Ch>& a, const Ch* b) {
    return a.View() == std::basic_string_view<Ch>(b ? b : BasicString<Ch>().c_str());
}

template <> struct TypeNameOf<String> {
    static const char* Name() { return "class String"; }
};
template <> struct TypeNameOf<String8> {
    static const char* Name() { return "class String8"; }
};

// ASCII/Latin-1 text to a String, one byte per character (for literals and program texts).
String Widen(std::string_view latin1);
// A String whose characters are all below 256 to 8-bit text (others become '?').
String8 NarrowLatin1(const String& text);

} // namespace cs

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
