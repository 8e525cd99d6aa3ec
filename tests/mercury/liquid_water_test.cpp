#include "mercury/liquid_water.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "mercury/aerosol_growth.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

struct Aerosol {
    Hgsim hg;
    SizeDistribution sd;
    test::TestConsole console;  // before the channels, whose files report to it
    DiagnosticChannels ch;
    Aerosol() {
        hg.ndist = 1;
        hg.nrange = 14;
        hg.pcon = 3.9e-5f;
        hg.pden = 2.0f;
        hg.method_lwc = 6;
        test::ScratchDir dir;
        test::TestConsole cap;
        psetup(hg, sd, cap.out);
        initialise_diagnostic_channels(ch, console.out);
    }
    float grow(float h) {
        float liquid = -1.0f;
        compute_aerosol_humidity_growth(1, hg.nrange, 1, h, hg.pden, hg.pcon, liquid, sd, ch);
        return liquid;
    }
    float lwc(int32_t method, float rh, int32_t source_mode = 1, bool aerosol_water = false, float start = -7.0f) {
        hg.method_lwc = method;
        float liquid = start;
        lwc_estm(1, hg, 1, source_mode, rh, aerosol_water, liquid, sd, ch, console.out);
        return liquid;
    }
};

TEST(AerosolGrowth, FactorRisesWithHumidityNearTypicalSulfateValues) {
    for (float d : {0.05e-6f, 0.1e-6f, 0.2e-6f, 0.5e-6f, 1e-6f}) {
        float previous = humidity_growth_factor(0.8f, d);
        EXPECT_EQ(previous, 1.0f);
        for (int k = 1; k <= 195; ++k) {
            const float h = 0.8f + 0.001f * static_cast<float>(k);
            const float f = humidity_growth_factor(h, d);
            EXPECT_GT(f, previous) << h << " " << d;
            previous = f;
        }
        // Sulfate grows by about 1.7 to 1.8 in diameter at 90 percent.
        const float at90 = humidity_growth_factor(0.9f, d);
        EXPECT_GE(at90, 0.9f * 1.7f) << d;
        EXPECT_LE(at90, 1.1f * 1.8f) << d;
        // Above 0.995 the humidity is held at 0.995.
        EXPECT_EQ(humidity_growth_factor(0.999f, d), humidity_growth_factor(0.995f, d));
    }
    // The second form of the fit starts where the first ends: its slope is
    // steeper, but there is no jump at 0.97.
    const float below = humidity_growth_factor(0.9699f, 1e-6f);
    const float at = humidity_growth_factor(0.97f, 1e-6f);
    const float above = humidity_growth_factor(0.9701f, 1e-6f);
    EXPECT_GT(above - at, at - below);
    EXPECT_LT(above - at, 1.5f * (at - below));
}

TEST(AerosolGrowth, GrowsTheDistributionAndReturnsItsWater) {
    Aerosol a;
    const float liquid = a.grow(0.95f);
    double expected = 0.0, fractions = 0.0;
    for (int m = 1; m <= 14; ++m) {
        const double dry = a.sd.pd_dry(1, m), wet = a.sd.pd_wet(1, m);
        EXPECT_GT(wet, 1.5 * dry);
        const double number = a.sd.mfrac(1, m) * 3.9e-5 / (M_PI / 6 * dry * dry * dry * 2.0e6);
        expected += 1e6 * number * M_PI / 6 * wet * wet * wet;
        fractions += a.sd.volfrac_wet(1, m);
    }
    EXPECT_NEAR(liquid, expected, 1e-4 * expected);
    EXPECT_NEAR(fractions, 1.0, 1e-5);
    EXPECT_EQ(a.sd.pd_wet(1, 0), 0.0f);
    // At 0.8 the aerosol is dry.
    EXPECT_EQ(a.grow(0.8f), 0.0f);
    for (int m = 1; m <= 14; ++m) {
        EXPECT_EQ(a.sd.pd_wet(1, m), a.sd.pd_dry(1, m));
        EXPECT_EQ(a.sd.volfrac_wet(1, m), a.sd.mfrac(1, m));
    }
    // No size ranges, no water.
    float none = -1.0f;
    compute_aerosol_humidity_growth(1, 0, 1, 0.95f, 2.0f, 3.9e-5f, none, a.sd, a.ch);
    EXPECT_EQ(none, 0.0f);
}

TEST(AerosolGrowth, DumpsTheArraysWhenItsChannelIsSet) {
    test::ScratchDir dir;
    Aerosol a;
    a.grow(0.9f);
    EXPECT_FALSE(std::filesystem::exists("fort.2011"));
    a.ch.diagnostic_sampling_flags[11] = true;
    a.grow(0.9f);
    a.ch.close_all();
    const std::string dump = test::read_file("fort.2011");
    // caller (I5), then 4 + 2 x 15 + 2 x 14 - 1 = 61 values of 16 columns.
    EXPECT_EQ(dump.size(), 5u + 61u * 16u + 1u);
    EXPECT_EQ(dump.substr(0, 5 + 32), "    1   0.9000000E+00   0.9000000E+00");
}

