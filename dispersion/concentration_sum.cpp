#include "dispersion/concentration_sum.hpp"

#include <algorithm>
#include <cmath>

#include "common/math_constants.hpp"
#include "common/messages.hpp"
#include "common/run_stop.hpp"
#include "dispersion/concentration_output.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr float kMetresPerDegree = 111198.32f;
constexpr float kGaussianCutoff = 3.0f;

// The horizontal shape of one particle on one grid.
struct Footprint {
    bool single_point = false;  // particles: the nearest point only
    bool gaussian = false;
    float radius = 0.0f;        // m
    float area_factor = 0.0f;   // 1/m2
    float two_sigma2 = 0.0f;    // 2 sigma_h^2 (Gaussian weight)
};

// The vertical place of one particle: a height, or a puff's extent.
struct VerticalPlace {
    bool puff = false;
    float height = 0.0f;  // particle, m
    float bottom = 0.0f;  // puff, m
    float top = 0.0f;
    float depth = 1.0f;
};

// A window of cells, both ends inside the grid (empty when first > last).
struct CellWindow {
    int32_t i1 = 1, i2 = 0, j1 = 1, j2 = 0;
    bool empty() const { return i1 > i2 || j1 > j2; }
};

// Whole-number window bounds from real ones, clamped to 1..n before any
// conversion (a window can be unbounded near the poles); NaN gives an empty one.
int32_t lower_bound(float v, int32_t n) {
    if (!(v >= 1.0f)) return v == v ? 1 : n + 1;
    return v > static_cast<float>(n) ? n + 1 : static_cast<int32_t>(v);
}
int32_t upper_bound(float v, int32_t n) {
    if (!(v <= static_cast<float>(n))) return v == v ? n : 0;
    return v < 0.0f ? 0 : static_cast<int32_t>(std::lround(v));
}
// The nearest whole number of v when it lies in 1..n, else 0.
int32_t nearest_index(float v, int32_t n) {
    if (!(v >= 0.5f) || !(v < static_cast<float>(n) + 0.5f)) return 0;
    return static_cast<int32_t>(std::lround(v));
}
// The window of the one nearest point (empty when it is off the grid).
CellWindow nearest_point(float fi, float fj, int32_t nx, int32_t ny) {
    CellWindow w;
    const int32_t i = nearest_index(fi, nx), j = nearest_index(fj, ny);
    if (i > 0 && j > 0) w = CellWindow{i, i, j, j};
    return w;
}
// The window of the cells within a footprint's radius: from (i1, j1), the
// real index of its lower-left corner, to the corner's mirror about the
// centre (ic, jc).
CellWindow radius_window(float ic, float jc, float i1, float j1, int32_t nx, int32_t ny) {
    CellWindow w;
    w.i1 = lower_bound(std::trunc(i1), nx);
    w.i2 = upper_bound(2.0f * ic - i1, nx);
    w.j1 = lower_bound(std::trunc(j1), ny);
    w.j2 = upper_bound(2.0f * jc - j1, ny);
    return w;
}

[[noreturn]] void invalid_type(const char* routine, int32_t type, Messages msg) {
    msg.log.list("*ERROR* ", routine, ": Invalid horizontal type - ", type);
    msg.console.list("*ERROR* ", routine, ": see message file for more information");
    throw RunStop(kStopInput);
}

Footprint footprint_of(int32_t mode, float sigma_h, float point_area) {
    Footprint f;
    switch (mode) {
        case kParticle:
        case kSurfaceParticle:
            f.single_point = true;
            f.area_factor = 1.0f / point_area;
            break;
        case kGaussianPuff:
        case kGaussianHorizontalPuff:
            f.gaussian = true;
            f.radius = kGaussianCutoff * sigma_h;
            f.area_factor = 1.0f / (kTwoPi * sigma_h * sigma_h);
            f.two_sigma2 = 2.0f * sigma_h * sigma_h;
            break;
        default: {  // kTopHatPuff, kTopHatHorizontalPuff
            const float r = kTopHat * sigma_h;
            f.radius = r;
            f.area_factor = 1.0f / (kPi * (r * r));
        }
    }
    return f;
}

