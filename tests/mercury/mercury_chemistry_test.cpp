// The mercury chemistry step of one puff: the gas-phase rates against their
// rate constants, mass conservation over a grid of dry and wet cases, and the
// guards on volume, time direction and species count.

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "common/run_stop.hpp"
#include "mercury/mercury_chemistry.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

constexpr double kAvogadro = 6.022e23;

double air_per_m3(double t) { return 1000.0 / (0.0820575 * t); }          // mol/m3
double molecules_per_cm3(double t) { return air_per_m3(t) * kAvogadro * 1e-6; }

// Oxidants as the oxidant routine gives them, at 1 atm and temperature t.
OxidantValuesAtPuff oxidants(double t, double o3_ppb, double so2_ppb, double oh_per_cm3, bool peroxide_and_hcl,
                             double cl2_ppb, double soot) {
    const double ppb = 1e-9 * air_per_m3(t);
    OxidantValuesAtPuff ox;
    ox.fixed_value_a = 4.5f;
    ox.fixed_value_b = 2.5f;
    ox.o3_conc = static_cast<float>(o3_ppb * ppb);
    ox.so2_conc = static_cast<float>(so2_ppb * ppb);
    ox.oh_conc = static_cast<float>(oh_per_cm3 * 1e6 / kAvogadro);
    ox.ppb_factor_1 = ox.ppb_factor_2 = peroxide_and_hcl ? static_cast<float>(ppb) : 0.0f;
    ox.extra_oxidant_conc = cl2_ppb * ppb;
    ox.soot_value = static_cast<float>(soot);
    return ox;
}

class ChemistryStep : public ::testing::Test {
protected:
    test::ScratchDir scratch;  // dumps land in the working directory
    test::TestConsole console;  // before the channels, whose files report to it
    MercuryChemistryWorkspace work;
    DiagnosticChannels channels;
    Hgsim hgsim;
    PuffChemistryConditions puff;

    void SetUp() override {
        set_up_mercury_chemistry_workspace(work, 5, console.out);
        initialise_diagnostic_channels(channels, console.out);
        hgsim.method_cl2_mass = 2;
        puff.relative_humidity = 0.5f;
        puff.temperature = 280.0f;
        puff.radiation = 500.0f;
        puff.puffvol = 1e9f;
        puff.time_step = 60.0f;
    }
    void step(std::vector<float>& mass, double liquid, const OxidantValuesAtPuff& ox) {
        compute_puff_mercury_chemistry_with_liquid(1, puff, liquid, hgsim, ox, mass, work, channels, console.out);
    }
};

TEST_F(ChemistryStep, OzoneAloneOxidisesAtItsRateConstant) {
    std::vector<float> mass = {1e-3f, 0.0f, 0.0f, 0.0f, 7.0f};
    const OxidantValuesAtPuff ox = oxidants(280.0, 30.0, 0.0, 0.0, false, 0.0, 0.0);
    step(mass, 0.0, ox);
    const double k_o3 = 3e-20 * 30e-9 * molecules_per_cm3(280.0);  // per second
    const double lost = work.zdest[0] / work.zsavemass[0];
    EXPECT_NEAR(lost / (k_o3 * 3600.0), 1.0, 1e-5);
    // About 490 days of lifetime at 30 ppb and 280 K.
    EXPECT_NEAR(1.0 / k_o3 / 86400.0, 490.0, 5.0);
    // What Hg(0) lost went to the gas-phase product slot.
    EXPECT_NEAR(work.zmass[2] / work.zsavemass[0], lost, 1e-12);
    EXPECT_EQ(work.zmass[1], 0.0);
    EXPECT_EQ(mass[4], 7.0f);  // a species beyond the mercury slots keeps its mass
}

