#include "run/calendar.hpp"

#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv {

namespace {

constexpr int32_t kFirstYear = 1900;
constexpr int32_t kYears = 200;  // 1900 to 2099
constexpr int32_t kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// The calendar table is the one piece of process-wide state: it is filled
// once and only read afterwards.
int32_t year_days[kYears] = {};

bool initialised() { return year_days[0] == 365; }

// The years tm2min takes: two digits (0 to 100) or four (1941 to 2100).
bool year_taken(int32_t year) { return (year >= 0 && year <= 100) || (year >= 1941 && year <= 2100); }

// The four-digit year of a year tm2min takes: 0 to 39 are 2000 to 2039, 40
// to 99 are 1940 to 1999, 100 is 2000.
int32_t four_digit_year(int32_t year) {
    if (year > 100) return year;
    const int32_t y = ((year + 99) % 100) + 1901;
    return y < 1940 ? y + 100 : y;
}

// Days from 1900-01-01 to the given day (1 = the first of the month, and
// beyond the month's end it carries on).
int64_t days_to(int32_t y, int32_t month, int64_t day) {
    int64_t days = int64_t{year_days[y - 1 - kFirstYear]} + kDaysBefore[month - 1] + day - 1;
    if (y % 4 == 0 && month > 2) ++days;
    return days;
}

// Whether tm2day can turn accumulated minutes back into a date: 1 January
// 1901 00:01 to the end of 2099.
bool in_calendar(int64_t minutes) {
    return minutes > int64_t{year_days[0]} * 1440 && minutes <= int64_t{year_days[kYears - 1]} * 1440;
}

[[noreturn]] void year_range_stop(int32_t year, TextOut& console) {
    console.list("*ERROR* tm2min: year out of valid range (1941-2040) - ", year);
    throw RunStop(kStopInput);
}

}  // namespace

void tminit() {
    int32_t s = 0;
    for (int32_t i = 0; i < kYears; ++i) {
        int32_t y = kFirstYear + i;
        bool leap = (y % 100 != 0 && y % 4 == 0) || y % 400 == 0;
        s += leap ? 366 : 365;
        year_days[i] = s;
    }
}

int32_t year_day_entry(int32_t year) { return year_days[year - kFirstYear]; }

int32_t tm2min(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, TextOut& console) {
    if (!initialised()) {
        console.list("*ERROR* tm2min: calendar routines not initialized (tminit)");
        throw RunStop(kStopInput);
    }
    // The table ends with 2099: 2100 itself still works (1 January 2100 is
    // the table's last entry), later years do not.
    if (!year_taken(year)) year_range_stop(year, console);
    const int32_t y = four_digit_year(year);
    if (month < 1 || month > 12) {
        console.list("*ERROR* tm2min: month out of valid range (1-12) - ", month);
        throw RunStop(kStopInput);
    }
    int64_t minutes = days_to(y, month, day) * 1440 + int64_t{hour} * 60 + minute;
    if (minutes > INT32_MAX || minutes < INT32_MIN) year_range_stop(year, console);
    return static_cast<int32_t>(minutes);
}

std::string date_minutes_refusal(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                                 int32_t& minutes) {
    if (!year_taken(year)) return "has a year outside those the calendar takes (0 to 100, or 1941 to 2100)";
    if (month < 1 || month > 12) return "has a month outside 1 to 12";
    const int64_t m = days_to(four_digit_year(year), month, day) * 1440 + int64_t{hour} * 60 + minute;
    if (!in_calendar(m)) return "lies outside the calendar (1901 to 2099)";
    minutes = static_cast<int32_t>(m);
    return {};
}

bool shifted_date_minutes(int32_t year, int32_t month, int64_t day, int64_t hour, int64_t minute, int32_t& minutes,
                          TextOut& console) {
    const int64_t first = tm2min(year, month, 1, 0, 0, console);
    // Each term stays far inside 64 bits: |day|, |hour|, |minute| < 2^33.
    const int64_t m = first + (day - 1) * 1440 + hour * 60 + minute;
    if (!in_calendar(m)) return false;
    minutes = static_cast<int32_t>(m);
    return true;
}

CalendarDate tm2day(int32_t minutes, TextOut& console) {
    if (!initialised()) {
        console.list("*ERROR* tm2day: calendar routines not initialized (tminit)");
        throw RunStop(kStopInput);
    }
    // The first year whose end (in minutes) is at or after the value.
    int32_t i = 0;
    while (i < kYears && int64_t{year_days[i]} * 1440 < minutes) ++i;
    // Before 1 January 1901 00:00 (the year 1900 has no entry before it) or
    // after the table: outside the calendar.
    if (i == 0 || i == kYears) {
        int32_t y = i == 0 ? kFirstYear : kFirstYear + kYears;
        year_range_stop(y, console);
    }
    int32_t y = kFirstYear + i;
    int32_t r = minutes - year_days[i - 1] * 1440;
    CalendarDate d{};
    d.minute = r % 60;
    d.hour = (r / 60) % 24;
    int32_t doy = r / 1440;
    int32_t month = 1;
    for (int32_t m = 1; m <= 12; ++m) {
        int32_t before = kDaysBefore[m - 1] + ((y % 4 == 0 && m > 2) ? 1 : 0);
        if (before <= doy) month = m;
    }
    d.month = month;
    d.day = doy - (kDaysBefore[month - 1] + ((y % 4 == 0 && month > 2) ? 1 : 0)) + 1;
    d.year = y % 100;
    if (d.day >= 32) {
        d.month = 1;
        d.day -= 31;
        d.year = (y % 100 + 1) % 100;
    }
    return d;
}

}  // namespace orv
