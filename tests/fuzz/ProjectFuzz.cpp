// Outside text through the project-file reader: the TOML document, every section and key
// check, the file and folder entries and the language files, read against a small source
// tree of our own in a fresh temporary folder. Every input ends in a result, never a crash;
// a project that reads must have a definition the writer takes and the engine's reader
// reads back to its end.
//
// The reader opens what the project names relative to the project's folder, so a value that
// could name a file outside that tree (an absolute path, or ".." as one of its parts) skips
// the input: the run never walks or reads the machine's own files.
#include "builder/Project.h"
#include "builder/TomlText.h"
#include "payload/DefinitionReader.h"

#include <toml++/toml.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path gTree;

void Put(const std::string& name, std::string_view bytes) {
    fs::path file = gTree / name;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The names the seed projects use (examples/ and the builder's fixtures), with small contents.
void MakeTree() {
    std::string pattern = (fs::temp_directory_path() / "cs-fuzz-project-XXXXXX").string();
    if (!mkdtemp(pattern.data())) abort();
    gTree = pattern;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(gTree, ec);
    });
    Put("app.exe", "MZ pretend program");
    Put("hello.bat", "@echo hello\r\n");
    Put("readme.txt", "Read me\r\n");
    Put("licence.rtf", "{\\rtf1 Licence}");
    Put("licence.txt", "Plain \xC3\xA9");
    Put("icon.ico", std::string_view("\0\0\1\0icon", 8));
    Put("merge.reg", "REGEDIT4\r\n");
    Put("german.toml",
        "language = \"Deutsch\"\n[strings]\n1 = \"Willkommen bei <product>\"\n49 = \"Abbrechen\"\n");
    Put("docs/faq.txt", "faq");
    Put("docs/notes.md", "notes");
    Put("tree/a.txt", "a");
    Put("tree/Zeta.dat", "z");
    Put("tree/sub/one.txt", "one");
    Put("tree/sub/skip.tmp", "tmp");
    Put("tree/sub/deeper/deep.bin", std::string_view("\0\1\2", 3));
}

// A value read as a path from the project's folder stays inside it: not absolute, and no
// ".." among its parts (a URL or a "Please wait..." text passes).
bool StaysInTree(std::string_view text) {
    if (!text.empty() && text[0] == '/') return false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('/', start);
        if (end == std::string_view::npos) end = text.size();
        if (text.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

bool StaysInTree(const toml::node& node) {
    if (const toml::table* t = node.as_table()) {
        for (const auto& [key, value] : *t)
            if (!StaysInTree(value)) return false;
        return true;
    }
    if (const toml::array* a = node.as_array()) {
        for (const toml::node& value : *a)
            if (!StaysInTree(value)) return false;
        return true;
    }
    if (const auto* s = node.as_string()) return StaysInTree(s->get());
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    MakeTree();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // The screen reads the text as the reader does (toml++ only ever sees the parser's text);
    // where that fails, the reader fails the same way, and that is still worth running.
    std::string safe, problem;
    size_t line = 0;
    if (cs::TomlParserText(text, safe, line, problem)) {
        try {
            toml::table root = toml::parse(safe);
            if (!StaysInTree(root)) return 0;
        } catch (const toml::parse_error&) {
        }
    }

    cs::Project project;
    std::string error;
    bool read = cs::LoadProjectText(text, (gTree / "project.toml").string(), project, error);
    if (read != error.empty()) abort(); // a failure always says why, a success never complains
    if (!read) return 0;

    std::string bytes;
    if (!cs::WriteDefinition(project.definition, project.payloadFlags, bytes, error)) return 0;
    cs::DefinitionEnvironment env;
    env.windowsFolder = u"C:\\Windows";
    env.programFiles32 = u"C:\\PF32";
    env.programFiles64 = u"C:\\PF64";
    cs::DefinitionState state;
    state.payloadFlags = project.payloadFlags;
    if (cs::ReadDefinition(bytes.data(), bytes.size(), env, state) != 0) abort();
    return 0;
}
