#include "uninstall/UninstallData.h"

#include "core/Folders.h"
#include "core/Text.h"
#include "uninstall/Deletion.h"

#include <string>

namespace cs {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kAssociationSeparator = "~!~";

// The headers in the order the writer puts the sections after "[Strings]".
enum class Section {
    kBody,
    kStrings,
    kAutoClose,
    kAssociations,
    kFirewall,
    kInf,
    kMsi,
    kRegistry2,
    kDeletions
};
struct SectionName {
    Section section;
    std::string_view header;
};
constexpr SectionName kSections[] = {
    {Section::kStrings, "[Strings]"},
    {Section::kAutoClose, "[AutoClose]"},
    {Section::kAssociations, "[Associations]"},
    {Section::kFirewall, "[Firewall]"},
    {Section::kInf, "[INF]"},
    {Section::kMsi, "[MSI]"},
    {Section::kRegistry2, "[Registry2]"},
    {Section::kDeletions, "[ConditionalDelete]"},
};

bool IsBlankChar(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimView(std::string_view text) {
    while (!text.empty() && IsBlankChar(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlankChar(text.back()))
        text.remove_suffix(1);
    return text;
}

// An editor may put a byte-order mark before the first line; the file never holds one, so
// it is set aside wherever a line begins with it (repeated marks too).
std::string_view WithoutByteOrderMarks(std::string_view line) {
    for (;;) {
        line = TrimView(line);
        if (!line.starts_with("\xEF\xBB\xBF")) return line;
        line.remove_prefix(3);
    }
}

// Decimal digits only, at most max; false for anything else (no sign, no blanks, no overflow).
bool ParseDecimal(std::string_view text, uint32_t max, uint32_t& value) {
    if (text.empty()) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > max) return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

String8 Decimal(int64_t value) {
    std::string text = std::to_string(value);
    return String8(text.data(), text.size());
}

// The key under which a folder is filed: Latin-1 letters folded, every other character
// above U+00FF as one placeholder, so that paths equal ignoring case always share a key;
// paths within a key are then compared with the platform's case-ignoring comparison.
String FolderKey(const String& path) {
    String key = path;
    ToLower(key);
    for (size_t i = 0; i < key.Length(); ++i)
        if (key[i] > 0xFF) key[i] = u'\xFFFD';
    return key;
}

char KindCharacter(UninstallKind kind) {
    switch (kind) {
    case UninstallKind::kFolder:
        return '~';
    case UninstallKind::kRegistryValue:
        return '!';
    case UninstallKind::kRegistryKey:
        return '^';
    case UninstallKind::kRegistryKey64:
        return '*';
    case UninstallKind::kFile:
        break;
    }
    return 0;
}

bool IsKindCharacter(char c) {
    return c == '~' || c == '!' || c == '^' || c == '*';
}

void AppendLine(String8& text, std::string_view line) {
    text.Append(line.data(), line.size());
    text.Append(kLineEnd.data(), kLineEnd.size());
}

void AppendView(String8& text, std::string_view part) {
    text.Append(part.data(), part.size());
}

// "\r\n\r\n[Header]\r\n" and the content, ended by a line end; nothing without content.
void AppendSection(String8& out, std::string_view header, const String8& content) {
    if (IsBlank(content)) return;
    AppendView(out, "\r\n\r\n");
    AppendLine(out, header);
    out.Append(content);
    if (!content.View().ends_with(kLineEnd)) AppendView(out, kLineEnd);
}

// Splits at every separator that is not inside double quotes.
Array<std::string_view> SplitOutsideQuotes(std::string_view line, char separator) {
    Array<std::string_view> fields;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == separator && !quoted) {
            fields.Append(line.substr(start, i - start));
            start = i + 1;
        }
    }
    fields.Append(line.substr(start));
    return fields;
}

// UTF-8 of a text whose lines end in "\r\n": the reader splits at every line feed and joins
// the lines with "\r\n", so a lone line feed is written as the reader gives it back.
String8 Utf8WithCrLf(const String& text) {
    String8 utf8 = ToUtf8(text), out;
    for (size_t i = 0; i < utf8.Length(); ++i) {
        if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r')) out.Append('\r');
        out.Append(utf8[i]);
    }
    return out;
}

// A text's lines: trailing blank lines (the section separator's) are not part of it.
String JoinText(const Array<std::string_view>& lines) {
    int count = lines.Count();
    while (count > 0 && lines[count - 1].empty())
        --count;
    String8 text;
    for (int i = 0; i < count; ++i) {
        if (i) AppendView(text, kLineEnd);
        AppendView(text, lines[i]);
    }
    return FromUtf8(text.View());
}

// The block of a CSV section: its lines as they are, each ended by "\r\n", without the
// blank lines at its end.
String8 JoinBlock(const Array<std::string_view>& lines) {
    int count = lines.Count();
    while (count > 0 && TrimView(lines[count - 1]).empty())
        --count;
    String8 block;
    for (int i = 0; i < count; ++i)
        AppendLine(block, lines[i]);
    return block;
}

void ReadBodyLine(std::string_view line, UninstallFile& out) {
    UninstallBodyRecord record;
    record.kind = UninstallKind::kFile;
    std::string_view text = line;
    switch (line.front()) {
    case '~':
        record.kind = UninstallKind::kFolder;
        break;
    case '!':
        record.kind = UninstallKind::kRegistryValue;
        break;
    case '^':
        record.kind = UninstallKind::kRegistryKey;
        break;
    case '*':
        record.kind = UninstallKind::kRegistryKey64;
        break;
    default:
        break;
    }
    if (record.kind != UninstallKind::kFile) text.remove_prefix(1);
    // The writer never records shorter texts nor texts with a NUL; such a line is not ours.
    if (text.size() < kUninstallMinLine || text.find('\0') != std::string_view::npos) return;
    record.line = String8(line.data(), line.size());
    record.path = record.kind == UninstallKind::kRegistryValue ? FromUtf8(text) : FromPathForm(text);
    out.body.Append(std::move(record));
}

void ReadStrings(const Array<std::string_view>& lines, UninstallFile& out) {
    int number = 0; // 0: outside any text, or inside an ignored one
    Array<std::string_view> textLines;
    auto finish = [&] {
        if (number == kUninstallCaptionNumber)
            out.caption = JoinText(textLines);
        else if (number > 0)
            out.texts.At(number, 0) = JoinText(textLines);
        textLines = Array<std::string_view>();
    };
    for (std::string_view line : lines) {
        if (!line.empty() && line.front() == '~') {
            finish();
            uint32_t value = 0;
            number = ParseDecimal(line.substr(1), kUninstallTextMax, value) && value >= 1 ? int(value) : 0;
            continue;
        }
        if (number > 0) textLines.Append(line);
    }
    finish();
}

void ReadAutoClose(std::string_view block, UninstallFile& out) {
    for (const Array<String8>& record : ParseCsv(block)) {
        uint32_t mode = 0;
        if (record.Count() != 4 || !ParseDecimal(record[3].View(), 3, mode)) continue;
        AutoCloseEntry entry;
        entry.windowClass = FromUtf8(record[0].View());
        entry.windowTitle = FromUtf8(record[1].View());
        entry.displayName = FromUtf8(record[2].View());
        entry.mode = static_cast<uint8_t>(mode);
        entry.passMask = 0x2;
        out.autoClose.Append(std::move(entry));
    }
}

void ReadAssociation(std::string_view line, UninstallFile& out) {
    // Extension, type key and verb end at a separator; the icon path takes the rest.
    std::string_view fields[4];
    int count = 0;
    while (count < 3) {
        size_t at = line.find(kAssociationSeparator);
        if (at == std::string_view::npos) break;
        fields[count++] = line.substr(0, at);
        line.remove_prefix(at + kAssociationSeparator.size());
    }
    fields[count] = line;
    UninstallAssociation record;
    record.extension = FromUtf8(TrimView(fields[0]));
    record.typeKey = FromUtf8(TrimView(fields[1]));
    record.verb = FromUtf8(TrimView(fields[2]));
    record.iconPath = FromUtf8(TrimView(fields[3]));
    if (record.extension.IsEmpty() || record.typeKey.IsEmpty() || record.verb.IsEmpty()) return;
    out.associations.Append(std::move(record));
}

void ReadFirewall(std::string_view line, UninstallFile& out) {
    Array<std::string_view> fields;
    size_t start = 0;
    for (size_t at = line.find(';'); at != std::string_view::npos; at = line.find(';', start)) {
        fields.Append(line.substr(start, at - start));
        start = at + 1;
    }
    fields.Append(line.substr(start));
    UninstallFirewallRule rule;
    if (fields.Count() != 4 || !ParseDecimal(TrimView(fields[2]), 0xFFFFFFFFu, rule.protocols)) return;
    rule.line = String8(line.data(), line.size());
    rule.target = FromPathForm(TrimView(fields[0]));
    rule.name = String8(fields[1].data(), fields[1].size());
    rule.options = String8(fields[3].data(), fields[3].size());
    out.firewall.Append(std::move(rule));
}

// The system gives an installed driver's location as a full path; any other line is not ours
// (and "|[Strings]" would be written back as a section header).
void ReadInf(std::string_view line, UninstallFile& out) {
    String path = FromPathForm(line);
    Trim(path); // a "|" line may hold blanks after the bar
    if (IsFullPath(path)) out.inf.Append(std::move(path));
}

void ReadMsi(std::string_view line, UninstallFile& out) {
    Array<std::string_view> fields = SplitOutsideQuotes(line, ',');
    UninstallMsiPackage package;
    uint32_t level = 0;
    if (fields.Count() != 2 || !ParseDecimal(TrimView(fields[1]), 0x7FFFFFFF, level)) return;
    String8 path;
    for (char c : TrimView(fields[0]))
        if (c != '"') path.Append(c);
    if (path.IsEmpty()) return;
    package.line = String8(line.data(), line.size());
    package.path = FromPathForm(path.View());
    package.uiLevel = static_cast<int>(level);
    out.msi.Append(std::move(package));
}

void ReadDeletions(std::string_view block, UninstallFile& out) {
    for (const Array<String8>& record : ParseCsv(block)) {
        uint32_t condition = 0, flags = 0;
        if (record.Count() != 4 || record[0].IsEmpty() || !ParseDecimal(record[1].View(), 0xFF, condition) ||
            !ParseDecimal(record[3].View(), 0xFF, flags))
            continue;
        FileDeletion deletion;
        deletion.pattern = record[0];
        deletion.condition = static_cast<uint8_t>(condition);
        deletion.value = record[2];
        deletion.flags = static_cast<uint8_t>(flags);
        out.deletions.Append(std::move(deletion));
    }
}

} // namespace

