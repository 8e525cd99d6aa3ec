#pragma once
// The length of the time step: chosen at the start of every hour from the
// fastest transport of the previous hour, the meteorological grid spacing,
// the sampling intervals of the concentration grids and the data interval,
// unless the settings fix it (DELT); with it the number of steps in the hour
// and the ageing of a particle by one step.

#include <cstdint>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/concentration_grids.hpp"
#include "run/settings.hpp"

namespace orv {

// What the automatic rule looks at.
struct TimeStepInputs {
    float hour_max_speed = 1.2f;     // fastest transport of the previous hour, km per minute
    float time_step_spacing = 0.0f;  // grid size of the current meteorological grid, km
    int32_t sampling_interval = 0;   // smallest sampling interval of the concentration grids, minutes
    int32_t data_interval = 0;       // data interval of the meteorological file, minutes
};

// The smallest sampling interval (minutes) of the grids; INT32_MAX without
// any grid.
int32_t smallest_sampling_interval(const std::vector<ConcentrationGrid>& grids);

// The automatic step in whole minutes: TRATIO x spacing / speed, limited by
// the sampling and data intervals (at most 60) and lowered until it divides
// that limit. A speed of 0 or less counts as 1.2 km per minute.
int32_t automatic_time_step(float TRATIO, const TimeStepInputs& in);

// The signed step length (minutes) of the hour: |DELT| when DELT is set,
// else the automatic step; negative in a backward run.
float choose_time_step(const Settings& s, bool backward, const TimeStepInputs& in);

// The whole minutes the clock advances per step (truncated toward zero).
int32_t whole_step_minutes(float time_step);

// The number of steps in an hour: 60 divided by the whole step minutes
// (integer division, magnitude), 0 for a step longer than an hour.
int32_t steps_per_hour(float time_step);

// The age after one more step of `time_step` minutes: the magnitude grows by
// the whole step minutes and the sign is kept (a negative age marks a puff
// that may split no further), in both run directions.
int32_t aged(int32_t age, float time_step);

// A fixed step that does not divide the hour makes the model clock drift
// from the hour count, so that outputs due on the hour (concentration
// periods, receptor sums) may never fall due: one warning on the console and
// in the message log.
void warn_time_step_drift(const Settings& s, Messages msg);

}  // namespace orv
