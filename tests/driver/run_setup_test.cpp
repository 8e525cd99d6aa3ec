// The run context after the whole set-up on the complete example: sources
// looked up on the meteorology, the source table of the emission file, the
// samplers, the full-grid requirement of ICHEM 4, and what the hour loop
// starts from.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "common/run_stop.hpp"
#include "driver/orvcalc.hpp"
#include "driver/run_context.hpp"
#include "driver/source_setup.hpp"
#include "tests/driver/run_test_support.hpp"

namespace orv {
namespace {

using test::has;

struct SetUpRun {
    std::unique_ptr<RunContext> ctx = std::make_unique<RunContext>();
    int32_t stop = 0;
    std::string console;
};

SetUpRun set_up_here() {
    SetUpRun s;
    std::istringstream keyboard;
    const char* argv[] = {"orvcalc"};
    std::ostringstream console;
    s.ctx->console.attach(console);
    try {
        set_up_run(*s.ctx, 1, argv, keyboard);
    } catch (const RunStop& e) {
        s.stop = e.code();
    }
    s.console = console.str();
    s.ctx->log.flush();
    return s;
}

TEST(RunSetUp, SourcesOnTheMeteorologyAndWhatTheLoopStartsFrom) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    SetUpRun s = set_up_here();
    ASSERT_EQ(s.stop, 0) << s.console;
    RunContext& c = *s.ctx;
    ASSERT_EQ(c.location_count, 1);
    const SourceLocation& loc = c.source_locations[0];
    EXPECT_EQ(loc.met_grid, 1);
    // The hill at the centre: the release coordinate follows the terrain.
    const float terrain = c.met_at_particle.terrain_height;
    EXPECT_GT(terrain, 400.0f);
    EXPECT_FLOAT_EQ(loc.height, 50.0f);
    EXPECT_FLOAT_EQ(loc.release_z, 1.0f - 50.0f / (c.control.model_top - terrain));
    EXPECT_EQ(c.current_met_grid, 1);
    EXPECT_EQ(c.current_met_file, 1);
    EXPECT_EQ(c.start.model_time, c.model_time);
    EXPECT_EQ(c.start.month, 1);
    EXPECT_EQ(c.oxidant_month, 1);
    EXPECT_EQ(c.global_chem.k_global_data_month, 1);
    EXPECT_EQ(c.dirt.size(), 4u);
    EXPECT_EQ(c.mercury.step_deposit.size(), 4);
    EXPECT_EQ(c.hgsim.receptor_count, 3);
    EXPECT_EQ(c.hgsim.cep_count, 3);
    EXPECT_EQ(c.receptor_outputs.recpmass.size(), 4 * 5 * 3);
    EXPECT_FLOAT_EQ(c.mercury.pfrac(3), -99.99f);
    EXPECT_FLOAT_EQ(c.mercury.genrough(7), 0.03f);
    EXPECT_EQ(c.puff_split_limit, 30000 - 60);
    EXPECT_EQ(c.sigma_profile.size(), static_cast<size_t>(c.vertical_grid.nlvl));
    EXPECT_FALSE(c.dispersion.samplers.sampler_flag);
    EXPECT_TRUE(c.dispersion.source_pollutant_matrix.records.empty());  // no EFILE
}

TEST(RunSetUp, ALookUpThatEndsAfterChoosingTheGridStillSetsTheCurrentFile) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    o.files = 2;
    test::ExampleTree tree(o);
    SetUpRun s = set_up_here();
    ASSERT_EQ(s.stop, 0) << s.console;
    RunContext& c = *s.ctx;
    const AdvanceContext advance{c.setup, c.control, c.deposition, c.vertical_grid, c.sigma_profile};
    MetProbe probe{c.met, advance, AdvanceStep{c.model_time, 1.0f}, c.met_at_particle, c.meteo_return_profile,
                   c.msg()};
    // The start time lies in the first file; an invalid type code ends the
    // look-up after the grid and the file were chosen.
    CurrentMet current{1, 2};
    const SourceLocation& loc = c.source_locations[0];
    int32_t grid_after = -1;
    const AdvanceResult r =
        probe_met(probe, ParticlePosition{loc.grid_x, loc.grid_y, loc.release_z, loc.met_grid, 7}, current, grid_after);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(grid_after, 0);
    EXPECT_EQ(current.file, 1);
    EXPECT_EQ(current.grid, 1);
}

TEST(RunSetUp, HeightsAboveSeaLevelBecomeHeightsAboveGround) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, kmsl = 1 /\n");
    SetUpRun s = set_up_here();
    ASSERT_EQ(s.stop, 0) << s.console;
    // 50 m above sea level on a 500 m hill: on the ground.
    EXPECT_FLOAT_EQ(s.ctx->source_locations[0].height, 0.0f);
    EXPECT_FLOAT_EQ(s.ctx->source_locations[0].release_z, 1.0f);
}