// ---- Collecting ----------------------------------------------------------------------------

bool RecordUninstallLine(UninstallRecords& records, std::string_view text, UninstallKind kind) {
    if (text.size() < kUninstallMinLine) return false;
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    char prefix = KindCharacter(kind);
    if (kind == UninstallKind::kFile && IsKindCharacter(text.front())) return false;
    if (kind == UninstallKind::kFolder) {
        String path = FromPathForm(text);
        String key = FolderKey(path);
        Array<String>* same = records.folders.Get(key);
        if (same) {
            for (const String& recorded : *same)
                if (CompareNoCase(recorded, path) == 0) return false;
            same->Append(std::move(path));
        } else {
            records.folders.Set(key, Array<String>{path});
        }
    }
    if (prefix) records.body.Append(prefix);
    AppendLine(records.body, text);
    return true;
}

bool RecordUninstallPath(UninstallRecords& records, const String& path, UninstallKind kind) {
    String8 text = kind == UninstallKind::kRegistryValue ? ToUtf8(path) : ToPathForm(path);
    return RecordUninstallLine(records, text.View(), kind);
}

UninstallRecords& RunUninstallRecords() {
    static UninstallRecords records;
    return records;
}

void ClearUninstallRecords(UninstallRecords& records) {
    records.body.Clear();
    records.folders.Clear();
}

