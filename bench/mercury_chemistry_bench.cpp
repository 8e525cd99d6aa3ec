// Cost of the per-puff mercury work of one time step: the oxidant values at
// the puff, and the chemistry step in a dry and in a wet case.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "run/calendar.hpp"
#include "mercury/mercury_chemistry.hpp"
#include "mercury/oxidants_at_puff.hpp"
#include "tools/surface_writer.hpp"

namespace {

using namespace orv;

// A scratch working directory for the files the steps may open.
struct WorkDir {
    std::filesystem::path dir, old;
    WorkDir() {
        dir = std::filesystem::temp_directory_path() / ("orv_bench_chem_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        old = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        fixture::SurfaceRecipe s;
        s.landuse = [](float, float lon) { return lon < 0.0f ? 7 : 2; };
        fixture::write_surface_files(".", s);
    }
    ~WorkDir() {
        std::filesystem::current_path(old);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};
WorkDir& work_dir() {
    static WorkDir w;
    return w;
}

OxidantValuesAtPuff typical_oxidants() {
    const double ppb = 1e-9 * 1000.0 / (0.0820575 * 280.0);
    OxidantValuesAtPuff ox;
    ox.fixed_value_a = 4.5f;
    ox.fixed_value_b = 2.5f;
    ox.o3_conc = static_cast<float>(35.0 * ppb);
    ox.so2_conc = static_cast<float>(1.0 * ppb);
    ox.oh_conc = static_cast<float>(2e6 * 1e6 / 6.022e23);
    ox.ppb_factor_1 = ox.ppb_factor_2 = static_cast<float>(ppb);
    ox.extra_oxidant_conc = 0.01 * ppb;
    ox.soot_value = 1e-8f;
    return ox;
}

struct Chemistry {
    TextOut quiet;
    MercuryChemistryWorkspace work;
    DiagnosticChannels channels;
    Hgsim hgsim;
    SizeDistribution sizes;
    PuffChemistryConditions puff;
    OxidantValuesAtPuff ox = typical_oxidants();
    const std::vector<float> start = {1e-3f, 2e-4f, 1e-4f, 5e-5f, 0.0f};
    std::vector<float> mass = start;
    Chemistry() {
        work_dir();
        set_up_mercury_chemistry_workspace(work, 5, quiet);
        initialise_diagnostic_channels(channels, quiet);
        hgsim.ndist = 1;
        hgsim.nrange = 14;
        hgsim.pcon = 3.9e-5f;
        hgsim.pden = 2.0f;
        hgsim.method_lwc = 6;
        hgsim.method_cl2_mass = 2;
        std::ostringstream sink;
        auto* old = std::cout.rdbuf(sink.rdbuf());
        psetup(hgsim, sizes, quiet);
        std::cout.rdbuf(old);
        puff.temperature = 280.0f;
        puff.radiation = 300.0f;
        puff.puffvol = 1e9f;
        puff.time_step = 15.0f;
    }
};

void BM_ChemistryStepDry(benchmark::State& state) {
    TextOut quiet;
    Chemistry c;
    c.puff.relative_humidity = 0.5f;
    for (auto _ : state) {
        std::copy(c.start.begin(), c.start.end(), c.mass.begin());  // the same puff every time
        compute_puff_mercury_chemistry(1, c.puff, c.hgsim, c.ox, c.mass, c.work, c.sizes, c.channels, quiet);
        benchmark::DoNotOptimize(c.mass.data());
    }
}
BENCHMARK(BM_ChemistryStepDry);

// Wet: 95 percent humidity, liquid water of the grown aerosol (method 6
// without the aerosol switch: the humidity curve), the Hg(II) partition and
// the 13 reactions.
void BM_ChemistryStepWet(benchmark::State& state) {
    TextOut quiet;
    Chemistry c;
    c.puff.relative_humidity = 0.95f;
    for (auto _ : state) {
        std::copy(c.start.begin(), c.start.end(), c.mass.begin());  // the same puff every time
        compute_puff_mercury_chemistry(1, c.puff, c.hgsim, c.ox, c.mass, c.work, c.sizes, c.channels, quiet);
        benchmark::DoNotOptimize(c.mass.data());
    }
    state.counters["liquid g/m3"] = c.work.liquid;
    state.counters["trials"] = c.work.root.total_trials;
}
BENCHMARK(BM_ChemistryStepWet);

// The oxidant set-up: a filled global grid, the surface files of the work
// directory, a profile row at 280 K.
struct Oxidants {
    TextOut quiet;
    TextOut log;
    GlobalChemGrid grid;
    SurfaceFiles surface;
    DiagnosticChannels channels;
    ProfileRow row;
    OxidantValuesAtPuff values;
    Oxidants() {
        work_dir();
        tminit();
        set_up_global_chemistry_grid(grid);
        for (size_t n = 0; n < grid.ozone.size(); ++n) {
            grid.ozone[n] = 20.0f + static_cast<float>(n % 97);
            grid.so2[n] = 1.0f + static_cast<float>(n % 13);
            grid.soot[n] = 0.1f * static_cast<float>(n % 7);
        }
        initialise_diagnostic_channels(channels, quiet);
        row.temperature = 280.0f;
        row.density = 1.2f;
    }
    void at(const OxidantPoint& p) {
        compute_oxidants_at_point(1, p, row, grid, surface, Messages{quiet, log}, channels, values);
        benchmark::DoNotOptimize(values);
    }
};

void BM_OxidantsAtPoint(benchmark::State& state) {
    Oxidants o;
    OxidantPoint at{tm2min(2024, 7, 1, 3, 0, o.quiet), 41.3f, -70.2f, 80.0f};
    int32_t n = 0;
    for (auto _ : state) {
        at.lon = -70.2f + 0.001f * static_cast<float>(n++ % 1000);
        o.at(at);
    }
}
BENCHMARK(BM_OxidantsAtPoint);

// Puffs scattered over 40 one-degree rows of the surface grid, each in
// another row than the one before.
void BM_OxidantsAtScatteredPoints(benchmark::State& state) {
    Oxidants o;
    OxidantPoint at{tm2min(2024, 7, 1, 3, 0, o.quiet), 30.5f, -70.2f, 80.0f};
    int32_t n = 0;
    for (auto _ : state) {
        at.lat = 30.5f + static_cast<float>((n * 17) % 40);
        at.lon = -90.2f + 0.037f * static_cast<float>(n % 1000);
        ++n;
        o.at(at);
    }
}
BENCHMARK(BM_OxidantsAtScatteredPoints);

}  // namespace
