// One hour-end puff sequence (vertical and horizontal split, compaction,
// sort, merge, compaction) on n puffs spread over a 200 x 200 cell region.
// The time per iteration covers the sequence only; refilling the arrays is
// not timed. It should grow no faster than n log n. The sort alone is timed
// too, with its time per n log2 n.

#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "dispersion/dispersion_random.hpp"
#include "dispersion/puff_conversion.hpp"
#include "dispersion/puff_merge.hpp"
#include "dispersion/puff_split.hpp"

namespace {

using namespace orv;

void fill(ParticleArrays& p, int32_t n) {
    DispersionGenerator g;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t type = 1 + static_cast<int32_t>(4.0f * draw_uniform_random(g));
        p.particle_hdwp[i] = type;
        p.particle_x[i] = 10.0f + 200.0f * draw_uniform_random(g);
        p.particle_y[i] = 10.0f + 200.0f * draw_uniform_random(g);
        p.particle_z[i] = 0.99f - 0.1f * draw_uniform_random(g);
        // Most puffs fit their cell; about one in eight must split.
        p.particle_sigma_h[i] = 1000.0f + 6000.0f * draw_uniform_random(g);
        p.particle_sigma_z[i] = type <= 2 ? 0.004f * draw_uniform_random(g) : 0.0f;
        p.particle_turb_u[i] = p.particle_turb_v[i] = 0.0f;
        p.particle_age[i] = 60 * static_cast<int32_t>(30.0f * draw_uniform_random(g));
        p.particle_pollutant[i] = 1;
        p.particle_grid[i] = 1;
        p.particle_sort_key[i] = i + 1;
        p.mass(0, i) = draw_uniform_random(g);
    }
    p.particle_count = n;
}

void BM_HourEndSequence(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    ParticleArrays p;
    TextOut quiet;
    allocate_particle_arrays(p, 2 * n, 1, quiet);
    std::vector<float> zz;
    for (int32_t k = 1; k <= 30; ++k) zz.push_back(1.0f - (30.0f * k * k - 25.0f * k + 5.0f) / 25000.0f);
    const std::vector<float> sizes{10.0f};
    const MergeFactors f{1.0f, 0.01f, 0.10f, 0.0f, 25000.0f};
    PuffWork work;
    std::ostringstream sink;
    TextOut log;
    log.attach(sink);
    int64_t after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fill(p, n);
        state.ResumeTiming();
        split_puffs_vertically(p, zz, 2 * n - 100);
        pufsph(p, sizes, 2 * n - 100, 10.0f, 1.0f, work, log);
        compact_particle_list(p, 9999, 0.0f);
        pufsrt(f, p, sizes, work, quiet);
        pufmrg(f, p, sizes, work, quiet);
        compact_particle_list(p, 9999, 0.0f);
        after = p.particle_count;
    }
    state.counters["puffs_after"] = static_cast<double>(after);
    state.SetComplexityN(n);
}
BENCHMARK(BM_HourEndSequence)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);

void BM_HourEndSort(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    ParticleArrays p;
    TextOut quiet;
    allocate_particle_arrays(p, n, 1, quiet);
    const std::vector<float> sizes{10.0f};
    const MergeFactors f{1.0f, 0.01f, 0.10f, 0.0f, 25000.0f};
    PuffWork work;
    for (auto _ : state) {
        state.PauseTiming();
        fill(p, n);
        state.ResumeTiming();
        pufsrt(f, p, sizes, work, quiet);
        benchmark::DoNotOptimize(p.particle_sort_key.data());
    }
    const double nlogn = static_cast<double>(n) * std::log2(static_cast<double>(n));
    state.counters["per_nlog2n"] = benchmark::Counter(static_cast<double>(state.iterations()) * nlogn,
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetComplexityN(n);
}
BENCHMARK(BM_HourEndSort)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);

}  // namespace
