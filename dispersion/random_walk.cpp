#include "dispersion/random_walk.hpp"

#include <algorithm>
#include <cmath>

#include "run/particle_types.hpp"

namespace orv {

VerticalSubSteps vertical_sub_steps(const ParticleColumn& col, float dt_seconds, float terrain_height,
                                    float vscale) {
    VerticalSubSteps out;
    const int32_t n = col.level_count();
    if (n < 2) return out;
    const float depth = col.model_top - terrain_height;
    const float dz1 = (col.zz(1) - col.zz(2)) * depth;
    float pmax = col.vertical_variance(1);
    for (int32_t k = 2; k <= n; ++k) pmax = std::max(pmax, col.vertical_variance(k));
    // Without any vertical turbulence the step is not divided.
    float limit = dt_seconds;
    if (pmax > 0.0f) {
        float t = 0.125f * (dz1 * dz1) / pmax / vscale;
        if (t < limit) limit = t;  // a NaN time keeps the whole step
    }
    // min(dt, T) lies between 0 and dt, so the conversion is safe.
    int32_t len = static_cast<int32_t>(std::lround(std::max(limit, 0.0f)));
    if (len < 1) len = 1;
    const int32_t whole = static_cast<int32_t>(dt_seconds);
    while (whole % len != 0 && len > 1) --len;
    out.length = len;
    out.count = static_cast<int32_t>(std::lround(dt_seconds / static_cast<float>(len)));
    return out;
}

namespace {

bool walks_horizontally(int32_t mode) { return mode == kParticle; }
bool walks_vertically(int32_t mode) {
    return !is_vertical_puff(mode) && mode != kSurfaceParticle && mode != kSampler;
}

void horizontal_walk(const Settings& s, const MetAtParticle& met, float dt, ParticleArrays& p, int32_t i,
                     DispersionGenerator& gen) {
    // Word 7 holds the variance along x, word 8 along y.
    const float su = std::sqrt(met.turbulence_2);
    const float sv = std::sqrt(met.turbulence_1);
    float gu, gv;
    draw_gaussian_displacement(su, gu, gen);
    draw_gaussian_displacement(sv, gv, gen);
    const float r = std::exp(-dt / s.HSCALE);
    const float rr = std::sqrt(1.0f - r * r);
    float& u = p.particle_turb_u[i];
    float& v = p.particle_turb_v[i];
    u = r * u + rr * gu;
    p.particle_x[i] = p.particle_x[i] + u * dt / met.grid_spacing_x;
    v = r * v + rr * gv;
    p.particle_y[i] = p.particle_y[i] + v * dt / met.grid_spacing_y;
}

// The layer between internal levels top - 1 and top that a walking particle
// is in: its bounds, their vertical turbulence values and the gradient of
// the turbulent velocity across it. A particle mostly stays in one layer for
// many sub-steps, and these are taken once for each stay.
struct Layer {
    int32_t top = 0;  // none yet
    float zb = 0.0f, zt = 0.0f, pb = 0.0f, pt = 0.0f, grad = 0.0f;
    Layer() = default;
    Layer(const ParticleColumn& col, int32_t kt, float depth) : top(kt) {
        const int32_t kb = kt - 1;
        zb = col.zz(kb);
        zt = col.zz(kt);
        pb = std::max(col.vertical_variance(kb), 0.0f);
        pt = std::max(col.vertical_variance(kt), 0.0f);
        grad = (std::sqrt(pt) - std::sqrt(pb)) / ((zb - zt) * depth);
    }
};

void vertical_walk(const Settings& s, const MetAtParticle& met, const ParticleColumn& col, float dt,
                   ParticleArrays& p, int32_t i, DispersionGenerator& gen) {
    const int32_t n = col.level_count();
    if (n < 2) return;
    const VerticalSubSteps steps = vertical_sub_steps(col, dt, met.terrain_height, s.VSCALE);
    if (steps.count < 1) return;
    const float depth = col.model_top - met.terrain_height;
    const float sub = static_cast<float>(steps.length);
    const float rv = std::exp(-sub / s.VSCALE);
    const float rrv = std::sqrt(1.0f - rv * rv);
    const float drift = s.VSCALE * (1.0f - rv);
    const float top = col.zz(n);

    float z = p.particle_z[i];
    float w = p.particle_sigma_z[i];
    float index = met.level_index;
    Layer layer;
    for (int32_t step = 0; step < steps.count; ++step) {
        const int32_t k = clamp_level(index, n);
        const int32_t kt = std::min(k + 1, n);
        if (kt != layer.top) layer = Layer(col, kt, depth);
        const float zb = layer.zb, zt = layer.zt, pb = layer.pb, pt = layer.pt, grad = layer.grad;
        const float f = std::clamp((zb - z) / (zb - zt), 0.0f, 1.0f);
        const float sw = std::sqrt(pb + f * (pt - pb));
        // The deviate is drawn even without turbulence, so that the sequence
        // of draws does not depend on the meteorology; the random term is
        // then 0, and so is the displacement.
        float scaled;
        draw_gaussian_displacement(sw, scaled, gen);
        const float lambda = sw > 0.0f ? scaled / sw : 0.0f;
        float wn = rv * w + rrv * lambda + drift * grad;
        const float sd = sw * (1.0f + grad * w * sub);
        z = z - sub * sd * wn / depth;
        if (z > 1.0f) {
            z = 2.0f - z;
            wn = -wn;
        }
        if (z < top) {
            z = 2.0f * top - z;
            wn = -wn;
        }
        w = wn;
        index = col.level_index_of_height(col.model_top * (1.0f - std::min(z, 1.0f)));
    }
    p.particle_z[i] = z;
    p.particle_sigma_z[i] = w;
}

}  // namespace

void compute_particle_dispersion_step(const Settings& s, const MetAtParticle& met, const ParticleColumn& col,
                                      float dt_minutes, ParticleArrays& p, int32_t i, DispersionGenerator& gen) {
    const int32_t mode = distribution_mode(p.particle_hdwp[i]);
    const float dt = std::fabs(dt_minutes * 60.0f);
    if (walks_horizontally(mode)) horizontal_walk(s, met, dt, p, i, gen);
    if (walks_vertically(mode)) vertical_walk(s, met, col, dt, p, i, gen);
}

}  // namespace orv
