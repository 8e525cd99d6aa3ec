#pragma once
// The Lagrangian samplers of "LAGSET.CFG" at set-up: the file read, each
// release point looked up on the meteorology at the start time to fix its
// grid, height and any prescribed motion.

#include "dispersion/lagrangian_samplers.hpp"
#include "run/settings.hpp"
#include "driver/source_setup.hpp"

namespace orv {

// Reads the samplers on the current grid and file, looks up each release
// point on the ground and places it; the prescribed sampler velocity goes to
// `shared_met`. Writes the closing notice when the file exists.
void set_up_samplers(LagrangianSamplers& ls, const Settings& s, float model_top, MetProbe& probe,
                     CurrentMet& current, MetAtParticle& shared_met);

}  // namespace orv
