// Whole runs of the complete example: what the hour, time-step and particle
// loops do with the puffs and what they write.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "common/run_stop.hpp"
#include "driver/orvcalc.hpp"
#include "driver/run_context.hpp"
#include "driver/run_end.hpp"
#include "driver/run_loop.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tools/emission_inputs.hpp"
#include "tests/driver/run_test_support.hpp"

namespace orv {
namespace {

using test::has;

struct FinishedRun {
    std::unique_ptr<RunContext> ctx = std::make_unique<RunContext>();
    int32_t stop = 0;
    std::string console;
};

// Sets up and runs every hour, keeping the run context for inspection.
FinishedRun run_here() {
    FinishedRun r;
    std::istringstream keyboard;
    const char* argv[] = {"orvcalc"};
    std::ostringstream console;
    r.ctx->console.attach(console);
    try {
        set_up_run(*r.ctx, 1, argv, keyboard);
        run_hours(*r.ctx);
    } catch (const RunStop& e) {
        r.stop = e.code();
    }
    r.console = console.str();
    r.ctx->log.flush();
    r.ctx->channels.file(50).flush();
    r.ctx->channels.file(51).flush();
    return r;
}

double airborne_mass(const ParticleArrays& p) {
    double sum = 0.0;
    for (int32_t i = 0; i < p.particle_count; ++i)
        if (p.particle_grid[i] != 0)
            for (int32_t o = 0; o < p.maxdim; ++o) sum += p.particle_mass[int64_t{i} * p.maxdim + o];
    return sum;
}

// The path totals written to "recpmass.out" (the first value of each line).
double written_path_totals() {
    std::istringstream in(test::read_file("recpmass.out"));
    double sum = 0.0;
    for (std::string line; std::getline(in, line);) sum += std::stod(line.substr(66, 15));
    return sum;
}

double unwritten_path_totals(const RunContext& c) {
    double sum = 0.0;
    const IndexedArray<float>& t = c.receptor_outputs.pathtot_puff;
    for (int32_t o = 1; o <= c.mercury.maxdim; ++o)
        for (int32_t p = 1; p <= c.hgsim.npath; ++p) sum += t(o, p);
    return sum;
}

TEST(RunLoop, MassBudget) {
    fixture::ExampleOptions o;
    o.run_hours = 6;
    o.rain = true;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", " &SETUP\n initd = 1,\n maxdim = 4,\n numpar = 100,\n maxpar = 50000,\n /\n");
    test::write_file("Hg_SETUP.CFG", " &HG_SETUP\n rxn_conc_dir = '../oxidants/',\n dep_delta = 60,\n /\n");
    FinishedRun r = run_here();
    ASSERT_EQ(r.stop, 0) << r.console;
    const double released = 1.0 + 0.2 + 0.0 + 0.1;
    const double airborne = airborne_mass(r.ctx->particles);
    const double deposited = written_path_totals() + unwritten_path_totals(*r.ctx);
    EXPECT_GT(deposited, 1e-4);
    EXPECT_NEAR((airborne + deposited) / released, 1.0, 1e-5) << airborne << " + " << deposited;
}

// The last sampling period of a packed (CPACK 1) concentration file: its
// points (pollutant identifier, i, j, value) over every level, and the grid.
struct PackedPoint {
    std::string pollutant;
    int32_t i = 0, j = 0;
    double value = 0.0;
};
struct LastPeriod {
    float lat0 = 0.0f, lon0 = 0.0f, dlat = 0.0f, dlon = 0.0f;
    int32_t periods = 0;
    std::vector<PackedPoint> points;
};

LastPeriod read_last_period(const std::string& path) {
    std::vector<test::Bytes> recs = test::read_records(path);
    LastPeriod c;
    size_t r = 0;
    test::Bytes& h1 = recs.at(r++);
    h1.chars(4);
    for (int k = 0; k < 5; ++k) h1.i32();
    const int32_t locations = h1.i32();
    EXPECT_EQ(h1.i32(), 1);  // packed
    r += static_cast<size_t>(locations);
    test::Bytes& grid = recs.at(r++);
    grid.i32();
    grid.i32();
    c.dlat = grid.f32();
    c.dlon = grid.f32();
    c.lat0 = grid.f32();
    c.lon0 = grid.f32();
    const int32_t nlev = recs.at(r++).i32();
    const int32_t npol = recs.at(r++).i32();
    size_t last = 0;
    while (r < recs.size()) {
        last = r;
        r += 2 + static_cast<size_t>(nlev * npol);
        ++c.periods;
    }
    for (size_t k = last + 2; k < last + 2 + static_cast<size_t>(nlev * npol); ++k) {
        test::Bytes& d = recs.at(k);
        const std::string pollutant = d.chars(4);
        d.i32();
        const int32_t n = d.i32();
        for (int32_t q = 0; q < n; ++q) {
            PackedPoint p;
            p.pollutant = pollutant;
            p.i = d.i16();
            p.j = d.i16();
            p.value = d.f32();
            c.points.push_back(p);
        }
    }
    return c;
}

// The concentration-weighted mean longitude and latitude of the last period
// over every pollutant and level.
struct CentreOfMass {
    double lat = 0.0, lon = 0.0, total = 0.0;
    float dlat = 0.0f, dlon = 0.0f;
    int32_t periods = 0;
};

CentreOfMass last_period_centre(const std::string& path) {
    const LastPeriod l = read_last_period(path);
    CentreOfMass c;
    c.dlat = l.dlat;
    c.dlon = l.dlon;
    c.periods = l.periods;
    for (const PackedPoint& p : l.points) {
        c.lon += p.value * (l.lon0 + (p.i - 1) * c.dlon);
        c.lat += p.value * (l.lat0 + (p.j - 1) * c.dlat);
        c.total += p.value;
    }
    if (c.total > 0.0) {
        c.lon /= c.total;
        c.lat /= c.total;
    }
    return c;
}

// The example's CONTROL with its concentration grid sampled as a snapshot
// every hour.
std::string hourly_snapshot_control(const test::ExampleTree& tree) {
    std::string control = tree.control();
    const size_t at = control.rfind("0 6 0\n");
    EXPECT_NE(at, std::string::npos);
    return control.replace(at, 6, "1 1 0\n");
}

std::string example_setup(const std::string& extra) {
    return " &SETUP\n initd = 1,\n maxdim = 4,\n numpar = 100,\n maxpar = 50000,\n" + extra + " /\n";
}

std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l);
    return out;
}

