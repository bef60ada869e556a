// What keeps builds reproducible: the cipher key from the inputs (pinned, so that every
// builder on every system derives the same one), SOURCE_DATE_EPOCH read strictly, and file
// dates clamped to it.
#include "builder/Reproducible.h"

#include "ProjectFixture.h"
#include "payload/FakePe.h"
#include "payload/PayloadHeader.h"

#include <gtest/gtest.h>

using namespace cs;

namespace {

TEST(CipherKeyFromSeed, IsPinned) {
    // SHA-256("seed") as the seed; the expected key computed independently of this code.
    Bytes text{'s', 'e', 'e', 'd'};
    CipherKey key = CipherKeyFromSeed(Sha256Of(text));
    EXPECT_EQ(HexText(key), "138626ee6f4f2171b117efed013ab228d4a016d5633c56e2cd9dce56fe1b7560e587f0cabcc3e884"
                            "03558e1b91ed224e9b222099ff644c0a");
}

TEST(PackInstaller, KeyWithoutOneGivenFollowsTheInputs) {
    auto pack = [](Bytes definition, Bytes stream) {
        PackInput input;
        input.stub = test::MakeFakeStub();
        input.flags = kFlagBlowfish;
        input.definition = std::move(definition);
        input.dataStream = std::move(stream);
        PackResult packed;
        std::string error;
        EXPECT_TRUE(PackInstaller(input, packed, error)) << error;
        return packed;
    };
    PackResult a = pack({1, 2, 3}, {9, 9}), again = pack({1, 2, 3}, {9, 9});
    EXPECT_EQ(a.installer, again.installer);
    EXPECT_NE(a.header.cipherKey, pack({1, 2, 4}, {9, 9}).header.cipherKey);
    EXPECT_NE(a.header.cipherKey, pack({1, 2, 3}, {9, 8}).header.cipherKey);
}

TEST(SourceDateEpoch, OnlyWholeSecondsAreAccepted) {
    struct Case {
        const char* text;
        bool valid;
        std::optional<int64_t> epoch;
    } cases[] = {
        {nullptr, true, std::nullopt},
        {"", true, std::nullopt},
        {"0", true, 0},
        {"1700000000", true, 1700000000},
        {"253402300799", true, 253402300799},
        {"253402300800", false, {}},
        {"-1", false, {}},
        {"17e8", false, {}},
        {" 5", false, {}},
        {"5 ", false, {}},
        {"99999999999999999999", false, {}},
    };
    for (const Case& c : cases) {
        std::optional<int64_t> epoch = 42;
        EXPECT_EQ(ParseSourceDateEpoch(c.text, epoch), c.valid) << (c.text ? c.text : "(unset)");
        if (c.valid) {
            EXPECT_EQ(epoch, c.epoch) << c.text;
        }
    }
}

TEST(ClampedFileDate, LaterFilesTakeTheEpoch) {
    const int64_t epoch = 1700000000; // 2023-11-14 22:13:20 UTC
    DateValue atEpoch{2023, 11, 14, 22, 13, 20};
    DateValue earlier{2001, 9, 9, 1, 46, 40}; // 1000000000
    EXPECT_EQ(ClampedFileDate(1000000000, epoch), earlier);
    EXPECT_EQ(ClampedFileDate(epoch, epoch), atEpoch);
    EXPECT_EQ(ClampedFileDate(epoch + 86400 * 400, epoch), atEpoch);
    EXPECT_EQ(ClampedFileDate(epoch + 5, std::nullopt), (DateValue{2023, 11, 14, 22, 13, 25}));
}

class ProjectKey : public ProjectFiles {};

TEST_F(ProjectKey, FollowsEveryFilesContentsAndWhereOneEnds) {
    const char* text = "[product]\nname = \"K\"\n[options]\nencrypt = true\n"
                       "[[file]]\nsource = \"a.bin\"\n[[file]]\nsource = \"b.bin\"\n";
    auto key = [&](const std::string& a, const std::string& b, Bytes definition = {1}) {
        Put("a.bin", a);
        Put("b.bin", b);
        Project project = LoadOk(text);
        CipherKey k;
        std::string error;
        EXPECT_TRUE(ProjectCipherKey(project, definition, k, error)) << error;
        return k;
    };
    CipherKey base = key("abc", "def");
    EXPECT_EQ(base, key("abc", "def"));
    EXPECT_NE(base, key("abd", "def"));
    EXPECT_NE(base, key("abcd", "ef")); // the same bytes, split differently
    EXPECT_NE(base, key("abc", "def", {2}));
}

} // namespace
