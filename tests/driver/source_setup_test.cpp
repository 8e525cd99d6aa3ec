// Sources on the meteorological grids: the edge rows and columns, several
// grids, a cyclic grid, the warning block and the compaction.

#include "driver/source_setup.hpp"

#include <gtest/gtest.h>

#include "common/run_stop.hpp"
#include "driver/setup_checks.hpp"
#include "meteo/grid_projection.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

// A latitude-longitude grid with point (1,1) at (lat1, lon1), 1 degree apart.
MetGridDefinition latlon_grid(float lat1, float lon1, int32_t nx, int32_t ny) {
    MetGridDefinition g;
    g.grid_number = 1;
    g.nx = nx;
    g.ny = ny;
    g.header[kSyncLat] = lat1;
    g.header[kSyncLon] = lon1;
    g.header[kRefLat] = 1.0f;
    g.header[kRefLon] = 1.0f;
    g.header[kPoleLat] = lat1 + static_cast<float>(ny - 1);
    g.header[kPoleLon] = lon1 + static_cast<float>(nx - 1);
    g.header[kGridSize] = 0.0f;
    set_up_met_grid(g);
    return g;
}

SourceLocation at(float lat, float lon, float height = 100.0f) {
    SourceLocation s;
    s.lat = lat;
    s.lon = lon;
    s.height = height;
    return s;
}

struct Placement {
    int32_t stop = 0;
    int32_t count = 0;
    std::string console;
};

Placement place(std::vector<SourceLocation>& locs, MeteoFiles& met, int32_t grids, Settings& s) {
    RunControl run;
    run.grid_count = grids;
    run.model_top = 25000.0f;
    Placement p;
    p.count = static_cast<int32_t>(locs.size());
    test::TestConsole cap;
    try {
        place_sources(locs, p.count, met, run, s, cap.out);
    } catch (const RunStop& e) {
        p.stop = e.code();
    }
    p.console = cap.text();
    return p;
}

TEST(SourcePlacement, EdgesOfTheGridAndTheCompaction) {
    MeteoFiles met;
    met.grid(1, 1) = latlon_grid(30.0f, 10.0f, 21, 11);  // x = lon - 9, y = lat - 29
    Settings s;
    // x = 2.0 on, x = 1.99 off, x = NX - 1 on, x = NX - 0.99 off.
    std::vector<SourceLocation> locs = {at(35.0f, 11.0f), at(35.0f, 10.99f, 7.0f), at(35.0f, 29.0f, 500.0f),
                                        at(35.0f, 29.01f)};
    Placement p = place(locs, met, 1, s);
    ASSERT_EQ(p.stop, 0) << p.console;
    EXPECT_EQ(p.count, 2);
    EXPECT_FLOAT_EQ(locs[0].grid_x, 2.0f);
    EXPECT_EQ(locs[0].met_grid, 1);
    EXPECT_FLOAT_EQ(locs[0].release_z, 1.0f - 100.0f / 25000.0f);
    // The third location moved down to place 2, whole.
    EXPECT_FLOAT_EQ(locs[1].lon, 29.0f);
    EXPECT_FLOAT_EQ(locs[1].height, 500.0f);
    EXPECT_FLOAT_EQ(locs[1].grid_x, 20.0f);
    EXPECT_EQ(locs[1].met_grid, 1);
    // One warning block per miss, then the reduced count.
    EXPECT_NE(p.console.find(" WARNING main: source point off grid            1           2\n"), std::string::npos)
        << p.console;
    EXPECT_NE(p.console.find(" WARNING main: source point off grid            1           4\n"), std::string::npos);
    EXPECT_NE(p.console.find(" Grid Loc:"), std::string::npos);
    EXPECT_NE(p.console.find("WARNING main: number of sources reduced to -            2"), std::string::npos);
}

TEST(SourcePlacement, SecondGridCyclicGridAndNothingPlaced) {
    MeteoFiles met;
    met.grid(1, 1) = latlon_grid(30.0f, 10.0f, 21, 11);
    met.grid(2, 1) = latlon_grid(-20.0f, 100.0f, 11, 11);
    Settings s;
    std::vector<SourceLocation> locs = {at(-15.0f, 105.0f)};
    Placement p = place(locs, met, 2, s);
    ASSERT_EQ(p.stop, 0);
    EXPECT_EQ(locs[0].met_grid, 2);
    EXPECT_EQ(p.count, 1);
    EXPECT_NE(p.console.find("source point off grid            1           1"), std::string::npos);
    EXPECT_EQ(p.console.find("reduced"), std::string::npos);

    // A global grid takes a location on its wrap-around column, and MGMIN
    // becomes the larger of its NX and NY.
    MeteoFiles global;
    global.grid(1, 1) = latlon_grid(-90.0f, 0.0f, 360, 181);
    ASSERT_TRUE(global.grid(1, 1).global);
    locs = {at(0.0f, 359.5f)};
    p = place(locs, global, 1, s);
    ASSERT_EQ(p.stop, 0) << p.console;
    EXPECT_EQ(locs[0].met_grid, 1);
    EXPECT_EQ(s.MGMIN, 360);
    EXPECT_EQ(p.console, "");

    // Off every grid: the run stops.
    locs = {at(-60.0f, -60.0f), at(80.0f, -150.0f)};
    p = place(locs, met, 2, s);
    EXPECT_EQ(p.stop, kStopInput);
    EXPECT_NE(p.console.find("*ERROR* main: all source points off all meteo grids!"), std::string::npos);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

TEST(SetupChecks, MomentumFluxesForTransportOnWaterSurfaces) {
    TextOut quiet;
    MeteoFiles met;
    Settings s;
    s.ICHEM = 7;
    test::TestConsole cap;
    int32_t stop = 0;
    try {
        check_momentum_fluxes(s, met, cap.out);
    } catch (const RunStop& e) {
        stop = e.code();
    }
    EXPECT_EQ(stop, kStopInput);
    EXPECT_NE(cap.text().find("input data with momentum fluxes required"),
              std::string::npos);
    met.layout(1, 1).flags.momentum_flux = true;
    EXPECT_NO_THROW(check_momentum_fluxes(s, met, quiet));
    s.ICHEM = 0;
    met.layout(1, 1).flags.momentum_flux = false;
    EXPECT_NO_THROW(check_momentum_fluxes(s, met, quiet));
}

TEST(SetupChecks, SameParticleFileByTwoNames) {
    EXPECT_TRUE(same_file("PARDUMP", "PARDUMP   "));
    EXPECT_TRUE(same_file("PARDUMP", "./PARDUMP"));
    EXPECT_FALSE(same_file("PARDUMP", "PARINIT"));
    EXPECT_FALSE(same_file(" ", " "));
}

}  // namespace
}  // namespace orv
