#pragma once
// The turbulent displacement of one particle over one time step, after the
// mean-wind advection: a horizontal random walk with a Lagrangian memory of
// HSCALE seconds (three-dimensional particles only) and a vertical random
// walk with a memory of VSCALE seconds, in sub-steps short enough for the
// lowest layer, reflected at the ground and at the top internal level.

#include <cstdint>

#include "dispersion/dispersion_random.hpp"
#include "dispersion/particle_column.hpp"
#include "run/particle_arrays.hpp"
#include "run/settings.hpp"
#include "meteo/met_at_particle.hpp"

namespace orv {

// Moves entry i (0-based) of the particle arrays by one step of dt_minutes
// (negative in a backward run). What moves depends on the distribution mode of
// its type code: mode 0 both walks; modes 1, 2, 5, 6 nothing (no draws); every
// other mode the vertical walk only. Reads HSCALE and VSCALE; from the
// meteorology the horizontal variances (words 7 and 8), the grid distances
// (words 4 and 5), the terrain height and the level index.
void compute_particle_dispersion_step(const Settings& s, const MetAtParticle& met, const ParticleColumn& col,
                                      float dt_minutes, ParticleArrays& p, int32_t i, DispersionGenerator& gen);

}  // namespace orv
