#include "run/control_file.hpp"

#include <gtest/gtest.h>

#include "tests/run/control_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(ControlFile, CompleteFileFillsTheRecords) {
    TextOut quiet;
    test::ScratchDir dir;
    test::write_file("CONTROL", test::ControlText{}.text());
    test::ControlRecords r = test::read_control_file();
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_EQ(r.run.start_year, 8);
    EXPECT_EQ(r.run.start_day, 15);
    EXPECT_EQ(r.run.start_hour, 6);
    EXPECT_EQ(r.run.start_minute, 0);
    ASSERT_EQ(r.locations.size(), 2u);
    EXPECT_FLOAT_EQ(r.locations[0].lat, 40.0f);
    EXPECT_FLOAT_EQ(r.locations[0].lon, -90.0f);
    EXPECT_FLOAT_EQ(r.locations[0].height, 50.0f);
    EXPECT_FLOAT_EQ(r.locations[1].lon, -91.25f);
    EXPECT_FLOAT_EQ(r.locations[1].source_rate, 5.0f);
    EXPECT_FLOAT_EQ(r.locations[1].source_area, 0.0f);
    EXPECT_EQ(r.locations[1].start_day, 15);
    EXPECT_EQ(r.run.run_hours, 24);
    EXPECT_FALSE(r.run.backward);
    EXPECT_FLOAT_EQ(r.run.model_top, 25000.0f);
    EXPECT_FLOAT_EQ(r.run.entered_model_top, 20000.0f);
    EXPECT_EQ(r.run.grid_count, 1);
    EXPECT_EQ(r.run.time_count, 2);
    EXPECT_EQ(r.run.met_files[0][1].directory, "./met/");
    EXPECT_EQ(r.run.met_files[0][1].file, "m2.bin");
    EXPECT_EQ(r.numtyp, 1);
    EXPECT_EQ(r.dirt[0].pollutant_id, "SO2 ");
    EXPECT_FLOAT_EQ(r.dirt[0].emission_rate, 2.5f);
    EXPECT_FLOAT_EQ(r.dirt[0].emission_hours, 12.0f);
    // Relative release start: six hours after the run start.
    EXPECT_EQ(r.dirt[0].release_hour, 12);
    EXPECT_EQ(r.dirt[0].release_start_minute, tm2min(8, 1, 15, 12, 0, quiet));
    ASSERT_EQ(r.grids.size(), 1u);
    EXPECT_EQ(r.grids[0].lat_points, 61);
    EXPECT_EQ(r.grids[0].lon_points, 121);
    EXPECT_EQ(r.grids[0].directory, "./out/");
    EXPECT_EQ(r.grids[0].level_count, 3);
    EXPECT_EQ(r.grids[0].heights[2], 500);
    EXPECT_EQ(r.grids[0].interval, 180);
    EXPECT_EQ(r.grids[0].start_minute, tm2min(8, 1, 15, 6, 0, quiet));
    EXPECT_EQ(r.grids[0].stop_minute, tm2min(9, 1, 15, 6, 0, quiet));
    // A gas with a Henry's constant uses the resistance method.
    EXPECT_TRUE(r.dirt[0].is_gas);
    EXPECT_TRUE(r.dirt[0].DORES);
    EXPECT_TRUE(r.dirt[0].DOWET);
    EXPECT_TRUE(r.dirt[0].DORAD);
    EXPECT_TRUE(r.sw.CDEP);
    EXPECT_TRUE(r.sw.RDEP);
    EXPECT_FALSE(r.sw.SDEP);
}

