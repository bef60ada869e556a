// Dates with an optional time of day: the text form the definition's deletion conditions
// carry ("2024/05/17" or "2024/05/17 13:45:00"), validity, and ordering.
#pragma once

#include <cstdint>
#include <string_view>

namespace cs {

class DateTime {
  public:
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    bool hasTime = false; // false: the time fields are 0 and a comparison uses the date alone

    DateTime() = default;
    DateTime(int y, int mo, int d) : year(y), month(mo), day(d) {}
    DateTime(int y, int mo, int d, int h, int mi, int s)
        : year(y), month(mo), day(d), hour(h), minute(mi), second(s), hasTime(true) {}

    // The date "Y/M/D" (also with "-" or "." between the numbers), optionally followed by a
    // blank or "T" and the time "H:M" or "H:M:S". Blanks around the text are ignored.
    // Returns kInvalidDate when the text is no date or the date does not exist (month 1 to
    // 12, day within the month, leap years counted); a time with hours above 23 or minutes
    // or seconds above 59, or an unreadable time, is dropped (the date alone stays valid).
    enum ParseResult { kOk, kInvalidDate };
    static ParseResult Parse(std::string_view text, DateTime& out);

    // 100-nanosecond intervals since 1601-01-01 (a Windows file time) to date and time.
    static DateTime FromFileTime(uint64_t fileTime);

    // Negative, 0 or positive. withTime false compares year, month and day only.
    static int Compare(const DateTime& a, const DateTime& b, bool withTime);
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month); // 0 for a month outside 1..12
bool IsValidDate(int year, int month, int day);

} // namespace cs
