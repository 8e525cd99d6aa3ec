#pragma once
// Conformal map projections of the 6371.2 km sphere: polar stereographic,
// Lambert conformal and Mercator as special cases of one cone formula.
//
// Plane coordinates (xi, eta) are in earth radii; for a cone constant gamma
// the cone's apex (the projection's pole) lies at (0, 1/gamma). Grid positions
// are in grid units: x along the rows (1 = first column), y along the columns
// (1 = first row). Values are single precision; the series, logarithms and
// trigonometry are evaluated in double precision.

#include "common/math_constants.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

inline constexpr float kEarthRadiusKm = 6371.2f;

// The angle brought into (min(a,b), max(a,b)].
float wrap_angle_into_range(float angle, float a, float b);

// Word 1-9 of a projection with its origin at 0, no rotation and G = 6371.2.
void set_up_conformal_projection(ProjectionRecord& rec, float tangent_lat, float ref_lon);

// Fixes the origin, rotation and scale (words 3-7) so that (lat1, lon1) falls
// on grid point (x1, y1) and the grid spacing is grid_size_km at (ref_lat,
// ref_lon), the grid turned by `orientation` degrees.
void anchor_projection_at_point(ProjectionRecord& rec, float x1, float y1, float lat1, float lon1,
                                float ref_lat, float ref_lon, float grid_size_km, float orientation);

// Forward and inverse cores on the plane (earth radii).
void convert_geo_to_projection_xy(const ProjectionRecord& rec, float lat, float lon, float& xi, float& eta);
void convert_projection_xy_to_geo(const ProjectionRecord& rec, float xi, float eta, float& lat, float& lon);

void convert_projection_grid_to_geo(const ProjectionRecord& rec, float x, float y, float& lat, float& lon);
void convert_geo_to_projection_grid(const ProjectionRecord& rec, float lat, float lon, float& x, float& y);

// Grid spacing (km) at a latitude, and at a grid point.
float compute_projection_scale_parameter(const ProjectionRecord& rec, float lat);
float compute_projection_map_factor(const ProjectionRecord& rec, float x, float y);

// True east and north components at grid point (x, y) to components along
// the grid's x and y axes.
void rotate_vector_components(const ProjectionRecord& rec, float x, float y, float u, float v, float& ur,
                              float& vr);
// The same from the longitude alone.
void compute_projection_rotation_angle(const ProjectionRecord& rec, float lat, float lon, float u, float v,
                                       float& ur, float& vr);

}  // namespace orv
