#pragma once
// Grid selection and the sub-grid window: for a position and a time, the
// grid and the two data times that bracket the time; the window of the grid
// held in memory, which stays, moves, grows or becomes the whole global grid;
// the window's fixed fields; and the hourly planning of every grid's window
// from the particle cloud.

#include <cstdint>
#include <span>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "meteo/meteo_state.hpp"

namespace orv {

// The grid and files chosen for a position and time.
struct MetPosition {
    int32_t status = -1;  // 0 found; -1 outside every grid or no data at the time
    int32_t grid = 0;     // selected grid, 0 when none
    int32_t kt1 = 0;      // file holding data time 1
    int32_t kt2 = 0;      // file holding data time 2
};

// Position (x, y) on grid `from` converted to grid `to` through latitude and
// longitude.
void convert_grid_position(const MetGridDefinition& from, const MetGridDefinition& to, float x, float y, float& xo,
                           float& yo);

// Chooses the lowest-numbered grid that holds (x, y), given on grid
// `current_grid`, and data on both sides of `model_time`; sets the request
// times and time slots of the sub-grid arrays (whose tables must exist). On
// a change of grid, (x, y) becomes the position on the new grid. Not found
// once data are loaded: a first-time warning and status -1. Not found
// before any data are loaded: the start lies outside the data; the run stops.
MetPosition metpos(MeteoState& met, bool backward, float& x, float& y, int32_t model_time, int32_t current_grid,
                   Messages msg);

// Moves or grows grid kg's window so that it holds (x, y) with a margin of 2
// points. Returns true when the window changed (its data must be read again).
bool metsub(const MetGridDefinition& gd, int32_t kg, MetGridWindow& w, float x, float y, TextOut& log);

// Fills grid kg's fixed fields over its window: grid spacings, land use,
// roughness and, for sigma data without terrain, the terrain height from the
// surface files. `kt` is the file whose grid definition is used.
void metgrd(MeteoState& met, int32_t kg, int32_t kt, Messages msg);

// Plans every grid's window from the particle cloud, once an hour before the
// particles move: positions x, y on the grids numbered in `grid` (0 = ended,
// skipped); `speed` is the hour's largest transport speed in km per minute.
void compute_met_subgrid_limits(MeteoState& met, int32_t mgmin, float speed, std::span<const float> x,
                                std::span<const float> y, std::span<const int32_t> grid);

}  // namespace orv
