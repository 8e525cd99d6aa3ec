#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "dispersion/puff_split.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"

namespace orv {
namespace {

using test::make_particles;

// Ten levels every 100 m under a 1000 m top: zz = 0.9, 0.8, ..., 0.0.
std::vector<float> ten_levels() {
    std::vector<float> zz;
    for (int k = 1; k <= 10; ++k) zz.push_back(1.0f - 0.1f * static_cast<float>(k));
    return zz;
}

void vertical_puff(ParticleArrays& p, int32_t i, float bottom, float top, int32_t age = 60) {
    p.particle_hdwp[i] = 2;
    p.particle_z[i] = 0.5f * (bottom + top);
    p.particle_sigma_z[i] = (bottom - top) / 2.0f / 1.54f;
    p.particle_age[i] = age;
    p.particle_sigma_h[i] = 700.0f;
    p.mass(0, i) = 0.7f;
    p.mass(1, i) = 3.1f;
}

TEST(VerticalSplit, PuffOverThreeLayersBecomesThreeWithItsMass) {
    ParticleArrays p = make_particles(100, 2);
    const std::vector<float> zz = ten_levels();
    vertical_puff(p, 0, 0.78f, 0.52f, -90);  // kb 2, kt 5: three layers
    vertical_puff(p, 1, 0.78f, 0.62f);       // kb 2, kt 4: two layers, kept
    p.particle_count = 2;
    EXPECT_EQ(split_puffs_vertically(p, zz, 100), kSplitDone);
    ASSERT_EQ(p.particle_count, 5);
    EXPECT_EQ(p.particle_grid[0], 0);
    EXPECT_EQ(p.particle_grid[1], 1);
    float m0 = 0.0f, m1 = 0.0f;
    for (int32_t q = 2; q < 5; ++q) {
        m0 += p.mass(0, q);
        m1 += p.mass(1, q);
        EXPECT_EQ(p.particle_age[q], 90);  // children of a marked puff may split again
        EXPECT_EQ(p.particle_sort_key[q], q + 1);
        EXPECT_EQ(p.particle_sigma_h[q], 700.0f);
        EXPECT_FLOAT_EQ(p.particle_sigma_z[q], 0.26f / 3.0f / 1.54f * 0.5f);
        EXPECT_FLOAT_EQ(p.mass(1, q), 3.1f / 3.0f);
    }
    EXPECT_NEAR(m0, 0.7f, 4 * 0.7f * 1.2e-7f);
    EXPECT_NEAR(m1, 3.1f, 4 * 3.1f * 1.2e-7f);
    EXPECT_FLOAT_EQ(p.particle_z[2], 0.78f - 0.5f * 0.26f / 3.0f);  // the lowest first
    EXPECT_FLOAT_EQ(p.particle_z[4], 0.78f - 2.5f * 0.26f / 3.0f);
}

TEST(VerticalSplit, OldPuffsSplitEveryThirdHour) {
    const std::vector<float> zz = ten_levels();
    for (auto [age, split] : {std::pair{1499, true}, {1800, true}, {1860, false}, {1920, false}, {1980, true}}) {
        ParticleArrays p = make_particles(100, 2);
        vertical_puff(p, 0, 0.78f, 0.52f, age);
        p.particle_count = 1;
        split_puffs_vertically(p, zz, 100);
        EXPECT_EQ(p.particle_count, split ? 4 : 1) << age;
    }
}

TEST(VerticalSplit, NoRoomAtEntryAndArraysFillingUp) {
    const std::vector<float> zz = ten_levels();
    ParticleArrays p = make_particles(100, 2);
    vertical_puff(p, 0, 1.0f, 0.0f);    // the whole column: nine layers
    vertical_puff(p, 1, 0.78f, 0.52f);  // three layers
    vertical_puff(p, 2, 0.78f, 0.62f);  // needs no split, and its two would fit
    p.particle_count = 3;
    EXPECT_EQ(split_puffs_vertically(p, zz, 13), kSplitNoRoom);  // 13 <= 3 + 10
    EXPECT_EQ(p.particle_count, 3);
    EXPECT_EQ(split_puffs_vertically(p, zz, 14), kSplitMarked);
    EXPECT_EQ(p.particle_count, 12);  // the first split, the second did not fit
    EXPECT_EQ(p.particle_age[0], 60);
    EXPECT_EQ(p.particle_age[1], -60);
    EXPECT_EQ(p.particle_age[2], 60);
}

class HorizontalSplit : public ::testing::Test {
protected:
    HorizontalSplit() { log.attach(messages); }
    void puff(int32_t i, int32_t type, float sigma_h) {
        p.particle_hdwp[i] = type;
        p.particle_sigma_h[i] = sigma_h;
        p.particle_sigma_z[i] = 0.01f;
        p.particle_x[i] = 40.0f;
        p.particle_y[i] = 30.0f;
        p.particle_age[i] = -120;
        p.mass(0, i) = 0.3f;
        p.mass(1, i) = 1.7f;
    }
    float child_mass(int32_t slot, int32_t first, int32_t k) {
        float m = 0.0f;
        for (int32_t q = first; q < first + k; ++q) m += p.mass(slot, q);
        return m;
    }
    ParticleArrays p = make_particles(100, 2);
    PuffWork work;
    std::ostringstream messages;
    TextOut log;
    const std::vector<float> sizes{10.0f, 40.0f};
};

TEST_F(HorizontalSplit, GaussianAndTopHatPuffsKeepTheirMass) {
    puff(0, 1, 6000.0f);  // 3 sigma = 18 km >= 1.54 x 10 km
    puff(1, 4, 15000.0f);  // 1.54 sigma = 23.1 km >= 15.4 km
    puff(2, 2, 9000.0f);   // 13.9 km: too small
    p.particle_count = 3;
    EXPECT_EQ(pufsph(p, sizes, 100, 5.0f, 1.0f, work, log), kSplitDone);
    ASSERT_EQ(p.particle_count, 12);
    for (int32_t s : {0, 1}) {
        const float parent = p.mass(s, 0);
        EXPECT_NEAR(child_mass(s, 3, 5), parent, 4 * parent * 1.2e-7f);
        EXPECT_EQ(child_mass(s, 8, 4), p.mass(s, 1));
    }
    // The centre child of the Gaussian stays at the parent's place.
    EXPECT_EQ(p.particle_x[7], 40.0f);
    EXPECT_EQ(p.particle_y[7], 30.0f);
    EXPECT_FLOAT_EQ(p.particle_x[3], 40.0f + 0.5f * 18000.0f / 10000.0f);
    EXPECT_FLOAT_EQ(p.particle_y[4], 30.0f - 0.5f * 18000.0f / 10000.0f);
    EXPECT_EQ(p.particle_sigma_h[3], 3000.0f);
    EXPECT_EQ(p.particle_sigma_z[3], 0.01f);
    EXPECT_EQ(p.particle_sigma_z[8], 0.0f);  // a horizontal puff's vertical value is reset
    EXPECT_EQ(p.particle_age[8], 120);
    EXPECT_EQ(p.particle_grid[0], 0);
    EXPECT_EQ(p.particle_grid[2], 1);
}

TEST_F(HorizontalSplit, RoomAndSplitFactor) {
    puff(0, 1, 6000.0f);
    p.particle_count = 1;
    EXPECT_EQ(pufsph(p, sizes, 6, 5.0f, 1.0f, work, log), kSplitNoRoom);
    EXPECT_EQ(p.particle_count, 1);
    // The first split fills the arrays: the second puff is marked.
    puff(1, 1, 6000.0f);
    p.particle_age[1] = 30;
    p.particle_count = 2;
    EXPECT_EQ(pufsph(p, sizes, 8, 5.0f, 1.0f, work, log), kSplitMarked);
    EXPECT_EQ(p.particle_count, 7);
    EXPECT_EQ(p.particle_age[1], -30);
    p.particle_count = 1;
    p.particle_grid[0] = 1;
    // A factor of 0: nothing, with one notice for the run.
    EXPECT_EQ(pufsph(p, sizes, 100, 5.0f, 0.0f, work, log), kSplitDone);
    EXPECT_EQ(pufsph(p, sizes, 100, 5.0f, 0.0f, work, log), kSplitDone);
    EXPECT_EQ(p.particle_count, 1);
    EXPECT_EQ(messages.str(), "  NOTICE pufsph: split factor SPLITF is 0 - no horizontal splitting\n");
    // A larger factor makes the cell larger; a negative one acts by its magnitude.
    EXPECT_EQ(pufsph(p, sizes, 100, 5.0f, 2.0f, work, log), kSplitDone);
    EXPECT_EQ(pufsph(p, sizes, 100, 5.0f, -2.0f, work, log), kSplitDone);
    EXPECT_EQ(p.particle_count, 1);
    EXPECT_EQ(pufsph(p, sizes, 100, 5.0f, -1.0f, work, log), kSplitDone);
    EXPECT_EQ(p.particle_count, 6);
    EXPECT_EQ(p.particle_grid[0], 0);
    EXPECT_FLOAT_EQ(p.particle_x[1], 40.0f + 0.5f * 18000.0f / 10000.0f);
}

TEST_F(HorizontalSplit, ChildrenLieHalfTheExtentOffWhateverTheSplitFactor) {
    // A Gaussian puff of 36 km extent on grid 1 (10 km): it splits for each
    // factor and time-step spacing below; its children lie 18 km off.
    struct Row {
        float splitf;
        float time_step_spacing;  // km
    };
    for (const Row row : {Row{0.5f, 5.0f}, Row{1.0f, 5.0f}, Row{2.0f, 5.0f}, Row{1.0f, 15.0f}}) {
        puff(0, 1, 12000.0f);
        p.particle_grid[0] = 1;
        p.particle_count = 1;
        ASSERT_EQ(pufsph(p, sizes, 100, row.time_step_spacing, row.splitf, work, log), kSplitDone);
        ASSERT_EQ(p.particle_count, 6) << row.splitf << " " << row.time_step_spacing;
        EXPECT_FLOAT_EQ((p.particle_x[1] - 40.0f) * 10000.0f, 18000.0f) << row.splitf << " " << row.time_step_spacing;
        EXPECT_FLOAT_EQ((30.0f - p.particle_y[2]) * 10000.0f, 18000.0f) << row.splitf << " " << row.time_step_spacing;
    }
}

}  // namespace
}  // namespace orv