VerticalPlace vertical_place(int32_t mode, float z, float sigma_z, const SummationStep& step, float terrain) {
    VerticalPlace v;
    const float column = step.model_top - terrain;
    const float base = step.KMSL == 1 ? terrain : 0.0f;
    if (is_vertical_puff(mode)) {
        v.puff = true;
        v.bottom = (1.0f - (z + kTopHat * sigma_z)) * column + base;
        v.top = (1.0f - (z - kTopHat * sigma_z)) * column + base;
        v.depth = std::max(v.top - v.bottom, 1.0f);
    } else if (mode == kSurfaceParticle) {
        v.height = base;
    } else {
        v.height = std::max((1.0f - z) * column, 1.0f) + base;
    }
    return v;
}

// The mass of one slot and the array pollutant it goes to (0: none).
int32_t target_pollutant(const ParticleArrays& p, int32_t i, int32_t slot, const ConcentrationArray& conc) {
    const int32_t target = p.maxdim == 1 ? p.particle_pollutant[i] : slot;
    return target >= 1 && target <= conc.npol ? target : 0;
}

// One addition of a particle to the cells of one plane (level, pollutant):
// lead * w, or lead * w / divisor for a particle, with w the cell's weight.
struct PlaneAddition {
    float* plane;
    float lead;
    float divisor;
    bool particle;
};

// Room for the additions of one pass over the window; a particle with more
// (pollutant slots x levels) takes further passes.
constexpr int32_t kAdditionsPerPass = 32;

// The addition of one slot (its mass and its deposited mass) to level l, if
// that level takes one; `a.plane` is left to the caller.
inline bool level_addition(const ConcentrationGrid& grid, int32_t l, const Footprint& fp, const VerticalPlace& vp,
                           float weight, float mass, float dep, PlaneAddition& a) {
    const float hl = static_cast<float>(grid.heights[static_cast<size_t>(l - 1)]);
    const float hp = l > 1 ? static_cast<float>(grid.heights[static_cast<size_t>(l - 2)]) : 0.0f;
    a.divisor = 1.0f;
    a.particle = false;
    if (vp.puff) {
        if (hl == 0.0f) {
            a.lead = fp.area_factor * dep;
        } else if (vp.bottom <= hl && hl < vp.top) {
            a.lead = weight * mass * fp.area_factor / vp.depth;
        } else {
            return false;
        }
    } else {
        if (hp == 0.0f && hl == 0.0f) {
            a.lead = fp.area_factor * dep;
        } else if (hp < vp.height && vp.height <= hl) {
            a.particle = true;
            a.lead = weight * mass * fp.area_factor;
            a.divisor = std::max(hl - hp, 1.0f);
        } else {
            return false;
        }
    }
    return true;
}

float addition_value(const PlaneAddition& a, float w) { return a.particle ? a.lead * w / a.divisor : a.lead * w; }

// The cells of one row within the footprint, from a stretch of at most
// kStretch neighbouring columns: each one's place in the stretch and weight.
constexpr int32_t kStretch = 64;
struct StretchCells {
    int32_t count = 0;
    int32_t column[kStretch];
    float weight[kStretch];
};

// Adds one addition to the cells of a stretch whose first cell is `first`.
void add_to_stretch(const PlaneAddition& a, float* first, const StretchCells& cells) {
    const float lead = a.lead, divisor = a.divisor;  // copies the stores cannot alias
    if (a.particle) {
        for (int32_t n = 0; n < cells.count; ++n) first[cells.column[n]] += lead * cells.weight[n] / divisor;
    } else {
        for (int32_t n = 0; n < cells.count; ++n) first[cells.column[n]] += lead * cells.weight[n];
    }
}

