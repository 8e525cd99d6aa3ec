// The per-particle work of a time step: the random walk and the growth of a
// Gaussian puff, both with their vertical sub-steps, and the summation onto
// one 100 x 100 x 5 concentration grid.
// Times are per particle step (the report's time per iteration divided by the
// particle count; items per second counts particle steps).

#include <benchmark/benchmark.h>

#include <sstream>
#include <vector>

#include "dispersion/concentration_sum.hpp"
#include "dispersion/puff_growth.hpp"
#include "dispersion/random_walk.hpp"

namespace {

using namespace orv;

constexpr int32_t kParticles = 4096;
constexpr float kTop = 25000.0f;

// Levels at 30 k^2 - 25 k + 5 m (the lowest layer 65 m deep), vertical
// variance 0.5 in the lowest `mixed` levels and `above` higher up.
struct BenchColumn {
    InternalVerticalGrid grid;
    std::vector<float> zz;
    std::vector<ProfileRow> rows;
    explicit BenchColumn(int32_t mixed = 11, float above = 0.05f) {
        grid.aa = 30.0f;
        grid.bb = -25.0f;
        grid.cc = 5.0f;
        grid.nlvl = 28;
        for (int32_t k = 1; k <= grid.nlvl; ++k) {
            zz.push_back(1.0f - grid.height(k) / kTop);
            ProfileRow r;
            r.turbulence_3 = k <= mixed ? 0.5f : above;
            rows.push_back(r);
        }
    }
    ParticleColumn view() const { return ParticleColumn{rows, zz, grid, kTop}; }
};

ParticleArrays bench_particles(int32_t type, float sigma_h) {
    ParticleArrays p;
    TextOut quiet;
    allocate_particle_arrays(p, kParticles, 1, quiet);
    DispersionGenerator g;
    for (int32_t i = 0; i < kParticles; ++i) {
        p.particle_x[i] = 50.0f;
        p.particle_y[i] = 50.0f;
        p.particle_z[i] = 1.0f - (50.0f + 1500.0f * draw_uniform_random(g)) / kTop;
        p.particle_sigma_h[i] = sigma_h;
        p.particle_sigma_z[i] = 0.0f;
        p.particle_turb_u[i] = p.particle_turb_v[i] = 0.0f;
        p.particle_hdwp[i] = type;
        p.particle_age[i] = 0;
        p.particle_pollutant[i] = 1;
        p.particle_grid[i] = 1;
        p.mass(0, i) = 1.0f;
    }
    return p;
}

void BM_RandomWalkStep(benchmark::State& state) {
    const BenchColumn col;
    const float dt_minutes = static_cast<float>(state.range(0));
    Settings s;
    MetAtParticle met;
    met.turbulence_1 = met.turbulence_2 = 1.0f;
    met.grid_spacing_x = met.grid_spacing_y = 10000.0f;
    met.level_index = 5.0f;
    ParticleArrays p = bench_particles(0, 0.0f);
    DispersionGenerator gen;
    for (auto _ : state) {
        for (int32_t i = 0; i < kParticles; ++i) compute_particle_dispersion_step(s, met, col.view(), dt_minutes, p, i, gen);
        benchmark::DoNotOptimize(p.particle_z.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
    state.counters["sub_steps"] = vertical_sub_steps(col.view(), dt_minutes * 60.0f, 0.0f, s.VSCALE).count;
    state.counters["ns_per_particle_step"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kParticles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RandomWalkStep)->Arg(1)->Arg(10)->Arg(60);

// One step of puffs 50 to 1550 m above ground with sigma_z of 100 to 1000 m,
// in a mixed layer 2.2 km deep without turbulence above it: the deeper ones
// soon fill the layer, as puffs of some hours do. Every iteration starts from
// the same puffs (restoring them is timed too, and is small).
void BM_PuffGrowthStep(benchmark::State& state) {
    const BenchColumn col(9, 0.0f);
    const float dt_minutes = static_cast<float>(state.range(0));
    Settings s;
    MetAtParticle met;
    met.turbulence_1 = met.turbulence_2 = 1.0f;
    ParticleArrays p = bench_particles(1, 1000.0f);
    DispersionGenerator g;
    for (int32_t i = 0; i < kParticles; ++i) p.particle_sigma_z[i] = (100.0f + 900.0f * draw_uniform_random(g)) / kTop;
    const std::vector<float> z0(p.particle_z.data(), p.particle_z.data() + kParticles);
    const std::vector<float> sz0(p.particle_sigma_z.data(), p.particle_sigma_z.data() + kParticles);
    for (auto _ : state) {
        for (int32_t i = 0; i < kParticles; ++i) {
            p.particle_z[i] = z0[static_cast<size_t>(i)];
            p.particle_sigma_z[i] = sz0[static_cast<size_t>(i)];
            p.particle_sigma_h[i] = 1000.0f;
            compute_puff_growth_step(s, met, col.view(), dt_minutes, p, i);
        }
        benchmark::DoNotOptimize(p.particle_z.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
    state.counters["sub_steps"] = vertical_sub_steps(col.view(), dt_minutes * 60.0f, 0.0f, s.VSCALE).count;
    state.counters["ns_per_particle_step"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kParticles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PuffGrowthStep)->Arg(1)->Arg(10)->Arg(60);

void BM_SummationStep(benchmark::State& state) {
    TextOut quiet;
    const int32_t type = static_cast<int32_t>(state.range(0));
    const float sigma_h = static_cast<float>(state.range(1));
    ConcentrationGrid g;
    g.lon_points = g.lat_points = 100;
    g.lon_spacing = g.lat_spacing = 0.05f;
    g.lower_left_lat = 40.0f;
    g.lower_left_lon = -90.0f;
    g.grid_spacing_km = 4.2f;
    g.level_count = 5;
    g.heights = {0, 100, 500, 1000, 2000};
    g.sampling_type = 0;
    g.interval = 60;
    g.start_minute = 0;
    g.stop_minute = 100000;
    std::vector<ConcentrationGrid> grids{g};
    ConcentrationArray conc;
    allocate_concentration_array(conc, grids, 1, quiet);
    ParticleArrays p = bench_particles(type, sigma_h);
    std::vector<SummationPoint> at(kParticles);
    DispersionGenerator gen;
    for (SummationPoint& a : at) {
        a.lat = 41.0f + 3.0f * draw_uniform_random(gen);
        a.lon = -89.0f + 3.0f * draw_uniform_random(gen);
    }
    const SummationStep step{15.0f, 30, kTop, 0};
    std::ostringstream sink;
    TextOut log;
    log.attach(sink);
    float spacing = 1.0e6f;
    const float deposited[] = {0.0f};
    for (auto _ : state) {
        for (int32_t i = 0; i < kParticles; ++i)
            consum(grids, step, at[static_cast<size_t>(i)], p, i, deposited, spacing, conc, Messages{quiet, log});
        benchmark::DoNotOptimize(conc.values.data());
    }
    state.SetItemsProcessed(state.iterations() * kParticles);
    state.counters["ns_per_particle_step"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kParticles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// Particles; Gaussian horizontal puffs of 5 and 20 km; top-hat vertical puffs of 20 km.
BENCHMARK(BM_SummationStep)->Args({0, 0})->Args({3, 5000})->Args({3, 20000})->Args({2, 20000});

}  // namespace
