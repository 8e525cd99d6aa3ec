// A whole model run: 10,000 Gaussian puffs of the four mercury species spread
// over the complete example (a 60 x 50 Lambert grid of 40 km with a 5 m/s
// west wind and rain south-west of the centre), carried for 24 hours through
// every step of the particle loop. Splitting is held off (KSPL 99) and the
// arrays are large enough that no merge pass runs, so the run moves the same
// puffs every step. Reported: puff-steps per second and the share of the
// run's time (set-up excluded) spent in each phase.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "driver/orvcalc.hpp"
#include "driver/run_context.hpp"
#include "driver/run_end.hpp"
#include "driver/run_loop.hpp"
#include "tools/example_data.hpp"

namespace {

constexpr int32_t kPuffs = 10000;

void write_text(const std::filesystem::path& p, const std::string& text) {
    std::ofstream f(p);
    f << text;
}

// Puffs around the source, 10 to 2000 m above ground, an hour old.
void spread_puffs(orv::RunContext& c) {
    orv::ParticleArrays& p = c.particles;
    const orv::SourceLocation& s = c.source_locations[0];
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> offset(-8.0f, 8.0f), height(10.0f, 2000.0f), spread(500.0f, 5000.0f);
    for (int32_t k = 0; k < kPuffs; ++k) {
        const int32_t i = p.particle_count++;
        p.particle_x[i] = s.grid_x + offset(gen);
        p.particle_y[i] = s.grid_y + offset(gen);
        p.particle_z[i] = 1.0f - height(gen) / c.control.model_top;
        p.particle_sigma_h[i] = spread(gen);
        p.particle_sigma_z[i] = 100.0f / c.control.model_top;
        p.particle_age[i] = 60;
        p.particle_hdwp[i] = 1;
        p.particle_pollutant[i] = 1;
        p.particle_grid[i] = s.met_grid;
        p.particle_sort_key[i] = i + 1;
        for (int32_t o = 0; o < p.maxdim; ++o) p.mass(o, i) = 1.0e-4f * static_cast<float>(o + 1);
    }
}

void BM_WholeRun(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("orv_bench_run_" + std::to_string(::getpid()));
    fs::remove_all(root);
    orv::fixture::ExampleOptions o;
    o.rain = true;
    o.run_hours = 24;
    const orv::fixture::CompleteExample ex = orv::fixture::write_complete_example(root.string(), o);
    const fs::path old = fs::current_path();
    fs::current_path(ex.run_dir);
    write_text("SETUP.CFG", " &SETUP\n initd = 1,\n maxdim = 4,\n numpar = 100,\n maxpar = 200000,\n kspl = 99,\n /\n");

    orv::RunTiming total;
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto ctx = std::make_unique<orv::RunContext>();
        std::istringstream keyboard;
        const char* argv[] = {"orvcalc"};
        std::ostringstream quiet;
        std::streambuf* console = std::cout.rdbuf(quiet.rdbuf());
        orv::set_up_run(*ctx, 1, argv, keyboard);
        spread_puffs(*ctx);
        state.ResumeTiming();
        orv::RunTiming t;
        const auto start = std::chrono::steady_clock::now();
        orv::run_hours(*ctx, &t);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        orv::end_run(*ctx);
        std::cout.rdbuf(console);
        ctx.reset();
        for (int32_t k = 0; k < orv::RunTiming::kPhaseCount; ++k) total.seconds[k] += t.seconds[k];
        total.puff_steps += t.puff_steps;
        state.ResumeTiming();
    }
    fs::current_path(old);
    fs::remove_all(root);

    double phases = 0.0;
    for (double s : total.seconds) phases += s;
    state.counters["puff_steps"] = static_cast<double>(total.puff_steps) / static_cast<double>(state.iterations());
    state.counters["puff_steps_per_s"] = static_cast<double>(total.puff_steps) / seconds;
    for (int32_t k = 0; k < orv::RunTiming::kPhaseCount; ++k) {
        std::string name = std::string("pct_") + orv::RunTiming::name(k);
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        state.counters[name] = 100.0 * total.seconds[k] / phases;
    }
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
