#pragma once
// Interpolation of the sub-grid fields at a position, and the meteorology at
// the particle: the 35-word record and the column profile that the driver,
// the dispersion step and the mercury steps read for the particle being
// processed; with the solar elevation and the cloud-reduced solar flux.

#include <cstdint>
#include <span>

#include "meteo/field_view.hpp"
#include "meteo/met_at_particle.hpp"
#include "meteo/meteo_state.hpp"

namespace orv {

// The four grid points around a position in the index space of a window,
// and the position's fractions between them. On the whole global grid x wraps
// over the last column and y reflects at the first and last rows. Points are
// kept inside the window: nothing beyond it is ever read (a position on the
// last index reads that index alone).
struct GridCell {
    int32_t i = 1, i2 = 1, j = 1, j2 = 1;
    float fx = 0.0f, fy = 0.0f;
};

namespace detail {
inline int32_t truncate_index(float& v) {
    if (!(v > -1.0e9f && v < 1.0e9f)) v = 1.0f;
    return static_cast<int32_t>(v);
}
}  // namespace detail

inline GridCell locate_cell(float x, float y, bool whole_grid, int32_t nx, int32_t ny) {
    GridCell c;
    int32_t i = detail::truncate_index(x), j = detail::truncate_index(y);
    if (whole_grid) {
        if (i > nx) {
            x -= static_cast<float>(nx);
            i = 1;
        } else if (i <= 0) {
            x += static_cast<float>(nx);
            i = nx;
        }
        if (j <= 0) {
            y = 2.0f - y;
            j = 1;
        }
        if (j == ny) {
            y = 2.0f * static_cast<float>(ny) - y;
            j = static_cast<int32_t>(y);
            if (j == ny) {
                y = static_cast<float>(ny);
                j = ny - 1;
            }
        }
    }
    int32_t i2 = i + 1;
    if (whole_grid && i2 > nx) i2 = 1;
    int32_t j2 = j + 1;
    c.fx = x - static_cast<float>(i);
    c.fy = y - static_cast<float>(j);
    // A position on a last index reads that index alone; one outside the
    // window reads its edge.
    if (c.fx == 0.0f) i2 = i;
    if (c.fy == 0.0f) j2 = j;
    const int32_t mx = nx > 1 ? nx : 1, my = ny > 1 ? ny : 1;
    c.i = i < 1 ? 1 : (i > mx ? mx : i);
    c.i2 = i2 < 1 ? 1 : (i2 > mx ? mx : i2);
    c.j = j < 1 ? 1 : (j > my ? my : j);
    c.j2 = j2 < 1 ? 1 : (j2 > my ? my : j2);
    return c;
}

// The level pair of a real level z (1 = lowest level) on nz levels: the
// lower level and the fraction towards the next; a whole number, or a level
// outside 1..nz (held at its end), reads one level.
struct LevelPair {
    int32_t l = 1;
    float fz = 0.0f;
};

inline LevelPair level_pair(float z, int32_t nz) {
    LevelPair p;
    p.l = detail::truncate_index(z);
    p.fz = z - static_cast<float>(p.l);
    if (p.l < 1) {
        p.l = 1;
        p.fz = 0.0f;
    }
    if (p.l >= nz) {
        p.l = nz;
        p.fz = 0.0f;
    }
    return p;
}

// The offsets of a cell's four points in views of one layout (`step` between
// neighbouring x, `ldx` between rows), for reading several fields or both
// data times at the same cell.
struct CellOffsets {
    int64_t o11 = 0, o21 = 0, o12 = 0, o22 = 0;
    float fx = 0.0f, fy = 0.0f;
};

inline CellOffsets cell_offsets(const GridCell& c, int64_t step, int64_t ldx) {
    CellOffsets o;
    o.o11 = (c.i - 1) * step + (c.j - 1) * ldx;
    o.o21 = (c.i2 - 1) * step + (c.j - 1) * ldx;
    o.o12 = (c.i - 1) * step + (c.j2 - 1) * ldx;
    o.o22 = (c.i2 - 1) * step + (c.j2 - 1) * ldx;
    o.fx = c.fx;
    o.fy = c.fy;
    return o;
}

inline bool same_layout(const FieldView2D& a, const FieldView2D& b) { return a.step == b.step && a.ldx == b.ldx; }
inline bool same_layout(const FieldView3D& a, const FieldView3D& b) {
    return a.step == b.step && a.ldx == b.ldx && a.plane == b.plane && a.nz == b.nz;
}

// Field `a` at a cell (offsets in a's layout).
inline float interpolate_2d(const FieldView2D& a, const CellOffsets& o) {
    const float a11 = a.data[o.o11], a21 = a.data[o.o21];
    const float a12 = a.data[o.o12], a22 = a.data[o.o22];
    const float lo = a11 + (a21 - a11) * o.fx;
    const float hi = a12 + (a22 - a12) * o.fx;
    return lo + (hi - lo) * o.fy;
}

inline float interpolate_2d(const FieldView2D& a, const GridCell& c) {
    return interpolate_2d(a, cell_offsets(c, a.step, a.ldx));
}

// Field `a` at a cell (offsets in a's layout) and a level pair.
inline float interpolate_3d(const FieldView3D& a, const CellOffsets& o, LevelPair lz) {
    const float* base = a.data + (lz.l - 1) * a.plane;
    const float *p11 = base + o.o11, *p21 = base + o.o21, *p12 = base + o.o12, *p22 = base + o.o22;
    const float lo = p11[0] + (p21[0] - p11[0]) * o.fx, hi = p12[0] + (p22[0] - p12[0]) * o.fx;
    const float s = lo + (hi - lo) * o.fy;
    if (lz.fz == 0.0f) return s;
    const int64_t d = a.plane;
    const float lo2 = p11[d] + (p21[d] - p11[d]) * o.fx, hi2 = p12[d] + (p22[d] - p12[d]) * o.fx;
    const float s2 = lo2 + (hi2 - lo2) * o.fy;
    return s + (s2 - s) * lz.fz;
}

// Level z (real, 1 = lowest level) between its two levels; a whole number
// reads one level.
inline float interpolate_3d(const FieldView3D& a, const GridCell& c, float z) {
    return interpolate_3d(a, cell_offsets(c, a.step, a.ldx), level_pair(z, a.nz));
}

float interpolate_2d(const FieldView2D& a, float x, float y, bool whole_grid, int32_t nx, int32_t ny);
float interpolate_3d(const FieldView3D& a, float x, float y, float z, bool whole_grid, int32_t nx, int32_t ny);

// Time fraction of time t between data times t1 and t2, |t - t1| / |t2 - t1|;
// 0 when the two data times are equal.
inline float time_fraction(int64_t t, int64_t t1, int64_t t2) {
    const int64_t span = t2 > t1 ? t2 - t1 : t1 - t2;
    if (span == 0) return 0.0f;
    const int64_t d = t > t1 ? t - t1 : t1 - t;
    return static_cast<float>(d) / static_cast<float>(span);
}

// Solar elevation (degrees) and its sine at a time (accumulated minutes) and place.
void compute_solar_angle(int32_t time, float lat, float lon, float& elevation, float& sine, TextOut& console);
// Downward solar flux (W/m2) under the cloud that the relative humidity of
// the profile's levels suggests, and the transmission factor.
void estimate_solar_flux(std::span<const ProfileRow> profile, float sine, float& flux, float& transmission);

// What the evaluation at a position needs to know of the run.
struct MetEvaluation {
    int32_t grid = 0;            // meteorological grid
    int32_t file = 0;            // file of data time 1
    float x = 0.0f;              // position in the window's index space
    float y = 0.0f;
    int32_t time = 0;            // evaluation time, accumulated minutes
    bool cdep = false;           // deposition: precipitation and the full profile
    bool rdep = false;           // resistance deposition: the surface values
    int32_t nlvl = 0;
};

// Fills `m` (all words but 1 and 14-17, which the caller sets) and the rows
// of `profile` (levels 1..nlvl) at the position, interpolated in space and
// between the two data times held. Returns the forecast hour at the time.
int32_t interpolate_met_at_position(MeteoState& met, const MetEvaluation& e, MetAtParticle& m,
                                    std::span<ProfileRow> profile, TextOut& console);

}  // namespace orv
