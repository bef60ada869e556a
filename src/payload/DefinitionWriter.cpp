// The builder's side of the definition stream: the same walk as the reader over a
// ByteWriter, and over a JSON printer for "inspect".
#include "core/Text.h"
#include "payload/DefinitionFields.h"
#include "payload/DefinitionReader.h"
#include "payload/DefinitionStream.h"

#include <cstdio>

namespace cs {

const char* DefinitionCodeText(int code) {
    switch (code) {
    case kCodeStatusTime:
        return "minimum status display time must be below 10000 ms";
    case kCodeLicenceCount:
        return "at most 20 licence texts";
    case kCodeReadmeCount:
        return "at most 20 readme texts";
    case kCodeLanguageCount:
        return "1 to 200 languages";
    case kCodeStringCount:
        return "1 to 10000 language strings, each given in every language";
    case kCodeAssociationCount:
        return "at most 1000 file associations";
    case kCodeUninstallValueCount:
        return "at most 1000 extra uninstall values";
    case kCodeDeletionCount:
        return "at most 1001 deletion entries, none named \"~~THE END~~\"";
    case kCodeBitmapSize:
        return "bitmap size must be 0 to 100";
    case kCodeAutoCloseCount:
        return "at most 1000 auto-close entries, none with the window class \"~~THE~END~~\"";
    case kCodeShortcutCount:
        return "at most 1000 shortcuts";
    case kCodeChecksum:
        return "definition checksum mismatch";
    case kCodeEndMark:
        return "the definition ends early or lacks its end mark";
    default:
        return "value out of range";
    }
}

namespace {

class WriteIo {
  public:
    static constexpr bool kReading = false;

    WriteIo(uint32_t payloadFlags, bool checkLimits) : flags_(payloadFlags), checkLimits_(checkLimits) {}

    void OptionWords(uint32_t& word1, uint32_t& word2) {
        out_.U32(word1);
        out_.U32(word2);
    }
    void U8(const char*, uint8_t& v) { out_.U8(v); }
    void U16(const char*, uint16_t& v) { out_.U16(v); }
    void U32(const char*, uint32_t& v) { out_.U32(v); }
    void I32(const char*, int32_t& v) { out_.I32(v); }
    void U64(const char*, uint64_t& v) { out_.U64(v); }
    void Color(const char*, uint32_t& v) { out_.U32(v); }
    void F64(const char*, double& v) { out_.F64(v); }
    void Text(const char* name, String& v) { Require(out_.Text(v), name, "text too long"); }
    void TextBytes(const char* name, String8& v) { Require(out_.TextBytes(v), name, "text too long"); }
    void Text1(const char* name, String& v) { Require(out_.Text1(v), name, "at most 127 characters"); }
    void Text2(const char* name, String& v) { Require(out_.Text2(v), name, "at most 32767 characters"); }
    void Blob4(const char* name, String8& v) { Require(out_.Blob4(v), name, "too large"); }
    void TextBlob4(const char* name, String8& v) { Blob4(name, v); }
    void ZText8(const char* name, String8& v) {
        Require(out_.ZText8(v), name, "must not contain a NUL character");
    }
    void ZText16(const char* name, String& v) {
        Require(out_.ZText16(v), name, "must not contain a NUL character");
    }
    void Date(const char*, DateValue& v) { out_.Date(v); }
    void Bytes(const char*, String8& v, size_t count) {
        size_t have = v.ByteLength() < count ? v.ByteLength() : count;
        out_.Bytes(v.Data(), have);
        for (size_t i = have; i < count; ++i)
            out_.U8(0);
    }
    void BuildDateValue(const char*, BuildDate& v) {
        out_.U32(uint32_t(v.year & 0xFFFF) | uint32_t(v.month & 0xFF) << 16 | uint32_t(v.day & 0xFF) << 24);
    }

    void BeginList(const char*) {}
    void EndList() {}
    void BeginItem() {}
    void EndItem() {}

