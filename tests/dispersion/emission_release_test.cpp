// Releases from the emission file's source table and the plume rise that
// places them.

#include <gtest/gtest.h>

#include <cmath>

#include "dispersion/emission_release.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/dispersion/emission_test_support.hpp"

namespace orv {
namespace {

using test::make_particles;
using test::Messages;
using test::run_captured;

constexpr int32_t kNow = 1000000;

SourcePollutantRecord source(int32_t start, int32_t stop, float rate) {
    SourcePollutantRecord r;
    r.start_minute = start;
    r.stop_minute = stop;
    r.met_grid = 1;
    r.grid_x = 21.0f;
    r.grid_y = 22.0f;
    r.release_height = 50.0f;
    r.emission_rate = rate;
    return r;
}

double mass_sum(ParticleArrays& p, int32_t slot, int32_t from, int32_t to) {
    double m = 0.0;
    for (int32_t q = from; q < to; ++q) m += p.mass(slot, q);
    return m;
}

class EmissionRelease : public ::testing::Test {
protected:
    EmissionRelease() {
        s.NUMPAR = 2500;
        allocate_source_pollutant_matrix(m, 1, 1);
        m.at(1, 1) = source(kNow, kNow + 120, 8.0f);
    }
    int32_t step(float dt, int32_t now, int32_t nsrc = 1, int32_t numtyp = 1) {
        return emstmp(m, nsrc, numtyp, s, dt, now, p, msg.msg());
    }
    Settings s;
    SourcePollutantMatrix m;
    ParticleArrays p = make_particles(20000, 1);
    Messages msg;
};

TEST_F(EmissionRelease, WindowReleasesRateTimesHoursInEqualSteps) {
    // Two hours, 15-minute steps: 1250 particles an hour, 312 a step.
    int32_t before = 0;
    for (int32_t k = 0; k < 8; ++k) {
        EXPECT_EQ(step(15.0f, kNow + 15 * k), 0);
        EXPECT_EQ(p.particle_count - before, 312);
        EXPECT_NEAR(mass_sum(p, 0, before, p.particle_count), 8.0 / 4.0, 2e-6);
        before = p.particle_count;
    }
    EXPECT_NEAR(mass_sum(p, 0, 0, p.particle_count), 8.0 * 2.0, 16e-6);
    step(15.0f, kNow + 120);  // closed
    step(15.0f, kNow - 15);   // not open yet
    EXPECT_EQ(p.particle_count, before);
    // Each release carries its slot's position, height in metres and codes.
    EXPECT_FLOAT_EQ(p.particle_x[0], 21.0f);
    EXPECT_FLOAT_EQ(p.particle_y[0], 22.0f);
    EXPECT_FLOAT_EQ(p.particle_z[0], 50.0f);
    EXPECT_EQ(p.particle_sort_key[5], 6);
    EXPECT_EQ(p.particle_pollutant[0], 1);
    EXPECT_EQ(p.particle_grid[0], 1);
    EXPECT_EQ(p.particle_age[0], 0);
    EXPECT_FLOAT_EQ(p.particle_sigma_h[0], 0.0f);
}

TEST_F(EmissionRelease, ShortWindowCountsAsOneStepAndBackwardWindowsRunDown) {
    m.at(1, 1) = source(kNow, kNow + 5, 6.0f);  // 5 minutes, steps of 30
    step(30.0f, kNow);
    EXPECT_EQ(p.particle_count, 2500);  // 5000 an hour over the half-hour step
    EXPECT_NEAR(mass_sum(p, 0, 0, p.particle_count), 3.0, 3e-6);

    ParticleArrays q = make_particles(20000, 1);
    m.at(1, 1) = source(kNow + 60, kNow, 4.0f);  // backward: start after stop
    EXPECT_EQ(emstmp(m, 1, 1, s, -60.0f, kNow + 60, q, msg.msg()), 0);
    EXPECT_NEAR(mass_sum(q, 0, 0, q.particle_count), 4.0, 4e-6);
    const int32_t after = q.particle_count;
    emstmp(m, 1, 1, s, -60.0f, kNow, q, msg.msg());
    EXPECT_EQ(q.particle_count, after) << "the stop end is outside the window";
}

TEST_F(EmissionRelease, OneFamilyCarriesEveryPollutantOfTheSlot) {
    allocate_source_pollutant_matrix(m, 1, 2);
    m.at(1, 1) = source(kNow, kNow + 60, 6.0f);
    m.at(1, 2) = source(kNow + 60, kNow + 120, 9.0f);  // not yet open
    m.at(1, 2).grid_x = 99.0f;
    p = make_particles(20000, 2);
    s.INITD = 1;  // puffs: one per slot and step
    step(60.0f, kNow, 1, 2);
    ASSERT_EQ(p.particle_count, 1);
    EXPECT_FLOAT_EQ(p.mass(0, 0), 6.0f);
    EXPECT_FLOAT_EQ(p.mass(1, 0), 0.0f);
    EXPECT_FLOAT_EQ(p.particle_x[0], 21.0f) << "the position of the first pollutant's record";
    step(60.0f, kNow + 60, 1, 2);
    ASSERT_EQ(p.particle_count, 2);
    EXPECT_FLOAT_EQ(p.mass(0, 1), 0.0f);
    EXPECT_FLOAT_EQ(p.mass(1, 1), 9.0f);
}

TEST_F(EmissionRelease, PuffModesAndAreaSources) {
    for (int32_t code : {1, 2, 120, 210}) {
        s.INITD = code;
        p.particle_count = 0;
        m.at(1, 1).source_area = 3.1415927f;
        step(10.0f, kNow);
        EXPECT_EQ(p.particle_count, 1) << code;
        EXPECT_EQ(p.particle_hdwp[0], code) << "the code itself, not its mode";
        EXPECT_NEAR(p.particle_sigma_h[0], 1.0f / 1.54f, 1e-6f);
    }
}

TEST_F(EmissionRelease, HeatReleaseTravelsInSpreadAndAge) {
    m.at(1, 1).heat_release = 2.0e6f;
    s.INITD = 1;
    step(60.0f, kNow);
    EXPECT_FLOAT_EQ(p.particle_sigma_z[0], 2.0e6f);
    EXPECT_EQ(p.particle_age[0], 120);
}

TEST_F(EmissionRelease, FullArraysStopTheCallWithOneWarning) {
    p = make_particles(100, 1);
    allocate_source_pollutant_matrix(m, 2, 1);
    m.at(1, 1) = source(kNow, kNow + 60, 1.0f);
    m.at(2, 1) = source(kNow, kNow + 60, 1.0f);
    EXPECT_EQ(step(60.0f, kNow, 2, 1), 1);
    EXPECT_EQ(p.particle_count, 100);
    EXPECT_EQ(msg.count("Warning: emstmp - exceeding puff limit"), 1u);
}

TEST_F(EmissionRelease, NoSourcesReleaseNothingAndOddMassSlotsStop) {
    allocate_source_pollutant_matrix(m, 0, 1);
    EXPECT_EQ(step(15.0f, kNow, 0, 1), 0);
    EXPECT_EQ(p.particle_count, 0);

    allocate_source_pollutant_matrix(m, 1, 2);
    p = make_particles(10, 3);
    const auto o = run_captured(msg.console, [&] { step(15.0f, kNow, 1, 2); });
    EXPECT_EQ(o.stop, kStopPlain);
    EXPECT_EQ(msg.count("*ERROR*: emstmp - max mass dimension other than 1 or numtyp"), 1u);
    EXPECT_NE(o.console.find("Abnormal termination (emstmp) - see MESSAGE file"), std::string::npos);
}

// The plume rise formulas, evaluated here in double precision.
double rise_formula(int32_t window, double heat, double s, double u, double ustar, double zi) {
    const double f = 7.6e-7 * heat;
    double rise, cap;
    if (s <= 0.0) {
        rise = 1.3 * f / (u * ustar * ustar);
        cap = 0.75 * zi;
    } else if (u > 0.5) {
        rise = 2.6 * std::pow(f / (u * s), 0.333333);
        cap = 2.0 * zi;
    } else {
        rise = 5.3 * std::pow(f, 0.25) / std::pow(s, 0.375);
        cap = 2.0 * zi;
    }
    return window < 1440 ? std::min(rise, cap) : std::min(rise, 3000.0);
}

TEST(PlumeRise, FollowsTheFormulasInEachRegime) {
    struct Case {
        int32_t window;
        float heat, s, u, ustar, zi;
    } cases[] = {
        {60, 1.0e7f, 0.0f, 5.0f, 0.4f, 1000.0f},     // neutral
        {60, 1.0e7f, -2.0e-4f, 3.0f, 0.3f, 1500.0f}, // unstable
        {60, 1.0e7f, 1.0e-4f, 3.0f, 0.3f, 800.0f},   // stable with wind
        {60, 1.0e7f, 1.0e-4f, 0.3f, 0.1f, 800.0f},   // calm stable
        {60, 1.0e9f, 1.0e-4f, 3.0f, 0.3f, 100.0f},   // capped at twice the mixed layer
        {60, 1.0e9f, 0.0f, 2.0f, 0.2f, 400.0f},      // capped at 0.75 of it
        {1440, 1.0e9f, 0.0f, 2.0f, 0.2f, 400.0f},    // a day or more: only 3000 m
        {2000, 1.0e7f, 1.0e-4f, 0.3f, 0.1f, 0.0f},
    };
    for (const Case& c : cases) {
        const double want = rise_formula(c.window, c.heat, c.s, c.u, c.ustar, c.zi);
        const float got = compute_plume_rise(c.window, c.heat, c.s, c.u, c.ustar, c.zi);
        EXPECT_NEAR(got, want, 1e-4 * want) << c.heat << " " << c.s << " " << c.u;
    }
    // Calm neutral air: the rise cannot be computed and the cap holds.
    EXPECT_FLOAT_EQ(compute_plume_rise(60, 1.0e7f, 0.0f, 2.0f, 0.0f, 400.0f), 300.0f);
    EXPECT_FLOAT_EQ(compute_plume_rise(1440, 1.0e7f, 0.0f, 0.0f, 0.0f, 400.0f), 3000.0f);
}

TEST(PlumeRise, ReleaseGoesToStackHeightPlusRiseWithSpreadAndAgeCleared) {
    ParticleArrays p = make_particles(3, 1);
    for (int32_t i = 0; i < 3; ++i) {
        p.particle_z[i] = 50.0f;
        p.particle_age[i] = 60;
        p.particle_sigma_z[i] = i == 1 ? 0.0f : 1.0e7f;
    }
    MetAtParticle met;
    met.terrain_height = 100.0f;
    met.stability_2 = 0.0f;
    met.wind_speed_10m = 5.0f;
    met.friction_velocity = 0.4f;
    met.mixed_layer_depth = 1000.0f;
    const float top = 25000.0f;
    PlumeRiseSums sums;
    emission_release_height(p, 0, true, met, 0.0f, top, sums);
    const float rise = compute_plume_rise(60, 1.0e7f, met);
    EXPECT_NEAR(rise, 12.35f, 1e-3f);
    EXPECT_FLOAT_EQ(p.particle_z[0], 1.0f - (50.0f + rise) / (top - 100.0f));
    emission_release_height(p, 1, true, met, 0.0f, top, sums);  // no heat
    EXPECT_FLOAT_EQ(p.particle_z[1], 1.0f - 50.0f / (top - 100.0f));
    EXPECT_FLOAT_EQ(emission_release_probe_z(p, 2, top), 1.0f - 50.0f / top);
    emission_release_height(p, 2, false, met, 0.9975f, top, sums);  // no meteorology found
    EXPECT_FLOAT_EQ(p.particle_z[2], 0.9975f);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(p.particle_sigma_z[i], 0.0f) << i;
        EXPECT_EQ(p.particle_age[i], 0) << i;
    }
    EXPECT_EQ(sums.count, 1);
    Messages msg;
    write_plume_rise_notice(sums, msg.log);
    EXPECT_EQ(msg.count(" NOTICE emrise: (mixd,rise) - "), 1u);
    EXPECT_NE(msg.str().find("1000"), std::string::npos);
    Messages none;
    write_plume_rise_notice(PlumeRiseSums{}, none.log);
    EXPECT_TRUE(none.str().empty());
}

}  // namespace
}  // namespace orv
