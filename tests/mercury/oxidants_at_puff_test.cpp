// Oxidant values at a puff: solar time, hydroxyl curves, the position in the
// global grid, the interpolation, chlorine over water, and the whole record.

#include <gtest/gtest.h>

#include <cmath>

#include "run/calendar.hpp"
#include "mercury/oxidants_at_puff.hpp"
#include "tests/test_support.hpp"
#include "tools/surface_writer.hpp"

namespace orv {
namespace {

TEST(SolarTime, WrapsIntoOneDay) {
    EXPECT_FLOAT_EQ(local_solar_time(12, 30, 0.0f), 12.5f);
    EXPECT_FLOAT_EQ(local_solar_time(2, 0, -150.0f), 16.0f);  // the previous afternoon
    // 22 UTC at 150 E is 8 in the morning, not 32 o'clock.
    EXPECT_FLOAT_EQ(local_solar_time(22, 0, 150.0f), 8.0f);
    EXPECT_FLOAT_EQ(local_solar_time(12, 0, 180.0f), 0.0f);
    EXPECT_FLOAT_EQ(local_solar_time(0, 0, -180.0f), 12.0f);
}

TEST(Hydroxyl, SeasonsAndTheirCurves) {
    TextOut quiet;
    EXPECT_EQ(convert_month_to_season(12, quiet), 1);
    EXPECT_EQ(convert_month_to_season(2, quiet), 1);
    EXPECT_EQ(convert_month_to_season(3, quiet), 2);
    EXPECT_EQ(convert_month_to_season(8, quiet), 3);
    EXPECT_EQ(convert_month_to_season(11, quiet), 4);
    test::TestConsole cap;
    EXPECT_EQ(convert_month_to_season(13, cap.out), 99);
    EXPECT_EQ(estimate_oh(12.0f, 0, 0.0f, 30.0f, cap.out), 0.0f);
    const std::string out = cap.text();
    size_t n = 0;
    for (size_t p = out.find("error estimating season"); p != std::string::npos; p = out.find("error estimating season", p + 1)) ++n;
    EXPECT_EQ(n, 5u);  // twice for the first call, three times for the second

    const auto& t = fill_seasonal_oh_tables();
    // Noon, at the surface: the curve's maximum A of the band.
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 7, 0.0f, 45.0f, quiet), t.a[2][2]);       // R2
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 7, 0.0f, 60.0f, quiet), t.a[2][2] / 2);   // R2 / 2
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 7, 0.0f, 75.0f, quiet), t.a[2][2] / 2);
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 7, 0.0f, 15.0f, quiet), t.a[2][0]);       // R1
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 7, 0.0f, 0.0f, quiet), t.a[2][0] / 2);    // R1 / 2
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 7, 0.0f, -30.0f, quiet), (t.a[2][0] + t.a[2][2]) / 2);
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 7, 0.0f, 30.0f, quiet), (t.a[2][0] + t.a[2][2]) / 2);
    // Heights: 6 km takes the upper column; 1.5 km and 12 km the blends.
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 1, 6.0f, 45.0f, quiet), t.a[0][3]);
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 1, 1.5f, 45.0f, quiet), (1.3f * t.a[0][2] + 1.7f * t.a[0][3]) / 2);
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 1, 20.0f, 45.0f, quiet), (0.27f * t.a[0][2] + 0.34f * t.a[0][3]) / 2);
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 1, 0.75f, 45.0f, quiet),
                    (t.a[0][2] + (1.3f * t.a[0][2] + 1.7f * t.a[0][3]) / 2) / 2);
    EXPECT_FLOAT_EQ(estimate_oh(12.0f, 1, -0.2f, 45.0f, quiet), t.a[0][2]);  // below sea level: the surface value
    // Away from noon the curve falls off as exp(-B (t - 12)^2).
    EXPECT_FLOAT_EQ(estimate_oh(8.0f, 4, 0.0f, 45.0f, quiet), t.a[1][2] * std::exp(-t.b[1][2] * 16.0f));
}

