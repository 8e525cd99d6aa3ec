// Stability analysis, turbulence methods and horizontal mixing of columns.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/run_stop.hpp"
#include "meteo/stability.hpp"
#include "tests/meteo/met_state_support.hpp"
#include "tests/meteo/meteo_test_support.hpp"

namespace orv {
namespace {

// A column of 12 levels 10, 75, 200, ... m (the first quadratic), neutral
// (constant potential temperature 300 K) with a wind of 5 m/s along x that
// grows with height.
ColumnProfile neutral_column() {
    ColumnProfile c;
    c.resize(12);
    for (int32_t k = 1; k <= 12; ++k) {
        c.z[k] = 30.0f * k * k - 25.0f * k + 5.0f;
        c.theta[k] = 300.0f;
        c.rho[k] = 1.2f;
        c.u[k] = 5.0f + 0.002f * c.z[k];
        c.v[k] = 0.0f;
        c.e1[k] = 1.0f;
    }
    return c;
}

MeteoDataFlags flux_flags() {
    MeteoDataFlags f;
    f.friction_velocity = true;
    f.heat_flux = true;
    return f;
}

TEST(Stability, FluxObukhovLengthIsTheTextbookOne) {
    TurbulenceOptions o;
    test::LogText log;
    for (float heat : {100.0f, -10.0f}) {
        ColumnProfile c = neutral_column();
        StabilitySurface s;
        s.roughness = 0.1f;
        s.momentum_x = 0.4f;  // USTR
        s.heat = heat;
        const StabilityState st = stbanl(o, flux_flags(), 1, 1, c, s, log.msg());
        // L = -u*^3 theta rho cp / (kappa g H) at the surface-layer level.
        const double want = -std::pow(0.4, 3) * 300.0 * 1.2 * 1005.0 / (0.4 * 9.80616 * heat);
        EXPECT_NEAR(st.obukhov_length / want, 1.0, 1e-4) << heat;
        EXPECT_FLOAT_EQ(st.ustar, 0.4f);
        EXPECT_FLOAT_EQ(s.momentum_x, st.ustar_x);
        EXPECT_NEAR(st.ustar_x, 0.4f, 1e-6f);  // wind along x only
        EXPECT_EQ(st.ustar_y, 0.0f);
        EXPECT_EQ(st.wstar > 0.0f, heat > 0.0f);
        EXPECT_EQ(s.mixed_layer_depth, c.z[12]);  // neutral: the whole column is mixed
    }
    // A heat flux below -25 W/m2 counts as -25.
    ColumnProfile a = neutral_column(), b = neutral_column();
    StabilitySurface sa, sb;
    sa.momentum_x = sb.momentum_x = 0.4f;
    sa.heat = -80.0f;
    sb.heat = -25.0f;
    EXPECT_EQ(stbanl(o, flux_flags(), 1, 1, a, sa, log.msg()).tstar, stbanl(o, flux_flags(), 1, 1, b, sb,
                                                                            log.msg()).tstar);
}

TEST(Stability, CalmReferenceLevelAndNeutralProfiles) {
    TurbulenceOptions o;
    test::LogText log;
    ColumnProfile calm = neutral_column();
    for (int32_t k = 1; k <= 12; ++k) calm.u[k] = 0.0f;
    StabilitySurface s;
    s.momentum_x = 0.3f;
    s.heat = 50.0f;
    StabilityState st = stbanl(o, flux_flags(), 1, 1, calm, s, log.msg());
    EXPECT_NEAR(st.ustar_x, 0.707107f * 0.3f, 1e-6f);
    EXPECT_NEAR(st.ustar_y, 0.707107f * 0.3f, 1e-6f);

    // Profiles of a neutral column: zeta exactly 0 becomes 0.001 (stable).
    o.kbls = 2;
    ColumnProfile c = neutral_column();
    StabilitySurface p;
    p.roughness = 0.0f;  // no roughness: the least length keeps the log-law finite
    st = stbanl(o, MeteoDataFlags{}, 1, 1, c, p, log.msg());
    EXPECT_FLOAT_EQ(st.obukhov_length, 75.0f / 0.001f);
    EXPECT_EQ(st.wstar, 0.0f);
    EXPECT_GT(st.ustar, 0.0f);
    EXPECT_TRUE(std::isfinite(p.stability_1));
    EXPECT_EQ(p.stability_2, 0.0f);  // no static stability
}

TEST(Stability, MixedLayerDepthRules) {
    TurbulenceOptions o;
    test::LogText log;
    ColumnProfile c = neutral_column();
    for (int32_t k = 6; k <= 12; ++k) c.theta[k] = 300.0f + 3.0f * (k - 5);  // inversion above level 5
    StabilitySurface s;
    s.momentum_x = 0.4f;
    s.heat = 50.0f;
    s.mixed_layer_depth = 1800.0f;
    EXPECT_EQ(stbanl(o, flux_flags(), 1, 1, c, s, log.msg()).mixed_layer_depth, c.z[5]);  // theta rule
    MeteoDataFlags with_depth = flux_flags();
    with_depth.mixed_layer_depth = true;
    s.mixed_layer_depth = 1800.0f;
    EXPECT_EQ(stbanl(o, with_depth, 1, 1, c, s, log.msg()).mixed_layer_depth, 1800.0f);
    o.kmixd = 10;
    EXPECT_EQ(stbanl(o, with_depth, 1, 1, c, s, log.msg()).mixed_layer_depth, 250.0f);  // 10 m raised to KMIX0
    o.kmixd = 2;  // TKE rule wanted, but the data hold no TKE: theta rule
    EXPECT_EQ(stbanl(o, flux_flags(), 1, 1, c, s, log.msg()).mixed_layer_depth, c.z[5]);
    MeteoDataFlags tke = flux_flags();
    tke.tke = true;
    for (int32_t k = 1; k <= 12; ++k) c.e1[k] = k <= 3 ? 2.0f : 0.5f;
    EXPECT_EQ(stbanl(o, tke, 1, 1, c, s, log.msg()).mixed_layer_depth, 250.0f);  // z(3) = 200, raised to 250
}

TEST(Stability, NoObservedDataStops) {
    TurbulenceOptions o;
    test::LogText log;
    ColumnProfile c = neutral_column();
    for (int32_t k = 1; k <= 11; ++k) c.z[k] = -c.z[k];
    StabilitySurface s;
    test::TestConsole cap;
    try {
        stbanl(o, flux_flags(), 4, 7, c, s, cap.with(log.log));
        FAIL() << "no stop";
    } catch (const RunStop& r) {
        EXPECT_EQ(r.code(), kStopInput);
    }
    EXPECT_NE(cap.text().find("Error: stbanl - no observed data, see MESSAGE file"), std::string::npos);
    EXPECT_NE(log.str().find("At horizontal grid position (i,j):"), std::string::npos);
    EXPECT_EQ(log.count("Level   Height  Temperature"), 1u);
}

StabilityState convective(ColumnProfile& c, TurbulenceOptions& o) {
    test::LogText log;
    StabilitySurface s;
    s.momentum_x = 0.4f;
    s.heat = 200.0f;
    s.mixed_layer_depth = 1200.0f;
    MeteoDataFlags f = flux_flags();
    f.mixed_layer_depth = true;
    return stbanl(o, f, 1, 1, c, s, log.msg());
}

TEST(Turbulence, MethodsGiveBoundedVariancesSplitByTheWind) {
    TextOut quiet;
    for (int32_t method = 1; method <= 3; ++method) {
        TurbulenceOptions o;
        o.kblt = method;
        ColumnProfile c = neutral_column();
        for (int32_t k = 9; k <= 12; ++k) c.theta[k] = 300.0f + 2.0f * (k - 8);  // stable above the mixed layer
        const StabilityState st = convective(c, o);
        ASSERT_LT(st.obukhov_length, 0.0f);
        compute_turbulence(o, c, st, quiet);
        for (int32_t k = 1; k <= 12; ++k) {
            EXPECT_GT(c.e3[k], 0.0f) << method << " " << k;
            EXPECT_GT(c.e2[k], 0.0f) << method << " " << k;
            EXPECT_EQ(c.e1[k], 0.0f) << method << " " << k;  // wind along x: all variance in u
        }
        if (method == 1) {
            for (int32_t k = 1; k <= 12; ++k) {
                EXPECT_GE(c.e3[k], 0.01f / 200.0f);
                EXPECT_LE(c.e3[k], 1.0f);
                EXPECT_FLOAT_EQ(c.e2[k], c.e3[k]);
            }
        }
        if (method == 3) {
            // Ratio partition: sigma_w^2 = 2E/(1/r + 1), horizontal total sigma_w^2 / r.
            const float sw = 2.0f / (1.0f / 0.18f + 1.0f);
            EXPECT_FLOAT_EQ(c.e3[4], sw);
            EXPECT_FLOAT_EQ(c.e2[4], sw / 0.18f);
        }
    }
}

TEST(Turbulence, AveragingNightFactorAndCalmLevels) {
    TextOut quiet;
    // KZMIX 1: the vertical variance of the mixed layer is its mean.
    TurbulenceOptions o;
    o.kblt = 2;
    o.kzmix = 1;
    ColumnProfile c = neutral_column();
    StabilityState st = convective(c, o);
    compute_turbulence(o, c, st, quiet);
    int32_t kml = 0;
    for (int32_t k = 1; k <= 12; ++k)
        if (c.z[k] < 1200.0f) kml = k;
    for (int32_t k = 2; k <= kml; ++k) EXPECT_FLOAT_EQ(c.e3[k], c.e3[1]);

    // Night factor of method 2 only when TKERN exceeds TKERD in stable air.
    auto stable_e3 = [&](float tkern) {
        TurbulenceOptions n;
        n.kblt = 2;
        n.tkern = tkern;
        ColumnProfile col = neutral_column();
        StabilityState s;
        s.ustar = 0.3f;
        s.obukhov_length = 50.0f;
        s.mixed_layer_depth = 400.0f;
        compute_turbulence(n, col, s, quiet);
        return col.e3[1];
    };
    EXPECT_FLOAT_EQ(stable_e3(0.18f), 1.7f * 0.09f);
    EXPECT_FLOAT_EQ(stable_e3(0.5f), 1.4f * 1.7f * 0.09f);

    // A calm level gets no horizontal variance; method 4 keeps the data's.
    ColumnProfile calm = neutral_column();
    calm.u[3] = 0.0f;
    TurbulenceOptions m1;
    m1.kblt = 1;
    StabilityState s1 = convective(calm, m1);
    compute_turbulence(m1, calm, s1, quiet);
    EXPECT_EQ(calm.e1[3], 0.0f);
    EXPECT_EQ(calm.e2[3], 0.0f);
    ColumnProfile keep = neutral_column();
    keep.e3[5] = 0.7f;
    TurbulenceOptions m4;
    m4.kblt = 4;
    compute_turbulence(m4, keep, s1, quiet);
    EXPECT_EQ(keep.e1[5], 1.0f);
    EXPECT_EQ(keep.e3[5], 0.7f);
    TurbulenceOptions bad;
    bad.kblt = 5;
    test::TestConsole cap;
    EXPECT_THROW(compute_turbulence(bad, keep, s1, cap.out), RunStop);
    EXPECT_NE(cap.text().find("turbulence method undefined"), std::string::npos);
}

TEST(Turbulence, HorizontalMixingFromDeformation) {
    const int32_t nx = 4, ny = 3, nz = 2;
    std::vector<float> gx(nx * ny, 10000.0f), gy(nx * ny, 20000.0f);
    std::vector<float> u(nx * ny * nz), v(nx * ny * nz, 0.0f), e1(nx * ny * nz), e2(nx * ny * nz);
    auto view3 = [&](std::vector<float>& a) { return FieldView3D{a.data(), nx * nz, 1, nz, nz}; };
    auto view2 = [&](std::vector<float>& a) { return FieldView2D{a.data(), nx, 1}; };
    // Shear: u grows by 0.1 grid units per minute per row.
    for (int32_t j = 1; j <= ny; ++j)
        for (int32_t i = 1; i <= nx; ++i)
            for (int32_t k = 1; k <= nz; ++k) view3(u).at(i, j, k) = 0.1f * j * k;
    compute_horizontal_mixing_from_deformation(nx, ny, nz, view2(gx), view2(gy), view3(u), view3(v), view3(e1),
                                               view3(e2));
    // Inside: D = 0.2 per level unit; at the edge the one-sided difference is 0.1.
    auto expected = [](float d) {
        return std::clamp(10000.0f * 20000.0f * 0.014f * std::sqrt(d * d) * 0.5f / 60.0f, 432.0f, 43200.0f) /
               10800.0f;
    };
    EXPECT_FLOAT_EQ(view3(e2).at(2, 2, 1), expected(0.2f));
    EXPECT_FLOAT_EQ(view3(e2).at(2, 1, 1), expected(0.1f));
    EXPECT_FLOAT_EQ(view3(e2).at(2, 2, 2), expected(0.4f));
    EXPECT_EQ(view3(e1).at(2, 2, 1), 0.0f);
}

}  // namespace
}  // namespace orv
