// Output files that cannot be written (a full disk): every one fails the run
// with a console line naming it, and what the other files hold is kept.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/run_test_support.hpp"

namespace orv {
namespace {

using test::has;

namespace fs = std::filesystem;

// The example's control file with a second concentration grid, a snapshot
// one (which the samplers read), written to "snap".
std::string with_snapshot_grid(const std::string& control) {
    const std::string grid =
        "    40.000   -87.500\n     0.100     0.100\n    10.000    15.000\n./\ncdump\n     1\n   100\n"
        "0 0 0 0 0\n0 0 0 0 0\n0 6 0\n";
    const size_t at = control.find("     1\n" + grid);
    if (at == std::string::npos) return control;
    std::string snapshot = grid;
    snapshot.replace(snapshot.find("cdump"), 5, "snap");
    snapshot.replace(snapshot.rfind("0 6 0"), 5, "1 1 0");
    return control.substr(0, at) + "     2\n" + grid + snapshot + control.substr(at + 7 + grid.size());
}

// A two-hour run that writes every kind of output: receptor output every
// hour, a particle dump every hour, a sampler.
void write_short_run_settings(const std::string& control) {
    test::write_file("CONTROL", with_snapshot_grid(control));
    test::write_file("SETUP.CFG", " &SETUP initd = 2, maxdim = 4, numpar = 100, ndump = 1, ncycl = 1 /\n");
    test::write_file("Hg_SETUP.CFG", " &HG_SETUP rxn_conc_dir = '../oxidants/', dep_delta = 60 /\n");
    test::write_file("LAGSET.CFG", "1\n40.0 -89.5 10.0\n90.0 10.0\n24 1 1 0 0\n24 1 1 0 0\n60\n60\nsampler.txt\n");
}

bool ends_a_line(const std::string& text) { return !text.empty() && text.back() == '\n'; }

// A run whose console is kept; the message log is not read (it may be a link
// to a device that never ends).
test::RunResult run_keeping_the_console(const std::string& typed = "") {
    test::RunResult r;
    std::istringstream keyboard(typed);
    std::ostringstream console;
    const char* argv[] = {"orvcalc"};
    r.status = run_orvcalc(1, argv, keyboard, console);
    r.console = console.str();
    return r;
}

TEST(OutputFailure, AnOutputFileThatCannotBeWrittenFailsTheRunNamingIt) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    fixture::ExampleOptions o;
    o.run_hours = 2;
    test::ExampleTree tree(o);
    write_short_run_settings(tree.control());
    test::RunResult clean = test::run_orvcalc_here();
    ASSERT_EQ(clean.status, 0) << clean.console;

    const std::vector<std::string> outputs = {
        "MESSAGE",      "recpmass.out",  "cepflux.out", "recp_summary.out", "recp_detail.out",
        "cep_summary.out", "polyconv_batch_file.bat", "shp_input_0001_source.txt", "SIZEDIST.OUT",
        "SIZEDIST2.OUT", "CONC.CFG",     "hg_out.000",  "cdump",            "snap",
        "PARDUMP",      "sampler.txt"};
    for (const std::string& name : outputs) ASSERT_GT(fs::file_size(name), 0u) << name << " is not written";
    const std::string summary = test::read_file("recp_summary.out");

    for (const std::string& name : outputs) {
        fs::remove(name);
        fs::create_symlink("/dev/full", name);
        test::RunResult r = run_keeping_the_console();
        fs::remove(name);
        EXPECT_EQ(r.status, 900) << name;
        EXPECT_TRUE(has(r.console, "cannot write file (disk full or write error) - ")) << name << r.console;
        EXPECT_TRUE(has(r.console, name + "\n")) << name << r.console;
        EXPECT_FALSE(has(r.console, "Complete Orvante")) << name;
        EXPECT_FALSE(has(r.console, "memory allocation")) << name << r.console;
        // What the other files got before the failure is in them, whole.
        for (const std::string& other : outputs) {
            if (other == name || other == "cdump" || other == "snap" || other == "PARDUMP") continue;
            const std::string text = test::read_file(other);
            EXPECT_TRUE(text.empty() || ends_a_line(text)) << other << " after " << name;
        }
        if (name == "MESSAGE") {
            EXPECT_EQ(test::read_file("recp_summary.out"), summary);
        }
    }

    // STARTUP, the copy of the answers typed at the keyboard.
    const std::string typed = tree.control();
    fs::remove("CONTROL");
    fs::create_symlink("/dev/full", "STARTUP");
    test::RunResult r = run_keeping_the_console(typed);
    EXPECT_EQ(r.status, 900);
    EXPECT_TRUE(has(r.console, "cannot write file (disk full or write error) - STARTUP\n")) << r.console;
}

}  // namespace
}  // namespace orv
