#pragma once
// The growth of one puff's horizontal and vertical spread over one time step.

#include <cstdint>

#include "dispersion/particle_column.hpp"
#include "run/particle_arrays.hpp"
#include "run/settings.hpp"
#include "meteo/met_at_particle.hpp"

namespace orv {

// Grows entry i (0-based) over a step of dt_minutes. By distribution mode:
// 1, 2 and unknown modes grow in both directions, 3 and 4 horizontally only,
// 0, 5 and 6 not at all; an entry with a negative age does not grow. KPUFF 0
// grows sigma_h linearly in time; otherwise with a factor that falls with age.
// The vertical spread grows from the vertical turbulence value P of the
// profile (a velocity variance) at the puff's bottom and top levels.
void compute_puff_growth_step(const Settings& s, const MetAtParticle& met, const ParticleColumn& col,
                              float dt_minutes, ParticleArrays& p, int32_t i);

}  // namespace orv