    bool AtEnd() const { return false; }
    bool EndMarkNext() const { return false; }
    uint32_t PayloadFlags() const { return flags_; }
    int Fail(int code) {
        if (!checkLimits_) return 0;
        if (error_.empty())
            error_ = std::string(DefinitionCodeText(code)) + " (code " + std::to_string(code) + ")";
        return code;
    }
    int Check(bool ok, int code) { return ok ? 0 : Fail(code); }
    int Count(const char*, int32_t& count, int low, int high, int code) {
        if (count < low || count > high)
            if (int c = Fail(code)) return c;
        out_.I32(count);
        return 0;
    }
    int Step(DefinitionStep) { return 0; }

    std::string error_;
    ByteWriter out_;

  private:
    void Require(bool ok, const char* name, const char* what) {
        if (!ok && error_.empty()) error_ = std::string(name ? name : "field") + ": " + what;
    }
    uint32_t flags_;
    bool checkLimits_;
};

// JSON printer: named fields become members, unnamed fields outside lists are skipped.
class JsonIo {
  public:
    static constexpr bool kReading = false;

    JsonIo(uint32_t payloadFlags, int indent) : flags_(payloadFlags), indent_(indent) {
        out_ = "{";
        stack_.push_back({false, true});
    }
    std::string Finish() {
        out_ += "\n";
        out_.append(indent_, ' ');
        out_ += "}\n";
        return std::move(out_);
    }

    void OptionWords(uint32_t& word1, uint32_t& word2) {
        Hex("option_word1", word1);
        Hex("option_word2", word2);
    }
    void U8(const char* name, uint8_t& v) { Number(name, v); }
    void U16(const char* name, uint16_t& v) { Number(name, v); }
    void U32(const char* name, uint32_t& v) { Number(name, v); }
    void I32(const char* name, int32_t& v) { Number(name, v); }
    void U64(const char* name, uint64_t& v) {
        if (Key(name)) out_ += std::to_string(v);
    }
    void Color(const char* name, uint32_t& v) {
        if (!Key(name)) return;
        char text[16];
        if (v <= 0xFFFFFF)
            std::snprintf(text, sizeof text, "\"#%02X%02X%02X\"", v & 0xFF, v >> 8 & 0xFF, v >> 16 & 0xFF);
        else
            std::snprintf(text, sizeof text, "\"0x%08X\"", v);
        out_ += text;
    }
    void F64(const char* name, double& v) {
        if (!Key(name)) return;
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v);
        out_ += text;
    }
    void Text(const char* name, String& v) { Wide(name, v); }
    void Text1(const char* name, String& v) { Wide(name, v); }
    void Text2(const char* name, String& v) { Wide(name, v); }
    void ZText16(const char* name, String& v) { Wide(name, v); }
    // 8-bit texts are code page 1252; deletion patterns are in the path form.
    void ZText8(const char* name, String8& v) {
        if (!Key(name)) return;
        bool pathForm = name && std::string_view(name) == "pattern";
        Quote(ToUtf8(pathForm ? FromPathForm(v.View()) : FromCodePage(v.View(), kCodePage1252)));
    }
    void TextBlob4(const char* name, String8& v) {
        if (Key(name)) Quote(v);
    }
    void TextBytes(const char* name, String8& v) { Blob4(name, v); }
    void Blob4(const char* name, String8& v) {
        if (Key(name)) out_ += "{\"bytes\": " + std::to_string(v.ByteLength()) + "}";
    }
    void Bytes(const char* name, String8& v, size_t) { Blob4(name, v); }
    void Date(const char* name, DateValue& v) {
        if (!Key(name)) return;
        out_ += "{\"year\": " + std::to_string(v.year) + ", \"month\": " + std::to_string(v.month) +
                ", \"day\": " + std::to_string(v.day) + ", \"hour\": " + std::to_string(v.hour) +
                ", \"minute\": " + std::to_string(v.minute) + ", \"second\": " + std::to_string(v.second) +
                "}";
    }
    void BuildDateValue(const char* name, BuildDate& v) {
        if (!Key(name)) return;
        out_ += "{\"year\": " + std::to_string(v.year) + ", \"month\": " + std::to_string(v.month) +
                ", \"day\": " + std::to_string(v.day) + "}";
    }

