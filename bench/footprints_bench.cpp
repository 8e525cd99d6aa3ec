// The footprint tests of a particle step over many receptors and ceps: 998
// receptors of one to three divisions and 999 ceps spread over a continent,
// particles and puffs at random places among them. The "full scan" cases
// examine every receptor and cep, as the tests would without the latitude
// band index; they give the same results.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/math_constants.hpp"
#include "mercury/footprints.hpp"

namespace {

using namespace orv;

struct Setup {
    ReceptorTables receptors;
    CepTables ceps;
    struct Puff {
        float lat, lon, sigma;
    };
    std::vector<Puff> puffs;

    Setup() {
        std::mt19937 gen(7);
        std::uniform_real_distribution<float> lat(25.0f, 55.0f), lon(-130.0f, -60.0f), unit(0.0f, 1.0f);
        for (int r = 0; r < 998; ++r) {
            std::vector<DivisionBox> divs;
            const float la = lat(gen), lo = lon(gen);
            const int n = 1 + static_cast<int>(unit(gen) * 3.0f);
            for (int d = 0; d < n; ++d) {
                DivisionBox b;
                b.west = lo + 0.5f * d;
                b.east = b.west + 0.2f + unit(gen);
                b.south = la + 0.3f * unit(gen);
                b.north = b.south + 0.2f + unit(gen);
                divs.push_back(b);
            }
            add_receptor(receptors, "r", 1, divs);
        }
        index_receptors(receptors);
        for (int c = 0; c < 999; ++c) ceps.ceps.push_back(Cep{"c", 1, lat(gen), lon(gen)});
        index_ceps(ceps);
        for (int i = 0; i < 4096; ++i) puffs.push_back({lat(gen), lon(gen), 1000.0f * std::pow(50.0f, unit(gen))});
    }
};

const Setup& setup() {
    static const Setup s;
    return s;
}

void full_scan_shares(int32_t type, float lat, float lon, float sigma_h, const ReceptorTables& t,
                      std::vector<float>& p) {
    std::fill(p.begin(), p.end(), 0.0f);
    const float D = 2.0f * 1.54f * sigma_h / 1000.0f;
    const float s = 0.5f * std::sqrt(3.141593f * D * D * 0.0625f);
    for (int32_t r = 1; r <= t.receptor_count(); ++r) {
        const Receptor& rc = t.receptor(r);
        const DivisionBox& b0 = t.box(r, 0);
        float& out = p[static_cast<size_t>(r - 1)];
        if (type == 0) {
            if (lat < b0.south || lat > b0.north || lon < b0.west || lon > b0.east) continue;
            for (int32_t d = 1; d <= rc.division_count; ++d) {
                const DivisionBox& b = t.box(r, d);
                if (b.south <= lat && lat <= b.north && b.west <= lon && lon <= b.east) {
                    out = 1.0f;
                    break;
                }
            }
        } else {
            const float dy = (lat - rc.centre_lat) * kKmPerDegreeLat;
            const float dx = (lon - rc.centre_lon) * kKmPerDegreeLon *
                             std::cos(((lat + rc.centre_lat) / 2.0f) * kDegToRadF);
            if (dy + s < b0.y_south || dy - s > b0.y_north || dx + s < b0.x_west || dx - s > b0.x_east) continue;
            for (int32_t d = 1; d <= rc.division_count; ++d) {
                const DivisionBox& b = t.box(r, d);
                const float oy = std::min(b.y_north, dy + s) - std::max(b.y_south, dy - s);
                const float ox = std::min(b.x_east, dx + s) - std::max(b.x_west, dx - s);
                if (oy > 0.0f && ox > 0.0f) out += oy * ox / (4.0f * s * s);
            }
        }
    }
}

void full_scan_ceps(float lat, float lon, float sigma_h, const CepTables& t, std::vector<float>& p) {
    const float half = 2.0f * 1.54f * sigma_h / 1000.0f / 2.0f;
    for (size_t i = 0; i < t.ceps.size(); ++i) {
        const Cep& c = t.ceps[i];
        const float m = (lat + c.lat) / 2.0f;
        const float x = std::fabs(c.lon - lon) * std::cos(m * kDegToRadF) * kKmPerDegreeLon;
        const float y = std::fabs(lat - c.lat) * kKmPerDegreeLat;
        p[i] = std::sqrt(x * x + y * y) <= half ? 1.0f : 0.0f;
    }
}

void BM_Receptors(benchmark::State& state) {
    const Setup& s = setup();
    const int32_t type = static_cast<int32_t>(state.range(0));
    std::vector<float> pfrac(998);
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    size_t i = 0;
    for (auto _ : state) {
        const auto& p = s.puffs[i++ & 4095];
        flag_touched_receptors(type, p.lat, p.lon, p.sigma, s.receptors, pfrac, ch);
        benchmark::DoNotOptimize(pfrac.data());
    }
}
BENCHMARK(BM_Receptors)->Arg(0)->Arg(2);

void BM_ReceptorsFullScan(benchmark::State& state) {
    const Setup& s = setup();
    const int32_t type = static_cast<int32_t>(state.range(0));
    std::vector<float> pfrac(998);
    size_t i = 0;
    for (auto _ : state) {
        const auto& p = s.puffs[i++ & 4095];
        full_scan_shares(type, p.lat, p.lon, p.sigma, s.receptors, pfrac);
        benchmark::DoNotOptimize(pfrac.data());
    }
}
BENCHMARK(BM_ReceptorsFullScan)->Arg(0)->Arg(2);

void BM_Ceps(benchmark::State& state) {
    TextOut quiet;
    const Setup& s = setup();
    std::vector<float> cepres(999);
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    size_t i = 0;
    for (auto _ : state) {
        const auto& p = s.puffs[i++ & 4095];
        ceptest(2, p.lat, p.lon, p.sigma, s.ceps, cepres, ch, quiet);
        benchmark::DoNotOptimize(cepres.data());
    }
}
BENCHMARK(BM_Ceps);

void BM_CepsFullScan(benchmark::State& state) {
    const Setup& s = setup();
    std::vector<float> cepres(999);
    size_t i = 0;
    for (auto _ : state) {
        const auto& p = s.puffs[i++ & 4095];
        full_scan_ceps(p.lat, p.lon, p.sigma, s.ceps, cepres);
        benchmark::DoNotOptimize(cepres.data());
    }
}
BENCHMARK(BM_CepsFullScan);

}  // namespace
