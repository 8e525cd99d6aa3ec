// Whole runs of orvcalc on the complete example: the set-up from the control
// input to the oxidant load, what it writes, and the settings and inputs it
// refuses before any output beyond the start-up files.

#include "driver/orvcalc.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <vector>

#include "common/record_file.hpp"
#include "tests/driver/run_test_support.hpp"

namespace orv {
namespace {

using test::has;

TEST(OrvcalcRun, CompleteExampleSetsUpAndEnds) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console.substr(r.console.size() - 18), " Complete Orvante\n");
    EXPECT_TRUE(has(r.console, " pfrac initialized to -99.99\n"));
    EXPECT_TRUE(has(r.console, " dimension 2 =            6\n")) << r.console;
    EXPECT_TRUE(has(r.console, " Calculation Started ... please be patient\n"));
    EXPECT_TRUE(has(r.console, " back from call get_global_conc subroutine\n"));

    EXPECT_TRUE(has(r.log, " ORVANTE49 (Oct 2008)\n \n ------------- Start Namelist configuration")) << r.log;
    EXPECT_TRUE(has(r.log, " MAXDIM = 4,\n"));
    EXPECT_TRUE(has(r.log, "NOTICE   main: meteorological data flags"));
    const std::string last = " ------------- Start computation messages -------------------\n";
    EXPECT_TRUE(has(r.log, last)) << r.log;
    EXPECT_TRUE(has(r.log.substr(r.log.find(last)), "NOTICE advpnt:"));  // the source looked up

    const std::string dump = test::read_file("hg_out.000");
    const size_t before = dump.find("back from DEPSET, before any reset of parameters");
    const size_t after = dump.find("AFTER reset of parameters, if applicable");
    ASSERT_NE(before, std::string::npos);
    ASSERT_NE(after, std::string::npos);
    EXPECT_LT(before, after);
    EXPECT_TRUE(has(dump.substr(before, after - before), " DIRT(n)%DOWET   = F\n"));
    EXPECT_FALSE(has(dump.substr(after), " DIRT(n)%DOWET   = F\n"));
    EXPECT_TRUE(has(dump, " POLLUTANT NAME  = HGP \n"));

    for (const char* f : {"recp_summary.out", "recp_detail.out", "cep_summary.out", "polyconv_batch_file.bat",
                          "SIZEDIST.OUT", "SIZEDIST2.OUT", "CONC.CFG", "cdump", "hg_out.030"})
        EXPECT_TRUE(std::filesystem::exists(f)) << f;
    EXPECT_TRUE(std::filesystem::exists("shp_input_0002_downwind.txt"));
    EXPECT_EQ(test::read_file("recp_summary.out").find("unused"), std::string::npos);  // category 12
    for (const char* f : {"cepconc.out", "recpmet.out", "cepmet.out"}) EXPECT_EQ(test::read_file(f), "") << f;
}

TEST(OrvcalcRun, StartMonthZeroTakesTheStartFromTheData) {
    fixture::ExampleOptions o;
    o.day = 3;
    o.hour = 6;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    test::write_file("CONTROL", test::with_line(tree.control(), " 24", " 24  0  0  0"));
    test::RunResult r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_FALSE(has(r.console, "*ERROR* tm2min")) << r.console;
}

TEST(OrvcalcRun, InputsThatCannotStartARun) {
    test::ExampleTree tree({}, false);
    std::filesystem::remove(tree.files().met_files[0]);
    test::RunResult r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 900);
    EXPECT_TRUE(has(r.console, "Unable to find file: ")) << r.console;

    // No starting location at all.
    std::string control = tree.control();
    const std::string location = "     1\n    40.000   -90.000    50.0\n";
    ASSERT_NE(control.find(location), std::string::npos);
    test::write_file("CONTROL", control.replace(control.find(location), location.size(), "     0\n"));
    r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 900);
    EXPECT_TRUE(has(r.console, "*ERROR* main: all source points off all meteo grids!")) << r.console;
    EXPECT_FALSE(has(r.console, "tm2min")) << r.console;

    // A control file that is there but cannot be read is never replaced by
    // the keyboard; a pipe is not waited on.
    std::filesystem::remove("CONTROL");
    std::filesystem::remove("STARTUP");
    for (const bool pipe : {false, true}) {
        if (pipe)
            ASSERT_EQ(::mkfifo("CONTROL", 0600), 0);
        else
            std::filesystem::create_directory("CONTROL");
        r = test::run_orvcalc_here();
        EXPECT_EQ(r.status, 900);
        EXPECT_TRUE(has(r.console, "*ERROR* main: not a readable file - CONTROL")) << r.console;
        EXPECT_FALSE(std::filesystem::exists("STARTUP"));
        std::filesystem::remove("CONTROL");
    }
}

