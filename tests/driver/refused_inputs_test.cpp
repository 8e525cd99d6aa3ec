// Control-file values and mercury settings that no step of the run gives a
// meaning, or that would overflow its sums, are refused at set-up, naming the
// file, the item and the value; odd values that a step does give a meaning
// still run, to finite outputs.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/driver/run_test_support.hpp"
#include "tools/emission_inputs.hpp"

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
const std::string kSetup = " &SETUP initd = 2, maxdim = 4, ";

// Pieces of the example's control file.
const std::string kLocation = "    40.000   -90.000    50.0\n";
const std::string kFirstPollutant = "HG0\n       1.0\n       1.0\n0 0 0 0 0\n";
const std::string kLevels = "cdump\n     1\n   100\n0 0 0 0 0\n0 0 0 0 0\n0 6 0\n";
const std::string kParticle = "     4\n0.0 0.0 1.0\n";

TEST(RefusedInputs, ValuesWithoutMeaningStopTheSetUpNamingFileItemAndValue) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    const std::string control = tree.control();
    // The grid's centre: the line after the pollutants and the grid count.
    const std::string grids = "0 0 0 0 0\n     1\n";
    const size_t at = control.rfind(grids) + grids.size();
    const std::string centre = grids + control.substr(at, control.find('\n', at) + 1 - at);
    // The lines from the location to the first pollutant's record.
    const size_t location_at = control.find(kLocation);
    const std::string through_first =
        control.substr(location_at, control.find(kFirstPollutant) + kFirstPollutant.size() - location_at);
    struct Case {
        std::string from, to;  // in the control file
        std::string setup;     // SETUP items beside INITD and MAXDIM
        std::string message;
    };
    const Case cases[] = {
        {kLocation, "    40.000   -90.000    -5.0\n", "",
         "*ERROR* runset: release height -5 m of location 1 is below the ground (heights above ground, KMSL 0) - "
         "CONTROL"},
        {kLocation, "    40.000   -90.000    50.0    -3.0\n", "",
         "*ERROR* runset: emission rate -3 of location 1 is negative (a negative rate marks a dust source, with "
         "ICHEM 3 only) - CONTROL"},
        {kFirstPollutant, "HG0\n       1.0\n      -2.0\n0 0 0 0 0\n", "",
         "*ERROR* read_pollutant_emissions: hours of emission -2 of pollutant 1 (HG0) negative in a forward run"},
        {kFirstPollutant, "HG0\n    1.0E36\n       1.0\n0 0 0 0 0\n", "",
         "*ERROR* read_pollutant_emissions: emission rate 1e+36 of pollutant 1 (HG0) is above the largest rate the "
         "run takes (1e20) - CONTROL"},
        {kFirstPollutant, "HG0\n     -10.0\n       1.0\n0 0 0 0 0\n", "ichem = 0,",
         "*ERROR* read_pollutant_emissions: emission rate -10 of pollutant 1 (HG0) is negative"},
        {centre, grids + "   200.000     0.000\n", "",
         "*ERROR* conset: centre latitude 200 of grid #1 outside -90 to 90 - CONTROL"},
        {kLevels, "cdump\n     2\n   100   -10\n0 0 0 0 0\n0 0 0 0 0\n0 6 0\n", "",
         "*ERROR* conset: level height -10 of grid #1 (level 2) below the ground (heights above ground, KMSL 0)"},
        {kParticle, "     4\n-1.0 2.0 1.0\n", "",
         "*ERROR* depset: particle diameter -1 of pollutant 1 (HG0) negative (0 marks a gas) - CONTROL"},
        // A forward run goes back to the point sources once the emission
        // file's last group has passed: they take the location's rate.
        {kLocation, "    40.000   -90.000    50.0    -3.0\n", "efile = 'EMITTED',",
         "*ERROR* runset: emission rate -3 of location 1 is negative (a negative rate marks a dust source, with "
         "ICHEM 3 only) - CONTROL"},
        // The refused value is shown with the digits that tell it from the ceiling.
        {kFirstPollutant, "HG0\n1.0000001E20\n       1.0\n0 0 0 0 0\n", "",
         "emission rate 1.0000001e+20 of pollutant 1 (HG0) is above the largest rate the run takes (1e20)"},
        // Values left out of a relative start would take the run start's,
        // which is then added to them again.
        {kFirstPollutant, "HG0\n       1.0\n       1.0\n00 00\n", "",
         "*ERROR* read_pollutant_emissions: relative release start of pollutant HG0 (month 0) with 2 of its 5 "
         "values: a start counted from the run start needs year, month, day, hour and minute - CONTROL line 14"},
        {kLevels, "cdump\n     1\n   100\n0 0 0 0 /\n0 0 0 0 0\n0 6 0\n", "",
         "*ERROR* conset: relative sampling start of grid #1 (month 0) with 4 of its 5 values"},
        {kParticle, "     4\n0.0 0.0 1e-40\n", "",
         "*ERROR* depset: particle shape 1e-40 of pollutant 1 (HG0) is below 0.0001, the smallest the settling "
         "velocity is divided by - CONTROL line 39"},
        {kLocation, "    40.000   -90.000    50.0    0.0    1.0E36\n", "",
         "*ERROR* runset: source area 1e+36 m2 of location 1 is above the Earth's surface (5.1e14 m2) - CONTROL "
         "line 3"},
        // A release may put all its mass into one puff.
        {kFirstPollutant, "HG0\n    1.0E20\n    1.0E19\n0 0 0 0 0\n", "",
         "*ERROR* read_pollutant_emissions: emission rate 1e+20 of pollutant 1 (HG0) times its hours of emission "
         "1e+19 is above the largest mass the run takes (1e25) - CONTROL"},
        {kFirstPollutant, "HG0\n      10.0\n    3.4E38\n0 0 0 0 0\n", "", "times its hours of emission 3.4e+38"},
        {through_first,
         replaced(replaced(through_first, kLocation, "    40.000   -90.000    50.0    1.0E20\n"), kFirstPollutant,
                  "HG0\n       1.0\n     1.0E6\n0 0 0 0 0\n"),
         "", "emission rate 1e+20 of location 1 for pollutant 1 (HG0) times its hours of emission 1e+06"},
        // The emission file's releases fill the mass slots one to one.
        {"", "", "maxdim = 5, efile = 'EMITTED',",
         "*ERROR* main: number of pollutants 4 is not MAXDIM 5, which the emission file EMITTED needs (or MAXDIM 1) "
         "- CONTROL"},
    };
    test::write_file("EMITTED", "");
    test::write_file("Hg_SETUP.CFG", kHg + "/\n");
    for (const Case& c : cases) {
        test::write_file("CONTROL", c.from.empty() ? control : replaced(control, c.from, c.to));
        test::write_file("SETUP.CFG", kSetup + c.setup + " /\n");
        test::RunResult r = test::run_orvcalc_here();
        EXPECT_EQ(r.status, 900) << c.message;
        EXPECT_TRUE(has(r.console, c.message)) << c.message << "\n" << r.console;
        EXPECT_FALSE(has(r.console, "Calculation Started")) << c.message;
    }

    // A gridded inventory releases each hour its value times the pollutant's
    // rate: the product is refused at the line of the data file.
    fixture::write_inventory(".", fixture::uniform_inventory(39.5f, -90.5f, 40.5f, -89.5f, 0.5f, 48.0f, {"HG0"}, 1));
    const std::string corners = "     2\n    39.500   -90.500    50.0\n    40.500   -89.500    50.0\n";
    test::write_file("CONTROL", replaced(replaced(control, "     1\n" + kLocation, corners), kFirstPollutant,
                                         "HG0\n    1.0E20\n       1.0\n0 0 0 0 0\n"));
    test::write_file("SETUP.CFG", kSetup + "/\n");
    test::RunResult inventory = test::run_orvcalc_here();
    EXPECT_EQ(inventory.status, 900);
    EXPECT_TRUE(has(inventory.console,
                    "*ERROR* emsdat: emission per hour 2 times the rate 1e+20 of pollutant 1 (HG0) in CONTROL is above "
                    "the largest rate the run takes (1e20) - emission_data.txt line 2"))
        << inventory.console;
    std::filesystem::remove("emission.txt");

    // The start month's oxidant fields are read at set-up.
    test::write_file("CONTROL", control);
    const std::string ozone = test::read_file("../oxidants/ox-jan.dat");
    test::write_file("../oxidants/ox-jan.dat", std::string(ozone).replace(32 * 4 + 19, 12, "0.340000E+39"));
    test::RunResult oxidant = test::run_orvcalc_here();
    test::write_file("../oxidants/ox-jan.dat", ozone);
    EXPECT_EQ(oxidant.status, 900);
    EXPECT_TRUE(has(oxidant.console, "*ERROR* get_global_conc: ozone value 3.4e+38 is above the largest the run "
                                     "takes (1e9 parts per billion, the whole air) - ../oxidants/ox-jan.dat record"))
        << oxidant.console;
    EXPECT_FALSE(has(oxidant.console, "Calculation Started"));

    // A negative rate marks a dust source with ICHEM 3.
    test::write_file("CONTROL", replaced(control, kFirstPollutant, "HG0\n     -10.0\n       1.0\n0 0 0 0 0\n"));
    test::write_file("SETUP.CFG", kSetup + "ichem = 3 /\n");
    EXPECT_EQ(test::run_orvcalc_here().status, 0);
    // A backward run reads its emission file to the end every hour, and
    // there a location's value of 0 or less takes the pollutant's rate.
    const std::string backward = test::with_line(test::with_line(control, " 24", " 24  1  1  2"), "     0", "    -1");
    test::write_file("CONTROL", replaced(backward, kLocation, "    40.000   -90.000    50.0    -3.0\n"));
    test::write_file("SETUP.CFG", kSetup + "efile = 'EMITTED' /\n");
    const test::RunResult r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_TRUE(has(r.console, "Complete Orvante")) << r.console;
}

