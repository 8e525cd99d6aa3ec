#include "driver/particle_net.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

// A position, height or spread of an active particle that is not a finite
// number stops the run naming the particle and the step; an ended particle's
// values, however damaged, do not.
TEST(ParticleNet, ANonFinitePositionOrSpreadStopsTheRunNamingTheStep) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const CalendarDate step{24, 1, 1, 11, 40};
    test::TestConsole quiet;
    ParticleArrays p;
    allocate_particle_arrays(p, 4, 1, quiet.out);
    p.particle_count = 3;
    for (int32_t i = 0; i < 3; ++i) p.particle_grid[i] = 1;
    struct Case {
        WorkArray<float>& values;
        float value;
        const char* line;  // empty: the run goes on
    };
    const Case cases[] = {
        {p.particle_x, kNaN, "*ERROR* main: x position nan of particle 2 is not a finite number after the time step"},
        {p.particle_y, -kInf, "*ERROR* main: y position -inf of particle 2"},
        {p.particle_z, kInf, "*ERROR* main: height inf of particle 2"},
        {p.particle_sigma_h, kNaN, "*ERROR* main: horizontal spread nan of particle 2"},
        {p.particle_sigma_z, kInf, "*ERROR* main: vertical spread inf of particle 2"},
        {p.particle_z, std::numeric_limits<float>::max(), ""},
        {p.particle_turb_u, kNaN, ""},  // not watched
    };
    for (const Case& c : cases) {
        c.values[1] = c.value;
        test::TestConsole console, log;
        bool stopped = false;
        try {
            stop_on_non_finite_particle(p, step, console.with(log.out));
        } catch (const RunStop& stop) {
            EXPECT_EQ(stop.code(), kStopInput);
            stopped = true;
        }
        EXPECT_EQ(stopped, *c.line != '\0') << c.line;
        EXPECT_NE(console.text().find(c.line), std::string::npos) << console.text();
        EXPECT_NE(log.text().find(c.line), std::string::npos) << log.text();
        if (stopped) {
            EXPECT_NE(console.text().find("24           1           1          11          40"), std::string::npos);
        }
        // Once the particle has ended its values no longer count.
        p.particle_grid[1] = 0;
        EXPECT_NO_THROW(stop_on_non_finite_particle(p, step, console.with(log.out)));
        p.particle_grid[1] = 1;
        c.values[1] = 0.0f;
    }
}

}  // namespace
}  // namespace orv
