#include "driver/puff_geometry.hpp"

#include <algorithm>

#include "common/math_constants.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr float kFallbackBase = 500.0f;  // cloud base without a cloudy level, m
constexpr float kFallbackTop = 3000.0f;  // cloud top without a cloudy level, m

// The highest level (at least 1) whose height in the column lies below h.
int32_t highest_level_below(std::span<const float> sigma, float depth, float h) {
    int32_t level = 1;
    for (size_t k = 0; k < sigma.size(); ++k)
        if ((1.0f - sigma[k]) * depth < h) level = static_cast<int32_t>(k) + 1;
    return level;
}

}  // namespace

PuffGeometry puff_geometry(float z, float sigma_z, float sigma_h, float model_top, float terrain_height,
                           float surface_layer_height) {
    PuffGeometry g;
    g.column_depth = model_top - terrain_height;
    const float spread = kTopHat * sigma_z;
    g.puff_bottom_height = (1.0f - std::min(z + spread, 1.0f)) * g.column_depth;
    g.puff_top_height = (1.0f - std::max(z - spread, 0.0f)) * g.column_depth;
    g.puff_depth = std::max(g.puff_top_height - g.puff_bottom_height, 1.0f);
    const float radius = kTopHat * sigma_h;
    g.puffvol = kPi * radius * radius * g.puff_depth;
    g.near_surface_flag = g.puff_bottom_height < surface_layer_height;
    return g;
}

CloudLayer cloud_layer(const PuffGeometry& g, float rain, std::span<const ProfileRow> profile,
                       std::span<const float> sigma, const Hgsim& hgsim) {
    CloudLayer c;
    if (!(rain > 0.0f)) return c;
    const int32_t nlvl = static_cast<int32_t>(std::min(profile.size(), sigma.size()));
    if (nlvl < 1) return c;
    const float surface = hgsim.zrh_crit_surface * 100.0f;
    const float aloft = hgsim.zrh_crit_aloft * 100.0f;
    const float stop = hgsim.zrh_crit_stop * 100.0f;

    int32_t bottom = 0;
    int32_t top = nlvl;
    bool top_found = false;
    for (int32_t k = 1; k <= nlvl; ++k) {
        const float rh = profile[static_cast<size_t>(k - 1)].humidity * 100.0f;
        if (bottom == 0 && rh >= (k == 1 ? surface : aloft)) bottom = k;
        if (bottom != 0 && !top_found && rh <= stop) {
            top = k;
            top_found = true;
        }
    }
    const float depth = g.column_depth;
    const std::span<const float> levels = sigma.first(static_cast<size_t>(nlvl));
    if (bottom == 0) {
        bottom = highest_level_below(levels, depth, kFallbackBase);
        top = highest_level_below(levels, depth, kFallbackTop);
    }
    c.cloud_top_height = (1.0f - levels[static_cast<size_t>(top - 1)]) * depth;
    c.cloud_base_height = (1.0f - levels[static_cast<size_t>(bottom - 1)]) * depth;

    if (g.puff_bottom_height >= c.cloud_top_height) return c;
    c.fraction_below_cloud_top =
        g.puff_top_height <= c.cloud_top_height
            ? 1.0f
            : 1.0f - (g.puff_top_height - c.cloud_top_height) / g.puff_depth;
    if (g.puff_bottom_height >= c.cloud_base_height)
        c.fraction_above_cloud_base = 1.0f;
    else if (c.cloud_base_height > g.puff_top_height)
        c.fraction_above_cloud_base = 0.0f;
    else
        c.fraction_above_cloud_base = 1.0f - (c.cloud_base_height - g.puff_bottom_height) / g.puff_depth;
    return c;
}

void apply_puff_descent(PuffGeometry& g, float descent, float& z, float& sigma_z) {
    if (!(descent > 0.0f)) return;
    const float top = std::max(g.puff_top_height - descent, 0.0f);
    const float bottom = std::max(g.puff_bottom_height - descent, 0.0f);
    g.puff_top_height = top;
    g.puff_bottom_height = bottom;
    z = 1.0f - ((top + bottom) / 2.0f) / g.column_depth;
    sigma_z = 0.5f * (top - bottom) / (kTopHat * g.column_depth);
    g.puff_depth = std::max(top - bottom, 1.0f);
}

}  // namespace orv
