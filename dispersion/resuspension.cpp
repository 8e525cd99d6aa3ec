#include "dispersion/resuspension.hpp"

#include <algorithm>
#include <cmath>

#include "common/math_constants.hpp"
#include "common/run_stop.hpp"
#include "common/clamped_int.hpp"
#include "meteo/grid_projection.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {


// The deposition grid (1-based) and its zero-height level; 0 when none.
int32_t find_deposition_grid(const std::vector<ConcentrationGrid>& grids, int32_t& level) {
    for (size_t g = 0; g < grids.size(); ++g) {
        level = 0;
        const int32_t levels = std::clamp(grids[g].level_count, 0, kMaxConcentrationLevels);
        for (int32_t k = 1; k <= levels; ++k)
            if (grids[g].heights[static_cast<size_t>(k - 1)] == 0) level = k;
        if (level > 0) return static_cast<int32_t>(g) + 1;
    }
    return 0;
}

// The first surface flux field at the grid point nearest (x, y), read
// through the sub-grid; false when that point is not held.
bool flux_at(MetSubgridArrays& a, int32_t kg, float x, float y, float& flux) {
    if (!a.tables_created || !a.fields_allocated() || kg < 1 || kg > std::min(a.ng, kMaxMetGrids)) return false;
    const MetGridWindow& w = a.window(kg);
    const int32_t i = nearest_clamped(x) - w.x1 + 1;
    const int32_t j = nearest_clamped(y) - w.y1 + 1;
    if (i < 1 || j < 1 || i > std::min(w.nx, a.nx) || j > std::min(w.ny, a.ny)) return false;
    const int32_t slot = a.time_slots[1];
    if (slot < 1 || slot > 2) return false;
    flux = a.field2(kSfcMomentumX, kg, slot).at(i, j);
    return true;
}

struct DepositionCell {
    float x = 0.0f, y = 0.0f;  // on the meteorological grid
    float lat = 0.0f;
};

DepositionCell locate_cell(const ConcentrationGrid& dg, const MetGridDefinition& mg, bool met_points, int32_t i,
                           int32_t j) {
    DepositionCell c;
    if (met_points) {
        c.x = static_cast<float>(i);
        c.y = static_cast<float>(j);
        float lon = 0.0f;
        met_grid_to_geo(mg, c.x, c.y, c.lat, lon);
    } else {
        c.lat = dg.lower_left_lat + static_cast<float>(j - 1) * dg.lat_spacing;
        const float lon = dg.lower_left_lon + static_cast<float>(i - 1) * dg.lon_spacing;
        met_geo_to_grid(mg, c.lat, lon, c.x, c.y);
    }
    return c;
}

void place_resuspension(const DepositionCell& c, float area, float mass, int32_t pollutant, int32_t kg,
                        const Settings& s, ParticleArrays& p, int32_t q) {
    p.particle_sort_key[q] = q + 1;
    p.particle_x[q] = c.x;
    p.particle_y[q] = c.y;
    p.particle_z[q] = 1.0f;
    p.particle_turb_u[q] = 0.0f;
    p.particle_turb_v[q] = 0.0f;
    p.particle_sigma_z[q] = 0.0f;
    p.particle_sigma_h[q] = std::sqrt(area / kPi) / kTopHat;
    p.particle_hdwp[q] = s.INITD;
    p.particle_age[q] = 0;
    p.particle_pollutant[q] = pollutant;
    p.particle_grid[q] = kg;
    for (int32_t m = 0; m < p.maxdim; ++m) p.mass(m, q) = 0.0f;
    p.mass(std::min(pollutant, p.maxdim) - 1, q) = mass;
}

}  // namespace

