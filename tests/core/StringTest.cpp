#include "core/String.h"
#include "core/Format.h"
#include "core/Text.h"
#include "core/TextPlatform.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(StringLayout, EmptyOwnsNoBufferAndReadsAsEmptyText) {
    String s;
    EXPECT_TRUE(s.IsNull());
    EXPECT_EQ(s.ByteLength(), 0u);
    EXPECT_EQ(s.AllocatedBytes(), 0u);
    ASSERT_NE(s.c_str(), nullptr);
    EXPECT_EQ(s.c_str()[0], 0);
    s = u"x";
    s.Erase(0, 1);
    EXPECT_TRUE(s.IsNull()) << "erasing everything releases the buffer";
}

TEST(StringLayout, ExactBufferHasTwoByteTerminator) {
    String s(u"abc");
    EXPECT_EQ(s.Length(), 3u);
    EXPECT_EQ(s.ByteLength(), 6u);
    EXPECT_EQ(s.AllocatedBytes(), 8u);
    EXPECT_EQ(s.c_str()[3], 0);
    String8 b("abc");
    EXPECT_EQ(b.ByteLength(), 3u);
    EXPECT_EQ(b.AllocatedBytes(), 5u);
    EXPECT_EQ(b.c_str()[3], 0);
    EXPECT_EQ(b.c_str()[4], 0);
}

TEST(StringEdit, AppendInsertEraseSub) {
    String s(u"world");
    s.Insert(0, String(u"hello "));
    s.Append(u'!');
    EXPECT_EQ(s, u"hello world!");
    s.Erase(5, 6);
    EXPECT_EQ(s, u"hello!");
    EXPECT_EQ(s.Sub(1, 3), u"ell");
    EXPECT_EQ(s.Sub(4), u"o!");
    EXPECT_TRUE(s.Sub(99).IsEmpty());
    s.Append(s.c_str() + 1, 2); // appending a part of itself
    EXPECT_EQ(s, u"hello!el");
    s.Assign(s.c_str() + 6, 2); // assigning a part of itself
    EXPECT_EQ(s, u"el");
}

TEST(TextCompare, ExactIsUnsignedWithNullsFirst) {
    EXPECT_EQ(CompareExact(u"a", u"a"), 0);
    EXPECT_EQ(CompareExact(u"a", u"b"), -1);
    EXPECT_EQ(CompareExact(u"\xFFFF", u"a"), 1);
    EXPECT_EQ(CompareExact(u"ab", u"a"), 1);
    EXPECT_EQ(CompareExact(nullptr, u""), -1);
    EXPECT_EQ(CompareExact(u"", nullptr), 1);
    EXPECT_EQ(CompareExact(nullptr, nullptr), 0);
}

TEST(TextCompare, NoCase) {
    EXPECT_EQ(CompareNoCase(u"Program Files", u"PROGRAM FILES"), 0);
    EXPECT_EQ(CompareNoCase(u"\u00C9t\u00E9", u"\u00E9T\u00C9"), 0);
    EXPECT_LT(CompareNoCase(u"abc", u"ABD"), 0);
    EXPECT_GT(CompareNoCase(u"abcd", u"ABC"), 0);
    EXPECT_EQ(CompareNoCase(u"abcX", u"ABCy", 3), 0) << "count limits the comparison";
    EXPECT_EQ(CompareNoCase(u"x", u"y", 0), 0) << "a count of 0 compares equal";
    EXPECT_EQ(CompareNoCase(u"x", u"y", -5), 0);
    EXPECT_EQ(CompareNoCase(nullptr, u"a"), -1);
    EXPECT_EQ(CompareNoCase(nullptr, nullptr), 0);
}

TEST(TextCompare, IsOneOf) {
    const char16_t* list[] = {u"cmd.exe", u"Command.COM", nullptr};
    EXPECT_TRUE(IsOneOf(u"COMMAND.com", list));
    EXPECT_FALSE(IsOneOf(u"command", list));
    EXPECT_TRUE(IsOneOf(String(u"CMD.EXE"), {u"x", u"cmd.exe"}));
}

