// A generated data period loaded into the sub-grid arrays and remapped onto
// the internal levels: units, hydrostatic pressure, surface fluxes.

#include <gtest/gtest.h>

#include <cmath>

#include "meteo/grid_selection.hpp"
#include "meteo/met_loading.hpp"
#include "meteo/vertical_remap.hpp"
#include "tests/meteo/met_state_support.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/analytic_met.hpp"
#include "tools/surface_writer.hpp"

namespace orv {
namespace {

TEST(Prfcom, GeneratedPeriodOnTheInternalLevels) {
    test::ScratchDir dir;
    fixture::write_surface_files(".", fixture::SurfaceRecipe{});
    tminit();
    fixture::MetFileRecipe r;
    r.grid = fixture::GridShape::latlon(35.0f, -100.0f, 0.5f, 0.5f, 30, 25);
    r.levels = {0, 1000, 925, 850, 700, 500, 400, 300, 250, 200, 150, 100};
    r.surface_vars = {"PRSS", "SHGT", "T02M", "U10M", "V10M", "PBLH", "USTR", "SHTF"};
    r.upper_vars = {"HGTS", "TEMP", "UWND", "VWND", "WWND", "RELH"};
    TextOut quiet;
    r.start = tm2min(24, 7, 1, 0, 0, quiet);
    r.periods = 2;
    fixture::AnalyticMet atmosphere;
    atmosphere.u = 5.0;
    atmosphere.daily_cycle = false;
    fixture::write_met_file("met.bin", r, atmosphere.function());
    test::SetupRun run({{"met.bin"}});
    ASSERT_EQ(run.run(), 0) << run.console;

    MeteoState m;
    m.files = std::move(run.met);
    InternalVerticalGrid vg;
    {
        test::TestConsole quiet;
        vg = set_internal_vertical_grid(m.files, 1, 10000.0f, quiet.out);
    }
    const std::vector<float> sigma = make_sigma_profile(vg, 25000.0f);
    MetGridWindow& w = m.arrays.window(1);
    w.planned_x1 = 3;
    w.planned_y1 = 2;
    w.planned_nx = 20;
    w.planned_ny = 20;
    create_met_tables(m.arrays, 1, quiet);
    test::LogText log;
    fit_met_fields_to_subgrid(m.arrays, 1, vg.nlvl, log.msg());
    metgrd(m, 1, 1, log.msg());
    const int32_t levels = std::min(vg.nlvl, m.files.grid(1, 1).nz - 1);
    load_met_period(m, 1, 1, 1, r.start, levels, log.msg());
    EXPECT_EQ(m.arrays.met_time(1, 1), r.start);
    Settings settings;
    prfcom(m, 1, 1, 1, levels, settings, vg, sigma, 25000.0f, log.msg());

    const MetSlotFields f = m.arrays.slot_fields(1, 1);
    const MetFixedFields fx = m.arrays.fixed_fields(1);
    for (int32_t i : {1, 10, 20}) {
        const int32_t j = 10;
        const float gx = fx.grid_spacing_x.at(i, j);
        EXPECT_NEAR(f.sfc_momentum_x.at(i, j), -0.3f * 60.0f / gx, 1e-3f * 0.3f * 60.0f / gx);
        EXPECT_NEAR(f.sfc_momentum_y.at(i, j), 0.0f, 1e-6f);
        EXPECT_FLOAT_EQ(f.sfc_mixed_layer_depth.at(i, j), 1200.0f);
        for (int32_t k = 1; k <= vg.nlvl; ++k) {
            const double z = (1.0 - sigma[static_cast<size_t>(k - 1)]) * 25000.0;
            EXPECT_NEAR(f.met_u.at(i, j, k), 5.0f * 60.0f / gx, 2e-3f) << k;
            EXPECT_NEAR(f.met_v.at(i, j, k), 0.0f, 2e-3f) << k;
            if (z < 15500.0) {
                EXPECT_NEAR(f.met_pressure.at(i, j, k) / fixture::standard_pressure(z), 1.0, 3e-3) << k;
                EXPECT_NEAR(f.met_humidity.at(i, j, k), 0.6f, 1e-3f) << k;
            }
            EXPECT_GT(f.met_turbulence_3.at(i, j, k), 0.0f);
            EXPECT_GE(f.met_turbulence_1.at(i, j, k), 0.0f);
            EXPECT_NEAR(f.met_w.at(i, j, k), 0.0f, 1e-6f);
        }
    }
    // The other slot was not touched.
    EXPECT_EQ(m.arrays.slot_fields(1, 2).met_u.at(10, 10, 1), 0.0f);
}

}  // namespace
}  // namespace orv
