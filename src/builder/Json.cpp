#include "builder/Json.h"

#include <cstdio>

namespace cs {

std::string JsonWriter::Quote(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void JsonWriter::NewLine() {
    out_ += '\n';
    out_.append(2 * levels_.size(), ' ');
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    if (!levels_.back().empty) out_ += ',';
    levels_.back().empty = false;
    NewLine();
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    BeforeValue();
    out_ += Quote(name) + ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    out_ += '{';
    levels_.push_back({true});
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    out_ += '[';
    levels_.push_back({false});
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) NewLine();
    out_ += '}';
    if (levels_.empty()) out_ += '\n';
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) NewLine();
    out_ += ']';
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    BeforeValue();
    out_ += Quote(text);
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::UInt(uint64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_ += "null";
    return *this;
}

JsonWriter& JsonWriter::Raw(std::string_view json) {
    BeforeValue();
    out_ += json;
    return *this;
}

std::string Hex32(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

} // namespace cs
