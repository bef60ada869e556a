// The [[file]] and [[folder]] entries of a project: the settings every installed file takes
// (kind, overwrite mode, attributes, date, the texts of its record), one source file per
// [[file]], a whole source tree per [[folder]].
#include "builder/ProjectSection.h"
#include "builder/Reproducible.h"
#include "builder/SourceTree.h"
#include "payload/FileNames.h"
#include "payload/PayloadHeader.h"

#include <charconv>
#include <optional>
#include <unordered_map>

namespace cs {

namespace {

// The settings of an entry, and its date when given (otherwise each file takes its own).
struct FileSettings {
    ProjectFile file; // all but the source, the name and the date
    std::optional<DateValue> date;
};

// A readable key for a raw text of the record, for the kinds of file it means something for.
struct TextAlias {
    const char* key;
    const char* raw;
    String ProjectFile::*field; // where the raw text goes
    bool (*fits)(int32_t kind);
    const char* kinds;                    // in words, for the message
    bool (*valid)(std::string_view text); // nullptr: any text
    const char* expected;                 // the message when the text is not valid
};

// One to four numbers up to 65535 separated by dots, as Windows numbers file versions.
bool IsFileVersion(std::string_view text) {
    int parts = 0;
    for (size_t start = 0; start <= text.size() && parts < 5; ++parts) {
        size_t end = std::min(text.find('.', start), text.size());
        unsigned number = 0;
        auto [stop, error] = std::from_chars(text.data() + start, text.data() + end, number);
        if (error != std::errc() || stop != text.data() + end || number > 0xFFFF) return false;
        start = end + 1;
    }
    return parts <= 4;
}

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" with hexadecimal digits.
bool IsClassId(std::string_view text) {
    constexpr std::string_view shape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'x' ? !std::isxdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
            return false;
    return true;
}

const TextAlias kTextAliases[] = {
    {"version", "title", &ProjectFile::title, [](int32_t kind) { return kind >= 6 && kind <= 9; },
     "\"system\", \"com-server\", \"type-library\" and \"versioned\"", IsFileVersion,
     "expected one to four numbers up to 65535 separated by dots (1.2.3.4)"},
    {"working_folder", "extra", &ProjectFile::extra, [](int32_t kind) { return kind == 0 || kind == 5; },
     "\"app\" and \"startup\"", nullptr, ""},
    {"class_id", "extra", &ProjectFile::extra, [](int32_t kind) { return kind == 12; }, "\"control-panel\"",
     IsClassId, "expected a class identifier {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"},
};

void ReadAlias(Section& s, const TextAlias& alias, ProjectFile& f) {
    String value;
    if (!s.Text(alias.key, value)) return;
    if (!alias.fits(f.kind))
        s.Fail(alias.key,
               std::string("only for ") + alias.kinds + " files; `" + alias.raw + "` is the raw text");
    else if (s.Has(alias.raw))
        s.Fail(alias.key, std::string("give ") + alias.key + " or " + alias.raw + ", not both");
    else if (alias.valid && !alias.valid(ToUtf8(value).View()))
        s.Fail(alias.key, alias.expected);
    else
        f.*alias.field = std::move(value);
}

void ReadKind(Section& s, int32_t& kind) {
    s.Choice("kind", kind,
             {"app", "shared", "", "", "font", "startup", "system", "com-server", "type-library", "versioned",
              "driver", "msi", "control-panel"},
             12);
    if (kind == 2 || kind == 3) s.Fail("kind", "kinds 2 and 3 do not exist");
}

// The texts of the record but the name and the destination; the kind must be read.
void ReadTexts(Section& s, ProjectFile& f) {
    s.Text("title", f.title);
    s.Text("icon", f.icon);
    s.Text("arguments", f.arguments);
    s.Text("extra", f.extra);
    for (const TextAlias& alias : kTextAliases)
        ReadAlias(s, alias, f);
}

uint32_t ReadFlags(Section& s) {
    uint32_t flags = 0, overwrite = 0;
    for (auto [key, bit] : {std::pair{"desktop_shortcut", 0x1u},
                            {"start_menu_shortcut", 0x2u},
                            {"keep", 0x20u},
                            {"into_uninstall_folder", 0x40u},
                            {"remove_msi_at_uninstall", 0x80000000u}}) {
        bool on = false;
        if (s.Bool(key, on) && on) flags |= bit;
    }
    s.Choice("overwrite", overwrite,
             {"always", "never", "only-existing", "only-missing", "if-newer", "like-never-5", "like-always-6",
              "like-always-7"},
             7);
    return flags | overwrite << 2;
}

// Windows file attributes: a number (-1 leaves them as created) or names.
void ReadAttributes(Section& s, int32_t& attributes) {
    // Recording notes the number here and the names below: the schema takes either.
    const toml::node* n = s.Take("attributes", SchemaOfInteger(-1, INT32_MAX));
    if (n && n->is_integer()) {
        s.Int("attributes", attributes, -1, INT32_MAX);
        return;
    }
    uint32_t bits = 0;
    if (s.NamedBits("attributes", bits,
                    {{"read-only", 0x1},
                     {"hidden", 0x2},
                     {"system", 0x4},
                     {"archive", 0x20},
                     {"temporary", 0x100},
                     {"offline", 0x1000}}))
        attributes = static_cast<int32_t>(bits);
}

std::optional<DateValue> ReadDate(Section& s) {
    const toml::node* n = s.Take("date", kSchemaOfDate);
    if (!n) return std::nullopt;
    DateValue date; // month 0: no date
    if (n->value<std::string>() == "none" || DateFromNode(*n, date)) return date;
    s.Fail("date", "expected a date (2024-05-17), a date and time (2024-05-17T13:45:00) or \"none\"");
    return std::nullopt;
}

FileSettings ReadFileSettings(Section& s) {
    FileSettings settings;
    ProjectFile& f = settings.file;
    ReadKind(s, f.kind);
    ReadTexts(s, f);
    f.flags = ReadFlags(s);
    ReadAttributes(s, f.attributes);
    settings.date = ReadDate(s);
    s.Int("msi_ui_level", f.msiValue, INT32_MIN, INT32_MAX);
    return settings;
}

// The source's last-modified time in UTC, no later than SOURCE_DATE_EPOCH when that is set.
DateValue FileDate(const fs::path& file) {
    std::error_code ec;
    fs::file_time_type time = fs::last_write_time(file, ec);
    if (ec) return {};
    auto modified = std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(time));
    return ClampedFileDate(modified.time_since_epoch().count(), SourceDateEpoch());
}

// The file as the installer carries it, from the entry's settings.
ProjectFile Installed(const FileSettings& settings, const fs::path& source, String name) {
    ProjectFile f = settings.file;
    f.source = GenericUtf8(source);
    f.name = std::move(name);
    f.date = settings.date ? *settings.date : FileDate(source);
    return f;
}

constexpr char kTooLarge[] = "files up to 0x73333333 bytes can be installed";

bool SizeFits(const fs::path& file) {
    std::error_code ec;
    uintmax_t size = fs::file_size(file, ec);
    return !ec && size <= uintmax_t(kMaxFileSize);
}

// What the name rule reads of a file: its kind, flags, name and destination.
FileRecord NamesOf(const ProjectFile& f, const String& name) {
    FileRecord record;
    record.kind = f.kind;
    record.flags = f.flags;
    record.name = name;
    record.destination = f.destination;
    return record;
}

// The source path, relative to the project file's folder unless absolute.
bool ReadSource(Section& s, const char* what, fs::path& path) {
    String source;
    if (!s.Text("source", source)) {
        if (!s.Problems_().Failed()) s.Fail("source", std::string("missing: ") + what);
        return false;
    }
    path = PathFromUtf8(ToUtf8(source).View());
    if (!path.is_absolute()) path = s.Base() / path;
    return true;
}

void ReadFile(Section& s, std::vector<ProjectFile>& files) {
    fs::path path;
    // Recording, the reader goes on to name the entry's other keys.
    if (!ReadSource(s, "the file to install", path) && !s.Recording()) return;
    std::error_code ec;
    if (!s.Recording() && !fs::is_regular_file(path, ec))
        return s.Fail("source", "no such file: " + GenericUtf8(path));
    if (!s.Recording() && !SizeFits(path)) return s.Fail("source", kTooLarge);
    String name = FromUtf8(GenericUtf8(path.filename()));
    s.Text("name", name);
    if (name.IsEmpty()) s.Fail("name", "must not be empty");
    FileSettings settings = ReadFileSettings(s);
    s.Text("destination", settings.file.destination);
    RecordNameProblem problem;
    if (!s.Problems_().Failed() && !CheckRecordNames(NamesOf(settings.file, name), problem)) {
        const String& text = std::string_view(problem.field) == "name" ? name : settings.file.destination;
        return s.Fail(problem.field, "\"" + std::string(ToUtf8(text).c_str()) + "\" " + problem.what);
    }
    files.push_back(Installed(settings, path, std::move(name)));
}

// The folder of a tree inside the installation: relative, "\" between its folders.
String ReadTreeDestination(Section& s) {
    String text, folder;
    if (!s.Text("destination", text)) return folder;
    std::string path = ToUtf8(text).c_str();
    if (path.find(':') != std::string::npos || path[0] == '/' || path[0] == '\\') {
        s.Fail("destination", "must be a folder inside the installation (a relative path)");
        return folder;
    }
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(path.find_first_of("/\\", start), path.size());
        std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part == "..") s.Fail("destination", "must stay inside the installation (no \"..\")");
        if (part.empty() || part == ".") continue;
        if (const char* why = NamePartProblem(FromUtf8(part).View()))
            s.Fail("destination", "\"" + part + "\" " + why);
        if (!folder.IsEmpty()) folder += u'\\';
        folder += FromUtf8(part);
    }
    return folder;
}