TEST(GlobalGridPosition, LongitudesLatitudesAndHeights) {
    GlobalChemGrid g;
    set_up_global_chemistry_grid(g);
    auto at = [&](float lon, float lat, float h) { return locate_in_global_chemistry_grid(lon, lat, h, g.level_heights); };
    EXPECT_FLOAT_EQ(at(-0.0005f, 0, 0).x, 128.999f);
    EXPECT_FLOAT_EQ(at(-10.0f, 0, 0).x, 350.0f / 2.8125f + 1.0f);
    EXPECT_FLOAT_EQ(at(5.625f, 0, 0).x, 3.0f);
    EXPECT_FLOAT_EQ(at(0, -90.0f, 0).y, 1.0f);
    EXPECT_NEAR(at(0, 90.0f, 0).y, 64.0f, 1e-5f);
    EXPECT_EQ(at(0, 0, 100.0f).z, 34.0f);
    EXPECT_EQ(at(0, 0, 40000.0f).z, 1.0f);
    EXPECT_FLOAT_EQ(at(0, 0, g.level_heights[9]).z, 10.0f);
    const float mid = 0.5f * (g.level_heights[9] + g.level_heights[10]);
    EXPECT_NEAR(at(0, 0, mid).z, 10.5f, 1e-4f);
}

// A grid whose fields are known functions of the grid indices.
struct IndexedGrid {
    GlobalChemGrid g;
    IndexedGrid() {
        set_up_global_chemistry_grid(g);
        for (int32_t k = 1; k <= 34; ++k)
            for (int32_t j = 1; j <= 64; ++j)
                for (int32_t i = 1; i <= 128; ++i) {
                    const size_t n = GlobalChemGrid::index(i, j, k);
                    g.ozone[n] = static_cast<float>(i);
                    g.so2[n] = static_cast<float>(j);
                    g.soot[n] = static_cast<float>(k);
                }
    }
};

TEST(GlobalFieldInterpolation, GridPointsAndTheDateLine) {
    IndexedGrid ig;
    const auto& g = ig.g;
    // On a grid point: its own value, without division.
    GlobalGridPosition p{5.0f, 20.0f, 7.0f};
    EXPECT_EQ(interpolate_global_field(g.ozone, p), 5.0f);
    EXPECT_EQ(interpolate_global_field(g.so2, p), 20.0f);
    EXPECT_EQ(interpolate_global_field(g.soot, p), 7.0f);
    // Within 0.1 index units of a point: still that point.
    EXPECT_EQ(interpolate_global_field(g.ozone, {5.09f, 20.0f, 7.0f}), 5.0f);
    // Midway between two longitudes, on latitude and level: the mean.
    EXPECT_FLOAT_EQ(interpolate_global_field(g.ozone, {5.5f, 20.0f, 7.0f}), 5.5f);
    // Between the last longitude and the first, across 360.
    const GlobalGridPosition wrap = locate_in_global_chemistry_grid(-1.40625f, 0.0f, 5000.0f, g.level_heights);
    EXPECT_FLOAT_EQ(wrap.x, 128.5f);
    EXPECT_FLOAT_EQ(interpolate_global_field(g.ozone, wrap), (128.0f + 1.0f) / 2.0f);
    const GlobalGridPosition east = locate_in_global_chemistry_grid(358.59375f, 0.0f, 5000.0f, g.level_heights);
    EXPECT_FLOAT_EQ(interpolate_global_field(g.ozone, east), 64.5f);
    // The last longitude's own point, reached from the west side of 0.
    EXPECT_EQ(interpolate_global_field(g.ozone, locate_in_global_chemistry_grid(-2.8125f, g.latitudes[32], 0.0f, g.level_heights)), 128.0f);
    // At the pole and below the lowest level both corners are the edge row.
    EXPECT_EQ(interpolate_global_field(g.so2, {3.0f, 64.0f, 34.0f}), 64.0f);
    EXPECT_EQ(interpolate_global_field(g.soot, {3.0f, 10.0f, 34.0f}), 34.0f);
    // Positions off the grid are held at its edge, never read outside it.
    EXPECT_EQ(interpolate_global_field(g.so2, {3.0f, 70.0f, 34.0f}), 64.0f);
    EXPECT_EQ(interpolate_global_field(g.so2, {3.0f, -3.0f, 34.0f}), 1.0f);
    EXPECT_EQ(interpolate_global_field(g.so2, {3.0f, std::nanf(""), 34.0f}), 1.0f);
}

// Surface files with water (land use 7) west of 0 and land (2) east of it.
class OxidantsAtPoint : public ::testing::Test {
protected:
    test::ScratchDir scratch;
    IndexedGrid ig;
    SurfaceFiles surface;
    std::ostringstream log_text;
    TextOut log;
    TextOut quiet;
    test::TestConsole console;
    DiagnosticChannels channels;
    ProfileRow row;

