#include "meteo/stability.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/run_stop.hpp"

namespace orv {

namespace {

constexpr float kThird = 0.3333f;
constexpr float kLeastRoughness = 1.0e-4f;  // m, keeps the log-law finite

float sign_of(float magnitude, float sign) { return sign < 0.0f ? -std::fabs(magnitude) : std::fabs(magnitude); }

// Nearest whole metre; heights are far inside the integer range.
long whole_metres(float z) { return std::isfinite(z) ? std::lround(std::clamp(z, -1.0e9f, 1.0e9f)) : 0; }

// Profile functions for momentum and heat at a stability zeta.
float phi_m(float zeta) {
    if (zeta < 0.0f) return std::pow((1.0f + 0.625f * zeta * zeta) / (1.0f - 7.5f * zeta), kThird);
    const float beta = (6.0f - 0.35f * zeta) * std::exp(-0.35f * zeta) * 0.66667f;
    return (1.0f + beta) * zeta + 1.0f;
}

float phi_h(float zeta) {
    if (zeta < 0.0f)
        return 0.64f * std::pow((3.0f - 2.5f * zeta) / (1.0f - 10.0f * zeta + 50.0f * zeta * zeta), kThird);
    const float beta = (6.0f - 0.35f * zeta) * std::exp(-0.35f * zeta) * 0.66667f;
    return ((beta + std::sqrt(1.0f + 0.66667f * zeta)) * zeta + 1.0f) * 0.923f;
}

[[noreturn]] void no_observed_data(const ColumnProfile& c, int32_t kobs, int32_t i, int32_t j, Messages msg) {
    msg.console.list("Error: stbanl - no observed data, see MESSAGE file");
    msg.log.list("Error: stbanl - no observed data to match internal levels");
    msg.log.list("Number of vertical levels (internal, data): ", c.nlvl, kobs);
    msg.log.list("At horizontal grid position (i,j): ", i, j);
    msg.log.list("Level   Height  Temperature");
    for (int32_t k = c.nlvl; k >= 1; --k) msg.log.list(k, c.z[k], c.theta[k]);
    throw RunStop(kStopInput);
}

// Mixed-layer depth by the rule the settings and data choose.
float mixed_layer_depth(const TurbulenceOptions& o, const MeteoDataFlags& flags, const ColumnProfile& c,
                        float data_depth) {
    const int32_t n = c.nlvl;
    float zi;
    if (flags.mixed_layer_depth && o.kmixd == 0) {
        zi = data_depth;
    } else if (flags.tke && o.kmixd == 2) {
        zi = c.z[n];
        for (int32_t k = 1; k <= n - 1; ++k) {
            if (2.0f * c.e1[k + 1] < c.e1[k] || c.e1[k + 1] <= 0.21f) {
                zi = c.z[k];
                break;
            }
        }
    } else if (o.kmixd < 10) {
        float tmin = c.theta[1];
        for (int32_t k = 2; k <= n; ++k) tmin = std::min(tmin, c.theta[k]);
        zi = c.z[1];
        for (int32_t k = 1; k <= n; ++k)
            if (c.theta[k] <= tmin + 2.0f) zi = c.z[k];
    } else {
        zi = static_cast<float>(o.kmixd);
    }
    return std::max(zi, static_cast<float>(o.kmix0));
}

// Friction velocity and temperature scale from the data's fluxes.
void by_fluxes(const MeteoDataFlags& flags, const ColumnProfile& c, int32_t kb, int32_t ks,
               const StabilitySurface& s, StabilityState& st) {
    const float ub = c.u[kb], vb = c.v[kb];
    if (flags.friction_velocity) {
        st.ustar = std::max(s.momentum_x, 0.0001f);
        const float speed = std::sqrt(ub * ub + vb * vb);
        if (speed > 0.0f) {
            st.ustar_x = ub * st.ustar / speed;
            st.ustar_y = vb * st.ustar / speed;
        } else {
            // Calm at the reference level: no direction to give it.
            st.ustar_x = 0.707107f * st.ustar;
            st.ustar_y = 0.707107f * st.ustar;
        }
    } else if (flags.momentum_flux) {
        st.ustar_x = sign_of(std::max(std::sqrt(std::fabs(s.momentum_x) / c.rho[kb]), 0.01f), s.momentum_x);
        st.ustar_y = sign_of(std::max(std::sqrt(std::fabs(s.momentum_y) / c.rho[kb]), 0.01f), s.momentum_y);
        st.ustar = std::sqrt(st.ustar_x * st.ustar_x + st.ustar_y * st.ustar_y);
    } else {
        const float exco = std::fabs(s.momentum_x);
        st.ustar_x = sign_of(std::max(std::sqrt(std::fabs(ub) * exco / c.rho[kb]), 0.01f), ub);
        st.ustar_y = sign_of(std::max(std::sqrt(std::fabs(vb) * exco / c.rho[kb]), 0.01f), vb);
        st.ustar = std::sqrt(st.ustar_x * st.ustar_x + st.ustar_y * st.ustar_y);
    }
    if (!flags.friction_temperature) {
        const float h = std::max(s.heat, -25.0f);
        const float t = std::max(std::fabs(h / (c.rho[ks] * kSpecificHeat * st.ustar)), 0.0001f);
        st.tstar = h > 0.0f ? -t : t;
    } else {
        st.tstar = sign_of(std::max(std::fabs(s.heat), 0.0001f), s.heat);
    }
}

// Friction velocity and temperature scale from the wind and temperature
// profiles (bulk Richardson number between level 1 and the reference level).
void by_profiles(const ColumnProfile& c, int32_t kb, float zk, float z0, StabilityState& st) {
    const float dz = c.z[kb] - c.z[1];
    const float dtheta = c.theta[kb] - c.theta[1];
    const float tbar = 0.5f * (c.theta[1] + c.theta[kb]);
    const float du = c.u[kb] - c.u[1], dv = c.v[kb] - c.v[1];
    const float s2 = std::max(du * du + dv * dv, 0.0001f);
    float ri = (dz * kGravity * dtheta / tbar / s2) / (c.z[kb] * c.z[kb] / (zk * zk));
    ri = std::clamp(ri, -1.0f, 1.0f);

    const float a = std::log(zk / z0 + 1.0f);
    const float b = std::log(zk / (0.1f * z0) + 1.0f);
    const float ln10 = std::log(10.0f);
    float zeta;
    if (ri <= 0.0f)
        zeta = (a * a / b - 0.5f) * ri;
    else if (ri >= 0.08f)
        zeta = (1.185f * a - 1.37f - 1.5f * ln10) * ri + (0.005f * a + 41.2f) * ri * ri;
    else
        zeta = (std::sqrt(b * b + 20.0f * a * a * ri - 20.0f * a * b * ri) + 10.0f * a * ri - b) /
               (10.0f * (1.0f - 5.0f * ri));
    zeta = sign_of(zeta, ri);

    st.ustar = std::sqrt(s2) * zk * kVonKarman / (phi_m(zeta) * dz);
    st.tstar = zk * kVonKarman * dtheta / (phi_h(zeta) * dz);
    st.ustar_x = 0.707107f * st.ustar;
    st.ustar_y = 0.707107f * st.ustar;
}

// Diffusivity above the mixed layer (or at its top in convective air), from
// the local gradient Richardson number between level k and the level below
// (the ground, with the level's own potential temperature and no wind, below
// level 1).
float free_troposphere_diffusivity(const ColumnProfile& c, int32_t k, const StabilityState& st, bool cap) {
    const float z = c.z[k];
    const float zb = k > 1 ? c.z[k - 1] : 0.0f;
    const float tb = k > 1 ? c.theta[k - 1] : c.theta[k];
    const float ub = k > 1 ? c.u[k - 1] : 0.0f;
    const float vb = k > 1 ? c.v[k - 1] : 0.0f;
    if (whole_metres(z) != whole_metres(st.mixed_layer_depth) || st.wstar <= 0.0f) {
        const float dz = z - zb;
        const float du = c.u[k] - ub, dv = c.v[k] - vb;
        const float s2 = std::max(du * du + dv * dv, 0.1f);
        const float ri = std::clamp((c.theta[k] - tb) * dz * kGravity / s2 / tb, 0.0f, 20.0f);
        float f = ri > 0.001f ? (((-0.0010063f * ri + 0.00509f) * ri + 1.6583f) * ri + 0.8049f) * ri + 0.0002828f
                              : 1.0893f * ri;
        if (cap) f = std::min(f, 256.0f);
        const float len = 1.0f / (2.5f / z + 0.006666667f);
        return std::fabs(std::sqrt(s2) / dz) * len * len / phi_h(f);
    }
    const float gradient = (c.theta[k] - tb) / (z - zb);
    return -0.4f * st.tstar * st.ustar / std::max(gradient, 0.1f);
}

bool in_surface_layer(float z, float zsl) { return whole_metres(z) <= whole_metres(zsl); }

// The averaging or scaling of the vertical variance chosen by KZMIX, over
// the mixed layer (levels 1..kml) or above it.
void apply_kzmix(const TurbulenceOptions& o, ColumnProfile& c, int32_t kml, float mixed_mean) {
    const int32_t n = c.nlvl;
    switch (o.kzmix) {
        case 1:
            for (int32_t k = 1; k <= kml; ++k) c.e3[k] = mixed_mean;
            break;
        case 2:
            for (int32_t k = 1; k <= kml; ++k) c.e3[k] *= o.tvmix;
            break;
        case 3:
            for (int32_t k = std::min(kml + 1, n); k <= n; ++k) c.e3[k] *= o.tvmix;
            break;
        default:
            break;
    }
}

bool night(const TurbulenceOptions& o, const StabilityState& st) {
    return o.tkern > o.tkerd && st.obukhov_length >= 0.0f;
}

float surface_layer_top(const TurbulenceOptions& o, const ColumnProfile& c, const StabilityState& st) {
    const int32_t ks = std::clamp(o.surface_layer_level, 1, c.nlvl);
    return std::max(c.z[ks], 0.1f * st.mixed_layer_depth);
}

}  // namespace

float saturation_vapour_pressure(float t) { return std::exp(21.4f - 5351.0f / t); }

StabilityState stbanl(const TurbulenceOptions& o, const MeteoDataFlags& flags, int32_t i, int32_t j,
                      ColumnProfile& c, StabilitySurface& s, Messages msg) {
    const int32_t n = c.nlvl;
    // 1. Levels below the lowest data level carry no observed data.
    int32_t below = 0;
    while (below < n && c.z[below + 1] < 0.0f) {
        c.z[below + 1] = -c.z[below + 1];
        ++below;
    }
    const int32_t kobs = below + 1;
    if (kobs >= n) no_observed_data(c, kobs, i, j, msg);

    // 2. Reference levels.
    const int32_t ks = std::clamp(o.surface_layer_level, 1, n);
    const int32_t kb = std::min(std::max({2, kobs, ks}), n);
    const float zk = c.z[ks], thk = c.theta[ks];
    const float z0 = std::max(s.roughness, kLeastRoughness);

    // 3. Mixed-layer depth.
    StabilityState st;
    st.mixed_layer_depth = mixed_layer_depth(o, flags, c, s.mixed_layer_depth);

    // 4-5. Friction velocity and temperature scale.
    const bool momentum = flags.friction_velocity || flags.momentum_flux || flags.exchange_coefficient;
    const bool heat = flags.heat_flux || flags.friction_temperature;
    if (o.kbls == 1 && momentum && heat)
        by_fluxes(flags, c, kb, ks, s, st);
    else
        by_profiles(c, kb, zk, z0, st);
    float zeta = zk * kVonKarman * kGravity * st.tstar / (st.ustar * st.ustar * thk);

    // 6. Stability.
    zeta = std::isfinite(zeta) ? std::clamp(zeta, -2.0f, 15.0f) : 15.0f;
    if (zeta == 0.0f) zeta = 0.001f;
    st.obukhov_length = zk / zeta;
    if (zeta >= 0.0f) {
        st.wstar = 0.0f;
        st.psi_h = -std::pow(1.0f + 0.66667f * zeta, 1.5f) - 9.523858f + 1.0f -
                   (zeta - 14.285714f) * 0.66667f * std::exp(-0.35f * zeta);
    } else {
        if (zeta >= -0.001f)
            st.psi_h = -2.7283f * zeta;
        else
            st.psi_h = (((-0.1765f * zeta - 0.9859f) * zeta - 2.1551f) * zeta - 2.7188f) * zeta + 0.00001164f;
        st.wstar = std::pow(std::fabs(kGravity * st.ustar * st.tstar * st.mixed_layer_depth / thk), kThird);
    }

    // 7. Outputs.
    const float tbar = 0.5f * (c.theta[1] + c.theta[kb]);
    s.momentum_x = st.ustar_x;
    s.momentum_y = st.ustar_y;
    s.mixed_layer_depth = st.mixed_layer_depth;
    s.stability_1 = st.psi_h;
    s.stability_2 = kGravity * (c.theta[kb] - c.theta[1]) / (tbar * (c.z[kb] - c.z[1]));
    return st;
}

void compute_turbulence_method_1(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st) {
    const int32_t n = c.nlvl;
    const float zi = st.mixed_layer_depth, L = st.obukhov_length;
    const float zsl = surface_layer_top(o, c, st);
    const float wm = std::pow(st.ustar * st.ustar * st.ustar + 0.6f * st.wstar * st.wstar * st.wstar, kThird);
    float pm = 1.0f, ph = 1.0f;  // profile functions of the last surface-layer level
    float sum = 0.0f;
    int32_t count = 0, kml = 0;
    for (int32_t k = 1; k <= n; ++k) {
        const float z = c.z[k];
        float K;
        if (z < zi) {
            const float zeta = std::clamp(z / L, -2.0f, 10.0f);
            if (in_surface_layer(z, zsl)) {
                pm = phi_m(zeta);
                ph = phi_h(zeta);
                K = kVonKarman * st.ustar * z / ph;
            } else {
                K = kVonKarman * z * wm / (ph / pm + 2.88f * z * st.wstar / (zi * wm));
            }
            const float r = 1.0f - z / zi;
            K *= r * r;
            sum += K;
            ++count;
            kml = k;
        } else {
            K = free_troposphere_diffusivity(c, k, st, true);
        }
        K = std::clamp(K, 0.01f, 200.0f);
        c.e3[k] = K / o.vscale;
        split_horizontal_variance(K / o.vscale, c.u[k], c.v[k], c.e1[k], c.e2[k]);
    }
    apply_kzmix(o, c, kml, count > 0 ? sum / static_cast<float>(count) / o.vscale : 0.0f);
    if (night(o, st))
        for (int32_t k = 1; k <= n; ++k) c.e3[k] *= 1.4f;
}

void compute_turbulence_method_2(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st) {
    const int32_t n = c.nlvl;
    const float zi = st.mixed_layer_depth, L = st.obukhov_length;
    const float us2 = st.ustar * st.ustar, ws2 = st.wstar * st.wstar;
    const float zsl = surface_layer_top(o, c, st);
    int32_t kml = 0;
    for (int32_t k = 1; k <= n; ++k) {
        const float z = c.z[k];
        float sw, h;
        if (in_surface_layer(z, zsl)) {
            if (L < 0.0f) {
                sw = 1.74f * us2 * std::pow(1.0f - 3.0f * z / L, 0.67f);
                h = 0.72f * ws2;
            } else {
                sw = 1.7f * us2;
                h = 9.0f * us2;
            }
            kml = k;
        } else if (z < zi) {
            const float s = z / zi;
            if (L < 0.0f) {
                sw = 1.17f * ws2 * std::pow(s - s * s, 0.67f);
                h = 0.72f * ws2;
            } else {
                const float r = std::pow(1.0f - s, 1.5f);
                sw = 1.7f * us2 * r;
                h = 9.0f * us2 * r;
            }
            kml = k;
        } else {
            const float K = free_troposphere_diffusivity(c, k, st, false);
            if (K < 0.0f) {
                sw = c.e3[k];
                h = c.e1[k] + c.e2[k];
            } else {
                sw = std::clamp(K, 0.01f, 200.0f) / o.vscale;
                h = sw;
            }
        }
        c.e3[k] = sw;
        split_horizontal_variance(h, c.u[k], c.v[k], c.e1[k], c.e2[k]);
    }
    float mean = 0.0f;
    for (int32_t k = 1; k <= kml; ++k) mean += c.e3[k];
    apply_kzmix(o, c, kml, kml > 0 ? mean / static_cast<float>(kml) : 0.0f);
    if (night(o, st)) {
        for (int32_t k = 1; k <= n; ++k) {
            c.e1[k] *= 1.4f;
            c.e2[k] *= 1.4f;
            c.e3[k] *= 1.4f;
        }
    }
}

void compute_turbulence_method_3(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st) {
    const int32_t n = c.nlvl;
    const float zi = st.mixed_layer_depth, L = st.obukhov_length;
    const float factor = night(o, st) ? 1.4f : 1.0f;
    int32_t kml = 0;
    if (o.tkerd > 0.0f && o.tkern >= 0.0f) {
        const float r = L >= 0.0f ? o.tkern : o.tkerd;
        for (int32_t k = 1; k <= n; ++k) {
            const float e = c.e1[k] * factor;
            const float sw = 2.0f * e / (1.0f / r + 1.0f);
            c.e3[k] = sw;
            c.e1[k] = sw / (2.0f * r);
            c.e2[k] = c.e1[k];
        }
    } else {
        const float zsl = surface_layer_top(o, c, st);
        const float ratio = st.ustar > 0.0f ? st.wstar * st.wstar / (st.ustar * st.ustar) : 0.0f;
        for (int32_t k = 1; k <= n; ++k) {
            const float z = c.z[k], e = c.e1[k] * factor;
            const bool surface = in_surface_layer(z, zsl);
            if (surface || z < zi) {
                kml = k;
                if (L < 0.0f) {
                    float a;
                    if (surface) {
                        a = ratio * 0.41f / std::pow(1.0f - 3.0f * z / L, 0.67f);
                    } else {
                        const float s = z / zi;
                        a = 0.61f / std::pow(s, 0.67f) / std::pow(1.0f - s, 0.67f);
                    }
                    const float sw = 2.0f * e / (1.0f + a);
                    c.e3[k] = sw;
                    c.e1[k] = a * sw / 2.0f;
                    c.e2[k] = c.e1[k];
                } else {
                    c.e1[k] = 0.85f * e;
                    c.e2[k] = 0.74f * e;
                    c.e3[k] = 0.32f * e;
                }
            } else {
                c.e1[k] = 2.0f * e / 3.0f;
                c.e2[k] = c.e1[k];
                c.e3[k] = c.e1[k];
            }
        }
    }
    for (int32_t k = 1; k <= n; ++k) split_horizontal_variance(c.e1[k] + c.e2[k], c.u[k], c.v[k], c.e1[k], c.e2[k]);
    float mean = 0.0f;
    for (int32_t k = 1; k <= kml; ++k) mean += c.e3[k];
    apply_kzmix(o, c, kml, kml > 0 ? mean / static_cast<float>(kml) : 0.0f);
}

void compute_turbulence(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st, TextOut& console) {
    switch (o.kblt) {
        case 1: compute_turbulence_method_1(o, c, st); return;
        case 2: compute_turbulence_method_2(o, c, st); return;
        case 3: compute_turbulence_method_3(o, c, st); return;
        case 4: return;
        default:
            console.list("*ERROR* prfcom: turbulence method undefined");
            console.list(" Unknown selection: ", o.kblt);
            throw RunStop(kStopInput);
    }
}

void compute_horizontal_mixing_from_deformation(int32_t nxs, int32_t nys, int32_t nlvl, const FieldView2D& gx,
                                                const FieldView2D& gy, const FieldView3D& u, const FieldView3D& v,
                                                const FieldView3D& e1, const FieldView3D& e2) {
    for (int32_t k = 1; k <= nlvl; ++k) {
        for (int32_t j = 1; j <= nys; ++j) {
            const int32_t jm = std::max(j - 1, 1), jp = std::min(j + 1, nys);
            for (int32_t i = 1; i <= nxs; ++i) {
                const int32_t im = std::max(i - 1, 1), ip = std::min(i + 1, nxs);
                const float ds = (v.at(ip, j, k) - v.at(im, j, k)) + (u.at(i, jp, k) - u.at(i, jm, k));
                const float dt = (u.at(ip, j, k) - u.at(im, j, k)) - (v.at(i, jp, k) - v.at(i, jm, k));
                float kh = gx.at(i, j) * gy.at(i, j) * 0.014f * std::sqrt(ds * ds + dt * dt) * 0.5f / 60.0f;
                kh = std::clamp(kh, 432.0f, 43200.0f);
                split_horizontal_variance(kh / 10800.0f, u.at(i, j, k), v.at(i, j, k), e1.at(i, j, k),
                                          e2.at(i, j, k));
            }
        }
    }
}

}  // namespace orv
