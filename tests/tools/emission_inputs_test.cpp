// The fixture commands for the source and sampling inputs: what they write
// is read by the model as intended, and bad options write nothing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>

#include "dispersion/emission_file.hpp"
#include "dispersion/emission_inventory.hpp"
#include "dispersion/lagrangian_samplers.hpp"
#include "dispersion/first_order_conversion.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "tests/test_support.hpp"
#include "tools/emission_inputs.hpp"

namespace orv {
namespace {

int fixture_command(const std::string& args) {
    const int status = std::system((std::string(ORVFIXTURE_PATH) + " " + args + " > cli.out 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

MeteoFiles latlon_grid() {
    tminit();
    MeteoFiles met;
    MetGridDefinition& g = met.grid(1, 1);
    g.grid_number = 1;
    g.nx = g.ny = 60;
    g.header[kSyncLat] = 30.0f;
    g.header[kSyncLon] = 260.0f;
    g.header[kRefLat] = 0.5f;
    g.header[kRefLon] = 0.5f;
    g.header[kPoleLat] = 59.5f;
    g.header[kPoleLon] = 289.5f;
    set_up_met_grid(g);
    met.num_grids = 1;
    return met;
}

TEST(EmissionInputs, CommandsWriteWhatTheModelReads) {
    test::TestConsole console;
    test::ScratchDir dir;
    std::ostringstream text;
    TextOut log;
    log.attach(text);
    const MeteoFiles met = latlon_grid();

    ASSERT_EQ(fixture_command("emissions --start 2024 3 1 6 --groups 2 --group-hours 3 --pollutants 2 "
                              "--source 40 -90 75 4 0 2e6 --source 41 -89 10 1 100 0 in"),
              0);
    std::filesystem::current_path("in");
    SourcePollutantMatrix m;
    allocate_source_pollutant_matrix(m, 2, 2);
    EmissionFileState state;
    std::string efile = "emissions.txt";
    TextOut quiet;
    const int32_t start = tm2min(2024, 3, 1, 6, 0, quiet);
    emsmat(m, met, start + 200, 1, 2, 2, efile, state, false, console.with(log));
    EXPECT_EQ(m.at(1, 2).start_minute, start + 180);
    EXPECT_FLOAT_EQ(m.at(1, 1).heat_release, 2.0e6f);
    EXPECT_FLOAT_EQ(m.at(2, 2).source_area, 100.0f);
    EXPECT_EQ(m.at(2, 1).met_grid, 1);

    ASSERT_EQ(fixture_command("inventory --box 38 -92 40 -90 --cell 0.5 --value 2 --nvals 2 --pollutant SO2 ."), 0);
    std::vector<SourceLocation> corners(2);
    corners[0].lat = 38.0f;
    corners[0].lon = -92.0f;
    corners[1].lat = 40.0f;
    corners[1].lon = -90.0f;
    EmissionInventory inv;
    emsini(corners, inv, console.with(log));
    emsdat(inv, console.with(log));
    EXPECT_EQ(inv.cell_count(), 16);
    EXPECT_EQ(inv.pollutant_ids[0], "SO2 ");
    EXPECT_FLOAT_EQ(inv.gridded_emission(4, 4, 1, 13), 2.0f / 12.0f);

    ASSERT_EQ(fixture_command("samplers --count 2 --point 41 -91 200 --start 2024 3 1 7 0 --interval 30 ."), 0);
    LagrangianSamplers ls;
    read_sampler_file(ls, met, 1, 1, console.with(log));
    ASSERT_EQ(ls.samplers.size(), 2u);
    EXPECT_EQ(ls.samplers[1].start_minute, start + 60);
    EXPECT_EQ(ls.samplers[1].next_output_minute, start + 90);
    EXPECT_TRUE(std::filesystem::exists("sampler_2.txt"));

    ASSERT_EQ(fixture_command("rates --reaction 1 3 0.5 2 ."), 0);
    ReactionTable table;
    load_reaction_table(table, 3, std::vector<Pollutant>(3), console.with(log));
    ASSERT_EQ(table.reactions.size(), 1u);
    EXPECT_EQ(table.reactions[0].to_slot, 3);
    EXPECT_FLOAT_EQ(table.reactions[0].mass_factor, 2.0f);
    std::filesystem::current_path(dir.path());
}

TEST(EmissionInputs, BadOptionsWriteNothing) {
    test::ScratchDir dir;
    EXPECT_EQ(fixture_command("emissions --help"), 0);
    EXPECT_NE(test::read_file("cli.out").find("usage: orvfixture emissions"), std::string::npos);
    EXPECT_NE(fixture_command("emissions --groups x out"), 0);
    EXPECT_NE(fixture_command("emissions --start 2024 13 1 0 out"), 0);
    EXPECT_NE(fixture_command("inventory --nvals 25 out"), 0);
    EXPECT_NE(fixture_command("samplers --count -1 out"), 0);
    EXPECT_NE(fixture_command("rates --reaction 1 out"), 0);
    EXPECT_FALSE(std::filesystem::exists("out"));
    fixture::EmissionFileRecipe none;
    none.pollutants = 0;
    EXPECT_THROW(fixture::emission_file_text(none), std::invalid_argument);
    fixture::InventoryRecipe many;
    many.pollutants.assign(256, "P");
    EXPECT_THROW(fixture::inventory_header_text(many), std::invalid_argument);
}

}  // namespace
}  // namespace orv