    void SetUp() override {
        tminit();
        fixture::SurfaceRecipe s;
        s.landuse = [](float, float lon) { return lon < 0.0f ? 7 : 2; };
        fixture::write_surface_files(".", s);
        log.attach(log_text);
        initialise_diagnostic_channels(channels, console.out);
        row.temperature = 280.0f;
        row.density = 1.2f;
        // Uniform fields: 30 ppb ozone, 2 ppb SO2, soot 0.5.
        std::fill(ig.g.ozone.begin(), ig.g.ozone.end(), 30.0f);
        std::fill(ig.g.so2.begin(), ig.g.so2.end(), 2.0f);
        std::fill(ig.g.soot.begin(), ig.g.soot.end(), 0.5f);
    }
    OxidantValuesAtPuff at(const OxidantPoint& p) {
        OxidantValuesAtPuff v;
        compute_oxidants_at_point(1, p, row, ig.g, surface, console.with(log), channels, v);
        return v;
    }
};

TEST_F(OxidantsAtPoint, ConcentrationsFollowPressureAndTemperature) {
    TextOut quiet;
    const int32_t noon = tm2min(2024, 7, 1, 12, 0, quiet);
    const OxidantValuesAtPuff v = at({noon, 45.0f, 10.0f, 0.0f});
    const float c_air = 1000.0f / (0.0820575f * 280.0f);
    EXPECT_EQ(v.fixed_value_a, 4.5f);
    EXPECT_EQ(v.fixed_value_b, 2.5f);
    EXPECT_FLOAT_EQ(v.ppb_factor_1, 1e-9f * c_air);
    EXPECT_EQ(v.ppb_factor_2, v.ppb_factor_1);
    EXPECT_FLOAT_EQ(v.o3_conc, 30.0f * 1e-9f * c_air);
    EXPECT_FLOAT_EQ(v.so2_conc, 2.0f * 1e-9f * c_air);
    EXPECT_FLOAT_EQ(v.soot_value, 0.5e-6f * 1.2f);
    // 10 E at 12 UTC is 12:40 solar time.
    EXPECT_FLOAT_EQ(v.oh_conc, estimate_oh(12.0f + 10.0f / 15.0f, 7, 0.0f, 45.0f, quiet) * 1e6f / 6.022e23f);
    EXPECT_EQ(v.extra_oxidant_conc, 0.0);  // over land

    // Higher up the air is thinner: the same mixing ratio is less per m3.
    const OxidantValuesAtPuff up = at({noon, 45.0f, 10.0f, 5000.0f});
    StandardAtmospherePoint air;
    air.height = 5000.0f;
    convert_height_and_pressure(1, air);
    EXPECT_FLOAT_EQ(up.ppb_factor_1, air.ratio * 1e-9f * c_air);
    EXPECT_FLOAT_EQ(up.o3_conc, 30.0f * up.ppb_factor_1);
}

TEST_F(OxidantsAtPoint, So2OfZeroTakesItsFloor) {
    TextOut quiet;
    std::fill(ig.g.so2.begin(), ig.g.so2.end(), 0.0f);
    const OxidantValuesAtPuff v = at({tm2min(2024, 1, 1, 0, 0, quiet), 10.0f, 10.0f, 0.0f});
    EXPECT_FLOAT_EQ(v.so2_conc, 0.05f * v.ppb_factor_1);
}

TEST_F(OxidantsAtPoint, ChlorineOverWaterAtNightNearTheSurface) {
    TextOut quiet;
    test::TestConsole console;
    const float c_air = 1000.0f / (0.0820575f * 280.0f);
    // 45 W: solar time = UTC - 3 h.
    auto cl2 = [&](int32_t hour, int32_t minute, float height) {
        return at({tm2min(2024, 3, 1, hour, minute, quiet), 20.0f, -45.0f, height}).extra_oxidant_conc;
    };
    StandardAtmospherePoint air;
    air.height = 50.0f;
    convert_height_and_pressure(1, air);
    EXPECT_NEAR(cl2(21, 0, 50.0f), 1e-10 * air.ratio * c_air, 1e-16);  // 18.0 solar
    EXPECT_GT(cl2(9, 0, 0.0f), 0.0);                                    // 6.0 solar
    EXPECT_EQ(cl2(20, 59, 50.0f), 0.0);                                 // 17.98 solar
    EXPECT_EQ(cl2(23, 0, 150.0f), 0.0);                                 // too high
    // 1 UTC at 45 W is 22 the evening before: wrapped below zero, still night.
    EXPECT_GT(cl2(1, 0, 0.0f), 0.0);

    double m = -1.0;
    estimate_additional_oxidant(3, 17.99f, 0.0f, 20.0f, -45.0f, 0.0f, m, surface, console.with(log));
    EXPECT_EQ(m, 0.0);
    estimate_additional_oxidant(3, 6.0f, 100.0f, 20.0f, -45.0f, 0.0f, m, surface, console.with(log));
    EXPECT_EQ(m, 1e-10);
    estimate_additional_oxidant(4, 6.0f, 0.0f, 20.0f, -45.0f, 0.0f, m, surface, console.with(log));
    EXPECT_EQ(m, 1e-10);  // other modes change nothing
}

