#pragma once
// The vertical column a particle sees in one step: the profile rows that the
// particle advance filled for it, the internal level coordinates, the
// level-height coefficients and the model top. The driver builds it once and
// hands it to the random walk and the puff growth of every particle.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

#include "meteo/met_at_particle.hpp"
#include "meteo/vertical_grid.hpp"

namespace orv {

struct ParticleColumn {
    std::span<const ProfileRow> profile;   // internal levels 1..N at the particle
    std::span<const float> sigma_profile;  // zz(1..N): 1 at the ground, decreasing upwards
    const InternalVerticalGrid& levels;    // aa, bb, cc of the level heights
    float model_top = 0.0f;                // m

    // N, the number of internal levels both arrays cover.
    int32_t level_count() const {
        return static_cast<int32_t>(std::min(profile.size(), sigma_profile.size()));
    }
    // zz(k) and the vertical turbulence value P(k), k counted from 1.
    float zz(int32_t k) const { return sigma_profile[static_cast<size_t>(k - 1)]; }
    float vertical_variance(int32_t k) const { return profile[static_cast<size_t>(k - 1)].turbulence_3; }

    // The real-valued level index of a height above ground (m), from the
    // inverse of the level-height formula; 1.0 when it has no real root.
    float level_index_of_height(float h) const {
        const float aa = levels.aa, bb = levels.bb, cc = levels.cc;
        float d = bb * bb - 4.0f * aa * (cc - h);
        return d >= 0.0f ? (std::sqrt(d) - bb) / (2.0f * aa) : 1.0f;
    }
};

// The whole-number part of a real level index, limited to 1..n (a
// non-finite index gives 1).
inline int32_t clamp_level(float index, int32_t n) {
    if (!(index >= 1.0f)) return 1;
    if (index >= static_cast<float>(n)) return n;
    return static_cast<int32_t>(index);
}

// Sub-stepping of the vertical motion: the step length (s) and count that
// keep a sub-step within the time a particle needs to cross the lowest layer.
struct VerticalSubSteps {
    int32_t length = 1;  // s
    int32_t count = 0;
};
VerticalSubSteps vertical_sub_steps(const ParticleColumn& col, float dt_seconds, float terrain_height,
                                    float vscale);

}  // namespace orv
