#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "dispersion/dispersion_random.hpp"
#include "dispersion/mass_totals.hpp"
#include "dispersion/puff_conversion.hpp"
#include "dispersion/puff_merge.hpp"
#include "dispersion/puff_split.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

using test::make_particles;

class PuffMerge : public ::testing::Test {
protected:
    PuffMerge() { f.model_top = 25000.0f; }
    // A Gaussian puff of sigma_h 1000 m on grid 1 (1 km cells: tolerance 1
    // grid unit) at (x, y).
    void puff(int32_t i, float x, float y, float mass = 1.0f) {
        p.particle_hdwp[i] = 1;
        p.particle_x[i] = x;
        p.particle_y[i] = y;
        p.particle_z[i] = 0.9f;
        p.particle_sigma_h[i] = 1000.0f;
        p.particle_sigma_z[i] = 0.01f;
        p.particle_age[i] = 60;
        p.mass(0, i) = mass;
    }
    std::vector<int32_t> order() const {
        return std::vector<int32_t>(p.particle_sort_key.data(), p.particle_sort_key.data() + p.particle_count);
    }
    MergeFactors f;
    ParticleArrays p = make_particles(50, 1);
    PuffWork work;
    const std::vector<float> sizes{1.0f, 1.0f};
};

TEST_F(PuffMerge, SortFollowsTheMergeSortThroughAnInconsistentTest) {
    TextOut quiet;
    // P, Q, R stand within one grid unit of their neighbours but not of each
    // other: Q must precede P and R must precede Q (their y), yet P precedes
    // R (their x). T is P's twin, U stands apart.
    puff(0, 0.0f, 5.0f);  // P
    puff(1, 0.6f, 3.0f);  // Q
    puff(2, 1.2f, 1.0f);  // R
    puff(3, 0.0f, 5.0f);  // T
    puff(4, 3.0f, 0.0f);  // U
    p.particle_count = 5;
    // Width 1: (P,Q) -> Q P; (R,T) -> T R (T's x is more than a unit below
    // R's); U. Width 2: Q vs T keeps Q, P vs T keeps P (twins: order 0),
    // then T R. Width 4: U follows everything (x more than a unit above).
    pufsrt(f, p, sizes, work, quiet);
    EXPECT_EQ(order(), (std::vector<int32_t>{2, 1, 4, 3, 5}));
    // Sorting again leaves it (every neighbour pair is in order).
    pufsrt(f, p, sizes, work, quiet);
    EXPECT_EQ(order(), (std::vector<int32_t>{2, 1, 4, 3, 5}));
    // Merging along it: only the twins P and T join.
    pufmrg(f, p, sizes, work, quiet);
    EXPECT_EQ(p.mass(0, 0), 2.0f);
    EXPECT_EQ(p.particle_grid[3], 0);
    for (int32_t i : {1, 2, 4}) EXPECT_EQ(p.particle_grid[i], 1) << i;
}

TEST_F(PuffMerge, PairTestKeys) {
    puff(0, 10.0f, 10.0f);
    puff(1, 10.2f, 10.3f);
    const float delta = 1000.0f;
    PuffKey a = puff_key(p, 0, 0.0f), b = puff_key(p, 1, 0.0f);
    EXPECT_EQ(compare_puffs(f, delta, a, b).merge, -1);
    b.sigma_h = 1150.0f;  // differs by more than FRTS x sigma_min
    EXPECT_EQ(compare_puffs(f, delta, a, b).merge, 0);
    EXPECT_EQ(compare_puffs(f, delta, a, b).order, 0);
    EXPECT_EQ(compare_puffs(f, delta, b, a).order, -1);
    b.sigma_h = 1000.0f;
    b.grid = 2;  // another meteorological grid: never merged, ordered by grid
    EXPECT_EQ(compare_puffs(f, delta, a, b).merge, 0);
    EXPECT_EQ(compare_puffs(f, delta, b, a).order, -1);
    b.grid = 1;
    b.mode = 0;  // particles stand before every puff
    EXPECT_EQ(compare_puffs(f, delta, a, b).order, -1);
    EXPECT_EQ(compare_puffs(f, delta, a, b).merge, 0);
    a.mode = b.mode = 3;  // horizontal puffs with vertical values: no vertical tolerance
    a.sigma_z = 0.3f;
    b.sigma_z = 0.2f;
    b.z = a.z;
    EXPECT_EQ(compare_puffs(f, delta, a, b).merge, 0);
    b.sigma_z = 0.0f;
    EXPECT_EQ(compare_puffs(f, delta, a, b).merge, -1);
    // With a mass limit, small puffs stand before big ones.
    p.mass(0, 1) = 5.0f;
    a = puff_key(p, 0, 2.0f);
    b = puff_key(p, 1, 2.0f);
    EXPECT_EQ(compare_puffs(f, delta, a, b).order, 0);
    EXPECT_EQ(compare_puffs(f, delta, b, a).order, -1);
}