TEST_F(ChemistryStep, HydroxylAloneOxidisesAtItsRateConstant) {
    std::vector<float> mass = {1e-3f, 0.0f, 0.0f, 0.0f, 0.0f};
    step(mass, 0.0, oxidants(300.0, 0.0, 0.0, 2e6, false, 0.0, 0.0));
    const double lost = work.zdest[0] / work.zsavemass[0];
    EXPECT_NEAR(lost / (8.7e-14 * 2e6 * 3600.0), 1.0, 1e-5);
    EXPECT_NEAR(work.zmass[2] / work.zsavemass[0], lost, 1e-12);
}

TEST_F(ChemistryStep, OtherGasOxidantsFeedTheirProductSlots) {
    // Hydrogen chloride and chlorine give slot 2, peroxide slot 3: 1 ppb
    // each, plus 0.1 ppb chlorine.
    std::vector<float> mass = {1e-3f, 0.0f, 0.0f, 0.0f, 0.0f};
    step(mass, 0.0, oxidants(280.0, 0.0, 0.0, 0.0, true, 0.1, 0.0));
    const double n = molecules_per_cm3(280.0);
    EXPECT_NEAR(work.zmass[1] / work.zsavemass[0] / ((1e-19 * 1e-9 + 4e-18 * 0.1e-9) * n * 3600.0), 1.0, 1e-5);
    EXPECT_NEAR(work.zmass[2] / work.zsavemass[0] / (8.5e-19 * 1e-9 * n * 3600.0), 1.0, 1e-5);
}

TEST_F(ChemistryStep, BackwardStepRunsForwardInTime) {
    const OxidantValuesAtPuff ox = oxidants(280.0, 40.0, 1.0, 1e6, true, 0.0, 1e-8);
    for (double liquid : {0.0, 0.2}) {
        std::vector<float> forward = {1e-3f, 2e-4f, 1e-4f, 5e-5f, 0.0f};
        std::vector<float> backward = forward;
        puff.time_step = 30.0f;
        step(forward, liquid, ox);
        puff.time_step = -30.0f;
        step(backward, liquid, ox);
        EXPECT_EQ(forward, backward) << "liquid " << liquid;
        EXPECT_NE(forward[2], 1e-4f);
    }
}

TEST_F(ChemistryStep, PuffWithoutVolumeKeepsItsMasses) {
    const OxidantValuesAtPuff ox = oxidants(280.0, 40.0, 1.0, 1e6, true, 0.1, 1e-8);
    for (float volume : {0.0f, -5.0f, std::nanf("")}) {
        std::vector<float> mass = {1e-3f, 2e-4f, 1e-4f, 5e-5f, 1.0f};
        const std::vector<float> before = mass;
        puff.puffvol = volume;
        step(mass, 0.3, ox);
        EXPECT_EQ(mass, before);
    }
}

TEST_F(ChemistryStep, DryStepLeavesSootSlotAndKeepsTheGasTotal) {
    std::vector<float> mass = {1e-3f, 2e-4f, 1e-4f, 5e-5f, 0.0f};
    step(mass, 0.0, oxidants(280.0, 60.0, 1.0, 5e6, true, 1.0, 1e-8));
    EXPECT_EQ(mass[3], 5e-5f);
    EXPECT_NEAR((mass[0] + mass[1] + mass[2]) / 1.3e-3f, 1.0f, 1e-6f);
    EXPECT_LT(mass[0], 1e-3f);
    EXPECT_FALSE(work.wet);
}

TEST_F(ChemistryStep, OverlargeLossEmptiesHg0AndRescalesTheProducts) {
    // A day-long step with a vast ozone level: Hg(0) would go negative.
    puff.time_step = 1440.0f;
    std::vector<float> mass = {1e-3f, 1e-4f, 0.0f, 0.0f, 0.0f};
    step(mass, 0.0, oxidants(280.0, 1e9, 0.0, 0.0, false, 0.0, 0.0));
    EXPECT_EQ(mass[0], 0.0f);
    EXPECT_EQ(work.zdest[0], work.zsavemass[0]);
    EXPECT_NEAR(mass[1] + mass[2], 1.1e-3f, 1.1e-9f);
    EXPECT_GT(mass[1], 0.0f);  // slot 2 keeps its share of the rescaled total
}

