#include "dispersion/puff_split.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "run/particle_types.hpp"

namespace orv {

namespace {


// Copies what a child takes from its parent unchanged.
void copy_parent(ParticleArrays& p, int32_t from, int32_t to) {
    p.particle_x[to] = p.particle_x[from];
    p.particle_y[to] = p.particle_y[from];
    p.particle_z[to] = p.particle_z[from];
    p.particle_sigma_h[to] = p.particle_sigma_h[from];
    p.particle_sigma_z[to] = p.particle_sigma_z[from];
    // Not used by puffs; carried along so that no child holds stale values.
    p.particle_turb_u[to] = p.particle_turb_u[from];
    p.particle_turb_v[to] = p.particle_turb_v[from];
    p.particle_hdwp[to] = p.particle_hdwp[from];
    p.particle_pollutant[to] = p.particle_pollutant[from];
    p.particle_grid[to] = p.particle_grid[from];
    p.particle_age[to] = std::abs(p.particle_age[from]);
}

void scale_mass(ParticleArrays& p, int32_t from, int32_t to, float share) {
    for (int32_t s = 0; s < p.maxdim; ++s) p.mass(s, to) = p.mass(s, from) * share;
}

void mark(ParticleArrays& p, int32_t i) { p.particle_age[i] = -std::abs(p.particle_age[i]); }

// An age at which vertical splitting is allowed: up to a day, then every
// third hour.
bool split_hour(int32_t age) {
    const int32_t h = std::abs(age) / 60;
    return h <= 24 || h % 3 == 0;
}

}  // namespace

int32_t split_puffs_vertically(ParticleArrays& p, std::span<const float> sigma_profile, int32_t limit) {
    const int32_t nlev = static_cast<int32_t>(sigma_profile.size());
    int32_t n = p.particle_count;
    if (limit <= n + nlev) return kSplitNoRoom;
    if (n < 1) return kSplitDone;
    int32_t status = kSplitDone;
    auto zz = [&](int32_t k) { return sigma_profile[static_cast<size_t>(k - 1)]; };
    const int32_t entries = n;
    for (int32_t i = 0; i < entries; ++i) {
        if (!split_hour(p.particle_age[i])) continue;
        const int32_t mode = distribution_mode(p.particle_hdwp[i]);
        if (p.particle_grid[i] < 1 || !is_vertical_puff(mode)) continue;
        const float z = p.particle_z[i], sz = p.particle_sigma_z[i];
        const float zt = std::max(z - kTopHat * sz, 0.0f);
        const float zb = std::min(z + kTopHat * sz, 1.0f);
        int32_t kb = 1, kt = nlev;
        for (int32_t j = 1; j <= nlev - 1; ++j) {
            if (zz(kb + 1) >= zb) ++kb;
            if (zz(kt - 1) <= zt) --kt;
        }
        const int32_t nk = kt - kb;
        if (nk >= 3 && n + nk <= limit) {
            const float dz = (zb - zt) / static_cast<float>(nk);
            const float share = 1.0f / static_cast<float>(nk);
            for (int32_t m = 1; m <= nk; ++m) {
                const int32_t q = n + m - 1;
                copy_parent(p, i, q);
                p.particle_z[q] = std::clamp(zb - (static_cast<float>(m) - 0.5f) * dz, 0.0f, 1.0f);
                p.particle_sigma_z[q] = dz / kTopHat * 0.5f;
                scale_mass(p, i, q, share);
                p.particle_sort_key[q] = q + 1;
            }
            p.particle_grid[i] = 0;
            n += nk;
        } else if (n + nk > limit) {
            status = kSplitMarked;
            mark(p, i);
        }
    }
    p.particle_count = n;
    return status;
}

int32_t pufsph(ParticleArrays& p, std::span<const float> grid_size_km, int32_t limit, float time_step_spacing,
               float SPLITF, PuffWork& work, TextOut& log) {
    int32_t n = p.particle_count;
    if (limit <= n + 5) return kSplitNoRoom;
    if (n < 1) return kSplitDone;
    // The cell size takes the factor's magnitude (a negative factor splits
    // as its magnitude does); a factor of 0 would make the cell size 0 and
    // place the children at infinity.
    if (!(std::fabs(SPLITF) > 0.0f)) {
        if (!work.split_factor_notice) {
            log.list(" NOTICE pufsph: split factor SPLITF is 0 - no horizontal splitting");
            work.split_factor_notice = true;
        }
        return kSplitDone;
    }
    static constexpr float ox[5] = {0.5f, 0.0f, -0.5f, 0.0f, 0.0f};
    static constexpr float oy[5] = {0.0f, -0.5f, 0.0f, 0.5f, 0.0f};
    int32_t status = kSplitDone;
    const int32_t entries = n;
    for (int32_t i = 0; i < entries; ++i) {
        const int32_t g = p.particle_grid[i];
        if (g < 1) continue;
        const int32_t mode = distribution_mode(p.particle_hdwp[i]);
        float extent, outer, centre;
        int32_t k;
        if (mode == kGaussianPuff || mode == kGaussianHorizontalPuff) {
            extent = 3.0f * p.particle_sigma_h[i];
            k = 5;
            outer = 0.1f;
            centre = 0.6f;
        } else if (mode == kTopHatPuff || mode == kTopHatHorizontalPuff) {
            extent = kTopHat * p.particle_sigma_h[i];
            k = 4;
            outer = centre = 0.25f;
        } else {
            continue;
        }
        const float grid_size = static_cast<size_t>(g) <= grid_size_km.size() ? grid_size_km[static_cast<size_t>(g - 1)]
                                                                               : 0.0f;
        const float cell = std::max(time_step_spacing, grid_size) * std::fabs(SPLITF) * 1000.0f;
        if (extent >= kTopHat * cell) {
            if (n + k < limit) {
                // The split factor only decides when to split: the outer
                // children lie half the parent's extent off its centre, in
                // metres on the puff's grid (Sg where the grid has no size).
                const float metres_per_unit = (grid_size > 0.0f ? grid_size : time_step_spacing) * 1000.0f;
                const float offset = extent / metres_per_unit;
                for (int32_t m = 1; m <= k; ++m) {
                    const int32_t q = n + m - 1;
                    copy_parent(p, i, q);
                    p.particle_x[q] = p.particle_x[i] + ox[m - 1] * offset;
                    p.particle_y[q] = p.particle_y[i] + oy[m - 1] * offset;
                    p.particle_sigma_h[q] = 0.5f * p.particle_sigma_h[i];
                    if (is_horizontal_puff(mode)) p.particle_sigma_z[q] = 0.0f;
                    scale_mass(p, i, q, m == 5 ? centre : outer);
                    p.particle_sort_key[q] = entries + m;
                }
                p.particle_grid[i] = 0;
                n += k;
            } else {
                status = kSplitMarked;
                mark(p, i);
            }
        } else if (n + k >= limit) {
            status = kSplitMarked;
            mark(p, i);
        }
    }
    p.particle_count = n;
    return status;
}

}  // namespace orv