    void BeginList(const char* name) {
        if (!Key(name)) name = "?"; // never reached: lists are named or inside lists
        out_ += "[";
        stack_.push_back({true, true});
    }
    void EndList() { Close("]"); }
    void BeginItem() {
        Key(nullptr);
        out_ += "{";
        stack_.push_back({false, true});
    }
    void EndItem() { Close("}"); }

    bool AtEnd() const { return false; }
    bool EndMarkNext() const { return false; }
    uint32_t PayloadFlags() const { return flags_; }
    int Fail(int) { return 0; }
    int Check(bool, int) { return 0; }
    int Count(const char*, int32_t&, int, int, int) { return 0; }
    int Step(DefinitionStep) { return 0; }

    // A named member at the top level, for values that are not part of the stream walk.
    void Member(const char* name, const std::string& rawJson) {
        if (Key(name)) out_ += rawJson;
    }

  private:
    struct Level {
        bool isList;
        bool first;
    };

    // Starts a value: in an object only named ones are printed.
    bool Key(const char* name) {
        Level& level = stack_.back();
        if (!level.isList && !name) return false;
        if (!level.first) out_ += ",";
        level.first = false;
        out_ += "\n";
        out_.append(indent_ + stack_.size() * 2, ' ');
        if (!level.isList) {
            out_ += "\"";
            out_ += name;
            out_ += "\": ";
        }
        return true;
    }
    void Close(const char* bracket) {
        bool empty = stack_.back().first;
        stack_.pop_back();
        if (!empty) {
            out_ += "\n";
            out_.append(indent_ + stack_.size() * 2, ' ');
        }
        out_ += bracket;
    }
    template <class T> void Number(const char* name, T v) {
        if (Key(name)) out_ += std::to_string(v);
    }
    void Hex(const char* name, uint32_t v) {
        if (!Key(name)) return;
        char text[16];
        std::snprintf(text, sizeof text, "\"0x%08X\"", v);
        out_ += text;
    }
    void Wide(const char* name, const String& v) {
        if (Key(name)) Quote(ToUtf8(v));
    }
    void Quote(const String8& utf8) {
        out_ += "\"";
        for (char c : utf8.View()) {
            switch (c) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\t':
                out_ += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04X", static_cast<unsigned char>(c));
                    out_ += esc;
                } else {
                    out_ += c;
                }
            }
        }
        out_ += "\"";
    }

    std::string out_;
    std::vector<Level> stack_;
    uint32_t flags_;
    size_t indent_;
};

} // namespace

bool WriteDefinition(const Definition& definition, uint32_t payloadFlags, std::string& out,
                     std::string& error, bool checkLimits) {
    const LanguageTable& t = definition.languages;
    if (t.names.Count() > 255 || t.stringCount < 0 ||
        t.strings.size() != size_t(t.stringCount) * t.names.Count()) {
        error = "languages: the string table must hold every string in every language";
        return false;
    }
    WriteIo io(payloadFlags, checkLimits);
    // The walk takes a mutable definition for the reader's sake; writing only reads it.
    int code = DefinitionFields(io, const_cast<Definition&>(definition));
    if (code != 0 || !io.error_.empty()) {
        error = io.error_.empty() ? std::string(DefinitionCodeText(code)) : io.error_;
        return false;
    }
    out = io.out_.Take();
    return true;
}

std::string DefinitionToJson(const Definition& definition, uint32_t payloadFlags, int indent) {
    JsonIo io(payloadFlags, indent);
    DefinitionFields(io, const_cast<Definition&>(definition));
    io.Member("default_language", std::to_string(definition.languages.defaultLanguage));
    return io.Finish();
}

} // namespace cs
