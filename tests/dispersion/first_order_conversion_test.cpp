// First-order species conversion: the discrete decay law, conservation, the
// reaction table and its refusals.

#include <gtest/gtest.h>

#include <cmath>

#include "dispersion/first_order_conversion.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/dispersion/emission_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/emission_inputs.hpp"

namespace orv {
namespace {

using test::make_particles;
using test::Messages;
using test::run_captured;

class SpeciesConversion : public ::testing::Test {
protected:
    SpeciesConversion() {
        dirt.resize(3);
        dirt[0].pollutant_id = "SO2 ";
        dirt[1].pollutant_id = "SO4 ";
        dirt[2].pollutant_id = "XTRA";
    }
    void set_masses(float a, float b, float c = 0.0f) {
        p.mass(0, 0) = a;
        p.mass(1, 0) = b;
        p.mass(2, 0) = c;
    }
    test::ScratchDir dir;
    std::vector<Pollutant> dirt;
    ParticleArrays p = make_particles(1, 3);
    ReactionTable table;
    Messages msg;
};

TEST_F(SpeciesConversion, DefaultTableFollowsTheDiscreteLawAndConserves) {
    set_masses(1.0f, 0.0f);
    const int32_t steps = 120;
    for (int32_t n = 0; n < steps; ++n) chem02(dirt, 5.0f, p, 0, table, msg.msg());  // x = 0.1 * 5 / 60
    const double x = std::fabs(0.1f * 5.0f / 60.0f);
    EXPECT_NEAR(p.mass(0, 0), std::pow(1.0 - x, steps), 1e-6 * std::pow(1.0 - x, steps));
    EXPECT_NEAR(p.mass(0, 0) + p.mass(1, 0), 1.0f, 1e-6f);
    EXPECT_EQ(msg.count(" NOTICE chem02: CHEMRATE.TXT not found, using default"), 1u);
    EXPECT_EQ(msg.count(" NOTICE chem02: SO2  to SO4 "), 1u);
}

TEST_F(SpeciesConversion, LargeStepsUseTheExponentialEitherWay) {
    fixture::write_rate_table("CHEMRATE.TXT", {fixture::RateRecipe{1, 2, 0.1f, 2.0f}});
    set_masses(1.0f, 0.0f);
    chem02(dirt, 60.0f, p, 0, table, msg.msg());
    EXPECT_NEAR(p.mass(0, 0), std::exp(-0.1f), 1e-6f);
    EXPECT_NEAR(p.mass(1, 0), 2.0f * (1.0f - std::exp(-0.1f)), 1e-6f);
    set_masses(1.0f, 0.0f);
    chem02(dirt, -60.0f, p, 0, table, msg.msg());  // backward: the same amount
    EXPECT_NEAR(p.mass(0, 0), std::exp(-0.1f), 1e-6f);
}

TEST_F(SpeciesConversion, ReactionsActInSequenceWithTheirFactors) {
    test::write_file("CHEMRATE.TXT", "1 2 60.0 1.0\n\n   \n2 3 60.0 0.0\n");
    set_masses(1.0f, 0.0f, 0.0f);
    chem02(dirt, 1.0f, p, 0, table, msg.msg());  // x = 1 for both
    const float moved = 1.0f - std::exp(-1.0f);
    EXPECT_NEAR(p.mass(0, 0), std::exp(-1.0f), 1e-6f);
    // The mass made in slot 2 this step is converted again; factor 0 removes it.
    EXPECT_NEAR(p.mass(1, 0), moved * std::exp(-1.0f), 1e-6f);
    EXPECT_EQ(p.mass(2, 0), 0.0f);
    EXPECT_EQ(table.reactions.size(), 2u) << "blank lines are no reactions";
}

TEST_F(SpeciesConversion, EmptyTableIsReadOnce) {
    test::write_file("CHEMRATE.TXT", "\n");
    set_masses(1.0f, 0.0f);
    chem02(dirt, 60.0f, p, 0, table, msg.msg());
    fixture::write_rate_table("CHEMRATE.TXT", {fixture::RateRecipe{}});
    chem02(dirt, 60.0f, p, 0, table, msg.msg());
    EXPECT_EQ(p.mass(0, 0), 1.0f);
    EXPECT_TRUE(table.loaded);
    EXPECT_TRUE(table.reactions.empty());
}

TEST_F(SpeciesConversion, UnusableTablesStop) {
    struct Case {
        const char* text;
        const char* message;  // on the console beside the file and line
    } cases[] = {
        {"1 4 0.1 1.0\n", ""},
        {"0 2 0.1 1.0\n", ""},
        {"1 2 0.1\n", ""},
        {"1 2 abc 1.0\n", ""},
        {"1 2 0.1 1.0\n2.5 1 1 1\n", ""},
        {"1 2 0.1 -1e6\n", "*ERROR* chem02: mass factor -1e+06 is negative - CHEMRATE.TXT line 1"},
        {"1 2 0.1 1e30\n",
         "*ERROR* chem02: mass factor 1e+30 of a reaction at rate 0.1 per hour is above the largest the run takes (1e6)"},
        {"1 2 -1e-30 1.000001e6\n", "mass factor 1000001 of a reaction at rate -1e-30 per hour is above"},
    };
    for (const Case& c : cases) {
        test::write_file("CHEMRATE.TXT", c.text);
        ReactionTable t;
        const auto o = run_captured(msg.console, [&] { chem02(dirt, 60.0f, p, 0, t, msg.msg()); });
        EXPECT_EQ(o.stop, kStopInput) << c.text;
        EXPECT_NE(o.console.find("CHEMRATE.TXT line "), std::string::npos) << o.console;
        EXPECT_NE(o.console.find(c.message), std::string::npos) << o.console;
    }
    // Factors that move no mass, or no more than the bound, are taken.
    for (const char* text : {"1 2 0 1e30\n", "1 2 1e30 1e6\n", "1 2 -0.1 0\n"}) {
        test::write_file("CHEMRATE.TXT", text);
        ReactionTable t;
        set_masses(1.0f, 0.0f);
        const auto o = run_captured(msg.console, [&] { chem02(dirt, 60.0f, p, 0, t, msg.msg()); });
        EXPECT_EQ(o.stop, 0) << text << o.console;
        EXPECT_TRUE(std::isfinite(p.mass(1, 0))) << text;
    }
    ParticleArrays one = make_particles(1, 1);
    ReactionTable t;
    const auto o = run_captured(msg.console, [&] { chem02(dirt, 60.0f, one, 0, t, msg.msg()); });
    EXPECT_EQ(o.stop, kStopPlain);
    EXPECT_EQ(msg.count("*ERROR* chem02 - multiple species definition required"), 1u);
}

}  // namespace
}  // namespace orv
