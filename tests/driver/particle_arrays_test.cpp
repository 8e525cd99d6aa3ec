#include "driver/particle_arrays.hpp"

#include <gtest/gtest.h>

#include "common/run_stop.hpp"

namespace orv {
namespace {

TEST(ParticleArrays, SizedFromTheSettingsWithZeroMasses) {
    ParticleArrays p;
    allocate_particle_arrays(p, 3, 2);
    EXPECT_EQ(p.particle_x.size(), 3);
    EXPECT_EQ(p.particle_sort_key.size(), 3);
    EXPECT_EQ(p.particle_mass.size(), 6);
    EXPECT_EQ(p.mass_total.size(), 2);
    for (int64_t i = 0; i < 6; ++i) EXPECT_EQ(p.particle_mass[i], 0.0f);
    p.mass(1, 2) = 5.0f;
    EXPECT_EQ(p.particle_mass[5], 5.0f);  // slot varies fastest

    ParticleArrays empty;
    allocate_particle_arrays(empty, 0, 1);
    EXPECT_EQ(empty.particle_x.size(), 0);
    EXPECT_EQ(empty.mass_total.size(), 1);
    allocate_particle_arrays(empty, -5, -1);
    EXPECT_EQ(empty.particle_mass.size(), 0);
}

TEST(ParticleArrays, FailedAllocationNamesItsGroup) {
    ParticleArrays p;
    testing::internal::CaptureStdout();
    int32_t code = 0;
    try {
        allocate_particle_arrays(p, 2147483647, 2147483647);
    } catch (const RunStop& s) {
        code = s.code();
    }
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, kStopInput);
    EXPECT_NE(out.find("ERROR orvcalc: memory allocation - Particle mass"), std::string::npos) << out;
    EXPECT_TRUE(p.particle_age.empty());  // later groups are not allocated
}

TEST(ParticleArrays, DistributionMode) {
    EXPECT_EQ(distribution_mode(0), 0);
    EXPECT_EQ(distribution_mode(4), 4);
    EXPECT_EQ(distribution_mode(103), 0);
    EXPECT_EQ(distribution_mode(130), 3);
    EXPECT_EQ(distribution_mode(140), 4);
}

}  // namespace
}  // namespace orv