TEST(ControlFile, LineReaderColumnRules) {
    test::ScratchDir dir;
    test::ControlText t;
    // lat and lon only, then a comment: the height keeps its default.
    t.locations = "2\n30.0 -100.0 # first\n #1 2 3\n";
    test::write_file("CONTROL", t.text());
    test::ControlRecords r = test::read_control_file();
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_FLOAT_EQ(r.locations[0].height, 50.0f);
    // '#' in column 2 reads nothing: the second location keeps the first's values.
    EXPECT_FLOAT_EQ(r.locations[1].lat, 30.0f);
    EXPECT_FLOAT_EQ(r.locations[1].lon, -100.0f);

    t.locations = "1\n# 30.0 -100.0\n";
    test::write_file("CONTROL", t.text());
    EXPECT_EQ(test::read_control_file().stop, kStopInput);  // column 1 '#' is read and fails

    t.locations = "1\n30.0 -100.0 10.0# no blank\n";
    test::write_file("CONTROL", t.text());
    EXPECT_EQ(test::read_control_file().stop, kStopInput);  // a field that runs into '#'

    // A slash ends a free-format read: a field that begins with one leaves
    // its value unchanged, and the value before one is taken.
    t.locations = "2\n30.0 / 10.0\n/ 45.5/ 20.0\n";
    test::write_file("CONTROL", t.text());
    r = test::read_control_file();
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_FLOAT_EQ(r.locations[0].lon, -90.0f);
    EXPECT_FLOAT_EQ(r.locations[0].height, 10.0f);
    EXPECT_FLOAT_EQ(r.locations[1].lat, 30.0f);
    EXPECT_FLOAT_EQ(r.locations[1].lon, 45.5f);
    EXPECT_FLOAT_EQ(r.locations[1].height, 20.0f);

    t = test::ControlText{};
    t.start = "08 01 15 06 30 99 98";
    test::write_file("CONTROL", t.text());
    r = test::read_control_file();
    EXPECT_EQ(r.run.start_minute, 30);
}

TEST(ControlFile, ModelTopAndRunDirection) {
    test::ScratchDir dir;
    test::ControlText t;
    t.run = "-24\n0\n-12000.0\n";
    test::write_file("CONTROL", t.text());
    test::ControlRecords r = test::read_control_file();
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_TRUE(r.run.backward);
    EXPECT_EQ(r.run.run_hours, 24);
    EXPECT_FLOAT_EQ(r.run.model_top, 25000.0f);
    EXPECT_FLOAT_EQ(r.run.entered_model_top, -12000.0f);
    // Backward: the hours of emission are stored negative, and the release
    // day and hour relative to the start are taken forward as written.
    EXPECT_FLOAT_EQ(r.dirt[0].emission_hours, -12.0f);

    t.run = "24\n0\n30000.0\n";
    test::write_file("CONTROL", t.text());
    EXPECT_FLOAT_EQ(test::read_control_file().run.model_top, 30000.0f);

    t.run = "24\n0\n40.0\n";
    test::write_file("CONTROL", t.text());
    r = test::read_control_file();
    EXPECT_EQ(r.stop, kStopInput);
    EXPECT_TRUE(has(r.console, "*ERROR* runset: Start height above mdl domain"));
    EXPECT_TRUE(has(r.console, "   Source - "));
}

TEST(ControlFile, MalformedFilesStopWithAMessage) {
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    };
    test::ControlText base;
    std::vector<Case> cases;
    auto with = [&](const char* name, auto change, const char* message) {
        test::ControlText t;
        change(t);
        cases.push_back({name, t.text(), message});
    };
    with("missing lines", [](test::ControlText& t) { t.deposition = "1\n0.0 0.0 0.0\n"; }, "end of file");
    with("letters in a number", [](test::ControlText& t) { t.run = "24\nzero\n20000.0\n"; }, "bad integer");
    with("thirteen grids", [](test::ControlText& t) { t.met = "13 1\n"; }, "Numb meteo grids exceed DEFGRID limit");
    with("thirteen times", [](test::ControlText& t) { t.met = "1 13\n"; }, "Numb meteo times exceed DEFGRID limit");
    with("no grids", [](test::ControlText& t) { t.met = "0 1\n"; }, "Number of input meteorology grids = zero");
    with("no times", [](test::ControlText& t) { t.met = "1 0\n"; }, "Number of meteorology time periods = zero");
    with("negative grids", [](test::ControlText& t) { t.met = "-1 1\n"; }, "must be positive");
    with("unreadable date", [](test::ControlText& t) { t.start = "08 jan 15 06"; }, "bad integer");
    with("month 13 in a release", [](test::ControlText& t) { t.pollutants = "1\nSO2\n2.5\n12.0\n08 13 1 0 0\n"; },
         "month out of valid range");
    with("empty file", [](test::ControlText& t) { t = test::ControlText{}; t.start = ""; t.locations = "";
                                                   t.run = t.met = t.pollutants = t.grids = t.deposition = ""; },
         "end of file");
    for (const Case& c : cases) {
        test::ScratchDir dir;
        test::write_file("CONTROL", c.text);
        test::ControlRecords r = test::read_control_file();
        EXPECT_EQ(r.stop, kStopInput) << c.name;
        EXPECT_TRUE(has(r.console, "*ERROR*")) << c.name << "\n" << r.console;
        EXPECT_TRUE(has(r.console, c.message)) << c.name << "\n" << r.console;
    }
}