// A meteorological value beyond any real data stops the run as its record is
// read, naming the file, the field, its time, level and value, before it can
// reach a position, a spread or an output.
TEST(RefusedInputs, DamagedMeteorologyStopsTheRunNamingTheFile) {
    fixture::ExampleOptions o;
    o.run_hours = 2;
    o.periods = 3;
    o.rain = true;
    test::ExampleTree tree(o);
    const std::string met = tree.files().met_files[0];
    const fixture::FieldFunction field = fixture::example_atmosphere(o).function();
    struct Case {
        fixture::FieldPatch patch;  // the whole grid, or a 4 x 3 degree box at the source
        std::string message;
    };
    auto at_source = [](const char* var, double value) {
        return fixture::FieldPatch{var, value, false, 38.5, 41.5, -92.0, -88.0};
    };
    const Case cases[] = {
        {{"PRSS", 0.0}, "*ERROR* metinp: PRSS 0 hPa at point (25, 20) of level 0, time 24 1 1 0, is outside the "
                        "surface pressure bounds 100 to 1200 hPa (record 2) - ./" + met},
        {{"TEMP", 0.0}, "*ERROR* metinp: TEMP 0 K at point (25, 20) of level 1, time 24 1 1 0, is outside the "
                        "temperature bounds 50 to 500 K"},
        {{"PBLH", 1.0e30}, "*ERROR* metinp: PBLH 1e+30 m at point (25, 20) of level 0, time 24 1 1 0, is outside"},
        {{"USTR", 1.0e30}, "*ERROR* metinp: USTR 1e+30 m/s at point (25, 20) of level 0"},
        {at_source("UWND", 1.0e30), "*ERROR* metinp: UWND "},
        {at_source("TPP1", 1.0e30), "*ERROR* metinp: TPP1 "},
        {at_source("PRSS", 1.0e-30), "*ERROR* metinp: PRSS "},
        {{"TEMP", 3.4e38}, "*ERROR* metinp: TEMP 3.4e+38 K at point (25, 20)"},
        {at_source("SHTF", 1.0e30), "*ERROR* metinp: SHTF "},
        {at_source("SHGT", -1.0e30), "*ERROR* metinp: SHGT "},
    };
    const fixture::MetFileRecipe recipe = fixture::example_file_recipe(o, 1);
    for (const Case& c : cases) {
        fixture::write_met_file(met, recipe, fixture::with_patch(field, c.patch));
        const test::RunResult r = test::run_orvcalc_here();
        EXPECT_EQ(r.status, 900) << c.message;
        EXPECT_TRUE(has(r.console, c.message)) << c.message << "\n" << r.console;
        EXPECT_TRUE(has(r.console, " - ./" + met)) << r.console;
        EXPECT_FALSE(has(r.console, "not a finite number")) << r.console;
    }
}