TEST(RunLoop, PuffsTravelEastWithTheWesterlyWind) {
    fixture::ExampleOptions o;
    o.run_hours = 6;
    test::ExampleTree tree(o);
    test::write_file("CONTROL", hourly_snapshot_control(tree));
    test::write_file("SETUP.CFG", example_setup(""));
    const test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    const CentreOfMass c = last_period_centre("cdump");
    ASSERT_EQ(c.periods, 6);
    ASSERT_GT(c.total, 0.0);
    // Released evenly over the first hour: the mass has travelled 5.5 hours
    // on average, at 5 m/s along the parallel of 40N.
    const double pi = 3.14159265358979;
    const double travelled_km = 5.0e-3 * 5.5 * 3600.0;
    const double expected_lon = o.centre_lon + travelled_km / (6371.2 * std::cos(o.centre_lat * pi / 180.0)) * 180.0 / pi;
    EXPECT_NEAR(c.lon, expected_lon, c.dlon) << "centre of mass at " << c.lat << " " << c.lon;
    EXPECT_NEAR(c.lat, o.centre_lat, c.dlat);
}

TEST(RunLoop, OutputsOfAWholeRunAndItsRepeat) {
    fixture::ExampleOptions o;
    o.run_hours = 6;
    test::ExampleTree tree(o);
    // The example's settings (top-hat puffs, a dump every 6 hours) with
    // receptor output every 2 hours.
    test::write_file("Hg_SETUP.CFG", " &HG_SETUP\n rxn_conc_dir = '../oxidants/',\n dep_delta = 120,\n /\n");
    const test::RunResult first = test::run_orvcalc_here();
    ASSERT_EQ(first.status, 0) << first.console;
    // The example runs clean.
    EXPECT_FALSE(has(first.log, "WARNING"));
    EXPECT_FALSE(has(first.console, "WARNING"));

    // The console: one progress line per hour, "Complete Orvante" last.
    EXPECT_EQ(lines_starting(first.console, " Percent complete: ").size(), 6u);
    EXPECT_TRUE(has(first.console, " Percent complete:  16.7\n"));
    EXPECT_EQ(first.console.substr(first.console.rfind('\n', first.console.size() - 2) + 1),
              " Complete Orvante\n");
    // The message log: the initial step (the example's fixed 10 minutes), a
    // notice per step, the level table at hour 6.
    EXPECT_TRUE(has(first.log, " NOTICE   main: Initial time step (min)           10\n"));
    EXPECT_GE(lines_starting(first.log, "  NOTICE   main:            ").size(), 12u + 5u * 3u);
    EXPECT_EQ(lines_starting(first.log, std::string(55, ' ') + " Index  Height %Mass").size(), 1u);
    // Three receptor outputs of 4 pollutants x 5 paths in each file.
    const std::string recp = test::read_file("recpmass.out");
    const std::string cep = test::read_file("cepflux.out");
    EXPECT_EQ(lines_starting(recp, "  1_puff").size(), 60u);
    EXPECT_EQ(lines_starting(cep, "  1_puff").size(), 60u);
    EXPECT_EQ(lines_starting(recp, "  1_puff      5    3  HGP ").size(), 1u);
    // The puffs' footprints lie over the receptor around the source: the
    // dry deposition of divalent mercury in the first output reaches it.
    const std::vector<std::string> first_hg2 = lines_starting(recp, "  1_puff      1    1  HG2 ");
    ASSERT_EQ(first_hg2.size(), 1u);
    EXPECT_GT(std::stod(first_hg2[0].substr(66, 15)), 0.0);
    EXPECT_GT(std::stod(first_hg2[0].substr(81, 15)), 0.0);
    // The particle dump at hour 6 and the concentration file.
    const std::string dump = test::read_file("PARDUMP");
    EXPECT_GT(dump.size(), 100u);
    EXPECT_TRUE(has(first.log, " NOTICE parout: number particles output - "));
    const std::string conc = test::read_file("cdump");
    EXPECT_GT(conc.size(), 1000u);

    // The same inputs again give the same files, byte for byte.
    const test::RunResult second = test::run_orvcalc_here();
    ASSERT_EQ(second.status, 0);
    EXPECT_EQ(second.console, first.console);
    EXPECT_EQ(second.log, first.log);
    EXPECT_TRUE(test::read_file("recpmass.out") == recp);
    EXPECT_TRUE(test::read_file("cepflux.out") == cep);
    EXPECT_TRUE(test::read_file("PARDUMP") == dump);
    EXPECT_TRUE(test::read_file("cdump") == conc);
}

