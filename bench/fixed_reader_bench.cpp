// Parsing speed of the fixed-column reader on the oxidant file layout: one
// month of oxidant files is 3 x 278,528 such lines.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/fortran_format.hpp"

namespace {

std::vector<std::string> oxidant_lines(int n) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(n));
    orv::fmt::Format out("(F7.2,1X,F6.2,1X,I2,2X,E12.6)");
    for (int k = 0; k < n; ++k) {
        float lon = static_cast<float>(k % 128) * 2.8125f;
        float lat = -90.0f + static_cast<float>((k / 128) % 64) * 2.857143f;
        int lev = 1 + (k / 8192) % 34;
        std::string s = orv::fmt::write(out, lon, lat, lev, 1.0e-3f * static_cast<float>(k % 977));
        s.pop_back();
        lines.push_back(std::move(s));
    }
    return lines;
}

void BM_OxidantLayout(benchmark::State& state) {
    auto lines = oxidant_lines(278528);
    orv::fmt::Format layout("(F7.2,1X,F6.2,1X,I2,2X,E12.6)");
    float lon = 0, lat = 0, value = 0, sum = 0;
    int32_t level = 0;
    for (auto _ : state) {
        for (const auto& line : lines) {
            orv::fmt::read(line, layout, lon, lat, level, value);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lines.size()));
}
BENCHMARK(BM_OxidantLayout)->Unit(benchmark::kMillisecond);

}  // namespace
