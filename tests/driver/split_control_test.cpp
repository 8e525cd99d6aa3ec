#include "driver/split_control.hpp"
#include "tests/test_support.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace orv {
namespace {

struct Control {
    SplitControl control;
    Settings s;
    bool split_enabled = true;
    std::vector<ConcentrationGrid> grids;
    std::ostringstream text;
    TextOut log;

    Control() {
        log.attach(text);
        grids.resize(1);
        grids[0].lon_points = 10;
        grids[0].lat_points = 20;
        s.MAXPAR = 10000;
    }
    std::string step(int32_t status) {
        text.str("");
        control_split_and_merge(control, status, grids, s, split_enabled, log);
        return text.str();
    }
};

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(SplitControl, FullArraysWidenTheMergeUntilASplitCompletes) {
    Control c;
    EXPECT_EQ(c.step(0), "");  // on and done: nothing changes
    EXPECT_EQ(c.step(-1), "");

    std::string t = c.step(2);
    EXPECT_FALSE(c.control.split_on);
    EXPECT_FALSE(c.split_enabled);
    EXPECT_TRUE(has(t, " NOTICE   main: split stopped array limit reached"));
    EXPECT_TRUE(has(t, " NOTICE   main: merge increased FRHS=")) << t;
    EXPECT_TRUE(has(t, " NOTICE   main: split changed SPLITF="));
    EXPECT_FLOAT_EQ(c.s.FRHS, 1.5f);
    EXPECT_FLOAT_EQ(c.s.merge_factor, 2.0f);
    EXPECT_FLOAT_EQ(c.s.SPLITF, 1.1f);  // sqrt(5 x 10 x 20 / 10000) = 0.32 is raised to 1.1

    t = c.step(2);
    EXPECT_TRUE(has(t, " NOTICE   main: split turned on/off; FRHS=   1.500000")) << t;
    EXPECT_FLOAT_EQ(c.s.FRHS, 2.0f);
    EXPECT_FLOAT_EQ(c.s.merge_factor, 2.5f);
    EXPECT_FALSE(c.control.split_on);

    EXPECT_EQ(c.step(1), "");  // off, no room: nothing
    t = c.step(0);
    EXPECT_TRUE(has(t, " NOTICE   main: split turned on; FRHS=   2.000000")) << t;
    EXPECT_TRUE(c.control.split_on);
    EXPECT_TRUE(c.split_enabled);
    EXPECT_FLOAT_EQ(c.s.SPLITF, 1.1f);  // changed once only: no longer exactly 1.0
}

TEST(SplitControl, NothingToRaiseAtTheLimit) {
    Control c;
    c.s.FRHS = 3.0f;
    c.s.SPLITF = 1.0f;
    const std::string t = c.step(1);
    EXPECT_TRUE(has(t, "split stopped array limit reached"));
    EXPECT_FALSE(has(t, "merge increased"));
    EXPECT_FALSE(has(t, "SPLITF"));
    EXPECT_FLOAT_EQ(c.s.FRHS, 3.0f);
    EXPECT_FLOAT_EQ(c.s.merge_factor, 1.5f);
    EXPECT_FLOAT_EQ(c.s.SPLITF, 1.0f);
    EXPECT_FALSE(c.split_enabled);
    EXPECT_EQ(c.step(2), "");  // off, FRHS at FRHMAX: nothing more
}

TEST(SplitControl, MergeFactorCappedAndSplitFactorKept) {
    Control c;
    c.s.FRHS = 2.8f;
    c.s.SPLITF = 2.0f;  // not exactly 1.0: never changed
    c.step(2);
    EXPECT_FLOAT_EQ(c.s.FRHS, 3.0f);
    EXPECT_FLOAT_EQ(c.s.merge_factor, 2.0f);
    EXPECT_FLOAT_EQ(c.s.SPLITF, 2.0f);
}

TEST(SplitControl, SplitFactorFromTheLargestGrids) {
    std::vector<ConcentrationGrid> grids(2);
    grids[0].lat_points = 101;
    grids[0].lon_points = 201;
    grids[1].lat_points = 51;
    grids[1].lon_points = 301;
    EXPECT_NEAR(split_factor_for_grids(grids, 10000), 3.90f, 0.005f);
    EXPECT_FLOAT_EQ(split_factor_for_grids({}, 10000), 1.1f);
}

TEST(ParticleDump, Schedule) {
    int32_t ndump = 6;
    std::vector<int32_t> hours;
    for (int32_t h = 1; h <= 40; ++h)
        if (particle_dump_due(h, ndump, 0)) hours.push_back(h);
    EXPECT_EQ(hours, std::vector<int32_t>{6});
    EXPECT_EQ(ndump, 0);

    ndump = 6;
    hours.clear();
    for (int32_t h = 1; h <= 40; ++h)
        if (particle_dump_due(h, ndump, 12)) hours.push_back(h);
    EXPECT_EQ(hours, (std::vector<int32_t>{6, 18, 30}));

    ndump = 0;
    EXPECT_FALSE(particle_dump_due(0, ndump, 0));
}

TEST(Progress, ShareOfTheRunHours) {
    test::TestConsole cap;
    write_progress(1, 8, cap.out);
    write_progress(8, 8, cap.out);
    write_progress(1, 3, cap.out);
    EXPECT_EQ(cap.text(),
              " Percent complete:  12.5\n Percent complete: 100.0\n Percent complete:  33.3\n");
}

}  // namespace
}  // namespace orv
