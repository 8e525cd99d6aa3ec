#pragma once
// The concentration side of the set-up: the grid definitions of the control
// input, the last grid of each sampling type, the concentration array shared
// by all grids, the concentration files with their headers, and the particle
// count at which puffs stop splitting.

#include <cstdint>
#include <vector>

#include "dispersion/concentration_array.hpp"
#include "driver/run_context.hpp"

namespace orv {

// The grid count and definitions (conset may lower the time-step spacing),
// the last grid of each sampling type, and the concentration array (with
// ICHEM 4 at least the size of meteorological grid 1, which must be the only
// grid).
void read_concentration_grids(RunContext& ctx);

// Opens the concentration files and writes their headers.
void open_concentration_files(RunContext& ctx);

// The particle count the split routines must not exceed: with Gaussian or
// top-hat puffs MAXPAR less the releases of pollutant 1 (locations x 60 x
// |emission hours|), within 1..MAXPAR; MAXPAR / 2 for modes 3 and 4; else
// MAXPAR.
int32_t puff_split_limit(const Settings& s, int32_t locations, const Pollutant& first);

}  // namespace orv
