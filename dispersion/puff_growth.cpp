#include "dispersion/puff_growth.hpp"

#include <algorithm>
#include <cmath>

#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr float kYoungPuffFactor = 1.999396f;  // the growth factor at age 0 (1.414^2)

bool grows_horizontally(int32_t mode) { return mode != kParticle && mode != kSurfaceParticle && mode != kSampler; }
bool grows_vertically(int32_t mode) { return grows_horizontally(mode) && !is_horizontal_puff(mode); }

void horizontal_growth(const Settings& s, const MetAtParticle& met, float dt, float age_seconds, float& sigma_h) {
    const float suv = std::sqrt(met.turbulence_2 + met.turbulence_1);
    if (s.KPUFF == 0) {
        sigma_h = sigma_h + 1.414f * suv * dt;
        return;
    }
    // The factor falls from its value at age 0 towards 0.25; young puffs
    // never grow faster than the linear form.
    float f = kYoungPuffFactor;
    if (age_seconds > 0.0f) f = std::min(std::max(0.5f * s.HSCALE / age_seconds, 0.25f), kYoungPuffFactor);
    sigma_h = sigma_h + std::sqrt(f) * suv * dt;
}

void vertical_growth(const Settings& s, const MetAtParticle& met, const ParticleColumn& col, float dt, float& zc,
                     float& sigma_z) {
    const int32_t n = col.level_count();
    if (n < 2) return;
    const VerticalSubSteps steps = vertical_sub_steps(col, dt, met.terrain_height, s.VSCALE);
    if (steps.count < 1) return;
    const float depth = col.model_top - met.terrain_height;
    const float depth2 = depth * depth;
    const float sub = static_cast<float>(steps.length);
    const float top = col.zz(n);
    for (int32_t step = 0; step < steps.count; ++step) {
        const float zb = std::min(zc + kTopHat * sigma_z, 1.0f);
        const float zt = std::clamp(zc - kTopHat * sigma_z, 0.0f, 1.0f);
        const int32_t kb = clamp_level(col.level_index_of_height(col.model_top * (1.0f - zb)), n);
        // The top level is the nearest one (clamped before rounding).
        float top_index = col.level_index_of_height(col.model_top * (1.0f - zt));
        top_index = std::isfinite(top_index) ? std::clamp(top_index, 1.0f, static_cast<float>(n)) : 1.0f;
        const int32_t kt = static_cast<int32_t>(std::lround(top_index));
        const float pb = std::max(col.vertical_variance(kb), 0.0f);
        const float pt = std::max(col.vertical_variance(kt), 0.0f);
        const float s2 = sigma_z * sigma_z;
        const float zb2 = std::min(zc + kTopHat * std::sqrt(2.0f * pb * s.VSCALE * sub / depth2 + s2), 1.0f);
        const float zt2 = std::max(zc - kTopHat * std::sqrt(2.0f * pt * s.VSCALE * sub / depth2 + s2), top);
        sigma_z = (zb2 - zt2) / kTopHat * 0.5f;
        zc = (zb2 + zt2) * 0.5f;
    }
}

}  // namespace

void compute_puff_growth_step(const Settings& s, const MetAtParticle& met, const ParticleColumn& col,
                              float dt_minutes, ParticleArrays& p, int32_t i) {
    const int32_t age = p.particle_age[i];
    if (age < 0) return;
    const int32_t mode = distribution_mode(p.particle_hdwp[i]);
    const float dt = std::fabs(dt_minutes * 60.0f);
    if (grows_horizontally(mode))
        horizontal_growth(s, met, dt, static_cast<float>(age) * 60.0f, p.particle_sigma_h[i]);
    if (grows_vertically(mode)) vertical_growth(s, met, col, dt, p.particle_z[i], p.particle_sigma_z[i]);
}

}  // namespace orv
