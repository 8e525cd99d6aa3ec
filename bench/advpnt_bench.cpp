// Cost of one particle advance (one call of advpnt per particle and time
// step, data already in memory) on a generated 100 x 100 grid with 20 levels
// and 10,000 particles spread over it, with deposition on (the whole column
// profile and the surface values at every particle). Reported as nanoseconds
// per particle step.
//
// BM_AdvpntFloor is the floor it compares with: the same interpolations done
// in a minimal loop over the same held data and particles (the wind at the
// start and at the moved position, the turbulence at the particle's level and
// the column of vertical turbulence, pressure, temperature and humidity, all
// between the two data times), without grid choice, projection or checks.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "meteo/advection.hpp"
#include "meteo/advpnt.hpp"
#include "meteo/met_interpolation.hpp"
#include "tests/meteo/advance_rig.hpp"

namespace {

void set_up_rig(orv::test::AdvanceRig& rig) {
    rig.deposition.CDEP = true;
    rig.deposition.RDEP = true;
    orv::fixture::AnalyticMet m;
    m.wind = orv::fixture::AnalyticMet::Wind::SolidBody;
    m.rotation_pole_lat = 45.0;
    m.rotation_pole_lon = -95.0;
    m.omega = 2.0e-5;
    rig.set_up({orv::test::advance_recipe(orv::fixture::GridShape::lambert(45.0f, -95.0f, 30.0f, 100, 100), 3, 20)},
               m.function());
}

std::vector<orv::ParticlePosition> spread_particles(const orv::test::AdvanceRig& rig) {
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
    return particles;
}

// The rig with its particles spread and the data of the timed advances loaded.
std::vector<orv::ParticlePosition> loaded_rig(orv::test::AdvanceRig& rig) {
    set_up_rig(rig);
    std::vector<orv::ParticlePosition> particles = spread_particles(rig);
    orv::ParticlePosition first = particles[0];
    rig.advance(first, rig.start + 20, 10.0f);
    return particles;
}

void BM_Advpnt(benchmark::State& state) {
    orv::test::AdvanceRig rig;
    const std::vector<orv::ParticlePosition> particles = loaded_rig(rig);
    const int32_t t = rig.start + 20;
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

float between(float a1, float a2, float f) { return a1 + (a2 - a1) * f; }

float level_between(const orv::FieldView3D (&a)[2], const orv::GridCell& c, float k, float f) {
    return between(orv::interpolate_3d(a[0], c, k), orv::interpolate_3d(a[1], c, k), f);
}

// Levels 1..n of a field with contiguous levels at a cell, between the two data times.
void column(const orv::FieldView3D (&a)[2], const orv::GridCell& c, float f, int32_t n, std::vector<float>& out) {
    const float *p11 = a[0].column(c.i, c.j), *p21 = a[0].column(c.i2, c.j);
    const float *p12 = a[0].column(c.i, c.j2), *p22 = a[0].column(c.i2, c.j2);
    const float *q11 = a[1].column(c.i, c.j), *q21 = a[1].column(c.i2, c.j);
    const float *q12 = a[1].column(c.i, c.j2), *q22 = a[1].column(c.i2, c.j2);
    float* o = out.data();
    for (int32_t k = 0; k < n; ++k) {
        const float lo1 = p11[k] + (p21[k] - p11[k]) * c.fx, hi1 = p12[k] + (p22[k] - p12[k]) * c.fx;
        const float lo2 = q11[k] + (q21[k] - q11[k]) * c.fx, hi2 = q12[k] + (q22[k] - q12[k]) * c.fx;
        o[k] = between(lo1 + (hi1 - lo1) * c.fy, lo2 + (hi2 - lo2) * c.fy, f);
    }
}

void BM_AdvpntFloor(benchmark::State& state) {
    orv::test::AdvanceRig rig;
    const std::vector<orv::ParticlePosition> particles = loaded_rig(rig);
    const int32_t t = rig.start + 20;

    orv::MetSubgridArrays& a = rig.met.arrays;
    const orv::MetGridWindow& w = a.window(1);
    enum { U, V, W, T3, P, T, RH, T1, T2, kFields };
    const orv::MetField3 ids[kFields] = {orv::kMetU,        orv::kMetV,           orv::kMetW,
                                         orv::kMetTurbulence3, orv::kMetPressure, orv::kMetTemperature,
                                         orv::kMetHumidity,    orv::kMetTurbulence1, orv::kMetTurbulence2};
    orv::FieldView3D f[kFields][2];
    for (int32_t q = 0; q < kFields; ++q)
        for (int32_t n = 0; n < 2; ++n) f[q][n] = a.field3(ids[q], 1, a.time_slots[static_cast<size_t>(n)]);
    const float frac = orv::time_fraction(t + 10, a.request_times[0], a.request_times[1]);
    const int32_t nlvl = std::min(rig.grid.nlvl, a.nz);
    std::vector<orv::ProfileRow>& profile = rig.profile;
    std::vector<float> col[4];
    for (auto& v : col) v.assign(static_cast<size_t>(nlvl), 0.0f);
    double sum = 0.0;
    for (auto _ : state) {
        for (const auto& p : particles) {
            const float x = p.x - static_cast<float>(w.x1) + 1.0f, y = p.y - static_cast<float>(w.y1) + 1.0f;
            const float k = orv::level_index_of(rig.grid, p.z, rig.run.model_top);
            const orv::GridCell c = orv::locate_cell(x, y, false, w.nx, w.ny);
            const float u = level_between(f[U], c, k, frac), v = level_between(f[V], c, k, frac);
            const float x1 = x + u * 10.0f, y1 = y + v * 10.0f;
            const orv::GridCell c1 = orv::locate_cell(x1, y1, false, w.nx, w.ny);
            sum += level_between(f[W], c, k, frac) + level_between(f[U], c1, k, frac) +
                   level_between(f[V], c1, k, frac) + level_between(f[W], c1, k, frac);
            sum += level_between(f[T1], c1, k, frac) + level_between(f[T2], c1, k, frac);
            column(f[T3], c1, frac, nlvl, col[0]);
            column(f[P], c1, frac, nlvl, col[1]);
            column(f[T], c1, frac, nlvl, col[2]);
            column(f[RH], c1, frac, nlvl, col[3]);
            for (int32_t l = 0; l < nlvl; ++l) {
                orv::ProfileRow& r = profile[static_cast<size_t>(l)];
                r.turbulence_3 = col[0][l];
                r.pressure = col[1][l];
                r.temperature = col[2][l];
                r.humidity = col[3][l];
                r.density = 100.0f * r.pressure / (287.04f * r.temperature);
            }
            sum += profile[0].density;
        }
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(sum);
    state.counters["ns_per_particle_step"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(particles.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AdvpntFloor)->Unit(benchmark::kMillisecond);

}  // namespace
