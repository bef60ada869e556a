// The "wininit.ini" rename list: where a restart replacement or deletion goes when the
// system has no delayed move.
#include "runtime/FileRemoval.h"

#include <gtest/gtest.h>

#include <string>

using namespace cs;

namespace {

std::string Text(const String8& s) {
    return std::string(s.c_str(), s.Length());
}

std::string Rename(const std::string& ini, const char* name, const char* path) {
    String8 out;
    EXPECT_TRUE(AddRenameEntry(String8(ini.data(), ini.size()), name, path, out));
    return Text(out);
}

} // namespace

TEST(RenameList, EntriesGoFirstAfterTheHeader) {
    EXPECT_EQ(Rename("", "NUL", "C:\\OLD~1.DLL"), "[rename]\r\nNUL=C:\\OLD~1.DLL");
    EXPECT_EQ(Rename("[boot]\r\nx=1", "NUL", "C:\\A"), "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\A");
    EXPECT_EQ(Rename("[boot]\r\n", "NUL", "C:\\A"), "[boot]\r\n[rename]\r\nNUL=C:\\A");

    std::string ini = "[boot]\r\n[Rename]\r\nNUL=C:\\OLDEST\r\n[other]\r\n";
    ini = Rename(ini, "NUL", "C:\\FIRST");
    ini = Rename(ini, "C:\\APP\\MAIN.DLL", "C:\\TEMP\\KWT1.TMP");
    EXPECT_EQ(
        ini,
        "[boot]\r\n[Rename]\r\nC:\\APP\\MAIN.DLL=C:\\TEMP\\KWT1.TMP\r\nNUL=C:\\FIRST\r\nNUL=C:\\OLDEST\r\n"
        "[other]\r\n");
    EXPECT_EQ(Rename("", " \t\r\nNUL", "C:\\A"), "[rename]\r\nNUL=C:\\A") << "leading blanks of the name";
}

TEST(RenameList, EmptyNameFails) {
    String8 out = "untouched";
    EXPECT_FALSE(AddRenameEntry("[rename]\r\n", "", "C:\\A", out));
    EXPECT_FALSE(AddRenameEntry("[rename]\r\n", " \t\r\n", "C:\\A", out));
}
