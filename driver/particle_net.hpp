#pragma once
// The net under the particle state: at the end of each time step every
// active particle must hold a position, a height and spreads that are finite
// numbers. One that does not (meteorology or settings beyond what the run's
// single precision can carry) stops the run before the step's outputs.

#include "common/messages.hpp"
#include "run/calendar.hpp"
#include "run/particle_arrays.hpp"

namespace orv {

// Stops the run with code 900, with a line naming the first such particle,
// what of it is not finite and the step's start time on the console and in
// the log.
void stop_on_non_finite_particle(const ParticleArrays& p, const CalendarDate& step_start, Messages msg);

}  // namespace orv