TEST_F(PuffMerge, MergedPuffTakesTheMassAndWeightedMeans) {
    TextOut quiet;
    p = make_particles(10, 2);
    puff(0, 10.0f, 10.0f);
    puff(1, 10.2f, 10.4f);
    puff(2, 10.1f, 10.1f);
    p.mass(0, 0) = 1.0f;
    p.mass(1, 0) = 1.0f;  // total 2
    p.mass(0, 1) = 6.0f;  // total 6
    p.mass(0, 2) = 0.0f;  // total 0
    p.particle_age[1] = -120;
    p.particle_sigma_h[1] = 1050.0f;
    p.particle_count = 3;
    pufmrg(f, p, sizes, work, quiet);
    EXPECT_EQ(p.mass(0, 0), 7.0f);
    EXPECT_EQ(p.mass(1, 0), 1.0f);
    EXPECT_FLOAT_EQ(p.particle_x[0], (2.0f * 10.0f + 6.0f * 10.2f + 0.0f) / 8.0f);
    EXPECT_FLOAT_EQ(p.particle_y[0], (2.0f * 10.0f + 6.0f * 10.4f) / 8.0f);
    EXPECT_FLOAT_EQ(p.particle_sigma_h[0], (2.0f * 1000.0f + 6.0f * 1050.0f) / 8.0f);
    EXPECT_EQ(p.particle_age[0], 105);  // (2 x 60 + 6 x 120) / 8
    EXPECT_EQ(p.particle_grid[1], 0);
    EXPECT_EQ(p.particle_grid[2], 0);

    // A group without mass takes plain means.
    puff(3, 20.0f, 20.0f, 0.0f);
    puff(4, 20.5f, 20.0f, 0.0f);
    p.mass(1, 3) = p.mass(1, 4) = 0.0f;
    for (int32_t k = 0; k < 5; ++k) p.particle_sort_key[k] = k + 1;
    p.particle_grid[1] = p.particle_grid[2] = 1;
    p.particle_count = 5;
    p.particle_grid[0] = 1;
    std::vector<int32_t> keys{4, 5};
    p.particle_sort_key[0] = 4;
    p.particle_sort_key[1] = 5;
    p.particle_sort_key[3] = 1;
    p.particle_sort_key[4] = 2;
    pufmrg(f, p, sizes, work, quiet);
    EXPECT_EQ(p.particle_x[3], 20.25f);
    EXPECT_TRUE(std::isfinite(p.particle_sigma_z[3]));
}

TEST_F(PuffMerge, MergeStopsAtAGroupWithABigPuff) {
    TextOut quiet;
    puff(0, 1.0f, 1.0f, 1.0f);
    puff(1, 1.0f, 1.1f, 1.0f);
    puff(2, 9.0f, 9.0f, 1.0f);
    puff(3, 9.0f, 9.1f, 1.0f);
    puff(4, 20.0f, 20.0f, 1.0f);
    puff(5, 20.0f, 20.1f, 1.0f);
    p.particle_count = 6;
    f.mass_limit = 1.5f;
    pufmrg(f, p, sizes, work, quiet);
    for (int32_t i : {0, 2, 4}) EXPECT_EQ(p.mass(0, i), 2.0f) << i;  // small puffs merge
    for (int32_t i : {0, 1, 2, 3, 4, 5}) {
        p.mass(0, i) = 1.0f;
        p.particle_grid[i] = 1;
    }
    p.mass(0, 3) = 3.0f;  // the second group ends with a big puff: the merge stops there
    pufmrg(f, p, sizes, work, quiet);
    EXPECT_EQ(p.mass(0, 0), 2.0f);
    EXPECT_EQ(p.mass(0, 2), 1.0f);
    EXPECT_EQ(p.mass(0, 4), 1.0f);
    EXPECT_EQ(p.particle_grid[5], 1);
}

TEST_F(PuffMerge, MassLevelsRemoveNoMoreThanTheirFraction) {
    TextOut quiet;
    // Equal masses: the smallest tenth cannot be removed without removing all.
    for (int32_t i = 0; i < 10; ++i) puff(i, static_cast<float>(i), 0.0f, 1.0f);
    p.particle_count = 10;
    MassLevels m = pufmin(p, 10.0f, 0.25f, 0.1f, work, quiet);
    compact_particle_list(p, 9999, m.m2);
    EXPECT_EQ(p.particle_count, 10);
    EXPECT_EQ(m.m1, 0.0f);

    DispersionGenerator gen;
    p = make_particles(50, 1);
    float total = 0.0f;
    for (int32_t i = 0; i < 50; ++i) {
        puff(i, 0.0f, 0.0f, std::floor(10.0f * draw_uniform_random(gen)) + 1.0f);  // many ties
        total += p.mass(0, i);
    }
    p.particle_count = 50;
    m = pufmin(p, total, 0.3f, 0.1f, work, quiet);
    for (int32_t k = 1; k < 50; ++k)  // ascending mass
        EXPECT_LE(entry_mass(p, p.particle_sort_key[k - 1] - 1), entry_mass(p, p.particle_sort_key[k] - 1));
    EXPECT_GE(m.m1, m.m2);
    compact_particle_list(p, 9999, m.m2);
    float kept = 0.0f;
    for (int32_t i = 0; i < p.particle_count; ++i) kept += p.mass(0, i);
    EXPECT_GE(kept, 0.9f * total);
    EXPECT_LT(p.particle_count, 50);

    // One entry: nothing changes.
    p.particle_count = 1;
    p.particle_sort_key[0] = 1;
    m = pufmin(p, 5.0f, 0.5f, 0.5f, work, quiet);
    EXPECT_EQ(m.m2, 0.0f);
    EXPECT_EQ(p.particle_sort_key[0], 1);
}

