// The project file's reader parts: one TOML table of the project with the keys its reader
// has taken, and the first problem of a file as "FILE:LINE: KEY: problem". Project.cpp reads
// the sections, ProjectFileEntries.cpp the [[file]] and [[folder]] entries.
#pragma once

#include "builder/Project.h"
#include "core/Text.h"

#include <toml++/toml.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace cs {

namespace fs = std::filesystem;

// The keys a reader takes, noted when it runs over no document (for the schema): the
// key's path ("install.master.key_name", "file[].source" for a list of tables) and the JSON
// Schema of its values, in the order the reader takes them.
using KeyRecorder = std::vector<std::pair<std::string, std::string>>;

// The first problem of one file, as "FILE:LINE: KEY: problem".
class Problems {
  public:
    explicit Problems(std::string file, KeyRecorder* recorder = nullptr)
        : file_(std::move(file)), recorder_(recorder) {}
    bool Failed() const { return !message_.empty(); }
    const std::string& Message() const { return message_; }
    const std::string& File() const { return file_; }
    // Recording: the reader runs over no document only to note its keys; nothing is a problem.
    KeyRecorder* Recorder() const { return recorder_; }
    void Report(const toml::source_region& where, const std::string& key, const std::string& what) {
        if (Failed() || recorder_) return;
        message_ = file_ + ":" + std::to_string(where.begin.line) + ": " + key + ": " + what;
    }
    // A problem that another file's reader has already put into words.
    void ReportAs(const std::string& message) {
        if (!Failed() && !recorder_) message_ = message;
    }

  private:
    std::string file_;
    KeyRecorder* recorder_;
    std::string message_;
};

// JSON Schema fragments of the value types the sections read.
inline std::string SchemaOfInteger(int64_t low, int64_t high) {
    return "{\"type\": \"integer\", \"minimum\": " + std::to_string(low) +
           ", \"maximum\": " + std::to_string(high) + "}";
}
inline std::string SchemaOfNames(std::initializer_list<const char*> names) {
    std::string list;
    for (const char* name : names)
        if (*name) list += std::string(list.empty() ? "" : ", ") + "\"" + name + "\"";
    return "{\"enum\": [" + list + "]}";
}

inline String Wide(std::string_view utf8) {
    return FromUtf8(utf8);
}

// A point in time as the date of a file record, in UTC.
inline DateValue UtcDateValue(std::chrono::sys_seconds at) {
    using namespace std::chrono;
    sys_days midnight = floor<days>(at);
    year_month_day date{midnight};
    hh_mm_ss time{at - midnight};
    return {int(date.year()),          int(unsigned(date.month())), int(unsigned(date.day())),
            int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count())};
}

// A TOML date (no time: hour -1) or date-time. A date-time with an offset ("Z", "+02:00")
// is turned into UTC, the time the file records carry; one without is taken as it is.
inline bool DateFromNode(const toml::node& n, DateValue& out) {
    using namespace std::chrono;
    if (auto d = n.value<toml::date>()) {
        out = {d->year, d->month, d->day, -1, 0, 0};
        return true;
    }
    auto dt = n.value<toml::date_time>();
    if (!dt) return false;
    year_month_day written{year{dt->date.year}, month{dt->date.month}, day{dt->date.day}};
    sys_seconds at =
        sys_days{written} + hours{dt->time.hour} + minutes{dt->time.minute} + seconds{dt->time.second};
    if (dt->offset) at -= minutes{dt->offset->minutes};
    out = UtcDateValue(at);
    return true;
}

// A TOML date or date-time (as text where JSON has no such type).
inline const std::string kSchemaOfDate = "{\"type\": \"string\", \"description\": \"a TOML date (2024-05-17) "
                                         "or date-time (2024-05-17T13:45:00)\"}";

// A table of the project with the keys its reader has taken; Finish() reports the others.
class Section {
  public:
    Section(Problems& problems, const toml::table* table, std::string prefix, fs::path base)
        : p_(problems), t_(table), prefix_(std::move(prefix)), base_(std::move(base)) {}

    bool Present() const { return t_ != nullptr || Recording(); }
    bool Recording() const { return p_.Recorder() != nullptr; }
    bool Has(const char* key) const { return t_ && t_->contains(key); }
    std::string KeyName(const std::string& key) const { return prefix_.empty() ? key : prefix_ + "." + key; }
    const toml::source_region& Where() const {
        static const toml::source_region none{};
        return t_ ? t_->source() : none;
    }
    Problems& Problems_() { return p_; }
    const fs::path& Base() const { return base_; }

    // `schema`: the JSON Schema of the key's values, noted when recording.
    const toml::node* Take(const char* key, const std::string& schema = {}) {
        taken_.insert(key);
        if (Recording() && !schema.empty()) p_.Recorder()->emplace_back(KeyName(key), schema);
        return t_ ? t_->get(key) : nullptr;
    }
    void Fail(const char* key, const std::string& what) {
        const toml::node* n = t_ ? t_->get(key) : nullptr;
        p_.Report(n ? n->source() : t_ ? t_->source() : toml::source_region{}, KeyName(key), what);
    }

