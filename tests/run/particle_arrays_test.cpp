#include "run/particle_arrays.hpp"

#include <gtest/gtest.h>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

TEST(ParticleArrays, SizedFromTheSettingsWithZeroMasses) {
    TextOut quiet;
    ParticleArrays p;
    allocate_particle_arrays(p, 3, 2, quiet);
    EXPECT_EQ(p.particle_x.size(), 3);
    EXPECT_EQ(p.particle_sort_key.size(), 3);
    EXPECT_EQ(p.particle_mass.size(), 6);
    EXPECT_EQ(p.mass_total.size(), 2);
    for (int64_t i = 0; i < 6; ++i) EXPECT_EQ(p.particle_mass[i], 0.0f);
    p.mass(1, 2) = 5.0f;
    EXPECT_EQ(p.particle_mass[5], 5.0f);  // slot varies fastest

    ParticleArrays empty;
    allocate_particle_arrays(empty, 0, 1, quiet);
    EXPECT_EQ(empty.particle_x.size(), 0);
    EXPECT_EQ(empty.mass_total.size(), 1);
    allocate_particle_arrays(empty, -5, -1, quiet);
    EXPECT_EQ(empty.particle_mass.size(), 0);
}

TEST(ParticleArrays, EveryArrayStartsAtZeroEvenInReusedMemory) {
    // Fill a set of arrays, free it, and allocate the same sizes again: the
    // allocator hands back the same memory, which must come back zeroed.
    const int32_t n = 1000;
    TextOut quiet;
    for (int round = 0; round < 2; ++round) {
        ParticleArrays p;
        allocate_particle_arrays(p, n, 2, quiet);
        auto all_zero = [](const auto& a) {
            for (int64_t i = 0; i < a.size(); ++i)
                if (a[i] != 0) return false;
            return true;
        };
        EXPECT_TRUE(all_zero(p.particle_x) && all_zero(p.particle_y) && all_zero(p.particle_z));
        EXPECT_TRUE(all_zero(p.particle_sigma_h) && all_zero(p.particle_turb_u) && all_zero(p.particle_turb_v) &&
                    all_zero(p.particle_sigma_z));
        EXPECT_TRUE(all_zero(p.particle_mass) && all_zero(p.mass_total));
        EXPECT_TRUE(all_zero(p.particle_age) && all_zero(p.particle_hdwp) && all_zero(p.particle_pollutant));
        EXPECT_TRUE(all_zero(p.particle_grid) && all_zero(p.particle_sort_key));
        for (auto* a : {&p.particle_x, &p.particle_y, &p.particle_z, &p.particle_sigma_h, &p.particle_turb_u,
                        &p.particle_turb_v, &p.particle_sigma_z, &p.particle_mass, &p.mass_total})
            a->fill(-7.5f);
        for (auto* a : {&p.particle_age, &p.particle_hdwp, &p.particle_pollutant, &p.particle_grid,
                        &p.particle_sort_key})
            a->fill(0x5a5a5a5a);
    }
}

TEST(ParticleArrays, FailedAllocationNamesItsGroup) {
    ParticleArrays p;
    test::TestConsole console;
    int32_t code = 0;
    try {
        // Small arrays before the masses, so the failure costs no time.
        allocate_particle_arrays(p, 1000, 2147483647, console.out);
    } catch (const RunStop& s) {
        code = s.code();
    }
    const std::string out = console.text();
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
