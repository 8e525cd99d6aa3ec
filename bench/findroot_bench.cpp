// The time of one partition of the Hg(II) of a puff between gas and droplets,
// as the chemistry and deposition steps make it for every wet puff and step.

#include <benchmark/benchmark.h>

#include "mercury/equilibrium_driver.hpp"

namespace {

using namespace orv;

void run(benchmark::State& state, const FindrootInput& in) {
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    EquilibriumWorkspace ws;
    FindrootResult out;
    for (auto _ : state) {
        findroot(1, in, out, ws, ch, quiet);
        benchmark::DoNotOptimize(out);
    }
    state.counters["trials"] = out.total_trials;
}

// A typical cloud: converges in one trial.
void BM_FindrootTypical(benchmark::State& state) { run(state, {4.5, 280.0, 1.0, 1e-3, 2.5, 0.2, 1e-6}); }
BENCHMARK(BM_FindrootTypical);

// Alkaline water with much sulfite: a clipped first step, a second trial.
void BM_FindrootAlkaline(benchmark::State& state) { run(state, {8.0, 280.0, 10.0, 1e-3, 2.5, 0.2, 1e-6}); }
BENCHMARK(BM_FindrootAlkaline);

}  // namespace
