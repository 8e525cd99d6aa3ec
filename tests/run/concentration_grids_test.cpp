#include "run/concentration_grids.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/run/control_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

// One grid block: centre, spacing, span, names, levels, start, stop, interval.
std::string grid(const std::string& centre, const std::string& spacing, const std::string& span,
                 const std::string& file = "cdump", const std::string& levels = "1\n50",
                 const std::string& start = "0 0 0 0 0", const std::string& stop = "0 0 0 0 0",
                 const std::string& interval = "0 24 0") {
    return centre + "\n" + spacing + "\n" + span + "\n./out/\n" + file + "\n" + levels + "\n" + start + "\n" + stop +
           "\n" + interval + "\n";
}

test::ControlRecords with_grids(int n, const std::string& blocks, int32_t cpack = 1,
                                const std::string& run = "24\n0\n20000.0\n") {
    test::ScratchDir dir;
    test::ControlText t;
    t.grids = std::to_string(n) + "\n" + blocks;
    t.run = run;
    test::write_file("CONTROL", t.text());
    std::istringstream none;
    return test::read_control(none, cpack);
}

TEST(ConcentrationGrids, GlobalOneDegreeGrid) {
    test::ControlRecords r = with_grids(1, grid("40.0 -90.0", "1.0 1.0", "0 0"));
    ASSERT_EQ(r.stop, 0) << r.console;
    const ConcentrationGrid& g = r.grids[0];
    EXPECT_EQ(g.lat_points, 182);
    EXPECT_EQ(g.lon_points, 360);
    EXPECT_FLOAT_EQ(g.lower_left_lat, -90.0f);
    EXPECT_FLOAT_EQ(g.lower_left_lon, -180.0f);
    // The spacing is taken at the centre as read.
    EXPECT_FLOAT_EQ(g.grid_spacing_km, std::cos(40.0f / 57.29583f) * 111.198326f);
    EXPECT_FLOAT_EQ(r.spacing, g.grid_spacing_km);
}

TEST(ConcentrationGrids, RegionalGridsAndRounding) {
    test::ControlRecords r = with_grids(2, grid("40.0 -90.0", "0.5 0.5", "30.0 60.0") +
                                               grid("0.0 0.0", "1.0 1.0", "2.5 2.5", "other"));
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_EQ(r.grids[0].lat_points, 61);
    EXPECT_EQ(r.grids[0].lon_points, 121);
    EXPECT_FLOAT_EQ(r.grids[0].lower_left_lat, 25.0f);
    EXPECT_FLOAT_EQ(r.grids[0].lower_left_lon, -120.0f);
    // A centre of 0, 0 is starting location 1; 2.5 spacings round to 3.
    EXPECT_EQ(r.grids[1].lat_points, 4);
    EXPECT_EQ(r.grids[1].lon_points, 4);
    EXPECT_FLOAT_EQ(r.grids[1].lower_left_lat, 38.75f);

    test::ControlRecords points = with_grids(1, grid("10.0 20.0", "1.0 1.0", "0 0"), 2);
    ASSERT_EQ(points.stop, 0) << points.console;
    EXPECT_EQ(points.grids[0].lat_points, 1);
    EXPECT_EQ(points.grids[0].lon_points, 1);
    EXPECT_FLOAT_EQ(points.grids[0].lower_left_lat, 0.0f);  // the global adjustment moved the centre
    EXPECT_FLOAT_EQ(points.grids[0].lower_left_lon, 0.0f);
}

TEST(ConcentrationGrids, SourcePointOffTheGridWarns) {
    test::ControlRecords r = with_grids(1, grid("10.0 10.0", "1.0 1.0", "5 5"));
    ASSERT_EQ(r.stop, 0);
    EXPECT_TRUE(has(r.console, "WARNING conset: source point not on concentration grid #           1"));
}

