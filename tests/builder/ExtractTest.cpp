// `inspect --extract`: where each record's file goes, and the command over the example
// project: the source files come back byte for byte; a damaged installer and unsafe or
// occupied folders are refused and leave nothing behind. The example's build also shows
// `build` quiet off a terminal and the same bytes for every --threads.
#include "builder/Extract.h"
#include "builder/Inspect.h"
#include "builder/Project.h"
#include "core/Text.h"

#include "payload/FakePe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

using namespace cs;

TEST(Extract, PathUnderTheBaseFolder) {
    struct Case {
        int32_t kind;
        uint32_t flags;
        const char16_t* name;
        const char16_t* destination;
        const char* path; // nullptr: refused
        const char* problem;
    } cases[] = {
        {0, 0, u"hello.bat", u"", "InstallDir/hello.bat", nullptr},
        {0, 0, u"docs\\faq.txt", u"", "InstallDir/docs/faq.txt", nullptr},
        {0, 0, u"src\\faq.txt", u"docs\\", "InstallDir/docs/faq.txt",
         nullptr}, // a folder: the name's file name
        {0, 0, u"a.txt", u"notes\\b.txt", "InstallDir/notes/b.txt", nullptr}, // a new name
        {1, 0, u"shared.dll", u"", "SharedDir/shared.dll", nullptr},
        {4, 0, u"font.ttf", u"", "FontDir/font.ttf", nullptr},
        {7, 0, u"server.dll", u"", "SystemDir/server.dll", nullptr},
        {9, 0, u"app.exe", u"", "InstallDir/app.exe", nullptr},
        {0, 0x40, u"data.ini", u"", "UninstallDir/data.ini", nullptr},
        {0, 0, u"x.cfg", u"%AppDataDir%\\Corp\\x.cfg", "AppDataDir/Corp/x.cfg", nullptr},
        {0, 0, u"x.cfg", u"%AppDataDir%\\", "AppDataDir/x.cfg", nullptr},
        {0, 0, u"x.cfg", u"sub\\%ProductName%\\", "InstallDir/sub/%ProductName%/x.cfg", nullptr},
        {0, 0, u"a.txt", u".\\a\\.\\b.txt", nullptr, "leaves its folder"}, // "." parts are refused too
        {0, 0, u"a.txt", u"..\\a.txt", nullptr, "leaves its folder"},
        {0, 0, u"a.txt", u"docs\\..\\..\\a.txt", nullptr, "leaves its folder"},
        {0, 0, u"..\\a.txt", u"", nullptr, "leaves its folder"},
        {0, 0, u"a.txt", u"%AppDataDir%\\..\\a.txt", nullptr, "leaves its folder"},
        {0, 0, u"a.txt", u"C:\\Windows\\a.txt", nullptr, "absolute path"},
        {0, 0, u"a.txt", u"\\\\server\\share\\a.txt", nullptr, "absolute path"},
        {0, 0, u"a.txt", u"/etc/a.txt", nullptr, "absolute path"},
        // The base folder's name becomes a folder of the output: it must be a sound name.
        {0, 0, u"x", u"%..%\\x", nullptr, "not a sound name"},
        {0, 0, u"x", u"%C:%\\pwned.txt", nullptr, "not a sound name"},
        {0, 0, u"x", u"%/tmp%\\x", nullptr, "not a sound name"},
        {0, 0, u"x", u"%%\\x", nullptr, "not a sound name"},
        {0, 0, u"x", u"\\\\?\\C:\\pwned.txt", nullptr, "device path"},
        {0, 0, u"x", u"C:pwned.txt", nullptr, "does not allow"},
        {0, 0, u"nul.txt", u"", nullptr, "device"},
        {0, 0, u"a<b", u"", nullptr, "does not allow"},
    };
    for (const Case& c : cases) {
        FileRecord record;
        record.kind = c.kind;
        record.flags = c.flags;
        record.name = String(c.name);
        record.destination = String(c.destination);
        std::string path, error;
        bool ok = ExtractedPath(record, path, error);
        std::string what =
            ToUtf8(record.name).c_str() + std::string(" -> ") + ToUtf8(record.destination).c_str();
        if (c.path) {
            EXPECT_TRUE(ok) << what << ": " << error;
            EXPECT_EQ(path, c.path) << what;
        } else {
            EXPECT_FALSE(ok) << what << " gave " << path;
            EXPECT_NE(error.find(c.problem), std::string::npos) << what << ": " << error;
        }
    }
}

