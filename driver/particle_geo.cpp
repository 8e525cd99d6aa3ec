#include "driver/particle_geo.hpp"

#include "dispersion/met_position.hpp"

namespace orv {

void particle_geo_position(const MetGridDefinition& grid, float x, float y, float& lat, float& lon) {
    met_grid_to_geo(grid, x, y, lat, lon);
}

}  // namespace orv
