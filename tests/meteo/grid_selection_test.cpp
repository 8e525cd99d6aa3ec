// Grid selection, the sub-grid window, its hourly planning, its fixed fields,
// and the sub-grid arrays that hold every grid's window.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/run_stop.hpp"
#include "meteo/grid_selection.hpp"
#include "run/calendar.hpp"
#include "meteo/map_projection.hpp"
#include "tests/meteo/met_state_support.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/surface_writer.hpp"

namespace orv {
namespace {

using fixture::GridShape;

constexpr int32_t kT0 = 1000000;

MetGridDefinition regional_grid(int32_t nx = 100, int32_t ny = 100) {
    MeteoState m;
    test::add_grid(m, 1, GridShape::latlon(10.0f, -120.0f, 0.5f, 0.5f, nx, ny), kT0, kT0 + 600, 60);
    return m.files.grid(1, 1);
}

TEST(Metsub, WindowGrowsAroundItsCentre) {
    const MetGridDefinition gd = regional_grid();
    test::LogText log;
    MetGridWindow w;
    w.x1 = w.y1 = 10;
    w.nx = w.ny = 20;
    w.shifted = true;
    EXPECT_FALSE(metsub(gd, 1, w, 20.5f, 20.5f, log.log));  // inside, with its margin
    EXPECT_FALSE(metsub(gd, 1, w, 27.9f, 20.0f, log.log));
    EXPECT_TRUE(metsub(gd, 1, w, 28.5f, 20.0f, log.log));
    EXPECT_EQ(w.x1, 5);
    EXPECT_EQ(w.y1, 5);
    EXPECT_EQ(w.nx, 30);
    EXPECT_EQ(w.ny, 30);
    EXPECT_EQ(w.planned_nx, 30);  // stored back
    EXPECT_EQ(log.count("expand"), 1u);

    // Near the edge of a regional grid the window stays.
    EXPECT_FALSE(metsub(gd, 1, w, 98.5f, 20.0f, log.log));
    EXPECT_FALSE(metsub(gd, 1, w, 20.0f, 2.5f, log.log));
    EXPECT_EQ(w.nx, 30);
}

TEST(Metsub, FirstMoveTakesThePlannedWindow) {
    const MetGridDefinition gd = regional_grid();
    test::LogText log;
    MetGridWindow w;
    w.x1 = w.y1 = 10;
    w.nx = w.ny = 20;
    w.planned_x1 = 40;
    w.planned_y1 = 30;
    w.planned_nx = w.planned_ny = 20;
    EXPECT_TRUE(metsub(gd, 1, w, 50.0f, 40.0f, log.log));
    EXPECT_TRUE(w.shifted);
    EXPECT_EQ(w.x1, 40);
    EXPECT_EQ(w.y1, 30);
    EXPECT_EQ(w.nx, 20);
    EXPECT_EQ(log.count(" shift"), 1u);
    EXPECT_EQ(log.count("expand"), 0u);

    // A window never planned becomes the whole grid.
    MetGridWindow empty;
    EXPECT_TRUE(metsub(gd, 1, empty, 50.0f, 40.0f, log.log));
    EXPECT_EQ(empty.x1, 1);
    EXPECT_EQ(empty.nx, 100);
    EXPECT_EQ(empty.ny, 100);
}

TEST(Metsub, GlobalGridSwitchesToTheWholeGridOnce) {
    MeteoState m;
    test::add_grid(m, 1, GridShape::global(2.0f), kT0, kT0 + 600, 60);
    const MetGridDefinition& gd = m.files.grid(1, 1);
    ASSERT_TRUE(gd.global);
    test::LogText log;
    MetGridWindow w;
    w.x1 = 160;
    w.y1 = 40;
    w.nx = w.ny = 20;
    w.shifted = true;
    // Growing reaches the last column: the whole grid.
    EXPECT_TRUE(metsub(gd, 1, w, 178.5f, 50.0f, log.log));
    EXPECT_TRUE(w.whole_grid);
    EXPECT_EQ(w.x1, 1);
    EXPECT_EQ(w.nx, 180);
    EXPECT_EQ(w.ny, 91);
    EXPECT_FALSE(metsub(gd, 1, w, 1.5f, 90.5f, log.log));
    EXPECT_EQ(log.count("switch to global grid"), 1u);
}

class Metpos : public ::testing::Test {
protected:
    MeteoState m;
    test::LogText log;
    void SetUp() override {
        // Grid 1: a fine regional grid; grid 2: a coarser one around it.
        test::add_grid(m, 1, GridShape::latlon(30.0f, -100.0f, 0.25f, 0.25f, 80, 80), kT0, kT0 + 600, 60);
        test::add_grid(m, 2, GridShape::latlon(20.0f, -110.0f, 1.0f, 1.0f, 60, 50), kT0, kT0 + 600, 60);
        create_met_tables(m.arrays, 2, log.console.out);
    }
    float x_on(int32_t kg, float lat, float lon) {
        float x = 0.0f, y = 0.0f;
        convert_geo_to_latlon_grid(m.files.grid(kg, 1), lat, lon, x, y);
        return x;
    }
};

TEST_F(Metpos, LowestNumberedGridWinsAndPositionsConvert) {
    float x = 0.0f, y = 0.0f;
    convert_geo_to_latlon_grid(m.files.grid(2, 1), 35.0f, -95.0f, x, y);
    MetPosition p = metpos(m, false, x, y, kT0 + 90, 2, log.msg());
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(p.grid, 1);
    EXPECT_NEAR(x, 21.0f, 1e-3f);  // (35N, 95W) on grid 1
    EXPECT_NEAR(y, 21.0f, 1e-3f);
    EXPECT_EQ(m.arrays.request_times[0], kT0 + 60);
    EXPECT_EQ(m.arrays.request_times[1], kT0 + 120);

    // Outside grid 1 (beyond NX - 3), still inside grid 2.
    x = 78.5f;  // int 78 = NX - 2
    y = 40.0f;
    p = metpos(m, false, x, y, kT0 + 90, 1, log.msg());
    EXPECT_EQ(p.grid, 2);
    x = 77.9f;  // int 77 = NX - 3
    y = 40.0f;
    EXPECT_EQ(metpos(m, false, x, y, kT0 + 90, 1, log.msg()).grid, 1);
}

TEST_F(Metpos, HeldTimesKeepTheirSlots) {
    float x = 40.0f, y = 40.0f;
    metpos(m, false, x, y, kT0 + 90, 1, log.msg());
    EXPECT_EQ(m.arrays.time_slots[0], 1);
    EXPECT_EQ(m.arrays.time_slots[1], 2);
    m.arrays.met_time(1, 1) = kT0 + 60;
    m.arrays.met_time(1, 2) = kT0 + 120;
    // The next interval: the old data time 2 stays in slot 2 as data time 1.
    metpos(m, false, x, y, kT0 + 150, 1, log.msg());
    EXPECT_EQ(m.arrays.request_times[0], kT0 + 120);
    EXPECT_EQ(m.arrays.request_times[1], kT0 + 180);
    EXPECT_EQ(m.arrays.time_slots[0], 2);
    EXPECT_EQ(m.arrays.time_slots[1], 1);
    // Backward: data time 1 is the later one.
    metpos(m, true, x, y, kT0 + 90, 1, log.msg());
    EXPECT_EQ(m.arrays.request_times[0], kT0 + 120);
    EXPECT_EQ(m.arrays.request_times[1], kT0 + 60);
    EXPECT_EQ(m.arrays.time_slots[0], 2);
    EXPECT_EQ(m.arrays.time_slots[1], 1);
}

TEST_F(Metpos, TimesAcrossTwoFilesOfAGrid) {
    TextOut quiet;
    MeteoState two;
    const GridShape g = GridShape::latlon(30.0f, -100.0f, 0.25f, 0.25f, 80, 80);
    test::add_grid(two, 1, g, kT0, kT0 + 300, 60, 1);
    test::add_grid(two, 1, g, kT0 + 360, kT0 + 600, 60, 2);
    create_met_tables(two.arrays, 1, quiet);
    float x = 40.0f, y = 40.0f;
    MetPosition p = metpos(two, false, x, y, kT0 + 330, 1, log.msg());
    EXPECT_EQ(p.kt1, 1);
    EXPECT_EQ(p.kt2, 2);
    EXPECT_EQ(two.arrays.request_times[0], kT0 + 300);
    EXPECT_EQ(two.arrays.request_times[1], kT0 + 360);
    EXPECT_EQ(log.count("(kgx,kt1,kt2)"), 1u);
    p = metpos(two, true, x, y, kT0 + 330, 1, log.msg());
    EXPECT_EQ(p.kt1, 2);
    EXPECT_EQ(p.kt2, 1);
    EXPECT_EQ(two.arrays.request_times[0], kT0 + 360);
    EXPECT_EQ(two.arrays.request_times[1], kT0 + 300);
}

TEST_F(Metpos, NoDataStopsAtTheStartAndWarnsOnceLater) {
    float x = 40.0f, y = 40.0f;
    {
        test::TestConsole cap;
        EXPECT_THROW(metpos(m, false, x, y, kT0 + 600, 1, cap.with(log.log)), RunStop);
        EXPECT_NE(cap.text().find("start point not within (x,y,t) any data file"), std::string::npos);
        EXPECT_NE(cap.text().find("start time after end of meteorology data"), std::string::npos);
    }
    {
        test::TestConsole cap;
        float far_x = -500.0f;
        EXPECT_THROW(metpos(m, false, far_x, y, kT0 + 60, 1, cap.with(log.log)), RunStop);
        EXPECT_NE(cap.text().find("start location outside of domain"), std::string::npos);
    }
    m.arrays.met_time(1, 1) = kT0 + 540;
    tminit();
    test::TestConsole cap;
    EXPECT_EQ(metpos(m, false, x, y, kT0 + 600, 1, cap.with(log.log)).status, -1);
    EXPECT_EQ(metpos(m, false, x, y, kT0 + 660, 1, cap.with(log.log)).status, -1);
    EXPECT_EQ(log.count("WARNING metpos: no data at current time on any grid"), 1u);
    // The console too is told, once, when the data ended.
    const CalendarDate end = tm2day(kT0 + 600, log.console.out);
    const std::string line = list_line("WARNING metpos: meteorological data end at ", end.year, end.month, end.day,
                                       end.hour, end.minute, "before the run does: particles ended, see MESSAGE");
    EXPECT_EQ(cap.text(), line + "\n");
}

TEST(SubgridLimits, WindowsFollowTheParticleCloud) {
    MeteoState m;
    test::add_grid(m, 1, GridShape::lambert(40.0f, -90.0f, 40.0f, 100, 80), kT0, kT0 + 600, 60);
    std::vector<float> x = {45.2f, 55.7f, 50.0f}, y = {35.5f, 44.9f, 40.0f};
    std::vector<int32_t> g = {1, 1, 1};
    // 60 minutes at 40/60 km per minute is one cell: a margin of 2.
    compute_met_subgrid_limits(m, 10, 40.0f / 60.0f, x, y, g);
    const MetGridWindow& w = m.arrays.window(1);
    EXPECT_EQ(w.min_col, 45);
    EXPECT_EQ(w.max_col, 56);
    EXPECT_EQ(w.planned_nx, 11 + 2 + 3);
    EXPECT_EQ(w.planned_ny, 10 + 2 + 3);
    EXPECT_EQ(w.centre_x, 50.0f);
    EXPECT_EQ(w.planned_x1, 42);
    EXPECT_EQ(w.planned_y1, 40 - 7);

    // A smaller cloud never shrinks the window; an ended particle counts not.
    x = {50.0f, 500.0f};
    y = {40.0f, 40.0f};
    g = {1, 0};
    compute_met_subgrid_limits(m, 10, 40.0f / 60.0f, x, y, g);
    EXPECT_EQ(w.planned_nx, 16);

    // A cloud over most of the grid takes the whole grid.
    x = {5.0f, 90.0f};
    y = {40.0f, 40.0f};
    g = {1, 1};
    compute_met_subgrid_limits(m, 10, 40.0f / 60.0f, x, y, g);
    EXPECT_EQ(w.planned_x1, 1);
    EXPECT_EQ(w.planned_nx, 100);
    EXPECT_EQ(w.planned_ny, 80);
}

TEST(SubgridArrays, GrowingByOneRowReallocatesOnce) {
    TextOut quiet;
    MeteoState m;
    test::add_grid(m, 1, GridShape::latlon(30.0f, -100.0f, 0.25f, 0.25f, 80, 80), kT0, kT0 + 600, 60);
    test::add_grid(m, 2, GridShape::latlon(20.0f, -110.0f, 1.0f, 1.0f, 60, 50), kT0, kT0 + 600, 60);
    MetSubgridArrays& a = m.arrays;
    a.window(1).planned_nx = 20;
    a.window(1).planned_ny = 10;
    a.window(2).planned_nx = 12;
    a.window(2).planned_ny = 15;
    create_met_tables(a, 2, quiet);
    test::LogText log;
    fit_met_fields_to_subgrid(a, 1, 7, log.msg());
    EXPECT_EQ(a.nx, 20);
    EXPECT_EQ(a.ny, 15);
    EXPECT_EQ(a.nz, 7);

    // Every field of every grid and slot is its own, and starts at zero.
    for (int32_t kg = 1; kg <= 2; ++kg)
        for (int32_t s = 1; s <= 2; ++s) {
            MetSlotFields f = a.slot_fields(kg, s);
            for (int32_t k = 1; k <= 7; ++k) {
                EXPECT_EQ(f.met_turbulence_2.at(20, 15, k), 0.0f);
                f.met_u.at(3, 4, k) = static_cast<float>(100 * kg + 10 * s + k);
            }
            f.sfc_heat.at(20, 15) = static_cast<float>(kg * s);
        }
    EXPECT_EQ(a.field3(kMetU, 2, 1).at(3, 4, 5), 215.0f);
    EXPECT_EQ(a.field3(kMetV, 2, 1).at(3, 4, 5), 0.0f);
    EXPECT_EQ(a.field2(kSfcHeat, 2, 2).at(20, 15), 4.0f);
    EXPECT_EQ(a.slot_fields(1, 2).met_u.column(3, 4)[6], 127.0f);  // levels innermost
    a.fixed_fields(2).land_use.at(20, 15) = 7;
    EXPECT_EQ(a.fixed_fields(1).land_use.at(20, 15), 0);

    a.met_time(2, 1) = kT0;
    a.window(1).ny = 10;  // shrinking: nothing happens
    fit_met_fields_to_subgrid(a, 1, 7, log.msg());
    EXPECT_EQ(a.met_time(2, 1), kT0);
    a.window(2).ny = 16;  // one row more than allocated
    fit_met_fields_to_subgrid(a, 2, 7, log.msg());
    fit_met_fields_to_subgrid(a, 1, 7, log.msg());
    fit_met_fields_to_subgrid(a, 2, 7, log.msg());
    EXPECT_EQ(a.ny, 16);
    EXPECT_EQ(log.count("NOTICE advpnt: (kg,nx,ny,nz)"), 2u);
    EXPECT_EQ(a.met_time(2, 1), 0);  // every grid reads its data again
    EXPECT_EQ(a.field3(kMetU, 2, 1).at(3, 4, 5), 0.0f);
    release_met_arrays(a);
    EXPECT_FALSE(a.fields_allocated());
    EXPECT_TRUE(a.tables_created);
}

TEST(Metgrd, SpacingsAndSurfaceValuesOverTheWindow) {
    test::ScratchDir dir;
    fixture::SurfaceRecipe s;  // global one-degree grid
    s.landuse = [](float lat, float) { return lat > 0.0f ? 3 : 4; };
    s.roughness = [](float, float lon) { return lon < 0.0f ? 0.5f : 0.1f; };
    s.terrain = [](float lat, float) { return 10.0f * std::floor(lat); };
    fixture::write_surface_files(".", s);

    MeteoState m;
    // A 0.1-degree global grid: its last row lies within a hundredth of a
    // degree of the pole without computing exactly 90.
    test::add_grid(m, 1, GridShape::global(0.1f), kT0, kT0 + 600, 60);
    test::add_grid(m, 2, GridShape::lambert(40.0f, -90.0f, 40.0f, 60, 50), kT0, kT0 + 600, 60);
    m.files.layout(2, 1).vertical_type = 1;  // sigma data without terrain: terrain from the files
    m.arrays.window(1).planned_x1 = 1790;
    m.arrays.window(1).planned_y1 = 1798;
    m.arrays.window(1).planned_nx = 20;
    m.arrays.window(1).planned_ny = 4;
    m.arrays.window(2).planned_x1 = 21;
    m.arrays.window(2).planned_y1 = 16;
    m.arrays.window(2).planned_nx = m.arrays.window(2).planned_ny = 20;
    test::LogText log;
    create_met_tables(m.arrays, 2, log.console.out);
    fit_met_fields_to_subgrid(m.arrays, 1, 5, log.msg());
    metgrd(m, 1, 1, log.msg());
    metgrd(m, 2, 1, log.msg());

    const MetFixedFields f1 = m.arrays.fixed_fields(1);
    const float ns = 0.1f * kEarthRadiusKm / 57.295776f * 1000.0f;
    EXPECT_NEAR(f1.grid_spacing_y.at(1, 1), ns, 1e-2f);
    for (int32_t j = 1; j <= 4; ++j) {
        EXPECT_GT(f1.grid_spacing_x.at(5, j), 2.0f);  // no vanishing spacing at the pole row
        EXPECT_EQ(f1.land_use.at(5, j), 3);
    }
    EXPECT_EQ(f1.terrain_height.at(5, 4), 0.0f);  // pressure-level data: terrain not from the files
    const MetFixedFields f2 = m.arrays.fixed_fields(2);
    EXPECT_NEAR(f2.grid_spacing_x.at(10, 10), 40000.0f, 400.0f);
    EXPECT_EQ(f2.grid_spacing_x.at(10, 10), f2.grid_spacing_y.at(10, 10));
    EXPECT_FLOAT_EQ(f2.roughness_length.at(10, 10), 0.5f);
    float lat = 0.0f, lon = 0.0f;
    convert_projection_grid_to_geo(m.files.grid(2, 1).projection, 30.0f, 25.0f, lat, lon);
    EXPECT_FLOAT_EQ(f2.terrain_height.at(10, 10), 10.0f * std::floor(lat));
    EXPECT_EQ(log.count("NOTICE metgrd"), 2u);
}

}  // namespace
}  // namespace orv
