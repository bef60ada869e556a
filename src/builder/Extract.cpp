#include "builder/Extract.h"

#include "builder/Inspect.h"
#include "builder/Json.h"
#include "builder/Project.h"
#include "builder/SourceTree.h"
#include "core/Text.h"
#include "payload/FileNames.h"
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

} // namespace

bool ExtractedPath(const FileRecord& record, std::string& path, std::string& error) {
    String placed;
    RecordNameProblem problem;
    std::string name = Utf8(record.name);
    if (!PlacedPath(record, u'/', placed, problem)) {
        std::string text = Utf8(std::string_view(problem.field) == "name" ? record.name : record.destination);
        error = "the " + std::string(problem.field) + " \"" + text + "\" of a file record " + problem.what;
        return false;
    }
    DestinationParts parts;
    const char* why = nullptr;
    if (!record.destination.IsEmpty() && SplitDestination(record.destination.View(), parts, why) &&
        (parts.base == DestinationParts::Base::Drive || parts.base == DestinationParts::Base::Share)) {
        error = "the destination \"" + Utf8(record.destination) + "\" of " + name +
                " is an absolute path: no base folder to extract it under";
        return false;
    }
    path = Utf8(placed);
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