// The name in the installation of a tree's file: its folder, then its path below the source.
String TreeFileName(const String& folder, const std::string& relative) {
    String name = folder.IsEmpty() ? FromUtf8(relative) : folder + u"\\" + FromUtf8(relative);
    for (size_t i = 0; i < name.Length(); ++i)
        if (name[i] == u'/') name[i] = u'\\';
    return name;
}

SourceSelection ReadSelection(Section& s) {
    SourceSelection selection;
    s.Bool("recursive", selection.recursive);
    if (s.Texts("include", selection.include) && selection.include.empty())
        s.Fail("include", "an empty list picks no file; leave the key out to take every file");
    s.Texts("exclude", selection.exclude);
    return selection;
}

void ReadFolder(Section& s, std::vector<ProjectFile>& files) {
    fs::path root;
    if (!ReadSource(s, "the folder to install", root) && !s.Recording()) return;
    String folder = ReadTreeDestination(s);
    SourceSelection selection = ReadSelection(s);
    FileSettings settings = ReadFileSettings(s);
    if (s.Problems_().Failed() || s.Recording()) return;
    std::vector<SourceFile> found;
    SourceTreeProblem problem;
    if (!ListSourceTree(root, selection, found, problem)) {
        const char* keys[] = {"source", "include", "exclude"};
        return s.Fail(keys[problem.setting], problem.what);
    }
    files.reserve(files.size() + found.size());
    for (const SourceFile& file : found) {
        if (!SizeFits(file.path)) return s.Fail("source", file.relative + ": " + kTooLarge);
        // A Linux tree can hold names Windows reads otherwise: "..\\x" is a path there.
        if (const char* why = RelativeNameProblem(FromUtf8(file.relative).View()))
            return s.Fail("source", "the file \"" + file.relative + "\" " + why);
        files.push_back(Installed(settings, file.path, TreeFileName(folder, file.relative)));
    }
}