TEST(ConcentrationGrids, Levels) {
    test::ControlRecords ok = with_grids(1, grid("0 0", "1 1", "10 10", "c", "3\n0 100.7\n99.2"));
    ASSERT_EQ(ok.stop, 0) << ok.console;
    EXPECT_EQ(ok.grids[0].heights[0], 0);
    EXPECT_EQ(ok.grids[0].heights[1], 100);
    EXPECT_EQ(ok.grids[0].heights[2], 99);

    test::ControlRecords zero = with_grids(1, grid("0 0", "1 1", "10 10", "c", "3\n100 0 500"));
    EXPECT_EQ(zero.stop, kStopInput);
    EXPECT_TRUE(has(zero.console, "*ERROR* conset: height=0 should be level=1"));

    EXPECT_EQ(with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n25000")).stop, 0);
    test::ControlRecords high = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n25001"));
    EXPECT_EQ(high.stop, kStopInput);
    EXPECT_TRUE(has(high.console, "*ERROR* conset: level above model top"));

    test::ControlRecords many = with_grids(1, grid("0 0", "1 1", "10 10", "c", "100\n50"));
    EXPECT_TRUE(has(many.console, "*ERROR* conset: Number of levels exceed limit"));
    EXPECT_EQ(with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n1e12")).stop, kStopInput);
}

TEST(ConcentrationGrids, SamplingTimes) {
    TextOut quiet;
    // Run start 2008-01-15 06:00. Relative start one day later, stop 2 days later.
    test::ControlRecords r = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n50", "0 0 1 0 0", "0 0 2 0 0"));
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_EQ(r.grids[0].start_minute, tm2min(8, 1, 16, 6, 0, quiet));
    EXPECT_EQ(r.grids[0].stop_minute, tm2min(8, 1, 17, 6, 0, quiet));
    EXPECT_EQ(r.grids[0].period_start_minute, r.grids[0].start_minute);

    // Backward: the relative day counts back.
    test::ControlRecords b = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n50", "0 0 1 0 0", "0 0 0 0 0"), 1,
                                        "-24\n0\n20000.0\n");
    ASSERT_EQ(b.stop, 0) << b.console;
    EXPECT_EQ(b.grids[0].start_minute, tm2min(8, 1, 14, 6, 0, quiet));
    EXPECT_EQ(b.grids[0].stop_minute, tm2min(7, 1, 15, 6, 0, quiet));

    // An hour count that rolls into the next month.
    test::ControlRecords roll = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n50", "0 0 16 20 0"));
    EXPECT_EQ(roll.grids[0].start[1], 2);
    EXPECT_EQ(roll.grids[0].start[2], 1);
    EXPECT_EQ(roll.grids[0].start[3], 2);
}

TEST(ConcentrationGrids, SamplingInterval) {
    test::ControlRecords warn = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n50", "0 0 0 0 0", "0 0 0 0 0",
                                                   "0 1 30"));
    EXPECT_TRUE(has(warn.console, "WARNING conset: averaging >1 hr requires zero minutes field"));
    EXPECT_EQ(warn.grids[0].interval, 60);
    test::ControlRecords half = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n50", "0 0 0 0 0", "0 0 0 0 0",
                                                   "0 0 30"));
    EXPECT_FALSE(has(half.console, "WARNING"));
    EXPECT_EQ(half.grids[0].interval, 30);
    test::ControlRecords last = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n50", "0 0 0 0 0", "0 0 0 0 0",
                                                   "-2 6 0"));
    EXPECT_EQ(last.grids[0].sampling_type, -120);
    test::ControlRecords none = with_grids(1, grid("0 0", "1 1", "10 10", "c", "1\n50", "0 0 0 0 0", "0 0 0 0 0",
                                                   "0 0 0"));
    EXPECT_EQ(none.stop, kStopInput);
    EXPECT_TRUE(has(none.console, "*ERROR* conset: sampling interval"));
}

TEST(ConcentrationGrids, NamesMayNotRepeat) {
    test::ControlRecords twice = with_grids(3, grid("0 0", "1 1", "10 10", "same") + grid("0 0", "1 1", "10 10", "b") +
                                                  grid("0 0", "1 1", "10 10", "same"));
    EXPECT_EQ(twice.stop, kStopInput);
    EXPECT_TRUE(has(twice.console, "*ERROR* conset: Concentration dir/file names identical"));
    // A prefix of an earlier name is a different file.
    EXPECT_EQ(with_grids(2, grid("0 0", "1 1", "10 10", "cdump") + grid("0 0", "1 1", "10 10", "cdump2")).stop, 0);
    EXPECT_EQ(with_grids(2, grid("0 0", "1 1", "10 10", "cdump2") + grid("0 0", "1 1", "10 10", "cdump")).stop, 0);
}

TEST(ConcentrationGrids, MaximumGridNeedsExactlyOneCompanion) {
    std::string same = grid("0 0", "1 1", "10 10", "avg", "1\n50", "0 0 0 0 0", "0 0 0 0 0", "0 3 0");
    std::string snap = grid("0 0", "1 1", "10 10", "snap", "1\n50", "0 0 0 0 0", "0 0 0 0 0", "1 3 0");
    std::string max = grid("0 0", "1 1", "10 10", "max", "1\n50", "0 0 0 0 0", "0 0 0 0 0", "2 3 0");
    std::string other = grid("0 0", "1 1", "20 20", "big", "1\n50", "0 0 0 0 0", "0 0 0 0 0", "0 3 0");
    EXPECT_EQ(with_grids(2, max + same).stop, 0);
    test::ControlRecords none = with_grids(2, max + other);
    EXPECT_EQ(none.stop, kStopInput);
    EXPECT_TRUE(has(none.console, "Requires definition of an identical snapshot or average grid!"));
    test::ControlRecords two = with_grids(3, same + max + snap);
    EXPECT_EQ(two.stop, kStopInput);
    EXPECT_TRUE(has(two.console, "Requires one snapshot or average grid ... not multiple!"));
    // Its values come from that companion alone, not from a grid of another layout.
    std::string big_snap = grid("0 0", "1 1", "20 20", "bigsnap", "1\n50", "0 0 0 0 0", "0 0 0 0 0", "1 3 0");
    test::ControlRecords mixed = with_grids(3, big_snap + max + same);
    ASSERT_EQ(mixed.stop, 0) << mixed.console;
    EXPECT_EQ(maximum_grid_twin(mixed.grids, 2), 3);
    EXPECT_EQ(maximum_grid_twin(mixed.grids, 1), 0);  // not a maximum grid
}

TEST(ConcentrationGrids, BadGeometryIsRefused) {
    EXPECT_EQ(with_grids(1, grid("0 0", "0 1", "10 10")).stop, kStopInput);
    EXPECT_EQ(with_grids(1, grid("0 0", "1e-30 1", "10 10")).stop, kStopInput);
    EXPECT_EQ(with_grids(1, grid("0 0", "1 1", "-10 10")).stop, kStopInput);
}

}  // namespace
}  // namespace orv