// Adds every addition to the window's cells within the footprint, each
// cell's weight computed once for all of them. No two additions share a plane,
// so each value receives at most one addition and the order in which planes
// and cells are visited does not matter. dx_of(i) and dy_of(j) give the
// offsets (m) of column i and row j from the particle.
template <typename Dx, typename Dy>
void add_to_cells(const Footprint& fp, const CellWindow& win, const PlaneAddition* adds, int32_t count,
                  int32_t nlon, Dx dx_of, Dy dy_of) {
    if (fp.single_point) {  // the nearest point, of weight 1
        for (int32_t jj = win.j1; jj <= win.j2; ++jj)
            for (int32_t ii = win.i1; ii <= win.i2; ++ii)
                for (int32_t k = 0; k < count; ++k)
                    adds[k].plane[int64_t{jj - 1} * nlon + (ii - 1)] += addition_value(adds[k], 1.0f);
        return;
    }
    const Footprint f = fp;  // a local copy the stores cannot alias
    float dx2[kStretch];     // squared column offsets of the stretch
    StretchCells cells;
    for (int32_t i0 = win.i1; i0 <= win.i2;) {
        const int32_t width = std::min(win.i2 - i0, kStretch - 1) + 1;
        for (int32_t c = 0; c < width; ++c) {
            const float dx = dx_of(i0 + c);
            dx2[c] = dx * dx;
        }
        for (int32_t jj = win.j1; jj <= win.j2; ++jj) {
            const float dy = dy_of(jj);
            const float dy2 = dy * dy;
            cells.count = 0;
            for (int32_t c = 0; c < width; ++c) {
                const float r = std::sqrt(dx2[c] + dy2);
                if (!(r < f.radius)) continue;
                cells.column[cells.count] = c;
                cells.weight[cells.count] = f.gaussian ? std::exp(-(r * r) / f.two_sigma2) : 1.0f;
                ++cells.count;
            }
            if (cells.count == 0) continue;
            const int64_t first = int64_t{jj - 1} * nlon + (i0 - 1);
            for (int32_t k = 0; k < count; ++k) add_to_stretch(adds[k], adds[k].plane + first, cells);
        }
        if (win.i2 - i0 < kStretch) break;
        i0 += kStretch;
    }
}

// One grid's contribution. dx_of(i) and dy_of(j) give the offsets (m) of
// column i and row j from the particle.
template <typename Dx, typename Dy>
void add_to_grid(const ConcentrationGrid& grid, int32_t g, const Footprint& fp, const CellWindow& win,
                 const VerticalPlace& vp, float weight, const ParticleArrays& p, int32_t i,
                 std::span<const float> deposited, ConcentrationArray& conc, Dx dx_of, Dy dy_of) {
    const int32_t levels = std::min(grid.level_count, conc.nlev);
    PlaneAddition adds[kAdditionsPerPass];  // filled as far as count
    int32_t count = 0;
    for (int32_t slot = 1; slot <= p.maxdim; ++slot) {
        const int32_t target = target_pollutant(p, i, slot, conc);
        if (target == 0) continue;
        const float mass = p.particle_mass[int64_t{i} * p.maxdim + (slot - 1)];
        const float dep = static_cast<size_t>(slot) <= deposited.size() ? deposited[static_cast<size_t>(slot - 1)]
                                                                         : 0.0f;
        for (int32_t l = 1; l <= levels; ++l) {
            PlaneAddition& a = adds[count];
            if (!level_addition(grid, l, fp, vp, weight, mass, dep, a)) continue;
            a.plane = conc.plane(l, target, g);
            ++count;
            if (count == kAdditionsPerPass) {
                add_to_cells(fp, win, adds, count, conc.nlon, dx_of, dy_of);
                count = 0;
            }
        }
    }
    if (count > 0) add_to_cells(fp, win, adds, count, conc.nlon, dx_of, dy_of);
}

bool finite_state(const ParticleArrays& p, int32_t i) {
    return std::isfinite(p.particle_z[i]) && std::isfinite(p.particle_sigma_h[i]) &&
           std::isfinite(p.particle_sigma_z[i]);
}

}  // namespace

float sampling_weight(const ConcentrationGrid& g, float dt_minutes) {
    if (g.sampling_type == 1) return 1.0f;
    if (g.sampling_type < 0) return std::fabs(dt_minutes) / static_cast<float>(-g.sampling_type);
    return std::fabs(dt_minutes) / static_cast<float>(g.interval);
}

