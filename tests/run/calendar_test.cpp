#include "run/calendar.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "common/run_stop.hpp"

namespace orv {
namespace {

int32_t stop_code(auto&& f) {
    try {
        f();
    } catch (const RunStop& s) {
        return s.code();
    }
    return 0;
}

class Calendar : public ::testing::Test {
protected:
    void SetUp() override { tminit(); }
    TextOut quiet;
};

TEST_F(Calendar, TableFollowsTheGregorianRule) {
    EXPECT_EQ(year_day_entry(1900), 365);
    EXPECT_EQ(year_day_entry(1999), 36524);
    EXPECT_EQ(year_day_entry(2000), 36890);
    EXPECT_EQ(year_day_entry(2099), 73049);
}

TEST_F(Calendar, AgreesWithCivilDatesEveryDayFrom1941To2099) {
    using namespace std::chrono;
    const sys_days epoch = year{1900} / January / 1;
    for (sys_days d = year{1941} / January / 1; d <= sys_days(year{2099} / December / 31); d += days{1}) {
        year_month_day ymd{d};
        int32_t y = int{ymd.year()};
        int32_t m = static_cast<int32_t>(unsigned{ymd.month()});
        int32_t dd = static_cast<int32_t>(unsigned{ymd.day()});
        int32_t expected = static_cast<int32_t>((d - epoch).count() * 1440 + 13 * 60 + 7);
        ASSERT_EQ(tm2min(y, m, dd, 13, 7, quiet), expected) << y << "-" << m << "-" << dd;
        CalendarDate back = tm2day(expected, quiet);
        ASSERT_EQ(back.year, y % 100);
        ASSERT_EQ(back.month, m);
        ASSERT_EQ(back.day, dd);
        ASSERT_EQ(back.hour, 13);
        ASSERT_EQ(back.minute, 7);
    }
}

TEST_F(Calendar, TwoDigitYearsAndCarries) {
    EXPECT_EQ(tm2min(8, 3, 1, 0, 0, quiet), tm2min(2008, 3, 1, 0, 0, quiet));
    EXPECT_EQ(tm2min(2008, 3, 1, 0, 0, quiet) - tm2min(2008, 2, 28, 0, 0, quiet), 2 * 1440);
    EXPECT_EQ(tm2min(40, 1, 1, 0, 0, quiet), tm2min(41, 1, 1, 0, 0, quiet) - 366 * 1440);  // 1940 is a leap year
    EXPECT_EQ(tm2day(tm2min(40, 6, 1, 0, 0, quiet), quiet).year, 40);
    EXPECT_EQ(tm2min(39, 1, 1, 0, 0, quiet), tm2min(2039, 1, 1, 0, 0, quiet));
    EXPECT_EQ(tm2min(0, 1, 1, 0, 0, quiet), tm2min(2000, 1, 1, 0, 0, quiet));
    EXPECT_EQ(tm2min(100, 1, 1, 0, 0, quiet), tm2min(2000, 1, 1, 0, 0, quiet));
    EXPECT_EQ(tm2min(2008, 5, 3, 24, 0, quiet), tm2min(2008, 5, 4, 0, 0, quiet));
    EXPECT_EQ(tm2min(2008, 5, 3, 7, 60, quiet), tm2min(2008, 5, 3, 8, 0, quiet));
    EXPECT_EQ(tm2min(2008, 1, 32, 0, 0, quiet), tm2min(2008, 2, 1, 0, 0, quiet));
    EXPECT_NO_THROW(tm2min(2050, 1, 1, 0, 0, quiet));
}

TEST_F(Calendar, YearEndsAndLeapDays) {
    CalendarDate d = tm2day(tm2min(2007, 12, 31, 24, 0, quiet), quiet);
    EXPECT_EQ(d.year, 8);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 0);
    d = tm2day(tm2min(2000, 2, 29, 12, 30, quiet), quiet);
    EXPECT_EQ(d.year, 0);
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 29);
    EXPECT_EQ(d.minute, 30);
    d = tm2day(tm2min(2000, 3, 1, 0, 0, quiet), quiet);
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 1);
    d = tm2day(tm2min(1999, 12, 31, 24, 0, quiet), quiet);
    EXPECT_EQ(d.year, 0);
    EXPECT_EQ(d.month, 1);
    d = tm2day(tm2min(2099, 12, 31, 24, 0, quiet), quiet);
    EXPECT_EQ(d.year, 0);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
}

TEST_F(Calendar, OutOfRangeStopsWithCode900) {
    EXPECT_EQ(stop_code([this] { tm2min(1940, 1, 1, 0, 0, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2min(2101, 1, 1, 0, 0, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2min(2008, 13, 1, 0, 0, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2min(2008, 0, 1, 0, 0, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2min(-5, 1, 1, 0, 0, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2day(365 * 1440, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2day(-1, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2day(year_day_entry(2099) * 1440 + 1, quiet); }), kStopInput);
    EXPECT_EQ(stop_code([this] { tm2day(365 * 1440 + 1, quiet); }), 0);
}

}  // namespace
}  // namespace orv
