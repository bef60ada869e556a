#include "core/DateTime.h"

namespace cs {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads one unsigned decimal number of 1 to 9 digits.
bool ReadNumber(std::string_view text, size_t& at, int& value) {
    size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 9)
        value = value * 10 + (text[at++] - '0');
    return at > start && !(at < text.size() && text[at] >= '0' && text[at] <= '9');
}

bool ReadTime(std::string_view text, size_t at, int& h, int& mi, int& s) {
    s = 0;
    if (!ReadNumber(text, at, h) || at >= text.size() || text[at] != ':') return false;
    ++at;
    if (!ReadNumber(text, at, mi)) return false;
    if (at < text.size() && text[at] == ':') {
        ++at;
        if (!ReadNumber(text, at, s)) return false;
    }
    return at == text.size();
}

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return day >= 1 && day <= DaysInMonth(year, month);
}

DateTime::ParseResult DateTime::Parse(std::string_view text, DateTime& out) {
    out = DateTime();
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    size_t at = 0;
    int y, mo, d;
    if (!ReadNumber(text, at, y) || at >= text.size()) return kInvalidDate;
    char separator = text[at];
    if (separator != '/' && separator != '-' && separator != '.') return kInvalidDate;
    ++at;
    if (!ReadNumber(text, at, mo) || at >= text.size() || text[at] != separator) return kInvalidDate;
    ++at;
    if (!ReadNumber(text, at, d)) return kInvalidDate;
    if (at < text.size() && !IsBlank(text[at]) && text[at] != 'T') return kInvalidDate;
    if (!IsValidDate(y, mo, d)) return kInvalidDate;
    out = DateTime(y, mo, d);
    if (at < text.size()) {
        ++at;
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        int h, mi, s;
        if (ReadTime(text, at, h, mi, s) && h <= 23 && mi <= 59 && s <= 59)
            out = DateTime(y, mo, d, h, mi, s);
    }
    return kOk;
}

DateTime DateTime::FromFileTime(uint64_t fileTime) {
    uint64_t seconds = fileTime / 10000000u;
    int64_t days = static_cast<int64_t>(seconds / 86400u);
    int secondOfDay = static_cast<int>(seconds % 86400u);
    // Days since 1601-01-01 to a civil date (proleptic Gregorian calendar); 1601 starts a
    // 400-year cycle, so the cycle arithmetic needs no offset.
    int64_t cycles = days / 146097;
    int64_t rest = days % 146097;
    int64_t centuries = rest / 36524;
    if (centuries == 4) centuries = 3;
    rest -= centuries * 36524;
    int64_t quads = rest / 1461;
    rest -= quads * 1461;
    int64_t years = rest / 365;
    if (years == 4) years = 3;
    rest -= years * 365;
    int year = static_cast<int>(1601 + cycles * 400 + centuries * 100 + quads * 4 + years);
    int month = 1;
    while (rest >= DaysInMonth(year, month))
        rest -= DaysInMonth(year, month++);
    return DateTime(year, month, static_cast<int>(rest) + 1, secondOfDay / 3600, secondOfDay / 60 % 60,
                    secondOfDay % 60);
}

int DateTime::Compare(const DateTime& a, const DateTime& b, bool withTime) {
    const int left[] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
    const int right[] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
    int fields = withTime ? 6 : 3;
    for (int i = 0; i < fields; ++i)
        if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
    return 0;
}

} // namespace cs
