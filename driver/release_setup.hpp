#pragma once
// What the set-up prepares for the first releases: particles carried over
// from an earlier run (the particle initialisation file, summed onto the
// concentration grids at once), the first meteorological sub-grid around the
// particles and sources, and the checks that depend on them.

#include "driver/run_context.hpp"

namespace orv {

// Opens the initialisation file, when it is in use, and checks every group
// that the run can load, in its own direction, before the calculation starts.
void check_initial_particles(RunContext& ctx);

// Reads the particles of the initialisation file (opened and checked by
// check_initial_particles) that belong to the start time, sums them onto the
// concentration grids and writes what is due; notes whether the hour ends
// read the file again.
void read_initial_particles(RunContext& ctx);

// Plans every grid's sub-grid window from the positions of the particles and
// (with `with_sources`, or when there are no particles) the sources, gathered
// in work arrays of their own: the particle arrays are never extended.
void plan_met_subgrids(RunContext& ctx, bool with_sources);

// The gridded emission inventory "emission.txt", when present.
void read_gridded_inventory(RunContext& ctx);

// The sources, then the samplers of "LAGSET.CFG", looked up on the
// meteorology at the start time; the grid and file of the last look-up become
// the current ones of the hour loop.
void place_releases_on_meteorology(RunContext& ctx);

// With INITD 0 the removal fraction FRMR is 0; ICHEM 4 needs the whole
// meteorological grid in memory, else the run stops.
void check_release_settings(RunContext& ctx);

}  // namespace orv
