#include "core/TempFile.h"
#include "core/Format.h"
#include "core/Random.h"
#include "support/TextPrint.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace cs;

namespace {

std::u16string Key(const String& s) {
    return std::u16string(s.View());
}

// A file system in memory: creations are recorded, and a test decides which fail and how.
class FakeFiles : public TempFileSystem {
  public:
    std::set<std::u16string> folders = {u"C:\\Temp", u"D:\\Work"};
    std::set<std::u16string> files;
    std::set<std::u16string> unmakeable;         // folders MakeFolder cannot make
    std::map<std::u16string, uint32_t> failures; // path -> error code of its creation
    uint32_t failAllWith = 0;                    // every creation fails with this code (0: none)
    bool systemNameWorks = false;
    std::deque<uint16_t> numbers; // what Random16 returns next (then counts up)
    uint16_t nextNumber = 0x100;
    std::vector<std::u16string> attempts; // creations tried, in order
    int existsChecks = 0;

    bool MakeFolder(const String& path) override {
        if (unmakeable.count(Key(path))) return false;
        folders.insert(Key(path));
        return true;
    }
    bool SystemUniqueName(const String& folder, String& path) override {
        if (!systemNameWorks) return false;
        path = folder + u"\\KWT1.tmp";
        files.insert(Key(path));
        return true;
    }
    bool Exists(const String& path) override {
        ++existsChecks;
        return files.count(Key(path)) != 0;
    }
    bool FolderExists(const String& path) override { return folders.count(Key(path)) != 0; }
    bool CreateNewFile(const String& path, uint32_t& error) override {
        attempts.push_back(Key(path));
        auto it = failures.find(Key(path));
        if (it != failures.end() || failAllWith) {
            error = it != failures.end() ? it->second : failAllWith;
            return false;
        }
        if (files.count(Key(path))) {
            error = 80; // the file exists
            return false;
        }
        files.insert(Key(path));
        return true;
    }
    String TempFolder() override { return u"C:\\Temp"; }
    uint16_t Random16() override {
        if (!numbers.empty()) {
            uint16_t n = numbers.front();
            numbers.pop_front();
            return n;
        }
        return nextNumber++;
    }
};

std::u16string FolderOf(const std::u16string& path) {
    return path.substr(0, path.rfind(u'\\'));
}

} // namespace

TEST(TempFileName, WithExtensionUsesBlankPaddedHexNames) {
    FakeFiles fs;
    fs.numbers = {0x1A, 0xBEEF};
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u"log"), u"D:\\Work\\KWT  1A.log");
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work\\", u".dat"), u"D:\\Work\\KWTBEEF.dat")
        << "one dot is dropped";
    fs.numbers = {0x7};
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u"..x"), u"D:\\Work\\KWT   7..x");
}

TEST(TempFileName, WithExtensionSkipsNamesThatCannotBeCreated) {
    FakeFiles fs;
    fs.files.insert(u"D:\\Work\\KWT 100.log");
    fs.failures[u"D:\\Work\\KWT 101.log"] = 5;
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u"log"), u"D:\\Work\\KWT 102.log");
    EXPECT_EQ(fs.attempts.size(), 3u);
}

TEST(TempFileName, AttemptLimitAndFolderSwitches) {
    struct {
        bool cTempExists;
        const char16_t* lastFolder;
    } const cases[] = {{true, u"c:\\temp"}, {false, u"C:\\Temp"}};
    for (const auto& c : cases) {
        FakeFiles fs;
        fs.failAllWith = 5;
        if (c.cTempExists) fs.folders.insert(u"c:\\temp");
        EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u"bin"), u"");
        ASSERT_EQ(fs.attempts.size(), static_cast<size_t>(kTempFileMaxAttempts));
        EXPECT_EQ(FolderOf(fs.attempts[0]), u"D:\\Work");
        EXPECT_EQ(FolderOf(fs.attempts[199]), u"D:\\Work");
        EXPECT_EQ(FolderOf(fs.attempts[200]), u"C:\\Temp");
        EXPECT_EQ(FolderOf(fs.attempts[299]), u"C:\\Temp");
        EXPECT_EQ(FolderOf(fs.attempts[300]), c.lastFolder);
        EXPECT_EQ(FolderOf(fs.attempts[399]), c.lastFolder);
    }
}