TEST_F(ChemistryStep, WetStepPartitionsAndSorbsOnSoot) {
    std::vector<float> mass = {1e-3f, 2e-4f, 0.0f, 0.0f, 0.0f};
    hgsim.method_cl2_mass = 1;
    step(mass, 0.3, oxidants(280.0, 40.0, 2.0, 1e6, true, 0.1, 1e-8));
    EXPECT_TRUE(work.wet);
    EXPECT_GT(mass[3], 0.0f);  // Hg(II) moved onto soot
    EXPECT_GT(work.xfracgas[0], 0.9f);  // Hg(0) stays mostly in the gas
    EXPECT_LT(work.xfracgas[0], 1.0f);
    EXPECT_FLOAT_EQ(work.xfracdrop[1], 1.0f - work.xfracgas[1]);
    EXPECT_EQ(work.xfracgas[2], 0.0f);
    for (int k : {4, 9, 10}) EXPECT_NE(work.rate_at(0, k - 1), 0.0) << "reaction " << k;
    EXPECT_NEAR(std::accumulate(mass.begin(), mass.end(), 0.0f) / 1.2e-3f, 1.0f, 1e-6f);

    // Without a chlorine method the chlorine reactions are off.
    hgsim.method_cl2_mass = 0;
    std::vector<float> again = {1e-3f, 2e-4f, 0.0f, 0.0f, 0.0f};
    step(again, 0.3, oxidants(280.0, 40.0, 2.0, 1e6, true, 0.1, 1e-8));
    for (int k : {4, 9, 10}) EXPECT_EQ(work.rate_at(0, k - 1), 0.0) << "reaction " << k;
    EXPECT_NE(work.rate_at(0, 4), 0.0);  // the droplet ozone reaction still acts
}