TEST(ControlFile, SuffixSelectsTheFile) {
    test::ScratchDir dir;
    test::write_file("CONTROL.t1", test::ControlText{}.text());
    ControlInput ctl;
    RunControl run;
    std::istringstream none;
    TextOut quiet;
    tminit();
    open_control_file(ctl, "t1", none, quiet, run);
    EXPECT_FALSE(ctl.keyboard());
    EXPECT_EQ(ctl.unit(), kControlFileUnit);
    EXPECT_EQ(run.location_count, 2);
}

TEST(KeyboardMode, StartupServesAsControlAndGivesTheSameRecords) {
    test::ScratchDir dir;
    // Answers as typed; the sampling dates are absolute in keyboard mode.
    test::ControlText t;
    t.run = "-24\n0\n20000.0\n";
    t.met = "2 2\n./a/\nm1\n./a/\nm2\n./b/\nn1\n\nn2\n";
    t.grids = "2\n40.0 -90.0\n0.5 0.5\n30.0 60.0\n./out/\ncdump\n3\n0 100 500\n08 01 15 06 00\n08 01 14 06 00\n"
              "0 3 0\n0.0 0.0\n1.0 1.0\n0.0 0.0\n./out/\nglobal\n1\n50\n08 01 15 06 00\n08 01 14 06 00\n1 1 0\n";
    std::istringstream keyboard(t.text());
    test::ControlRecords typed = test::read_control(keyboard);
    ASSERT_EQ(typed.stop, 0) << typed.console;
    EXPECT_TRUE(has(typed.console, " Enter grid # 2 file name (\?\?\?\?\?)"));
    std::string startup = test::read_file("STARTUP");
    EXPECT_TRUE(has(startup, "  8  1 15  6  0\n02\n    40.000   -90.000    50.000\n"));
    EXPECT_TRUE(has(startup, " -24\n"));  // does not fit its 4-column field

    test::write_file("CONTROL", startup);
    test::ControlRecords back = test::read_control_file();
    ASSERT_EQ(back.stop, 0) << back.console;
    EXPECT_EQ(back.run.run_hours, typed.run.run_hours);
    EXPECT_EQ(back.run.backward, typed.run.backward);
    EXPECT_EQ(back.run.time_count, 2);
    for (int g = 0; g < 2; ++g)
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(back.run.met_files[g][k].directory, typed.run.met_files[g][k].directory);
            EXPECT_EQ(back.run.met_files[g][k].file, typed.run.met_files[g][k].file);
        }
    EXPECT_EQ(back.run.met_files[1][1].directory, "");
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(back.locations[i].lat, typed.locations[i].lat);
        EXPECT_EQ(back.locations[i].height, typed.locations[i].height);
        EXPECT_EQ(back.locations[i].source_rate, typed.locations[i].source_rate);
    }
    EXPECT_EQ(back.locations[1].source_rate, 5.0f);  // the optional values are replayed
    EXPECT_EQ(back.dirt[0].pollutant_id, typed.dirt[0].pollutant_id);
    EXPECT_EQ(back.dirt[0].release_start_minute, typed.dirt[0].release_start_minute);
    EXPECT_EQ(back.dirt[0].emission_hours, typed.dirt[0].emission_hours);
    ASSERT_EQ(back.grids.size(), 2u);
    for (size_t g = 0; g < 2; ++g) {
        EXPECT_EQ(back.grids[g].lat_points, typed.grids[g].lat_points);
        EXPECT_EQ(back.grids[g].lon_points, typed.grids[g].lon_points);
        EXPECT_EQ(back.grids[g].start_minute, typed.grids[g].start_minute);
        EXPECT_EQ(back.grids[g].stop_minute, typed.grids[g].stop_minute);
        EXPECT_EQ(back.grids[g].interval, typed.grids[g].interval);
        EXPECT_EQ(back.grids[g].file_name, typed.grids[g].file_name);
    }
    EXPECT_EQ(back.dirt[0].DORES, typed.dirt[0].DORES);
    EXPECT_EQ(back.dirt[0].RHALF, typed.dirt[0].RHALF);
}

}  // namespace
}  // namespace orv
