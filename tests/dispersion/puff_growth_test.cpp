#include <gtest/gtest.h>

#include <cmath>

#include "dispersion/puff_growth.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"

namespace orv {
namespace {

using test::Column;
using test::make_particles;

MetAtParticle met_with(float su2, float sv2) {
    MetAtParticle m;
    m.turbulence_2 = su2;
    m.turbulence_1 = sv2;
    return m;
}

class PuffGrowth : public ::testing::Test {
protected:
    Settings s;
    // Levels at 50 k^2 m: the lowest layer is 150 m deep.
    Column col{20, 50.0f, 0.0f, 0.0f, 25000.0f, 0.1f};
    ParticleArrays p = make_particles(4, 1);
};

TEST_F(PuffGrowth, HorizontalSigmaGrowsLinearly) {
    p.particle_hdwp[0] = 1;
    p.particle_sigma_h[0] = 250.0f;
    p.particle_z[0] = col.z_of(3000.0f);
    const MetAtParticle met = met_with(1.0f, 3.0f);  // sigma_uv = 2 m/s
    for (int n = 1; n <= 24; ++n) {
        compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
        const double expect = 250.0 + n * 1.414 * 2.0 * 3600.0;
        ASSERT_NEAR(p.particle_sigma_h[0] / expect, 1.0, 1e-5) << n;
    }
}

TEST_F(PuffGrowth, VerticalVarianceGrowsLinearlyInTime) {
    // Layers 600 m deep at the ground and P VSCALE = 75: one sub-step per step.
    Column deep{10, 200.0f, 0.0f, 0.0f, 25000.0f, 0.375f};
    ASSERT_EQ(vertical_sub_steps(deep.view(), 600.0f, 0.0f, 200.0f).count, 1);
    p.particle_hdwp[0] = 2;
    p.particle_z[0] = deep.z_of(10000.0f);
    p.particle_sigma_z[0] = 0.0f;
    const MetAtParticle met = met_with(0.0f, 0.0f);
    const double s0 = 0.0;
    // 2 P VSCALE dt / H^2 per step, P taken as a variance.
    const double per_step = 2.0 * 0.375 * 200.0 * 600.0 / (25000.0 * 25000.0);
    const float zc = p.particle_z[0];
    for (int n = 1; n <= 20; ++n) {
        compute_puff_growth_step(s, met, deep.view(), 10.0f, p, 0);
        const double sz = p.particle_sigma_z[0];
        ASSERT_NEAR((sz * sz - s0) / (n * per_step), 1.0, 1e-5) << n;
    }
    EXPECT_NEAR(p.particle_z[0], zc, 1e-6f);  // symmetric growth keeps the centre
}

TEST_F(PuffGrowth, AgeDependentGrowthIsCappedForYoungPuffs) {
    s.KPUFF = 1;
    const MetAtParticle met = met_with(2.0f, 2.0f);  // sigma_uv = 2 m/s
    const float dt = 3600.0f;
    for (int32_t age : {0, 10, 45}) {  // 10 minutes would give a factor 9 uncapped
        p.particle_hdwp[0] = 1;
        p.particle_age[0] = age;
        p.particle_sigma_h[0] = 0.0f;
        compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
        EXPECT_NEAR(p.particle_sigma_h[0], 1.414f * 2.0f * dt, 1e-3f) << age;
    }
    p.particle_age[0] = 2000;  // F = 0.5 * 10800 / 120000 s < 0.25
    p.particle_sigma_h[0] = 0.0f;
    compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
    EXPECT_NEAR(p.particle_sigma_h[0], 0.5f * 2.0f * dt, 1e-3f);
    p.particle_age[0] = 1000;  // F = 0.5 * 10800 / 60000 s = 0.09 -> still 0.25
    p.particle_sigma_h[0] = 0.0f;
    compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
    EXPECT_NEAR(p.particle_sigma_h[0], 0.5f * 2.0f * dt, 1e-3f);
    p.particle_age[0] = 60;  // F = 0.5 * 10800 / 3600 s = 1.5
    p.particle_sigma_h[0] = 0.0f;
    compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
    EXPECT_NEAR(p.particle_sigma_h[0], std::sqrt(1.5f) * 2.0f * dt, 1e-2f);
}

TEST_F(PuffGrowth, WhatGrowsDependsOnTypeAndAge) {
    const MetAtParticle met = met_with(1.0f, 1.0f);
    for (int32_t type : {0, 5, 6, 103}) {
        p.particle_hdwp[0] = type;
        p.particle_sigma_h[0] = 10.0f;
        p.particle_sigma_z[0] = 0.001f;
        compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
        EXPECT_EQ(p.particle_sigma_h[0], 10.0f) << type;
        EXPECT_EQ(p.particle_sigma_z[0], 0.001f) << type;
    }
    for (int32_t type : {3, 4, 130}) {
        p.particle_hdwp[0] = type;
        p.particle_sigma_h[0] = 10.0f;
        p.particle_sigma_z[0] = 0.001f;
        p.particle_z[0] = col.z_of(2000.0f);
        compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
        EXPECT_GT(p.particle_sigma_h[0], 10.0f) << type;
        EXPECT_EQ(p.particle_sigma_z[0], 0.001f) << type;
    }
    p.particle_hdwp[0] = 1;
    p.particle_age[0] = -30;  // marked: no more growth
    p.particle_sigma_h[0] = 10.0f;
    p.particle_z[0] = 0.9f;
    compute_puff_growth_step(s, met, col.view(), 60.0f, p, 0);
    EXPECT_EQ(p.particle_sigma_h[0], 10.0f);
    EXPECT_EQ(p.particle_sigma_z[0], 0.001f);
    EXPECT_EQ(p.particle_z[0], 0.9f);
}

TEST_F(PuffGrowth, PuffAtTheGroundRisesAndStaysBelowTheTopLevel) {
    p.particle_hdwp[0] = 1;
    p.particle_z[0] = 1.0f;
    p.particle_sigma_z[0] = 0.0f;
    Column strong{20, 50.0f, 0.0f, 0.0f, 25000.0f, 40.0f};
    const MetAtParticle met = met_with(0.0f, 0.0f);
    float last = 1.0f;
    for (int n = 0; n < 48; ++n) {
        compute_puff_growth_step(s, met, strong.view(), 60.0f, p, 0);
        const float z = p.particle_z[0], sz = p.particle_sigma_z[0];
        EXPECT_NEAR(z + 1.54f * sz, 1.0f, 1e-5f);  // bottom kept at the ground
        EXPECT_LT(z, last + 1e-7f);                 // the centre rises
        EXPECT_GE(z - 1.54f * sz, strong.zz.back() - 1e-5f);
        last = z;
    }
}

}  // namespace
}  // namespace orv
