#include "builder/NewProject.h"

#include "builder/SourceTree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace cs {

namespace fs = std::filesystem;

namespace {

// A TOML basic string.
std::string TomlText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

} // namespace

std::vector<std::pair<std::string, std::string>> NewProjectFiles(const std::string& name) {
    const std::string product = TomlText(name);
    std::string project =
        "# The installer of " + name +
        ". Build it with:\n"
        "#   corvantis-build build project.toml -o setup.exe\n"
        "# Every key is described in the project file reference (docs/project-format.md); the\n"
        "# schema corvantis-build schema prints lets an editor complete and check them.\n"
        "\n"
        "[product]\n"
        "name = " +
        product +
        "\n"
        "version = \"1.0.0\"\n"
        "publisher = \"My Company\"\n"
        "\n"
        "[install]\n"
        "# Under the Program Files folder unless absolute.\n"
        "folder = " +
        product +
        "\n"
        "\n"
        "[wizard]\n"
        "licences = [\"licence.txt\"]\n"
        "\n"
        "[[file]]\n"
        "source = \"files/app.bat\"\n"
        "\n"
        "[[file]]\n"
        "source = \"files/readme.txt\"\n"
        "\n"
        "# Every text file of the notes folder, into \"notes\" inside the installation folder.\n"
        "[[folder]]\n"
        "source = \"notes\"\n"
        "destination = \"notes\"\n"
        "include = [\"*.txt\"]\n"
        "\n"
        "[[shortcut]]\n"
        "target = \"%InstallDir%\\\\app.bat\"\n"
        "name = " +
        product +
        "\n"
        "desktop = true\n";
    return {
        {"project.toml", project},
        {"files/app.bat", "@echo off\r\necho " + name + " is installed.\r\npause\r\n"},
        {"files/readme.txt", name + "\r\n\r\nThis file was installed by the new project's installer.\r\n"},
        {"notes/getting-started.txt", "Getting started\r\n\r\nRun the shortcut on the desktop.\r\n"},
        {"licence.txt", "Licence\r\n\r\nReplace this text with the licence of " + name + ".\r\n"},
    };
}

bool WriteNewProject(const std::string& folder, std::string& error) {
    fs::path target = PathFromUtf8(folder);
    std::error_code ec;
    if (fs::exists(target, ec) && !(fs::is_directory(target, ec) && fs::is_empty(target, ec))) {
        error = folder + " exists and is not an empty folder: give a new one";
        return false;
    }
    fs::path full = fs::absolute(target, ec).lexically_normal();
    if (!full.has_filename()) full = full.parent_path(); // "DIR/"
    std::u8string base = full.filename().u8string();
    std::string name = base.empty() ? "My Product" : std::string(base.begin(), base.end());
    for (const auto& [path, text] : NewProjectFiles(name)) {
        fs::path file = target / PathFromUtf8(path);
        fs::create_directories(file.parent_path(), ec);
        std::ofstream out(file, std::ios::binary);
        out << text;
        out.close();
        if (!out) {
            error = "cannot write " + file.string();
            return false;
        }
    }
    return true;
}

} // namespace cs
