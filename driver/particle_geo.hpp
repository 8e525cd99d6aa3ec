#pragma once
// The latitude and longitude of a position on a meteorological grid, for
// the driver's files that also see the receptor tables (the map projection
// header cannot be included with them).

#include "meteo/met_tables.hpp"

namespace orv {

void particle_geo_position(const MetGridDefinition& grid, float x, float y, float& lat, float& lon);

}  // namespace orv
