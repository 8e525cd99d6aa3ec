#pragma once
// The vertical extent and volume of a puff in the particle loop, the cloud
// layer that the rain falls from, and the puff's descent when the deposition
// step lets it settle.

#include <cstdint>
#include <span>

#include "run/settings.hpp"
#include "mercury/puff_deposition.hpp"
#include "meteo/met_at_particle.hpp"

namespace orv {

// A puff's vertical geometry; heights in m above ground.
struct PuffGeometry {
    float column_depth = 0.0f;  // D: model top - terrain height
    float puff_bottom_height = 0.0f;
    float puff_top_height = 0.0f;
    float puff_depth = 1.0f;  // at least 1 m
    float puffvol = 0.0f;     // m3
    bool near_surface_flag = false;
};

// The geometry of a puff at internal coordinate z with vertical spread
// sigma_z (internal coordinate) and horizontal spread sigma_h (m). The puff
// reaches 1.54 sigma up and down, cut at the ground and the model top; it is
// near the surface when its bottom lies below the surface-layer height.
PuffGeometry puff_geometry(float z, float sigma_z, float sigma_h, float model_top, float terrain_height,
                           float surface_layer_height);

// The cloud layer of the column at the puff when it rains: the lowest level
// humid enough for cloud (`zrh_crit_surface` at level 1, `zrh_crit_aloft`
// above) up to the first level from there at or below `zrh_crit_stop`; with
// no cloudy level, the levels below 500 m and 3000 m. `profile` and `sigma`
// hold levels 1..nlvl. Without rain everything is 0.
CloudLayer cloud_layer(const PuffGeometry& g, float rain, std::span<const ProfileRow> profile,
                       std::span<const float> sigma, const Hgsim& hgsim);

// Lowers the puff by `descent` metres (no lower than the ground): its centre
// z, vertical spread sigma_z and the geometry's heights and depth follow.
void apply_puff_descent(PuffGeometry& g, float descent, float& z, float& sigma_z);

}  // namespace orv
