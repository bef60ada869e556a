// The name rule every file record meets, in the builder, the engine and the extraction.
#include "payload/FileNames.h"

#include "core/Text.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

std::string Utf8(std::u16string_view text) {
    String8 bytes = ToUtf8(String(text));
    return std::string(bytes.c_str(), bytes.Length());
}

FileRecord Record(int32_t kind, const char16_t* name, const char16_t* destination = u"", uint32_t flags = 0) {
    FileRecord r;
    r.kind = kind;
    r.flags = flags;
    r.name = name;
    r.destination = destination;
    return r;
}

} // namespace

TEST(FileNames, RelativeNames) {
    struct Case {
        const char16_t* name;
        bool sound;
    } cases[] = {
        {u"a.txt", true},
        {u"docs\\guide\\start.txt", true},
        {u"docs/guide.txt", true},
        {u"b/0@+", true},   // the entry that hides file names
        {u".hidden", true}, // a leading dot is a name
        {u"a..b", true},
        {u"CONSOLE.txt", true}, // only the exact device names
        {u"COM10", true},
        {u"nul-not.txt", true},
        {u"\u00e9t\u00e9.txt", true},
        {u"", false},
        {u"..", false},
        {u".", false},
        {u"..\\..\\x", false},
        {u"../x", false},
        {u"a\\..\\..\\x", false},
        {u"a\\.\\x", false},
        {u"a\\\\x", false}, // an empty part
        {u"\\x", false},    // rooted
        {u"/x", false},
        {u"a\\", false}, // a folder, not a file
        {u"C:\\x", false},
        {u"C:x", false},
        {u"x:stream", false},
        {u"a<b", false},
        {u"a>b", false},
        {u"a\"b", false},
        {u"a|b", false},
        {u"a?b", false},
        {u"a*b", false},
        {u"a\tb", false},
        {u"a\x7f"
         u"b",
         false},
        {u"x.", false},
        {u"x ", false},
        {u"...", false},
        {u".. ", false},
        {u"CON", false},
        {u"con", false},
        {u"NUL.txt", false},
        {u"nul .txt", false},
        {u"aux.tar.gz", false},
        {u"PRN", false},
        {u"COM1", false},
        {u"com9.log", false},
        {u"LPT1", false},
        {u"lpt0", false},
        {u"COM\u00b9", false},
        {u"CONIN$", false},
        {u"conout$.x", false},
        {u"sub\\NUL\\x", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RelativeNameProblem(c.name) == nullptr, c.sound) << "\"" << Utf8(c.name) << "\"";
    EXPECT_EQ(RelativeNameProblem(u"bin\\", true), nullptr);
    EXPECT_EQ(RelativeNameProblem(u"", true), nullptr);
    EXPECT_NE(RelativeNameProblem(u"..\\", true), nullptr);
    EXPECT_NE(RelativeNameProblem(u"bin\\\\", true), nullptr);
    EXPECT_NE(RelativeNameProblem(u"\\", true), nullptr);   // "%X%\\": a rooted rest
    EXPECT_NE(RelativeNameProblem(u"bin/", true), nullptr); // the engine reads no folder in "/"
}

TEST(FileNames, Destinations) {
    using Base = DestinationParts::Base;
    struct Case {
        const char16_t* destination;
        bool sound;
        Base base;
        const char16_t* baseText;
        const char16_t* rest;
    } cases[] = {
        {u"new.exe", true, Base::None, u"", u"new.exe"},
        {u"docs\\", true, Base::None, u"", u"docs\\"},
        {u"docs\\x.txt", true, Base::None, u"", u"docs\\x.txt"},
        {u"%SystemDir%\\x.dll", true, Base::Variable, u"%SystemDir%", u"x.dll"},
        {u"%InstallDir%\\bin\\", true, Base::Variable, u"%InstallDir%", u"bin\\"},
        {u"%ProgramFiles(x86)%\\", true, Base::Variable, u"%ProgramFiles(x86)%", u""},
        {u"D:\\Other\\", true, Base::Drive, u"D:", u"Other\\"},
        {u"\\\\server\\share\\x", true, Base::Share, u"\\\\server\\share", u"x"},
        {u"%InstallDir%\\..\\x", false, Base::None, u"", u""},
        {u"%InstallDir%\\..\\..\\..\\escape.txt", false, Base::None, u"", u""},
        {u"..\\x", false, Base::None, u"", u""},
        {u"a\\../x", false, Base::None, u"", u""},
        {u"..", false, Base::None, u"", u""}, // a new name of ".."
        {u"NUL", false, Base::None, u"", u""},
        {u"%..%\\x", false, Base::None, u"", u""},
        {u"%C:%\\x", false, Base::None, u"", u""},
        {u"%CON%\\x", false, Base::None, u"", u""},
        {u"\\x", false, Base::None, u"", u""},
        {u"C:x\\y", false, Base::None, u"", u""},
        {u"C:\\..\\x", false, Base::None, u"", u""},
        {u"\\\\?\\C:\\x", false, Base::None, u"", u""},
        {u"\\\\.\\C:\\x", false, Base::None, u"", u""},
        {u"\\\\server", false, Base::None, u"", u""},
        {u"bin\\com1\\x", false, Base::None, u"", u""},
        {u"bin\\a|b", false, Base::None, u"", u""},
        // Found by fuzzing: a second "\\" after the base, a "/" taken for a folder's end.
        {u"%V%\\\\", false, Base::None, u"", u""},
        {u"D:\\Tools/", false, Base::None, u"", u""},
        // A server path written with "/": the engine would not take it for one.
        {u"//t8/%\\x", false, Base::None, u"", u""},
        {u"\\/server\\share\\x", false, Base::None, u"", u""},
        {u"\\\\server/share\\x", true, Base::Share, u"\\\\server/share", u"x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.destination));
        DestinationParts parts;
        const char* problem = nullptr;
        ASSERT_EQ(SplitDestination(c.destination, parts, problem), c.sound) << (problem ? problem : "");
        EXPECT_EQ(problem == nullptr, c.sound);
        if (!c.sound) continue;
        EXPECT_EQ(parts.base, c.base);
        EXPECT_EQ(parts.baseText, std::u16string_view(c.baseText));
        EXPECT_EQ(parts.rest, std::u16string_view(c.rest));
    }
}

TEST(FileNames, RecordsNameTheFieldThatIsRefused) {
    RecordNameProblem problem;
    EXPECT_TRUE(CheckRecordNames(Record(0, u"bin\\a.exe", u"%SystemDir%\\"), problem));
    EXPECT_FALSE(CheckRecordNames(Record(0, u"..\\..\\x"), problem));
    EXPECT_STREQ(problem.field, "name");
    EXPECT_FALSE(CheckRecordNames(Record(0, u"a.exe", u"%InstallDir%\\..\\a.exe"), problem));
    EXPECT_STREQ(problem.field, "destination");
}

TEST(FileNames, PlacedPathsFollowTheEngine) {
    struct Case {
        FileRecord record;
        const char16_t* path;
    } cases[] = {
        {Record(0, u"bin\\a.exe"), u"InstallDir/bin/a.exe"},
        {Record(0, u"bin\\a.exe", u"b.exe"), u"InstallDir/b.exe"},
        {Record(0, u"a.exe", u"tools\\"), u"InstallDir/tools/a.exe"},
        {Record(1, u"s.dll"), u"SharedDir/s.dll"},
        {Record(1, u"s.dll", u"lib\\"), u"SharedDir/lib/s.dll"},
        {Record(4, u"f.ttf"), u"FontDir/f.ttf"},
        {Record(6, u"x.dll", u"y.dll"), u"SystemDir/y.dll"},
        {Record(6, u"x.dll", u"sub\\"), u"InstallDir/sub/x.dll"}, // a path goes under the installation
        {Record(0, u"a.exe", u"", 0x40), u"UninstallDir/a.exe"},
        {Record(0, u"sub\\a.exe", u"%AppDataDir%\\Corp\\"), u"AppDataDir/Corp/a.exe"},
        {Record(0, u"a.exe", u"%DesktopDir%"),
         u"InstallDir/%DesktopDir%"}, // no "\\": a new name, not expanded
        {Record(0, u"a.exe", u"D:\\Other\\"), u"D:/Other/a.exe"},
    };
    for (const Case& c : cases) {
        String path;
        RecordNameProblem problem;
        ASSERT_TRUE(PlacedPath(c.record, u'/', path, problem)) << Utf8(c.path);
        EXPECT_EQ(path, String(c.path));
    }
    String path;
    RecordNameProblem problem;
    EXPECT_FALSE(PlacedPath(Record(0, u"x", u"%..%\\x"), u'/', path, problem));
    EXPECT_TRUE(path.IsEmpty());
}

TEST(FileNames, CaseTwinsShareOneKey) {
    EXPECT_EQ(PathCompareKey(u"InstallDir\\Read.me"), PathCompareKey(u"installdir/READ.ME"));
    EXPECT_EQ(PathCompareKey(u"\u00e9t\u00e9"), PathCompareKey(u"\u00c9T\u00c9"));
    EXPECT_NE(PathCompareKey(u"a.txt"), PathCompareKey(u"a.txt "));
}