// Two files that Windows takes for one place ("Read.me" and "READ.ME", or a name and a
// destination that meet): the second would silently replace the first.
template <class Entries> void CheckCaseTwins(Problems& problems, const Entries& entries) {
    if (problems.Failed() || problems.Recorder()) return;
    std::unordered_map<std::u16string, std::string> seen;
    for (const auto& entry : entries)
        for (const ProjectFile& f : entry.files) {
            String placed;
            RecordNameProblem problem;
            if (!PlacedPath(NamesOf(f, f.name), u'\\', placed, problem))
                continue; // reported where it was read
            std::string text = ToUtf8(placed).c_str();
            auto [first, added] = seen.emplace(std::u16string(PathCompareKey(placed).View()), text);
            if (added) continue;
            toml::source_region where;
            where.begin.line = entry.line;
            return problems.Report(where, entry.key,
                                   "\"" + text + "\" is the same file on Windows as \"" + first->second +
                                       "\" of an earlier entry (names differ only in case or not at all)");
        }
}

} // namespace

void ReadFileEntries(Section& top, std::vector<ProjectFile>& files) {
    struct Entry {
        uint32_t line;
        std::string key; // the key a case twin is reported at: "file[0].name", "folder[1].source"
        std::vector<ProjectFile> files;
    };
    std::vector<Entry> entries;
    auto read = [&](void (*reader)(Section&, std::vector<ProjectFile>&)) {
        return [&entries, reader](Section& s, int) {
            bool tree = reader == ReadFolder;
            const char* key = tree ? "source" : s.Has("destination") ? "destination" : "name";
            entries.push_back({s.Where().begin.line, s.KeyName(key), {}});
            reader(s, entries.back().files);
        };
    };
    top.Tables("file", read(ReadFile));
    top.Tables("folder", read(ReadFolder));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.line < b.line; });
    CheckCaseTwins(top.Problems_(), entries);
    for (Entry& entry : entries)
        files.insert(files.end(), std::make_move_iterator(entry.files.begin()),
                     std::make_move_iterator(entry.files.end()));
}

} // namespace cs
