#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/run_stop.hpp"
#include "dispersion/concentration_sum.hpp"
#include "dispersion/dispersion_random.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

using test::make_particles;

constexpr double kMetresPerDegree = 111198.32;
constexpr float kTop = 25000.0f;

class Summation : public ::testing::Test {
protected:
    TextOut quiet;
    Summation() { log.attach(messages); }

    // A snapshot grid of n x n points of `spacing` degrees from (-1, -1),
    // levels 0 (deposition), 100, 500 and 1000 m.
    ConcentrationGrid fine_grid(int32_t n = 201, float spacing = 0.01f) {
        ConcentrationGrid g;
        g.lon_points = g.lat_points = n;
        g.lon_spacing = g.lat_spacing = spacing;
        g.lower_left_lat = g.lower_left_lon = -1.0f;
        g.grid_spacing_km = 1.1f;
        g.level_count = 4;
        g.heights[0] = 0;
        g.heights[1] = 100;
        g.heights[2] = 500;
        g.heights[3] = 1000;
        g.sampling_type = 1;
        g.interval = 60;
        g.start_minute = 0;
        g.stop_minute = 100000;
        return g;
    }
    void set_up(std::vector<ConcentrationGrid> g, int32_t pollutants = 1) {
        grids = std::move(g);
        allocate_concentration_array(conc, grids, pollutants, quiet);
    }
    // The mass held by grid g: concentration times cell volume, summed, for
    // a particle at latitude lat (the cell size is taken at the particle).
    double grid_mass(int32_t g, int32_t pollutant, float lat) const {
        const ConcentrationGrid& cg = grids[static_cast<size_t>(g - 1)];
        const double area = cg.lon_spacing * kMetresPerDegree * std::cos(lat / 57.295776) * kMetresPerDegree *
                            cg.lat_spacing;
        double total = 0.0;
        for (int32_t l = 2; l <= cg.level_count; ++l) {
            const double depth = cg.heights[static_cast<size_t>(l - 1)] - cg.heights[static_cast<size_t>(l - 2)];
            for (int32_t j = 1; j <= cg.lat_points; ++j)
                for (int32_t i = 1; i <= cg.lon_points; ++i) total += conc.at(i, j, l, pollutant, g) * area * depth;
        }
        return total;
    }
    void place(int32_t q, int32_t type, float height, float sigma_h, float mass) {
        p.particle_hdwp[q] = type;
        p.particle_z[q] = 1.0f - height / kTop;
        p.particle_sigma_h[q] = sigma_h;
        p.mass(0, q) = mass;
    }
    void sum(float lat, float lon, int32_t q = 0, std::span<const float> dep = {}) {
        consum(grids, step, SummationPoint{lat, lon, 0.0f, 0.0f, 0.0f}, p, q, dep, spacing, conc, console.with(log));
    }

    std::vector<ConcentrationGrid> grids;
    ConcentrationArray conc;
    ParticleArrays p = make_particles(10, 1);
    SummationStep step{15.0f, 30, kTop, 0};
    float spacing = 1.0e6f;
    std::ostringstream messages;
    TextOut log;
    test::TestConsole console;
};

TEST_F(Summation, ParticlesKeepTheirMass) {
    set_up({fine_grid()});
    DispersionGenerator gen;
    for (int k = 0; k < 50; ++k) {
        zero_concentration_grid(conc, 1);
        const float lat = -0.9f + 1.8f * draw_uniform_random(gen);
        const float lon = -0.9f + 1.8f * draw_uniform_random(gen);
        place(0, 0, 1000.0f * draw_uniform_random(gen), 0.0f, 3.0f);
        sum(lat, lon);
        ASSERT_NEAR(grid_mass(1, 1, lat) / 3.0, 1.0, 1e-6) << k;
    }
    EXPECT_FLOAT_EQ(spacing, 1.1f);
}