TEST(OrvcalcRun, EmptyDirectoryReadsTheKeyboardAndStopsAtItsEnd) {
    test::ScratchDir dir;
    test::write_file("SETUP.t1", fixture::example_setup_cfg());
    test::RunResult r = test::run_orvcalc_here({"orvcalc", "t1"});
    EXPECT_EQ(r.status, 900);
    EXPECT_TRUE(has(r.console, " ORVANTE49 (Oct 2008) - Initialization t1\n"));
    EXPECT_TRUE(has(r.console, "Enter starting time (year, month, day, hour)")) << r.console;
    EXPECT_TRUE(has(r.console, "end of file"));
    EXPECT_TRUE(std::filesystem::exists("STARTUP"));
    EXPECT_TRUE(std::filesystem::exists("MESSAGE.t1"));
}

TEST(OrvcalcRun, DefaultsRefusedForWantOfASetupFileNameTheFileFirst) {
    test::ScratchDir dir;
    for (const char* suffix : {"", "t2"}) {
        std::vector<const char*> args = {"orvcalc"};
        if (*suffix) args.push_back(suffix);
        test::RunResult r = test::run_orvcalc_here(args);
        EXPECT_EQ(r.status, 900);
        const std::string file = *suffix ? std::string("SETUP.") + suffix : std::string("SETUP.CFG");
        const size_t named = r.console.find("namelist file not found, the SETUP defaults stand - " + file);
        EXPECT_NE(named, std::string::npos) << r.console;
        EXPECT_LT(named, r.console.find("MAXDIM 1 must be at least 4 for the mercury steps - " + file)) << r.console;
        EXPECT_FALSE(has(r.console, "puffvol")) << r.console;
    }
}

TEST(OrvcalcRun, SettingsTheMercuryStepsCannotUseStopBeforeAnyOutput) {
    test::ExampleTree tree({}, false);
    test::write_file("PARX", "");
    struct Case {
        const char* setup;
        const char* hg;
        const char* message;
    };
    const Case cases[] = {
        {" &SETUP initd = 1, maxdim = 1 /\n", "",
         "*ERROR* main: MAXDIM 1 must be at least 4 for the mercury steps - SETUP.CFG"},
        {" &SETUP initd = 0, maxdim = 4 /\n", "",
         "*ERROR* main: INITD 0 must be of distribution mode 1 or 2 (Gaussian or top-hat puffs)"},
        {" &SETUP initd = 130, maxdim = 4 /\n", "", "INITD 130 must be of distribution mode 1 or 2"},
        {" &SETUP initd = 2, maxdim = 4 /\n", " &HG_SETUP npath = 4 /\n",
         "*ERROR* main: NPATH 4 must be at least 5, the deposition paths booked - Hg_SETUP.CFG"},
        {" &SETUP initd = 2, maxdim = 4 /\n", " &HG_SETUP npath = 100000 /\n",
         "*ERROR* main: NPATH 100000 must be at most 99999, the path numbers the path column of recpmass.out holds"},
        {" &SETUP initd = 2, maxdim = 4 /\n", " &HG_SETUP nland = 19 /\n", "NLAND 19 must be 20"},
        {" &SETUP initd = 2, maxdim = 4 /\n", " &HG_SETUP nland = 21 /\n", "NLAND 21 must be 20"},
        {" &SETUP initd = 1, maxdim = 4, ndump = 3, pinpf = 'PARX', poutf = './PARX' /\n", "",
         "POUTF './PARX' must be another file than PINPF 'PARX'"},
    };
    for (const Case& c : cases) {
        test::write_file("SETUP.CFG", c.setup);
        test::write_file("Hg_SETUP.CFG", c.hg);
        if (*c.hg == '\0') std::filesystem::remove("Hg_SETUP.CFG");
        test::RunResult r = test::run_orvcalc_here();
        EXPECT_EQ(r.status & 0xff, 132) << c.setup;
        EXPECT_TRUE(has(r.console, c.message)) << c.setup << r.console;
        // The puff-volume text belongs to a particle reaching that step.
        EXPECT_FALSE(has(r.console, "puffvol")) << c.setup;
        EXPECT_FALSE(std::filesystem::exists("cdump")) << c.setup;
        EXPECT_FALSE(std::filesystem::exists("CONC.CFG")) << c.setup;
    }
    // The same file name for a dump that is never written is no clash.
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ndump = 0, pinpf = 'PARX', poutf = 'PARX' /\n");
    test::RunResult r = test::run_orvcalc_here();
    EXPECT_FALSE(has(r.console, "POUTF")) << r.console;
}