// The outputs of a run that the comparisons below look at.
struct Outputs {
    std::string recpmass, cepflux, cdump;
    bool operator==(const Outputs&) const = default;
};

Outputs read_outputs() {
    return {test::read_file("recpmass.out"), test::read_file("cepflux.out"), test::read_file("cdump")};
}

TEST(RefusedInputs, SomethingOtherThanAFileInPlaceOfAnInputStopsTheSetUpNamingIt) {
    fixture::ExampleOptions o;
    o.run_hours = 1;
    test::ExampleTree tree(o);
    enum class Kind { folder, pipe, loop };
    struct Case {
        std::string name;
        const char* setup;  // SETUP items beside INITD and MAXDIM
        Kind kind;
        int32_t status;
        const char* message;
    };
    const std::string met = "./" + tree.files().met_files[0];
    const Case cases[] = {
        {"LAGSET.CFG", "", Kind::folder, 900, "*ERROR* main: not a readable file - LAGSET.CFG"},
        {"emission.txt", "", Kind::folder, 900, "*ERROR* emsini: not a readable file - emission.txt"},
        {"EMITTED", "efile = 'EMITTED',", Kind::folder, 900, "*ERROR* emsmat: not a readable file - EMITTED"},
        {"LANDUSE.ASC", "", Kind::pipe, 900, "*ERROR* sfcinp: not a readable file - LANDUSE.ASC"},
        {"PARINIT", "", Kind::loop, 900, "*ERROR* main: not a readable file - PARINIT"},
        {"Hg_SETUP.CFG", "", Kind::folder, 900, "*ERROR* main: not a readable file - Hg_SETUP.CFG"},
        // Required inputs: a pipe is not waited on, a loop of links is no
        // system error; each stops with the code of its missing file.
        {met, "", Kind::pipe, 900, "*ERROR* metset: not a readable file - "},
        {"../oxidants/ox-jan.dat", "", Kind::pipe, 901,
         "*ERROR* get_global_conc: not a readable file - ../oxidants/ox-jan.dat"},
        {"../oxidants/so2-jan.dat", "", Kind::loop, 901,
         "*ERROR* get_global_conc: not a readable file - ../oxidants/so2-jan.dat"},
    };
    const std::string hg = test::read_file("Hg_SETUP.CFG");
    for (const Case& c : cases) {
        namespace fs = std::filesystem;
        test::write_file("Hg_SETUP.CFG", hg);
        test::write_file("SETUP.CFG", kSetup + c.setup + " /\n");
        const std::string kept = c.name + ".kept";
        if (fs::exists(c.name)) fs::rename(c.name, kept);
        if (c.kind == Kind::folder) fs::create_directory(c.name);
        if (c.kind == Kind::pipe) {
            ASSERT_EQ(::mkfifo(c.name.c_str(), 0600), 0) << c.name;
        }
        if (c.kind == Kind::loop) fs::create_symlink(fs::path(c.name).filename(), c.name);
        test::RunResult r = test::run_orvcalc_here();
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_TRUE(has(r.console, c.message)) << c.name << "\n" << r.console;
        EXPECT_FALSE(has(r.console, "Percent complete")) << c.name;
        fs::remove(c.name);
        if (fs::exists(kept)) fs::rename(kept, c.name);
    }

    // A link that leads nowhere is no file: the run goes without it.
    test::write_file("Hg_SETUP.CFG", hg);
    test::write_file("SETUP.CFG", kSetup + "efile = 'EMITTED' /\n");
    ASSERT_EQ(test::run_orvcalc_here().status, 0);
    const Outputs plain = read_outputs();
    for (const char* name : {"LAGSET.CFG", "emission.txt", "EMITTED", "PARINIT"})
        std::filesystem::create_symlink("nowhere", name);
    const test::RunResult r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_TRUE(read_outputs() == plain);
}

