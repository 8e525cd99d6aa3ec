#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "mercury/equilibrium_driver.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

constexpr double kT = 280.0;

double gas_factor(double t) { return 1000.0 / (kGasConstant * t); }

// The closed form of the (linear) mass-action system: every species is a
// multiple of the free ion, and the mass balance fixes the ion.
EquilibriumVector closed_form(const FindrootInput& in) {
    const auto& k = kEquilibriumConstants;
    const double g = gas_factor(in.temperature), w = in.liquid / 1000.0;
    const double cl = in.yy_cltot * double(0.001f) / double(35.45f);
    const double oh = std::pow(10.0, in.ph - 14.0), h = std::pow(10.0, -in.ph);
    const double so3 = double(1.05534e-9f) * in.so2 * double(1e-9f) / (h * h);
    const double a3 = cl * cl / k[2], a5 = oh * oh / k[3], a6 = k[4] * so3, a7 = a6 * k[5] * so3;
    const double a2 = a3 / k[0], a4 = a5 / k[1];
    const double total = g * in.hg2tot * double(1e-9f);
    const double x1 = total / (w * (1.0 + a3 + a5 + a6 + a7) + g * (a2 + a4));
    return {x1, a2 * x1, a3 * x1, a4 * x1, a5 * x1, a6 * x1, a7 * x1};
}

double gas_fraction(const FindrootInput& in, const EquilibriumVector& x) {
    const double g = gas_factor(in.temperature), w = in.liquid / 1000.0;
    const double gas = g * (x[1] + x[3]);
    return gas / (gas + w * (x[0] + x[2] + x[4] + x[5] + x[6]));
}

double mass_balance_error(const FindrootInput& in, const EquilibriumVector& x) {
    const double g = gas_factor(in.temperature), w = in.liquid / 1000.0;
    const double total = g * in.hg2tot * double(1e-9f);
    return std::fabs(g * (x[1] + x[3]) + w * (x[0] + x[2] + x[4] + x[5] + x[6]) - total) / total;
}

struct Solver {
    test::TestConsole console;  // before the channels, whose files report to it
    DiagnosticChannels ch;
    EquilibriumWorkspace ws;
    Solver() { initialise_diagnostic_channels(ch, console.out); }
    FindrootResult solve(const FindrootInput& in, int32_t caller = 1) {
        FindrootResult r;
        findroot(caller, in, r, ws, ch, console.out);
        return r;
    }
};

TEST(Findroot, AgreesWithTheClosedFormOfTheMassActionSystem) {
    Solver s;
    for (double ph : {3.0, 4.0, 4.5, 5.0, 6.0, 7.0, 8.0}) {
        for (double so2 : {0.01, 0.1, 1.0, 10.0}) {
            for (double cl : {0.5, 2.5, 20.0}) {
                for (double liquid : {0.05, 0.2, 1.0}) {
                    const FindrootInput in{ph, kT, so2, 2e-3, cl, liquid, 1e-6};
                    const FindrootResult r = s.solve(in);
                    const EquilibriumVector want = closed_form(in);
                    const double tol = ph <= 5.0 ? 1e-6 : 5e-4;
                    SCOPED_TRACE(testing::Message() << "pH " << ph << " SO2 " << so2 << " Cl " << cl << " L " << liquid);
                    EXPECT_EQ(r.converged, 1);
                    for (int i = 0; i < 7; ++i) EXPECT_NEAR(r.x[i], want[i], tol * want[i]) << i;
                    // The result satisfies the relations within the solver's tolerance.
                    AqueousConditions c{ph, kT, 2e-3, cl * double(0.001f) / double(35.45f), 0.0, liquid, 0.0};
                    const double h = std::pow(10.0, -ph);
                    c.zso3m2 = double(1.05534e-9f) * so2 * double(1e-9f) / (h * h);
                    EquilibriumVector x = r.x, fvec{}, fracerr{};
                    std::array<double, 49> fjac{};
                    user_fun4(c, equilibrium_terms(c), x, fvec, fjac, fracerr);
                    for (int i = 0; i < 7; ++i) EXPECT_LE(fracerr[i], kEquilibriumTolfrac) << i;
                    EXPECT_LT(mass_balance_error(in, r.x), 1e-12);
                }
            }
        }
    }
}