// The control file with `extra` more pollutants (emission records and
// deposition blocks) than the example's four.
std::string with_more_pollutants(const std::string& control, int32_t extra) {
    std::string t = control;
    const std::string four = "     4\n";
    const size_t first = t.find(four);
    const size_t last = t.rfind(four);
    const std::string count = "     " + std::to_string(4 + extra) + "\n";
    std::string records, blocks;
    for (int32_t k = 0; k < extra; ++k) {
        records += "XT" + std::to_string(k) + "\n       0.5\n       2.0\n0 0 0 0 0\n";
        blocks += "1.0 2.0 1.0\n0.0 200.0 0.0 0.0 0.1\n0.0 1.0 1.0e-5\n0.0\n0.0\n";
    }
    t = t.substr(0, last) + count + t.substr(last + four.size()) + blocks;
    const size_t after_records = t.find("\n     1\n", first);  // the concentration grid count
    t = t.substr(0, first) + count + t.substr(first + four.size(), after_records + 1 - first - four.size()) +
        records + t.substr(after_records + 1);
    return t;
}

TEST(OrvcalcRun, MorePollutantsOrSlotsThanTheOtherSetsUpInsideTheTables) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    // 5 pollutants and 8 mass slots.
    test::write_file("CONTROL", with_more_pollutants(tree.control(), 1));
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 8 /\n");
    test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_TRUE(has(r.console, "WARNING: namelist file (maxdim) > control file (numtyp)"));
    EXPECT_TRUE(has(test::read_file("hg_out.000"), " POLLUTANT NAME  = XT0 \n"));

    // The source matrix with more pollutants than locations: every record
    // and deposition block is read, and location 1 becomes pollutant "0001".
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ichem = 1 /\n");
    test::write_file("CONTROL", with_more_pollutants(tree.control(), 2));
    r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_TRUE(has(r.console, "NOTICE   main: concentration file treated as matrix"));
    const std::string dump = test::read_file("hg_out.000");
    EXPECT_TRUE(has(dump.substr(dump.find("AFTER reset")), " POLLUTANT NAME  = HG0 \n"));
}

TEST(OrvcalcRun, ConcCfgServesAsTheSetupOfASecondRun) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG",
                     " &SETUP initd = 1, maxdim = 4, khmax = 10000, splitf = -0.5, krnd = 12, delt = -5.0,\n"
                     " efile = 'no such emissions.txt', pinpf = 'it''s not there', numpar = 999999 /\n");
    test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    const std::string first = test::read_file("CONC.CFG");
    EXPECT_TRUE(has(first, " khmax = 10000,\n splitf") || has(first, " khmax = 10000,\n"));
    EXPECT_TRUE(has(first, " splitf = -1.00,\n"));
    EXPECT_TRUE(has(first, " efile = 'no such emissions.txt',\n"));
    EXPECT_TRUE(has(first, " pinpf = 'it''s not there',\n"));
    // CONC.CFG carries no MAXDIM: the second run adds it.
    std::string second_setup = first;
    second_setup.insert(second_setup.rfind(" /"), " maxdim = 4,\n");
    test::write_file("SETUP.CFG", second_setup);
    r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(test::read_file("CONC.CFG"), first);
}