bool finite_text(const std::string& t) { return !has(t, "NaN") && !has(t, "Inf") && !has(t, "nan"); }

TEST(RefusedInputs, OddValuesThatAStepGivesAMeaningRunToFiniteOutputs) {
    fixture::ExampleOptions o;
    o.run_hours = 2;
    test::ExampleTree tree(o);
    // Hourly concentrations and depositions, so that two hours write both.
    const std::string hourly = "cdump\n     1\n   100\n0 0 0 0 0\n0 0 0 0 0\n0 1 0\n";
    const std::string control = replaced(tree.control(), kLevels, hourly);
    const std::string hg = kHg + "dep_delta = 60, ";
    test::write_file("CONTROL", control);
    test::write_file("SETUP.CFG", kSetup + "/\n");
    test::write_file("Hg_SETUP.CFG", hg + "/\n");
    ASSERT_EQ(test::run_orvcalc_here().status, 0);
    const Outputs plain = read_outputs();
    ASSERT_FALSE(plain.recpmass.empty());
    ASSERT_FALSE(plain.cdump.empty());

    struct Case {
        const char* what;
        std::string from, to;  // in the control file
        std::string setup;     // SETUP items beside INITD and MAXDIM
        std::string hg;        // HG_SETUP items
        bool same_deposition;  // the deposition outputs equal the plain run's
        bool same_cdump;       // and so does the concentration file
    };
    const Case cases[] = {
        // Hour 24 of the last day of 2023 is the run start.
        // The concentration file's header holds the start as given.
        {"a release start that carries", kFirstPollutant, "HG0\n       1.0\n       1.0\n23 12 31 24 00\n", "", "",
         true, false},
        {"a sampling start that carries", hourly, "cdump\n     1\n   100\n23 12 31 23 60\n0 0 0 0 0\n0 1 0\n", "",
         "", true, true},
        {"sampling type 3", hourly, "cdump\n     1\n   100\n0 0 0 0 0\n0 0 0 0 0\n3 1 0\n", "", "", true, false},
        {"a sampling stop before its start", hourly, "cdump\n     1\n   100\n0 0 0 0 0\n23 12 31 22 0\n0 1 0\n",
         "", "", true, false},
        {"items that change nothing", "", "", "", "method_dry = 99, cepconc_delta = 0, maxmiss = -1,", true, true},
        {"humidity thresholds above saturation", "", "", "",
         "zrh_crit_surface = 1.5, zrh_crit_aloft = 2.0, zrh_crit_stop = 1.2,", false, false},
        {"a level below sea level with heights above sea level", hourly,
         "cdump\n     2\n   -20   100\n0 0 0 0 0\n0 0 0 0 0\n0 1 0\n", "kmsl = 1,", "", false, false},
        {"a level given twice", hourly, "cdump\n     2\n   100   100\n0 0 0 0 0\n0 0 0 0 0\n0 1 0\n", "", "", true,
         false},
        // Hours and minutes between events, taken by their magnitude.
        {"negative split and merge hours", "", "", "kspl = -1, krnd = -6,", "", true, true},
        {"a negative receptor output interval", "", "", "", "dep_delta = -60,", true, true},
    };
    for (const Case& c : cases) {
        test::write_file("CONTROL", c.from.empty() ? control : replaced(control, c.from, c.to));
        test::write_file("SETUP.CFG", kSetup + c.setup + " /\n");
        test::write_file("Hg_SETUP.CFG", hg + c.hg + " /\n");
        test::RunResult r = test::run_orvcalc_here();
        EXPECT_EQ(r.status, 0) << c.what << "\n" << r.console;
        EXPECT_TRUE(has(r.console, "Complete Orvante")) << c.what;
        const Outputs out = read_outputs();
        EXPECT_FALSE(out.recpmass.empty()) << c.what;
        EXPECT_TRUE(finite_text(out.recpmass) && finite_text(out.cepflux) && finite_text(r.log)) << c.what;
        if (c.same_deposition) {
            EXPECT_EQ(out.recpmass, plain.recpmass) << c.what;
            EXPECT_EQ(out.cepflux, plain.cepflux) << c.what;
        }
        if (c.same_cdump) {
            EXPECT_EQ(out.cdump, plain.cdump) << c.what;
        }
    }
}

}  // namespace
}  // namespace orv
