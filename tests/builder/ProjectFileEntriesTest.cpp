// [[file]] and [[folder]] entries: readable names of every setting down to the numbers of the
// file record, the date forms, a folder tree's include, exclude and recursive choices against
// the exact list of names in order, the order of entries, links, and errors with their line.
#include "builder/ProjectFixture.h"
#include "builder/SourceTree.h"
#include "core/Text.h"

#include <chrono>

namespace cs {
namespace {

using namespace std::chrono;

// A project with one entry: "[[table]]" on line 3, `keys` from line 4 on.
std::string OneEntry(const char* table, const std::string& keys) {
    return std::string("[product]\nname = \"X\"\n[[") + table + "]]\n" + keys + "\n";
}

std::vector<std::string> Names(const Project& project) {
    std::vector<std::string> names;
    for (const ProjectFile& f : project.files)
        names.push_back(ToUtf8(f.name).c_str());
    return names;
}

class FileEntries : public ProjectFiles {
  protected:
    void SetUp() override {
        ProjectFiles::SetUp();
        // Made out of order: the listing must not depend on the order of creation.
        for (const char* name :
             {"docs/z.TXT", "docs/notes/b.txt", "docs/\xC3\xA9.txt", "docs/img/old/logo.bak",
              "docs/readme.txt", "docs/notes/A.txt", "docs/Guide.md", "docs/img/logo.png"})
            Put(name, name);
        fs::create_directories(dir_ / "docs" / "empty");
        fs::create_directories(dir_ / "empty" / "sub");
        Put("nested/deeper/f.txt", "only below");
    }
    void SetTime(const std::string& name, sys_seconds at) {
        fs::last_write_time(dir_ / name, file_clock::from_sys(at));
    }
    ProjectFile OnlyFile(const std::string& keys) {
        Project p = LoadOk(OneEntry("file", "source = \"app.exe\"\n" + keys));
        EXPECT_EQ(p.files.size(), 1u) << keys;
        return p.files.empty() ? ProjectFile() : p.files[0];
    }
};

TEST_F(FileEntries, FlagKeysGiveTheirBits) {
    struct Case {
        const char* keys;
        uint32_t flags;
    } cases[] = {
        {"", 0},
        {"overwrite = \"always\"", 0 << 2},
        {"overwrite = \"never\"", 1 << 2},
        {"overwrite = \"only-existing\"", 2 << 2},
        {"overwrite = \"only-missing\"", 3 << 2},
        {"overwrite = \"if-newer\"", 4 << 2},
        {"overwrite = \"like-never-5\"", 5 << 2},
        {"overwrite = \"like-always-6\"", 6 << 2},
        {"overwrite = \"like-always-7\"", 7 << 2},
        {"overwrite = 6", 6 << 2},
        {"desktop_shortcut = true\nstart_menu_shortcut = true", 0x3},
        {"keep = true", 0x20},
        {"keep = false", 0},
        {"into_uninstall_folder = true", 0x40},
        {"kind = \"msi\"\nremove_msi_at_uninstall = true", 0x80000000},
        {"overwrite = \"if-newer\"\nkeep = true\nstart_menu_shortcut = true", 4 << 2 | 0x20 | 0x2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OnlyFile(c.keys).flags, c.flags) << c.keys;
}

TEST_F(FileEntries, AttributesByNumberOrNames) {
    struct Case {
        const char* keys;
        int32_t attributes;
    } cases[] = {
        {"", -1},
        {"attributes = -1", -1},
        {"attributes = 0x21", 0x21},
        {"attributes = \"hidden\"", 0x2},
        {"attributes = [\"read-only\", \"hidden\"]", 0x3},
        {"attributes = [\"system\", \"archive\", \"temporary\", \"offline\"]", 0x1124},
        {"attributes = [\"hidden\", \"hidden\"]", 0x2},
        {"attributes = []", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OnlyFile(c.keys).attributes, c.attributes) << c.keys;
}

TEST_F(FileEntries, DateForms) {
    SetTime("app.exe", sys_days{2021y / 3 / 4} + 5h + 6min + 7s);
    struct Case {
        const char* keys;
        DateValue date;
    } cases[] = {
        {"", {2021, 3, 4, 5, 6, 7}}, // the source's time in UTC
        {"date = 2024-05-17", {2024, 5, 17, -1, 0, 0}},
        {"date = 2024-05-17T13:45:09", {2024, 5, 17, 13, 45, 9}},
        {"date = 2024-05-17T13:45:09Z", {2024, 5, 17, 13, 45, 9}},
        {"date = 2024-05-17T01:30:00+02:00", {2024, 5, 16, 23, 30, 0}},
        {"date = 2024-12-31T23:00:00-01:30", {2025, 1, 1, 0, 30, 0}},
        {"date = 2024-03-01T00:10:00+00:20", {2024, 2, 29, 23, 50, 0}},
        {"date = \"none\"", {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        DateValue d = OnlyFile(c.keys).date;
        EXPECT_EQ(d, c.date) << c.keys << ": " << d.year << "-" << d.month << "-" << d.day << " " << d.hour
                             << ":" << d.minute << ":" << d.second;
    }
}

TEST_F(FileEntries, ReadableKeysForTheRawTexts) {
    struct Case {
        const char* keys;
        const char16_t* title;
        const char16_t* extra;
    } cases[] = {
        {"kind = \"versioned\"\nversion = \"1.2.3.4\"", u"1.2.3.4", u""},
        {"kind = \"system\"\nversion = \"10\"", u"10", u""},
        {"kind = \"com-server\"\nversion = \"65535.0\"", u"65535.0", u""},
        {"kind = \"type-library\"\ntitle = \"2.0\"", u"2.0", u""},
        {"working_folder = \"%InstallDir%\\\\bin\"", u"", u"%InstallDir%\\bin"},
        {"kind = \"startup\"\nworking_folder = \"C:\\\\w\"", u"", u"C:\\w"},
        {"kind = \"control-panel\"\ntitle = \"Applet\"\nclass_id = "
         "\"{01234567-89ab-CDEF-0123-456789ABCDEF}\"",
         u"Applet", u"{01234567-89ab-CDEF-0123-456789ABCDEF}"},
        {"kind = \"font\"\ntitle = \"Face\"\nextra = \"raw\"", u"Face", u"raw"},
    };
    for (const Case& c : cases) {
        ProjectFile f = OnlyFile(c.keys);
        EXPECT_EQ(f.title, c.title) << c.keys;
        EXPECT_EQ(f.extra, c.extra) << c.keys;
    }
}

TEST_F(FileEntries, FolderTreeListsTheChosenFilesInByteOrder) {
    struct Case {
        const char* keys;
        std::vector<std::string> names;
    } cases[] = {
        {"",
         {"Guide.md", "img\\logo.png", "img\\old\\logo.bak", "notes\\A.txt", "notes\\b.txt", "readme.txt",
          "z.TXT", "\xC3\xA9.txt"}},
        {"recursive = false", {"Guide.md", "readme.txt", "z.TXT", "\xC3\xA9.txt"}},
        {"include = [\"*.txt\"]", {"readme.txt", "z.TXT", "\xC3\xA9.txt"}},
        {"include = [\"**/*.txt\"]", {"notes\\A.txt", "notes\\b.txt", "readme.txt", "z.TXT", "\xC3\xA9.txt"}},
        {"include = [\"**/*.TXT\"]\nexclude = [\"notes/**\"]", {"readme.txt", "z.TXT", "\xC3\xA9.txt"}},
        {"exclude = [\"**/old/**\", \"*.md\"]",
         {"img\\logo.png", "notes\\A.txt", "notes\\b.txt", "readme.txt", "z.TXT", "\xC3\xA9.txt"}},
        {"include = [\"NOTES\\\\?.txt\", \"img/*\"]", {"img\\logo.png", "notes\\A.txt", "notes\\b.txt"}},
        {"include = [\"\xC3\x89.TXT\"]", {"\xC3\xA9.txt"}},
        {"destination = \"help/en\"\ninclude = [\"notes/*\"]",
         {"help\\en\\notes\\A.txt", "help\\en\\notes\\b.txt"}},
        {"destination = \"./help\\\\\\\\en/\"\ninclude = [\"Guide.md\"]", {"help\\en\\Guide.md"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Names(LoadOk(OneEntry("folder", "source = \"docs\"\n" + std::string(c.keys)))), c.names)
            << c.keys;
}

TEST_F(FileEntries, FolderSettingsReachEveryFile) {
    SetTime("docs/notes/A.txt", sys_days{2019y / 1 / 2} + 3h);
    SetTime("docs/notes/b.txt", sys_days{2018y / 4 / 5} + 6h);
    for (bool dated : {true, false}) {
        Project p = LoadOk(
            OneEntry("folder", std::string("source = \"docs\"\ninclude = [\"notes/*\"]\n") +
                                   "kind = \"font\"\ntitle = \"Face\"\noverwrite = \"only-missing\"\n" +
                                   "keep = true\nattributes = [\"read-only\"]\n" +
                                   (dated ? "date = 2020-01-02\n" : "")));
        ASSERT_EQ(p.files.size(), 2u);
        const DateValue given{2020, 1, 2, -1, 0, 0}, own[] = {{2019, 1, 2, 3, 0, 0}, {2018, 4, 5, 6, 0, 0}};
        const char* sources[] = {"A.txt", "b.txt"};
        for (size_t i = 0; i < 2; ++i) {
            const ProjectFile& f = p.files[i];
            EXPECT_EQ(f.source, GenericUtf8(dir_ / "docs" / "notes" / sources[i]));
            EXPECT_EQ(f.kind, 4);
            EXPECT_EQ(f.title, u"Face");
            EXPECT_EQ(f.flags, 3u << 2 | 0x20);
            EXPECT_EQ(f.attributes, 0x1);
            EXPECT_EQ(f.date, dated ? given : own[i]) << sources[i];
            EXPECT_TRUE(f.destination.IsEmpty());
        }
    }
}

TEST_F(FileEntries, EntriesKeepTheirOrderInTheProject) {
    Project p = LoadOk("[product]\nname = \"X\"\n"
                       "[[file]]\nsource = \"app.exe\"\n"
                       "[[folder]]\nsource = \"docs\"\ninclude = [\"Guide.md\"]\n"
                       "[[file]]\nsource = \"readme.txt\"\n"
                       "[[folder]]\nsource = \"docs\"\ninclude = [\"z.txt\"]\ndestination = \"x\"\n");
    EXPECT_EQ(Names(p), (std::vector<std::string>{"app.exe", "Guide.md", "readme.txt", "x\\z.TXT"}));
}

TEST_F(FileEntries, ErrorsNameTheirLineAndKey) {
    struct Case {
        const char* table;
        const char* keys;
        const char* expected; // after "project.toml:"
    } cases[] = {
        {"folder", "recursive = true", "3: folder[0].source: missing: the folder to install"},
        {"folder", "source = \"nothere\"", "4: folder[0].source: no such folder"},
        {"folder", "source = \"app.exe\"", "4: folder[0].source: not a folder"},
        {"folder", "source = \"empty\"", "4: folder[0].source: the folder holds no files"},
        {"folder", "source = \"nested\"\nrecursive = false",
         "4: folder[0].source: no files directly in the folder"},
        {"folder", "source = \"docs\"\nrecursive = false\ninclude = [\"img/*\"]",
         "6: folder[0].include: \"img/*\" matches no file"},
        {"folder", "source = \"docs\"\ninclude = [\"*.md\", \"*.pdf\"]",
         "5: folder[0].include: \"*.pdf\" matches no file"},
        {"folder", "source = \"docs\"\nexclude = [\"**\"]", "5: folder[0].exclude: excludes every file"},
        {"folder", "source = \"docs\"\ninclude = []", "5: folder[0].include: an empty list picks no file"},
        {"folder", "source = \"docs\"\ninclude = [\"../*\"]", "5: folder[0].include: \"../*\" holds a"},
        {"folder", "source = \"docs\"\nexclude = [\"/x\"]", "5: folder[0].exclude: \"/x\" must be relative"},
        {"folder", "source = \"docs\"\ndestination = \"C:\\\\x\"",
         "5: folder[0].destination: must be a folder inside"},
        {"folder", "source = \"docs\"\ndestination = \"a/../..\"",
         "5: folder[0].destination: must stay inside"},
        {"folder", "source = \"docs\"\nname = \"x\"", "5: folder[0].name: unknown key"},
        {"folder", "source = \"docs\"\n[[folder]]\nsource = \"docs\"\ninclude = [\"*.pdf\"]",
         "7: folder[1].include: \"*.pdf\" matches no file"},
        {"file", "source = \"app.exe\"\nrecursive = true", "5: file[0].recursive: unknown key"},
        {"file", "source = \"docs\"", "4: file[0].source: no such file"},
        {"file", "source = \"app.exe\"\nattributes = [\"hidden\", \"hiden\"]",
         "5: file[0].attributes: unknown name \"hiden\"; expected a name or a list of names from "
         "\"read-only\""},
        {"file", "source = \"app.exe\"\nattributes = 1.5",
         "5: file[0].attributes: expected a name or a list"},
        {"file", "source = \"app.exe\"\nattributes = [\"hidden\", 2]",
         "5: file[0].attributes: expected a name or a list"},
        {"file", "source = \"app.exe\"\ndate = \"yesterday\"",
         "5: file[0].date: expected a date (2024-05-17), a date and time (2024-05-17T13:45:00) or \"none\""},
        {"file", "source = \"app.exe\"\ndate = 20240517", "5: file[0].date: expected a date"},
        {"file", "source = \"app.exe\"\noverwrite = \"sometimes\"",
         "5: file[0].overwrite: expected one of \"always\", \"never\", \"only-existing\", \"only-missing\", "
         "\"if-newer\", \"like-never-5\", \"like-always-6\", \"like-always-7\" or a number from 0 to 7"},
        {"file", "source = \"app.exe\"\noverwrite = 8", "5: file[0].overwrite: expected one of"},
        {"file", "source = \"app.exe\"\nversion = \"1.0\"", "5: file[0].version: only for \"system\""},
        {"file", "source = \"app.exe\"\nkind = \"versioned\"\ntitle = \"1.0\"\nversion = \"1.0\"",
         "7: file[0].version: give version or title, not both"},
        {"file", "source = \"app.exe\"\nkind = \"versioned\"\nversion = \"1.2.3.4.5\"",
         "6: file[0].version: expected one to four numbers"},
        {"file", "source = \"app.exe\"\nkind = \"versioned\"\nversion = \"1.x\"",
         "6: file[0].version: expected"},
        {"file", "source = \"app.exe\"\nkind = \"versioned\"\nversion = \"1.65536\"",
         "6: file[0].version: expected"},
        {"file", "source = \"app.exe\"\nkind = \"versioned\"\nversion = \"1..2\"",
         "6: file[0].version: expected"},
        {"file", "source = \"app.exe\"\nkind = \"control-panel\"\nclass_id = \"{1234}\"",
         "6: file[0].class_id: expected a class identifier"},
        {"file", "source = \"app.exe\"\nkind = \"font\"\nworking_folder = \"x\"",
         "6: file[0].working_folder: only for \"app\" and \"startup\""},
        {"file", "source = \"app.exe\"\nworking_folder = \"x\"\nextra = \"y\"",
         "5: file[0].working_folder: give working_folder or extra, not both"},
    };
    for (const Case& c : cases)
        ExpectError(OneEntry(c.table, c.keys), c.expected);
}

#ifndef _WIN32 // names that differ in case alone cannot both exist on Windows

TEST_F(FileEntries, NamesThatWindowsTakesForOneAreRefused) {
    Put("cased/READ.ME", "1");
    Put("cased/Read.me", "2");
    ExpectError(OneEntry("folder", "source = \"cased\""),
                "4: folder[0].source: \"READ.ME\" and \"Read.me\" are one name on Windows");
}

#endif

// Every name or destination that would leave its folder, open a device or that Windows
// cannot hold is refused at its own line and key, before anything is built.
TEST_F(FileEntries, NamesAndDestinationsThatLeaveTheirFolderAreRefused) {
    struct Case {
        const char* keys;     // after source = "app.exe" on line 4
        const char* expected; // after "project.toml:"
    } cases[] = {
        {"name = '..\\..\\x'", "5: file[0].name: \"..\\..\\x\" has a \".\" or \"..\" part"},
        {"name = '../x'", "5: file[0].name: \"../x\" has a \".\" or \"..\" part"},
        {"name = 'sub\\.\\x'", "5: file[0].name: \"sub\\.\\x\" has a"},
        {"name = '\\x'", "5: file[0].name: \"\\x\" is an absolute path"},
        {"name = 'C:\\x'", "5: file[0].name: \"C:\\x\" holds a character Windows does not allow"},
        {"name = 'a\\\\b'", "5: file[0].name: \"a\\\\b\" has an empty part"},
        {"name = 'x.'", "5: file[0].name: \"x.\" has a part that ends with a dot or a blank"},
        {"name = 'x '", "5: file[0].name: \"x \" has a part that ends with a dot or a blank"},
        {"destination = '..\\escape.txt'", "5: file[0].destination: \"..\\escape.txt\" has a"},
        {"destination = '%InstallDir%\\..\\x'", "5: file[0].destination: \"%InstallDir%\\..\\x\" has a"},
        {"destination = '%InstallDir%\\..\\..\\..\\escape.txt'", "5: file[0].destination: \"%Ins"},
        {"destination = 'docs/../../x'", "5: file[0].destination: \"docs/../../x\" has a"},
        {"destination = '%SystemDir%\\..\\x.dll'",
         "5: file[0].destination: \"%SystemDir%\\..\\x.dll\" has a"},
        {"destination = '%..%\\x'", "5: file[0].destination: \"%..%\\x\" starts with a variable"},
        {"destination = '%C:%\\x'", "5: file[0].destination: \"%C:%\\x\" starts with a variable"},
        {"destination = '\\Windows\\x'", "5: file[0].destination: \"\\Windows\\x\" is an absolute path"},
        {"destination = 'C:x\\y'", "5: file[0].destination: \"C:x\\y\" names a drive without"},
        {"destination = '\\\\?\\C:\\x'", "5: file[0].destination: \"\\\\?\\C:\\x\" is a device path"},
        {"destination = '\\\\.\\C:\\x'", "5: file[0].destination: \"\\\\.\\C:\\x\" is a device path"},
        {"destination = '..'", "5: file[0].destination: \"..\" has a"},
    };
    for (const Case& c : cases)
        ExpectError(OneEntry("file", std::string("source = \"app.exe\"\n") + c.keys), c.expected);
}

TEST_F(FileEntries, DeviceNamesAndReservedCharactersAreRefused) {
    const char* devices[] = {"CON",      "nul", "NUL.txt", "nul .txt",   "Com1",   "COM9.log", "LPT1",
                             "lpt3.dat", "AUX", "PRN",     "aux.tar.gz", "CONIN$", "CONOUT$",  "COM\u00b9"};
    for (const char* device : devices)
        for (const char* key : {"name", "destination"}) {
            SCOPED_TRACE(std::string(key) + " " + device);
            ExpectError(
                OneEntry("file", "source = \"app.exe\"\n" + std::string(key) + " = 'bin\\" + device + "'"),
                std::string("5: file[0].") + key + ": \"bin\\" + device + "\" names a device");
        }
    for (char c : std::string("<>:\"|?*\x01\x1f")) {
        char toml[40];
        std::snprintf(toml, sizeof toml, "name = \"a\\u%04xb\"", unsigned(c));
        SCOPED_TRACE(toml);
        ExpectError(OneEntry("file", std::string("source = \"app.exe\"\n") + toml),
                    std::string("5: file[0].name: \"a") + c + "b\" holds a character Windows does not allow");
    }
    ExpectError(OneEntry("folder", "source = \"docs\"\ndestination = \"help/NUL\""),
                "5: folder[0].destination: \"NUL\" names a device");
}

// Names the builder takes are left alone: dots inside names, device-like longer names,
// variables as bases and full paths.
TEST_F(FileEntries, SoundNamesAndDestinationsStillBuild) {
    for (const char* keys :
         {"name = '.config'", "name = 'a..b.txt'", "name = 'CONSOLE.txt'", "name = 'com10'",
          "destination = '%SystemDir%\\'", "destination = '%AppDataDir%\\Corp\\x.cfg'",
          "destination = 'D:\\Tools\\'", "destination = 'bin\\'", "destination = 'new.exe'"}) {
        Project p = LoadOk(OneEntry("file", std::string("source = \"app.exe\"\n") + keys));
        EXPECT_EQ(p.files.size(), 1u) << keys;
    }
}

#ifndef _WIN32 // such names cannot be made on Windows

// A Linux source tree can hold a file whose name is a Windows path: "..\..\x" would be
// written two folders above the installation.
TEST_F(FileEntries, TreeFilesWhoseNamesAreWindowsPathsAreRefused) {
    struct Case {
        const char* file;
        const char* expected;
    } cases[] = {
        {"..\\..\\x", "4: folder[0].source: the file \"..\\..\\x\" has a \".\" or \"..\" part"},
        {"sub/..\\..\\x", "4: folder[0].source: the file \"sub/..\\..\\x\" has a"},
        {"C:\\escape.txt", "4: folder[0].source: the file \"C:\\escape.txt\" holds a character"},
        {"nul.txt", "4: folder[0].source: the file \"nul.txt\" names a device"},
        {"a?b", "4: folder[0].source: the file \"a?b\" holds a character"},
        {"trailing.", "4: folder[0].source: the file \"trailing.\" has a part that ends with a dot"},
        {"\\rooted", "4: folder[0].source: the file \"\\rooted\" is an absolute path"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        fs::remove_all(dir_ / "hostile");
        Put(std::string("hostile/ok.txt"), "fine");
        Put(std::string("hostile/") + c.file, "escape");
        ExpectError(OneEntry("folder", "source = \"hostile\""), c.expected);
    }
}

#endif

// Two entries whose files land on one place on Windows: the second would replace the first.
TEST_F(FileEntries, CaseTwinsAcrossEntriesAreRefused) {
    Put("other/APP.EXE", "second");
    struct Case {
        const char* entries; // from line 3
        const char* expected;
    } cases[] = {
        {"[[file]]\nsource = \"app.exe\"\n[[file]]\nsource = \"other/APP.EXE\"\n",
         "5: file[1].name: \"InstallDir\\APP.EXE\" is the same file on Windows as \"InstallDir\\app.exe\""},
        {"[[file]]\nsource = \"app.exe\"\nname = \"bin\\\\A.exe\"\n[[file]]\nsource = \"readme.txt\"\n"
         "destination = \"BIN\\\\a.EXE\"\n",
         "6: file[1].destination: \"InstallDir\\BIN\\a.EXE\" is the same file on Windows as"},
        {"[[file]]\nsource = \"app.exe\"\n[[file]]\nsource = \"readme.txt\"\nname = \"app.exe\"\n",
         "5: file[1].name: \"InstallDir\\app.exe\" is the same file"},
        {"[[file]]\nsource = \"readme.txt\"\nname = \"docs\\\\README.TXT\"\n"
         "[[folder]]\nsource = \"docs\"\ndestination = \"Docs\"\n",
         "6: folder[0].source: \"InstallDir\\Docs\\readme.txt\" is the same file on Windows as"},
        {"[[file]]\nsource = \"app.exe\"\ndestination = \"%SystemDir%\\\\\"\n[[file]]\nsource = "
         "\"other/APP.EXE\"\ndestination = \"%systemdir%\\\\\"\n",
         "6: file[1].destination:"},
    };
    for (const Case& c : cases)
        ExpectError(std::string("[product]\nname = \"X\"\n") + c.entries, c.expected);
    // The same name in two different base folders is two files.
    Project p = LoadOk("[product]\nname = \"X\"\n[[file]]\nsource = \"app.exe\"\n[[file]]\nsource = "
                       "\"other/APP.EXE\"\ndestination = \"%SystemDir%\\\\\"\n");
    EXPECT_EQ(p.files.size(), 2u);
}

TEST_F(FileEntries, LinksToFilesAreFollowedLinksToFoldersAreNot) {
    Put("linked/real.txt", "real");
    std::error_code ec;
    fs::create_symlink("real.txt", dir_ / "linked" / "alias.txt", ec);
    if (!ec) fs::create_directory_symlink(".", dir_ / "linked" / "loop", ec);
    if (!ec) fs::create_directory_symlink("../docs", dir_ / "linked" / "docs", ec);
    if (ec) GTEST_SKIP() << "links cannot be made here: " << ec.message();
    Project p = LoadOk(OneEntry("folder", "source = \"linked\""));
    EXPECT_EQ(Names(p), (std::vector<std::string>{"alias.txt", "real.txt"}));

    fs::create_symlink("nothing", dir_ / "linked" / "dangling", ec);
    ExpectError(OneEntry("folder", "source = \"linked\""), "4: folder[0].source: broken link: ");
}

} // namespace
} // namespace cs
