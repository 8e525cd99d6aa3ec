// Resuspension from the deposition grid and the wind-driven dust source.

#include <gtest/gtest.h>

#include <cmath>

#include "dispersion/resuspension.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/dispersion/emission_test_support.hpp"

namespace orv {
namespace {

using test::make_particles;
using test::Messages;
using test::run_captured;

class Resuspension : public ::testing::Test {
protected:
    TextOut quiet;
    Resuspension() : met(test::latlon_met()) {
        ConcentrationGrid g;
        g.lat_points = g.lon_points = 10;
        g.lat_spacing = g.lon_spacing = 0.5f;
        g.lower_left_lat = 38.0f;
        g.lower_left_lon = -92.0f;
        g.level_count = 2;
        g.heights[0] = 0;
        g.heights[1] = 100;
        grids = {g};
        allocate_concentration_array(conc, grids, 2, quiet);
        conc.values.fill(0.0f);
        dirt.resize(2);
        dirt[0].DOSUS = true;
        dirt[0].SRATE = 1.0e-3f;
        s.INITD = 2;
        hold_window(18, 18, 20, 20);
    }
    // The sub-grid of grid 1 holds columns x1.. and rows y1.., with the flux F everywhere.
    void hold_window(int32_t x1, int32_t y1, int32_t nx, int32_t ny, float flux = 0.5f) {
        arrays = MetSubgridArrays{};
        MetGridWindow& w = arrays.window(1);
        w.planned_x1 = x1;
        w.planned_y1 = y1;
        w.planned_nx = nx;
        w.planned_ny = ny;
        create_met_tables(arrays, 1, quiet);
        fit_met_fields_to_subgrid(arrays, 1, 1, msg.msg());
        for (int32_t j = 1; j <= ny; ++j)
            for (int32_t i = 1; i <= nx; ++i) arrays.field2(kSfcMomentumX, 1, arrays.time_slots[1]).at(i, j) = flux;
    }
    void step(float dt = 10.0f) { depsus(grids, dirt, s, met, arrays, 1, 1, dt, conc, p, msg.msg()); }