TEST_F(Summation, PuffsKeepTheirMassWithinTheirCutOff) {
    set_up({fine_grid()});
    DispersionGenerator gen;
    // Windows some 30 and over 100 points across.
    for (const float sigma_h : {5000.0f, 20000.0f}) {
        for (int k = 0; k < 10; ++k) {
            const float lat = -0.5f + draw_uniform_random(gen);
            const float lon = -0.5f + draw_uniform_random(gen);
            zero_concentration_grid(conc, 1);
            place(0, 3, 300.0f, sigma_h, 2.0f);  // Gaussian: 0.98889 inside 3 sigma
            sum(lat, lon);
            EXPECT_NEAR(grid_mass(1, 1, lat) / 2.0 / (1.0 - std::exp(-4.5)), 1.0, 0.005) << sigma_h << " " << k;
            zero_concentration_grid(conc, 1);
            place(0, 4, 300.0f, sigma_h, 2.0f);  // top-hat
            sum(lat, lon);
            EXPECT_NEAR(grid_mass(1, 1, lat) / 2.0, 1.0, 0.03) << sigma_h << " " << k;
        }
    }
}

TEST_F(Summation, VerticalPuffSpreadsOverTheLevelsOfItsExtent) {
    ConcentrationGrid g = fine_grid(11, 0.1f);
    g.level_count = 5;
    for (int32_t l = 0; l < 5; ++l) g.heights[static_cast<size_t>(l)] = 100 * (l + 1);
    set_up({g});
    // Centre 95 m up, 1.54 sigma_z worth 295 m: from 200 m below the
    // ground to 390 m, 590 m deep; levels 100, 200 and 300 m take mass.
    place(0, 1, 95.0f, 2000.0f, 6.0f);
    p.particle_sigma_z[0] = 295.0f / kTop / 1.54f;
    sum(0.0f, 0.0f);  // on grid point (11, 11)
    const float a = 1.0f / (6.283185f * 2000.0f * 2000.0f);
    for (int32_t l = 1; l <= 3; ++l) EXPECT_NEAR(conc.at(11, 11, l, 1, 1) / (6.0f * a / 590.0f), 1.0f, 1e-4f) << l;
    EXPECT_EQ(conc.at(11, 11, 4, 1, 1), 0.0f);
    EXPECT_EQ(conc.at(11, 11, 5, 1, 1), 0.0f);
}

TEST_F(Summation, EveryLevelOfEverySlotOfADeepPuffIsFilled) {
    // 4 slots x 20 levels, all within the puff: more additions than one pass
    // over the window holds.
    ConcentrationGrid g = fine_grid(11, 0.1f);
    g.level_count = 20;
    for (int32_t l = 0; l < 20; ++l) g.heights[static_cast<size_t>(l)] = 50 * (l + 1);
    set_up({g}, 4);
    p = make_particles(1, 4);
    place(0, 1, 500.0f, 20000.0f, 1.0f);
    p.particle_sigma_z[0] = 600.0f / kTop / 1.54f;  // from 100 m below the ground to 1100 m
    for (int32_t s = 0; s < 4; ++s) p.mass(s, 0) = static_cast<float>(s + 1);
    sum(0.0f, 0.0f);  // on grid point (11, 11)
    const float a = 1.0f / (6.283185f * 20000.0f * 20000.0f);
    ASSERT_GT(conc.at(10, 10, 1, 1, 1), 0.0f);
    for (int32_t s = 1; s <= 4; ++s)
        for (int32_t l = 1; l <= 20; ++l) {
            EXPECT_NEAR(conc.at(11, 11, l, s, 1) / (static_cast<float>(s) * a / 1200.0f), 1.0f, 1e-4f) << s << l;
            EXPECT_FLOAT_EQ(conc.at(10, 10, l, s, 1), conc.at(10, 10, 1, 1, 1) * static_cast<float>(s)) << s << l;
        }
}

TEST_F(Summation, DepositionLevelsTakeOnlyDepositedMass) {
    set_up({fine_grid()});
    place(0, 0, 50.0f, 0.0f, 1.0f);
    sum(0.0f, 0.0f);
    EXPECT_EQ(conc.at(101, 101, 1, 1, 1), 0.0f);
    EXPECT_GT(conc.at(101, 101, 2, 1, 1), 0.0f);
    const float dep[] = {0.5f};
    sum(0.0f, 0.0f, 0, dep);
    const double area = 0.01 * kMetresPerDegree * kMetresPerDegree * 0.01;
    EXPECT_NEAR(conc.at(101, 101, 1, 1, 1) * area, 0.5, 1e-6);  // per square metre, no time weight
}

