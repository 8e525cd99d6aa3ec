#pragma once
// A meteorological grid's geometry: latitude-longitude grids and the set-up
// of a grid's flags and map projection from its 12 header reals.
//
// On a latitude-longitude grid (header grid size 0) the header reals mean:
// real 1 last latitude, real 2 last longitude, real 3 latitude increment,
// real 4 longitude increment, real 10 latitude and real 11 longitude of grid
// point (1,1).

#include "meteo/met_tables.hpp"

namespace orv {

// Clears the grid flags; on a latitude-longitude grid sets its flags and
// replaces the header grid size by the north-south spacing (km).
void set_up_grid_projection(MetGridDefinition& g);

// Everything the set-up does with a freshly read header: the flags and, on a
// projection grid, the conformal projection anchored at the grid's
// synchronisation point.
void set_up_met_grid(MetGridDefinition& g);

// Latitude-longitude grids only; the outputs are left untouched on a
// projection grid.
void convert_latlon_grid_to_geo(const MetGridDefinition& g, float x, float y, float& lat, float& lon);
void convert_geo_to_latlon_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y);
// Any meteorological grid, by its kind: the latitude-longitude conversions on
// a latitude-longitude grid, the map projection otherwise.
void met_grid_to_geo(const MetGridDefinition& g, float x, float y, float& lat, float& lon);
void met_geo_to_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y);
// East-west and north-south spacing (km) at a grid point.
void compute_latlon_grid_spacing(const MetGridDefinition& g, float x, float y, float& dx_km, float& dy_km);

}  // namespace orv
