#include <gtest/gtest.h>

#include <sstream>

#include "dispersion/point_release.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"

namespace orv {
namespace {

using test::make_particles;

constexpr float kTop = 25000.0f;

SourceLocation location_at(float x, float y, float height) {
    SourceLocation l;
    l.grid_x = x;
    l.grid_y = y;
    l.height = height;
    l.release_z = 1.0f - height / kTop;
    l.met_grid = 1;
    return l;
}

Pollutant pollutant(float rate, float hours, int32_t start) {
    Pollutant d;
    d.emission_rate = rate;
    d.emission_hours = hours;
    d.release_start_minute = start;
    return d;
}

class PointRelease : public ::testing::Test {
protected:
    PointRelease() {
        log.attach(messages);
        s.NUMPAR = 10;
    }
    int32_t step(float dt, int32_t now) { return emspnt_hg(locs, dirt, s, dt, now, p, state, log); }
    float mass_of(int32_t slot, int32_t first, int32_t count) {
        float m = 0.0f;
        for (int32_t q = first; q < first + count; ++q) m += p.mass(slot, q);
        return m;
    }

    Settings s;
    std::ostringstream messages;
    TextOut log;
    PointReleaseState state;
    std::vector<SourceLocation> locs{location_at(50.0f, 60.0f, 100.0f)};
    std::vector<Pollutant> dirt{pollutant(8.0f, 2.5f, 1000)};
    ParticleArrays p = make_particles(1000, 1);
};

TEST_F(PointRelease, PartialLastStepCarriesItsShareOfTheMass) {
    // 10 particles over 2.5 h: 4 per hour, 4 per 60-minute step.
    EXPECT_EQ(step(60.0f, 1000), 0);
    ASSERT_EQ(p.particle_count, 4);
    EXPECT_FLOAT_EQ(mass_of(0, 0, 4), 8.0f);
    step(60.0f, 1060);
    ASSERT_EQ(p.particle_count, 8);
    step(60.0f, 1120);  // the last half hour
    ASSERT_EQ(p.particle_count, 12);
    EXPECT_FLOAT_EQ(mass_of(0, 8, 4), 4.0f);
    step(60.0f, 1180);
    EXPECT_EQ(p.particle_count, 12);
    EXPECT_EQ(messages.str(),
              "  NOTICE emspnt_hg: emissions started\n  NOTICE emspnt_hg: emissions terminated\n");
    // Each new entry: the source's place, a new particle of pollutant 1.
    for (int32_t q = 0; q < 12; ++q) {
        EXPECT_EQ(p.particle_sort_key[q], q + 1);
        EXPECT_EQ(p.particle_x[q], 50.0f);
        EXPECT_EQ(p.particle_y[q], 60.0f);
        EXPECT_EQ(p.particle_z[q], locs[0].release_z);
        EXPECT_EQ(p.particle_age[q], 0);
        EXPECT_EQ(p.particle_grid[q], 1);
        EXPECT_EQ(p.particle_hdwp[q], 0);
    }
}

TEST_F(PointRelease, ReleaseShorterThanAStepEmitsItsWholeMassInOneStep) {
    dirt[0] = pollutant(8.0f, 0.25f, 1000);
    s.INITD = 1;  // one puff per step
    step(60.0f, 1000);
    ASSERT_EQ(p.particle_count, 1);
    EXPECT_FLOAT_EQ(p.mass(0, 0), 2.0f);
    step(60.0f, 1060);
    EXPECT_EQ(p.particle_count, 1);
}

TEST_F(PointRelease, BackwardRunCountsTheWindowBackFromTheStart) {
    dirt[0] = pollutant(6.0f, -2.0f, 5000);
    s.INITD = 2;
    step(-60.0f, 5000);
    step(-60.0f, 4940);
    step(-60.0f, 4880);
    EXPECT_EQ(p.particle_count, 2);
    EXPECT_FLOAT_EQ(p.mass(0, 0) + p.mass(0, 1), 12.0f);
}

TEST_F(PointRelease, TwoLocationsAtOnePlaceFormAVerticalLineSource) {
    locs = {location_at(50.0f, 60.0f, 10.0f), location_at(50.0f, 60.0f, 500.0f)};
    const float z10 = locs[0].release_z, z500 = locs[1].release_z;
    const float span = z10 - z500;
    s.INITD = 1;
    step(60.0f, 1000);
    ASSERT_EQ(p.particle_count, 1);  // the upper location releases alone
    EXPECT_EQ(locs[0].release_z_partner, 0.0f);
    EXPECT_EQ(locs[1].release_z_partner, z10);
    EXPECT_FLOAT_EQ(p.particle_z[0], z10 - span * 0.5f);
    EXPECT_FLOAT_EQ(p.particle_sigma_z[0], span / 1.54f * 0.5f);

    s.INITD = 0;  // particles spread evenly up the line, the last at the top
    p.particle_count = 0;
    step(60.0f, 1060);
    ASSERT_EQ(p.particle_count, 4);
    for (int32_t r = 1; r <= 4; ++r) {
        EXPECT_FLOAT_EQ(p.particle_z[r - 1], z10 - static_cast<float>(r) * span / 4.0f);
        EXPECT_EQ(p.particle_sigma_z[r - 1], 0.0f);
    }
    EXPECT_NEAR(p.particle_z[3], z500, 1e-6f);
}

TEST_F(PointRelease, MatrixModeReleasesOnePollutantPerLocation) {
    s.ICHEM = 1;
    s.INITD = 1;
    p = make_particles(10, 2);
    locs = {location_at(10.0f, 10.0f, 100.0f), location_at(20.0f, 20.0f, 100.0f)};
    dirt = {pollutant(3.0f, 1.0f, 1000), pollutant(5.0f, 1.0f, 1000)};
    step(60.0f, 1000);
    ASSERT_EQ(p.particle_count, 2);
    EXPECT_EQ(p.mass(0, 0), 3.0f);
    EXPECT_EQ(p.mass(1, 0), 0.0f);
    EXPECT_EQ(p.mass(0, 1), 0.0f);
    EXPECT_EQ(p.mass(1, 1), 5.0f);
    EXPECT_EQ(p.particle_pollutant[1], 1);
    // A location's own rate replaces the pollutant's.
    locs[1].source_rate = 7.0f;
    step(60.0f, 1000);
    EXPECT_EQ(p.mass(1, 3), 7.0f);
}

TEST_F(PointRelease, CycleRestartsTheReleaseAndZeroCycleLeavesIt) {
    s.INITD = 1;
    s.QCYCLE = 24.0f;
    dirt[0] = pollutant(1.0f, 2.0f, 0);
    step(60.0f, 0);
    EXPECT_EQ(dirt[0].release_start_minute, 0);
    step(60.0f, 60);  // the release ends with this step
    EXPECT_EQ(dirt[0].release_start_minute, 1440);
    step(60.0f, 120);
    EXPECT_EQ(p.particle_count, 2);
    step(60.0f, 1440);
    EXPECT_EQ(p.particle_count, 3);
    EXPECT_NE(messages.str().find("started\n  NOTICE emspnt_hg: emissions terminated\n  NOTICE emspnt_hg: "
                                  "emissions started"),
              std::string::npos);

    s.QCYCLE = 0.0f;
    dirt[0] = pollutant(1.0f, 2.0f, 0);
    step(60.0f, 60);
    EXPECT_EQ(dirt[0].release_start_minute, 0);
}

TEST_F(PointRelease, SourceAtTheModelTopReleasesNothing) {
    locs = {location_at(5.0f, 5.0f, kTop)};
    step(60.0f, 1000);
    EXPECT_EQ(p.particle_count, 0);
    // Several locations, none releasing: nothing, and no division by zero.
    locs = {location_at(5.0f, 5.0f, kTop), location_at(6.0f, 5.0f, kTop)};
    step(60.0f, 1000);
    EXPECT_EQ(p.particle_count, 0);
    locs.clear();
    step(60.0f, 1000);
    EXPECT_EQ(p.particle_count, 0);
}

TEST_F(PointRelease, PollutantsBeyondTheMassSlotsReplaceTheLastSlotWithOneWarning) {
    s.INITD = 1;
    dirt = {pollutant(3.0f, 1.0f, 1000), pollutant(5.0f, 1.0f, 1000)};
    step(60.0f, 1000);
    step(60.0f, 1000);
    EXPECT_EQ(p.mass(0, 0), 5.0f);
    EXPECT_EQ(p.mass(0, 1), 5.0f);
    const std::string log_text = messages.str();
    const size_t first = log_text.find("WARNING emspnt_hg:");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log_text.find("WARNING emspnt_hg:", first + 1), std::string::npos);
}

TEST_F(PointRelease, FullArraysPinTheCountAndRaiseTheLimitFlag) {
    p = make_particles(3, 1);
    s.QCYCLE = 1.0f;
    dirt[0] = pollutant(8.0f, 1.0f, 1000);
    EXPECT_EQ(step(60.0f, 1000), 1);
    EXPECT_EQ(p.particle_count, 3);
    EXPECT_NE(messages.str().find(" Warning: emspnt_hg - exceeding puff limit"), std::string::npos);
    EXPECT_EQ(dirt[0].release_start_minute, 1060);  // the cycle still runs
}

}  // namespace
}  // namespace orv