TEST(Findroot, SulfiteTakesTheHgIIIntoTheDroplets) {
    Solver s;
    double previous = 1.0;
    std::vector<double> fractions;
    for (double so2 : {0.01, 0.1, 0.3, 1.0, 3.0, 10.0}) {
        const FindrootInput in{4.5, kT, so2, 1e-3, 2.5, 0.2, 0.0};
        const FindrootResult r = s.solve(in);
        const double f = gas_fraction(in, r.x);
        EXPECT_LT(f, previous) << so2;
        EXPECT_LT(mass_balance_error(in, r.x), 1e-12);
        previous = f;
        fractions.push_back(f);
    }
    // Steeply: a thousandfold more SO2 leaves a hundredth of the gas share or less.
    EXPECT_LT(fractions.back(), 0.01 * fractions.front());
}

TEST(Findroot, NoHgIIGivesZeroInOneTrial) {
    Solver s;
    for (double total : {0.0, 1e-41, -1.0}) {
        const FindrootResult r = s.solve({4.5, kT, 1.0, total, 2.5, 0.2, 0.0});
        EXPECT_EQ(r.converged, 1);
        EXPECT_EQ(r.chosen_try, 1);
        EXPECT_EQ(r.total_trials, 1);
        for (double v : r.x) EXPECT_EQ(v, 0.0);
    }
}

TEST(Findroot, WithoutLiquidWaterAllHgIIStaysInTheGas) {
    Solver s;
    const FindrootInput in{4.5, kT, 1.0, 1e-3, 2.5, 0.0, 0.0};
    const FindrootResult r = s.solve(in);
    EXPECT_EQ(r.total_trials, 0);
    EXPECT_EQ(r.x[0] + r.x[2] + r.x[4] + r.x[5] + r.x[6], 0.0);
    EXPECT_GT(r.x[1], 0.0);
    EXPECT_GT(r.x[3], 0.0);
    EXPECT_NEAR(r.x[1] + r.x[3], 1e-3 * double(1e-9f), 1e-25);
    for (double v : r.x) EXPECT_TRUE(std::isfinite(v));
}

TEST(Findroot, LargeTotalsNeedTheScaledTriesOrTheBestOne) {
    // Without sulfite the sulfite relations have no denominator and count as
    // failed in every trial: nothing converges, the best try is taken and
    // still rescaled to the given total, and the non-convergence is reported.
    test::ScratchDir dir;
    Solver s;
    ASSERT_TRUE(s.ch.file(0).open(channel_file_name(0), "main", s.console.out));
    s.ch.diagnostic_sampling_flags[13] = true;  // forced on by the chemistry step
    const FindrootInput in{4.5, kT, 0.0, 1e-7, 2.5, 0.2, 0.0};
    const FindrootResult r = s.solve(in);
    const std::string console_out = s.console.text();
    EXPECT_EQ(console_out, " droplet nonconvergence\n");
    EXPECT_EQ(r.converged, 0);
    // Try 1, then the scaled totals below 1 ppb (1e-4 and 0.1): tries 2 and 3.
    EXPECT_EQ(r.total_trials, 30);
    EXPECT_GE(r.chosen_try, 1);
    EXPECT_LE(r.chosen_try, 3);
    EXPECT_LT(mass_balance_error(in, r.x), 1e-12);
    EXPECT_EQ(s.ws.hg2err[3], 9999.0);  // the total 1 ppb is not solved
    EXPECT_EQ(s.ws.toterr[6], 3 * 9999.0);
    s.ch.close_all();
    const std::string record = test::read_file("hg_out.000");
    EXPECT_EQ(record.rfind("droplet nonconvergence           1          30           0", 0), 0u) << record;
    EXPECT_NE(test::read_file("fort.2013").find("               1               1              30"),
              std::string::npos);
}

TEST(Findroot, CallerTwoReportsOnTheSecondChannelSet) {
    test::ScratchDir dir;
    Solver s;
    const FindrootInput in{4.5, kT, 0.0, 1e-3, 2.5, 0.2, 0.0};
    test::TestConsole cap;
    s.solve(in, 2);
    s.ch.close_all();
    EXPECT_TRUE(std::filesystem::exists("fort.2100"));
    EXPECT_FALSE(std::filesystem::exists("fort.2000"));
}

