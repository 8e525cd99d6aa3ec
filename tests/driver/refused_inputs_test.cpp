// Control-file values and mercury settings that no step of the run gives a
// meaning are refused at set-up, naming the file, the item and the value;
// odd values that a step does give a meaning still run.

#include <gtest/gtest.h>

#include <string>

#include "tests/driver/run_test_support.hpp"

namespace orv {
namespace {

using test::has;

// The text with the first `from` replaced by `to` (the text unchanged, and
// the test failing, when `from` is not in it).
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

const std::string kHg = " &HG_SETUP rxn_conc_dir = '../oxidants/', ";

TEST(RefusedInputs, ValuesWithoutMeaningStopTheSetUpNamingFileItemAndValue) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    const std::string control = tree.control();
    const std::string location = "    40.000   -90.000    50.0\n";
    const std::string first = "HG0\n       1.0\n       1.0\n0 0 0 0 0\n";
    const std::string centre = "     0.000     0.000\n     0.100";
    const std::string levels = "cdump\n     1\n   100\n0 0 0 0 0\n0 0 0 0 0\n0 6 0\n";
    const std::string particle = "     4\n0.0 0.0 1.0\n";
    struct Case {
        std::string from, to;  // in the control file; empty: a mercury setting
        std::string hg;
        std::string message;
    };
    const Case cases[] = {
        {location, "    40.000   -90.000    -5.0\n", "",
         "*ERROR* runset: release height -5 m of location 1 is below the ground (heights above ground, KMSL 0) - "
         "CONTROL"},
        {first, "HG0\n       1.0\n      -2.0\n0 0 0 0 0\n", "",
         "*ERROR* read_pollutant_emissions: hours of emission -2 of pollutant 1 (HG0) negative in a forward run"},
        {first, "HG0\n       1.0\n       1.0\n24 2 31 0 0\n", "",
         "*ERROR* read_pollutant_emissions: release start 24 2 31 0 0 of pollutant 1 (HG0) is not a calendar date"},
        {centre, "   200.000     0.000\n     0.100", "",
         "*ERROR* conset: centre latitude 200 of grid #1 outside -90 to 90 - CONTROL"},
        {levels, "cdump\n     2\n   100   -10\n0 0 0 0 0\n0 0 0 0 0\n0 6 0\n", "",
         "*ERROR* conset: level height -10 of grid #1 (level 2) below the ground"},
        {levels, "cdump\n     3\n     0   100   100\n0 0 0 0 0\n0 0 0 0 0\n0 6 0\n", "",
         "*ERROR* conset: level height 100 of grid #1 repeated (levels 2 and 3)"},
        {levels, "cdump\n     1\n   100\n0 0 0 0 0\n23 12 31 0 0\n0 6 0\n", "",
         "*ERROR* conset: sampling stop 23 12 31 0 0 of grid #1 before its start 24 1 1 0 0 in a forward run"},
        {levels, "cdump\n     1\n   100\n24 2 31 0 0\n0 0 0 0 0\n0 6 0\n", "",
         "*ERROR* conset: sampling start 24 2 31 0 0 of grid #1 is not a calendar date"},
        {levels, "cdump\n     1\n   100\n0 0 0 0 0\n0 0 0 0 0\n7 6 0\n", "",
         "*ERROR* conset: sampling type 7 of grid #1 is none of 0 (average), 1 (snapshot), 2 (maximum)"},
        {particle, "     4\n-1.0 2.0 1.0\n", "",
         "*ERROR* depset: particle diameter -1 of pollutant 1 (HG0) negative (0 marks a gas) - CONTROL"},
        {"", "", "cepconc_delta = 0 /", "CEPCONC_DELTA must be a positive number of minutes -            0 in Hg_SETUP.CFG"},
        {"", "", "cepconc_delta = -60 /", "CEPCONC_DELTA must be a positive number of minutes -          -60"},
        {"", "", "method_dry = 99 /", "METHOD_DRY must be from 1 to 6 -           99 in Hg_SETUP.CFG"},
        {"", "", "zrh_crit_surface = 2.0 /", "ZRH_CRIT_SURFACE must be a fraction of saturation from 0 to 1 -"},
        {"", "", "maxmiss = -1 /", "MAXMISS must be 0 or more -           -1 in Hg_SETUP.CFG"},
    };
    for (const Case& c : cases) {
        test::write_file("CONTROL", c.from.empty() ? control : replaced(control, c.from, c.to));
        test::write_file("Hg_SETUP.CFG", kHg + (c.hg.empty() ? "/" : c.hg) + "\n");
        test::RunResult r = test::run_orvcalc_here();
        EXPECT_EQ(r.status, 900) << c.message;
        EXPECT_TRUE(has(r.console, c.message)) << c.message << "\n" << r.console;
        EXPECT_FALSE(has(r.console, "Calculation Started")) << c.message;
    }

    // Odd values that a step gives a meaning: a negative sampling type (the
    // average over the last minutes of each interval), a height below sea
    // level when heights are above sea level, a relative sampling start
    // that rolls over its month, a run of no hours (this one).
    test::write_file("Hg_SETUP.CFG", kHg + "/\n");
    std::string kept = replaced(control, levels, "cdump\n     1\n   100\n0 0 40 0 0\n0 0 0 0 0\n-15 6 0\n");
    kept = replaced(kept, location, "    40.000   -90.000    -5.0\n");
    test::write_file("CONTROL", kept);
    test::write_file("SETUP.CFG", " &SETUP initd = 2, maxdim = 4, kmsl = 1 /\n");
    test::RunResult r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 0) << r.console;
}

}  // namespace
}  // namespace orv