bool AppendAssociationRecord(UninstallRecords& records, const String& extension, const String& typeKey,
                             const String& verb, const String& iconPath) {
    const String* fields[] = {&extension, &typeKey, &verb, &iconPath};
    String8 line;
    for (const String* field : fields) {
        for (char16_t c : *field)
            if (c == u'\r' || c == u'\n') return false; // one record is one line
        if (field != fields[0]) AppendView(line, kAssociationSeparator);
        line.Append(ToUtf8(*field));
    }
    AppendLine(records.associations, line.View());
    return true;
}

void AppendMsiRecord(UninstallRecords& records, const String& packagePath, int uiLevel) {
    String8& text = records.msi;
    text.Append('"');
    text.Append(ToPathForm(packagePath));
    AppendView(text, "\",");
    text.Append(Decimal(uiLevel));
    AppendView(text, kLineEnd);
}

// ---- Writing -------------------------------------------------------------------------------

String8 WriteUninstallData(const UninstallRecords& records, const LanguageTable& texts, int language,
                           const String& caption) {
    String8 out = records.body;
    AppendView(out, "\r\n\r\n");
    AppendLine(out, "[Strings]");
    auto appendText = [&](int number, const String& text) {
        out.Append('~');
        AppendLine(out, Decimal(number).View());
        AppendLine(out, Utf8WithCrLf(text).View());
    };
    for (int number : kUninstallTextNumbers)
        appendText(number, texts.Get(number, language));
    appendText(kUninstallCaptionNumber, caption);

    String8 autoClose;
    for (const AutoCloseEntry& entry : records.autoClose) {
        if (!(entry.passMask & 0x2)) continue;
        Array<String8> fields = {Utf8WithCrLf(entry.windowClass), Utf8WithCrLf(entry.windowTitle),
                                 Utf8WithCrLf(entry.displayName), Decimal(entry.mode)};
        AppendLine(autoClose, CsvRecord(fields).View());
    }
    String8 deletions;
    for (const FileDeletion& deletion : records.deletions) {
        if (!(deletion.flags & kDeletionDuringUninstall)) continue;
        Array<String8> fields = {deletion.pattern, Decimal(deletion.condition), deletion.value,
                                 Decimal(deletion.flags)};
        AppendLine(deletions, CsvRecord(fields).View());
    }
    AppendSection(out, "[AutoClose]", autoClose);
    AppendSection(out, "[Associations]", records.associations);
    AppendSection(out, "[Firewall]", records.firewall);
    AppendSection(out, "[INF]", records.inf);
    AppendSection(out, "[MSI]", records.msi);
    AppendSection(out, "[Registry2]", records.registry2);
    AppendSection(out, "[ConditionalDelete]", deletions);
    return out;
}