// The values of one particle in a particle initialisation file.
struct DumpedValues {
    std::vector<float> mass{1.0f, 0.5f, 0.0f, 0.25f};
    std::array<float, 6> position{};  // lat, lon, height, sigma_h, sigma_z, v'
    std::array<int32_t, 5> state{};   // age, type, pollutant, grid, sort key
};

// The date of a group: year, month, day, hour.
using GroupDate = std::array<int32_t, 4>;

// A particle initialisation file: one group at the start time holding two
// puffs near the source, and a group an hour later (or groups of the dates
// given, hours counted from 0); `edit` may change the values of particle k
// (0, 1) of the group of hour 0 or 1.
void write_particle_file(const std::string& name,
                         const std::function<void(int32_t hour, int32_t k, DumpedValues&)>& edit = {},
                         const std::vector<GroupDate>& dates = {{24, 1, 1, 0}, {24, 1, 1, 1}}) {
    test::TestConsole console;
    RecordWriter w;
    ASSERT_TRUE(w.open(name, "tester", console.out));
    RecordBuilder r;
    for (int32_t hour = 0; hour < static_cast<int32_t>(dates.size()); ++hour) {
        const GroupDate& date = dates[static_cast<size_t>(hour)];
        std::vector<DumpedValues> group(2);
        for (int32_t k = 0; k < 2; ++k) {
            group[k].position = {40.0f + 0.1f * static_cast<float>(k), -90.0f, 300.0f, 500.0f, 0.001f, 0.0f};
            group[k].state = {60, 1, 1, 1, k + 1};
            if (edit) edit(hour, k, group[k]);
        }
        r.clear();
        for (int32_t v : {2, static_cast<int32_t>(group[0].mass.size()), date[0], date[1], date[2], date[3]})
            r.put_i32(v);
        w.write(r);
        for (const DumpedValues& d : group) {
            r.clear();
            for (float m : d.mass) r.put_f32(m);
            w.write(r);
            r.clear();
            for (float v : d.position) r.put_f32(v);
            w.write(r);
            r.clear();
            for (int32_t v : d.state) r.put_i32(v);
            w.write(r);
        }
    }
    w.close();
}

TEST(OrvcalcRun, InitialParticlesAreReadAtTheStart) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    write_particle_file("PARINIT");
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ninit = 2 /\n");
    test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_TRUE(has(r.log, "NOTICE parinp: particle initialization -")) << r.log;
    EXPECT_TRUE(has(r.log, " Initialized with particles:            2\n")) << r.log;
    EXPECT_EQ(r.log.find("Initialized with particles:"), r.log.rfind("Initialized with particles:"));

    // NINIT 0: the file is not read.
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ninit = 0 /\n");
    r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_FALSE(has(r.log, "parinp")) << r.log;
}

