#include "meteo/vertical_grid.hpp"

#include <algorithm>
#include <cmath>

#include "common/text_output.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

namespace {

struct Quadratic {
    float aa, bb, cc;
};
constexpr Quadratic kSets[5] = {{30, -25, 5}, {20, -15, 5}, {15, -5, 0}, {10, -10, 10}, {5, 5, 0}};

// Metres per hPa below and above 100 hPa.
constexpr float kThinFactors[9] = {31.37f, 27.02f, 24.59f, 22.92f, 21.65f, 20.66f, 19.83f, 19.13f, 18.51f};
constexpr float kThickFactors[9] = {17.98f, 14.73f, 13.09f, 11.98f, 11.15f, 10.52f, 10.04f, 9.75f, 9.88f};

// Real level index of the quadratic at a height, (sqrt(D) - bb) / (2 aa);
// false when the discriminant is negative.
bool level_index_at(const Quadratic& q, float height, int32_t& k) {
    const float d = q.bb * q.bb - 4.0f * q.aa * (q.cc - height);
    if (d < 0.0f) return false;
    const float r = (std::sqrt(d) - q.bb) / (2.0f * q.aa);
    k = r < 2.0e9f ? static_cast<int32_t>(r) : 2000000000;
    return true;
}

// Levels needed to reach a height.
int32_t levels_needed(const Quadratic& q, float height) {
    int32_t k = 0;
    return level_index_at(q, height, k) ? k + 1 : 1;
}

// The level of the data's level list that first lies above the top.
int32_t stopping_level(const MeteoFiles& met, int32_t grid, float top, TextOut& console) {
    const MetGridDefinition& gd = met.grid(grid, 1);
    const MetFileLayout& lay = met.layout(grid, 1);
    float p = 0.0f;
    for (int32_t k = 1; k <= gd.nz; ++k) {
        const float v = lay.level_heights[static_cast<size_t>(k - 1)];
        float height = 0.0f;
        if (lay.vertical_type == 3) {
            height = v;
        } else {
            switch (lay.vertical_type) {
                case 1: p = gd.header[kTopPressure] + (1013.0f - gd.header[kTopPressure]) * v; break;
                case 2: p = k == 1 ? 1013.0f : v; break;
                case 4: p = k == 1 ? 1013.0f : std::trunc(v) + (v - std::trunc(v)) * 1013.0f; break;
                default: break;
            }
            float factor;
            if (p < 100.0f) {
                int32_t idx = static_cast<int32_t>(std::trunc(p / 10.0f));
                idx = idx < 1 ? 1 : (idx > 9 ? 9 : idx);
                factor = kThinFactors[idx - 1];
            } else {
                const int32_t whole = static_cast<int32_t>(std::trunc(p / 100.0f));
                const int32_t idx = whole > 9 ? 9 : whole;
                console.list(p, whole, idx);
                factor = kThickFactors[idx - 1];
            }
            height = factor * (1013.0f - p);
        }
        if (height > top) return k;
    }
    return gd.nz;
}

}  // namespace

InternalVerticalGrid set_internal_vertical_grid(const MeteoFiles& met, int32_t grid_count, float entered_top,
                                                TextOut& console) {
    int32_t best = 0, levels = 0;
    for (int32_t kg = 1; kg <= grid_count; ++kg) {
        if (met.grid(kg, 1).nz > levels) {
            levels = met.grid(kg, 1).nz;
            best = kg;
        }
    }
    const int32_t k = (entered_top < 0.0f || levels == 0) ? 0 : stopping_level(met, best, entered_top, console);
    const int32_t n = std::min(k + 1, levels);

    const Quadratic* chosen = &kSets[4];
    int32_t kq = levels_needed(kSets[4], entered_top);
    for (const Quadratic& q : kSets) {
        const int32_t need = levels_needed(q, entered_top);
        if (need > n) {
            chosen = &q;
            kq = need;
            break;
        }
    }
    InternalVerticalGrid g;
    g.aa = chosen->aa;
    g.bb = chosen->bb;
    g.cc = chosen->cc;
    g.nlvl = kq;
    if (!level_index_at(*chosen, 75.0f, g.surface_layer_level)) g.surface_layer_level = 1;
    g.surface_layer_height = g.height(g.surface_layer_level);
    return g;
}

std::vector<float> make_sigma_profile(const InternalVerticalGrid& grid, float model_top) {
    std::vector<float> s(static_cast<size_t>(std::max(grid.nlvl, 0)));
    for (int32_t k = 1; k <= grid.nlvl; ++k) s[static_cast<size_t>(k - 1)] = 1.0f - grid.height(k) / model_top;
    return s;
}

}  // namespace orv
