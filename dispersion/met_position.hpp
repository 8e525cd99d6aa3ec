#pragma once
// Grid position and geographic position on a meteorological grid, by the
// grid's kind: the latitude-longitude conversions on a latitude-longitude
// grid, the map projection otherwise.

#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

inline void met_grid_to_geo(const MetGridDefinition& g, float x, float y, float& lat, float& lon) {
    if (g.latlon)
        convert_latlon_grid_to_geo(g, x, y, lat, lon);
    else
        convert_projection_grid_to_geo(g.projection, x, y, lat, lon);
}

inline void met_geo_to_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y) {
    if (g.latlon)
        convert_geo_to_latlon_grid(g, lat, lon, x, y);
    else
        convert_geo_to_projection_grid(g.projection, lat, lon, x, y);
}

}  // namespace orv