TEST(RunSetUp, SamplersAndTheEmissionFileTable) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, efile = 'emissions.txt' /\n");
    test::write_file("LAGSET.CFG",
                     "2\n40.0 -89.0 100.0\n90.0 10.0\n24 1 1 0 0\n24 1 1 1 0\n60\n60\n'sampler one.txt'\n"
                     "41.0 -91.0 10.0\n0.0 0.0\n24 1 1 0 0\n24 1 1 1 0\n60\n0\nsampler2.txt\n");
    SetUpRun s = set_up_here();
    ASSERT_EQ(s.stop, 0) << s.console;
    RunContext& c = *s.ctx;
    ASSERT_TRUE(c.dispersion.samplers.sampler_flag);
    ASSERT_EQ(c.dispersion.samplers.samplers.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists("sampler one.txt"));
    EXPECT_EQ(c.dispersion.samplers.samplers[0].met_grid, 1);
    // Moving east at 10 m/s: 600 m a minute along x of the Lambert grid
    // (40 km cells), a little turned away from the grid's axis.
    EXPECT_NEAR(c.met_at_particle.sampler_u, 600.0f / c.met_at_particle.grid_spacing_x, 0.002f);
    EXPECT_NEAR(c.met_at_particle.sampler_v, 0.0f, 0.002f);
    EXPECT_TRUE(has(test::read_file("MESSAGE"), "NOTICE   main: configured for lagrangian sampling -            2"));

    // The source table of the emission file, preset from the control file.
    const SourcePollutantMatrix& m = c.dispersion.source_pollutant_matrix;
    ASSERT_EQ(m.slots, 1);
    ASSERT_EQ(m.pollutants, 4);
    EXPECT_EQ(m.at(1, 1).start_minute, c.dirt[0].release_start_minute);
    EXPECT_EQ(m.at(1, 1).stop_minute, c.dirt[0].release_start_minute + 60);
    EXPECT_FLOAT_EQ(m.at(1, 2).emission_rate, 0.2f);
    EXPECT_FLOAT_EQ(m.at(1, 2).release_height, 50.0f);
    EXPECT_EQ(m.at(1, 4).met_grid, 1);
}

TEST(RunSetUp, IchemFourNeedsTheWholeGrid) {
    fixture::ExampleOptions o;
    o.run_hours = 0;
    test::ExampleTree tree(o);
    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ichem = 4 /\n");
    SetUpRun s = set_up_here();
    EXPECT_EQ(s.stop, kStopInput);
    EXPECT_TRUE(has(s.console, "Configuration error, see MESSAGE file for more information")) << s.console;
    const std::string log = test::read_file("MESSAGE");
    const size_t at = log.find("Set MGMIN in SETUP.CFG namelist to a value > than: ");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.substr(log.find('\n', at) - 3, 3), " 60");

    test::write_file("SETUP.CFG", " &SETUP initd = 1, maxdim = 4, ichem = 4, mgmin = 100 /\n");
    s = set_up_here();
    ASSERT_EQ(s.stop, 0) << s.console;
    // The concentration array covers the meteorological grid.
    EXPECT_GE(s.ctx->dispersion.concentration.nlon, 60);
    EXPECT_GE(s.ctx->dispersion.concentration.nlat, 50);
}

TEST(SourceTable, WindowEndInWholeMinutesAndOwnRates) {
    std::vector<SourceLocation> locs(2);
    locs[0].source_rate = 5.0f;
    locs[0].source_area = 100.0f;
    locs[1].source_rate = 0.0f;
    locs[1].met_grid = 2;
    std::vector<Pollutant> dirt(2);
    dirt[0].release_start_minute = 65217600;  // beyond the exact integers of a 32-bit real
    dirt[0].emission_hours = 1.5f;
    dirt[0].emission_rate = 2.0f;
    dirt[1].release_start_minute = 65217601;
    dirt[1].emission_hours = -2.0f;
    dirt[1].emission_rate = 3.0f;
    SourcePollutantMatrix m;
    preset_source_pollutant_matrix(m, locs, 2, dirt, 3);  // a third pollutant beyond the table stays empty
    EXPECT_EQ(m.at(1, 1).stop_minute, 65217690);
    EXPECT_EQ(m.at(2, 2).stop_minute, 65217481);
    EXPECT_FLOAT_EQ(m.at(1, 2).emission_rate, 5.0f);  // the location's own rate
    EXPECT_FLOAT_EQ(m.at(2, 2).emission_rate, 3.0f);
    EXPECT_FLOAT_EQ(m.at(1, 1).source_area, 100.0f);
    EXPECT_EQ(m.at(2, 1).met_grid, 2);
    EXPECT_EQ(m.at(2, 3).stop_minute, 0);
}

}  // namespace
}  // namespace orv