    bool Text(const char* key, String& out, const std::string& schema = "{\"type\": \"string\"}") {
        const toml::node* n = Take(key, schema);
        if (!n) return false;
        if (auto v = n->value<std::string>()) {
            out = Wide(*v);
            return true;
        }
        Fail(key, "expected a text in quotes");
        return false;
    }
    // 8-bit text of the stream (code page 1252).
    bool Text8(const char* key, String8& out) {
        String wide;
        if (!Text(key, wide)) return false;
        out = ToCodePage(wide, kCodePage1252);
        if (!(FromCodePage(out.View(), kCodePage1252) == wide)) {
            Fail(key, "only characters of code page 1252 (Western European) are allowed here");
            return false;
        }
        return true;
    }
    bool Bool(const char* key, bool& out) {
        const toml::node* n = Take(key, "{\"type\": \"boolean\"}");
        if (!n) return false;
        if (auto v = n->value<bool>()) {
            out = *v;
            return true;
        }
        Fail(key, "expected true or false");
        return false;
    }
    template <class T> bool Int(const char* key, T& out, int64_t low, int64_t high) {
        const toml::node* n = Take(key, SchemaOfInteger(low, high));
        if (!n) return false;
        auto v = n->is_integer() ? n->value<int64_t>() : std::nullopt;
        if (!v) {
            Fail(key, "expected a whole number");
            return false;
        }
        if (*v < low || *v > high) {
            Fail(key, "must be between " + std::to_string(low) + " and " + std::to_string(high));
            return false;
        }
        out = static_cast<T>(*v);
        return true;
    }
    bool Real(const char* key, double& out) {
        const toml::node* n = Take(key, "{\"type\": \"number\"}");
        if (!n) return false;
        if (auto v = n->value<double>()) {
            out = *v;
            return true;
        }
        Fail(key, "expected a number");
        return false;
    }
    // A name from `names` (its index is the value) or a number.
    template <class T>
    bool Choice(const char* key, T& out, std::initializer_list<const char*> names, int64_t maxNumber = 255) {
        const toml::node* n =
            Take(key, "{\"anyOf\": [" + SchemaOfNames(names) + ", " + SchemaOfInteger(0, maxNumber) + "]}");
        if (!n) return false;
        if (auto s = n->value<std::string>()) {
            int i = 0;
            for (const char* name : names) {
                if (*name && *s == name) {
                    out = static_cast<T>(i);
                    return true;
                }
                ++i;
            }
        } else if (n->is_integer()) {
            int64_t v = *n->value<int64_t>();
            if (v >= 0 && v <= maxNumber) {
                out = static_cast<T>(v);
                return true;
            }
        }
        std::string list;
        for (const char* name : names)
            AddQuoted(list, name);
        Fail(key, "expected one of " + list + " or a number from 0 to " + std::to_string(maxNumber));
        return false;
    }
    // A name from `names` or a list of them; the bits of the names added (an empty list is 0).
    bool NamedBits(const char* key, uint32_t& out,
                   std::initializer_list<std::pair<const char*, uint32_t>> names) {
        const toml::node* n = Take(key, SchemaOfNamedBits(names));
        if (!n) return false;
        std::vector<std::string> given;
        std::string problem = TextOrTexts(*n, given) ? "" : "expected ";
        uint32_t bits = 0;
        for (const std::string& text : given) {
            auto found =
                std::find_if(names.begin(), names.end(), [&](const auto& e) { return text == e.first; });
            if (found == names.end()) {
                problem = "unknown name \"" + text + "\"; expected ";
                break;
            }
            bits |= found->second;
        }
        if (problem.empty()) {
            out = bits;
            return true;
        }
        std::string list;
        for (const auto& name : names)
            AddQuoted(list, name.first);
        Fail(key, problem + "a name or a list of names from " + list);
        return false;
    }
    // "#RRGGBB", "system:N" (a system colour) or a number in the Windows form 0x00BBGGRR.
    bool Color(const char* key, uint32_t& out) {
        const toml::node* n = Take(key, "{\"anyOf\": [{\"type\": \"string\", \"pattern\": "
                                        "\"^(#[0-9A-Fa-f]{6}|system:[0-9]+)$\"}, " +
                                            SchemaOfInteger(0, 0xFFFFFFFFLL) + "]}");
        if (!n) return false;
        if (auto s = n->value<std::string>()) {
            unsigned r, g, b, index;
            char tail;
            if (s->size() == 7 && std::sscanf(s->c_str(), "#%2x%2x%2x%c", &r, &g, &b, &tail) == 3) {
                out = r | g << 8 | b << 16;
                return true;
            }
            if (std::sscanf(s->c_str(), "system:%u%c", &index, &tail) == 1 && index < 0x1000000) {
                out = 0x80000000u | index;
                return true;
            }
        } else if (n->is_integer()) {
            int64_t v = *n->value<int64_t>();
            if (v >= 0 && v <= 0xFFFFFFFFLL) {
                out = static_cast<uint32_t>(v);
                return true;
            }
        }
        Fail(key, "expected a colour \"#RRGGBB\", \"system:N\" or a number");
        return false;
    }
    bool Date(const char* key, DateValue& out) {
        const toml::node* n = Take(key, kSchemaOfDate);
        if (!n) return false;
        if (DateFromNode(*n, out)) return true;
        Fail(key, "expected a date (2024-05-17) or a date and time (2024-05-17T13:45:00)");
        return false;
    }
    // A file next to the project (or an absolute path); its bytes.
    bool FileBytes(const char* key, String8& out, std::string* resolved = nullptr) {
        String path;
        if (!Text(key, path)) return false;
        return ReadFileAt(key, ToUtf8(path).c_str(), out, resolved);
    }
    bool ReadFileAt(const char* key, const std::string& name, String8& out, std::string* resolved = nullptr) {
        fs::path file = fs::path(name).is_absolute() ? fs::path(name) : base_ / name;
        std::ifstream in(file, std::ios::binary);
        if (!in || fs::is_directory(file)) {
            Fail(key, "cannot read the file " + file.string());
            return false;
        }
        std::stringstream data;
        data << in.rdbuf();
        std::string bytes = data.str();
        out = String8(bytes.data(), bytes.size());
        if (resolved) *resolved = file.string();
        return true;
    }

