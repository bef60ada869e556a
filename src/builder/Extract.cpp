#include "builder/Extract.h"

#include "builder/Inspect.h"
#include "builder/Json.h"
#include "builder/Project.h"
#include "builder/SourceTree.h"
#include "core/Text.h"
#include "payload/PayloadCodes.h"

#include <filesystem>
#include <fstream>

namespace cs {

namespace fs = std::filesystem;

namespace {

std::string Utf8(const String& text) {
    String8 bytes = ToUtf8(text);
    return std::string(bytes.c_str(), bytes.Length());
}

// The folder variable a file kind installs under.
const char* KindBase(int32_t kind) {
    switch (kind) {
    case 1:
        return "SharedDir";
    case 4:
        return "FontDir";
    case 6:
    case 7:
    case 8:
        return "SystemDir";
    default:
        return "InstallDir";
    }
}

const char* KindName(int32_t kind) {
    static const char* names[] = {"AppFile",
                                  "SharedFile",
                                  "",
                                  "",
                                  "FontFile",
                                  "StartupFile",
                                  "SystemFile",
                                  "ComServerFile",
                                  "TypeLibraryFile",
                                  "VersionedFile",
                                  "DriverPackage",
                                  "MsiPackage",
                                  "ControlPanelApplet"};
    return kind >= 0 && kind <= 12 ? names[kind] : "";
}

bool Absolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || path.starts_with("\\") || path.starts_with("/");
}

} // namespace

bool ExtractedPath(const FileRecord& record, std::string& path, std::string& error) {
    std::string name = Utf8(record.name), destination = Utf8(record.destination);
    std::string base = (record.flags & 0x40) ? "UninstallDir" : KindBase(record.kind);
    std::string rest = destination.empty() ? name : destination;
    // A leading variable names the base folder itself.
    if (rest.size() > 2 && rest[0] == '%') {
        size_t end = rest.find('%', 1);
        if (end != std::string::npos && end > 1 && rest.find_first_of("\\/", 1) > end) {
            base = rest.substr(1, end - 1);
            rest = rest.substr(end + 1);
            while (!rest.empty() && (rest[0] == '\\' || rest[0] == '/'))
                rest.erase(0, 1);
        }
    } else if (Absolute(rest)) {
        error = "the destination \"" + rest + "\" of " + name +
                " is an absolute path: no base folder to extract it under";
        return false;
    }
    if (rest.empty() || rest.back() == '\\' || rest.back() == '/') {
        size_t cut = name.find_last_of("\\/");
        rest += cut == std::string::npos ? name : name.substr(cut + 1);
    }
    path = base;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (part == "..") {
            error = "the destination \"" + (destination.empty() ? name : destination) + "\" of " + name +
                    " leaves its folder (\"..\")";
            return false;
        }
        if (!part.empty() && part != ".") path += "/" + part;
        start = end + 1;
    }
    if (path == base || name.empty()) {
        error = "a file record without a file name";
        return false;
    }
    return true;
}

std::string ContentsJson(const std::vector<FileRecord>& files, const std::vector<std::string>& paths) {
    JsonWriter j;
    j.BeginObject();
    j.Key("files").BeginArray();
    for (size_t i = 0; i < files.size(); ++i) {
        const FileRecord& f = files[i];
        j.BeginObject();
        j.Member("path", paths[i]);
        j.Member("name", Utf8(f.name));
        j.Member("destination", Utf8(f.destination));
        j.Member("kind", f.kind);
        j.Member("kindName", KindName(f.kind));
        j.Member("flags", f.flags);
        j.Member("attributes", static_cast<int32_t>(f.attributes));
        j.Member("size", f.size);
        char date[40];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", f.date.year, f.date.month,
                      f.date.day, f.date.hour, f.date.minute, f.date.second);
        j.Member("date", f.date.month == 0 ? std::string() : std::string(date));
        for (auto [key, text] : {std::pair{"title", &f.title}, std::pair{"icon", &f.icon},
                                 std::pair{"arguments", &f.arguments}, std::pair{"extra", &f.extra}})
            if (!text->IsEmpty()) j.Member(key, Utf8(*text));
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
    return j.Text() + "\n";
}

bool ExtractInstaller(ByteView installer, const std::string& folder, int& corruptCode, std::string& error) {
    corruptCode = 0;
    fs::path target = PathFromUtf8(folder);
    std::error_code ec;
    if (fs::exists(target, ec) && !(fs::is_directory(target, ec) && fs::is_empty(target, ec))) {
        error = folder + " exists and is not an empty folder: give a new one";
        return false;
    }
    InspectReport report = InspectInstaller(installer);
    if (report.verdict != kPayloadOk) {
        corruptCode = report.verdict;
        error = "the installer is corrupt (error code " + std::to_string(report.verdict) + ")";
        return false;
    }
    int code = 0;
    Definition definition;
    DecodedDefinitionJson(report, code, &definition);
    DataStreamCheck check;
    code = CheckInstallerStream(installer, report, definition, check);
    if (code != kPayloadOk) {
        corruptCode = code;
        error = "the installer is corrupt (error code " + std::to_string(code) + ")";
        return false;
    }
    std::vector<std::string> paths;
    for (const FileRecord& f : check.files) {
        std::string path;
        if (!ExtractedPath(f, path, error)) return false;
        paths.push_back(path);
    }
    fs::path work = target;
    work += ".extracting";
    fs::remove_all(work, ec); // a run that was stopped before its rename
    auto failed = [&](const std::string& message) {
        error = message;
        fs::remove_all(work, ec);
        return false;
    };
    if (!fs::create_directories(work, ec))
        return failed("cannot create " + work.string() + ": " + ec.message());
    for (size_t i = 0; i < check.files.size(); ++i) {
        fs::path file = work / PathFromUtf8(paths[i]);
        fs::create_directories(file.parent_path(), ec);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(check.decoded.data() + check.contents[i]),
                  check.files[i].size);
        out.close();
        if (!out) return failed("cannot write " + file.string());
    }
    std::ofstream listing(work / "contents.json", std::ios::binary);
    listing << ContentsJson(check.files, paths);
    listing.close();
    if (!listing) return failed("cannot write " + (work / "contents.json").string());
    if (fs::exists(target, ec)) fs::remove(target, ec); // the empty folder given
    fs::rename(work, target, ec);
    if (ec) return failed("cannot rename " + work.string() + " to " + folder + ": " + ec.message());
    return true;
}

} // namespace cs