// Sets up the run; `prepare` may change the context before the hours run.
template <typename Prepare>
FinishedRun run_prepared(Prepare prepare) {
    FinishedRun r;
    std::istringstream keyboard;
    const char* argv[] = {"orvcalc"};
    std::ostringstream console;
    r.ctx->console.attach(console);
    try {
        set_up_run(*r.ctx, 1, argv, keyboard);
        prepare(*r.ctx);
        run_hours(*r.ctx);
    } catch (const RunStop& e) {
        r.stop = e.code();
    }
    r.console = console.str();
    r.ctx->log.flush();
    return r;
}

// Puts an entry of type `type` at the first source with the given age and
// spreads in front of the releases.
void add_entry(RunContext& c, int32_t type, int32_t age, float sigma_h, float mass) {
    ParticleArrays& p = c.particles;
    const int32_t i = p.particle_count++;
    const SourceLocation& s = c.source_locations[0];
    p.particle_x[i] = s.grid_x;
    p.particle_y[i] = s.grid_y;
    p.particle_z[i] = s.release_z;
    p.particle_sigma_h[i] = sigma_h;
    p.particle_sigma_z[i] = 0.0f;
    p.particle_age[i] = age;
    p.particle_hdwp[i] = type;
    p.particle_pollutant[i] = 1;
    p.particle_grid[i] = s.met_grid;
    p.particle_sort_key[i] = i + 1;
    for (int32_t o = 0; o < p.maxdim; ++o) p.mass(o, i) = mass;
}

