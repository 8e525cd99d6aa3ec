// Cost of one particle advance (one call of advpnt per particle and time
// step, data already in memory) on a generated 100 x 100 grid with 20 levels
// and 10,000 particles spread over it, with deposition on (the whole column
// profile and the surface values at every particle). Reported as nanoseconds
// per particle step.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "meteo/advpnt.hpp"
#include "tests/meteo/advance_rig.hpp"

namespace {

void BM_Advpnt(benchmark::State& state) {
    orv::test::AdvanceRig rig;
    rig.deposition.CDEP = true;
    rig.deposition.RDEP = true;
    orv::fixture::AnalyticMet m;
    m.wind = orv::fixture::AnalyticMet::Wind::SolidBody;
    m.rotation_pole_lat = 45.0;
    m.rotation_pole_lon = -95.0;
    m.omega = 2.0e-5;
    rig.set_up({orv::test::advance_recipe(orv::fixture::GridShape::lambert(45.0f, -95.0f, 30.0f, 100, 100), 3, 20)},
               m.function());

    std::mt19937 gen(3);
    std::uniform_real_distribution<float> pos(15.0f, 85.0f), height(10.0f, 3000.0f);
    std::vector<orv::ParticlePosition> particles(10000);
    for (auto& p : particles) {
        p.x = pos(gen);
        p.y = pos(gen);
        p.z = 1.0f - height(gen) / rig.run.model_top;
        p.grid = 1;
        p.type = 0;
    }
    const int32_t t = rig.start + 20;
    orv::ParticlePosition first = particles[0];
    rig.advance(first, t, 10.0f);  // loads the data
    double speed = 0.0;
    for (auto _ : state) {
        for (const auto& p : particles) {
            orv::ParticlePosition q = p;
            const orv::AdvanceResult r = rig.advance(q, t, 10.0f);
            speed += r.speed;
        }
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(speed);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(particles.size()));
    state.counters["ns_per_particle_step"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(particles.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["nlvl"] = rig.grid.nlvl;
}
BENCHMARK(BM_Advpnt)->Unit(benchmark::kMillisecond);

}  // namespace
