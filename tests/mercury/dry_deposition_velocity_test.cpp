#include "mercury/dry_deposition_velocity.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "mercury/below_cloud_scavenging.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

// Elemental mercury and a particle species.
Pollutant mercury_gas() {
    Pollutant p;
    p.GPMOL = 200.59f;
    p.HENRY = 0.11f;
    p.ACVTY = 1e-5f;
    p.DIFTY = 3.34f;
    return p;
}

DepositionSurface summer_surface() {
    DepositionSurface s;
    s.ubar = 5.0f;
    s.lat = 45.0f;
    s.month = 7;
    s.z = 75.0f;
    s.ustar = 0.4f;
    s.psi = 0.5f;
    s.solar = 500.0f;
    s.air_density = 1200.0f;
    s.temperature = 293.15f;
    return s;
}

void expect_rel(double expected, double actual, double tol) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * tol) << "expected " << expected;
}

TEST(DryDepositionVelocity, GasOverForestMatchesHandComputedResistances) {
    TextOut quiet;
    WaterZeroCounts zeros;
    DepositionTarget t;
    t.pollutant = 1;
    t.land_use = 6;
    t.z0 = 2.5f;
    const DryDepositionTerms r = dry_deposition_terms(summer_surface(), mercury_gas(), t, zeros, quiet);
    EXPECT_EQ(r.kind, DepositionCase::GasElemental);
    EXPECT_EQ(r.season, 1);
    expect_rel(16.736282395463558, r.ra, 1e-4);
    expect_rel(23.90336271114264, r.rb, 1e-4);
    expect_rel(387.41872726577213, r.rs, 1e-4);
    expect_rel(1351.938494285111, r.rc, 1e-4);
    expect_rel(0.0007180925591987272, r.vd, 1e-4);
}

TEST(DryDepositionVelocity, MicrometreParticleOverGrassMatchesHandComputedResistances) {
    TextOut quiet;
    WaterZeroCounts zeros;
    DepositionTarget t;
    t.pollutant = 3;
    t.land_use = 2;
    t.z0 = 0.75f;
    t.diameter = 1e-6f;
    t.settling = 3.5e-5f;
    const DryDepositionTerms r = dry_deposition_terms(summer_surface(), mercury_gas(), t, zeros, quiet);
    EXPECT_EQ(r.kind, DepositionCase::Other);
    EXPECT_EQ(r.rc, 0.0f);
    expect_rel(23.6817005104188, r.ra, 1e-4);
    expect_rel(2.7963933821829276e-11, r.diffusivity, 1e-4);
    expect_rel(533127.1854783017, r.sc, 1e-4);
    expect_rel(0.03832556299653206, r.st, 1e-4);
    expect_rel(85878.93861844898, r.rb, 1e-4);
    expect_rel(4.66314502553435e-05, r.vd, 1e-4);
}

TEST(DryDepositionVelocity, ParticleOverWaterTakesTheTwoLayerFormulaOnly) {
    TextOut quiet;
    WaterZeroCounts zeros;
    DepositionTarget t;
    t.pollutant = 3;
    t.land_use = 7;
    t.z0 = 123.0f;  // replaced over water, and not used by the water formula
    t.diameter = 1e-6f;
    t.settling = 3.5e-5f;
    t.extra_transfer = 3.0e-5f;
    DepositionSurface s = summer_surface();
    const DryDepositionTerms r = dry_deposition_terms(s, mercury_gas(), t, zeros, quiet);
    EXPECT_EQ(r.kind, DepositionCase::ParticleOverWater);
    expect_rel(5.7138471857124134e-05, r.vd, 1e-4);
    // Neither the stability nor the reference height enters.
    s.psi = 3.0f;
    s.z = 10.0f;
    EXPECT_FLOAT_EQ(dry_deposition_terms(s, mercury_gas(), t, zeros, quiet).vd, r.vd);
    // Category 19 is not water-like.
    t.land_use = 19;
    EXPECT_EQ(dry_deposition_terms(summer_surface(), mercury_gas(), t, zeros, quiet).kind, DepositionCase::Other);
}

TEST(DryDepositionVelocity, OtherGasesHaveNoCanopyResistance) {
    TextOut quiet;
    WaterZeroCounts zeros;
    DepositionTarget t;
    t.pollutant = 2;
    t.land_use = 6;
    t.z0 = 2.5f;
    const DryDepositionTerms r = dry_deposition_terms(summer_surface(), mercury_gas(), t, zeros, quiet);
    EXPECT_EQ(r.rc, 0.0f);
    EXPECT_FLOAT_EQ(r.vd, 1.0f / (r.ra + r.rb));
}