// The grand total of a PUFF_OUT line.
double grand_total(const std::string& line) {
    std::istringstream in(line);
    double v = 0.0, last = 0.0;
    while (in >> v) last = v;
    return last;
}

TEST(HourEnd, WholeSequenceConservesTheMass) {
    TextOut quiet;
    test::ScratchDir dir;
    DiagnosticChannels channels;
    std::ostringstream messages;
    TextOut log;
    log.attach(messages);
    ParticleArrays p = make_particles(20000, 2);
    DispersionGenerator gen;
    const int32_t n = 3000;
    for (int32_t i = 0; i < n; ++i) {
        p.particle_hdwp[i] = 1 + static_cast<int32_t>(4.0f * draw_uniform_random(gen));
        p.particle_x[i] = 50.0f + 4.0f * draw_uniform_random(gen);
        p.particle_y[i] = 50.0f + 4.0f * draw_uniform_random(gen);
        p.particle_z[i] = 0.95f - 0.2f * draw_uniform_random(gen);
        p.particle_sigma_h[i] = 2000.0f + 30000.0f * draw_uniform_random(gen);
        p.particle_sigma_z[i] = p.particle_hdwp[i] <= 2 ? 0.05f * draw_uniform_random(gen) : 0.0f;
        p.particle_age[i] = 60 * static_cast<int32_t>(48.0f * draw_uniform_random(gen));
        p.mass(0, i) = draw_uniform_random(gen);
        p.mass(1, i) = 2.0f * draw_uniform_random(gen);
    }
    p.particle_count = n;
    std::vector<float> zz;
    for (int32_t k = 1; k <= 20; ++k) zz.push_back(1.0f - 0.02f * static_cast<float>(k * k) / 8.0f);
    const std::vector<float> sizes{10.0f};
    PuffWork work;
    MergeFactors f{1.0f, 0.01f, 0.10f, 0.0f, 25000.0f};

    auto exact = [&] {
        double t = 0.0;
        for (int32_t i = 0; i < p.particle_count; ++i) t += double{p.mass(0, i)} + double{p.mass(1, i)};
        return t;
    };
    const double exact_before = exact();
    PUFF_OUT(1, 0, p, channels, quiet);
    split_puffs_vertically(p, zz, 19000);
    pufsph(p, sizes, 19000, 10.0f, 1.0f, work, log);
    compact_particle_list(p, 9999, 0.0f);
    const int32_t after_split = p.particle_count;
    pufsrt(f, p, sizes, work, quiet);
    pufmrg(f, p, sizes, work, quiet);
    compact_particle_list(p, 9999, 0.0f);
    PUFF_OUT(2, 0, p, channels, quiet);
    EXPECT_NEAR(exact() / exact_before, 1.0, 1e-6);
    channels.file(kMassTotalsChannel).close();

    EXPECT_GT(after_split, n);
    EXPECT_LT(p.particle_count, after_split);
    std::istringstream lines(test::read_file("fort.2009"));
    std::string before, after;
    std::getline(lines, before);
    std::getline(lines, after);
    ASSERT_EQ(before.size(), 5u + 12u + 8u + 3u * 16u);
    EXPECT_EQ(before.substr(0, 5), "    1");
    EXPECT_NEAR(grand_total(after) / grand_total(before), 1.0, 1e-6);
}

TEST(MassTotals, EmptyListAndNonPositiveMasses) {
    TextOut quiet;
    test::ScratchDir dir;
    DiagnosticChannels channels;
    ParticleArrays p = make_particles(5, 2);
    PUFF_OUT(3, 1234, p, channels, quiet);
    p.mass(0, 0) = -1.0f;
    p.mass(1, 1) = 0.0f;
    p.mass(1, 2) = 2.5f;
    p.particle_count = 3;
    PUFF_OUT(4, 1234, p, channels, quiet);
    channels.file(kMassTotalsChannel).close();
    EXPECT_EQ(test::read_file("fort.2009"),
              "    3        1234       0   0.0000000E+00   0.0000000E+00   0.0000000E+00\n"
              "    4        1234       1  -1.0000000E+00   2.5000000E+00   1.5000000E+00\n");
}

}  // namespace
}  // namespace orv
