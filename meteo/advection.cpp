#include "meteo/advection.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "meteo/met_interpolation.hpp"

namespace orv {

namespace {

float between(float a1, float a2, float f) { return a1 + (a2 - a1) * f; }

// The sub-step (whole minutes, with the sign of the step) that keeps the move
// of one wind evaluation within `tratio` cells and divides the step.
int32_t substep_minutes(int32_t n, float ua, float va, float tratio, bool& subdivided) {
    const float s = static_cast<float>(n);
    const float dmax = std::max(std::fabs(ua * s), std::fabs(va * s));
    if (!(dmax > tratio)) return n;
    const float ratio = std::fabs(s) * tratio / dmax;
    int32_t m = ratio < 2.0f ? 1 : static_cast<int32_t>(std::min(ratio, 1.0e9f));
    const int32_t whole = std::abs(n);
    while (m > 1 && whole % m != 0) --m;
    subdivided = true;
    return n < 0 ? -m : m;
}

bool outside(const AdvectionFields& f, float x, float y) {
    return !(x >= 1.0f && x <= static_cast<float>(f.nx) && y >= 1.0f && y <= static_cast<float>(f.ny));
}

struct Wind {
    float u = 0.0f, v = 0.0f, w = 0.0f;
};

Wind wind_3d(const AdvectionFields& f, float x, float y, float k, float frac) {
    const WindStaggerOffsets& o = f.stagger;
    const GridCell cw = locate_cell(x, y, f.whole_grid, f.nx, f.ny);
    const bool staggered = o.ux != 0.0f || o.uy != 0.0f || o.vx != 0.0f || o.vy != 0.0f;
    const GridCell cu = staggered ? locate_cell(x + o.ux, y + o.uy, f.whole_grid, f.nx, f.ny) : cw;
    const GridCell cv = staggered ? locate_cell(x + o.vx, y + o.vy, f.whole_grid, f.nx, f.ny) : cw;
    Wind r;
    if (!f.one_layout) {
        r.u = between(interpolate_3d(f.u[0], cu, k), interpolate_3d(f.u[1], cu, k), frac);
        r.v = between(interpolate_3d(f.v[0], cv, k), interpolate_3d(f.v[1], cv, k), frac);
        r.w = between(interpolate_3d(f.w[0], cw, k), interpolate_3d(f.w[1], cw, k), frac);
        return r;
    }
    const int64_t step = f.u[0].step, ldx = f.u[0].ldx;
    const LevelPair lz = level_pair(k, f.u[0].nz);
    const CellOffsets ow = cell_offsets(cw, step, ldx);
    const CellOffsets ou = staggered ? cell_offsets(cu, step, ldx) : ow;
    const CellOffsets ov = staggered ? cell_offsets(cv, step, ldx) : ow;
    r.u = between(interpolate_3d(f.u[0], ou, lz), interpolate_3d(f.u[1], ou, lz), frac);
    r.v = between(interpolate_3d(f.v[0], ov, lz), interpolate_3d(f.v[1], ov, lz), frac);
    r.w = between(interpolate_3d(f.w[0], ow, lz), interpolate_3d(f.w[1], ow, lz), frac);
    return r;
}

void build_surface(const AdvectionFields& f, std::span<const float> sigma, float c, const MetAtParticle& m,
                   SamplerSurface& s) {
    const int32_t n = std::min(static_cast<int32_t>(sigma.size()), f.pressure[0].nz);
    const bool prescribed = m.sampler_u != 0.0f || m.sampler_v != 0.0f;
    for (int32_t slot = 0; slot < 2; ++slot) {
        FieldView2D zs = s.view(s.zs[slot]), us = s.view(s.us[slot]), vs = s.view(s.vs[slot]);
        for (int32_t j = 1; j <= s.ny; ++j) {
            for (int32_t i = 1; i <= s.nx; ++i) {
                const FieldView3D& p = f.pressure[slot];
                float z = sigma[0], u = f.u[slot].at(i, j, 1), v = f.v[slot].at(i, j, 1);
                for (int32_t kk = 2; kk <= n; ++kk) {
                    const float pl = p.at(i, j, kk - 1), pu = p.at(i, j, kk);
                    if (pu <= c && c < pl) {
                        const float r = (c - pl) / (pu - pl);
                        z = sigma[static_cast<size_t>(kk - 2)] +
                            r * (sigma[static_cast<size_t>(kk - 1)] - sigma[static_cast<size_t>(kk - 2)]);
                        u = f.u[slot].at(i, j, kk - 1) + r * (f.u[slot].at(i, j, kk) - f.u[slot].at(i, j, kk - 1));
                        v = f.v[slot].at(i, j, kk - 1) + r * (f.v[slot].at(i, j, kk) - f.v[slot].at(i, j, kk - 1));
                        break;
                    }
                }
                zs.at(i, j) = z;
                us.at(i, j) = prescribed ? m.sampler_u : u;
                vs.at(i, j) = prescribed ? m.sampler_v : v;
            }
        }
    }
}

Wind surface_wind(const AdvectionFields& f, SamplerSurface& s, float x, float y, float frac) {
    const WindStaggerOffsets& o = f.stagger;
    const GridCell cu = locate_cell(x + o.ux, y + o.uy, f.whole_grid, f.nx, f.ny);
    const GridCell cv = locate_cell(x + o.vx, y + o.vy, f.whole_grid, f.nx, f.ny);
    const GridCell cz = locate_cell(x, y, f.whole_grid, f.nx, f.ny);
    Wind r;
    r.u = between(interpolate_2d(s.view(s.us[0]), cu), interpolate_2d(s.view(s.us[1]), cu), frac);
    r.v = between(interpolate_2d(s.view(s.vs[0]), cv), interpolate_2d(s.view(s.vs[1]), cv), frac);
    r.w = between(interpolate_2d(s.view(s.zs[0]), cz), interpolate_2d(s.view(s.zs[1]), cz), frac);
    return r;
}

int32_t whole_minutes(float dt) {
    if (!(std::fabs(dt) < 1.0e9f)) return 0;
    return static_cast<int32_t>(dt);
}

}  // namespace

float level_index_of(const InternalVerticalGrid& g, float z, float model_top) {
    const float zc = std::min(z, 1.0f);
    const float h = (1.0f - zc) * model_top;
    const float d = g.bb * g.bb - 4.0f * g.aa * (g.cc - h);
    float k = d >= 0.0f ? (std::sqrt(d) - g.bb) / (2.0f * g.aa) : 1.0f;
    k = std::max(k, 1.0f);
    return std::min(k, static_cast<float>(g.nlvl));
}

void advect_position_3d(const AdvectionFields& f, const AdvectionStep& st, const AdvectionSettings& s, float& x,
                        float& y, float& z, MetAtParticle& m) {
    const int32_t n = whole_minutes(st.dt);
    if (n == 0) return;
    int32_t step = n, e = 0;
    bool subdivided = false;
    float frac = time_fraction(st.t, st.t1, st.t2);
    while (std::abs(e) < std::abs(n)) {
        // Predictor at the start of the sub-step.
        float k = level_index_of(*s.grid, z, s.model_top);
        m.level_index = k;
        const Wind a = wind_3d(f, x, y, k, frac);
        if (e == 0) step = substep_minutes(n, a.u, a.v, s.tratio, subdivided);
        const float ds = static_cast<float>(step);
        const float x1 = x + a.u * ds, y1 = y + a.v * ds, z1 = z + a.w * ds;
        if (subdivided && !f.whole_grid && outside(f, x1, y1)) return;
        e += step;
        frac = time_fraction(int64_t{st.t} + e, st.t1, st.t2);
        // Corrector at the trial position and the end of the sub-step.
        k = level_index_of(*s.grid, z1, s.model_top);
        m.level_index = k;
        const Wind b = wind_3d(f, x1, y1, k, frac);
        x = (x + x1 + b.u * ds) / 2.0f;
        y = (y + y1 + b.v * ds) / 2.0f;
        z = (z + z1 + b.w * ds) / 2.0f;
    }
}

void advect_position_2d(const AdvectionFields& f, const AdvectionStep& st, float& x, float& y) {
    const WindStaggerOffsets& o = f.stagger;
    auto wind = [&](float px, float py, float frac, float& u, float& v) {
        const GridCell cu = locate_cell(px + o.ux, py + o.uy, f.whole_grid, f.nx, f.ny);
        const GridCell cv = locate_cell(px + o.vx, py + o.vy, f.whole_grid, f.nx, f.ny);
        u = between(interpolate_2d(f.momentum_x[0], cu), interpolate_2d(f.momentum_x[1], cu), frac);
        v = between(interpolate_2d(f.momentum_y[0], cv), interpolate_2d(f.momentum_y[1], cv), frac);
    };
    float ua = 0.0f, va = 0.0f, ub = 0.0f, vb = 0.0f;
    wind(x, y, time_fraction(st.t, st.t1, st.t2), ua, va);
    const float x1 = x + ua * st.dt, y1 = y + va * st.dt;
    const int64_t advanced = std::fabs(st.dt) < 1.0e9f ? std::lround(st.dt) : 0;
    wind(x1, y1, time_fraction(st.t + advanced, st.t1, st.t2), ub, vb);
    x = (x + x1 + ub * st.dt) / 2.0f;
    y = (y + y1 + vb * st.dt) / 2.0f;
}

void advect_sampler_position(const AdvectionFields& f, const AdvectionStep& st, const AdvectionSettings& s, float& x,
                             float& y, float& z, MetAtParticle& m, SamplerSurface& surface) {
    const int32_t n = whole_minutes(st.dt);
    if (n == 0) return;
    surface.nx = f.nx;
    surface.ny = f.ny;
    const size_t points = static_cast<size_t>(f.nx) * static_cast<size_t>(f.ny);
    for (int32_t slot = 0; slot < 2; ++slot) {
        surface.zs[slot].assign(points, 0.0f);
        surface.us[slot].assign(points, 0.0f);
        surface.vs[slot].assign(points, 0.0f);
    }
    int32_t step = n, e = 0;
    bool subdivided = false;
    float frac = time_fraction(st.t, st.t1, st.t2);
    while (std::abs(e) < std::abs(n)) {
        const float k = level_index_of(*s.grid, z, s.model_top);
        m.level_index = k;
        const GridCell c = locate_cell(x, y, f.whole_grid, f.nx, f.ny);
        const float pressure = between(interpolate_3d(f.pressure[0], c, k), interpolate_3d(f.pressure[1], c, k), frac);
        build_surface(f, s.sigma, pressure, m, surface);
        const Wind a = surface_wind(f, surface, x, y, frac);
        if (e == 0) step = substep_minutes(n, a.u, a.v, s.tratio, subdivided);
        const float ds = static_cast<float>(step);
        const float x1 = x + a.u * ds, y1 = y + a.v * ds, z1 = a.w;
        if (subdivided && !f.whole_grid && outside(f, x1, y1)) {
            // Finish the step in one move.
            const float rest = st.dt - static_cast<float>(e);
            z = a.w;
            x += a.u * rest;
            y += a.v * rest;
            return;
        }
        e += step;
        frac = time_fraction(int64_t{st.t} + e, st.t1, st.t2);
        const Wind b = surface_wind(f, surface, x1, y1, frac);
        x = (x + x1 + b.u * ds) / 2.0f;
        y = (y + y1 + b.v * ds) / 2.0f;
        z = (z1 + b.w) / 2.0f;
    }
}

}  // namespace orv