TEST(DryDepositionVelocity, ClosedPathsAndTemperatureLimits) {
    TextOut quiet;
    WaterZeroCounts zeros;
    DepositionTarget t;
    t.pollutant = 1;
    t.land_use = 6;
    t.z0 = 2.5f;
    Pollutant inert = mercury_gas();
    inert.HENRY = 0.0f;
    inert.ACVTY = 0.0f;
    // Every conductance is 0: the canopy resistance is held at its upper bound.
    DryDepositionTerms r = dry_deposition_terms(summer_surface(), inert, t, zeros, quiet);
    EXPECT_EQ(r.rc, 9999.0f);
    EXPECT_TRUE(std::isfinite(r.vd));

    // At 0 and 40 degrees C the stomata are closed; the cold term stays.
    DepositionSurface s = summer_surface();
    for (float tc : {0.0f, 40.0f}) {
        s.temperature = 273.16f + tc;
        r = dry_deposition_terms(s, mercury_gas(), t, zeros, quiet);
        EXPECT_EQ(r.rs, 1e25f);
        EXPECT_EQ(r.temp_factor, 0.0f);
        EXPECT_GT(r.ct, 0.0f);
        EXPECT_GE(r.rc, 10.0f);
        EXPECT_LE(r.rc, 9999.0f);
    }

    // Water categories use the computed roughness and the raised zeros.
    t.land_use = 14;
    r = dry_deposition_terms(summer_surface(), mercury_gas(), t, zeros, quiet);
    EXPECT_EQ(r.rac, 1.0f);
    EXPECT_EQ(r.zrgss_used, 1.0f);
    const float nu = 0.01789f / 1200.0f;
    EXPECT_FLOAT_EQ(r.z0, nu / (9.1f * 0.4f) + 0.011f * 0.4f * 0.4f / 9.801f);
}

TEST(DryDepositionVelocity, SeasonTypeByHemisphere) {
    EXPECT_EQ(season_type(10.0f, 4), 1);
    EXPECT_EQ(season_type(10.0f, 10), 2);
    EXPECT_EQ(season_type(0.0f, 4), 2);  // the equator counts as south
    EXPECT_EQ(season_type(-30.0f, 1), 1);
}

TEST(DryDepositionVelocity, NoFrictionVelocityGivesTheSettlingSpeed) {
    TextOut quiet;
    WaterZeroCounts zeros;
    DepositionSurface s = summer_surface();
    for (float us : {0.0f, -0.1f}) {
        s.ustar = us;
        for (int32_t cat : {2, 7}) {
            DepositionTarget t;
            t.pollutant = 3;
            t.land_use = cat;
            t.z0 = 0.1f;
            t.diameter = 1e-6f;
            t.settling = 3.5e-5f;
            EXPECT_EQ(dry_deposition_terms(s, mercury_gas(), t, zeros, quiet).vd, 3.5e-5f);
            t.diameter = 0.0f;
            t.settling = 0.0f;
            t.pollutant = 1;
            EXPECT_EQ(dry_deposition_terms(s, mercury_gas(), t, zeros, quiet).vd, 0.0f);
        }
    }
}

TEST(DryDepositionVelocity, CalmWaterIsReportedAndStaysFinite) {
    DepositionSurface s = summer_surface();
    s.ubar = 0.0f;
    DepositionTarget t;
    t.pollutant = 3;
    t.land_use = 12;
    t.diameter = 1e-6f;
    t.settling = 0.0f;
    t.extra_transfer = 0.0f;
    test::TestConsole cap;
    WaterZeroCounts zeros;
    const float vd = dry_deposition_terms(s, mercury_gas(), t, zeros, cap.out).vd;
    EXPECT_EQ(vd, 0.0f);
    // Each line once a run, however often its test holds; the log gets the counts.
    dry_deposition_terms(s, mercury_gas(), t, zeros, cap.out);
    EXPECT_EQ(cap.text(), " ubar = 0\n kcprime = 0\n kdprime = 0\n kc = 0\n kd = 0\n");
    test::TestConsole log;
    write_water_zero_counts(zeros, log.out);
    const std::string counts = log.text();
    EXPECT_EQ(counts.substr(0, counts.find('\n')),
              " WARNING compute_dry_deposition_velocity: ubar = 0 held           2 times (on the console once)");
    EXPECT_EQ(std::count(counts.begin(), counts.end(), '\n'), 5);
}

