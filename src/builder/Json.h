// A small JSON writer for the builder's reports: objects, arrays, strings (UTF-8 in,
// escaped out), integers, booleans and null, indented two spaces per level.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace cs {

class JsonWriter {
  public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    // The name of the next member inside an object.
    JsonWriter& Key(std::string_view name);
    JsonWriter& String(std::string_view text);
    JsonWriter& Int(int64_t value);
    JsonWriter& UInt(uint64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    // Writes pre-formatted JSON as one value (for nesting another writer's output).
    JsonWriter& Raw(std::string_view json);

    template <class T> JsonWriter& Member(std::string_view name, const T& value) {
        Key(name);
        return Value(value);
    }

    const std::string& Text() const { return out_; }

    static std::string Quote(std::string_view text);

  private:
    JsonWriter& Value(std::string_view v) { return String(v); }
    JsonWriter& Value(const char* v) { return String(v); }
    JsonWriter& Value(const std::string& v) { return String(v); }
    JsonWriter& Value(bool v) { return Bool(v); }
    template <class T> JsonWriter& Value(T v) {
        if constexpr (std::is_signed_v<T>)
            return Int(v);
        else
            return UInt(v);
    }
    void BeforeValue();
    void NewLine();

    struct Level {
        bool isObject;
        bool empty = true;
    };
    std::string out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

// "0x" and eight upper-case hex digits.
std::string Hex32(uint32_t value);

} // namespace cs
