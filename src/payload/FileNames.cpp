#include "payload/FileNames.h"

#include "core/Text.h"

#include <array>

namespace cs {

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

char16_t Upper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsUpper(std::u16string_view text, std::u16string_view upper) {
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (Upper(text[i]) != upper[i]) return false;
    return true;
}

// Windows opens a device for these names whatever extension follows and whatever blanks
// stand before the extension; the superscript digits count as digits there too.
bool IsDeviceName(std::u16string_view part) {
    std::u16string_view stem = part.substr(0, part.find(u'.'));
    while (!stem.empty() && stem.back() == u' ')
        stem.remove_suffix(1);
    for (std::u16string_view device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
        if (EqualsUpper(stem, device)) return true;
    if (stem.size() != 4) return false;
    bool numbered = EqualsUpper(stem.substr(0, 3), u"COM") || EqualsUpper(stem.substr(0, 3), u"LPT");
    char16_t digit = stem[3];
    return numbered && ((digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
                        digit == u'\u00B3');
}

bool IsReservedChar(char16_t c) {
    return c < 0x20 || c == 0x7F || std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos;
}

bool IsDriveLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The kind's own folder, as the extraction and the comparison name it.
const char16_t* KindBase(const FileRecord& record) {
    if (record.flags & 0x40) return u"UninstallDir";
    switch (record.kind) {
    case 1:
        return u"SharedDir";
    case 4:
        return u"FontDir";
    case 6:
    case 7:
    case 8:
        return u"SystemDir";
    default:
        return u"InstallDir";
    }
}

std::u16string_view FileNamePart(std::u16string_view name) {
    size_t cut = name.find_last_of(u"\\/");
    return cut == std::u16string_view::npos ? name : name.substr(cut + 1);
}

// The parts of a sound relative name joined by `separator`, after `path`.
void AppendParts(String& path, std::u16string_view name, char16_t separator) {
    for (size_t start = 0; start < name.size();) {
        size_t end = std::min(name.find_first_of(u"\\/", start), name.size());
        if (!path.IsEmpty()) path += separator;
        path += String(name.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

const char* NamePartProblem(std::u16string_view part) {
    if (part.empty()) return "has an empty part (two separators in a row)";
    if (part == u"." || part == u"..") return "has a \".\" or \"..\" part (it leaves its folder)";
    for (char16_t c : part)
        if (IsSeparator(c)) return "holds a folder separator inside one name";
    for (char16_t c : part)
        if (IsReservedChar(c))
            return "holds a character Windows does not allow in a name (< > : \" | ? * or a control "
                   "character)";
    if (part.back() == u'.' || part.back() == u' ') return "has a part that ends with a dot or a blank";
    if (IsDeviceName(part)) return "names a device (CON, PRN, AUX, NUL, COM1, LPT1, ...)";
    return nullptr;
}

const char* RelativeNameProblem(std::u16string_view name, bool folder) {
    if (name.empty()) return folder ? nullptr : "is empty";
    if (IsSeparator(name[0])) return "is an absolute path (it starts with \"\\\" or \"/\")";
    // Only "\" marks a folder: the engine appends the file name after it alone.
    if (folder && name.back() == u'\\') name.remove_suffix(1);
    for (size_t start = 0;;) {
        size_t end = std::min(name.find_first_of(u"\\/", start), name.size());
        if (const char* problem = NamePartProblem(name.substr(start, end - start))) return problem;
        if (end == name.size()) return nullptr;
        start = end + 1;
    }
}

bool SplitDestination(std::u16string_view destination, DestinationParts& parts, const char*& problem) {
    parts = DestinationParts();
    problem = nullptr;
    auto fail = [&](const char* why) {
        problem = why;
        return false;
    };
    auto rest = [&](size_t at) {
        parts.rest = destination.substr(at);
        problem = RelativeNameProblem(parts.rest, true);
        return problem == nullptr;
    };
    if (destination.find(u'\\') == std::u16string_view::npos) {
        parts.newName = true;
        parts.rest = destination;
        problem = RelativeNameProblem(destination);
        return problem == nullptr;
    }
    if (destination.size() >= 2 && destination[0] == u'\\' && destination[1] == u'\\') {
        // "\\server\share\...": the server and the share are sound parts ("\\?\" and "\\.\" are not).
        // Only two backslashes start one: the engine takes "//server/share" for a relative path
        // and would place it below the kind's folder, so the rule refuses it as absolute below.
        size_t server = destination.find_first_of(u"\\/", 2);
        size_t share =
            server == std::u16string_view::npos ? server : destination.find_first_of(u"\\/", server + 1);
        if (share == std::u16string_view::npos) return fail("is a server path without a share and a name");
        if (NamePartProblem(destination.substr(2, server - 2)) ||
            NamePartProblem(destination.substr(server + 1, share - server - 1)))
            return fail("is a device path or a server path with an unsound server or share name");
        parts.base = DestinationParts::Base::Share;
        parts.baseText = destination.substr(0, share);
        return rest(share + 1);
    }
    if (IsSeparator(destination[0])) return fail("is an absolute path from the root of an unknown drive");
    if (destination.size() >= 2 && destination[1] == u':') {
        if (!IsDriveLetter(destination[0]) || destination.size() < 3 || !IsSeparator(destination[2]))
            return fail("names a drive without a folder after it (\"X:x\" is relative to that drive's "
                        "current folder)");
        parts.base = DestinationParts::Base::Drive;
        parts.baseText = destination.substr(0, 2);
        return rest(3);
    }
    if (destination[0] == u'%') {
        size_t end = destination.find(u'%', 1);
        if (end != std::u16string_view::npos &&
            (end + 1 == destination.size() || IsSeparator(destination[end + 1]))) {
            if (NamePartProblem(destination.substr(1, end - 1)))
                return fail("starts with a variable whose name is not a sound name (\"%..%\", \"%C:%\")");
            parts.base = DestinationParts::Base::Variable;
            parts.baseText = destination.substr(0, end + 1);
            return rest(std::min(end + 2, destination.size()));
        }
    }
    return rest(0);
}

bool CheckRecordNames(const FileRecord& record, RecordNameProblem& problem) {
    problem = RecordNameProblem();
    if (const char* why = RelativeNameProblem(record.name.View())) {
        problem = {"name", why};
        return false;
    }
    if (record.destination.IsEmpty()) return true;
    DestinationParts parts;
    const char* why = nullptr;
    if (!SplitDestination(record.destination.View(), parts, why)) {
        problem = {"destination", why};
        return false;
    }
    return true;
}

bool PlacedPath(const FileRecord& record, char16_t separator, String& path, RecordNameProblem& problem) {
    path = String();
    if (!CheckRecordNames(record, problem)) return false;
    std::u16string_view name = record.name.View();
    DestinationParts parts;
    const char* why = nullptr;
    if (!record.destination.IsEmpty()) SplitDestination(record.destination.View(), parts, why);
    if (record.destination.IsEmpty() || parts.newName) {
        path = KindBase(record);
        AppendParts(path, parts.newName ? parts.rest : name, separator);
        return true;
    }
    switch (parts.base) {
    case DestinationParts::Base::None:
        path = record.kind == 1 ? u"SharedDir" : u"InstallDir";
        break;
    case DestinationParts::Base::Variable:
        path = String(parts.baseText.substr(1, parts.baseText.size() - 2));
        break;
    case DestinationParts::Base::Drive:
    case DestinationParts::Base::Share:
        path = String(parts.baseText);
        break;
    }
    AppendParts(path, parts.rest, separator);
    if (parts.rest.empty() || IsSeparator(parts.rest.back()))
        AppendParts(path, FileNamePart(name), separator);
    return true;
}

String PathCompareKey(const String& path) {
    String key = path;
    ToUpper(key);
    for (size_t i = 0; i < key.Length(); ++i)
        if (key[i] == u'/') key[i] = u'\\';
    return key;
}

} // namespace cs
