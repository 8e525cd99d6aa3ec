#include <gtest/gtest.h>

#include <cmath>

#include "dispersion/random_walk.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"

namespace orv {
namespace {

using test::Column;
using test::make_particles;

// The variance after n steps of the discrete process x += u dt, u := R u +
// sqrt(1 - R^2) sigma g, started from u = 0.
double discrete_walk_variance(double r, double sigma, double step_length, int n) {
    double sum = 0.0;
    for (int m = 1; m <= n; ++m) {
        double a = (1.0 - std::pow(r, m)) / (1.0 - r);
        sum += a * a;
    }
    return step_length * step_length * (1.0 - r * r) * sigma * sigma * sum;
}

double variance(const std::vector<double>& v) {
    double s = 0.0, s2 = 0.0;
    for (double x : v) {
        s += x;
        s2 += x * x;
    }
    double m = s / static_cast<double>(v.size());
    return s2 / static_cast<double>(v.size()) - m * m;
}

MetAtParticle met_with(float su2, float sv2, float level) {
    MetAtParticle m;
    m.turbulence_2 = su2;
    m.turbulence_1 = sv2;
    m.grid_spacing_x = 1000.0f;
    m.grid_spacing_y = 1000.0f;
    m.level_index = level;
    return m;
}

TEST(VerticalSubSteps, ReducedToADivisorOfTheStep) {
    // Lowest layer 1000 m deep; P = 625/700 makes T = 700 s.
    Column c(2, 0.0f, 1000.0f, -1000.0f, 10000.0f, 625.0f / 700.0f);  // levels at 0 and 1000 m
    VerticalSubSteps s = vertical_sub_steps(c.view(), 3600.0f, 0.0f, 200.0f);
    EXPECT_EQ(s.length, 600);
    EXPECT_EQ(s.count, 6);
    // T above the step: one sub-step of the whole step, rounded to seconds.
    s = vertical_sub_steps(c.view(), 600.4f, 0.0f, 200.0f);
    EXPECT_EQ(s.length, 600);
    EXPECT_EQ(s.count, 1);
    // No vertical turbulence at all: no sub-division.
    Column calm(2, 0.0f, 1000.0f, -1000.0f, 10000.0f, 0.0f);
    s = vertical_sub_steps(calm.view(), 3600.0f, 0.0f, 200.0f);
    EXPECT_EQ(s.length, 3600);
    EXPECT_EQ(s.count, 1);
}

class RandomWalk : public ::testing::Test {
protected:
    Settings s;
    Column col{30, 20.0f, 30.0f, 0.0f, 25000.0f, 0.25f};
};

TEST_F(RandomWalk, SpreadMatchesTheDiscreteProcess) {
    const int n = 10000, steps = 20;
    ParticleArrays p = make_particles(n, 1);
    DispersionGenerator gen;
    const float z0 = col.z_of(5000.0f);
    const float k0 = col.view().level_index_of_height(5000.0f);
    for (int i = 0; i < n; ++i) p.particle_z[i] = z0;
    const MetAtParticle met = met_with(1.0f, 4.0f, k0);
    for (int k = 0; k < steps; ++k)
        for (int i = 0; i < n; ++i) compute_particle_dispersion_step(s, met, col.view(), 10.0f, p, i, gen);

    std::vector<double> xs, ys, zs;
    for (int i = 0; i < n; ++i) {
        xs.push_back(p.particle_x[i]);
        ys.push_back(p.particle_y[i]);
        zs.push_back(p.particle_z[i]);
    }
    const double r = std::exp(-600.0 / 10800.0);
    // Horizontal, in grid units of 1000 m.
    EXPECT_NEAR(variance(xs) / discrete_walk_variance(r, 1.0, 0.6, steps), 1.0, 0.06);
    EXPECT_NEAR(variance(ys) / discrete_walk_variance(r, 2.0, 0.6, steps), 1.0, 0.06);
    // Vertical: 30 sub-steps of 20 s per step (lowest layer 90 m deep).
    const VerticalSubSteps sub = vertical_sub_steps(col.view(), 600.0f, 0.0f, 200.0f);
    ASSERT_EQ(sub.length, 20);
    ASSERT_EQ(sub.count, 30);
    const double rv = std::exp(-20.0 / 200.0);
    const double expect = discrete_walk_variance(rv, 0.5, 20.0 / 25000.0, steps * 30);
    EXPECT_NEAR(variance(zs) / expect, 1.0, 0.06);
}

TEST_F(RandomWalk, MovesByTypeAndDrawsOnlyWhatItUses) {
    ParticleArrays p = make_particles(4, 1);
    const MetAtParticle met = met_with(1.0f, 1.0f, 5.0f);
    const float z0 = col.z_of(500.0f);
    for (int32_t type : {1, 2, 5, 6}) {
        p.particle_hdwp[0] = type;
        p.particle_z[0] = z0;
        DispersionGenerator gen;
        compute_particle_dispersion_step(s, met, col.view(), 10.0f, p, 0, gen);
        EXPECT_EQ(p.particle_z[0], z0) << type;
        EXPECT_EQ(p.particle_x[0], 0.0f) << type;
        EXPECT_EQ(gen.dispersion_seed, 0) << type;  // nothing drawn
    }
    for (int32_t type : {3, 4, 130, 140}) {
        p.particle_hdwp[1] = type;
        p.particle_z[1] = z0;
        DispersionGenerator gen;
        compute_particle_dispersion_step(s, met, col.view(), 10.0f, p, 1, gen);
        EXPECT_NE(p.particle_z[1], z0) << type;
        EXPECT_EQ(p.particle_x[1], 0.0f) << type;
        EXPECT_EQ(p.particle_y[1], 0.0f) << type;
        EXPECT_EQ(p.particle_turb_u[1], 0.0f) << type;
        EXPECT_EQ(p.particle_turb_v[1], 0.0f) << type;
    }
    p.particle_hdwp[2] = 103;  // a particle until its conversion
    p.particle_z[2] = z0;
    DispersionGenerator gen;
    compute_particle_dispersion_step(s, met, col.view(), 10.0f, p, 2, gen);
    EXPECT_NE(p.particle_x[2], 0.0f);
    EXPECT_NE(p.particle_turb_v[2], 0.0f);
}

TEST_F(RandomWalk, DrawOrderIsHorizontalPairThenOnePerSubStep) {
    ParticleArrays p = make_particles(1, 1);
    p.particle_z[0] = col.z_of(3000.0f);
    const MetAtParticle met = met_with(1.0f, 1.0f, 10.0f);
    DispersionGenerator gen, shadow;
    compute_particle_dispersion_step(s, met, col.view(), 10.0f, p, 0, gen);
    // First two deviates drive u' and v' from rest.
    const float rr = std::sqrt(1.0f - std::exp(-600.0f / 10800.0f) * std::exp(-600.0f / 10800.0f));
    EXPECT_FLOAT_EQ(p.particle_turb_u[0], rr * draw_gaussian_random(shadow));
    EXPECT_FLOAT_EQ(p.particle_turb_v[0], rr * draw_gaussian_random(shadow));
    for (int k = 0; k < 30; ++k) draw_gaussian_random(shadow);
    EXPECT_EQ(gen.dispersion_seed, shadow.dispersion_seed);
    EXPECT_EQ(gen.has_stored, shadow.has_stored);
}

TEST_F(RandomWalk, ZeroVerticalVarianceGivesNoDisplacementAndKeepsTheSequence) {
    Column calm(30, 20.0f, 30.0f, 0.0f, 25000.0f, 0.0f);
    ParticleArrays p = make_particles(1, 1);
    const float z0 = calm.z_of(800.0f);
    p.particle_z[0] = z0;
    p.particle_hdwp[0] = 3;
    DispersionGenerator gen, shadow;
    compute_particle_dispersion_step(s, met_with(0.0f, 0.0f, 4.0f), calm.view(), 10.0f, p, 0, gen);
    EXPECT_EQ(p.particle_z[0], z0);
    EXPECT_TRUE(std::isfinite(p.particle_sigma_z[0]));
    draw_gaussian_random(shadow);  // one sub-step, one draw
    EXPECT_EQ(gen.dispersion_seed, shadow.dispersion_seed);
    EXPECT_EQ(gen.has_stored, shadow.has_stored);

    // Calm near the ground, turbulent above: still finite everywhere.
    Column mixed(30, 20.0f, 30.0f, 0.0f, 25000.0f, 0.5f);
    for (int k = 0; k < 5; ++k) mixed.rows[static_cast<size_t>(k)].turbulence_3 = 0.0f;
    p.particle_z[0] = mixed.z_of(60.0f);
    for (int k = 0; k < 50; ++k) {
        compute_particle_dispersion_step(s, met_with(0.0f, 0.0f, 1.1f), mixed.view(), 10.0f, p, 0, gen);
        ASSERT_TRUE(std::isfinite(p.particle_z[0]));
        ASSERT_TRUE(std::isfinite(p.particle_sigma_z[0]));
        ASSERT_LE(p.particle_z[0], 1.0f);
    }
}

TEST_F(RandomWalk, ReflectsAtTheGroundAndAtTheTopLevel) {
    // Weak turbulence: one sub-step of the whole step.
    Column weak(30, 20.0f, 30.0f, 0.0f, 25000.0f, 1.0e-4f);
    ASSERT_EQ(vertical_sub_steps(weak.view(), 600.0f, 0.0f, 200.0f).count, 1);
    ParticleArrays p = make_particles(2, 1);
    p.particle_hdwp[0] = p.particle_hdwp[1] = 3;
    // Heading down hard, 10 m above the ground.
    p.particle_z[0] = weak.z_of(10.0f);
    p.particle_sigma_z[0] = -1000.0f;
    // Heading up hard, 10 m below the top level.
    const float top = weak.zz.back();
    p.particle_z[1] = top + 10.0f / 25000.0f;
    p.particle_sigma_z[1] = 1000.0f;
    DispersionGenerator gen;
    compute_particle_dispersion_step(s, met_with(0.0f, 0.0f, 1.0f), weak.view(), 10.0f, p, 0, gen);
    EXPECT_LE(p.particle_z[0], 1.0f);
    EXPECT_GT(p.particle_sigma_z[0], 0.0f);  // now moving up
    compute_particle_dispersion_step(s, met_with(0.0f, 0.0f, 29.9f), weak.view(), 10.0f, p, 1, gen);
    EXPECT_GE(p.particle_z[1], top);
    EXPECT_LT(p.particle_sigma_z[1], 0.0f);  // now moving down
}

}  // namespace
}  // namespace orv
