// The files left for the uninstaller: the names and bytes of the saved readme and licence
// texts, and an icon file turned into the icon group a program's resources hold.
#include "actions/UninstallerFiles.h"

#include "core/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace cs;

namespace {

std::string U8(const String& s) {
    return std::string(ToUtf8(s).View());
}

const String8 kPlain("h\0i\0", 4); // "hi" as UTF-16LE
const String8 kRich("{\\rtf1 x}");
const String8 kMarkedRich("\xEF\xBB\xBF{\\rtf1 y}");

struct DocumentCase {
    const char* what;
    std::vector<String8> texts;
    std::vector<std::string> names;
};

} // namespace

TEST(SavedDocuments, NamesNumberOnlySeveralNonEmptyTextsAndRichTextIsRtf) {
    const DocumentCase cases[] = {
        {"none", {}, {}},
        {"one plain", {kPlain}, {"readme.txt"}},
        {"one rich", {kRich}, {"readme.rtf"}},
        {"rich after a UTF-8 mark", {kMarkedRich}, {"readme.rtf"}},
        {"two", {kPlain, kRich}, {"readme1.txt", "readme2.rtf"}},
        {"empty texts neither count nor number", {String8(), kPlain, String8()}, {"readme.txt"}},
        {"numbers among the non-empty", {kPlain, String8(), kPlain}, {"readme1.txt", "readme2.txt"}},
    };
    for (const DocumentCase& c : cases) {
        Array<String8> texts;
        for (const String8& t : c.texts)
            texts.Append(t);
        Array<SavedDocument> documents = SavedDocuments(texts, u"readme");
        std::vector<std::string> names;
        for (const SavedDocument& d : documents)
            names.push_back(U8(d.name));
        EXPECT_EQ(names, c.names) << c.what;
    }
}

TEST(SavedDocuments, PlainTextGetsTheUtf16MarkAndRichTextStaysAsItIs) {
    Array<String8> texts;
    texts.Append(kPlain);
    texts.Append(kMarkedRich);
    Array<SavedDocument> documents = SavedDocuments(texts, u"eula");
    ASSERT_EQ(documents.Count(), 2);
    EXPECT_EQ(U8(documents[0].name), "eula1.txt");
    EXPECT_EQ(std::string(documents[0].bytes.View()), std::string("\xFF\xFEh\0i\0", 6));
    EXPECT_EQ(U8(documents[1].name), "eula2.rtf");
    EXPECT_EQ(std::string(documents[1].bytes.View()), std::string(kMarkedRich.View()));
}

TEST(SavedDocuments, RichTextIsRecognisedOnlyAtTheStart) {
    EXPECT_TRUE(IsRichText(kRich));
    EXPECT_TRUE(IsRichText(kMarkedRich));
    EXPECT_FALSE(IsRichText(String8(" {\\rtf1}")));
    EXPECT_FALSE(IsRichText(String8("{\\rt")));
    EXPECT_FALSE(IsRichText(kPlain));
}

namespace {

void Put(std::string& out, uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        out += char(value >> (8 * i));
}

// An icon file with images of the given bytes: header, one 16-byte entry per image (width i+16,
// height i+16, 32 bits), the images after the entries.
std::string IconFile(const std::vector<std::string>& images, uint16_t type = 1) {
    std::string file;
    Put(file, 0, 2);
    Put(file, type, 2);
    Put(file, uint32_t(images.size()), 2);
    uint32_t offset = uint32_t(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file += char(16 + i);
        file += char(16 + i);
        file += '\0';
        file += '\0';
        Put(file, 1, 2);
        Put(file, 32, 2);
        Put(file, uint32_t(images[i].size()), 4);
        Put(file, offset, 4);
        offset += uint32_t(images[i].size());
    }
    for (const std::string& image : images)
        file += image;
    return file;
}

} // namespace

TEST(IconGroup, EntriesKeepTheirFieldsAndTakeResourceNumbersInFileOrder) {
    std::string file = IconFile({"first image", "second"});
    IconGroup group;
    ASSERT_TRUE(ReadIconGroup(String8(file), group));
    ASSERT_EQ(group.images.Count(), 2);
    EXPECT_EQ(std::string(group.images[0].View()), "first image");
    EXPECT_EQ(std::string(group.images[1].View()), "second");
    std::string expected = file.substr(0, 6);
    expected += file.substr(6, 12);
    Put(expected, 1, 2);
    expected += file.substr(22, 12);
    Put(expected, 2, 2);
    EXPECT_EQ(std::string(group.group.View()), expected);
}

TEST(IconGroup, BytesThatAreNoIconFileAreRefused) {
    std::string cut = IconFile({"abcdef"});
    cut.pop_back();
    std::string offsetOut = IconFile({"abc"});
    offsetOut[18] = char(0x7F); // the image's offset beyond the file
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"header only, no images", IconFile({})},
        {"cursor file", IconFile({"abc"}, 2)},
        {"entries cut", IconFile({"abc"}).substr(0, 12)},
        {"image cut", cut},
        {"image beyond the file", offsetOut},
        {"empty image", IconFile({""})},
    };
    for (const auto& c : cases) {
        IconGroup group;
        EXPECT_FALSE(ReadIconGroup(String8(c.bytes), group)) << c.what;
    }
}

TEST(UninstallerFileTexts, TempFileNotOverwrittenNamesTheUninstaller) {
    EXPECT_EQ(
        U8(TempFileNotOverwrittenText(u"C:\\A\\uninstall.exe", u"Access is denied.")),
        "Failed to register 'C:\\A\\uninstall.exe' for replacement because the temporary file could not "
        "be overwritten.\r\nAccess is denied.\r\n\r\n");
}