    MeteoFiles met;
    MetSubgridArrays arrays;
    std::vector<ConcentrationGrid> grids;
    ConcentrationArray conc;
    std::vector<Pollutant> dirt;
    Settings s;
    ParticleArrays p = make_particles(100, 2);
    Messages msg;
};

TEST_F(Resuspension, ReleasesItsShareOfTheDepositAsAPuff) {
    conc.at(3, 4, 1, 1, 1) = 2.0f;  // 39.5N 91W: grid point (19, 20), sub-grid (2, 3)
    conc.at(3, 4, 2, 1, 1) = 7.0f;  // not a deposition level
    step();
    ASSERT_EQ(p.particle_count, 1);
    const float r = 600.0f * 2.0f * 0.4f * 0.5f * 1.0e-3f;
    EXPECT_NEAR(conc.at(3, 4, 1, 1, 1), 2.0f - r, 1e-6f);
    EXPECT_FLOAT_EQ(conc.at(3, 4, 2, 1, 1), 7.0f);
    const float area = 0.5f * 1.2e10f * 0.5f * std::cos(39.5f / 57.295776f);
    EXPECT_NEAR(p.mass(0, 0), r * area, 1e-6f * r * area);
    EXPECT_FLOAT_EQ(p.mass(1, 0), 0.0f);
    EXPECT_FLOAT_EQ(p.particle_x[0], 19.0f);
    EXPECT_FLOAT_EQ(p.particle_y[0], 20.0f);
    EXPECT_FLOAT_EQ(p.particle_z[0], 1.0f);
    EXPECT_NEAR(p.particle_sigma_h[0], std::sqrt(area / 3.1415927f) / 1.54f, 0.05f);
    EXPECT_EQ(p.particle_hdwp[0], 2);
    EXPECT_EQ(p.particle_pollutant[0], 1);
    EXPECT_EQ(p.particle_grid[0], 1);
}

TEST_F(Resuspension, NeverMoreThanTheDepositNorANegativeAmount) {
    dirt[0].SRATE = 1.0f;
    conc.at(3, 4, 1, 1, 1) = 2.0f;
    step();
    ASSERT_EQ(p.particle_count, 1);
    EXPECT_FLOAT_EQ(conc.at(3, 4, 1, 1, 1), 0.0f);

    hold_window(18, 18, 20, 20, -0.5f);  // the flux field points the other way
    conc.at(3, 4, 1, 1, 1) = 2.0f;
    step();
    EXPECT_EQ(p.particle_count, 1);
    EXPECT_FLOAT_EQ(conc.at(3, 4, 1, 1, 1), 2.0f);
}

TEST_F(Resuspension, OnlyHeldPointsAndResuspendedPollutantsRelease) {
    conc.at(1, 1, 1, 1, 1) = 2.0f;  // 38N 92W: grid point (17, 17), outside the sub-grid
    conc.at(3, 4, 1, 2, 1) = 2.0f;  // pollutant 2 has no DOSUS
    step();
    EXPECT_EQ(p.particle_count, 0);
    EXPECT_FLOAT_EQ(conc.at(1, 1, 1, 1, 1), 2.0f);

    arrays = MetSubgridArrays{};  // nothing loaded at all
    conc.at(3, 4, 1, 1, 1) = 2.0f;
    step();
    EXPECT_EQ(p.particle_count, 0);
}

TEST_F(Resuspension, MeteorologicalPointsUnderIchem4) {
    s.ICHEM = 4;
    hold_window(1, 1, 60, 60);
    conc.at(5, 6, 1, 1, 1) = 2.0f;
    step();
    ASSERT_EQ(p.particle_count, 1);
    EXPECT_FLOAT_EQ(p.particle_x[0], 5.0f);
    EXPECT_FLOAT_EQ(p.particle_y[0], 6.0f);
    // The latitude of the point (32.5N) sets the cell area.
    const float r = 600.0f * 2.0f * 0.4f * 0.5f * 1.0e-3f;
    const float area = 0.5f * 1.2e10f * 0.5f * std::cos(32.5f / 57.295776f);
    EXPECT_NEAR(p.mass(0, 0), r * area, 1e-5f * r * area);
}

TEST_F(Resuspension, FullArraysAndNoDepositionGrid) {
    p = make_particles(1, 1);
    conc.at(3, 4, 1, 1, 1) = 2.0f;
    conc.at(4, 4, 1, 1, 1) = 2.0f;
    step();
    EXPECT_EQ(p.particle_count, 1);
    EXPECT_EQ(msg.count("WARNING depsus: exceeding puff limit"), 1u);

    grids[0].heights[0] = 10;
    const auto o = run_captured(msg.console, [&] { step(); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_EQ(msg.count("*ERROR* depsus: requires a deposition grid"), 1u);
}

TEST(DustEmission, WindAboveThresholdEmitsWithoutRain) {
    const float L = std::log(10.0f / 2.0e-5f);
    const float ut = 0.28f * L / 0.4f;
    const float u = 10.0f;
    const float ustar = u * (0.4f / L + 0.003f * (1.0f - ut / u));
    const float flux = 0.01f * ustar * ustar * ustar * ustar;
    EXPECT_NEAR(surface_emission_flux(1.0f, 10.0f, 0.6f, 0.0f), flux, 1e-6f * flux);

    ParticleArrays p = make_particles(1, 1);
    SourceLocation first;
    first.height = 10.0f;
    first.source_area = 100.0f;
    p.mass(0, 0) = -1.0f;
    compute_surface_emission_flux(1.0f, first, 0.6f, 0.0f, p, 0);
    EXPECT_NEAR(p.mass(0, 0), flux * 3600.0f * 100.0f, 1e-5f);
    EXPECT_EQ(p.particle_grid[0], 1);

    p.mass(0, 0) = -1.0f;
    compute_surface_emission_flux(1.0f, first, 0.6f, 1.0e-4f, p, 0);  // rain
    EXPECT_EQ(p.mass(0, 0), 0.0f);
    EXPECT_EQ(p.particle_grid[0], 0);
}

TEST(DustEmission, ThresholdCapAndDegenerateInputs) {
    const float ut_speed = 0.28f * std::log(10.0f / 2.0e-5f) / 0.4f * 60.0f / 1000.0f;
    EXPECT_EQ(surface_emission_flux(1.0f, 10.0f, ut_speed * 0.999f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(surface_emission_flux(1.0f, 10.0f, 1000.0f, 0.0f), 0.001f);
    // No roughness term: a source at or below 2e-5 m, or at no height at all.
    for (float h : {0.0f, 1.0e-5f, 2.0e-5f, -3.0f}) EXPECT_EQ(surface_emission_flux(1.0f, h, 1000.0f, 0.0f), 0.0f);
    // A negative threshold in calm air: no flux, no 0 x infinity.
    EXPECT_EQ(surface_emission_flux(-1.0f, 10.0f, 0.0f, 0.0f), 0.0f);
}

}  // namespace
}  // namespace orv
