// Memory layout of the sub-grid fields for the particle loop: the cost of
// reading one particle's column profile (4 fields at every level, at the 4
// grid points around it, in both data-time slots, interpolated in space and
// time), in nanoseconds per particle. Three layouts of the same data:
//   store   - the sub-grid arrays as allocated: all fields of a point
//             together, levels innermost ([slot][j][i][field][k])
//   columns - each field on its own with levels innermost ([slot][field][j][i][k])
//   planes  - x-fastest planes of one level ([slot][field][k][j][i])
// for a compact cloud on a 120 x 100 x 27 sub-grid and for particles
// scattered over a 360 x 181 x 40 grid.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "meteo/met_subgrid_arrays.hpp"

namespace {

using orv::FieldView3D;

struct Particle {
    float x, y;
};

std::vector<Particle> particles(int32_t nx, int32_t ny, bool scattered) {
    std::mt19937 gen(7);
    std::vector<Particle> p(10000);
    for (auto& q : p) {
        if (scattered) {
            q.x = std::uniform_real_distribution<float>(1.0f, static_cast<float>(nx - 1))(gen);
            q.y = std::uniform_real_distribution<float>(1.0f, static_cast<float>(ny - 1))(gen);
        } else {
            q.x = std::clamp(0.5f * nx + std::normal_distribution<float>(0.0f, 6.0f)(gen), 1.0f, nx - 1.5f);
            q.y = std::clamp(0.5f * ny + std::normal_distribution<float>(0.0f, 6.0f)(gen), 1.0f, ny - 1.5f);
        }
    }
    return p;
}

// The four fields of the profile in both slots.
struct ProfileViews {
    FieldView3D f[4][2];
};

// Bilinear in space, linear in time, at every level; out[field][k].
void read_profile(const ProfileViews& v, float x, float y, float ft, int32_t nz, float* out) {
    const int32_t i = static_cast<int32_t>(x), j = static_cast<int32_t>(y);
    const float fx = x - i, fy = y - j;
    for (int32_t q = 0; q < 4; ++q) {
        const FieldView3D& a = v.f[q][0];
        const FieldView3D& b = v.f[q][1];
        const float* a00 = a.column(i, j);
        const float* a10 = a.column(i + 1, j);
        const float* a01 = a.column(i, j + 1);
        const float* a11 = a.column(i + 1, j + 1);
        const float* b00 = b.column(i, j);
        const float* b10 = b.column(i + 1, j);
        const float* b01 = b.column(i, j + 1);
        const float* b11 = b.column(i + 1, j + 1);
        const int64_t s = a.plane;
        if (s == 1) {
            // Levels innermost: contiguous columns.
            float* __restrict o = out + q * nz;
            for (int32_t k = 0; k < nz; ++k) {
                const float lo = a00[k] + (a10[k] - a00[k]) * fx, hi = a01[k] + (a11[k] - a01[k]) * fx;
                const float sa = lo + (hi - lo) * fy;
                const float lb = b00[k] + (b10[k] - b00[k]) * fx, hb = b01[k] + (b11[k] - b01[k]) * fx;
                const float sb = lb + (hb - lb) * fy;
                o[k] = sa + (sb - sa) * ft;
            }
            continue;
        }
        for (int32_t k = 0; k < nz; ++k) {
            const int64_t o = k * s;
            const float lo = a00[o] + (a10[o] - a00[o]) * fx, hi = a01[o] + (a11[o] - a01[o]) * fx;
            const float sa = lo + (hi - lo) * fy;
            const float lb = b00[o] + (b10[o] - b00[o]) * fx, hb = b01[o] + (b11[o] - b01[o]) * fx;
            const float sb = lb + (hb - lb) * fy;
            out[q * nz + k] = sa + (sb - sa) * ft;
        }
    }
}

enum Layout { kStore, kColumns, kPlanes };
const orv::MetField3 kProfileFields[4] = {orv::kMetPressure, orv::kMetTemperature, orv::kMetHumidity,
                                          orv::kMetTurbulence3};

void BM_ColumnProfile(benchmark::State& state) {
    orv::TextOut quiet;
    const auto layout = static_cast<Layout>(state.range(0));
    const int32_t nx = static_cast<int32_t>(state.range(1)), ny = static_cast<int32_t>(state.range(2));
    const int32_t nz = static_cast<int32_t>(state.range(3));
    const bool scattered = state.range(4) != 0;
    const int32_t F = orv::kMetField3Count;

    orv::MetSubgridArrays store;
    std::vector<float> own;
    ProfileViews v;
    if (layout == kStore) {
        store.window(1).planned_nx = nx;
        store.window(1).planned_ny = ny;
        orv::create_met_tables(store, 1, quiet);
        orv::fit_met_fields_to_subgrid(store, 1, nz, orv::Messages{quiet, quiet});
        for (size_t n = 0; n < store.met3.size(); ++n) store.met3[n] = static_cast<float>(n % 977);
        for (int32_t q = 0; q < 4; ++q)
            for (int32_t s = 0; s < 2; ++s) v.f[q][s] = store.field3(kProfileFields[q], 1, s + 1);
    } else {
        const int64_t field = int64_t{nx} * ny * nz;
        own.resize(static_cast<size_t>(field * F * 2));
        for (size_t n = 0; n < own.size(); ++n) own[n] = static_cast<float>(n % 977);
        for (int32_t q = 0; q < 4; ++q)
            for (int32_t s = 0; s < 2; ++s) {
                float* base = own.data() + (int64_t{s} * F + kProfileFields[q]) * field;
                v.f[q][s] = layout == kColumns ? FieldView3D{base, int64_t{nx} * nz, 1, nz, nz}
                                               : FieldView3D{base, nx, int64_t{nx} * ny, nz, 1};
            }
    }
    const std::vector<Particle> ps = particles(nx, ny, scattered);
    std::vector<float> out(static_cast<size_t>(4 * nz));
    for (auto _ : state) {
        for (const Particle& p : ps) {
            read_profile(v, p.x, p.y, 0.3f, nz, out.data());
            benchmark::DoNotOptimize(out.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ps.size()));
    state.counters["ns_per_particle"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(ps.size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void layouts(benchmark::internal::Benchmark* b) {
    for (int64_t layout : {kStore, kColumns, kPlanes}) {
        b->Args({layout, 120, 100, 27, 0});
        b->Args({layout, 360, 181, 40, 1});
    }
    b->ArgNames({"layout", "nx", "ny", "nz", "scattered"});
}
BENCHMARK(BM_ColumnProfile)->Apply(layouts)->Unit(benchmark::kMillisecond);

}  // namespace