TEST(OrvcalcRun, InitialParticlesTheRunCannotCarryAreRefusedBeforeTheFirstStep) {
    fixture::ExampleOptions o;
    o.run_hours = 2;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ninit = 2 /\n");
    struct Case {
        int32_t hour, particle;  // the particle changed; -1: every particle
        std::function<void(DumpedValues&)> edit;
        const char* message;
    };
    const Case cases[] = {
        {0, 1, [](DumpedValues& d) { d.mass[2] = std::numeric_limits<float>::quiet_NaN(); },
         "mass of pollutant 3 nan is not a finite number in record 5 (particle 2 of the group of 24 1 1 0) - PARINIT"},
        {0, 0, [](DumpedValues& d) { d.position[3] = 1.0e30f; },
         "sigma_h 1e+30 outside 0 to 2e+07 in record 3 (particle 1 of the group of 24 1 1 0) - PARINIT"},
        // A group due an hour after the start is refused before the start.
        {1, 1, [](DumpedValues& d) { d.state[1] = 99; },
         "type code 99 is none of 1, 2 (Gaussian and top-hat puffs) or 6 (sampler) that the run carries in record 14 (particle 2 of the group of 24 1 1 1)"},
        {1, 0, [](DumpedValues& d) { d.position[0] = 95.0f; }, "latitude 95 outside -90 to 90 in record 10 (particle 1"},
        {0, 0, [](DumpedValues& d) { d.mass[0] = 1.0e36f; },
         "mass of pollutant 1 1e+36 is above the largest mass the run takes (1e25) in record 2 (particle 1 of the "
         "group of 24 1 1 0) - PARINIT"},
        {0, -1, [](DumpedValues& d) { d.mass.resize(2); },
         "*ERROR* parinp: mismatch in number of pollutants - PARINIT\n Mode:            4\n      File:            2\n"},
    };
    for (const Case& c : cases) {
        write_particle_file("PARINIT", [&c](int32_t hour, int32_t k, DumpedValues& d) {
            if (c.particle < 0 || (hour == c.hour && k == c.particle)) c.edit(d);
        });
        test::RunResult r = test::run_orvcalc_here();
        EXPECT_EQ(r.status, 900) << c.message;
        EXPECT_TRUE(has(r.console, c.message)) << c.message << r.console;
        EXPECT_FALSE(has(r.console, "Percent complete")) << c.message;
        EXPECT_FALSE(has(r.console, "Calculation Started")) << c.message;
        EXPECT_FALSE(has(r.log, "Initialized with particles")) << c.message;
    }
    // A backward run loads a chain of groups at its hour ends: each is
    // checked before the start.
    const std::string control = tree.control();
    test::write_file("CONTROL", test::with_line(test::with_line(control, " 24", " 24  1  1  3"), "     2", "    -2"));
    write_particle_file(
        "PARINIT", [](int32_t hour, int32_t k, DumpedValues& d) { if (hour == 2 && k == 0) d.mass[0] = 1.0e30f; },
        {{24, 1, 1, 3}, {24, 1, 1, 2}, {24, 1, 1, 1}});
    test::RunResult backward = test::run_orvcalc_here();
    EXPECT_EQ(backward.status, 900) << backward.console;
    EXPECT_TRUE(has(backward.console, "(particle 1 of the group of 24 1 1 1) - PARINIT")) << backward.console;
    EXPECT_FALSE(has(backward.console, "Calculation Started"));
    test::write_file("CONTROL", control);

    // A real place off the particle's own grid is kept: its first advance
    // (after the first particle's has loaded the data) finds no grid holding
    // it and ends it with the warning.
    write_particle_file("PARINIT", [](int32_t hour, int32_t k, DumpedValues& d) {
        if (hour == 0 && k == 1) d.position[0] = 10.0f;
    });
    test::RunResult r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_TRUE(has(r.log, "WARNING metpos: off spatial domain of all grids")) << r.log;
}

// What a run leaves that the restart comparisons look at.
std::string restart_outputs() {
    return test::read_file("recpmass.out") + test::read_file("cepflux.out") + test::read_file("cdump");
}

TEST(OrvcalcRun, InitialParticlesRunWithTheMeaningOfTheirValues) {
    fixture::ExampleOptions o;
    o.run_hours = 2;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ninit = 2, delt = 10 /\n");
    write_particle_file("PARINIT");
    ASSERT_EQ(test::run_orvcalc_here().status, 0);
    const std::string plain = restart_outputs();
    // Hour 24 of 31 December is 00 of 1 January.
    write_particle_file("PARINIT", {}, {{23, 12, 31, 24}, {24, 1, 0, 25}});
    test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(restart_outputs(), plain);
    // A mass far above the hourly rate ceiling, as merged puffs reach.
    write_particle_file("PARINIT", [](int32_t, int32_t, DumpedValues& d) { d.mass[0] = 1.0e22f; });
    r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 0) << r.console;
    EXPECT_FALSE(has(restart_outputs(), "NaN")) << r.console;
}

