// Dates of the deletion conditions: the accepted text forms, validity, file times, ordering.
#include "core/DateTime.h"

#include <gtest/gtest.h>

using namespace cs;

TEST(DateTime, ParsesDatesWithAndWithoutTime) {
    struct Case {
        const char* text;
        DateTime expected;
    } cases[] = {
        {"2024/05/17", DateTime(2024, 5, 17)},
        {"2024-5-7", DateTime(2024, 5, 7)},
        {"2024.12.31", DateTime(2024, 12, 31)},
        {"  2024/05/17 \r\n", DateTime(2024, 5, 17)},
        {"2024/05/17 13:45:09", DateTime(2024, 5, 17, 13, 45, 9)},
        {"2024/05/17T13:45", DateTime(2024, 5, 17, 13, 45, 0)},
        {"2024/02/29 23:59:59", DateTime(2024, 2, 29, 23, 59, 59)},
        // A time out of range, or one that cannot be read, leaves the date alone.
        {"2024/05/17 24:00:00", DateTime(2024, 5, 17)},
        {"2024/05/17 12:60", DateTime(2024, 5, 17)},
        {"2024/05/17 12:00:60", DateTime(2024, 5, 17)},
        {"2024/05/17 noon", DateTime(2024, 5, 17)},
    };
    for (const Case& c : cases) {
        DateTime parsed;
        ASSERT_EQ(DateTime::Parse(c.text, parsed), DateTime::kOk) << c.text;
        EXPECT_EQ(parsed.hasTime, c.expected.hasTime) << c.text;
        EXPECT_EQ(DateTime::Compare(parsed, c.expected, true), 0) << c.text;
    }
}

TEST(DateTime, RefusesWhatIsNoDate) {
    for (const char* text :
         {"", "2024", "2024/13/01", "2024/00/10", "2024/04/31", "2023/02/29", "1900/02/29", "2024/05/00",
          "2024/05-17", "17.05.2024x", "yesterday", "2024/05/17x", "-1/05/17"}) {
        DateTime parsed;
        EXPECT_EQ(DateTime::Parse(text, parsed), DateTime::kInvalidDate) << text;
    }
    DateTime leap;
    EXPECT_EQ(DateTime::Parse("2000/02/29", leap), DateTime::kOk);
}

TEST(DateTime, FromFileTime) {
    struct Case {
        uint64_t fileTime;
        DateTime expected;
    } cases[] = {
        {0, DateTime(1601, 1, 1, 0, 0, 0)},
        {116444736000000000ull, DateTime(1970, 1, 1, 0, 0, 0)},
        {125911584000000000ull, DateTime(2000, 1, 1, 0, 0, 0)},
        {125963423990000000ull, DateTime(2000, 2, 29, 23, 59, 59)},
        {133604271090000000ull, DateTime(2024, 5, 17, 13, 45, 9)},
        {133801631990000000ull, DateTime(2024, 12, 31, 23, 59, 59)},
    };
    for (const Case& c : cases) {
        DateTime d = DateTime::FromFileTime(c.fileTime);
        EXPECT_TRUE(d.hasTime);
        EXPECT_EQ(DateTime::Compare(d, c.expected, true), 0)
            << c.fileTime << " gave " << d.year << "/" << d.month << "/" << d.day << " " << d.hour << ":"
            << d.minute << ":" << d.second;
    }
}

TEST(DateTime, CompareWithAndWithoutTime) {
    DateTime morning(2024, 5, 17, 8, 0, 0), evening(2024, 5, 17, 20, 0, 0), nextDay(2024, 5, 18);
    EXPECT_EQ(DateTime::Compare(morning, evening, false), 0);
    EXPECT_LT(DateTime::Compare(morning, evening, true), 0);
    EXPECT_GT(DateTime::Compare(evening, morning, true), 0);
    EXPECT_LT(DateTime::Compare(evening, nextDay, false), 0);
    EXPECT_LT(DateTime::Compare(DateTime(2023, 12, 31), DateTime(2024, 1, 1), false), 0);
}
