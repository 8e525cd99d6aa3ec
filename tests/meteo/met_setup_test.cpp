// The meteorological set-up on generated files: sizes, periods and times,
// unpacking of whole periods and windows, order and merge of grids, flags,
// settings and the refusal of bad files.

#include <gtest/gtest.h>

#include <cmath>

#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"
#include "meteo/metinp.hpp"
#include "meteo/packed_format.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/analytic_met.hpp"
#include "tools/packing.hpp"

namespace orv {
namespace {

using fixture::AnalyticMet;
using fixture::GridShape;
using fixture::MetFileRecipe;

int32_t t0() {
    tminit();
    TextOut quiet;
    return tm2min(24, 1, 1, 0, 0, quiet);
}

MetFileRecipe base_recipe(const GridShape& grid, int32_t start, int32_t periods) {
    MetFileRecipe s;
    s.grid = grid;
    s.levels = {0.0f, 1000.0f, 850.0f, 700.0f, 500.0f};
    s.surface_vars = {"PRSS", "SHGT", "T02M", "U10M", "V10M", "PBLH", "USTR", "SHTF"};
    s.upper_vars = {"HGTS", "TEMP", "UWND", "VWND", "WWND", "RELH"};
    s.start = start;
    s.periods = periods;
    s.interval = 180;
    return s;
}

GridShape lambert() { return GridShape::lambert(40.0f, -90.0f, 60.0f, 40, 30); }

AnalyticMet atmosphere() {
    AnalyticMet m;
    m.wind = AnalyticMet::Wind::SolidBody;
    m.daily_cycle = true;
    m.terrain = [](double lat, double lon) { return 300.0 + 5.0 * (lat - 40.0) + 2.0 * (lon + 90.0); };
    return m;
}

void write(const std::string& name, const MetFileRecipe& s, const AnalyticMet& m = atmosphere()) {
    fixture::write_met_file(name, s, m.function());
}

// Unpacks one variable of one period of (kg, kt) over a window and checks it
// against the generating function within half a packing step.
void expect_unpacked(MeteoFiles& met, int32_t kg, int32_t kt, const MetFileRecipe& recipe, int32_t time,
                     const UnpackWindow& w) {
    const auto& fe = met.file(kg, kt);
    const auto& fl = met.layout(kg, kt).flags;
    const int32_t up = met.grid(kg, kt).nz - 1;
    std::vector<float> plane(static_cast<size_t>(w.nx) * w.ny * 2, -999.0f);
    std::vector<float> upper(static_cast<size_t>(w.nx) * w.ny * up * 4, -999.0f);
    const int64_t pl = int64_t{w.nx} * w.ny;
    MetinpFields f;
    f.sfc_pressure = FieldView2D{plane.data(), w.nx};
    f.u10 = FieldView2D{plane.data() + pl, w.nx};
    f.temperature = FieldView3D{upper.data(), w.nx, pl, up};
    f.u = FieldView3D{upper.data() + pl * up, w.nx, pl, up};
    f.pressure = FieldView3D{upper.data() + 2 * pl * up, w.nx, pl, up};
    f.humidity = FieldView3D{upper.data() + 3 * pl * up, w.nx, pl, up};
    int32_t data_time = 0, fcst = -5;
    TextOut log;
    test::TestConsole console;
    metinp(met, kg, kt, period_first_record(fe.first.macc, time, fl.records_per_period, fl.data_interval), w, up,
           data_time, fcst, f, console.with(log));
    ASSERT_EQ(data_time, time);
    EXPECT_EQ(fcst, 0);

    const MetGridDefinition grid = fixture::grid_definition(recipe);
    const auto fn = atmosphere().function();
    auto check = [&](const char* var, int32_t level, const FieldView2D& got) {
        std::vector<float> all(static_cast<size_t>(grid.nx) * grid.ny);
        for (int32_t j = 1; j <= grid.ny; ++j)
            for (int32_t i = 1; i <= grid.nx; ++i)
                all[(j - 1) * grid.nx + (i - 1)] =
                    static_cast<float>(fn(var, fixture::field_point(grid, recipe, i, j, level, time)));
        const float half = 0.5f * fixture::pack_field(all, grid.nx, grid.ny).step;
        for (int32_t j = 1; j <= w.ny; ++j) {
            for (int32_t i = 1; i <= w.nx; ++i) {
                float want = all[(w.y1 + j - 2) * grid.nx + (w.x1 + i - 2)];
                ASSERT_NEAR(got.at(i, j), want, half * 1.0001f + 1e-6f * std::fabs(want)) << var << " " << i << " " << j;
            }
        }
    };
    check("PRSS", 0, f.sfc_pressure);
    check("U10M", 0, f.u10);
    for (int32_t k = 1; k <= up; ++k) {
        check("TEMP", k, f.temperature.level(k));
        check("UWND", k, f.u.level(k));
        check("HGTS", k, f.pressure.level(k));
        check("RELH", k, f.humidity.level(k));
    }
}

TEST(MetSetup, GlobalAndLambertGridsSplitOverTwoFiles) {
    test::ScratchDir dir;
    const int32_t start = t0();
    const GridShape global = GridShape::global(2.5f);
    const MetFileRecipe ga = base_recipe(global, start, 3), gb = base_recipe(global, start + 540, 3);
    const MetFileRecipe la = base_recipe(lambert(), start, 3), lb = base_recipe(lambert(), start + 540, 3);
    write("gl_a.bin", ga);
    write("gl_b.bin", gb);
    write("lc_a.bin", la);
    write("lc_b.bin", lb);

    test::SetupRun run({{"gl_a.bin", "gl_b.bin"}, {"lc_a.bin", "lc_b.bin"}});
    ASSERT_EQ(run.run(), 0) << run.console;
    EXPECT_EQ(run.grids, 2);
    EXPECT_EQ(run.times, 2);
    const int32_t rpp = 1 + 8 + 4 * 6;
    for (int32_t kt = 1; kt <= 2; ++kt) {
        for (int32_t kg = 1; kg <= 2; ++kg) {
            const auto& fe = run.met.file(kg, kt);
            const auto& fl = run.met.layout(kg, kt).flags;
            EXPECT_EQ(run.met.layout(kg, kt).format, 2);
            EXPECT_EQ(fl.records_per_period, rpp);
            EXPECT_EQ(fl.data_interval, 180);
            EXPECT_EQ(fe.record_count, 3 * rpp);
            EXPECT_EQ(fe.first.macc, start + (kt - 1) * 540);
            EXPECT_EQ(fe.last.macc, start + (kt - 1) * 540 + 360);
            EXPECT_EQ(fe.record_length, int64_t{run.met.grid(kg, kt).nx} * run.met.grid(kg, kt).ny + 50);
            EXPECT_EQ(run.met.grid(kg, kt).nz, 5);
        }
    }
    const auto& fe = run.met.file(1, 2);
    EXPECT_EQ(fe.first.year, 24);
    EXPECT_EQ(fe.first.day, 1);
    EXPECT_EQ(fe.first.hour, 9);
    EXPECT_EQ(fe.last.hour, 15);

    const auto& g1 = run.met.grid(1, 1);
    EXPECT_TRUE(g1.latlon && g1.global);
    EXPECT_EQ(g1.nx, 144);
    EXPECT_EQ(g1.ny, 73);
    const auto& g2 = run.met.grid(2, 2);
    EXPECT_FALSE(g2.latlon);
    EXPECT_EQ(g2.nx, 40);
    EXPECT_EQ(g2.ny, 30);
    float x, y;
    convert_geo_to_projection_grid(g2.projection, 40.0f, -90.0f, x, y);
    EXPECT_NEAR(x, 20.5f, 1e-4);
    EXPECT_NEAR(y, 15.5f, 1e-4);

    // Whole periods and windows, in both files.
    expect_unpacked(run.met, 2, 2, lb, start + 720, UnpackWindow{1, 1, 40, 30});
    expect_unpacked(run.met, 2, 2, lb, start + 900, UnpackWindow{7, 5, 20, 12});
    expect_unpacked(run.met, 2, 1, la, start, UnpackWindow{2, 1, 39, 30});
    expect_unpacked(run.met, 1, 1, ga, start + 180, UnpackWindow{1, 1, 144, 73});
    expect_unpacked(run.met, 1, 2, gb, start + 540, UnpackWindow{100, 40, 45, 34});
}

TEST(MetSetup, GridsOfOneTimeAreSortedAndMerged) {
    test::ScratchDir dir;
    const int32_t start = t0();
    MetFileRecipe coarse = base_recipe(lambert(), start + 540, 3);
    coarse.grid.header[kTopPressure] = 50.0f;
    write("coarse_late.bin", coarse);
    coarse.start = start;
    write("coarse.bin", coarse);
    write("fine.bin", base_recipe(GridShape::lambert(45.0f, -80.0f, 30.0f, 30, 30), start, 6));
    // Latitude-longitude grids with the same corner and size but other
    // increments stay apart.
    write("ll_a.bin", base_recipe(GridShape::latlon(20.0f, -120.0f, 1.0f, 1.0f, 20, 20), start, 6));
    write("ll_b.bin", base_recipe(GridShape::latlon(20.0f, -120.0f, 0.5f, 1.0f, 20, 20), start, 6));

    test::SetupRun run({{"coarse_late.bin"}, {"fine.bin"}, {"coarse.bin"}, {"ll_a.bin"}, {"ll_b.bin"}});
    ASSERT_EQ(run.run(), 0) << run.console;
    EXPECT_EQ(run.grids, 4);
    EXPECT_EQ(run.times, 2);
    EXPECT_EQ(run.met.num_grids, 4);
    // Finest first: the 0.5 degree grid (55.6 km north-south) before the 60 km one.
    EXPECT_EQ(run.met.file(1, 1).file_name, "fine.bin");
    EXPECT_EQ(run.met.file(2, 1).file_name, "ll_b.bin");
    EXPECT_EQ(run.met.file(3, 1).file_name, "coarse.bin");
    EXPECT_EQ(run.met.file(3, 2).file_name, "coarse_late.bin");
    EXPECT_EQ(run.met.file(4, 1).file_name, "ll_a.bin");
    EXPECT_FALSE(run.met.grid(1, 2).in_use());
    EXPECT_FALSE(run.met.grid(4, 2).in_use());
    // The header stays as the file gave it.
    EXPECT_EQ(run.met.grid(3, 1).header[kTopPressure], 50.0f);
    EXPECT_EQ(run.met.grid(3, 2).header[kGridSize], 60.0f);
}

TEST(MetSetup, StartTakenFromTheDataSkipsFreeSlots) {
    test::ScratchDir dir;
    const int32_t start = t0();
    write("a.bin", base_recipe(lambert(), start + 180, 2));
    write("b.bin", base_recipe(lambert(), start, 2));
    write("c.bin", base_recipe(GridShape::lambert(45.0f, -80.0f, 30.0f, 30, 30), start + 60, 4));
    for (bool backward : {false, true}) {
        test::SetupRun run({{"a.bin"}, {"b.bin"}, {"c.bin"}});
        run.backward = backward;
        run.month = 0;
        run.day = 0;
        run.hour = 2;
        ASSERT_EQ(run.run(), 0) << run.console;
        TextOut quiet;
        int32_t got = tm2min(run.year, run.month, run.day, run.hour, run.minute, quiet);
        EXPECT_EQ(got, backward ? start + 60 + 540 - 120 : start + 120);
    }
}

TEST(MetSetup, FlagsSettingsAndNotices) {
    test::ScratchDir dir;
    const int32_t start = t0();
    MetFileRecipe plain = base_recipe(lambert(), start, 2);
    plain.surface_vars = {"PRSS", "PBLH", "TPP3"};
    plain.level_vars = {plain.surface_vars, plain.upper_vars, {"HGTS", "TEMP", "UWND", "VWND"}, plain.upper_vars,
                        plain.upper_vars};
    plain.source_id = "AWRF";
    write("plain.bin", plain);
    MetFileRecipe full = base_recipe(GridShape::lambert(45.0f, -80.0f, 30.0f, 30, 30), start, 2);
    full.upper_vars.push_back("TKEN");
    write("full.bin", full);

    test::SetupRun run({{"plain.bin"}, {"full.bin"}});
    run.kzmix = 3;
    run.kdef = 7;
    run.tvmix = 500.0f;
    run.kblt = 3;
    ASSERT_EQ(run.run(), 0) << run.console;
    const std::string log = run.log_str();

    // Grid 1 is the finer "full" grid after the sort.
    const auto& fl = run.met.layout(1, 1).flags;
    EXPECT_TRUE(fl.two_metre_temperature && fl.ten_metre_wind && fl.friction_velocity && fl.heat_flux && fl.tke);
    EXPECT_EQ(fl.kzmix, 3);
    EXPECT_EQ(fl.kdef, 1);
    EXPECT_EQ(fl.tvmix, 100.0f);
    EXPECT_EQ(fl.kbls, 1);
    EXPECT_EQ(fl.kblt, 3);
    EXPECT_EQ(run.met.grid(1, 1).stagger.ux, 0.0f);

    const auto& pl = run.met.layout(2, 1).flags;
    EXPECT_EQ(pl.precip_accumulation, 180);
    EXPECT_FALSE(pl.level_vertical_velocity[2]);
    EXPECT_TRUE(pl.level_vertical_velocity[1]);
    EXPECT_EQ(pl.kbls, 2);  // no fluxes in the data
    EXPECT_EQ(pl.kblt, 1);  // no TKE in the data
    EXPECT_EQ(pl.stagger, 1);
    EXPECT_EQ(run.met.grid(2, 1).stagger.ux, 0.5f);
    EXPECT_EQ(run.met.grid(2, 1).stagger.vy, 0.5f);
    EXPECT_NE(log.find("FLUXES not found in data (kg,kt)"), std::string::npos);
    EXPECT_NE(log.find("TKE not found in data (kg,kt)"), std::string::npos);
    // No vertical velocity at the third level switches the option to 5.
    EXPECT_EQ(run.vertical_motion, 5);

    // The 2 m temperature and 10 m wind warnings go with each listed field
    // (fields whose first period holds no values yet), not with their absence.
    test::SetupRun lacking({{"plain.bin"}}), complete({{"full.bin"}});
    ASSERT_EQ(lacking.run(), 0);
    ASSERT_EQ(complete.run(), 0);
    EXPECT_EQ(lacking.log_str().find("missing"), std::string::npos);
    EXPECT_NE(complete.log_str().find("initial 2 m TEMP missing"), std::string::npos);
    EXPECT_NE(complete.log_str().find("initial 10 m WIND missing"), std::string::npos);
    EXPECT_EQ(complete.vertical_motion, 0);
}

TEST(MetSetup, OptionsTheDataCannotSupportStop) {
    test::ScratchDir dir;
    const int32_t start = t0();
    write("ok.bin", base_recipe(lambert(), start, 2));
    {
        test::SetupRun run({{"ok.bin"}});
        run.vertical_motion = 6;
        EXPECT_EQ(run.run(), kStopInput);
        EXPECT_NE(run.console.find("WVEL option 6 only valid with ETA data"), std::string::npos);
    }
    MetFileRecipe bare = base_recipe(lambert(), start, 2);
    bare.surface_vars = {"T02M", "U10M"};
    write("bare.bin", bare);
    test::SetupRun run({{"bare.bin"}});
    EXPECT_EQ(run.run(), kStopInput);
    EXPECT_NE(run.console.find("input meteorology requires either"), std::string::npos);
    test::SetupRun missing({{"nothere.bin"}});
    EXPECT_EQ(missing.run(), kStopInput);
    EXPECT_NE(missing.console.find("Unable to find file"), std::string::npos);
}

TEST(MetSetup, OnePeriodAndLargeGrids) {
    test::ScratchDir dir;
    MetFileRecipe one = base_recipe(GridShape::latlon(10.0f, 10.0f, 0.1f, 0.1f, 1200, 1), t0(), 1);
    write("one.bin", one);
    test::SetupRun run({{"one.bin"}});
    ASSERT_EQ(run.run(), 0) << run.console;
    const auto& fe = run.met.file(1, 1);
    EXPECT_EQ(run.met.grid(1, 1).nx, 1200);
    EXPECT_EQ(run.met.grid(1, 1).ny, 1);
    EXPECT_EQ(run.met.grid(1, 1).grid_number, 'A' * 10 + '@');
    EXPECT_EQ(run.met.layout(1, 1).flags.data_interval, 1);
    EXPECT_EQ(fe.last.macc, fe.first.macc);
    EXPECT_EQ(fe.record_count, run.met.layout(1, 1).flags.records_per_period);
    EXPECT_NE(run.log_str().find("Only one time period"), std::string::npos);

    GridField gf;
    ASSERT_TRUE(decode_grid_field("AB", gf));
    EXPECT_EQ(gf.nx_extra + gf.ny_extra + gf.grid_number, 1000 + 2000 + 716);
}

// Each bad file stops the run with an "*ERROR*" line naming the file.
class BadFile : public ::testing::Test {
protected:
    test::ScratchDir dir;
    MetFileRecipe recipe = base_recipe(lambert(), t0(), 3);
    int64_t reclen = 40 * 30 + 50;
    int64_t rpp = 1 + 8 + 4 * 6;

