#include "dispersion/puff_growth.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <type_traits>

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

// The nearest whole number of a level index of at least 1, halves rounded
// up as std::lround rounds them: from 1 on, the fraction index - trunc(index)
// is exact.
int32_t nearest_level(float index) {
    const int64_t whole = static_cast<int64_t>(index);
    return static_cast<int32_t>(index - static_cast<float>(whole) >= 0.5f ? whole + 1 : whole);
}

bool same_bits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// The last argument and result of a pure function, so that a repeated
// argument (bit for bit) takes the result it gave before.
template <typename Arg, typename Result>
struct LastCall {
    bool held = false;
    Arg arg{};
    Result result{};

    template <typename F>
    Result operator()(Arg a, F f) {
        if (!held || !same(a)) {
            result = f(a);
            arg = a;
            held = true;
        }
        return result;
    }
    bool same(Arg a) const {
        if constexpr (std::is_same_v<Arg, float>) return same_bits(a, arg);
        else return a == arg;
    }
};

// One vertical sub-step of a puff's centre zc and spread sigma_z (both in
// internal coordinates). Everything else it reads is fixed for the whole step,
// so its level lookups and per-level growth terms are pure functions of their
// arguments; from one sub-step to the next those mostly repeat, and the last
// result of each is reused.
struct VerticalSubStep {
    const Settings& s;
    const ParticleColumn& col;
    int32_t n;     // internal levels
    float depth2;  // square of the column depth
    float sub;     // sub-step length, s
    float top;     // zz(n)
    LastCall<float, int32_t> bottom_level, top_level;  // by zb, zt
    LastCall<int32_t, float> bottom_term, top_term;    // by kb, kt

    // The variance added over one sub-step at level k (internal coordinates).
    float growth_term(int32_t k) const {
        const float p = std::max(col.vertical_variance(k), 0.0f);
        return 2.0f * p * s.VSCALE * sub / depth2;
    }

    void operator()(float& zc, float& sigma_z) {
        const float zb = std::min(zc + kTopHat * sigma_z, 1.0f);
        const float zt = std::clamp(zc - kTopHat * sigma_z, 0.0f, 1.0f);
        const int32_t kb = bottom_level(zb, [&](float z) {
            return clamp_level(col.level_index_of_height(col.model_top * (1.0f - z)), n);
        });
        // The top level is the nearest one (clamped before rounding).
        const int32_t kt = top_level(zt, [&](float z) {
            float index = col.level_index_of_height(col.model_top * (1.0f - z));
            index = std::isfinite(index) ? std::clamp(index, 1.0f, static_cast<float>(n)) : 1.0f;
            return nearest_level(index);
        });
        const float gb = bottom_term(kb, [&](int32_t k) { return growth_term(k); });
        const float gt = top_term(kt, [&](int32_t k) { return growth_term(k); });
        const float s2 = sigma_z * sigma_z;
        const float zb2 = std::min(zc + kTopHat * std::sqrt(gb + s2), 1.0f);
        const float zt2 = std::max(zc - kTopHat * std::sqrt(gt + s2), top);
        sigma_z = (zb2 - zt2) / kTopHat * 0.5f;
        zc = (zb2 + zt2) * 0.5f;
    }
};

void vertical_growth(const Settings& s, const MetAtParticle& met, const ParticleColumn& col, float dt, float& zc,
                     float& sigma_z) {
    const int32_t n = col.level_count();
    if (n < 2) return;
    const VerticalSubSteps steps = vertical_sub_steps(col, dt, met.terrain_height, s.VSCALE);
    if (steps.count < 1) return;
    const float depth = col.model_top - met.terrain_height;
    VerticalSubStep sub_step{s, col, n, depth * depth, static_cast<float>(steps.length), col.zz(n), {}, {}, {}, {}};
    // A sub-step is a function of (zc, sigma_z) alone: once one gives both
    // back bit for bit, so would every later one, and the rest are skipped.
    for (int32_t step = 0; step < steps.count; ++step) {
        const float zc_before = zc, sigma_before = sigma_z;
        sub_step(zc, sigma_z);
        if (same_bits(zc, zc_before) && same_bits(sigma_z, sigma_before)) break;
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