TEST_F(Summation, WindowsAndWeights) {
    ConcentrationGrid east = fine_grid(21, 0.1f);
    east.lower_left_lon = 10.0f;
    ConcentrationGrid avg = fine_grid(21, 0.1f);
    avg.sampling_type = 0;
    ConcentrationGrid last = avg;
    last.sampling_type = -30;
    ConcentrationGrid maximum = avg;
    maximum.sampling_type = 2;
    ConcentrationGrid later = avg;
    later.start_minute = 60;
    set_up({east, avg, last, maximum, later});
    place(0, 0, 50.0f, 0.0f, 1.0f);
    sum(0.0f, -350.0f);  // 10 degrees east once wrapped onto the first grid
    EXPECT_GT(conc.at(1, 11, 2, 1, 1), 0.0f);
    sum(0.0f, 0.0f);  // and here on the others
    const float full = conc.at(11, 11, 2, 1, 2) * 4.0f;
    EXPECT_GT(full, 0.0f);
    EXPECT_FLOAT_EQ(conc.at(11, 11, 2, 1, 3), full / 2.0f);  // 15 of the last 30 minutes
    EXPECT_EQ(conc.at(11, 11, 2, 1, 4), 0.0f);  // maximum grids are filled by the driver
    EXPECT_EQ(conc.at(11, 11, 2, 1, 5), 0.0f);  // not yet sampling

    // Off the grid, and a puff whose window holds no point: nothing.
    zero_concentration_grid(conc, 2);
    sum(5.0f, 0.0f);
    place(0, 3, 50.0f, 10.0f, 1.0f);
    sum(0.05f, 0.05f);
    double total = 0.0;
    for (int64_t k = 0; k < conc.values.size(); ++k) total += conc.values[k];
    EXPECT_GT(total, 0.0);
    EXPECT_EQ(grid_mass(2, 1, 0.0f), 0.0);
}

TEST_F(Summation, PolesAndBrokenPositionsAreHandledSafely) {
    ConcentrationGrid global = fine_grid(360, 1.0f);
    global.lat_points = 181;
    global.lower_left_lat = -90.0f;
    global.lower_left_lon = -180.0f;
    set_up({global});
    for (float lat : {90.0f, 89.999f, -90.0f}) {
        place(0, 3, 300.0f, 50000.0f, 1.0f);
        sum(lat, 0.0f);
        place(0, 0, 300.0f, 0.0f, 1.0f);
        sum(lat, 0.0f);
    }
    place(0, 4, 300.0f, 50000.0f, 1.0f);
    zero_concentration_grid(conc, 1);
    sum(std::nanf(""), 0.0f);
    sum(0.0f, INFINITY);
    p.particle_z[0] = std::nanf("");
    sum(0.0f, 0.0f);
    for (int64_t k = 0; k < conc.values.size(); ++k) ASSERT_EQ(conc.values[k], 0.0f);
}

TEST_F(Summation, OnlyExistingPollutantSlotsAreTouched) {
    set_up({fine_grid(11, 0.1f)}, 2);
    p = make_particles(2, 3);  // three mass slots, two pollutants in the array
    p.particle_hdwp[0] = 0;
    p.particle_z[0] = 1.0f - 50.0f / kTop;
    p.mass(0, 0) = 1.0f;
    p.mass(1, 0) = 2.0f;
    p.mass(2, 0) = 4.0f;
    const float dep[] = {0.0f, 0.0f, 8.0f};
    sum(0.0f, 0.0f, 0, dep);
    EXPECT_FLOAT_EQ(conc.at(11, 11, 2, 2, 1) / conc.at(11, 11, 2, 1, 1), 2.0f);
    decay_concentration_grids(grids, {Pollutant{}, Pollutant{}, Pollutant{}}, 60.0f, conc);

    ParticleArrays one = make_particles(1, 1);
    one.particle_z[0] = 0.999f;
    one.mass(0, 0) = 1.0f;
    one.particle_pollutant[0] = 5;  // beyond the array
    zero_concentration_grid(conc, 1);
    consum(grids, step, SummationPoint{}, one, 0, {}, spacing, conc, console.with(log));
    for (int64_t k = 0; k < conc.values.size(); ++k) ASSERT_EQ(conc.values[k], 0.0f);
    one.particle_pollutant[0] = 2;
    consum(grids, step, SummationPoint{}, one, 0, {}, spacing, conc, console.with(log));
    EXPECT_GT(conc.at(11, 11, 2, 2, 1), 0.0f);
}