// A particle of a dump: its age and its largest mass.
struct DumpedParticle {
    int32_t age;
    float largest_mass;
};

// The particles of the last group of a dump.
std::vector<DumpedParticle> last_dumped_group(const std::string& name) {
    RecordReader in;
    std::vector<DumpedParticle> group;
    if (!in.open(name)) return group;
    std::vector<uint8_t> rec;
    while (in.read(rec)) {
        RecordCursor h(rec);
        const int32_t n = h.get_i32(), pollutants = h.get_i32();
        group.clear();
        for (int32_t k = 0; k < n; ++k) {
            DumpedParticle d{0, 0.0f};
            in.read(rec);
            RecordCursor mass(rec);
            for (int32_t s = 0; s < pollutants; ++s) d.largest_mass = std::max(d.largest_mass, mass.get_f32());
            in.read(rec);
            in.read(rec);
            d.age = RecordCursor(rec).get_i32();
            group.push_back(d);
        }
    }
    return group;
}

TEST(OrvcalcRun, AGroupLoadedDuringTheRunMovesEachParticleOncePerStep) {
    fixture::ExampleOptions o;
    o.run_hours = 2;
    test::ExampleTree tree(o);
    // Two puffs 200 km north of the plume, 1000 minutes old, loaded at the end
    // of hour 1; the dump at the end of hour 2 shows every age.
    write_particle_file(
        "PARINIT",
        [](int32_t, int32_t k, DumpedValues& d) {
            d.position[0] = 42.0f + 0.1f * static_cast<float>(k);
            d.state[0] = 1000;
        },
        {{24, 1, 1, 1}});
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ninit = 2, delt = 10, ndump = 2 /\n");
    test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    int32_t loaded = 0, own = 0;
    for (const DumpedParticle& d : last_dumped_group("PARDUMP")) {
        if (d.age > 120) {
            EXPECT_EQ(d.age, 1060);  // one hour of steps, each once
            ++loaded;
        } else {
            EXPECT_GT(d.age, 0);  // released at most two hours before
            ++own;
        }
    }
    EXPECT_GE(loaded, 2) << r.log;  // split, each part keeping its age
    EXPECT_GT(own, 0);
}

TEST(OrvcalcRun, ARunRestartsFromItsOwnDump) {
    test::ExampleTree tree;
    // Every species at a rate just below the ceiling for the whole day, in
    // arrays small enough that the puffs merge: merged puffs sum their masses.
    std::string control = tree.control();
    for (const char* rate : {"       1.0\n       1.0\n", "       0.2\n       1.0\n", "       0.0\n       1.0\n",
                             "       0.1\n       1.0\n"})
        control.replace(control.find(rate), std::string(rate).size(), "   9.9E19\n      24.0\n");
    test::write_file("CONTROL", control);
    test::write_file("SETUP.CFG", " &SETUP initd = 2, maxdim = 4, maxpar = 400, delt = 10, ndump = 18 /\n");
    test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    const std::vector<DumpedParticle> dumped = last_dumped_group("PARDUMP");
    const auto heavy = [](const DumpedParticle& d) { return d.largest_mass > 1e20f; };
    EXPECT_TRUE(std::any_of(dumped.begin(), dumped.end(), heavy)) << "no merged puff above the rate ceiling";

    std::filesystem::rename("PARDUMP", "PARINIT");
    test::write_file("CONTROL", test::with_line(test::with_line(control, " 24", " 24  1  1 18"), "    24", "     1"));
    test::write_file("SETUP.CFG", " &SETUP initd = 2, maxdim = 4, maxpar = 400, delt = 10, ninit = 1 /\n");
    r = test::run_orvcalc_here();
    EXPECT_EQ(r.status, 0) << r.console;
    const std::string count = std::to_string(dumped.size());
    EXPECT_TRUE(has(r.log, " Initialized with particles: " + std::string(12 - count.size(), ' ') + count)) << r.log;
}

}  // namespace
}  // namespace orv
