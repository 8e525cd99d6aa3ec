#pragma once
// The hour-end control of puff splitting and merging: when a horizontal
// split finds the particle arrays full, splitting goes off and the merge
// tolerances widen step by step (up to FRHMAX) so that merging makes room;
// splitting comes on again once a split pass completes. With it the split
// factor for full arrays, the schedule of the particle dumps and the
// progress line of the hour.

#include <cstdint>
#include <vector>

#include "common/text_output.hpp"
#include "run/concentration_grids.hpp"
#include "run/settings.hpp"

namespace orv {

// The control's state: whether splitting is on. FRHS, SPLITF and the merge
// factor it raises live in the settings, which the later passes read.
struct SplitControl {
    bool split_on = true;
};

// The split factor that lets the puffs of a run cover its largest
// concentration grid within MAXPAR entries: sqrt(5 x A x B / MAXPAR), at
// least 1.1, where A and B are the largest longitude and latitude point
// counts of all grids.
float split_factor_for_grids(const std::vector<ConcentrationGrid>& grids, int32_t MAXPAR);

// One step of the control after a horizontal split pass that returned
// `split_status` (0 done, 1 no room, 2 arrays full). Changes FRHS,
// merge_factor and SPLITF of `s` and `split_enabled` as the state requires
// and writes its notices to the message log.
void control_split_and_merge(SplitControl& control, int32_t split_status, const std::vector<ConcentrationGrid>& grids,
                             Settings& s, bool& split_enabled, TextOut& log);

// Whether the particle dump is due at the end of hour `hour`; when it is,
// NDUMP moves on by NCYCL (or becomes 0: no more dumps).
bool particle_dump_due(int32_t hour, int32_t& NDUMP, int32_t NCYCL);

// The console line of the hour's progress: " Percent complete: " and the
// share of the run hours done, F5.1.
void write_progress(int32_t hour, int32_t run_hours, TextOut& console);

}  // namespace orv