#if defined(CORVANTIS_BUILD_TOOL) && defined(CORVANTIS_SOURCE_DIR)
#include "builder/RunTool.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const void* data, size_t size) {
    std::ofstream(path, std::ios::binary)
        .write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The files under a folder, as paths relative to it.
std::set<std::string> FilesUnder(const fs::path& dir) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), dir).generic_string());
    return files;
}

} // namespace

TEST(ExtractCommand, TheExampleGivesItsSourceFilesBack) {
    fs::path dir = fs::temp_directory_path() / ("cs-extract-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Bytes stub = test::MakeFakeStub();
    WriteAll(dir / "stub.exe", stub.data(), stub.size());
    const fs::path example = fs::path(CORVANTIS_SOURCE_DIR) / "examples" / "hello";
    const std::string installer = (dir / "hello.exe").string();
    std::string out;
    ASSERT_EQ(RunTool("build " + (example / "hello.toml").string() + " -o " + installer + " --stub " +
                          (dir / "stub.exe").string(),
                      out),
              0)
        << out;
    // Not a terminal: no progress line, nothing printed.
    EXPECT_EQ(out, "");
    // On a terminal (script gives the command one), the progress line ends at 100 %.
    std::string build = std::string(CORVANTIS_BUILD_TOOL) + " build " + (example / "hello.toml").string() +
                        " -o " + (dir / "tty.exe").string() + " --stub " + (dir / "stub.exe").string();
    FILE* pipe = popen(("script -qec '" + build + "' /dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string shown;
    char buffer[1024];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        shown.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << shown;
    EXPECT_NE(shown.find("\r100% of "), std::string::npos) << shown;
    EXPECT_EQ(ReadAll(dir / "tty.exe"), ReadAll(installer));
    // The same installer from one thread and from three.
    for (const char* threads : {"1", "3"}) {
        std::string other = (dir / (std::string("hello-") + threads + ".exe")).string();
        ASSERT_EQ(RunTool("build " + (example / "hello.toml").string() + " -o " + other + " --stub " +
                              (dir / "stub.exe").string() + " --threads " + threads,
                          out),
                  0)
            << out;
        EXPECT_EQ(ReadAll(other), ReadAll(installer)) << threads << " threads";
    }

    // Into a new folder, and into an empty one that exists.
    for (const char* name : {"new", "empty"}) {
        fs::path target = dir / name;
        if (std::string(name) == "empty") fs::create_directories(target);
        ASSERT_EQ(RunTool("inspect --extract " + target.string() + " " + installer, out), 0) << out;
        EXPECT_FALSE(fs::exists(target.string() + ".extracting"));
        const std::set<std::string> expected = {
            "contents.json",           "InstallDir/hello.bat",
            "InstallDir/readme.txt",   "InstallDir/docs/changes.txt",
            "InstallDir/docs/faq.txt", "InstallDir/docs/getting-started.txt"};
        EXPECT_EQ(FilesUnder(target), expected) << name;
        for (const std::string& file : expected) {
            if (file == "contents.json") continue;
            std::string source = file.substr(std::string("InstallDir/").size());
            EXPECT_EQ(ReadAll(target / file), ReadAll(example / source)) << file;
        }
        std::string listing = ReadAll(target / "contents.json");
        EXPECT_NE(listing.find("\"path\": \"InstallDir/docs/faq.txt\""), std::string::npos) << listing;
        EXPECT_NE(listing.find("\"kindName\": \"AppFile\""), std::string::npos) << listing;
    }

    // A folder that holds something is left alone.
    std::string before = ReadAll(dir / "new" / "contents.json");
    EXPECT_EQ(RunTool("inspect --extract " + (dir / "new").string() + " " + installer, out), 1);
    EXPECT_NE(out.find("not an empty folder"), std::string::npos) << out;
    EXPECT_EQ(ReadAll(dir / "new" / "contents.json"), before);

    // A byte of the file data changed: the corrupt-installer verdict, exit code 2, no folder.
    std::string file = ReadAll(installer);
    InspectReport report =
        InspectInstaller(ByteView(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
    ASSERT_EQ(report.verdict, 0) << report.json;
    file[report.info.section.rawOffset + report.info.dataStreamOffset + 20] ^= 0x10;
    WriteAll(dir / "damaged.exe", file.data(), file.size());
    fs::path damaged = dir / "from-damaged";
    EXPECT_EQ(RunTool("inspect --extract " + damaged.string() + " " + (dir / "damaged.exe").string(), out),
              2);
    EXPECT_NE(out.find("corrupt (error code 55)"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(damaged));
    EXPECT_FALSE(fs::exists(damaged.string() + ".extracting"));
    fs::remove_all(dir);
}

// Installers made past the builder's checks: a destination whose base is "%..%" or "%C:%"
// (or that climbs with "..") is refused whole, and nothing is written beside the output
// folder or anywhere else.
TEST(ExtractCommand, HostileBasesStayInsideTheOutputFolder) {
    fs::path dir = fs::temp_directory_path() / ("cs-extract-hostile-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "work");
    Bytes stub = test::MakeFakeStub();
    WriteAll(dir / "good.txt", "good", 4);
    WriteAll(dir / "pwned.txt", "pwned", 5);
    Project project;
    std::string error;
    ASSERT_TRUE(LoadProjectText("[product]\nname = \"X\"\n[[file]]\nsource = \"good.txt\"\n[[file]]\n"
                                "source = \"pwned.txt\"\n",
                                (dir / "x.toml").string(), project, error))
        << error;
    for (const char16_t* destination :
         {u"%..%\\pwned.txt", u"%C:%\\pwned.txt", u"%..%\\..\\pwned.txt", u"..\\..\\pwned.txt",
          u"%/tmp%\\pwned.txt", u"\\\\?\\C:\\pwned.txt"}) {
        std::string what = ToUtf8(String(destination)).c_str();
        SCOPED_TRACE(what);
        project.files[1].destination = destination;
        Bytes installer;
        ASSERT_TRUE(BuildInstaller(project, stub, installer, error)) << error;
        WriteAll(dir / "work" / "setup.exe", installer.data(), installer.size());
        std::string out;
        EXPECT_EQ(RunTool("inspect --extract " + (dir / "work" / "out").string() + " " +
                              (dir / "work" / "setup.exe").string(),
                          out),
                  1)
            << out;
        EXPECT_NE(out.find(what), std::string::npos) << out;
        std::set<std::string> left;
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            left.insert(fs::relative(entry.path(), dir).generic_string());
        EXPECT_EQ(left, (std::set<std::string>{"good.txt", "pwned.txt", "work", "work/setup.exe"}));
    }
    fs::remove_all(dir);
}

// The builder refuses a hostile name with its file, line and key, and leaves no installer.
TEST(BuildCommand, AHostileNameLeavesNoInstaller) {
    fs::path dir = fs::temp_directory_path() / ("cs-build-hostile-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Bytes stub = test::MakeFakeStub();
    WriteAll(dir / "stub.exe", stub.data(), stub.size());
    WriteAll(dir / "a.txt", "a", 1);
    std::string project = "[product]\nname = \"X\"\n[[file]]\nsource = \"a.txt\"\n"
                          "destination = '%InstallDir%\\..\\..\\escape.txt'\n";
    WriteAll(dir / "x.toml", project.data(), project.size());
    std::string out;
    EXPECT_EQ(RunTool("build " + (dir / "x.toml").string() + " -o " + (dir / "x.exe").string() + " --stub " +
                          (dir / "stub.exe").string(),
                      out),
              1)
        << out;
    EXPECT_NE(out.find((dir / "x.toml").string() +
                       ":5: file[0].destination: \"%InstallDir%\\..\\..\\escape.txt\" has a"),
              std::string::npos)
        << out;
    EXPECT_FALSE(fs::exists(dir / "x.exe"));
    fs::remove_all(dir);
}
#endif