// The night-time oxidant's water is 7 and 14 to 18: categories 12 and 13,
// water for the deposition, are not water here.
TEST_F(OxidantsAtPoint, NightOxidantLeavesOutCategoriesTwelveAndThirteen) {
    fixture::SurfaceRecipe s;
    s.landuse = [](float, float lon) { return lon < -90.0f ? 12 : (lon < 0.0f ? 13 : 14); };
    fixture::write_surface_files(".", s);
    auto night_value = [&](float lon) {
        double m = -1.0;
        estimate_additional_oxidant(3, 6.0f, 0.0f, 20.0f, lon, 0.0f, m, surface, console.with(log));
        return m;
    };
    EXPECT_EQ(night_value(-135.0f), 0.0);
    EXPECT_EQ(night_value(-45.0f), 0.0);
    EXPECT_EQ(night_value(45.0f), 1e-10);
}

TEST(AdditionalOxidant, FractionModes) {
    test::TestConsole console;
    SurfaceFiles unused;
    TextOut log;
    double m = 0.0;
    auto mode = [&](int32_t md, float t, float f) {
        estimate_additional_oxidant(md, t, 0.0f, 0.0f, 0.0f, f, m, unused, console.with(log));
        return m;
    };
    EXPECT_EQ(mode(1, 0.0f, 0.05f), 1e-11);
    EXPECT_NEAR(mode(1, 0.0f, 0.3f), 3e-11, 1e-17);
    EXPECT_EQ(mode(1, 0.0f, 0.5f), 5e-11);
    EXPECT_NEAR(mode(2, 3.5f, 0.0f), 2e-11 * 0.7, 1e-17);  // hour 3: 0.3 + 0.4
    EXPECT_NEAR(mode(2, 7.2f, 0.9f), 1e-10, 1e-17);
    EXPECT_NEAR(mode(2, 12.0f, 0.9f), 1e-11, 1e-17);
    EXPECT_NEAR(mode(2, 23.9f, 0.9f), 3e-11, 1e-17);
    EXPECT_NEAR(mode(2, 24.0f, 0.2f), 4e-11 * 0.4, 1e-17);
    EXPECT_EQ(mode(2, -0.5f, 0.9f), 0.0);
    EXPECT_EQ(mode(2, 25.0f, 0.9f), 0.0);
}

TEST_F(OxidantsAtPoint, SampledDumpsGoToTheChannelFiles) {
    TextOut quiet;
    channels.channel_probability[8] = 1.0f;
    channels.channel_probability[5] = 1.0f;
    const int32_t t = tm2min(2024, 5, 1, 6, 0, quiet);
    for (int n = 0; n < 40; ++n) at({t, 10.0f, -45.0f, 20.0f});
    channels.close_all();
    const std::string d8 = test::read_file("fort.2008");
    const std::string d5 = test::read_file("fort.2005");
    size_t lines8 = std::count(d8.begin(), d8.end(), '\n');
    size_t lines5 = std::count(d5.begin(), d5.end(), '\n');
    // Half of the calls draw 0.5 or more; both channels fire on the same draws.
    EXPECT_GT(lines8, 5u);
    EXPECT_LT(lines8, 35u);
    EXPECT_EQ(lines5, lines8);
    // Channel 8: 6 integers of 14 columns, then 19 reals of 14.
    const std::string first = d8.substr(0, d8.find('\n'));
    EXPECT_EQ(first.size(), 6u * 14 + 19 * 14);
    EXPECT_EQ(first.substr(0, 14), "             1");
    EXPECT_EQ(d5.substr(0, 5), "    1");
    EXPECT_FALSE(std::filesystem::exists("fort.2034"));
}

}  // namespace
}  // namespace orv