TEST_F(ChemistryStep, TotalMercuryIsConservedOverDryAndWetCases) {
    const std::vector<std::vector<float>> columns = {
        {0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, {1e-3f, 0.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 1e-4f, 0.0f, 0.0f, 0.0f},
        {0.0f, 0.0f, 0.0f, 3e-5f, 0.0f}, {1e-3f, 2e-4f, 1e-4f, 5e-5f, 2.0f}, {1e-12f, 1e-15f, 0.0f, 1e-14f, 0.0f},
        {50.0f, 10.0f, 5.0f, 1.0f, 0.0f}};
    const std::vector<OxidantValuesAtPuff> oxidant_sets = {
        oxidants(280.0, 0.0, 0.0, 0.0, false, 0.0, 0.0),        // nothing at all
        oxidants(280.0, 35.0, 1.0, 2e6, true, 0.0, 1e-8),       // typical day
        oxidants(280.0, 35.0, 0.05, 0.0, true, 0.1, 5e-8),      // night over the sea
        oxidants(280.0, 1e4, 50.0, 1e9, true, 100.0, 1e-4)};    // far beyond nature
    // Conservation holds trivially for a step that moves nothing: count the
    // cases of each kind in which mass did move between the species.
    int moved_dry = 0, moved_wet = 0;
    for (float t : {240.0f, 280.0f, 310.0f})
        for (double liquid : {0.0, -0.1, 1e-6, 2e-4, 0.2, 0.5, 3.0})
            for (int method : {0, 1, 2})
                for (float dt : {1.0f, 60.0f, -60.0f})
                    for (const auto& ox : oxidant_sets)
                        for (const auto& column : columns) {
                            std::vector<float> mass = column;
                            puff.temperature = t;
                            puff.time_step = dt;
                            hgsim.method_cl2_mass = method;
                            step(mass, liquid, ox);
                            const double before = std::accumulate(column.begin(), column.end(), 0.0);
                            const double after = std::accumulate(mass.begin(), mass.end(), 0.0);
                            if (mass != column) ++(work.wet ? moved_wet : moved_dry);
                            for (float m : mass) {
                                ASSERT_TRUE(std::isfinite(m) && m >= 0.0f)
                                    << "T " << t << " liquid " << liquid << " method " << method << " dt " << dt;
                            }
                            ASSERT_NEAR(after, before, 1e-6 * before)
                                << "T " << t << " liquid " << liquid << " method " << method << " dt " << dt;
                            // Dry: the soot slot only takes the final rounding.
                            if (!(liquid > 0.0)) {
                                ASSERT_NEAR(mass[3], column[3], 1e-6 * column[3]);
                            }
                        }
    EXPECT_GT(moved_dry, 0);
    EXPECT_GT(moved_wet, 0);
}

TEST_F(ChemistryStep, SampledDumpsOfBothCases) {
    channels.channel_probability[16] = 1.0f;
    channels.channel_probability[17] = 1.0f;
    channels.channel_probability[7] = 1.0f;
    const OxidantValuesAtPuff ox = oxidants(280.0, 40.0, 1.0, 1e6, true, 0.1, 1e-8);
    for (int n = 0; n < 20; ++n) {
        std::vector<float> dry = {1e-3f, 2e-4f, 1e-4f, 5e-5f, 0.0f}, wet = dry;
        step(dry, 0.0, ox);
        step(wet, 0.2, ox);
    }
    channels.close_all();
    const std::string d16 = test::read_file("fort.2016"), d17 = test::read_file("fort.2017");
    const std::string d7 = test::read_file("fort.2007");
    EXPECT_FALSE(d16.empty());
    EXPECT_FALSE(d17.empty());
    EXPECT_NE(d7.find("just_before_findroot"), std::string::npos);
    EXPECT_NE(d7.find("back_from_findroot"), std::string::npos);
    // The dry record: 4 I4 fields, a logical, then the reals.
    EXPECT_EQ(d17.substr(0, 16), "   1   5  13   7");
    EXPECT_EQ(d17.substr(16, 16), std::string(15, ' ') + "F");
    EXPECT_EQ(d16.substr(16, 16), std::string(15, ' ') + "T");
    // Channels 13 and 113 are on for the rest of the run.
    EXPECT_TRUE(channels.fires(13));
    EXPECT_TRUE(channels.fires(113));
}

TEST_F(ChemistryStep, LiquidWaterComesFromTheHumidity) {
    TextOut quiet;
    hgsim.ndist = 1;
    hgsim.nrange = 14;
    hgsim.pcon = 3.9e-5f;
    hgsim.pden = 2.0f;
    hgsim.method_lwc = 1;  // 0.5 g/m3 from 80 percent humidity up
    SizeDistribution sizes;
    test::TestConsole cap;
    psetup(hgsim, sizes, cap.out);
    const OxidantValuesAtPuff ox = oxidants(280.0, 40.0, 1.0, 1e6, true, 0.1, 1e-8);
    for (float rh : {0.5f, 0.9f}) {
        puff.relative_humidity = rh;
        std::vector<float> estimated = {1e-3f, 2e-4f, 1e-4f, 5e-5f, 0.0f}, given = estimated;
        compute_puff_mercury_chemistry(1, puff, hgsim, ox, estimated, work, sizes, channels, quiet);
        EXPECT_EQ(work.wet, rh > 0.8f);
        step(given, rh > 0.8f ? 0.5 : 0.0, ox);
        EXPECT_EQ(estimated, given) << "humidity " << rh;
    }
}

TEST(ChemistryWorkspace, NeedsTheFourMercurySlots) {
    TextOut quiet;
    MercuryChemistryWorkspace w;
    test::TestConsole cap;
    try {
        set_up_mercury_chemistry_workspace(w, 3, cap.out);
        FAIL() << "a column of three species was accepted";
    } catch (const RunStop& s) {
        EXPECT_EQ(s.code(), kStopInput);
    }
    EXPECT_NE(cap.text().find("MAXDIM"), std::string::npos);
    set_up_mercury_chemistry_workspace(w, 4, quiet);
    EXPECT_EQ(w.rate.size(), 4 * kChemistryReactions);
}

}  // namespace
}  // namespace orv
