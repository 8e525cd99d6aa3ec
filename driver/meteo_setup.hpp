#pragma once
// The control input's first records and the meteorological set-up of a run:
// start time, starting locations and run values; the data files and the
// internal vertical grid; the resolved run start; the column profiles; the
// and the time-step spacing.

#include <istream>

#include "driver/run_context.hpp"

namespace orv {

// Records 1 to 8 of the control input. The run start goes into location 1;
// a control input without any starting location stops the run.
void read_run_control(RunContext& ctx, std::istream& keyboard);

// Opens every meteorological file (metini), which resolves the start of
// location 1 (from the data when its month is 0), and writes the grid and
// time count to the log.
void set_up_meteorology(RunContext& ctx);

// The run start: location 1's start as the data set-up resolved it, copied to
// every location, into `ctx.start` and `model_time`.
void fix_run_start(RunContext& ctx);

// The internal vertical grid with the level coordinates of every level
// (`sigma_profile`), the column profile and the per-level sums.
void set_up_vertical_grid(RunContext& ctx);

// The grid size of meteorological grid 1 at file 1, the first time-step
// spacing (km).
float first_time_step_spacing(const MeteoFiles& met);

}  // namespace orv
