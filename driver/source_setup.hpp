#pragma once
// The starting locations on the meteorological grids: each location is
// placed on the first grid that holds it (a global cyclic grid holds every
// location), and the locations on no grid are dropped.

#include <cstdint>
#include <vector>

#include "driver/control_file.hpp"
#include "driver/settings.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// Places locations 1..count on grids 1..grid_count (their definitions at file
// 1): grid x, y, the internal coordinate of the release height and the grid
// number, with a console warning block for every grid a location misses. A
// cyclic grid sets MGMIN to the larger of its NX and NY. Then the placed
// locations move down in order and `count` becomes their number (the table
// keeps its size); none placed stops the run.
void place_sources(std::vector<SourceLocation>& locations, int32_t& count, const MeteoFiles& met,
                   const RunControl& run, Settings& s);

// Grid x, y of a latitude and longitude on a grid of either kind.
void geo_to_met_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y);

// Diagnostic channel 33, when enabled: the latitude and longitude of every
// point of meteorological grid 1.
void dump_grid_positions(const MeteoFiles& met, DiagnosticChannels& channels);

}  // namespace orv
