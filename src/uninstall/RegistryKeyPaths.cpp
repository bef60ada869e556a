#include "uninstall/RegistryKeyPaths.h"

#include "core/Text.h"

namespace cs {

// ---- Registry list lines -----------------------------------------------------------------

Array<std::string_view> RegistryListLines(std::string_view list) {
    Array<std::string_view> lines;
    while (!list.empty()) {
        size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.Append(line);
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return lines;
}

namespace {

// One field from `at`, which is left after the comma that ends it (or at the line's end).
String8 NextField(std::string_view line, size_t& at) {
    while (at < line.size() && line[at] == ' ')
        ++at;
    String8 field;
    if (at < line.size() && line[at] == '"') {
        for (++at; at < line.size(); ++at) {
            if (line[at] != '"') {
                field.Append(line[at]);
                continue;
            }
            if (at + 1 < line.size() && line[at + 1] == '"') {
                field.Append('"');
                ++at;
                continue;
            }
            ++at; // the closing quote
            break;
        }
    }
    size_t comma = line.find(',', at);
    size_t end = comma == std::string_view::npos ? line.size() : comma;
    field.Append(line.data() + at, end - at);
    at = end;
    return field;
}

} // namespace

Array<String8> SplitRegistryLine(std::string_view line) {
    Array<String8> fields;
    size_t at = 0;
    for (;;) {
        fields.Append(NextField(line, at));
        if (at >= line.size()) break;
        ++at; // the comma: another field follows, perhaps an empty one
    }
    return fields;
}

RegistryLine ParseRegistryLine(std::string_view line) {
    RegistryLine parsed;
    parsed.fields = SplitRegistryLine(line);
    if (parsed.fields.Count() == 1) {
        Trim(parsed.fields[0]);
        parsed.kind = parsed.fields[0].IsEmpty() ? RegistryLineKind::Blank : RegistryLineKind::Key;
        return parsed;
    }
    uint64_t type = 0, action = 0;
    bool numbers = parsed.fields.Count() == 5 && ParseRegistryInteger(parsed.fields[2].View(), 32, type) &&
                   ParseRegistryInteger(parsed.fields[4].View(), 32, action);
    parsed.kind = numbers ? RegistryLineKind::Value : RegistryLineKind::Illegal;
    parsed.type = static_cast<uint32_t>(type);
    parsed.action = static_cast<uint32_t>(action);
    return parsed;
}

// ---- Numbers -----------------------------------------------------------------------------

namespace {

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

std::string_view WithoutBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

bool ParseRegistryInteger(std::string_view text, int bits, uint64_t& value) {
    text = WithoutBlanks(text);
    if (text.empty()) {
        value = 0;
        return true;
    }
    bool negative = text.front() == '-';
    if (negative || text.front() == '+') text.remove_prefix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    const uint64_t max = bits >= 64 ? UINT64_MAX : (uint64_t(1) << bits) - 1;
    const uint64_t negativeMax = uint64_t(1) << (bits - 1); // the magnitude of the smallest number
    uint64_t magnitude = 0;
    for (char c : text) {
        int digit = DigitValue(c, base);
        if (digit < 0 || magnitude > (max - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base))
            return false;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (negative && magnitude > negativeMax) return false;
    value = negative ? (~magnitude + 1) & max : magnitude;
    return true;
}

// ---- Key paths ---------------------------------------------------------------------------

namespace {

struct RootNames {
    RegistryHive hive;
    const char16_t* full;      // nullptr: none
    const char16_t* shortName; // nullptr: none
    const char16_t* bracketed; // between the backslashes
};

constexpr RootNames kRoots[] = {
    {RegistryHive::LocalMachine, u"HKEY_LOCAL_MACHINE", u"HKLM", u"HKLM"},
    {RegistryHive::CurrentUser, u"HKEY_CURRENT_USER", u"HKCU", u"HKCU"},
    {RegistryHive::ClassesRoot, u"HKEY_CLASSES_ROOT", u"HKCR", u"HKCR"},
    {RegistryHive::Users, u"HKEY_USERS", nullptr, u"HKU"},
    {RegistryHive::CurrentConfig, u"HKEY_CURRENT_CONFIG", u"HKCC", u"HKCC"},
    {RegistryHive::DynData, u"HKEY_DYN_DATA", u"HKDD", u"HKDD"},
    {RegistryHive::AllUsers, nullptr, nullptr, u"HKAU"},
};

// The rest of the path after the root name, when the path begins with it and the name is
// followed by "\" (or, when the end may follow, by nothing).
bool AfterRootName(const String& path, const char16_t* name, bool mayEnd, String& rest) {
    if (!name || !StartsWithNoCase(path, name)) return false;
    size_t length = String::TextLength(name);
    if (path.Length() == length) {
        rest = String();
        return mayEnd;
    }
    if (path[length] != u'\\') return false;
    rest = path.Sub(length + 1);
    return true;
}

} // namespace

bool ParseRegistryKeyPath(const String& path, RegistryKeyPath& out) {
    String body = !path.IsEmpty() && path[0] == u'\\' ? path.Sub(1) : path;
    for (const RootNames& root : kRoots) {
        String rest;
        if (AfterRootName(body, root.full, true, rest) || AfterRootName(body, root.shortName, true, rest) ||
            AfterRootName(body, root.bracketed, false, rest)) {
            out.hive = root.hive;
            out.subkey = rest;
            return true;
        }
    }
    return false;
}

bool IsUserHive(const String& name) {
    if (name.IsEmpty() || IsOneOf(name, {u".DEFAULT", u"S-1-5-18", u"S-1-5-19", u"S-1-5-20"})) return false;
    const char16_t suffix[] = u"_Classes";
    size_t n = String::TextLength(suffix);
    return !(name.Length() >= n && CompareNoCase(name.c_str() + name.Length() - n, suffix) == 0);
}

bool HexToBytes(std::string_view text, Bytes& bytes) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ') continue;
        int digit = DigitValue(c, 16);
        if (digit < 0) return false;
        if (high < 0) {
            high = digit;
            continue;
        }
        out.push_back(static_cast<uint8_t>(high * 16 + digit));
        high = -1;
    }
    if (high >= 0) return false;
    bytes = std::move(out);
    return true;
}

// ---- Actions -----------------------------------------------------------------------------

RegistryActionRules RulesOfRegistryAction(uint32_t action) {
    switch (action) {
    case 1:
        return {false, true, false, false};
    case 2:
        return {false, false, false, true};
    case 3:
        return {false, true, false, true};
    case 4:
        return {true, false, false, false};
    case 5:
        return {true, false, false, true};
    case 6:
        return {false, true, true, false};
    case 7:
        return {false, true, true, true};
    default:
        return {};
    }
}

} // namespace cs
