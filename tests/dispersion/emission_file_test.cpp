// The emission file reader: groups taken as they fall due, positions placed
// on the meteorological grids, the end of the file in either direction, the
// kept groups of a backward run, and the refusal of malformed files.

#include <gtest/gtest.h>

#include "dispersion/emission_file.hpp"
#include "tests/dispersion/emission_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/emission_inputs.hpp"

namespace orv {
namespace {

using test::Messages;
using test::run_captured;

class EmissionFile : public ::testing::Test {
protected:
    EmissionFile() : met(test::latlon_met()) { t0 = tm2min(2024, 1, 1, 0, 0, quiet); }

    void write(const fixture::EmissionFileRecipe& r) { fixture::write_emission_file("emissions.txt", r); }
    void call(int32_t now, int32_t nsrc = 1, int32_t numtyp = 1, bool backward = false) {
        if (m.slots != nsrc || m.pollutants != numtyp) allocate_source_pollutant_matrix(m, nsrc, numtyp);
        emsmat(m, met, now, 1, nsrc, numtyp, efile, state, backward, msg.msg());
    }

    test::ScratchDir dir;
    TextOut quiet;
    MeteoFiles met;
    int32_t t0 = 0;
    SourcePollutantMatrix m;
    EmissionFileState state;
    std::string efile = "emissions.txt";
    Messages msg;
};

fixture::EmissionFileRecipe two_groups() {
    fixture::EmissionFileRecipe r;
    r.groups = 2;
    r.group_hours = 6;
    r.release_hours = 6;
    r.sources = {fixture::EmissionSource{40.0f, -90.0f, 50.0f, 2.0f, 100.0f, 5.0e6f}};
    return r;
}

TEST_F(EmissionFile, TakesGroupsAsTheyFallDueAndEndsWithTheFile) {
    write(two_groups());
    call(t0);
    EXPECT_TRUE(state.efile_active);
    const SourcePollutantRecord& r = m.at(1, 1);
    EXPECT_EQ(r.start_minute, t0);
    EXPECT_EQ(r.stop_minute, t0 + 360);
    EXPECT_EQ(r.met_grid, 1);
    EXPECT_FLOAT_EQ(r.grid_x, 21.0f);
    EXPECT_FLOAT_EQ(r.grid_y, 21.0f);
    EXPECT_FLOAT_EQ(r.release_height, 50.0f);
    EXPECT_FLOAT_EQ(r.emission_rate, 2.0f);
    EXPECT_FLOAT_EQ(r.source_area, 100.0f);
    EXPECT_FLOAT_EQ(r.heat_release, 5.0e6f);
    EXPECT_EQ(msg.count(" NOTICE emsmat: opened emission file - emissions.txt"), 1u);
    EXPECT_EQ(msg.count(" NOTICE emsmat: emissions updated - "), 1u);

    call(t0 + 300);  // not yet due
    EXPECT_EQ(msg.count(" NOTICE emsmat: emissions updated - "), 1u);
    call(t0 + 360);
    EXPECT_EQ(m.at(1, 1).start_minute, t0 + 360);
    EXPECT_EQ(msg.count(" NOTICE emsmat: emissions updated - "), 2u);

    call(t0 + 720);
    EXPECT_EQ(msg.count("WARNING emsmat: emissions termination"), 1u);
    EXPECT_FALSE(state.efile_active);
    EXPECT_EQ(efile, " ");
    EXPECT_EQ(m.at(1, 1).start_minute, t0 + 360) << "the table keeps the last group";
    call(t0 + 780);  // blank EFILE: nothing at all
    EXPECT_EQ(msg.count("WARNING"), 1u);
}

TEST_F(EmissionFile, OverdueGroupIsReplacedInTheSameCall) {
    write(two_groups());
    call(t0 + 420);
    EXPECT_EQ(m.at(1, 1).start_minute, t0 + 360);
    EXPECT_EQ(msg.count(" NOTICE emsmat: emissions updated - "), 2u);
    EXPECT_EQ(state.next_group_due, t0 + 720);
}

TEST_F(EmissionFile, DurationIsHoursAndMinutesAndEdgesAreOnTheGrid) {
    // HHMM 130 is 90 minutes; x = 2.0 (lon -99.5) and y = NY - 1 (lat 59.0) are on the grid.
    test::write_file("emissions.txt",
                     "h1\nh2\n2024 1 1 0 1 2\n"
                     "2024 1 1 0 15 130 59.0 -99.5 10 1 0 0\n"
                     "2024 1 1 0 15 130 59.01 -99.5 10 1 0 0\n");
    call(t0, 2, 1);
    EXPECT_EQ(m.at(1, 1).start_minute, t0 + 15);
    EXPECT_EQ(m.at(1, 1).stop_minute, t0 + 105);
    EXPECT_EQ(m.at(1, 1).met_grid, 1);
    EXPECT_FLOAT_EQ(m.at(1, 1).grid_x, 2.0f);
    EXPECT_FLOAT_EQ(m.at(1, 1).grid_y, 59.0f);
    EXPECT_EQ(m.at(2, 1).met_grid, 0) << "just past the last row with a margin";
    EXPECT_EQ(msg.count("WARNING emsmat: emission file has fewer locations than CONTROL"), 1u);
}

TEST_F(EmissionFile, ExtraLocationsFillOnlyTheExistingSlots) {
    fixture::EmissionFileRecipe r = two_groups();
    r.groups = 1;
    r.sources = {fixture::EmissionSource{40, -90, 10, 1, 0, 0}, fixture::EmissionSource{41, -90, 20, 2, 0, 0},
                 fixture::EmissionSource{42, -90, 30, 3, 0, 0}};
    write(r);
    call(t0, 2, 1);
    EXPECT_FLOAT_EQ(m.at(1, 1).release_height, 10.0f);
    EXPECT_FLOAT_EQ(m.at(2, 1).release_height, 20.0f);
    EXPECT_EQ(msg.count("extra locations ignored"), 1u);
    EXPECT_EQ(msg.count("fewer locations"), 0u);
}

TEST_F(EmissionFile, LocationOffEveryGridLeavesItsSlotToTheNext) {
    fixture::EmissionFileRecipe r = two_groups();
    r.groups = 1;
    r.sources = {fixture::EmissionSource{10, -90, 10, 1, 0, 0}, fixture::EmissionSource{41, -90, 20, 2, 0, 0}};
    write(r);
    call(t0, 2, 1);
    EXPECT_FLOAT_EQ(m.at(1, 1).release_height, 20.0f);
    EXPECT_EQ(m.at(1, 1).met_grid, 1);
    EXPECT_EQ(msg.count("WARNING emsmat: emission file has fewer locations than CONTROL"), 1u);
}

TEST_F(EmissionFile, TwoPollutantsWithALocationOffTheGridStop) {
    fixture::EmissionFileRecipe r = two_groups();
    r.pollutants = 2;
    r.sources = {fixture::EmissionSource{40, -90, 10, 1, 0, 0}, fixture::EmissionSource{10, -90, 20, 2, 0, 0}};
    write(r);
    const auto o = run_captured(msg.console, [&] { call(t0, 2, 2); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_EQ(msg.count("*ERROR* emsmat: emission file mismatch with CONTROL"), 1u);
    EXPECT_NE(msg.str().find("Actual number of data records  input: "), std::string::npos);
    EXPECT_NE(o.console.find("emissions.txt"), std::string::npos);
}

TEST_F(EmissionFile, MissingFileWarnsAndTurnsItOff) {
    efile = "nowhere.txt";
    call(t0);
    EXPECT_EQ(msg.count("WARNING emsmat: emission file specified but not found!"), 1u);
    EXPECT_EQ(msg.count("     File name: nowhere.txt"), 1u);
    EXPECT_FALSE(state.efile_active);
    EXPECT_EQ(efile, " ");
}

// A backward run starts from the first group every hour; the groups kept in
// memory give what reading the file again from its start gives.
TEST_F(EmissionFile, BackwardRunMatchesRereadingFromTheStart) {
    fixture::EmissionFileRecipe r = two_groups();
    r.groups = 3;
    r.group_hours = 4;
    r.release_hours = 4;
    r.sources = {fixture::EmissionSource{40, -90, 10, 1, 0, 0}, fixture::EmissionSource{41, -90, 20, 2, 0, 0}};
    write(r);
    SourcePollutantMatrix fresh_matrix;
    allocate_source_pollutant_matrix(fresh_matrix, 2, 1);
    for (int32_t h = 13; h >= -1; --h) {
        const int32_t now = t0 + 60 * h;
        call(now, 2, 1, true);
        Messages fresh_msg;
        EmissionFileState fresh;
        std::string fresh_name = "emissions.txt";
        emsmat(fresh_matrix, met, now, 1, 2, 1, fresh_name, fresh, true, fresh_msg.msg());
        for (int32_t s = 1; s <= 2; ++s) {
            EXPECT_EQ(m.at(s, 1).start_minute, fresh_matrix.at(s, 1).start_minute) << h;
            EXPECT_EQ(m.at(s, 1).stop_minute, fresh_matrix.at(s, 1).stop_minute) << h;
        }
        EXPECT_TRUE(state.efile_active);
    }
    // At hour 9 the third group (hours 8-12) covers the time: stop at its start.
    call(t0 + 540, 2, 1, true);
    EXPECT_EQ(m.at(1, 1).stop_minute, t0 + 480);
    EXPECT_EQ(m.at(1, 1).start_minute, t0 + 720);
    EXPECT_EQ(msg.count("termination"), 0u);
    EXPECT_EQ(state.groups.size(), 3u) << "the file was read once";
}

TEST_F(EmissionFile, MalformedFilesStopNamingTheFile) {
    struct Case {
        const char* text;
        const char* log;      // expected in the log, or empty
        const char* console;  // expected on the console, or empty
    } cases[] = {
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 600 40.0 -90 x 1 0 0\n", "premature data termination", ""},
        {"h1\nh2\n2024 1 1 0 6 3\n2024 1 1 0 0 600 40.0 -90 10 1 0 0\n", "premature data termination", ""},
        {"h1\nh2\n2024 1 x 0 6 1\n2024 1 1 0 0 600 40.0 -90 10 1 0 0\n", "", ""},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 13 1 0 0 600 40.0 -90 10 1 0 0\n", "",
         "release start (year month day hour minute) 2024 13 1 0 0 has a month outside 1 to 12 - emissions.txt line 4"},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 600 40.0 -90 10\n", "premature data termination", ""},
        // Rates that would overflow the run's sums, or negative without dust.
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 600 40.0 -90 10 1e30 0 0\n", "", ""},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 600 40.0 -90 10 -5 0 0\n", "", ""},
        // Values no release can take, named as each group is read.
        {"h1\nh2\n2024 1 0 0 6 1\n2024 1 1 0 0 600 40.0 -90 10 1 0 0\n", "",
         "*ERROR* emsmat: group start (year month day hour) 2024 1 0 0 has a day below 1 - emissions.txt line 3"},
        {"h1\nh2\n2024 1 1 0 0 1\n2024 1 1 0 0 600 40.0 -90 10 1 0 0\n", "",
         "*ERROR* emsmat: group length 0 hours is below 1 - emissions.txt line 3"},
        {"h1\nh2\n2024 1 1 0 6 -1\n", "", "*ERROR* emsmat: number of data lines -1 is negative - emissions.txt line 3"},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 -1 0 600 40.0 -90 10 1 0 0\n", "",
         "*ERROR* emsmat: release start (year month day hour minute) 2024 1 1 -1 0 has an hour below 0 - emissions.txt "
         "line 4"},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 2147483647 0 0 600 40.0 -90 10 1 0 0\n", "",
         "2024 1 2147483647 0 0 lies outside the calendar (1901 to 2099) - emissions.txt line 4"},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 -100 40.0 -90 10 1 0 0\n", "",
         "*ERROR* emsmat: duration (HHMM) -100 is negative - emissions.txt line 4"},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 600 40.0 -90 10001 1 0 0\n", "",
         "*ERROR* emsmat: release height 10001 m is above the model top (10000 m) - emissions.txt line 4"},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 600 40.0 -90 10 1 1e30 0\n", "",
         "*ERROR* emsmat: source area 1e+30 m2 is above the Earth's surface (5.1e14 m2) - emissions.txt line 4"},
        {"h1\nh2\n2024 1 1 0 6 1\n2024 1 1 0 0 99999999 40.0 -90 10 1e20 0 0\n", "",
         "*ERROR* emsmat: emission rate 1e+20 times its hours of emission 1000000.6 is above the largest mass the run takes "
         "(1e25) - emissions.txt line 4"},
    };
    for (const Case& c : cases) {
        test::write_file("emissions.txt", c.text);
        state = EmissionFileState{};
        efile = "emissions.txt";
        Messages local;
        allocate_source_pollutant_matrix(m, 3, 1);
        const auto o = run_captured(local.console, [&] { emsmat(m, met, t0, 1, 3, 1, efile, state, false,
                                                                local.msg()); });
        EXPECT_EQ(o.stop, kStopInput) << c.text;
        EXPECT_NE(o.console.find("emissions.txt"), std::string::npos) << o.console;
        EXPECT_NE(o.console.find(c.console), std::string::npos) << o.console;
        if (*c.log) {
            EXPECT_NE(local.str().find(c.log), std::string::npos) << local.str();
        }
    }
    // Above its range a date value carries, as the calendar takes it; a
    // height at the model top, an area of the Earth's surface and a duration
    // of 0 (a window that never opens) are taken.
    test::write_file("emissions.txt", "h1\nh2\n2023 12 31 24 6 2\n2023 12 31 24 0 0090 40.0 -90 10000 1 5.1e14 0\n"
                                      "2024 1 1 0 60 0 40.0 -90 10 1 0 0\n");
    state = EmissionFileState{};
    efile = "emissions.txt";
    call(t0, 2, 1);
    EXPECT_EQ(m.at(1, 1).start_minute, t0);
    EXPECT_EQ(m.at(1, 1).stop_minute, t0 + 90);
    EXPECT_EQ(m.at(2, 1).start_minute, t0 + 60);
    EXPECT_EQ(m.at(2, 1).stop_minute, t0 + 60);
    EXPECT_EQ(state.next_group_due, t0 + 360);
}

}  // namespace
}  // namespace orv
