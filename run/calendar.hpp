#pragma once
// Accumulated minutes: every time inside the model is a 32-bit count of
// minutes since 1900-01-01 00:00. tminit fills the year table once per run;
// tm2min and tm2day convert dates to and from accumulated minutes.
//
// Two-digit years 0-39 mean 2000-2039 and 40-99 mean 1940-1999 (100 is 2000).
// The table covers 1900 to 2099; a conversion outside it writes its message
// to the given console and stops the run.

#include <algorithm>
#include <cstdint>
#include <string>

#include "common/text_output.hpp"

namespace orv {

void tminit();

// a + b for a date field shifted by another (a relative start): a sum beyond
// the 32-bit range is held at its end, so that tm2min refuses the date as out
// of its range instead of the sum wrapping.
inline int32_t shifted_field(int32_t a, int64_t b) {
    int64_t s = int64_t{a} + b;
    return static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
}

// Year (2 or 4 digits), month, day, hour, minute to accumulated minutes. Day,
// hour and minute overflows carry into the following unit.
int32_t tm2min(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, TextOut& console);

// Accumulated minutes of year and month with a day, hour and minute that may
// lie beyond their ranges (a start relative to another date), summed in 64
// bits. False, with `minutes` unchanged, when the result lies outside the
// calendar (1901 to 2099).
bool shifted_date_minutes(int32_t year, int32_t month, int64_t day, int64_t hour, int64_t minute, int32_t& minutes,
                          TextOut& console);

// Accumulated minutes of a date read from a file, as tm2min gives them (a
// day, hour or minute beyond its range carries into the next unit) but summed
// in 64 bits and without writing or stopping: empty, with `minutes` set, when
// the calendar holds the date; otherwise why not, to follow the date in a
// message ("has a year outside ...", "has a month outside 1 to 12", "lies
// outside the calendar (1901 to 2099)").
std::string date_minutes_refusal(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                                 int32_t& minutes);

struct CalendarDate {
    int32_t year;  // two digits, 0..99
    int32_t month;
    int32_t day;
    int32_t hour;
    int32_t minute;
};
CalendarDate tm2day(int32_t minutes, TextOut& console);

// Days from 1900-01-01 to 1 January of the year after `year` (1900..2099).
int32_t year_day_entry(int32_t year);

}  // namespace orv