TEST(DryDepositionVelocity, DiagnosticRecordsGoToTheirChannels) {
    TextOut quiet;
    WaterZeroCounts zeros;
    test::ScratchDir dir;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    DepositionTarget t;
    t.pollutant = 1;
    t.land_use = 6;
    t.z0 = 2.5f;
    // Off: no record, but every call draws once for channel 29.
    compute_dry_deposition_velocity(false, summer_surface(), mercury_gas(), t, ch, zeros, quiet);
    EXPECT_FALSE(ch.diagnostic_sampling_flags[29]);
    EXPECT_EQ(ch.nwrite[29], 0);
    // With its dump switch the record goes to channel 25's unit.
    ch.channel_probability[29] = 1.0f;
    compute_dry_deposition_velocity(true, summer_surface(), mercury_gas(), t, ch, zeros, quiet);
    EXPECT_EQ(ch.nwrite[29], 1);
    ch.close_all();
    const std::string rec25 = test::read_file("fort.2025");
    const std::string rec29 = test::read_file("fort.2029");
    ASSERT_FALSE(rec25.empty());
    ASSERT_FALSE(rec29.empty());
    EXPECT_EQ(rec25.substr(0, 12), "          27");
    EXPECT_EQ(rec29.substr(0, 12), "          31");
    // 3I12, E12.3, I12, then 67 E12.3 values.
    EXPECT_EQ(rec25.size(), 72u * 12u + 1u);
}

// The two shortcuts at the underflow end must give the bits of the full
// formulas: swept coarsely over a wide band and float by float around the cut.
TEST(DryDepositionVelocity, UnderflowShortcutsGiveTheComputedBits) {
    const auto same_bits = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const auto around = [](float cut, int n, auto check) {
        float below = cut, above = cut;
        for (int i = 0; i < n; ++i) {
            check(below);
            check(above);
            below = std::nextafter(below, -1e30f);
            above = std::nextafter(above, 1e30f);
        }
    };

    const auto power_matches = [&](float x) {
        EXPECT_TRUE(same_bits(power_of_ten(x), std::pow(10.0f, x))) << "x = " << x;
    };
    for (float x = -60.0f; x <= -40.0f; x += 0.01f) power_matches(x);
    around(-50.0f, 20000, power_matches);
    power_matches(-std::numeric_limits<float>::infinity());

    // The slip correction as written out in full, for diameters whose
    // exponent -0.55 d / lambda runs from about -40 to -10.
    for (float lambda : {6.53e-8f, 6.53e-8f * (1200.0f / 900.0f), 6.53e-8f * 1200.0f / 1300.0f}) {
        const auto slip_matches = [&](float d) {
            const float full = 1.0f + (2.0f * lambda / d) * (1.26f + 0.4f * std::exp(-0.55f * d / lambda));
            EXPECT_TRUE(same_bits(slip_correction(d, lambda), full)) << "d = " << d << " lambda = " << lambda;
        };
        for (float d = 10.0f * lambda; d <= 75.0f * lambda; d *= 1.001f) slip_matches(d);
        around(20.0f * lambda / 0.55f, 20000, slip_matches);
    }
}

TEST(BelowCloudScavenging, FitsAtOneMicrometreAndScalesWithRain) {
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    const float rain = 1e-4f;
    const float k = compute_below_cloud_scavenging(rain, 1e-6f, ch);
    expect_rel(1e-4 * 1000.0 / 60.0 * std::exp(-9.0925), k, 1e-4);
    expect_rel(3.0 * k, compute_below_cloud_scavenging(3.0f * rain, 1e-6f, ch), 1e-5);
    EXPECT_EQ(compute_below_cloud_scavenging(0.0f, 1e-6f, ch), 0.0f);
    // Sub-micrometre diameters (a negative logarithm) are finite.
    EXPECT_TRUE(std::isfinite(compute_below_cloud_scavenging(rain, 1e-9f, ch)));
    EXPECT_GT(compute_below_cloud_scavenging(rain, 1e-9f, ch), 0.0f);
}

TEST(BelowCloudScavenging, AGasIsReportedOnChannelZero) {
    test::ScratchDir dir;
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    EXPECT_EQ(compute_below_cloud_scavenging(1e-4f, 0.0f, ch), 0.0f);
    ch.close_all();
    EXPECT_EQ(test::read_file("fort.2000"), " ERR: tried to do below-cloud particle scavenging for a gas!\n");
}

}  // namespace
}  // namespace orv