// ---- CSV form ------------------------------------------------------------------------------

String8 CsvField(std::string_view field) {
    bool quote = field.find_first_of(",\"\t\r\n;|") != std::string_view::npos;
    if (!field.empty()) {
        char first = field.front();
        quote = quote || first == ' ' || first == '\'' || first == '#' || field.back() == ' ';
    }
    if (!quote) return String8(field.data(), field.size());
    String8 out;
    out.Append('"');
    for (char c : field) {
        if (c == '"') out.Append('"');
        out.Append(c);
    }
    out.Append('"');
    return out;
}

String8 CsvRecord(const Array<String8>& fields) {
    if (fields.Count() == 1 && fields[0].IsEmpty()) return String8("\"\"");
    String8 out;
    for (int i = 0; i < fields.Count(); ++i) {
        if (i) out.Append(',');
        out.Append(CsvField(fields[i].View()));
    }
    return out;
}

Array<Array<String8>> ParseCsv(std::string_view block) {
    Array<Array<String8>> records;
    size_t i = 0, n = block.size();
    while (i < n) {
        // Blanks before a record, and blank lines, hold nothing.
        while (i < n && IsBlankChar(block[i]))
            ++i;
        if (i >= n) break;
        Array<String8> record;
        for (;;) {
            String8 field;
            bool quoted = false;
            if (block[i] == '"') {
                quoted = true;
                ++i;
                while (i < n) {
                    if (block[i] == '"') {
                        if (i + 1 < n && block[i + 1] == '"') {
                            field.Append('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    field.Append(block[i++]);
                }
            }
            // Unquoted text, or what follows a closing quote, up to the field's end.
            size_t start = i;
            while (i < n && block[i] != ',' && block[i] != '\n')
                ++i;
            std::string_view rest = block.substr(start, i - start);
            bool recordEnds = i >= n || block[i] == '\n';
            if (recordEnds) { // the line's trailing blanks are not part of the field
                while (!rest.empty() && IsBlankChar(rest.back()))
                    rest.remove_suffix(1);
            }
            if (!quoted || !rest.empty()) AppendView(field, rest);
            record.Append(std::move(field));
            if (i < n) ++i; // the comma or the line feed
            if (recordEnds) break;
            if (i >= n) { // a comma at the very end: one more, empty field
                record.Append(String8());
                break;
            }
        }
        records.Append(std::move(record));
    }
    return records;
}

// ---- Reading -------------------------------------------------------------------------------

ClosePass AutoClosePass(const AutoCloseEntry& entry) {
    return entry.mode == 2 ? ClosePass::kAfterConfirmation : ClosePass::kBeforeConfirmation;
}

void ReadUninstallData(std::string_view bytes, UninstallFile& out) {
    out = UninstallFile();
    out.texts.names.Append(String());
    out.texts.stringCount = kUninstallTextMax + 1;
    out.texts.strings.assign(size_t(kUninstallTextMax) + 1, String());

    // The lines of each section: trimmed, except those of the CSV sections, whose quoted
    // fields may keep blanks and span lines.
    Array<std::string_view> strings, autoClose, registry2, deletions;
    Section section = Section::kBody;
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        std::string_view raw = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        std::string_view line = TrimView(WithoutByteOrderMarks(raw));
        bool header = false;
        for (const SectionName& name : kSections)
            if (line == name.header) {
                section = name.section;
                header = true;
            }
        if (header) continue;
        switch (section) {
        case Section::kBody:
            if (!line.empty()) ReadBodyLine(line, out);
            break;
        case Section::kStrings:
            strings.Append(line);
            break;
        case Section::kAutoClose:
            autoClose.Append(raw);
            break;
        case Section::kAssociations:
            if (!line.empty()) ReadAssociation(line, out);
            break;
        case Section::kFirewall:
            if (!line.empty()) ReadFirewall(line, out);
            break;
        case Section::kInf:
            if (!line.empty()) ReadInf(line, out);
            break;
        case Section::kMsi:
            if (!line.empty()) ReadMsi(line, out);
            break;
        case Section::kRegistry2:
            registry2.Append(raw);
            break;
        case Section::kDeletions:
            deletions.Append(raw);
            break;
        }
    }
    ReadStrings(strings, out);
    ReadAutoClose(JoinBlock(autoClose).View(), out);
    out.registry2 = JoinBlock(registry2);
    ReadDeletions(JoinBlock(deletions).View(), out);
}

void LoadForRewrite(const UninstallFile& file, UninstallRecords& records) {
    records.autoClose = file.autoClose;
    records.registry2 = file.registry2;
    records.deletions = file.deletions;
}

} // namespace cs
