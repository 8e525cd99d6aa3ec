// The internal vertical grid and the remapping of data columns onto it.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/run_stop.hpp"
#include "meteo/vertical_remap.hpp"
#include "tests/meteo/met_state_support.hpp"
#include "tests/meteo/meteo_test_support.hpp"

namespace orv {
namespace {

// Pressure-level tables with NZ levels, all within the lowest kilometres.
MeteoFiles pressure_levels(int32_t nz) {
    MeteoFiles m;
    m.num_grids = 1;
    m.num_times = 1;
    m.grid(1, 1).grid_number = 1;
    m.grid(1, 1).nz = nz;
    m.layout(1, 1).vertical_type = 2;
    for (int32_t k = 2; k <= nz; ++k) m.layout(1, 1).level_heights[k - 1] = 1010.0f - 5.0f * k;
    return m;
}

int32_t levels_for(int32_t nz, float top) {
    test::TestConsole quiet;
    return set_internal_vertical_grid(pressure_levels(nz), 1, top, quiet.out).nlvl;
}

TEST(InternalGrid, LevelCountsByModelTop) {
    // Levels each set needs, sets 1 to 5; a grid of n data levels below the
    // top takes the first set that needs more than n.
    const struct {
        float top;
        int32_t need[5];
    } table[] = {{5000.0f, {14, 17, 19, 23, 32}},
                 {10000.0f, {19, 23, 26, 33, 45}},
                 {20000.0f, {27, 32, 37, 46, 63}},
                 {25000.0f, {30, 36, 41, 51, 71}}};
    for (const auto& row : table) {
        EXPECT_EQ(levels_for(1, row.top), row.need[0]) << row.top;
        for (int32_t s = 1; s < 5; ++s) EXPECT_EQ(levels_for(row.need[s - 1], row.top), row.need[s]) << row.top;
        EXPECT_EQ(levels_for(row.need[4], row.top), row.need[4]) << row.top;  // none more: set 5
    }
    EXPECT_EQ(levels_for(16, 10000.0f), 19);
    EXPECT_EQ(levels_for(21, 10000.0f), 23);
    EXPECT_EQ(levels_for(75, 25000.0f), 71);

    const float heights[5] = {75.0f, 55.0f, 50.0f, 70.0f, 60.0f};
    const int32_t sl[5] = {2, 2, 2, 3, 3};
    for (int32_t s = 0; s < 5; ++s) {
        test::TestConsole quiet;
        const int32_t n = s == 0 ? 1 : table[0].need[s - 1];
        InternalVerticalGrid g = set_internal_vertical_grid(pressure_levels(n), 1, 5000.0f, quiet.out);
        EXPECT_EQ(g.surface_layer_level, sl[s]);
        EXPECT_EQ(g.surface_layer_height, heights[s]);
        EXPECT_EQ(g.height(1), 10.0f);
    }
}

TEST(InternalGrid, ScanStopsAboveTheTop) {
    TextOut quiet;
    // 1000 and 850 hPa, then levels far above a 1000 m top: the scan stops at
    // level 3 (n = 4), so set 1 needs more (7 levels) and is taken.
    MeteoFiles m = pressure_levels(10);
    const float levels[9] = {1000, 850, 700, 500, 400, 300, 250, 200, 150};
    for (int32_t k = 2; k <= 10; ++k) m.layout(1, 1).level_heights[k - 1] = levels[k - 2];
    test::TestConsole cap;
    InternalVerticalGrid g = set_internal_vertical_grid(m, 1, 1000.0f, cap.out);
    EXPECT_EQ(g.nlvl, 7);
    EXPECT_NE(cap.text().find("850.0000"), std::string::npos);  // the levels scanned are listed
    EXPECT_EQ(cap.text().find("700.0000"), std::string::npos);
    // A negative top skips the scan.
    EXPECT_EQ(set_internal_vertical_grid(m, 1, -1000.0f, quiet).nlvl, 1);
    std::vector<float> s = make_sigma_profile(g, 25000.0f);
    ASSERT_EQ(s.size(), 7u);
    EXPECT_FLOAT_EQ(s[0], 1.0f - 10.0f / 25000.0f);
}

// An isothermal atmosphere at kT0 over terrain kZs with surface pressure kPs.
constexpr float kT0 = 250.0f, kPs = 1000.0f, kZs = 500.0f, kTop = 25000.0f;
const double kScale = 287.04 * 250.0 / 9.80616;  // m

double exact_pressure(double z_above_ground) { return kPs * std::exp(-z_above_ground / kScale); }

struct IsothermalCase {
    MetGridDefinition gd;
    MetFileLayout lay;
    DataColumn d;
};

IsothermalCase isothermal(int32_t type) {
    IsothermalCase c;
    c.lay.vertical_type = type;
    MeteoDataFlags& fl = c.lay.flags;
    fl.surface_pressure = true;
    fl.terrain_height = true;
    fl.two_metre_temperature = true;
    std::vector<float> values;
    switch (type) {
        case 1:
        case 4:
            values = {0.985f, 0.95f, 0.9f, 0.8f, 0.7f, 0.6f, 0.5f, 0.4f, 0.3f, 0.2f};
            if (type == 4)
                for (size_t k = 5; k < values.size(); ++k) values[k] = 50.0f + (values[k] - 0.05f);  // 50 hPa + b ps
            break;
        case 2: values = {990.0f, 950.0f, 850.0f, 700.0f, 500.0f, 400.0f, 300.0f, 250.0f, 200.0f}; break;
        case 3:
            c.lay.level_heights[0] = 20000.0f;
            // Levels 500 m apart: linear interpolation of the pressure is
            // within 1e-3 of the exponential.
            values = {50.0f, 150.0f, 300.0f};
            for (float z = 500.0f; z <= 12000.0f; z += 500.0f) values.push_back(z);
            break;
    }
    const int32_t nd = static_cast<int32_t>(values.size());
    c.d.resize(nd);
    c.d.surface_pressure = kPs;
    c.d.terrain = kZs;
    c.d.temperature_2m = kT0;
    c.d.roughness = 0.1f;
    for (int32_t kd = 1; kd <= nd; ++kd) {
        const float v = values[static_cast<size_t>(kd - 1)];
        c.d.value[kd] = v;
        c.lay.level_heights[static_cast<size_t>(kd)] = v;
        c.d.t[kd] = kT0;
        c.d.u[kd] = 10.0f;
        c.d.moisture[kd] = 50.0f;
        double p = 0.0;
        if (type == 1) p = v * kPs;
        if (type == 2) p = v;
        if (type == 3) p = exact_pressure(v * (1.0 - kZs / 20000.0));
        if (type == 4) p = std::trunc(v) + (v - std::trunc(v)) * kPs;
        c.d.height_or_pressure[kd] = static_cast<float>(type == 2 ? kZs + kScale * std::log(kPs / p) : p);
    }
    return c;
}

class Remap : public ::testing::Test {
protected:
    InternalVerticalGrid vg;
    std::vector<float> sigma;
    RemapGrid rg;
    MeteoNotices notices;
    test::LogText log;
    void SetUp() override {
        test::TestConsole quiet;
        vg = set_internal_vertical_grid(pressure_levels(16), 1, 10000.0f, quiet.out);  // 19 levels to 10.4 km
        sigma = make_sigma_profile(vg, kTop);
        rg = RemapGrid{sigma, kTop, vg.nlvl};
    }
};

TEST_F(Remap, IsothermalColumnsGiveTheHydrostaticProfile) {
    for (int32_t type = 1; type <= 4; ++type) {
        IsothermalCase c = isothermal(type);
        ColumnProfile out;
        out.resize(vg.nlvl);
        remap_column(c.gd, c.lay, rg, c.d, out, notices, log.msg());
        const double tol = type == 3 ? 1e-3 : 1e-5;
        for (int32_t k = 1; k <= vg.nlvl; ++k) {
            const double z = (1.0 - sigma[static_cast<size_t>(k - 1)]) * (kTop - kZs);
            const double p = exact_pressure(z);
            EXPECT_NEAR(out.z[k], z, 1e-3 * z) << type << " " << k;
            EXPECT_NEAR(out.p[k] / p, 1.0, tol) << type << " " << k;
            EXPECT_NEAR(out.rho[k] / (100.0 * p / (287.04 * kT0)), 1.0, tol) << type << " " << k;
            EXPECT_NEAR(out.theta[k] / (kT0 * std::pow(1000.0 / p, 0.286)), 1.0, tol) << type << " " << k;
            EXPECT_FLOAT_EQ(out.t[k], kT0);
            EXPECT_FLOAT_EQ(out.rh[k], 0.5f);
        }
    }
    EXPECT_EQ(log.str().find("extrapolation"), std::string::npos);
}

TEST_F(Remap, AboveTheDataLevelsExtrapolateOncePerMethod) {
    for (int32_t round = 0; round < 2; ++round) {
        IsothermalCase c = isothermal(2);
        c.d.nd = 5;  // data up to 500 hPa (5.1 km)
        for (int32_t kd = 1; kd <= 5; ++kd) c.d.w[kd] = -0.8f;  // hPa/s
        ColumnProfile out;
        out.resize(vg.nlvl);
        remap_column(c.gd, c.lay, rg, c.d, out, notices, log.msg());
        int32_t first = 0;
        for (int32_t k = 1; k <= vg.nlvl; ++k)
            if (first == 0 && out.z[k] > c.d.height[5]) first = k;
        ASSERT_GT(first, 2);
        for (int32_t k = first; k <= vg.nlvl; ++k) {
            EXPECT_FLOAT_EQ(out.w[k], 0.5f * out.w[k - 1]);
            EXPECT_FLOAT_EQ(out.u[k], out.u[first - 1]);
            EXPECT_FLOAT_EQ(out.theta[k], out.theta[first - 1]);
            EXPECT_LT(out.p[k], out.p[k - 1]);
        }
        EXPECT_LT(out.w[1], 0.0f);  // rising air (negative hPa/s): the internal coordinate falls
    }
    EXPECT_EQ(log.count("NOTICE prfprs: extrapolation from level (k,m):"), 1u);
    EXPECT_EQ(log.count(std::string(56, '-')), 2u);
}

TEST_F(Remap, MissingSurfaceValuesAreEstimated) {
    // Sigma data without surface pressure: from the terrain, at 1013 hPa sea level.
    IsothermalCase s = isothermal(1);
    s.lay.flags.surface_pressure = false;
    ColumnProfile out;
    out.resize(vg.nlvl);
    remap_column(s.gd, s.lay, rg, s.d, out, notices, log.msg());
    EXPECT_NEAR(s.d.surface_pressure, 1013.0 * std::exp(-kZs / kScale), 1e-2);

    // Pressure levels without terrain: below the lowest level by the
    // hypsometric equation, else between the levels that bracket the surface
    // pressure.
    IsothermalCase p = isothermal(2);
    p.lay.flags.terrain_height = false;
    remap_column(p.gd, p.lay, rg, p.d, out, notices, log.msg());
    EXPECT_NEAR(p.d.terrain, kZs, 1e-2);
    p = isothermal(2);
    p.lay.flags.terrain_height = false;
    p.d.surface_pressure = 970.0f;
    remap_column(p.gd, p.lay, rg, p.d, out, notices, log.msg());
    EXPECT_NEAR(p.d.terrain, kZs + kScale * std::log(kPs / 970.0), 2.0);  // linear in pressure
    // ... and below every level: the top two levels, with one warning.
    for (int32_t round = 0; round < 2; ++round) {
        IsothermalCase high = isothermal(2);
        high.lay.flags.terrain_height = false;
        high.d.surface_pressure = 150.0f;
        remap_column(high.gd, high.lay, rg, high.d, out, notices, log.msg());
        EXPECT_NEAR(high.d.terrain, kZs + kScale * std::log(kPs / 150.0), 0.1 * kScale);
    }
    EXPECT_EQ(log.count("surface pressure below every data level"), 1u);

    // Terrain-following data without surface temperature: the levels below
    // the lowest data level are marked as not observed.
    IsothermalCase t = isothermal(3);
    t.lay.flags.two_metre_temperature = false;
    t.d.value[1] = 100.0f;  // lowest data level at 97.5 m: above internal levels 1 and 2
    remap_column(t.gd, t.lay, rg, t.d, out, notices, log.msg());
    EXPECT_LT(out.z[1], 0.0f);
    EXPECT_LT(out.z[2], 0.0f);
    EXPECT_GT(out.z[3], 0.0f);
}

TEST_F(Remap, BottomWindFollowsTheLogLawWithinBounds) {
    IsothermalCase c = isothermal(3);
    c.d.value[1] = 200.0f;  // lowest data level above internal level 1
    for (float z0 : {0.1f, 0.0f, 500.0f}) {
        c.d.roughness = z0;
        ColumnProfile out;
        out.resize(vg.nlvl);
        remap_column(c.gd, c.lay, rg, c.d, out, notices, log.msg());
        EXPECT_TRUE(std::isfinite(out.u[0])) << z0;
        EXPECT_GE(out.u[0], 0.0f) << z0;
        EXPECT_LE(out.u[0], 10.0f) << z0;
        if (z0 == 0.1f) {
            const double zi = (1.0 - sigma[0]) * (kTop - kZs), z1 = 200.0 * (1.0 - kZs / 20000.0);
            EXPECT_NEAR(out.u[0], 10.0 * std::log(zi / 0.1) / std::log(z1 / 0.1), 1e-4);
        }
    }
    c.lay.flags.ten_metre_wind = true;
    c.d.u10 = 3.0f;
    ColumnProfile out;
    out.resize(vg.nlvl);
    remap_column(c.gd, c.lay, rg, c.d, out, notices, log.msg());
    EXPECT_EQ(out.u[0], 3.0f);
}

TEST_F(Remap, UnknownTypeAndMissingSurfaceOfHybridDataStop) {
    IsothermalCase c = isothermal(4);
    c.lay.flags.surface_pressure = false;
    c.lay.flags.terrain_height = false;
    ColumnProfile out;
    out.resize(vg.nlvl);
    test::TestConsole cap;
    EXPECT_THROW(remap_column(c.gd, c.lay, rg, c.d, out, notices, cap.with(log.log)), RunStop);
    EXPECT_NE(log.str().find("prfecm: either surface pressure or terrain required"), std::string::npos);
    c.lay.vertical_type = 5;
    EXPECT_THROW(remap_column(c.gd, c.lay, rg, c.d, out, notices, cap.with(log.log)), RunStop);
    EXPECT_NE(cap.text().find("Unknown vertical type:"), std::string::npos);
}

}  // namespace
}  // namespace orv
