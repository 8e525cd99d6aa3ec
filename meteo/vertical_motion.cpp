#include "meteo/vertical_motion.hpp"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

constexpr float kLimit = 0.005f;  // internal coordinate per minute

// Edges copy their inner neighbours, scaled (1 for the constant-surface
// options, 0.5 for divergence and terrain correction).
void fill_edges(const VerticalMotionFields& f, int32_t k, float scale) {
    const int32_t nx = f.nx, ny = f.ny;
    if (ny >= 2) {
        for (int32_t i = 2; i <= nx - 1; ++i) {
            f.w.at(i, 1, k) = scale * f.w.at(i, 2, k);
            f.w.at(i, ny, k) = scale * f.w.at(i, ny - 1, k);
        }
    }
    if (nx >= 2) {
        for (int32_t j = 1; j <= ny; ++j) {
            f.w.at(1, j, k) = scale * f.w.at(2, j, k);
            f.w.at(nx, j, k) = scale * f.w.at(nx - 1, j, k);
        }
    }
}

// Velocity through a surface of constant F (F by slot 0 = a, 1 = b).
template <typename Field>
void constant_surface_velocity(const VerticalMotionFields& f, Field F) {
    const int32_t n = f.nlvl;
    const auto Z = [&](int32_t k) { return f.sigma[static_cast<size_t>(k - 1)]; };
    for (int32_t k = 1; k <= n; ++k) {
        const int32_t kl = k == 1 ? 1 : k - 1, ku = k == n ? n : k + 1;
        for (int32_t j = 2; j <= f.ny - 1; ++j) {
            for (int32_t i = 2; i <= f.nx - 1; ++i) {
                const float gradient = (F(1, i, j, ku) - F(1, i, j, kl)) / (Z(ku) - Z(kl));
                if (gradient == 0.0f || !std::isfinite(gradient)) continue;
                const float fx = 0.5f * (F(1, i + 1, j, k) - F(1, i - 1, j, k));
                const float fy = 0.5f * (F(1, i, j + 1, k) - F(1, i, j - 1, k));
                const float ft = f.dt != 0.0f ? (F(1, i, j, k) - F(0, i, j, k)) / f.dt : 0.0f;
                const float w = -(f.u.at(i, j, k) * fx + f.v.at(i, j, k) * fy + ft) / gradient;
                f.w.at(i, j, k) = std::clamp(w, -kLimit, kLimit);
            }
        }
        fill_edges(f, k, 1.0f);
    }
}

void divergence(const VerticalMotionFields& f) {
    const int32_t n = f.nlvl;
    const auto Z = [&](int32_t k) { return f.sigma[static_cast<size_t>(k - 1)]; };
    for (int32_t j = 1; j <= f.ny; ++j)
        for (int32_t i = 1; i <= f.nx; ++i)
            for (int32_t k = 1; k <= n; ++k) f.w.at(i, j, k) = 0.0f;
    for (int32_t j = 2; j <= f.ny - 1; ++j) {
        for (int32_t i = 2; i <= f.nx - 1; ++i) {
            float s = 0.0f;
            for (int32_t k = 1; k <= n; ++k) {
                const float d = 0.5f * (f.u.at(i + 1, j, k) - f.u.at(i - 1, j, k)) +
                                0.5f * (f.v.at(i, j + 1, k) - f.v.at(i, j - 1, k));
                s += d;
                float dz;
                if (k == 1) dz = Z(1) - 1.0f;
                else if (k == n) dz = Z(n) - Z(n - 1);
                else dz = 0.5f * (Z(k + 1) - Z(k - 1));
                f.w.at(i, j, k) = -dz * s;
            }
        }
    }
    for (int32_t k = 1; k <= n; ++k) fill_edges(f, k, 0.5f);
}

void terrain_correction(const VerticalMotionFields& f) {
    const int32_t n = f.nlvl;
    for (int32_t j = 2; j <= f.ny - 1; ++j) {
        for (int32_t i = 2; i <= f.nx - 1; ++i) {
            const FieldView2D& h = f.terrain;
            const float r = (0.5f * (h.at(i + 1, j) - h.at(i - 1, j)) * f.u.at(i, j, 1) +
                             0.5f * (h.at(i, j + 1) - h.at(i, j - 1)) * f.v.at(i, j, 1)) /
                            (f.model_top - h.at(i, j));
            for (int32_t k = 1; k <= n; ++k) f.w.at(i, j, k) += f.sigma[static_cast<size_t>(k - 1)] * r;
        }
    }
    for (int32_t k = 1; k <= n; ++k) fill_edges(f, k, 0.5f);
}

}  // namespace

void metwnd(int32_t option, const VerticalMotionFields& f) {
    switch (option) {
        case 1:
            constant_surface_velocity(f, [&](int s, int32_t i, int32_t j, int32_t k) {
                return (s == 0 ? f.pressure_a : f.pressure_b).at(i, j, k);
            });
            return;
        case 2:
            constant_surface_velocity(f, [&](int s, int32_t i, int32_t j, int32_t k) {
                return (s == 0 ? f.theta_a : f.theta_b).at(i, j, k);
            });
            return;
        case 3:
            constant_surface_velocity(f, [&](int s, int32_t i, int32_t j, int32_t k) {
                const float p = (s == 0 ? f.pressure_a : f.pressure_b).at(i, j, k);
                const float t = (s == 0 ? f.temperature_a : f.temperature_b).at(i, j, k);
                return 100.0f * p / (287.04f * t);
            });
            return;
        case 4:
            for (int32_t j = 1; j <= f.ny; ++j)
                for (int32_t i = 1; i <= f.nx; ++i)
                    for (int32_t k = 1; k <= f.nlvl; ++k) f.w.at(i, j, k) = 0.0f;
            return;
        case 5: divergence(f); return;
        case 6: terrain_correction(f); return;
        default: return;
    }
}

VerticalMotionFields vertical_motion_fields(MetSubgridArrays& a, int32_t kg, int32_t slot,
                                            std::span<const float> sigma, float model_top) {
    const MetGridWindow& w = a.window(kg);
    const int32_t sa = a.time_slots[0], sb = a.time_slots[1];
    VerticalMotionFields f;
    f.nx = w.nx;
    f.ny = w.ny;
    f.nlvl = std::min(a.nz, static_cast<int32_t>(sigma.size()));
    f.sigma = sigma;
    f.model_top = model_top;
    f.terrain = a.fixed_fields(kg).terrain_height;
    f.u = a.field3(kMetU, kg, slot);
    f.v = a.field3(kMetV, kg, slot);
    f.w = a.field3(kMetW, kg, slot);
    f.pressure_a = a.field3(kMetPressure, kg, sa);
    f.pressure_b = a.field3(kMetPressure, kg, sb);
    f.theta_a = a.field3(kMetPotentialTemperature, kg, sa);
    f.theta_b = a.field3(kMetPotentialTemperature, kg, sb);
    f.temperature_a = a.field3(kMetTemperature, kg, sa);
    f.temperature_b = a.field3(kMetTemperature, kg, sb);
    f.dt = static_cast<float>(a.request_times[1] - a.request_times[0]);
    return f;
}

}  // namespace orv
