// The rules of writing one file: the fall-back after the last attempt, the texts it leaves,
// the attributes and date an entry gives, the pacing of window messages and the version text.
#include "actions/FileWrite.h"

#include "support/TextPrint.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(FileWriteFallback, ByErrorExistenceAndOptions) {
    struct Case {
        uint32_t error;
        bool driveMissing, existedBefore;
        uint32_t optionWord1;
        WriteFallback expected;
    } cases[] = {
        {32, false, true, 0, WriteFallback::ReplaceAtRestart},                  // in use, was there
        {32, false, false, kOpt1ReplaceInUse, WriteFallback::ReplaceAtRestart}, // in use, option
        {5, false, false, kOpt1ReplaceInUse | kOpt1ClearAttributesOnRetry, WriteFallback::ReplaceAtRestart},
        {32, false, false, 0, WriteFallback::Fail},
        {32, false, false, kOpt1ClearAttributesOnRetry, WriteFallback::Fail},
        {123, false, true, kOpt1ReplaceInUse, WriteFallback::Fail}, // invalid name
        {112, false, true, kOpt1ReplaceInUse, WriteFallback::Fail}, // disk full
        {3, true, true, kOpt1ReplaceInUse, WriteFallback::DriveMissing},
        {3, true, false, 0, WriteFallback::DriveMissing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseWriteFallback(c.error, c.driveMissing, c.existedBefore, c.optionWord1), c.expected)
            << c.error << " " << c.driveMissing << " " << c.existedBefore << " " << c.optionWord1;
}

TEST(FileWriteFallback, DriveLetter) {
    struct Case {
        const char16_t* path;
        char16_t letter;
    } cases[] = {
        {u"C:\\Program Files\\x.dll", u'C'},
        {u"q:\\x", u'Q'},
        {u"z:", u'Z'},
        {u"\\\\server\\share\\x", 0},
        {u"\\x.dll", 0},
        {u"1:\\x", 0},
        {u"C", 0},
        {u"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriveLetterOf(c.path), c.letter) << ToUtf8(c.path).c_str();
}

TEST(FileWriteTexts, ExactWording) {
    String dest = u"C:\\App\\x.dll", temp = u"C:\\App\\KWT1A.tmp", system = u"Access is denied.";
    EXPECT_EQ(WriteFailureText(u"Error writing", dest, system),
              u"Error writing C:\\App\\x.dll\r\nAccess is denied.");
    EXPECT_EQ(DriveMissingText(u'Q'), u"Drive Q: is not present.\r\n");
    EXPECT_EQ(
        NoTempFileText(dest, system),
        u"Failed to register 'C:\\App\\x.dll' for replacement because no temporary file could be created.\r\n"
        u"Access is denied.\r\n\r\n");
    EXPECT_EQ(ReplacementRegisteredText(dest, temp),
              u"\"C:\\App\\x.dll\" was successfully registered for replacement.\r\n"
              u"Temporary file is \"C:\\App\\KWT1A.tmp\"\r\nReboot will be required.\r\n\r\n");
    EXPECT_EQ(
        ReplacementFailedText(dest, temp, system),
        u"Failed to register 'C:\\App\\x.dll' for replacement with temporary file 'C:\\App\\KWT1A.tmp'\r\n"
        u"Access is denied.\r\n\r\n");
}

TEST(FileWriteAttributes, MaskDecidesWhichComeFromTheEntry) {
    struct Case {
        uint32_t current, entry, expected;
    } cases[] = {
        {0x20, 0x03, 0x03},          // read-only and hidden set, archive cleared
        {0x80, 0x13, 0x83},          // the entry's folder bit is ignored, normal kept
        {0x2020, 0x1000, 0x3000},    // offline taken, not-indexed kept, archive cleared
        {0x127, 0, 0},               // every masked bit cleared
        {0x800, 0xFFFFFFFF, 0x1927}, // compressed kept, every masked bit set
    };
    for (const Case& c : cases)
        EXPECT_EQ(AttributesWanted(c.current, c.entry), c.expected)
            << std::hex << c.current << " " << c.entry;
}

TEST(FileWriteDates, StampAndFileTime) {
    DateValue timed{2024, 5, 17, 13, 45, 30};
    EXPECT_EQ(StampOf(timed), timed);
    DateValue untimed{2024, 5, 17, -1, 7, 9};
    EXPECT_EQ(StampOf(untimed), (DateValue{2024, 5, 17, 0, 0, 0}));

    struct Case {
        uint64_t fileTime;
        DateValue expected;
    } cases[] = {
        {0, {1601, 1, 1, 0, 0, 0}},
        {116444736000000000ull, {1970, 1, 1, 0, 0, 0}},
        {133604271300000000ull + 9999999, {2024, 5, 17, 13, 45, 30}}, // fractions of a second dropped
        {125962560000000000ull, {2000, 2, 29, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        DateValue d = DateValueOfFileTime(c.fileTime);
        EXPECT_EQ(d, c.expected) << c.fileTime << ": " << d.year << "/" << d.month << "/" << d.day << " "
                                 << d.hour << ":" << d.minute << ":" << d.second;
    }
}

TEST(FileWriteCopy, MessagesAfterFirstBlockThenEvery200Ms) {
    struct Step {
        uint32_t now;
        bool due;
    };
    const Step steps[] = {
        {1000, true},                       // the first block
        {1100, false},       {1200, false}, // exactly 200 ms is not more than 200
        {1201, true},        {1300, false}, {1402, true},
        {0xFFFFFFF0u, true}, {40, false},   {0xFFFFFFF0u + 201, true}, // the tick count wraps
    };
    MessagePacer pacer;
    for (const Step& s : steps)
        EXPECT_EQ(pacer.Due(s.now), s.due) << s.now;
}

TEST(FileWriteVersion, QueriesInOrder) {
    const uint16_t german[] = {0x0407, 0x04B0};
    const uint16_t english[] = {0x0409, 0x04E4};
    struct Case {
        const uint16_t* translation;
        std::initializer_list<const char16_t*> blocks;
    } cases[] = {
        {german, {u"040704B0", u"040904B0", u"040904E4"}},
        {english, {u"040904E4", u"040904B0"}}, // a common block is asked once
        {nullptr, {u"040904B0", u"040904E4"}},
    };
    for (const Case& c : cases) {
        Array<String> queries = FileVersionQueries(c.translation);
        ASSERT_EQ(queries.Count(), static_cast<int>(c.blocks.size()));
        int i = 0;
        for (const char16_t* block : c.blocks)
            EXPECT_EQ(queries[i++], String(u"\\StringFileInfo\\") + block + u"\\FileVersion");
    }
}

TEST(FileWriteVersion, Texts) {
    EXPECT_EQ(VersionText(u"1, 2, 3, 4"), "1. 2. 3. 4");
    EXPECT_EQ(VersionText(u"10,0,19041,1"), "10.0.19041.1");
    EXPECT_EQ(VersionText(u"2.5b"), "2.5b");
    EXPECT_EQ(VersionText(u""), "");
    EXPECT_EQ(FixedVersionText(0x00050006, 0x00070008), "5.6.7.8");
    EXPECT_EQ(FixedVersionText(0xFFFF0000, 0x0001FFFF), "65535.0.1.65535");
}