TEST(TempFileName, WithoutExtensionTheSystemNameComesFirst) {
    FakeFiles fs;
    fs.systemNameWorks = true;
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u""), u"D:\\Work\\KWT1.tmp");
    EXPECT_TRUE(fs.attempts.empty());
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u"."), u"D:\\Work\\KWT1.tmp")
        << "a lone dot is no extension";
}

TEST(TempFileName, WithoutExtensionFallbackUsesZeroPaddedNamesAndSkipsExisting) {
    FakeFiles fs;
    fs.numbers = {0x1A, 0x1B};
    fs.files.insert(u"D:\\Work\\KWT001A.tmp");
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u""), u"D:\\Work\\KWT001B.tmp");
    ASSERT_EQ(fs.attempts.size(), 1u) << "an existing name is not even tried";
    EXPECT_EQ(fs.existsChecks, 2);
}

TEST(TempFileName, WithoutExtensionGivesUpOnARunOfError12) {
    struct {
        const char* label;
        uint32_t error;
        size_t attempts;
    } const cases[] = {
        {"error 12: more than 20 in a row", 12, 21},
        {"another error: all 400", 5, 400},
    };
    for (const auto& c : cases) {
        FakeFiles fs;
        fs.failAllWith = c.error;
        EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u""), u"") << c.label;
        EXPECT_EQ(fs.attempts.size(), c.attempts) << c.label;
    }
    // Twenty in a row, then another error, then twenty more: the run starts again; the
    // next creation succeeds.
    FakeFiles fs;
    for (int i = 0; i < 41; ++i)
        fs.failures[u"D:\\Work\\" + Key(Format(u"KWT%04X.tmp", 0x100 + i))] = i == 20 ? 5 : 12;
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Work", u""), u"D:\\Work\\KWT0129.tmp");
}

TEST(TempFileName, FolderThatCannotBeMadeGivesEmptyText) {
    FakeFiles fs;
    fs.unmakeable.insert(u"D:\\Locked\\Sub");
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Locked\\Sub", u"log"), u"");
    EXPECT_EQ(MakeTempFileNameWith(fs, u"D:\\Locked\\Sub", u""), u"");
    EXPECT_TRUE(fs.attempts.empty());
}

TEST(TempFileName, EmptyFolderMeansTheTemporaryFolder) {
    FakeFiles fs;
    fs.numbers = {0xABCD};
    EXPECT_EQ(MakeTempFileNameWith(fs, u"", u"ini"), u"C:\\Temp\\KWTABCD.ini");
}

TEST(CoreRandom, SixteenBitNumbersDoNotRepeatWithinAFullCycle) {
    uint32_t state = 12345;
    std::vector<bool> seen(65536, false);
    for (int i = 0; i < 65536; ++i) {
        uint16_t n = NextRandom16(state);
        ASSERT_FALSE(seen[n]) << "repeated after " << i << " numbers";
        seen[n] = true;
    }
    uint32_t a = 7, b = 7;
    EXPECT_EQ(NextRandom16(a), NextRandom16(b)) << "the same state gives the same number";
    EXPECT_EQ(a, b);
    EXPECT_NE(a, 7u) << "the state advances";
}

TEST(CoreRandom, ProcessGeneratorFollowsItsSeed) {
    SeedCoreRandom(99);
    uint32_t state = 99;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(CoreRandom16(), NextRandom16(state));
}

TEST(PrivateTempFolderName, EightLowercaseHexDigitsBetweenPrefixAndExtension) {
    EXPECT_EQ(PrivateTempFolderName(0xABCD, 0x0012), u"cs-abcd0012.tmp");
    EXPECT_EQ(PrivateTempFolderName(0, 0), u"cs-00000000.tmp");
    EXPECT_EQ(PrivateTempFolderName(0xFFFF, 0xFFFF), u"cs-ffffffff.tmp");
}

TEST(PrivateTempFolderName, RecognisedOnlyInItsOwnShape) {
    EXPECT_TRUE(IsPrivateTempFolderName(PrivateTempFolderName(0x1234, 0xBEEF)));
    EXPECT_TRUE(IsPrivateTempFolderName(u"CS-ABCD0012.TMP")) << "as the system may report it";
    for (const char16_t* other :
         {u"cs-abcd001.tmp", u"cs-abcd00123.tmp", u"cs-abcg0012.tmp", u"cs_abcd0012.tmp", u"cs-abcd0012.tmq",
          u"xs-abcd0012.tmp", u"cs-abcd0012tmp.", u""})
        EXPECT_FALSE(IsPrivateTempFolderName(other)) << ToUtf8(String(other)).c_str();
}
