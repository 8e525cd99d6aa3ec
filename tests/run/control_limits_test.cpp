// The control input against counts and values that no run can use: tables
// grow with the records read, limits are enforced, and out-of-range reals are
// refused with the file, line and item.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/run/control_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

test::ControlRecords read_text(const std::string& text) {
    test::write_file("CONTROL", text);
    return test::read_control_file();
}

TEST(ControlLimits, LargeCountsEndAtTheEndOfTheInput) {
    test::ScratchDir dir;
    // Counts far beyond what the file holds: the reading ends at the end of
    // the file, having sized nothing by the count (a table of 2^31 - 1
    // locations or pollutants would need tens of gigabytes).
    test::ControlText t;
    t.locations = "2147483647\n40.0,-90.0,50.0\n41.5 -91.25 10.0\n";
    test::ControlRecords r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "reading a starting location - CONTROL line")) << r.console;

    t = test::ControlText{};
    t.pollutants = "2000000000\nSO2\n2.5\n12.0\n0 0 0 6 0\n";
    r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "*ERROR* read_pollutant_emissions:")) << r.console;
    EXPECT_TRUE(has(r.console, "- CONTROL line")) << r.console;
    EXPECT_LT(r.dirt.size(), 10u);
}

TEST(ControlLimits, AtMostTenConcentrationGrids) {
    test::ScratchDir dir;
    test::ControlText t;
    t.grids = "10000000\n" + t.grids.substr(t.grids.find('\n') + 1);
    test::ControlRecords r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "*ERROR* conini: exceeding max numb of conc grids")) << r.console;
    EXPECT_TRUE(has(r.console, "Compiled maximum:           10")) << r.console;
    EXPECT_TRUE(has(r.console, "number of concentration grids 10000000 above the limit of 10 - CONTROL line"));
    EXPECT_TRUE(r.grids.empty());

    // Ten grids are read.
    std::string block = t.grids.substr(t.grids.find('\n') + 1);
    std::string ten = "10\n";
    for (int g = 0; g < 10; ++g) {
        std::string b = block;
        b.replace(b.find("cdump"), 5, "cdump" + std::to_string(g));
        ten += b;
    }
    t.grids = ten;
    r = read_text(t.text());
    EXPECT_EQ(r.stop, 0) << r.console;
    EXPECT_EQ(r.grids.size(), 10u);
}

TEST(ControlLimits, VerticalMotionOptionsOutsideZeroToSixAreRefused) {
    test::ScratchDir dir;
    test::ControlText t;
    for (const char* option : {"7", "-1", "99"}) {
        t.run = std::string("24\n") + option + "\n20000.0\n";
        test::ControlRecords r = read_text(t.text());
        EXPECT_EQ(r.stop, kStopInput) << option;
        EXPECT_TRUE(has(r.console, "*ERROR* runset: vertical motion option " + std::string(option) +
                                       " is not one of 0 to 6"))
            << r.console;
        EXPECT_TRUE(has(r.console, "CONTROL line 6")) << r.console;
    }
    for (const char* option : {"0", "4", "6"}) {
        t.run = std::string("24\n") + option + "\n20000.0\n";
        test::ControlRecords r = read_text(t.text());
        EXPECT_EQ(r.stop, 0) << option << r.console;
    }
}

TEST(ControlLimits, RealsBeyondRangeAreRefusedWithFileLineAndItem) {
    test::ScratchDir dir;
    test::ControlText t;
    t.run = "24\n0\n1e39\n";
    test::ControlRecords r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "*ERROR* runset: real value '1e39' beyond the range of a 32-bit real reading the "
                               "model top - CONTROL line 7"))
        << r.console;

    t = test::ControlText{};
    t.pollutants = "1\nSO2\nInf\n12.0\n0 0 0 6 0\n";
    r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "reading an emission rate - CONTROL line")) << r.console;

    t = test::ControlText{};
    t.locations = "1\n40.0 -90.0 50.0 -4e38\n";
    r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "reading a starting location - CONTROL line 3")) << r.console;
}

TEST(ControlLimits, RelativeDatesFarOutStopNamingTheValuesRead) {
    TextOut quiet;
    // Relative starts add the run start to the values read, in 64 bits; a
    // sum outside the calendar stops the run naming the relative values (not
    // a year the input never held). The sanitizer build catches a wrapped sum.
    test::ScratchDir dir;
    test::ControlText t;
    t.pollutants = "1\nSO2\n2.5\n12.0\n0 0 2147483647 2147483647 0\n";
    test::ControlRecords r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "*ERROR* read_pollutant_emissions: relative release start beyond the calendar"))
        << r.console;
    EXPECT_TRUE(has(r.console, "day 2147483647 hour 2147483647 minute 0")) << r.console;
    EXPECT_FALSE(has(r.console, "year out of valid range")) << r.console;

    t = test::ControlText{};
    t.grids = "1\n0.0 0.0\n0.5 0.5\n30.0 60.0\n./out/\ncdump\n1\n50\n0 0 2147483647 0 0\n"
              "2147483647 2147483647 0 0 0\n0 3 0\n";
    r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "*ERROR* conset: relative sampling start beyond the calendar on grid #")) << r.console;
    EXPECT_TRUE(has(r.console, "day 2147483647 hour 0")) << r.console;

    t.run = "-24\n0\n20000.0\n";
    t.grids = "1\n0.0 0.0\n0.5 0.5\n30.0 60.0\n./out/\ncdump\n1\n50\n0 0 0 0 0\n0 0 -2147483648 0 0\n0 3 0\n";
    r = read_text(t.text());
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "relative sampling stop beyond the calendar")) << r.console;
    EXPECT_TRUE(has(r.console, "day -2147483648 hour 0")) << r.console;

    // Within the calendar a relative start rolls over months and years.
    t = test::ControlText{};
    t.pollutants = "1\nSO2\n2.5\n12.0\n0 0 400 30 0\n";
    r = read_text(t.text());
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_EQ(r.dirt[0].release_start_minute, tm2min(8, 1, 15 + 400, 6 + 30, 0, quiet));
    EXPECT_EQ(r.dirt[0].release_year, 9);
}

TEST(ControlLimits, TypedRealBeyondRangeIsNeverEchoedAsInf) {
    test::ScratchDir dir;
    test::ControlText t;
    t.run = "24\n0\n1e39\n";
    std::istringstream keyboard(t.text());
    test::ControlRecords r = test::read_control(keyboard);
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "beyond the range of a 32-bit real reading the model top")) << r.console;
    std::string startup = test::read_file("STARTUP");
    EXPECT_FALSE(has(startup, "Inf")) << startup;
    EXPECT_FALSE(has(startup, "inf")) << startup;
}

}  // namespace
}  // namespace orv