TEST(TextCase, Latin1Rule) {
    struct Case {
        char16_t in, lower, upper;
    } cases[] = {
        {u'A', u'a', u'A'}, {u'z', u'z', u'Z'},    {0xC0, 0xE0, 0xC0},  {0xDE, 0xFE, 0xDE},
        {0xD7, 0xD7, 0xD7}, {0xF7, 0xF7, 0xF7},    {0xFF, 0xFF, 0x178}, {0x178, 0xFF, 0x178},
        {0xDF, 0xDF, 0xDF}, {0x100, 0x100, 0x100}, {u'1', u'1', u'1'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ToLowerChar(c.in), c.lower) << std::hex << int(c.in);
        EXPECT_EQ(ToUpperChar(c.in), c.upper) << std::hex << int(c.in);
    }
    String s(u"Ab\u00D7\u00FF");
    EXPECT_EQ(ToUpper(s), 2);
    EXPECT_EQ(s, u"AB\u00D7\u0178");
    EXPECT_EQ(ToLower(s), 3);
    EXPECT_EQ(s, u"ab\u00D7\u00FF");
}

TEST(TextFind, ExactAndNoCase) {
    String text(u"C:\\Program Files\\Corvantis");
    EXPECT_EQ(Find(text, u"Files"), 11u);
    EXPECT_EQ(Find(text, u"files"), String::npos);
    EXPECT_EQ(FindNoCase(text, u"FILES"), 11u);
    EXPECT_EQ(Find(text, String()), String::npos) << "an empty sub-text finds nothing";
    EXPECT_EQ(Find(String(), u"a"), String::npos);
    EXPECT_EQ(FindNoCase(text, u"corvantisX"), String::npos);
}

TEST(TextTrim, SidesAndCounts) {
    String s(u" \t\r\ninner text \r\n");
    String copy = s;
    EXPECT_EQ(Trim(copy, TrimSide::Start), 4);
    EXPECT_EQ(copy, u"inner text \r\n");
    EXPECT_EQ(Trim(copy, TrimSide::End), 3);
    EXPECT_EQ(copy, u"inner text");
    EXPECT_EQ(Trim(s), 7);
    EXPECT_EQ(s, u"inner text");
    String blank(u" \t ");
    Trim(blank);
    EXPECT_TRUE(blank.IsEmpty());
}

TEST(TextTrim, Unquote) {
    struct Case {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"  \"a b\"  ", u"a b"}, {u"\"a b", u"\"a b"}, {u"\" padded \"", u"padded"},
        {u"\"", u"\""},           {u"\"\"", u""},
    };
    for (const Case& c : cases) {
        String s(c.in);
        Unquote(s);
        EXPECT_EQ(s, c.out);
    }
}

TEST(TextTrim, IsBlank) {
    EXPECT_TRUE(IsBlank(String()));
    EXPECT_TRUE(IsBlank(String(u" \r\n\t")));
    EXPECT_FALSE(IsBlank(String(u" x ")));
    EXPECT_TRUE(IsBlank(String8("\t\n")));
}

TEST(TextFormat, PrintfConventions) {
    EXPECT_EQ(Format(u"%s=%d", String(u"a"), 42), u"a=42");
    EXPECT_EQ(Format(u"[%5s|%-5s]", u"ab", "cd"), u"[   ab|cd   ]");
    EXPECT_EQ(Format(u"%08X %x %u", 0xBEEFu, 255, 7u), u"0000BEEF ff 7");
    EXPECT_EQ(Format(u"%X", -1), u"FFFFFFFF") << "a negative int prints as its 32-bit pattern";
    EXPECT_EQ(Format(u"%.3s|%c|%%|%04d", u"abcdef", u'Z', -7), u"abc|Z|%|-007");
    EXPECT_EQ(Format(u"%.2f", 1.5), u"1.50");
    EXPECT_EQ(Format(u"%s and %s", u"one"), u"one and %s") << "a missing argument keeps its conversion";
    String8 narrow("\xE9");
    EXPECT_EQ(Format(u"%s", narrow), u"\u00E9") << "8-bit text is read as Latin-1";
}

TEST(TextFormat, LimitCutsTheText) {
    FormatArg arg(u"abcdef");
    EXPECT_EQ(FormatArgs(u"%s!", &arg, 1, 4), u"abcd");
}

struct ConversionCase {
    const char* bytes;
    int codePage;
    const char16_t* text;
};