TEST(LiquidWater, MethodsByHumidity) {
    Aerosol a;
    EXPECT_FLOAT_EQ(a.lwc(1, 0.8f), 0.5f);
    EXPECT_FLOAT_EQ(a.lwc(2, 0.8f), 0.2f);
    EXPECT_FLOAT_EQ(a.lwc(3, 0.8f), 2e-4f);
    EXPECT_FLOAT_EQ(a.lwc(4, 0.8f), 2e-4f);
    EXPECT_EQ(a.lwc(5, 0.8f), 0.0f);
    EXPECT_EQ(a.lwc(6, 0.8f), 0.0f);
    for (int method = 1; method <= 6; ++method) EXPECT_EQ(a.lwc(method, 0.79f), 0.0f) << method;
    EXPECT_FLOAT_EQ(a.lwc(3, 0.9f), 2e-4f);
    EXPECT_FLOAT_EQ(a.lwc(3, 0.95f), 2e-4f + 2e-4f * 125.0f);
    EXPECT_FLOAT_EQ(a.lwc(4, 1.0f), 0.2002f);
    EXPECT_FLOAT_EQ(a.lwc(5, 1.0f), 0.2f);
    EXPECT_FLOAT_EQ(a.lwc(5, 0.95f), 0.2f * (1.0f - std::sqrt(0.05f / 0.19999999f)));
    // Method 6 takes the aerosol water when asked to, else method 5.
    EXPECT_FLOAT_EQ(a.lwc(6, 0.95f, 1, false), a.lwc(5, 0.95f));
    const float aerosol = a.grow(0.95f);
    EXPECT_FLOAT_EQ(a.lwc(6, 0.95f, 1, true), aerosol);
    // Source modes 2 and 3 give the aerosol water whatever the method.
    EXPECT_FLOAT_EQ(a.lwc(1, 0.95f, 2), aerosol);
    EXPECT_FLOAT_EQ(a.lwc(4, 0.95f, 3), aerosol);
    EXPECT_EQ(a.lwc(1, 0.5f, 3), 0.0f);
    // A method outside 1 to 6 leaves the caller's value.
    EXPECT_EQ(a.lwc(7, 0.95f, 1, false, 0.125f), 0.125f);
}

TEST(LiquidWater, OutOfRangeHumidityIsReportedAndClamped) {
    test::ScratchDir dir;
    Aerosol a;
    ASSERT_TRUE(a.ch.file(0).open(channel_file_name(0), "main", a.console.out));
    const float silent = a.lwc(5, 1.005f);
    EXPECT_EQ(a.console.text(), "");
    EXPECT_FLOAT_EQ(silent, 0.2f);
    const float reported = a.lwc(5, 1.02f);
    const float negative = a.lwc(1, -0.1f);
    const std::string out = a.console.text();
    EXPECT_FLOAT_EQ(reported, 0.2f);
    EXPECT_EQ(negative, 0.0f);
    EXPECT_EQ(out,
              " in lwc_estm, RH not between 0-1, RH =    1.020000    \n"
              " in lwc_estm, RH not between 0-1, RH =  -0.1000000    \n");
    a.ch.close_all();
    EXPECT_EQ(test::read_file("hg_out.000"), out);
}

TEST(LiquidWater, EveryCallStartsFromTheDryAerosol) {
    Aerosol a;
    a.lwc(6, 0.98f, 1, true);
    EXPECT_GT(a.sd.pd_wet(1, 5), a.sd.pd_dry(1, 5));
    EXPECT_NE(a.sd.volfrac_wet(1, 5), a.sd.mfrac(1, 5));
    a.lwc(6, 0.5f, 1, true);
    for (int m = 0; m <= 14; ++m) EXPECT_EQ(a.sd.pd_wet(1, m), a.sd.pd_dry(1, m));
    for (int m = 1; m <= 14; ++m) EXPECT_EQ(a.sd.volfrac_wet(1, m), a.sd.mfrac(1, m));
}

TEST(LiquidWater, DrawsOnceAndDumpsOnItsChannelInAboutHalfOfTheCalls) {
    test::ScratchDir dir;
    Aerosol a;
    ChannelRandom reference;
    a.lwc(5, 0.9f);
    EXPECT_EQ(a.ch.channel_draw, reference.next());
    EXPECT_FALSE(std::filesystem::exists("fort.2014"));
    a.ch.channel_probability[14] = 1.0f;
    int fired = 0;
    for (int i = 0; i < 400; ++i) {
        a.lwc(5, 0.9f);
        fired += a.ch.fires(14);
        EXPECT_EQ(a.ch.fires(14), a.ch.channel_draw >= 0.5f);
    }
    EXPECT_GT(fired, 150);
    EXPECT_LT(fired, 250);
    a.ch.close_all();
    const std::string dump = test::read_file("fort.2014");
    EXPECT_EQ(static_cast<int>(std::count(dump.begin(), dump.end(), '\n')), fired);
    const std::string first = dump.substr(0, dump.find('\n'));
    // 5 integers, a logical, 7 reals.
    EXPECT_EQ(first.size(), 5u * 12u + 12u + 7u * 15u);
    EXPECT_EQ(first.substr(0, 72), "           1          14           1           1           5           F");
}

}  // namespace
}  // namespace orv
