// Loading one month of the global oxidant fields (three files of 278,528
// records each) from files written by the fixture generator.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <unistd.h>

#include "mercury/global_oxidants.hpp"
#include "tools/oxidant_writer.hpp"

namespace {

struct MonthFiles {
    std::filesystem::path dir;
    MonthFiles() {
        dir = std::filesystem::temp_directory_path() / ("orv_bench_oxidants_" + std::to_string(::getpid()));
        orv::fixture::OxidantMonth m;
        m.ozone.per_lat = 0.1;
        m.ozone.per_level = 0.5;
        m.so2.per_lon = 0.01;
        orv::fixture::write_oxidant_month(dir.string(), 1, m);
    }
    ~MonthFiles() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

void BM_LoadOxidantMonth(benchmark::State& state) {
    orv::TextOut quiet;
    static MonthFiles files;
    orv::GlobalChemGrid grid;
    orv::set_up_global_chemistry_grid(grid);
    const std::string dir = files.dir.string() + "/";
    std::ostringstream sink;
    auto* old = std::cout.rdbuf(sink.rdbuf());
    for (auto _ : state) {
        orv::get_global_conc(grid, 1, dir, quiet);
        sink.str("");
        benchmark::DoNotOptimize(grid.ozone.data());
    }
    std::cout.rdbuf(old);
    state.counters["records/s"] = benchmark::Counter(3.0 * orv::GlobalChemGrid::kPoints, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadOxidantMonth)->Unit(benchmark::kMillisecond);

}  // namespace
