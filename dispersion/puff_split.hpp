#pragma once
// Splitting of puffs that have outgrown the meteorology they see: a vertical
// puff spanning three or more internal layers becomes one puff per layer, and
// a puff wider than the meteorological grid cell becomes four (top-hat) or
// five (Gaussian) puffs side by side. New puffs are appended behind the used
// entries; the split puff keeps its slot with grid 0 until the compaction.

#include <cstdint>
#include <span>

#include "common/text_output.hpp"
#include "dispersion/puff_work.hpp"
#include "run/particle_arrays.hpp"

namespace orv {

// Status of a split pass, read by the driver's split and merge control.
enum SplitStatus : int32_t {
    kSplitDone = 0,     // every puff that needed splitting was split
    kSplitNoRoom = 1,   // not run: no room at entry
    kSplitMarked = 2,   // some puffs were marked (negative age): the arrays are too full
};

// Vertical split on the internal levels `sigma_profile` (zz(1..N)); `limit`
// is the entry limit L the driver derives from MAXPAR.
int32_t split_puffs_vertically(ParticleArrays& p, std::span<const float> sigma_profile, int32_t limit);

// Horizontal split. `grid_size_km` holds S(g) for meteorological grids
// g = 1, 2, ...; `time_step_spacing` is Sg. The cell size that a puff must
// outgrow to split takes |SPLITF|; a SPLITF of 0 splits nothing (one notice
// per run in the message log). The children of a split puff lie half its
// extent (in metres) off its centre, whatever SPLITF.
int32_t pufsph(ParticleArrays& p, std::span<const float> grid_size_km, int32_t limit, float time_step_spacing,
               float SPLITF, PuffWork& work, TextOut& log);

}  // namespace orv
