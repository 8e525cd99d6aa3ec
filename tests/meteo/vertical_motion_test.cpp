// The vertical motion options on a small sub-grid.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "meteo/vertical_motion.hpp"

namespace orv {
namespace {

constexpr int32_t kNx = 6, kNy = 5, kNz = 4;

struct Fields {
    std::vector<float> u, v, w, pa, pb, ta, tb, ka, kb, h;
    std::vector<float> sigma = {0.999f, 0.99f, 0.97f, 0.94f};
    Fields()
        : u(kNx * kNy * kNz), v(u.size()), w(u.size(), 0.001f), pa(u.size()), pb(u.size()), ta(u.size(), 300.0f),
          tb(u.size(), 300.0f), ka(u.size(), 280.0f), kb(u.size(), 280.0f), h(kNx * kNy, 0.0f) {}
    static FieldView3D view(std::vector<float>& a) { return FieldView3D{a.data(), kNx * kNz, 1, kNz, kNz}; }
    VerticalMotionFields make() {
        VerticalMotionFields f;
        f.nx = kNx;
        f.ny = kNy;
        f.nlvl = kNz;
        f.sigma = sigma;
        f.model_top = 25000.0f;
        f.terrain = FieldView2D{h.data(), kNx, 1};
        f.u = view(u);
        f.v = view(v);
        f.w = view(w);
        f.pressure_a = view(pa);
        f.pressure_b = view(pb);
        f.theta_a = view(ta);
        f.theta_b = view(tb);
        f.temperature_a = view(ka);
        f.temperature_b = view(kb);
        f.dt = 60.0f;
        return f;
    }
};

TEST(VerticalMotion, DivergenceOfARotationIsZero) {
    Fields s;
    VerticalMotionFields f = s.make();
    for (int32_t i = 1; i <= kNx; ++i)
        for (int32_t j = 1; j <= kNy; ++j)
            for (int32_t k = 1; k <= kNz; ++k) {
                f.u.at(i, j, k) = -0.3f * (j - 3);
                f.v.at(i, j, k) = 0.3f * (i - 3);
            }
    metwnd(5, f);
    for (float w : s.w) EXPECT_EQ(w, 0.0f);

    // A convergent wind: the column sum of the divergence times each level's own thickness.
    for (int32_t i = 1; i <= kNx; ++i)
        for (int32_t j = 1; j <= kNy; ++j)
            for (int32_t k = 1; k <= kNz; ++k) {
                f.u.at(i, j, k) = -0.01f * i;
                f.v.at(i, j, k) = 0.0f;
            }
    metwnd(5, f);
    EXPECT_FLOAT_EQ(f.w.at(3, 3, 1), -(0.999f - 1.0f) * -0.01f);
    EXPECT_FLOAT_EQ(f.w.at(3, 3, 2), -(0.5f * (0.97f - 0.999f)) * -0.02f);
    EXPECT_FLOAT_EQ(f.w.at(3, 3, 4), -(0.94f - 0.97f) * -0.04f);
    EXPECT_FLOAT_EQ(f.w.at(1, 3, 2), 0.5f * f.w.at(2, 3, 2));
    EXPECT_FLOAT_EQ(f.w.at(3, 5, 2), 0.5f * f.w.at(3, 4, 2));
}

TEST(VerticalMotion, ConstantSurfaceOptions) {
    // A constant field keeps the data's w inside; the edges copy their neighbours.
    for (int32_t option : {1, 2, 3}) {
        Fields s;
        for (float& p : s.pa) p = 800.0f;
        s.pb = s.pa;
        VerticalMotionFields f = s.make();
        f.w.at(3, 3, 2) = 0.002f;
        f.w.at(2, 3, 2) = 0.003f;
        metwnd(option, f);
        EXPECT_FLOAT_EQ(f.w.at(3, 3, 2), 0.002f) << option;
        EXPECT_FLOAT_EQ(f.w.at(1, 3, 2), 0.003f) << option;
    }
    // Isobaric with pressure falling in time and along x: w = -(u Fx + Ft) / dF/dZ,
    // limited to 0.005 per minute.
    Fields s;
    for (int32_t i = 1; i <= kNx; ++i)
        for (int32_t j = 1; j <= kNy; ++j)
            for (int32_t k = 1; k <= kNz; ++k) {
                const float p = 1000.0f * s.sigma[k - 1] - 0.1f * i;
                Fields::view(s.pb).at(i, j, k) = p;
                Fields::view(s.pa).at(i, j, k) = p + 0.6f;
                Fields::view(s.u).at(i, j, k) = 2.0f;
            }
    VerticalMotionFields f = s.make();
    metwnd(1, f);
    const float gradient = (f.pressure_b.at(3, 3, 3) - f.pressure_b.at(3, 3, 1)) / (0.97f - 0.999f);
    const float want = -(2.0f * -0.1f + (-0.6f / 60.0f)) / gradient;
    EXPECT_NEAR(f.w.at(3, 3, 2), want, 1e-6f);
    for (int32_t i = 1; i <= kNx; ++i)
        for (int32_t j = 1; j <= kNy; ++j) Fields::view(s.u).at(i, j, 2) = 500.0f;
    metwnd(1, f);
    EXPECT_FLOAT_EQ(f.w.at(3, 3, 2), 0.005f);
}

TEST(VerticalMotion, NoneAndTerrainCorrection) {
    Fields s;
    VerticalMotionFields f = s.make();
    metwnd(4, f);
    for (float w : s.w) EXPECT_EQ(w, 0.0f);

    Fields t;
    VerticalMotionFields g = t.make();
    metwnd(6, g);  // flat terrain: the data's w inside, halved at the edges
    EXPECT_FLOAT_EQ(g.w.at(3, 3, 1), 0.001f);
    EXPECT_FLOAT_EQ(g.w.at(1, 3, 1), 0.0005f);
    for (int32_t i = 1; i <= kNx; ++i)
        for (int32_t j = 1; j <= kNy; ++j) {
            g.terrain.at(i, j) = 100.0f * i;
            for (int32_t k = 1; k <= kNz; ++k) g.u.at(i, j, k) = 0.5f;
        }
    metwnd(6, g);
    const float r = 100.0f * 0.5f / (25000.0f - 300.0f);
    EXPECT_FLOAT_EQ(g.w.at(3, 3, 2), 0.001f + 0.99f * r);
    metwnd(0, g);
    metwnd(9, g);
    EXPECT_FLOAT_EQ(g.w.at(3, 3, 2), 0.001f + 0.99f * r);
}

}  // namespace
}  // namespace orv