namespace {

// The grids a particle is summed onto at this step: inside their sampling
// window, not a maximum grid.
bool receives(const ConcentrationGrid& g, const SummationStep& step) {
    return g.sampling_type != 2 && g.interval >= 1 && sampling_position(g, step.dt_minutes, step.model_time).inside();
}

// Calls sum(g, grid, weight, nx, ny) for every grid that receives particles
// at this step: its number, its sampling weight and the extents of the cells
// it has in the array.
template <typename Sum>
void for_each_receiving_grid(const std::vector<ConcentrationGrid>& grids, const SummationStep& step,
                             const ConcentrationArray& conc, Sum sum) {
    const int32_t count = std::min(static_cast<int32_t>(grids.size()), conc.ngrid);
    for (int32_t g = 1; g <= count; ++g) {
        const ConcentrationGrid& grid = grids[static_cast<size_t>(g - 1)];
        if (!receives(grid, step)) continue;
        const int32_t nx = std::min(grid.lon_points, conc.nlon), ny = std::min(grid.lat_points, conc.nlat);
        sum(g, grid, sampling_weight(grid, step.dt_minutes), nx, ny);
    }
}

// The particle's longitude brought onto the grid's side of the date line.
float grid_longitude(const ConcentrationGrid& g, float lon) {
    if (g.lower_left_lon >= 0.0f && lon < 0.0f) return lon + 360.0f;
    if (static_cast<float>(g.lon_points) * g.lon_spacing > 180.0f && lon - g.lower_left_lon <= 0.0f)
        return lon + 360.0f;
    return lon;
}

int32_t checked_mode(const ParticleArrays& p, int32_t i, const char* routine, Messages msg) {
    const int32_t mode = distribution_mode(p.particle_hdwp[i]);
    if (mode != kSampler && (mode < kParticle || mode > kSurfaceParticle))
        invalid_type(routine, p.particle_hdwp[i], msg);
    return mode;
}

}  // namespace

void consum(const std::vector<ConcentrationGrid>& grids, const SummationStep& step, const SummationPoint& at,
            const ParticleArrays& p, int32_t i, std::span<const float> deposited, float& smallest_spacing_km,
            ConcentrationArray& conc, Messages msg) {
    const int32_t mode = checked_mode(p, i, "consum", msg);
    if (mode == kSampler) return;
    if (!std::isfinite(at.lat) || !std::isfinite(at.lon) || !finite_state(p, i)) return;
    const float phi = at.lat;
    const float cosphi = std::cos(phi / kRadToDegF);
    const float sigma_h = p.particle_sigma_h[i];
    const VerticalPlace vp = vertical_place(mode, p.particle_z[i], p.particle_sigma_z[i], step, at.terrain_height);
    for_each_receiving_grid(grids, step, conc, [&](int32_t g, const ConcentrationGrid& grid, float weight,
                                                   int32_t nx, int32_t ny) {
        const float lambda = grid_longitude(grid, at.lon);
        const float lambda0 = grid.lower_left_lon, phi0 = grid.lower_left_lat;
        const float dlon = grid.lon_spacing, dlat = grid.lat_spacing;
        const Footprint fp = footprint_of(
            mode, sigma_h, dlon * kMetresPerDegree * cosphi * kMetresPerDegree * dlat);
        const float ic = (lambda - lambda0) / dlon + 1.0f;
        const float jc = (phi - phi0) / dlat + 1.0f;
        CellWindow win;
        if (fp.single_point) {
            win = nearest_point(ic, jc, nx, ny);
        } else {
            const float i1 = (lambda - fp.radius / (kMetresPerDegree * cosphi) - lambda0) / dlon + 1.0f;
            const float j1 = (phi - fp.radius / kMetresPerDegree - phi0) / dlat + 1.0f;
            win = radius_window(ic, jc, i1, j1, nx, ny);
        }
        if (win.empty() || grid.level_count < 1 || p.maxdim < 1) return;
        smallest_spacing_km = std::min(smallest_spacing_km, grid.grid_spacing_km);
        add_to_grid(
            grid, g, fp, win, vp, weight, p, i, deposited, conc,
            [=](int32_t ii) {
                return (lambda - (lambda0 + static_cast<float>(ii - 1) * dlon)) * kMetresPerDegree * cosphi;
            },
            [=](int32_t jj) { return (phi - (phi0 + static_cast<float>(jj - 1) * dlat)) * kMetresPerDegree; });
    });
}