TEST_F(Summation, SamplersAddNothingAndUnknownTypesStopTheRun) {
    set_up({fine_grid(11, 0.1f)});
    place(0, 6, 50.0f, 0.0f, 1.0f);
    sum(0.0f, 0.0f);
    for (int64_t k = 0; k < conc.values.size(); ++k) ASSERT_EQ(conc.values[k], 0.0f);
    place(0, 7, 50.0f, 0.0f, 1.0f);
    try {
        sum(0.0f, 0.0f);
        FAIL();
    } catch (const RunStop& e) {
        EXPECT_EQ(e.code(), kStopInput);
    }
    EXPECT_NE(messages.str().find("*ERROR* consum: Invalid horizontal type - "), std::string::npos);
}

TEST_F(Summation, DecayTouchesOnlyDepositionLevelsOfDecayingPollutants) {
    set_up({fine_grid(11, 0.1f)}, 2);
    conc.values.fill(1.0f);
    std::vector<Pollutant> dirt(2);
    dirt[0].DORAD = true;
    dirt[0].RHALF = 1.0f;
    decay_concentration_grids(grids, dirt, 60.0f, conc);
    EXPECT_FLOAT_EQ(conc.at(3, 4, 1, 1, 1), std::exp(-0.6931472f / 24.0f));
    EXPECT_EQ(conc.at(3, 4, 2, 1, 1), 1.0f);
    EXPECT_EQ(conc.at(3, 4, 1, 2, 1), 1.0f);
}

TEST_F(Summation, MeteorologicalGridSums) {
    ConcentrationGrid g = fine_grid(40, 1.0f);
    set_up({g});
    SummationPoint at{0.0f, 0.0f, 0.0f, 2000.0f, 3000.0f};
    p.particle_x[0] = 3.2f;
    p.particle_y[0] = 4.7f;
    place(0, 0, 50.0f, 0.0f, 1.0f);
    metsum(grids, step, at, p, 0, {}, spacing, conc, console.with(log));
    EXPECT_FLOAT_EQ(conc.at(3, 5, 2, 1, 1), 1.0f / (2000.0f * 3000.0f) / 100.0f);
    EXPECT_FLOAT_EQ(spacing, 2.0f);

    // A Gaussian puff keeps its mass inside the cut-off; a backward run sums too.
    step.dt_minutes = -15.0f;
    step.model_time = -30;
    zero_concentration_grid(conc, 1);
    at.spacing_x = at.spacing_y = 1000.0f;
    p.particle_x[0] = 20.3f;
    p.particle_y[0] = 19.6f;
    place(0, 3, 300.0f, 5000.0f, 1.0f);
    metsum(grids, step, at, p, 0, {}, spacing, conc, console.with(log));
    double total = 0.0;
    for (int32_t j = 1; j <= 40; ++j)
        for (int32_t i = 1; i <= 40; ++i) total += conc.at(i, j, 3, 1, 1) * 1000.0 * 1000.0 * 400.0;
    EXPECT_NEAR(total / (1.0 - std::exp(-4.5)), 1.0, 0.005);
}

TEST_F(Summation, PlainMassAtTheNearestPoint) {
    set_up({fine_grid(21, 0.1f)});
    place(0, 2, 300.0f, 5000.0f, 2.0f);
    const SummationPoint at{0.04f, 0.26f, 0.0f, 0.0f, 0.0f};
    sum_particle_on_latlon_grids(grids, step, at, p, 0, spacing, conc);
    EXPECT_EQ(conc.at(14, 11, 3, 1, 1), 2.0f);
    double total = 0.0;
    for (int64_t k = 0; k < conc.values.size(); ++k) total += conc.values[k];
    EXPECT_EQ(total, 2.0);
    // Heights above sea level: the terrain is added.
    step.KMSL = 1;
    zero_concentration_grid(conc, 1);
    sum_particle_on_latlon_grids(grids, step, SummationPoint{0.04f, 0.26f, 400.0f, 0.0f, 0.0f}, p, 0, spacing,
                                 conc);
    EXPECT_EQ(conc.at(14, 11, 4, 1, 1), 2.0f);
}

}  // namespace
}  // namespace orv
