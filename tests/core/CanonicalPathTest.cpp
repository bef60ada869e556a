#include "core/CanonicalPath.h"
#include "core/Text.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

std::string Narrow(const String& s) {
    return std::string(ToUtf8(s).View());
}

// Every spelling Windows accepts for one object comes to one text; what is no full path, or
// names a device or a stream, comes to nothing.
TEST(CanonicalPath, HostileSpellingsComeToOneForm) {
    struct Case {
        const char16_t* path;
        const char16_t* canonical;
    } cases[] = {
        {u"C:\\Users\\ann\\Documents", u"C:\\Users\\ann\\Documents"},
        {u"c:\\Users\\ann\\Documents\\", u"C:\\Users\\ann\\Documents"},
        {u"\\\\?\\C:\\Users\\ann\\Documents", u"C:\\Users\\ann\\Documents"},
        {u"\\\\.\\C:\\Users\\ann\\Documents", u"C:\\Users\\ann\\Documents"},
        {u"\\??\\C:\\Users\\ann\\Documents", u"C:\\Users\\ann\\Documents"},
        {u"//?/C:/Users/ann/Documents/", u"C:\\Users\\ann\\Documents"},
        {u"C:/Users//ann/./Documents", u"C:\\Users\\ann\\Documents"},
        {u"C:\\Users\\ann\\Desktop\\..\\Documents", u"C:\\Users\\ann\\Documents"},
        {u"C:\\Users\\ann\\Documents.", u"C:\\Users\\ann\\Documents"},
        {u"C:\\Users\\ann\\Documents . .", u"C:\\Users\\ann\\Documents"},
        {u"C:\\Users.\\ann \\Documents", u"C:\\Users\\ann\\Documents"},
        {u"\\\\?\\C:\\", u"C:\\"},
        {u"\\\\?\\C:", u"C:\\"},
        {u"\\\\.\\C:\\", u"C:\\"},
        {u"C:\\\\\\", u"C:\\"},
        {u"C:\\..\\..", u"C:\\"},
        {u"C:\\Windows\\..\\..\\Windows", u"C:\\Windows"},
        {u"\\\\?\\UNC\\server\\share\\dir", u"\\\\server\\share\\dir"},
        {u"\\\\.\\UNC\\server\\share", u"\\\\server\\share"},
        {u"\\\\server\\share\\..\\..\\other", u"\\\\server\\share\\other"},
        {u"\\\\server\\share\\", u"\\\\server\\share"},
        {u"C:\\App\\*.txt", u"C:\\App\\*.txt"},
        // Not full paths, devices, volumes, streams, nameless components.
        {u"", u""},
        {u"win.ini", u""},
        {u"..\\..\\x", u""},
        {u"\\Windows\\win.ini", u""},
        {u"C:", u""},
        {u"C:Windows", u""},
        {u"\\\\?\\Volume{12345678-1234-1234-1234-123456789012}\\", u""},
        {u"\\\\.\\PhysicalDrive0", u""},
        {u"\\\\.\\pipe\\x", u""},
        {u"\\\\?\\", u""},
        {u"\\\\server", u""},
        {u"\\\\\\server\\share", u""},
        {u"C:\\Users\\ann\\Documents::$INDEX_ALLOCATION", u""},
        {u"C:\\App\\file.txt:stream", u""},
        {u"C:\\App\\...\\x", u""},
        {u"C:\\App\\ \\x", u""},
        {u"C:\\App\\a\tb", u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Narrow(CanonicalPath(c.path)), Narrow(c.canonical)) << Narrow(c.path);
}

TEST(CanonicalPath, BelowSameAndRoot) {
    EXPECT_TRUE(IsPathBelow(u"C:\\Users\\ann\\Documents\\x", u"c:\\users\\ANN\\documents"));
    EXPECT_TRUE(IsPathBelow(u"C:\\x", u"C:\\"));
    EXPECT_FALSE(IsPathBelow(u"C:\\Users\\ann\\Documents", u"C:\\Users\\ann\\Documents"));
    EXPECT_FALSE(IsPathBelow(u"C:\\Users\\ann\\DocumentsOld", u"C:\\Users\\ann\\Documents"));
    EXPECT_FALSE(IsPathBelow(u"C:\\x", u""));
    EXPECT_TRUE(IsSamePath(u"C:\\Windows", u"c:\\WINDOWS"));
    EXPECT_FALSE(IsSamePath(u"", u""));
    EXPECT_TRUE(IsPathRoot(u"C:\\"));
    EXPECT_TRUE(IsPathRoot(u"\\\\server\\share"));
    EXPECT_FALSE(IsPathRoot(u"\\\\server\\share\\x"));
    EXPECT_FALSE(IsPathRoot(u"C:\\x"));
    EXPECT_TRUE(HasWildcard(u"C:\\a\\*.txt"));
    EXPECT_TRUE(HasWildcard(u"C:\\a\\?"));
    EXPECT_FALSE(HasWildcard(u"C:\\a\\b"));
}

} // namespace
