#include <gtest/gtest.h>

#include <cmath>

#include "dispersion/dispersion_random.hpp"

namespace orv {
namespace {

TEST(DispersionRandom, UniformSequenceFromSeedZero) {
    DispersionGenerator g;
    EXPECT_NEAR(draw_uniform_random(g), 0.415999353f, 1e-7f);
    EXPECT_NEAR(draw_uniform_random(g), 0.091964893f, 1e-7f);
    EXPECT_NEAR(draw_uniform_random(g), 0.75641048f, 1e-7f);
    EXPECT_GT(g.dispersion_seed, 0);
}

TEST(DispersionRandom, TableFilledOnceFromSeedOneAfterEightDiscardedSteps) {
    DispersionGenerator g;
    draw_uniform_random(g);
    // Seed 1 advanced 40 times, the last 32 kept (the 40th in entry 1), then
    // once more for the first draw.
    int64_t s = 1;
    std::vector<int64_t> steps;
    for (int k = 0; k < 41; ++k) {
        s = s * 16807 % 2147483647;
        steps.push_back(s);
    }
    EXPECT_EQ(g.dispersion_seed, steps[40]);
    EXPECT_EQ(g.table[31], steps[8]);
    // Later draws never refill the table: the seed keeps advancing by one step.
    for (int k = 0; k < 100; ++k) {
        const int64_t before = g.dispersion_seed;
        draw_uniform_random(g);
        EXPECT_EQ(g.dispersion_seed, before * 16807 % 2147483647);
    }
}

TEST(DispersionRandom, NegativeSeedRestartsFromItsAbsoluteValue) {
    DispersionGenerator a, b;
    for (int k = 0; k < 10; ++k) draw_uniform_random(a);
    a.dispersion_seed = -1;  // restart as from seed 1, the start-up seed
    for (int k = 0; k < 5; ++k) EXPECT_EQ(draw_uniform_random(a), draw_uniform_random(b));

    // A restart forgets the whole earlier state, stored normal deviates apart.
    DispersionGenerator c, d;
    c.dispersion_seed = -12345;
    for (int k = 0; k < 7; ++k) draw_uniform_random(d);
    d.dispersion_seed = -12345;
    for (int k = 0; k < 5; ++k) EXPECT_EQ(draw_uniform_random(c), draw_uniform_random(d));
    // A positive seed on the very first call still starts from seed 1.
    DispersionGenerator e;
    e.dispersion_seed = 12345;
    EXPECT_NEAR(draw_uniform_random(e), 0.415999353f, 1e-7f);
}

TEST(DispersionRandom, UniformStaysInsideTheOpenUnitInterval) {
    DispersionGenerator g;
    double sum = 0.0;
    for (int k = 0; k < 200000; ++k) {
        float u = draw_uniform_random(g);
        ASSERT_GT(u, 0.0f);
        ASSERT_LE(u, 0.9999999f);
        sum += u;
    }
    EXPECT_NEAR(sum / 200000.0, 0.5, 0.005);
}

TEST(DispersionRandom, NormalDrawsComeInPairsFromTwoUniformsEach) {
    DispersionGenerator g, shadow;
    const float first = draw_gaussian_random(g);
    // The first call consumed two uniforms (or more after rejections) and
    // stored the second deviate: the second call consumes none.
    float p, q, r;
    do {
        p = 2.0f * draw_uniform_random(shadow) - 1.0f;
        q = 2.0f * draw_uniform_random(shadow) - 1.0f;
        r = p * p + q * q;
    } while (r >= 1.0f || r == 0.0f);
    const float fac = std::sqrt(-2.0f * std::log(r) / r);
    EXPECT_EQ(first, q * fac);
    const int32_t seed_after_first = g.dispersion_seed;
    EXPECT_EQ(draw_gaussian_random(g), p * fac);
    EXPECT_EQ(g.dispersion_seed, seed_after_first);
    EXPECT_EQ(g.dispersion_seed, shadow.dispersion_seed);

    float scaled;
    DispersionGenerator h, k;
    draw_gaussian_displacement(2.5f, scaled, h);
    EXPECT_EQ(scaled, 2.5f * draw_gaussian_random(k));
}

TEST(DispersionRandom, NormalDeviatesHaveUnitVariance) {
    DispersionGenerator g;
    double s = 0.0, s2 = 0.0;
    const int n = 200000;
    for (int k = 0; k < n; ++k) {
        double v = draw_gaussian_random(g);
        s += v;
        s2 += v * v;
    }
    EXPECT_NEAR(s / n, 0.0, 0.01);
    EXPECT_NEAR(s2 / n, 1.0, 0.015);
}

}  // namespace
}  // namespace orv
