#include "meteo/grid_projection.hpp"

#include <cmath>

#include "common/math_constants.hpp"
#include "meteo/map_projection.hpp"

namespace orv {

namespace {

float fold_latitude(float lat) {
    if (lat > 90.0f) return 180.0f - lat;
    if (lat < -90.0f) return -180.0f - lat;
    return lat;
}

}  // namespace

void set_up_grid_projection(MetGridDefinition& g) {
    g.latlon = false;
    g.prime_meridian = false;
    g.global = false;
    auto& h = g.header;
    if (h[kGridSize] != 0.0f) return;
    g.latlon = true;
    float dx, dy;
    compute_latlon_grid_spacing(g, 1.0f, 1.0f, dx, dy);
    h[kGridSize] = dy;
    float span = (h[kPoleLon] - h[kSyncLon]) + h[kRefLon];
    g.global = span == 360.0f || (span == 0.0f && h[kPoleLat] - h[kSyncLat] == 180.0f);
    g.prime_meridian = h[kPoleLon] >= 0.0f && h[kSyncLon] < 0.0f;
}

void set_up_met_grid(MetGridDefinition& g) {
    auto& h = g.header;
    if (g.source_id.is("RAMS")) h[kTangentLat] = h[kPoleLat];
    set_up_grid_projection(g);
    if (g.latlon) return;
    set_up_conformal_projection(g.projection, h[kTangentLat], h[kRefLon]);
    anchor_projection_at_point(g.projection, h[kSyncX], h[kSyncY], h[kSyncLat], h[kSyncLon], h[kRefLat],
                               h[kRefLon], h[kGridSize], h[kOrientation]);
}

void convert_latlon_grid_to_geo(const MetGridDefinition& g, float x, float y, float& lat, float& lon) {
    if (!g.latlon) return;
    const auto& h = g.header;
    lat = fold_latitude((y - 1.0f) * h[kRefLat] + h[kSyncLat]);
    float l = std::fmod((x - 1.0f) * h[kRefLon] + h[kSyncLon], 360.0f);
    if (l > 180.0f) l -= 360.0f;
    lon = l;
}

void convert_geo_to_latlon_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y) {
    if (!g.latlon) return;
    const auto& h = g.header;
    y = (fold_latitude(lat) - h[kSyncLat]) / h[kRefLat] + 1.0f;
    if (!g.prime_meridian) {
        if (lon < 0.0f) lon += 360.0f;
        if (lon > 360.0f) lon -= 360.0f;
    }
    float d = lon - h[kSyncLon];
    if (d < 0.0f) d += 360.0f;
    // A corner west of Greenwich on a grid that does not cross it: the
    // longitude, brought into 0..360 above, lies more than a turn east.
    if (d > 360.0f) d -= 360.0f;
    x = d / h[kRefLon] + 1.0f;
}

void compute_latlon_grid_spacing(const MetGridDefinition& g, float x, float y, float& dx_km, float& dy_km) {
    if (!g.latlon) return;
    float lat = 0.0f, lon = 0.0f;
    convert_latlon_grid_to_geo(g, x, y, lat, lon);
    dy_km = g.header[kRefLat] * kEarthRadiusKm / kRadToDegF;
    dx_km = std::cos(lat * kDegToRadF) * kEarthRadiusKm * g.header[kRefLon] / kRadToDegF;
}

void met_grid_to_geo(const MetGridDefinition& g, float x, float y, float& lat, float& lon) {
    if (g.latlon)
        convert_latlon_grid_to_geo(g, x, y, lat, lon);
    else
        convert_projection_grid_to_geo(g.projection, x, y, lat, lon);
}

void met_geo_to_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y) {
    if (g.latlon)
        convert_geo_to_latlon_grid(g, lat, lon, x, y);
    else
        convert_geo_to_projection_grid(g.projection, lat, lon, x, y);
}

}  // namespace orv