TEST(TextConvert, ToWideTable) {
    ConversionCase cases[] = {
        {"caf\xE9 \x80", kCodePage1252, u"caf\u00E9 \u20AC"},
        {"caf\xE9", 20127, u"caf\u00E9"},
        {"caf\xC3\xA9 \xE2\x82\xAC", kCodePageUtf8, u"caf\u00E9 \u20AC"},
        {"a\0b\0", kCodePageUtf16LE, u"ab"},
        {"\0a\0b", kCodePageUtf16BE, u"ab"},
    };
    for (const ConversionCase& c : cases) {
        size_t n =
            c.codePage == kCodePageUtf16LE || c.codePage == kCodePageUtf16BE ? 4 : std::strlen(c.bytes);
        String out(u"junk");
        EXPECT_TRUE(ToWide(std::string_view(c.bytes, n), c.codePage, out));
        EXPECT_EQ(out, c.text) << "code page " << c.codePage;
    }
    String out(u"junk");
    EXPECT_TRUE(ToWide("", kCodePage1252, out));
    EXPECT_TRUE(out.IsEmpty());
}

// An overlong UTF-8 sequence never decodes to the character it spells (a line end, a slash,
// a quote): it becomes the replacement character.
TEST(TextConvert, OverlongUtf8IsRefused) {
    for (const char* bytes : {"a\xC0\x8A"
                              "b",
                              "a\xC0\xAF"
                              "b",
                              "a\xE0\x80\xA2"
                              "b",
                              "a\xF0\x80\x80\x8A"
                              "b"}) {
        String out;
        EXPECT_TRUE(ToWide(bytes, kCodePageUtf8, out));
        EXPECT_EQ(out[0], u'a');
        EXPECT_EQ(out.Last(), u'b');
        for (char16_t c : out.View())
            EXPECT_TRUE(c == u'a' || c == u'b' || c == 0xFFFD) << std::hex << int(c) << " from " << bytes;
    }
}

TEST(TextConvert, ToNarrowTable) {
    struct Case {
        const char16_t* text;
        int codePage;
        const char* bytes;
    } cases[] = {
        {u"caf\u00E9 \u20AC", kCodePage1252, "caf\xE9 \x80"},
        {u"\u4E2D!", kCodePage1252, "?!"},
        {u"caf\u00E9 \U0001F600", kCodePageUtf8, "caf\xC3\xA9 \xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        String8 out;
        EXPECT_TRUE(ToNarrow(c.text, c.codePage, out));
        EXPECT_EQ(out, c.bytes);
    }
    String8 be;
    EXPECT_TRUE(ToNarrow(u"ab", kCodePageUtf16BE, be));
    EXPECT_EQ(std::string(be.c_str(), be.Length()), std::string("\0a\0b", 4));
}

TEST(TextConvert, PortableRuleMatchesPlatform) {
    // In the Windows build this compares the portable codec with MultiByteToWideChar and
    // WideCharToMultiByte; natively both sides are the portable codec.
    std::string all1252;
    for (int b = 1; b < 256; ++b)
        all1252 += static_cast<char>(b);
    String platform, portable;
    ASSERT_TRUE(PlatformToWide(all1252, kCodePage1252, platform));
    ASSERT_TRUE(PortableToWide(all1252, kCodePage1252, portable));
    EXPECT_EQ(platform, portable);
    String8 back;
    ASSERT_TRUE(PlatformToNarrow(platform, kCodePage1252, back));
    EXPECT_EQ(std::string(back.c_str(), back.Length()), all1252);
    const char16_t* samples[] = {u"Stra\u00DFe", u"ABC", u"\u00C9cole", u"x\u00FFy"};
    for (const char16_t* a : samples)
        for (const char16_t* b : samples) {
            String la(a), lb(b);
            ToLower(la);
            int p = PlatformCompareNoCase(a, String::TextLength(a), lb.c_str(), lb.Length());
            int q = PortableCompareNoCase(a, String::TextLength(a), lb.c_str(), lb.Length());
            EXPECT_EQ(p == 0, q == 0) << ToUtf8(String(a)).c_str() << " vs " << ToUtf8(lb).c_str();
        }
}

TEST(TextConvert, PathForm) {
    EXPECT_EQ(ToPathForm(u"C:\\Apps\\Tool"), "C:\\Apps\\Tool");
    EXPECT_EQ(ToPathForm(u"C:\\Caf\u00E9"), "|C:\\Caf\xC3\xA9");
    EXPECT_EQ(FromPathForm("|C:\\Caf\xC3\xA9"), u"C:\\Caf\u00E9");
    EXPECT_EQ(FromPathForm("C:\\Apps"), u"C:\\Apps");
    EXPECT_EQ(ToPathForm(u"|pipe"), "||pipe");
    EXPECT_EQ(FromPathForm(ToPathForm(u"|pipe").View()), u"|pipe");
}
