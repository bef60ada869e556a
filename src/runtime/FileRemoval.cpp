#include "runtime/FileRemoval.h"

#include "core/Text.h"

namespace cs {

namespace {

// ASCII case-ignoring search in 8-bit text.
size_t FindNoCase8(std::string_view text, std::string_view sub) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (sub.empty() || sub.size() > text.size()) return std::string_view::npos;
    for (size_t i = 0; i + sub.size() <= text.size(); ++i) {
        size_t j = 0;
        while (j < sub.size() && lower(text[i + j]) == lower(sub[j]))
            ++j;
        if (j == sub.size()) return i;
    }
    return std::string_view::npos;
}

} // namespace

bool AddRenameEntry(const String8& iniText, const String8& name, const String8& path, String8& out) {
    std::string_view n = name.View();
    while (!n.empty() && (n.front() == ' ' || n.front() == '\t' || n.front() == '\r' || n.front() == '\n'))
        n.remove_prefix(1);
    if (n.empty()) return false;
    String8 entry(n.data(), n.size());
    entry += "=";
    entry += path;

    out = iniText;
    size_t header = FindNoCase8(iniText.View(), "[rename]");
    if (header == std::string_view::npos) {
        if (!out.IsEmpty() && out.Last() != '\n') out += "\r\n";
        out += "[rename]\r\n";
        out += entry;
    } else {
        String8 inserted = "\r\n";
        inserted += entry;
        out.Insert(header + 8, inserted);
    }
    return true;
}

} // namespace cs