TEST(RunLoop, OnlyPuffsGoThroughTheMercurySteps) {
    fixture::ExampleOptions o;
    o.run_hours = 1;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", example_setup(""));

    // A three-dimensional particle has no volume: the run stops.
    FinishedRun particle = run_prepared([](RunContext& c) { add_entry(c, 0, 0, 0.0f, 1.0f); });
    EXPECT_EQ(particle.stop, kStopInput);
    EXPECT_TRUE(has(particle.console, " trying to calc puffvol for particle\n")) << particle.console;

    // A sampler goes on to the summation; its clock is its own.
    FinishedRun sampler = run_prepared([](RunContext& c) { add_entry(c, 6, 7, 0.0f, 0.0f); });
    ASSERT_EQ(sampler.stop, 0) << sampler.console;
    const ParticleArrays& s = sampler.ctx->particles;
    int32_t samplers = 0;
    for (int32_t i = 0; i < s.particle_count; ++i)
        if (s.particle_hdwp[i] == 6) {
            ++samplers;
            EXPECT_EQ(s.particle_age[i], 7);
            EXPECT_NE(s.particle_grid[i], 0);  // no mass, but not ended
        }
    EXPECT_EQ(samplers, 1);

    // A puff without width (its negative age keeps it from growing): the
    // mercury steps leave it alone, and the log says so once.
    FinishedRun flat = run_prepared([](RunContext& c) {
        add_entry(c, 1, -5, 0.0f, 0.25f);
        add_entry(c, 1, -5, 0.0f, 0.25f);
    });
    ASSERT_EQ(flat.stop, 0) << flat.console;
    ParticleArrays& f = flat.ctx->particles;
    int32_t untouched = 0;
    for (int32_t i = 0; i < f.particle_count; ++i)
        if (f.particle_sigma_h[i] == 0.0f && f.particle_age[i] < 0) {
            ++untouched;
            for (int32_t k = 0; k < f.maxdim; ++k) EXPECT_EQ(f.mass(k, i), 0.25f);
        }
    EXPECT_EQ(untouched, 2);
    const std::string log = test::read_file("MESSAGE");
    EXPECT_EQ(lines_starting(log, "  NOTICE   main: puff without volume").size(), 1u);
}

TEST(RunLoop, SamplerTakesTheSnapshotOfTheWholeStep) {
    fixture::ExampleOptions o;
    o.run_hours = 1;
    test::ExampleTree tree(o);
    std::string control = hourly_snapshot_control(tree);
    control.replace(control.find("\n   100\n"), 8, "\n  1000\n");
    test::write_file("CONTROL", control);
    test::write_file("SETUP.CFG", example_setup(""));
    // Sampler 1 writes at 01:00 the value of the last step alone (its average
    // restarts every step). It is put in front of the puffs here, so
    // LAGSET.CFG starts it after the run.
    fixture::SamplerRecipe recipe;
    recipe.start[2] = 2;
    recipe.average_minutes = 1;
    fixture::write_sampler_file("LAGSET.CFG", {recipe});
    FinishedRun r = run_prepared([](RunContext& c) {
        add_entry(c, 6, 0, 0.0f, 0.0f);
        add_entry(c, 1, 0, 5000.0f, 1.0f);  // wide, and deep enough to reach the 1000 m level
        c.particles.particle_sigma_z[1] = 0.1f;
    });
    ASSERT_EQ(r.stop, 0) << r.console;
    close_run_files(*r.ctx);
    const std::string line = test::read_file("sampler_1.txt");
    ASSERT_EQ(line.size(), 61u) << line;
    const double lat = std::stod(line.substr(15, 10)), lon = std::stod(line.substr(25, 10));
    const double sampled = std::stod(line.substr(45, 15));
    const LastPeriod snapshot = read_last_period("cdump");
    const int32_t i = static_cast<int32_t>(std::lround((lon - snapshot.lon0) / snapshot.dlon + 1.0));
    const int32_t j = static_cast<int32_t>(std::lround((lat - snapshot.lat0) / snapshot.dlat + 1.0));
    double at_cell = 0.0;
    for (const PackedPoint& p : snapshot.points)
        if (p.pollutant == "HG0 " && p.i == i && p.j == j) at_cell = p.value;
    EXPECT_GT(at_cell, 0.0);
    EXPECT_NEAR(sampled, at_cell, 5e-4 * at_cell) << line;
}

