#include <gtest/gtest.h>

#include <sstream>

#include "dispersion/puff_conversion.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"

namespace orv {
namespace {

using test::make_particles;

TEST(Conversion, EntriesChangeKindAtTheConversionAge) {
    std::ostringstream messages;
    TextOut log;
    log.attach(messages);
    ParticleArrays p = make_particles(6, 1);
    const int32_t codes[] = {104, 103, 130, 140, 0, 104};
    const int32_t ages[] = {2880, 3000, 2880, 100, 5000, 2879};
    for (int32_t i = 0; i < 6; ++i) {
        p.particle_hdwp[i] = codes[i];
        p.particle_age[i] = ages[i];
        p.particle_turb_u[i] = p.particle_turb_v[i] = p.particle_sigma_z[i] = 0.5f;
        p.particle_sigma_h[i] = 77.0f;
    }
    p.particle_count = 6;
    parpuf(p, 2880, log);
    EXPECT_EQ(p.particle_hdwp[0], 4);
    EXPECT_EQ(p.particle_hdwp[1], 3);
    EXPECT_EQ(p.particle_hdwp[5], 104);
    EXPECT_EQ(p.particle_turb_u[0], 0.0f);
    EXPECT_EQ(p.particle_turb_v[0], 0.0f);
    EXPECT_EQ(p.particle_sigma_z[0], 0.0f);
    EXPECT_EQ(p.particle_sigma_h[0], 77.0f);
    pufpar(p, 2880, log);
    EXPECT_EQ(p.particle_hdwp[2], 0);
    EXPECT_EQ(p.particle_hdwp[3], 140);
    EXPECT_EQ(messages.str(), "  NOTICE parpuf:            1  unconverted particles\n"
                              "  NOTICE pufpar:            1  unconverted puffs\n");
    messages.str("");
    p.particle_age[5] = p.particle_age[3] = 3000;
    parpuf(p, 2880, log);
    pufpar(p, 2880, log);
    EXPECT_EQ(messages.str(), "");  // all converted: no notice
}

TEST(Compaction, DropsEndedOldAndEmptyEntriesAndPacksTheRest) {
    ParticleArrays p = make_particles(8, 2);
    for (int32_t i = 0; i < 8; ++i) {
        p.particle_x[i] = static_cast<float>(i);
        p.mass(0, i) = 0.25f * static_cast<float>(i);
        p.mass(1, i) = 1.0f;
        p.particle_sort_key[i] = 8 - i;
    }
    p.particle_grid[1] = 0;      // ended
    p.particle_age[2] = -6000;   // 100 h with KHMAX 100
    p.mass(1, 3) = -0.75f;       // total 0
    p.particle_hdwp[4] = 6;      // a sampler without mass stays
    p.mass(0, 4) = p.mass(1, 4) = 0.0f;
    p.particle_age[5] = -59;     // marked puff, kept with its sign
    p.particle_count = 8;
    compact_particle_list(p, 100, 0.0f);
    ASSERT_EQ(p.particle_count, 5);
    const float xs[] = {0.0f, 4.0f, 5.0f, 6.0f, 7.0f};
    for (int32_t k = 0; k < 5; ++k) {
        EXPECT_EQ(p.particle_x[k], xs[k]);
        EXPECT_EQ(p.mass(0, k), k == 1 ? 0.0f : 0.25f * xs[k]);
        EXPECT_EQ(p.particle_sort_key[k], k + 1);
    }
    EXPECT_EQ(p.particle_hdwp[1], 6);
    EXPECT_EQ(p.particle_age[2], -59);
    // A minimum mass removes the small ones; an empty list stays empty.
    compact_particle_list(p, 100, 2.6f);  // totals 1, 0 (sampler), 2.25, 2.5, 2.75
    EXPECT_EQ(p.particle_count, 2);
    p.particle_count = 0;
    compact_particle_list(p, 100, 0.0f);
    parpuf(p, 0, *std::make_unique<TextOut>());
    EXPECT_EQ(p.particle_count, 0);
}

}  // namespace
}  // namespace orv
