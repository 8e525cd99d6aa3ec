#include "dispersion/concentration_array.hpp"

#include <algorithm>

namespace orv {

void allocate_concentration_array(ConcentrationArray& c, const std::vector<ConcentrationGrid>& grids,
                                  int32_t pollutant_count, TextOut& console, std::string_view label,
                                  int32_t min_lon, int32_t min_lat) {
    c = ConcentrationArray{};
    for (const ConcentrationGrid& g : grids) {
        c.nlon = std::max(c.nlon, g.lon_points);
        c.nlat = std::max(c.nlat, g.lat_points);
        c.nlev = std::max(c.nlev, g.level_count);
    }
    if (!grids.empty()) {
        c.nlon = std::max(c.nlon, min_lon);
        c.nlat = std::max(c.nlat, min_lat);
    }
    c.npol = std::max(pollutant_count, 0);
    c.ngrid = static_cast<int32_t>(grids.size());
    // The product of the five extents, refused when it passes 2^62.
    int64_t n = 1;
    for (int32_t e : {c.nlon, c.nlat, c.nlev, c.npol, c.ngrid}) {
        if (e <= 0) {
            n = 0;
            break;
        }
        if (n > (int64_t{1} << 62) / e) allocation_stop(kAllocPrefix, label, console);
        n *= e;
    }
    allocate_or_stop(kAllocPrefix, label, c.values, n, console);
    c.values.fill(0.0f);
}

void zero_concentration_grid(ConcentrationArray& c, int32_t g) {
    if (g < 1 || g > c.ngrid || c.npol < 1 || c.nlev < 1) return;
    const int64_t per_grid = c.plane_size() * c.nlev * c.npol;
    std::fill_n(c.values.data() + (g - 1) * per_grid, per_grid, 0.0f);
}

}  // namespace orv
