#pragma once
// The mass of every particle summed per internal level during a time step,
// for the progress notice and the vertical distribution table.

#include <cstdint>
#include <span>

#include "common/messages.hpp"
#include "run/calendar.hpp"
#include "meteo/vertical_grid.hpp"

namespace orv {

// The per-level sums of one time step.
struct LevelMass {
    std::span<float> level_diagnostics;  // levels 1..nlvl
    float step_mass_total = 0.0f;

    void clear();
};

// The internal level (1..nlvl) of the level index the meteorology gives at
// the particle: its nearest whole number, clamped.
int32_t particle_level(float level_index, int32_t nlvl);

// The internal level (1..nlvl) of a height above ground (m): the nearest
// whole number of the inverse of the level-height formula (1 when it has no
// real root), clamped.
int32_t level_of_height(const InternalVerticalGrid& grid, float height);

// Where a particle's mass goes: a puff run (mode 1 or 2) spreads it over the
// levels from the puff's bottom to its top (1.54 sigma_z each way), any
// other run puts it on the particle's level.
struct LevelSpan {
    int32_t bottom = 1;
    int32_t top = 1;
};
LevelSpan particle_level_span(const InternalVerticalGrid& grid, float model_top, int32_t run_mode, float z,
                              float sigma_z, int32_t level);

// Adds `total` evenly over the span's levels and to the step total.
void add_level_mass(LevelMass& sums, LevelSpan span, float total);

// The net under the largest masses and rates the run takes: a step total
// that is not a finite number (masses that overflowed single precision on
// the way) stops the run with code 900 before it reaches an output, with a
// line naming the step's start time on the console and in the log.
void stop_on_non_finite_mass_total(const LevelMass& sums, const CalendarDate& step_start, Messages msg);

}  // namespace orv