TEST(RunLoop, EmissionFileReleasesRiseWithTheirPlume) {
    fixture::ExampleOptions o;
    o.run_hours = 2;
    test::ExampleTree tree(o);
    fixture::EmissionFileRecipe e;
    e.pollutants = 4;
    e.sources[0].heat = 5.0e6f;
    fixture::write_emission_file("emissions.txt", e);
    test::write_file("SETUP.CFG", example_setup(" efile = 'emissions.txt',\n"));
    const test::RunResult r = test::run_orvcalc_here();
    ASSERT_EQ(r.status, 0) << r.console;
    // One notice per hour of the releases' mean mixed layer and rise.
    const std::vector<std::string> rise = lines_starting(r.log, "  NOTICE emrise: (mixd,rise) - ");
    ASSERT_EQ(rise.size(), 2u) << r.log;
    EXPECT_GT(std::stoi(rise[0].substr(rise[0].size() - 12)), 0);  // metres of rise
    EXPECT_FALSE(has(r.log, "emspnt_hg"));  // the control file's sources stay quiet
}

// The model minutes between the step notices of hour h in the message log.
std::vector<int64_t> step_lengths(const std::string& log, int32_t h) {
    std::vector<int64_t> times;
    for (const std::string& l : lines_starting(log, "  NOTICE   main:            ")) {
        std::istringstream in(l.substr(17));
        int64_t hour = 0, time = 0;
        if (in >> hour >> time && hour == h) times.push_back(time);
    }
    std::vector<int64_t> out;
    for (size_t k = 1; k < times.size(); ++k) out.push_back(times[k] - times[k - 1]);
    return out;
}

TEST(RunLoop, BackwardRunTakesTheStepOfItsSpeed) {
    // A 40 m/s wind: 2.4 km per minute over the 8.5 km cells of the
    // concentration grid gives 2.7 minutes, 3 in both directions (a speed
    // taken with its sign would give the longest step, 60 minutes).
    fixture::ExampleOptions o;
    o.u = 40.0;
    o.run_hours = 3;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", test::with_line(fixture::example_setup_cfg(), " delt", " delt = 0,"));  // automatic step
    const std::string control = tree.control();
    test::write_file("CONTROL", test::with_line(control, " 24", " 24  1  1 12"));
    test::RunResult forward = test::run_orvcalc_here();
    ASSERT_EQ(forward.status, 0) << forward.console;
    EXPECT_EQ(step_lengths(forward.log, 2), std::vector<int64_t>(19, 3));

    test::write_file("CONTROL", test::with_line(test::with_line(control, " 24", " 24  1  1 12"), "     3", "    -3"));
    test::RunResult backward = test::run_orvcalc_here();
    ASSERT_EQ(backward.status, 0) << backward.console;
    EXPECT_EQ(step_lengths(backward.log, 2), std::vector<int64_t>(19, -3));
}

}  // namespace
}  // namespace orv
