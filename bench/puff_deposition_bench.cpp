// One mercury deposition step of one puff: near the ground in rain over three
// land-use categories with 100 ceps under the puff, and aloft in dry air.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <unistd.h>
#include <vector>

#include "mercury/puff_deposition.hpp"

namespace {

using namespace orv;

constexpr int32_t kCeps = 100;

struct Scene {
    TextOut quiet;
    Hgsim hgsim;
    std::vector<Pollutant> dirt;
    ReceptorCategories categories;
    SizeDistribution sizes;
    MercuryArrays arrays;
    DepositionWorkspace ws;
    DiagnosticChannels ch;
    std::ostringstream log_text;
    TextOut log;
    OxidantValuesAtPuff ox;
    DepositionArguments args;

    Scene() {
        const HgSetup h;
        hgsim.npath = h.NPATH;
        hgsim.nland = h.NLAND;
        hgsim.pcon = h.PCON;
        hgsim.pden = h.PDEN;
        hgsim.ndist = h.NDIST;
        hgsim.nrange = h.NRANGE;
        hgsim.method_lwc = h.METHOD_LWC;
        hgsim.method_elem_dep = h.METHOD_ELEM_DEP;
        hgsim.cep_count = kCeps;
        // The size distribution writes its table into the working directory.
        const auto dir = std::filesystem::temp_directory_path() / ("orv_bench_deposition_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        const auto old = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        std::ostringstream sink;
        auto* cout_buf = std::cout.rdbuf(sink.rdbuf());
        psetup(hgsim, sizes, quiet);
        std::cout.rdbuf(cout_buf);
        std::filesystem::current_path(old);
        std::filesystem::remove_all(dir);

        initialise_diagnostic_channels(ch, quiet);
        log.attach(log_text);
        dirt.resize(4);
        for (Pollutant& p : dirt) {
            p.DORES = p.DOWET = true;
            p.SHAPE = 1.0f;
            p.GPMOL = 200.59f;
            p.DIFTY = 3.34f;
            p.WETIN = 2.0e4f;
        }
        dirt[0].HENRY = 0.11f;
        dirt[0].ACVTY = 1e-5f;
        dirt[1].HENRY = 1.4e6f;

        const int32_t cats[3] = {2, 6, 14};
        for (int32_t c = 0; c < kCeps; ++c) categories.cep_code.push_back(cats[c % 3]);
        arrays.allocate(4, hgsim.npath, hgsim.nland, 0, kCeps, 4);
        for (int32_t l = 1; l <= hgsim.nland; ++l) arrays.genrough(l) = l == 7 || l >= 12 ? 0.03f : 0.5f;
        arrays.fracland(2) = 0.5f;
        arrays.fracland(6) = 0.3f;
        arrays.fracland(14) = 0.2f;
        for (int32_t c = 1; c <= kCeps; ++c) arrays.cepres(c) = 1.0f;
        set_up_deposition_workspace(ws, hgsim, 4, quiet);

        ox.fixed_value_a = 4.5f;
        ox.fixed_value_b = 2.5f;
        ox.soot_value = 1e-9f;
        ox.so2_conc = 4e-8f;

        args.call.month = 7;
        args.call.time_step = 15.0f;
        args.puff.lat = 45.0f;
        args.puff.lon = -80.0f;
        args.puff.puffvol = 1e9f;
        args.met.wind_speed_10m = 5.0f;
        args.met.land_use = 2;
        args.met.friction_velocity = 0.4f;
        args.met.stability = 0.5f;
        args.met.solar_flux = 300.0f;
        args.met.air_density = 1.2f;
        args.met.temperature = 288.0f;
        args.met.surface_temperature = 289.0f;
        args.met.surface_layer_height = 75.0f;
    }

    void near_ground_in_rain() {
        args.puff.puff_bottom_height = 0.0f;
        args.puff.puff_top_height = 300.0f;
        args.puff.puff_depth = 300.0f;
        args.puff.near_surface_flag = true;
        args.met.RAIN = 1e-4f;
        args.met.rh_puff = 0.97f;
        args.met.rh_surface = 0.95f;
        args.cloud = {100.0f, 2000.0f, 1.0f, 1.0f - 100.0f / 300.0f};
    }
    void aloft_dry() {
        args.puff.puff_bottom_height = 1500.0f;
        args.puff.puff_top_height = 1900.0f;
        args.puff.puff_depth = 400.0f;
        args.puff.near_surface_flag = false;
        args.met.RAIN = 0.0f;
        args.met.rh_puff = 0.5f;
        args.met.rh_surface = 0.6f;
        args.cloud = {};
    }
    void step() {
        const float mass[4] = {1e-3f, 1e-5f, 2e-5f, 5e-6f};
        for (int32_t p = 1; p <= 4; ++p) arrays.depelm_mass(p) = mass[p - 1];
        const DepositionSettings run{hgsim, dirt, categories};
        compute_puff_mercury_deposition(args, run, ox, arrays, sizes, ws, ch, Messages{quiet, log});
    }
};

void BM_DepositionNearGroundInRain(benchmark::State& state) {
    Scene s;
    s.near_ground_in_rain();
    for (auto _ : state) {
        s.step();
        benchmark::DoNotOptimize(s.arrays.zdep(1, 0));
    }
}
BENCHMARK(BM_DepositionNearGroundInRain);

void BM_DepositionAloftDry(benchmark::State& state) {
    Scene s;
    s.aloft_dry();
    for (auto _ : state) {
        s.step();
        benchmark::DoNotOptimize(s.arrays.avgvg_spec(1));
    }
}
BENCHMARK(BM_DepositionAloftDry);

}  // namespace
