#include "driver/level_mass.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

InternalVerticalGrid grid() {
    InternalVerticalGrid g;
    g.aa = 30.0f;
    g.bb = -25.0f;
    g.cc = 5.0f;
    g.nlvl = 10;
    return g;
}

TEST(LevelMass, LevelOfAHeightInvertsTheLevelHeights) {
    const InternalVerticalGrid g = grid();
    for (int32_t k = 1; k <= g.nlvl; ++k) EXPECT_EQ(level_of_height(g, g.height(k)), k) << k;
    EXPECT_EQ(level_of_height(g, 0.0f), 1);
    EXPECT_EQ(level_of_height(g, 1.0e9f), g.nlvl);           // clamped
    EXPECT_EQ(level_of_height(g, -1.0e9f), 1);               // no real root
    EXPECT_EQ(level_of_height(g, NAN), 1);
    EXPECT_EQ(particle_level(3.5f, 10), 4);                   // halves away from zero
    EXPECT_EQ(particle_level(3.49f, 10), 3);
    EXPECT_EQ(particle_level(40.0f, 10), 10);
    EXPECT_EQ(particle_level(-2.0e12f, 10), 1);
}

TEST(LevelMass, PuffRunSpreadsOverItsLevels) {
    const InternalVerticalGrid g = grid();
    const float top = 25000.0f;
    // Centre at level 7 (1300 m), reaching 425 m up to level 8 and down to
    // 875 m, nearest to level 6.
    const float z = 1.0f - g.height(7) / top;
    const float sz = (g.height(8) - g.height(7)) / (1.54f * top);
    const LevelSpan s = particle_level_span(g, top, 2, z, sz, 7);
    EXPECT_EQ(s.top, 8);
    EXPECT_EQ(s.bottom, 6);
    const LevelSpan p = particle_level_span(g, top, 0, z, sz, 7);
    EXPECT_EQ(p.top, 7);
    EXPECT_EQ(p.bottom, 7);
    EXPECT_EQ(particle_level_span(g, top, 0, z, sz, 99).top, 10);
    // A puff reaching below the ground starts at level 1.
    EXPECT_EQ(particle_level_span(g, top, 1, z, 10.0f * sz, 7).bottom, 1);

    std::vector<float> levels(10, 0.0f);
    LevelMass sums{levels, 0.0f};
    add_level_mass(sums, s, 9.0f);
    add_level_mass(sums, p, 1.0f);
    EXPECT_FLOAT_EQ(sums.step_mass_total, 10.0f);
    EXPECT_FLOAT_EQ(levels[5], 3.0f);
    EXPECT_FLOAT_EQ(levels[6], 4.0f);
    EXPECT_FLOAT_EQ(levels[7], 3.0f);
    EXPECT_FLOAT_EQ(levels[8], 0.0f);
    sums.clear();
    EXPECT_EQ(sums.step_mass_total, 0.0f);
    EXPECT_EQ(levels[6], 0.0f);
}

// A step total that overflowed stops the run before the step's outputs; a
// finite one, however large, goes on.
TEST(LevelMass, ANonFiniteStepTotalStopsTheRunNamingTheStep) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const CalendarDate step{24, 1, 1, 11, 40};
    for (const float total : {std::numeric_limits<float>::quiet_NaN(), kInf, -kInf}) {
        test::TestConsole console, log;
        LevelMass sums;
        sums.step_mass_total = total;
        try {
            stop_on_non_finite_mass_total(sums, step, console.with(log.out));
            ADD_FAILURE() << total << " went on";
        } catch (const RunStop& stop) {
            EXPECT_EQ(stop.code(), kStopInput);
        }
        const std::string line = "the airborne mass total is not a finite number after the time step of - ";
        EXPECT_NE(console.text().find(line), std::string::npos) << console.text();
        EXPECT_NE(console.text().find("24           1           1          11          40"), std::string::npos)
            << console.text();
        EXPECT_NE(log.text().find(line), std::string::npos);
    }
    test::TestConsole console, log;
    LevelMass sums;
    sums.step_mass_total = std::numeric_limits<float>::max();
    stop_on_non_finite_mass_total(sums, step, console.with(log.out));
    EXPECT_TRUE(console.text().empty());
}

}  // namespace
}  // namespace orv