void metsum(const std::vector<ConcentrationGrid>& grids, const SummationStep& step, const SummationPoint& at,
            const ParticleArrays& p, int32_t i, std::span<const float> deposited, float& smallest_spacing_km,
            ConcentrationArray& conc, Messages msg) {
    const int32_t mode = checked_mode(p, i, "metsum", msg);
    if (mode == kSampler) return;
    const float x = p.particle_x[i], y = p.particle_y[i];
    if (!std::isfinite(x) || !std::isfinite(y) || !finite_state(p, i)) return;
    const float sx = at.spacing_x, sy = at.spacing_y;
    const float sigma_h = p.particle_sigma_h[i];
    const VerticalPlace vp = vertical_place(mode, p.particle_z[i], p.particle_sigma_z[i], step, at.terrain_height);
    for_each_receiving_grid(grids, step, conc, [&](int32_t g, const ConcentrationGrid& grid, float weight,
                                                   int32_t nx, int32_t ny) {
        const Footprint fp = footprint_of(mode, sigma_h, sx * sy);
        const CellWindow win = fp.single_point
                                   ? nearest_point(x, y, nx, ny)
                                   : radius_window(x, y, x - fp.radius / sx, y - fp.radius / sy, nx, ny);
        if (win.empty() || grid.level_count < 1 || p.maxdim < 1) return;
        smallest_spacing_km = std::min(smallest_spacing_km, std::min(sx, sy) / 1000.0f);
        add_to_grid(
            grid, g, fp, win, vp, weight, p, i, deposited, conc,
            [=](int32_t ii) { return (x - static_cast<float>(ii)) * sx; },
            [=](int32_t jj) { return (y - static_cast<float>(jj)) * sy; });
    });
}

void sum_particle_on_latlon_grids(const std::vector<ConcentrationGrid>& grids, const SummationStep& step,
                                  const SummationPoint& at, const ParticleArrays& p, int32_t i,
                                  float& smallest_spacing_km, ConcentrationArray& conc) {
    if (!std::isfinite(at.lat) || !std::isfinite(at.lon) || !std::isfinite(p.particle_z[i])) return;
    const float base = step.KMSL == 1 ? at.terrain_height : 0.0f;
    const float h = std::max((1.0f - p.particle_z[i]) * (step.model_top - at.terrain_height), 1.0f) + base;
    for_each_receiving_grid(grids, step, conc, [&](int32_t g, const ConcentrationGrid& grid, float weight,
                                                   int32_t nx, int32_t ny) {
        const float lambda = grid_longitude(grid, at.lon);
        const float fi = (lambda - grid.lower_left_lon) / grid.lon_spacing + 1.0f;
        const float fj = (at.lat - grid.lower_left_lat) / grid.lat_spacing + 1.0f;
        const int32_t ii = nearest_index(fi, nx), jj = nearest_index(fj, ny);
        if (ii == 0 || jj == 0) return;
        smallest_spacing_km = std::min(smallest_spacing_km, grid.grid_spacing_km);
        const int32_t levels = std::min(grid.level_count, conc.nlev);
        for (int32_t slot = 1; slot <= p.maxdim; ++slot) {
            const int32_t target = target_pollutant(p, i, slot, conc);
            if (target == 0) continue;
            const float mass = p.particle_mass[int64_t{i} * p.maxdim + (slot - 1)];
            for (int32_t l = 1; l <= levels; ++l) {
                const float hl = static_cast<float>(grid.heights[static_cast<size_t>(l - 1)]);
                const float hp = l > 1 ? static_cast<float>(grid.heights[static_cast<size_t>(l - 2)]) : 0.0f;
                if (hp < h && h <= hl) {
                    conc.at(ii, jj, l, target, g) += weight * mass;
                    break;
                }
            }
        }
    });
}

void decay_concentration_grids(const std::vector<ConcentrationGrid>& grids, const std::vector<Pollutant>& dirt,
                               float dt_minutes, ConcentrationArray& conc) {
    const int32_t count = std::min(static_cast<int32_t>(grids.size()), conc.ngrid);
    const int32_t pollutants = std::min(static_cast<int32_t>(dirt.size()), conc.npol);
    for (int32_t g = 1; g <= count; ++g) {
        const ConcentrationGrid& grid = grids[static_cast<size_t>(g - 1)];
        const int32_t levels = std::min(grid.level_count, conc.nlev);
        for (int32_t p = 1; p <= pollutants; ++p) {
            const Pollutant& d = dirt[static_cast<size_t>(p - 1)];
            if (!d.DORAD) continue;
            const float f = std::exp(-(0.6931472f / (d.RHALF * 86400.0f)) * std::fabs(dt_minutes) * 60.0f);
            for (int32_t l = 1; l <= levels; ++l) {
                if (grid.heights[static_cast<size_t>(l - 1)] != 0) continue;
                float* plane = conc.plane(l, p, g);
                for (int64_t k = 0; k < conc.plane_size(); ++k) plane[k] *= f;
            }
        }
    }
}

}  // namespace orv