void depsus(const std::vector<ConcentrationGrid>& grids, const std::vector<Pollutant>& dirt, const Settings& s,
            const MeteoFiles& met, MetSubgridArrays& arrays, int32_t kg, int32_t kt, float dt_minutes,
            ConcentrationArray& conc, ParticleArrays& p, Messages msg) {
    int32_t level = 0;
    const int32_t dgrid = find_deposition_grid(grids, level);
    if (dgrid == 0) {
        msg.log.list("*ERROR* depsus: requires a deposition grid");
        msg.console.list("*ERROR* depsus: see message file for more information");
        throw RunStop(kStopInput);
    }
    if (kg < 1 || kg > kMaxMetGrids || kt < 1 || kt > kMaxMetTimes || p.maxdim < 1) return;
    const ConcentrationGrid& dg = grids[static_cast<size_t>(dgrid - 1)];
    const MetGridDefinition& mg = met.grid(kg, kt);
    const bool met_points = s.ICHEM == 4;
    // Never beyond the concentration array, whatever the grids say.
    const int32_t nlon = std::min(met_points ? mg.nx : dg.lon_points, conc.nlon);
    const int32_t nlat = std::min(met_points ? mg.ny : dg.lat_points, conc.nlat);
    if (dgrid > conc.ngrid || level > conc.nlev) return;
    const int32_t npol = std::min(static_cast<int32_t>(dirt.size()), conc.npol);
    const float seconds = std::fabs(dt_minutes) * 60.0f;

    for (int32_t pol = 1; pol <= npol; ++pol) {
        const Pollutant& d = dirt[static_cast<size_t>(pol - 1)];
        if (!d.DOSUS) continue;
        for (int32_t j = 1; j <= nlat; ++j) {
            for (int32_t i = 1; i <= nlon; ++i) {
                float& deposit = conc.at(i, j, level, pol, dgrid);
                if (!(deposit > 0.0f)) continue;
                const DepositionCell c = locate_cell(dg, mg, met_points, i, j);
                float flux = 0.0f;
                if (!flux_at(arrays, kg, c.x, c.y, flux)) continue;
                // Never more than the deposit, and never a negative amount.
                const float r = std::clamp(seconds * deposit * 0.4f * flux * d.SRATE, 0.0f, deposit);
                if (!(r > 0.0f)) continue;
                if (p.particle_count + 1 > p.maxpar) {
                    p.particle_count = p.maxpar;
                    msg.log.list("WARNING depsus: exceeding puff limit");
                    return;
                }
                const float area = dg.lat_spacing * 1.2e10f * dg.lon_spacing * std::cos(c.lat / kRadToDegF);
                deposit -= r;
                const int32_t q = p.particle_count;
                p.particle_count = q + 1;
                place_resuspension(c, area, r * area, pol, kg, s, p, q);
            }
        }
    }
}

float surface_emission_flux(float P10F, float source_height, float speed, float rain) {
    // Without a positive roughness term there is no threshold and no flux.
    if (!(source_height > 2.0e-5f)) return 0.0f;
    const float roughness = std::log(source_height / 2.0e-5f);
    if (!(roughness > 0.0f) || !std::isfinite(roughness)) return 0.0f;
    const float u = speed * 1000.0f / 60.0f;
    const float threshold = P10F * 0.28f * roughness / 0.4f;
    if (!(u > threshold) || !(u > 0.0f)) return 0.0f;
    if (rain > 0.0f) return 0.0f;
    const float ustar = u * (0.4f / roughness + 0.003f * (1.0f - threshold / u));
    const float flux = 0.01f * ustar * ustar * ustar * ustar;
    return std::min(flux, 0.001f);
}

void compute_surface_emission_flux(float P10F, const SourceLocation& first_location, float speed, float rain,
                                   ParticleArrays& p, int32_t i) {
    const float flux = surface_emission_flux(P10F, first_location.height, speed, rain);
    float& mass = p.mass(0, i);
    if (flux > 0.0f) {
        mass = std::fabs(mass) * flux * 3600.0f * first_location.source_area;
    } else {
        mass = 0.0f;
        p.particle_grid[i] = 0;
    }
}

}  // namespace orv
