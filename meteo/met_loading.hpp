#pragma once
// Loading one data time of a grid into a slot of the sub-grid arrays: the
// period of the file that holds the time is read over the grid's window.

#include <cstdint>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "meteo/meteo_state.hpp"
#include "meteo/metinp.hpp"

namespace orv {

// The fields of a slot (and the grid's terrain) as the period reader fills them.
MetinpFields metinp_fields(const MetSlotFields& s, const MetFixedFields& f);

// Reads the period of file kt of grid kg that holds data time `t` (accumulated
// minutes), levels 1..data_levels above the surface, into `slot` over the
// grid's window; the slot's entries of the time and forecast tables take the
// period's data time and forecast hour. A time outside the file only warns
// and leaves the slot as it was.
void load_met_period(MeteoState& met, int32_t kg, int32_t kt, int32_t slot, int32_t t, int32_t data_levels,
                     Messages msg);

}  // namespace orv
