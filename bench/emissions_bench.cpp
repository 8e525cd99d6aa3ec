// The emission work of a run: one time step of releases from a gridded
// inventory (every cell emitting, or one cell in twenty: the cost follows the
// cells with data), one step of releases from the emission file's source
// table, the hourly update of the table in a backward run (groups kept in
// memory against reading the file again from its start), and the species
// conversion per particle step.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

#include "dispersion/emission_file.hpp"
#include "dispersion/emission_inventory.hpp"
#include "dispersion/emission_release.hpp"
#include "dispersion/first_order_conversion.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "tools/emission_inputs.hpp"

namespace {

using namespace orv;

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
    met.num_times = 1;
    return met;
}

// A scratch directory for the input files, left when the program ends.
struct Scratch {
    std::filesystem::path path;
    Scratch() {
        path = std::filesystem::temp_directory_path() / ("orv_emissions_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::filesystem::current_path(path);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::current_path("/", ec);
        std::filesystem::remove_all(path, ec);
    }
};

// A 10 x 10 degree inventory of 0.1 degree cells (10000 cells), every
// `every`-th cell with data, two pollutants.
void BM_InventoryStep(benchmark::State& state) {
    TextOut quiet;
    static Scratch scratch;
    const int32_t every = static_cast<int32_t>(state.range(0));
    fixture::InventoryRecipe r =
        fixture::uniform_inventory(38.0f, -95.0f, 48.0f, -85.0f, 0.1f, 1.0f, {"AAAA", "BBBB"}, 24);
    std::vector<fixture::InventoryPoint> kept;
    for (size_t k = 0; k < r.points.size(); k += static_cast<size_t>(every)) kept.push_back(r.points[k]);
    r.points = kept;
    fixture::write_inventory(".", r);
    std::vector<SourceLocation> corners(2);
    corners[0].lat = 38.0f;
    corners[0].lon = -95.0f;
    corners[0].met_grid = 1;
    corners[0].release_z = 0.996f;
    corners[1].lat = 48.0f;
    corners[1].lon = -85.0f;
    std::ostringstream sink;
    TextOut log;
    log.attach(sink);
    EmissionInventory inv;
    emsini(corners, inv, Messages{quiet, log});
    emsdat(inv, Messages{quiet, log});
    const MeteoFiles met = latlon_grid();
    const int32_t now = tm2min(2024, 1, 1, 5, 0, quiet);
    std::vector<Pollutant> dirt(2);
    dirt[0].pollutant_id = "AAAA";
    dirt[1].pollutant_id = "BBBB";
    for (Pollutant& d : dirt) {
        d.emission_hours = 1000.0f;
        d.release_start_minute = now;
    }
    Settings s;
    s.INITD = 1;
    ParticleArrays p;
    allocate_particle_arrays(p, 20000, 2, quiet);
    for (auto _ : state) {
        p.particle_count = 0;
        emsgrd(corners, dirt, s, 15.0f, now, met, p, inv, Messages{quiet, log});
        benchmark::DoNotOptimize(p.particle_count);
    }
    state.counters["releases"] = static_cast<double>(p.particle_count);
    state.SetItemsProcessed(state.iterations() * p.particle_count);
}
BENCHMARK(BM_InventoryStep)->Arg(1)->Arg(20)->Unit(benchmark::kMicrosecond);

// 100 sources, one pollutant, 10000 particles an hour, 15-minute steps.
void BM_EmissionFileStep(benchmark::State& state) {
    TextOut quiet;
    SourcePollutantMatrix m;
    allocate_source_pollutant_matrix(m, 100, 1);
    for (int32_t i = 1; i <= 100; ++i) {
        SourcePollutantRecord& r = m.at(i, 1);
        r.start_minute = 0;
        r.stop_minute = 1440;
        r.met_grid = 1;
        r.grid_x = static_cast<float>(i % 50 + 5);
        r.grid_y = 20.0f;
        r.emission_rate = 1.0f;
        r.source_area = 100.0f;
        r.heat_release = i % 2 ? 1.0e6f : 0.0f;
    }
    Settings s;
    s.NUMPAR = 10000;
    ParticleArrays p;
    allocate_particle_arrays(p, 20000, 1, quiet);
    std::ostringstream sink;
    TextOut log;
    log.attach(sink);
    for (auto _ : state) {
        p.particle_count = 0;
        emstmp(m, 100, 1, s, 15.0f, 60, p, Messages{quiet, log});
        benchmark::DoNotOptimize(p.particle_count);
    }
    state.counters["releases"] = static_cast<double>(p.particle_count);
    state.SetItemsProcessed(state.iterations() * p.particle_count);
}
BENCHMARK(BM_EmissionFileStep)->Unit(benchmark::kMicrosecond);

// The hourly update in a backward run, 240 groups of one hour and 50 sources,
// at the last group: replaying the kept groups (0) or reading the file again
// from its start (1).
void BM_BackwardEmissionFile(benchmark::State& state) {
    TextOut quiet;
    static Scratch scratch;
    fixture::EmissionFileRecipe r;
    r.groups = 240;
    r.group_hours = 1;
    r.release_hours = 1;
    r.sources.clear();
    for (int32_t k = 0; k < 50; ++k)
        r.sources.push_back(fixture::EmissionSource{35.0f + 0.2f * k, -95.0f + 0.1f * k, 50.0f, 1.0f, 0.0f, 0.0f});
    fixture::write_emission_file("backward.txt", r);
    const MeteoFiles met = latlon_grid();
    const int32_t now = tm2min(2024, 1, 1, 0, 0, quiet) + 239 * 60 + 30;
    SourcePollutantMatrix m;
    allocate_source_pollutant_matrix(m, 50, 1);
    std::ostringstream sink;
    TextOut log;
    log.attach(sink);
    EmissionFileState kept;
    for (auto _ : state) {
        std::string efile = "backward.txt";
        if (state.range(0) == 0) {
            emsmat(m, met, now, 1, 50, 1, efile, kept, true, Messages{quiet, log});
        } else {
            EmissionFileState fresh;
            emsmat(m, met, now, 1, 50, 1, efile, fresh, true, Messages{quiet, log});
        }
        sink.str("");
    }
}
BENCHMARK(BM_BackwardEmissionFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Two reactions on 100000 particles of three slots.
void BM_SpeciesConversion(benchmark::State& state) {
    TextOut quiet;
    constexpr int32_t n = 100000;
    ParticleArrays p;
    allocate_particle_arrays(p, n, 3, quiet);
    for (int32_t i = 0; i < n; ++i) p.mass(0, i) = 1.0f;
    ReactionTable table;
    table.loaded = true;
    table.reactions = {Reaction{1, 2, 0.1f, 1.0f}, Reaction{2, 3, 0.05f, 1.5f}};
    std::vector<Pollutant> dirt(3);
    std::ostringstream sink;
    TextOut log;
    log.attach(sink);
    for (auto _ : state) {
        for (int32_t i = 0; i < n; ++i) chem02(dirt, 15.0f, p, i, table, Messages{quiet, log});
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SpeciesConversion)->Unit(benchmark::kMicrosecond);

}  // namespace
