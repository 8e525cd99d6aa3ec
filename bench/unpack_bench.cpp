// Unpacking speed of one packed record of a 360 x 181 global field, in values
// per second (items per second in the report).

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "meteo/pakinp.hpp"
#include "tools/packing.hpp"

namespace {

constexpr int32_t kNx = 360;
constexpr int32_t kNy = 181;

const orv::fixture::PackedField& packed_field() {
    static const orv::fixture::PackedField pf = [] {
        std::vector<float> f(static_cast<size_t>(kNx) * kNy);
        for (int32_t j = 0; j < kNy; ++j)
            for (int32_t i = 0; i < kNx; ++i)
                f[static_cast<size_t>(j) * kNx + i] =
                    static_cast<float>(250.0 + 30.0 * std::cos(0.0174533 * (j - 90)) + 5.0 * std::sin(0.05 * i));
        return orv::fixture::pack_field(f, kNx, kNy, 0.0f);
    }();
    return pf;
}

void BM_UnpackWholeGrid(benchmark::State& state) {
    const auto& pf = packed_field();
    std::vector<float> out(static_cast<size_t>(kNx) * kNy);
    const orv::UnpackWindow w{1, 1, kNx, kNy};
    for (auto _ : state) {
        int32_t no_checksum = -1;
        orv::PAKINP(orv::FieldView2D{out.data(), kNx}, pf.bytes.data(), kNx, kNy, w, 1.0e-6f, pf.nexp, pf.var1,
                    no_checksum);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kNx} * kNy);
}
BENCHMARK(BM_UnpackWholeGrid);

void BM_UnpackSubWindow(benchmark::State& state) {
    const auto& pf = packed_field();
    const orv::UnpackWindow w{181, 61, 120, 60};
    std::vector<float> out(static_cast<size_t>(w.nx) * w.ny);
    for (auto _ : state) {
        int32_t no_checksum = -1;
        orv::PAKINP(orv::FieldView2D{out.data(), w.nx}, pf.bytes.data(), kNx, kNy, w, 1.0e-6f, pf.nexp, pf.var1,
                    no_checksum);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{w.nx} * w.ny);
}
BENCHMARK(BM_UnpackSubWindow);

}  // namespace