    // `schema`: a table whose keys the reader does not name one by one gives its own.
    Section Table(const char* key, const std::string& schema = "{\"type\": \"object\"}") {
        const toml::node* n = Take(key, schema);
        if (n && !n->is_table()) {
            Fail(key, "expected a table");
            return Section(p_, nullptr, KeyName(key), base_);
        }
        return Section(p_, n ? n->as_table() : nullptr, KeyName(key), base_);
    }
    // Each table of an array of tables ([[key]]).
    void Tables(const char* key, const std::function<void(Section&, int)>& each) {
        const toml::node* n = Take(key, "{\"type\": \"array\", \"items\": {\"type\": \"object\"}}");
        if (!n && Recording()) {
            // One entry of no document, so that the reader names the entry's keys.
            Section s(p_, nullptr, KeyName(key) + "[]", base_);
            each(s, 0);
        }
        if (!n) return;
        const toml::array* a = n->as_array();
        if (!a || !a->is_array_of_tables()) {
            Fail(key, "expected a list of tables ([[" + KeyName(key) + "]])");
            return;
        }
        int i = 0;
        for (const toml::node& item : *a) {
            Section s(p_, item.as_table(), KeyName(key) + "[" + std::to_string(i) + "]", base_);
            each(s, i++);
            s.Finish();
        }
    }
    // A list of texts.
    bool Texts(const char* key, std::vector<std::string>& out) {
        const toml::node* n = Take(key, "{\"type\": \"array\", \"items\": {\"type\": \"string\"}}");
        if (!n) return false;
        const toml::array* a = n->as_array();
        bool ok = a != nullptr;
        if (a)
            for (const toml::node& item : *a) {
                auto v = item.value<std::string>();
                if (!v)
                    ok = false;
                else
                    out.push_back(*v);
            }
        if (!ok) Fail(key, "expected a list of texts");
        return ok;
    }

    void Finish() {
        if (!t_) return;
        for (const auto& [key, node] : *t_)
            if (!taken_.count(std::string(key.str())))
                p_.Report(key.source().begin.line ? key.source() : node.source(),
                          KeyName(std::string(key.str())), "unknown key");
    }

    // A name from the list, or a list of them.
    static std::string SchemaOfNamedBits(std::initializer_list<std::pair<const char*, uint32_t>> names) {
        std::string list;
        for (const auto& name : names)
            list += std::string(list.empty() ? "" : ", ") + "\"" + name.first + "\"";
        std::string one = "{\"enum\": [" + list + "]}";
        return "{\"anyOf\": [" + one + ", {\"type\": \"array\", \"items\": " + one + "}]}";
    }

  private:
    static bool TextOrTexts(const toml::node& n, std::vector<std::string>& out) {
        if (auto text = n.value<std::string>()) {
            out.push_back(*text);
            return true;
        }
        const toml::array* a = n.as_array();
        if (!a) return false;
        for (const toml::node& item : *a) {
            auto text = item.value<std::string>();
            if (!text) return false;
            out.push_back(*text);
        }
        return true;
    }
    static void AddQuoted(std::string& list, const char* name) {
        if (*name) list += std::string(list.empty() ? "" : ", ") + "\"" + name + "\"";
    }

    Problems& p_;
    const toml::table* t_;
    std::string prefix_;
    fs::path base_;
    std::set<std::string> taken_;
};

// The [[file]] and [[folder]] entries of the project, in the order they appear in it.
void ReadFileEntries(Section& top, std::vector<ProjectFile>& files);

} // namespace cs