TEST(Findroot, SampledDumpsOnlyWhereTheFlagsAreSet) {
    test::ScratchDir dir;
    Solver s;
    const FindrootInput in{4.5, kT, 1.0, 1e-3, 2.5, 0.2, 0.0};
    s.solve(in);
    EXPECT_FALSE(std::filesystem::exists("fort.2007"));
    EXPECT_FALSE(std::filesystem::exists("fort.2012"));
    s.ch.diagnostic_sampling_flags[7] = true;
    s.ch.diagnostic_sampling_flags[12] = true;
    const FindrootResult r = s.solve(in);
    s.ch.close_all();
    const std::string dump7 = test::read_file("fort.2007");
    for (const char* line : {" starting findroot, ncall =           1", " starting_method_1",
                             " starting eqlbrm4, ncall =           1", " maxfrac < tolfrac, so converged!",
                             " back_from_error4"})
        EXPECT_NE(dump7.find(line), std::string::npos) << line;
    EXPECT_EQ(dump7.find("starting_method_2"), std::string::npos);
    const std::string dump12 = test::read_file("fort.2012");
    EXPECT_EQ(dump12.substr(0, 80), "               1               2               1               1               1");
    EXPECT_EQ(std::count(dump12.begin(), dump12.end(), '\n'), 1);
    (void)r;
}

TEST(Eqlbrm4, StartsWithAllHgIIAsDissolvedHgCl2AndClipsNegativeSteps) {
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    EquilibriumWorkspace ws;
    AqueousConditions c{8.0, kT, 1e-3, 7e-5, 0.0, 0.2, 0.0};
    const double h = 1e-8;
    c.zso3m2 = double(1.05534e-9f) * 10.0 * double(1e-9f) / (h * h);
    const EquilibriumTerms t = equilibrium_terms(c);
    // At pH 8 with much sulfite the HgCl2 species are so small that the
    // first Newton step from the nominal start takes them below zero: they
    // are clipped to 0.
    ws.x.fill(0.0);
    ws.x[2] = t.g * c.hg2total * double(1e-9f) / t.w;
    ASSERT_TRUE(mnewt4(c, t, 1, ws, quiet));
    EXPECT_EQ(ws.x[1], 0.0);
    EXPECT_EQ(ws.x[2], 0.0);
    EXPECT_LT(ws.dx[2], 0.0);
    for (double v : ws.x) EXPECT_GE(v, 0.0);
    // The solver starts there by itself and goes on to convergence.
    ws.x.fill(1.0);
    eqlbrm4(1, 0, c, ws, ch, quiet);
    EXPECT_GT(ws.ntrials, 1);
    EXPECT_LT(ws.ntrials, 10);
    for (double e : ws.fracerr) EXPECT_LE(e, kEquilibriumTolfrac);

    // A step that takes the Hg(OH)2 gas pressure to zero or below puts it at
    // half the total (here a negative total drives every unknown below zero).
    AqueousConditions negative = c;
    negative.hg2total = -1e-3;
    ws.x.fill(0.0);
    ASSERT_TRUE(mnewt4(negative, equilibrium_terms(negative), 1, ws, quiet));
    EXPECT_EQ(ws.x[3], 0.5 * negative.hg2total * double(1e-9f) * t.g / t.w);
    for (int i : {0, 1, 2, 4, 5, 6}) EXPECT_EQ(ws.x[i], 0.0);
}

TEST(Eqlbrm4, WithoutWaterNothingIsSolved) {
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    EquilibriumWorkspace ws;
    const AqueousConditions c{4.5, kT, 1e-3, 7e-5, 1e-6, -0.1, 0.0};
    eqlbrm4(1, 0, c, ws, ch, quiet);
    EXPECT_EQ(ws.ntrials, 0);
    for (double v : ws.x) EXPECT_TRUE(std::isfinite(v));
    EXPECT_GT(ws.x[1], 0.0);
}

TEST(Error4, UsingAllTrialsCountsAsNotConverged) {
    const EquilibriumVector fvec{1, -2, 3, 0, 0, 0, -4};
    const EquilibriumVector frac{0.5, 0, 0, 0, 0, 0, -0.25};
    const TrySummary s = error4(10, fvec, frac);
    EXPECT_FALSE(s.converge);
    EXPECT_EQ(s.hg2err, -0.25);
    EXPECT_EQ(s.sumferr, 10.0);
    EXPECT_EQ(s.sumfrac, 0.75);
    EXPECT_EQ(s.sumxerr, 0.0);
    EXPECT_TRUE(error4(9, fvec, frac).converge);
}

}  // namespace
}  // namespace orv