    void SetUp() override { write("bad.bin", recipe); }
    // Runs the set-up; the stop names the file unless `named` is false.
    void expect_stop(const std::string& what, bool named = false) {
        test::SetupRun run({{"bad.bin"}});
        EXPECT_EQ(run.run(), kStopInput);
        EXPECT_NE(run.console.find("*ERROR*"), std::string::npos) << run.console;
        EXPECT_NE(run.console.find(what), std::string::npos) << run.console;
        if (named) {
            EXPECT_NE(run.console.find("bad.bin"), std::string::npos) << run.console;
        }
    }
    void expect_named_stop(const std::string& what) { expect_stop(what, true); }
};

TEST_F(BadFile, Truncated) {
    test::truncate_file("bad.bin", 3 * rpp * reclen - 100);  // inside a record
    expect_named_stop("truncated");
    test::truncate_file("bad.bin", (3 * rpp - 1) * reclen);  // at a record boundary
    expect_named_stop("truncated");
}

TEST_F(BadFile, SecondPeriodWithoutIndexRecord) {
    test::patch_file("bad.bin", rpp * reclen + 14, "XXXX");
    expect_named_stop("2nd time period INDX record missing");
}

TEST_F(BadFile, GridFieldMixingDigitAndLetter) {
    test::patch_file("bad.bin", 12, "A9");
    expect_named_stop("mixes a digit and a letter");
}

TEST_F(BadFile, GridTooSmallForTheHeader) {
    test::patch_file("bad.bin", 50 + 93, "  4");  // NX 4: 120 points
    test::patch_file("bad.bin", 50 + 96, "  3");  // NY 3
    expect_named_stop("too small");
}

TEST_F(BadFile, CorruptedHeaderAndLimits) {
    test::patch_file("bad.bin", 50 + 99, " x5");
    expect_named_stop("bad index header");
    test::patch_file("bad.bin", 50 + 99, " 76");
    expect_stop("exceeding DEFGRID dimension MLVL");
    test::patch_file("bad.bin", 50 + 99, "  5");
    const std::string lenh = test::read_file("bad.bin").substr(50 + 104, 4);
    test::patch_file("bad.bin", 50 + 104, "5001");
    expect_stop("exceeding compiled header length");
    test::patch_file("bad.bin", 50 + 104, lenh);
    test::patch_file("bad.bin", 50 + 108 + 6, "36");  // variables of the surface level
    expect_stop("exceeding DEFGRID dimension MVAR");
}

TEST_F(BadFile, PaddedOrTrailingRecords) {
    const std::string whole = test::read_file("bad.bin");
    test::write_file("bad.bin", whole + "0123456789");
    expect_named_stop("not a whole number of records");
    // A copy of the last data record after the last period.
    test::write_file("bad.bin", whole + whole.substr(whole.size() - static_cast<size_t>(reclen)));
    expect_named_stop("1 records follow the last complete time period");
}

TEST_F(BadFile, LargeGridLettersOnAShortFile) {
    // A first record alone whose grid field claims a grid of 58040 x 58030:
    // stopped on the file length, before any record buffer is sized.
    test::truncate_file("bad.bin", 158);
    test::patch_file("bad.bin", 12, "zz");
    expect_named_stop("58040 x 58030 grid needs records of");
}

TEST_F(BadFile, VerticalTypeOutsideTheFour) {
    test::patch_file("bad.bin", 50 + 102, " 5");
    expect_named_stop("vertical coordinate type 5");
    test::patch_file("bad.bin", 50 + 102, " 0");
    expect_named_stop("vertical coordinate type 0");
}

TEST_F(BadFile, LevelsOutOfOrder) {
    // Level 3 (850 hPa) after level 2 (1000 hPa) becomes 1100 hPa.
    const int64_t level3 = 50 + 108 + (8 + 8 * 8) + (8 + 6 * 8);
    ASSERT_EQ(test::read_file("bad.bin").substr(static_cast<size_t>(level3), 8), "850.00 6");
    test::patch_file("bad.bin", level3, "1100.0");
    expect_named_stop("levels out of order: level 3 value 1100 after 1000");
    test::patch_file("bad.bin", level3, "1000.0");  // equal levels
    expect_named_stop("levels out of order");
}

TEST_F(BadFile, ProjectionGridSizeNotPositive) {
    const int64_t grid_size = 50 + 9 + 4 * 7;
    test::patch_file("bad.bin", grid_size, "  -60.0");
    expect_named_stop("grid size -60");
    test::patch_file("bad.bin", 50 + 9 + 9 * 7, "   95.0");  // synchronisation latitude
    test::patch_file("bad.bin", grid_size, "   60.0");
    expect_named_stop("synchronisation point latitude 95");
}

TEST(MetSetupRefusal, LatLonIncrementsAndCorner) {
    test::ScratchDir dir;
    write("ll.bin", base_recipe(GridShape::latlon(20.0f, -120.0f, 1.0f, 1.0f, 20, 20), t0(), 2));
    const std::string good = test::read_file("ll.bin");
    struct Case {
        int32_t real;  // 0-based header real
        const char* text;
        const char* what;
    };
    const Case cases[] = {
        {kRefLat, "    0.0", "latitude increment 0"},
        {kRefLon, "   -1.0", "longitude increment -1"},
        {kSyncLat, "  -91.0", "corner latitude -91"},
        {kSyncLon, "  400.0", "corner longitude 400"},
    };
    for (const Case& c : cases) {
        test::write_file("ll.bin", good);
        test::patch_file("ll.bin", 50 + 9 + 7 * c.real, c.text);
        test::SetupRun run({{"ll.bin"}});
        EXPECT_EQ(run.run(), kStopInput);
        EXPECT_NE(run.console.find(c.what), std::string::npos) << run.console;
        EXPECT_NE(run.console.find("ll.bin"), std::string::npos) << run.console;
    }
    test::write_file("ll.bin", good);
    test::SetupRun run({{"ll.bin"}});
    EXPECT_EQ(run.run(), 0) << run.console;
}

TEST(MetSetupRefusal, TerrainFollowingLevelsRiseBelowTheDataTop) {
    test::ScratchDir dir;
    MetFileRecipe r = base_recipe(lambert(), t0(), 2);
    r.vertical_type = 3;
    r.upper_vars = {"PRES", "TEMP", "UWND", "VWND", "DZDT", "RELH"};
    r.levels = {20000.0f, 50.0f, 500.0f, 1500.0f, 3000.0f};
    write("ok.bin", r);
    r.levels = {2000.0f, 50.0f, 500.0f, 1500.0f, 3000.0f};
    write("low_top.bin", r);
    r.levels = {20000.0f, 50.0f, 1500.0f, 500.0f, 3000.0f};
    write("falling.bin", r);
    test::SetupRun ok({{"ok.bin"}}), low({{"low_top.bin"}}), falling({{"falling.bin"}});
    EXPECT_EQ(ok.run(), 0) << ok.console;
    EXPECT_EQ(low.run(), kStopInput);
    EXPECT_NE(low.console.find("must lie above the highest level"), std::string::npos) << low.console;
    EXPECT_EQ(falling.run(), kStopInput);
    EXPECT_NE(falling.console.find("heights must rise upward"), std::string::npos) << falling.console;
}

TEST_F(BadFile, LabelWithoutADate) {
    test::patch_file("bad.bin", 2, "13");
    expect_named_stop("no valid date");
}

TEST_F(BadFile, PeriodsOutOfOrder) {
    test::patch_file("bad.bin", rpp * reclen + 6, "00");  // second period at hour 0
    expect_named_stop("not later than the first");
}

TEST_F(BadFile, VaryingIntervalOnlyWarns) {
    test::patch_file("bad.bin", 2 * rpp * reclen + 6, " 7");  // third period at 07 instead of 06
    test::SetupRun run({{"bad.bin"}});
    ASSERT_EQ(run.run(), 0) << run.console;
    EXPECT_NE(run.log_str().find("meteorological data time interval varies"), std::string::npos);
}

TEST_F(BadFile, RecordLabelledBeyondTheLevels) {
    test::SetupRun run({{"bad.bin"}});
    ASSERT_EQ(run.run(), 0);
    // Last record of the first period: RELH of level 4, labelled level 9.
    test::patch_file("bad.bin", (rpp - 1) * reclen + 10, " 9");
    std::vector<float> rh(40 * 30 * 4);
    MetinpFields f;
    f.humidity = FieldView3D{rh.data(), 40, 1200, 4};
    int32_t time = 0, fcst = 0;
    TextOut log;
    test::TestConsole cap;
    try {
        metinp(run.met, 1, 1, 1, UnpackWindow{1, 1, 40, 30}, 4, time, fcst, f, cap.with(log));
        FAIL() << "no stop";
    } catch (const RunStop& s) {
        EXPECT_EQ(s.code(), kStopInput);
    }
    EXPECT_NE(cap.text().find("beyond the levels read"), std::string::npos);
    EXPECT_NE(cap.text().find("bad.bin"), std::string::npos);
}

}  // namespace
}  // namespace orv
