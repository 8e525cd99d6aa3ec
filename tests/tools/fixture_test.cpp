// The fixture generator: packing as the exact inverse of the unpacking, the
// example data sets the model's set-up accepts, refusals of recipes the format
// cannot hold, and the command-line program.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "meteo/metinp.hpp"
#include "meteo/pakinp.hpp"
#include "meteo/surface_files.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/example_data.hpp"
#include "tools/packing.hpp"

namespace orv {
namespace {

using namespace orv::fixture;

TEST(Packing, UnpacksWithinHalfAStep) {
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0.0, 1.0);
    const int32_t nx = 53, ny = 31;
    struct Case {
        double base, amplitude, roughness;
    };
    for (Case c : {Case{0, 0, 0}, Case{101325, 2000, 0}, Case{-3e-5, 1e-5, 1e-6}, Case{280, 30, 5}, Case{0, 40, 40},
                   Case{1e-7, 0, 0}}) {
        std::vector<float> f(nx * ny);
        for (int32_t j = 0; j < ny; ++j)
            for (int32_t i = 0; i < nx; ++i)
                f[j * nx + i] = static_cast<float>(c.base + c.amplitude * std::sin(0.2 * i) * std::cos(0.3 * j) +
                                                   c.roughness * noise(rng));
        PackedField pf = pack_field(f, nx, ny);
        std::vector<float> out(nx * ny);
        int32_t sum = 0;
        PAKINP(FieldView2D{out.data(), nx}, pf.bytes.data(), nx, ny, {1, 1, nx, ny}, pf.prec, pf.nexp, pf.var1, sum);
        EXPECT_EQ(sum, pf.checksum);
        for (int32_t k = 0; k < nx * ny; ++k)
            ASSERT_LE(std::fabs(out[k] - f[k]), 0.5f * pf.step * 1.0001f + 1e-7f * std::fabs(f[k])) << c.base << " " << k;
    }
}

TEST(Packing, ZeroAreasComeBackAsZeros) {
    const int32_t nx = 20, ny = 10;
    std::vector<float> rain(nx * ny, 0.0f);
    for (int32_t j = 3; j < 7; ++j)
        for (int32_t i = 5; i < 12; ++i) rain[j * nx + i] = 0.0013f * static_cast<float>(i + j);
    PackedField pf = pack_field(rain, nx, ny, 1e-5f);
    std::vector<float> out(nx * ny);
    int32_t sum = -1;
    PAKINP(FieldView2D{out.data(), nx}, pf.bytes.data(), nx, ny, {1, 1, nx, ny}, pf.prec, pf.nexp, pf.var1, sum);
    for (int32_t k = 0; k < nx * ny; ++k)
        if (rain[k] == 0.0f) {
            EXPECT_EQ(out[k], 0.0f) << k;
        }
}

// The model's set-up on the files of one grid.
std::unique_ptr<test::SetupRun> set_up(const ExampleFiles& files) {
    return std::make_unique<test::SetupRun>(std::vector<std::vector<std::string>>{files.met_files});
}

TEST(Example, DefaultDataSetIsReadyForARun) {
    test::TestConsole console;
    test::ScratchDir dir;
    ExampleOptions o;
    ExampleFiles files = write_example(".", o);
    ASSERT_EQ(files.met_files, std::vector<std::string>{"orvmet.bin"});
    auto run = set_up(files);
    test::SetupRun& r = *run;
    ASSERT_EQ(r.run(), 0) << r.console;
    const auto& fe = r.met.file(1, 1);
    TextOut quiet;
    EXPECT_EQ(fe.first.macc, tm2min(2024, 1, 1, 0, 0, quiet));
    EXPECT_EQ(fe.last.macc, fe.first.macc + 24 * 60);
    EXPECT_EQ(r.met.layout(1, 1).flags.data_interval, 60);
    EXPECT_TRUE(r.met.layout(1, 1).flags.terrain_height);
    EXPECT_EQ(r.met.grid(1, 1).nx, 60);

    // The hill in the data and in the terrain file agree.
    SurfaceFiles sfc;
    TextOut log;
    float rough = 0, terrain = 0;
    int32_t use = 0;
    sfcinp(sfc, console.with(log), 40.5f, -89.5f, rough, use, true, terrain);
    EXPECT_NEAR(terrain, example_atmosphere(o).terrain_at(40.5, -89.5), 1.0);
    EXPECT_FLOAT_EQ(rough, 0.2f);
    EXPECT_EQ(use, 2);
}

TEST(Example, EveryGridAndVerticalCoordinate) {
    test::ScratchDir dir;
    // One grid kind per vertical coordinate: global, latlon, polar, mercator.
    const char* grids[] = {"global", "latlon", "polar", "mercator"};
    for (int32_t type = 1; type <= 4; ++type) {
        ExampleOptions o;
        o.grid = grids[type - 1];
        o.spacing = type == 1 ? 5.0f : 0.0f;
        o.vertical_type = type;
        o.levels = 4;
        o.periods = 4;
        o.interval = 180;
        o.files = 2;
        o.rain = true;
        o.wind = AnalyticMet::Wind::LinearInTime;
        o.name = "met" + std::to_string(type);
        o.surface = false;
        ExampleFiles files = write_example(".", o);
        ASSERT_EQ(files.met_files.size(), 2u);
        auto run = set_up(files);
        test::SetupRun& r = *run;
        ASSERT_EQ(r.run(), 0) << o.grid << " " << r.console;
        EXPECT_EQ(r.met.layout(1, 1).vertical_type, type);
        EXPECT_EQ(r.met.layout(1, 2).flags.precip_accumulation, 180);
        EXPECT_EQ(r.met.file(1, 2).first.macc - r.met.file(1, 1).first.macc, 360);
        EXPECT_EQ(r.met.grid(1, 1).latlon, o.grid == "global" || o.grid == "latlon");

        // A period of the second file unpacks to the wind that grows in time.
        const MetGridDefinition& g = r.met.grid(1, 2);
        std::vector<float> v(static_cast<size_t>(g.nx) * g.ny * 4);
        MetinpFields f;
        f.v = FieldView3D{v.data(), g.nx, int64_t{g.nx} * g.ny, 4};
        int32_t time = 0, fcst = 0;
        test::TestConsole console;
        metinp(r.met, 1, 2, r.met.layout(1, 2).flags.records_per_period + 1, UnpackWindow{1, 1, g.nx, g.ny}, 4,
               time, fcst, f, console.with(r.log));
        EXPECT_EQ(time, r.met.file(1, 1).first.macc + 540);
        if (g.latlon) {
            EXPECT_NEAR(f.v.at(2, 2, 3), 0.25 * 9.0, 0.01);
        }
    }
}

TEST(Generator, RefusesWhatTheFormatCannotHold) {
    test::ScratchDir dir;
    auto fn = [](std::string_view, const FieldPoint&) { return 1.0; };
    MetFileRecipe s;
    s.grid = GridShape::latlon(0.0f, 0.0f, 1.0f, 1.0f, 10, 10);  // 100 points
    s.levels = {0.0f};
    s.surface_vars = {"PRSS"};
    EXPECT_THROW(write_met_file("a.bin", s, fn), std::invalid_argument);
    s.grid = GridShape::latlon(0.0f, 0.0f, 1.0f, 1.0f, 20, 10);
    s.surface_vars.assign(36, "XXXX");
    EXPECT_THROW(write_met_file("a.bin", s, fn), std::invalid_argument);
    s.surface_vars = {"PRSS"};
    s.levels.assign(74, 1.0f);
    s.upper_vars.assign(8, "UWND");
    EXPECT_THROW(write_met_file("a.bin", s, fn), std::invalid_argument);  // header of 5436 characters
    EXPECT_FALSE(std::filesystem::exists("a.bin"));
}

TEST(Generator, RepeatableAndNeverHalfWritten) {
    test::ScratchDir dir;
    ExampleOptions o;
    o.periods = 3;
    o.surface = false;
    MetFileRecipe s = example_met_recipe(o);
    write_met_file("one.bin", s, example_atmosphere(o).function());
    write_met_file("two.bin", s, example_atmosphere(o).function());
    EXPECT_EQ(test::read_file("one.bin"), test::read_file("two.bin"));

    auto failing = [&](std::string_view var, const FieldPoint& p) {
        if (p.time > s.start) throw std::runtime_error("field failed");
        return example_atmosphere(o)(var, p);
    };
    EXPECT_THROW(write_met_file("three.bin", s, failing), std::runtime_error);
    EXPECT_FALSE(std::filesystem::exists("three.bin"));
    EXPECT_FALSE(std::filesystem::exists("three.bin.part"));
}

int run_cli(const std::string& args) {
    int status = std::system((std::string(ORVFIXTURE_PATH) + " " + args + " > cli.out 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Cli, WritesTheExampleAndRejectsBadOptions) {
    test::ScratchDir dir;
    EXPECT_EQ(run_cli("--help"), 0);
    EXPECT_NE(test::read_file("cli.out").find("usage: orvfixture"), std::string::npos);
    EXPECT_NE(run_cli("--grid hexagon out"), 0);
    EXPECT_NE(run_cli("--periods"), 0);
    EXPECT_NE(run_cli("--files 9 --periods 3 --met-only out"), 0);
    EXPECT_FALSE(std::filesystem::exists("out/orvmet_1.bin"));
    EXPECT_NE(run_cli("--hours -1 out"), 0);
    EXPECT_NE(run_cli("--no-control out"), 0);  // only with --met-only
    ASSERT_EQ(run_cli("--grid latlon --periods 3 --files 3 --vertical sigma --met-only out"), 0);
    for (const char* f : {"orvmet_1.bin", "orvmet_2.bin", "orvmet_3.bin", "ASCDATA.CFG", "LANDUSE.ASC", "ROUGLEN.ASC",
                          "TERRAIN.ASC", "CONTROL"})
        EXPECT_TRUE(std::filesystem::exists(std::string("out/") + f)) << f;
    EXPECT_FALSE(std::filesystem::exists("out/run"));
}

TEST(Cli, RefusesNumbersThatAreNotFiniteOrOutOfRange) {
    test::ScratchDir dir;
    EXPECT_EQ(run_cli("--spacing nan --met-only out"), 2);
    EXPECT_NE(test::read_file("cli.out").find("option --spacing: 'nan' is not a number"), std::string::npos);
    EXPECT_EQ(run_cli("--periods 99999999999 --met-only out"), 2);
    EXPECT_EQ(run_cli("--size 60.5 50 --met-only out"), 2);
    EXPECT_NE(test::read_file("cli.out").find("'60.5' is not a whole number"), std::string::npos);
    EXPECT_EQ(run_cli("oxidants --months 1e10 1e10 ox"), 2);
    EXPECT_EQ(run_cli("oxidants --months inf inf ox"), 2);
    EXPECT_EQ(run_cli("oxidants --ozone nan ox"), 2);
    EXPECT_FALSE(std::filesystem::exists("out"));
    EXPECT_FALSE(std::filesystem::exists("ox"));
}

TEST(Cli, WritesTheCompleteExampleTree) {
    test::ScratchDir dir;
    ASSERT_EQ(run_cli("--hours 0 --periods 4 ex"), 0) << test::read_file("cli.out");
    for (const char* f : {"run/orvmet.bin", "run/ASCDATA.CFG", "run/TERRAIN.ASC", "run/CONTROL", "run/SETUP.CFG",
                          "run/Hg_SETUP.CFG", "receptors/recp_data.txt", "receptors/cep_data.txt",
                          "oxidants/ox-jan.dat", "oxidants/so2-jan.dat", "oxidants/bc2-jan.dat"})
        EXPECT_TRUE(std::filesystem::exists(std::string("ex/") + f)) << f;
    // Four species, run hours as asked, the oxidants beside the run.
    const std::string control = test::read_file("ex/run/CONTROL");
    EXPECT_NE(control.find("\n     4\nHG0\n"), std::string::npos) << control;
    EXPECT_NE(control.find("50.0\n     0\n"), std::string::npos) << control;
    EXPECT_NE(test::read_file("ex/run/Hg_SETUP.CFG").find("'../oxidants/'"), std::string::npos);
    EXPECT_NE(test::read_file("ex/receptors/recp_data.txt").find(" 13 x  2  2"), std::string::npos);
}

}  // namespace
}  // namespace orv
