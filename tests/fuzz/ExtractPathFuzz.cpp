// Outside bytes as a file record's kind, flags, name and destination, through the path that
// `inspect --extract` gives the record's file. A path it returns is relative, made of sound
// parts, and stays inside the output folder however the build machine reads it.
#include "builder/Extract.h"
#include "core/Text.h"
#include "payload/FileNames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    cs::FileRecord record;
    record.kind = data[0] % 14;
    record.flags = (data[1] & 1) ? 0x40 : 0;
    std::u16string_view text(reinterpret_cast<const char16_t*>(data + 2), (size - 2) / 2);
    size_t cut = text.find(u'\0');
    record.name = cs::String(text.substr(0, cut));
    if (cut != std::u16string_view::npos) record.destination = cs::String(text.substr(cut + 1));

    std::string path, error;
    if (!cs::ExtractedPath(record, path, error)) {
        if (error.empty()) abort();
        return 0;
    }
    cs::RecordNameProblem problem;
    if (!cs::CheckRecordNames(record, problem)) abort(); // the one rule decides
    if (path.empty() || path[0] == '/' || path.find('\\') != std::string::npos ||
        path.find('\0') != std::string::npos)
        abort();
    if (cs::RelativeNameProblem(cs::FromUtf8(path).View())) abort();
    namespace fs = std::filesystem;
    fs::path out = "/out";
    fs::path file = (out / fs::path(path)).lexically_normal();
    fs::path inside = file.lexically_relative(out);
    if (inside.empty() || *inside.begin() == "..") abort();
    return 0;
}
