#include "meteo/advpnt.hpp"

#include <algorithm>
#include <cmath>

#include "common/run_stop.hpp"
#include "meteo/advection.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/grid_selection.hpp"
#include "meteo/map_projection.hpp"
#include "meteo/met_interpolation.hpp"
#include "meteo/met_loading.hpp"
#include "meteo/vertical_motion.hpp"
#include "meteo/vertical_remap.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr float kLongestInterpolation = 720.0f;  // minutes between the data times

// Levels above the surface to read from a file.
int32_t data_levels(const MeteoState& met, const AdvanceContext& ctx, int32_t kg, int32_t kt) {
    return std::min({ctx.grid.nlvl, static_cast<int32_t>(ctx.sigma.size()), met.files.grid(kg, kt).nz - 1});
}

// Reads and remaps data time `which` (0 or 1) of grid kg from file kt; a
// period that holds another time replaces the requested time.
void load_data_time(MeteoState& met, const AdvanceContext& ctx, int32_t kg, int32_t kt, int32_t which,
                    int32_t model_time, Messages msg) {
    MetSubgridArrays& a = met.arrays;
    const int32_t slot = a.time_slots[static_cast<size_t>(which)];
    const int32_t requested = a.request_times[static_cast<size_t>(which)];
    const int32_t levels = data_levels(met, ctx, kg, kt);
    load_met_period(met, kg, kt, slot, requested, levels, msg);
    prfcom(met, kg, kt, slot, levels, ctx.settings, ctx.grid, ctx.sigma, ctx.run.model_top, msg);
    const int32_t held = a.met_time(kg, slot);
    if (held != requested) {
        msg.log.list(which == 0 ? "WARNING advpnt: Time 1 input does not match request!"
                                : "WARNING advpnt: Time 2 input does not match request!");
        msg.log.list(" Internal time: ", model_time);
        msg.log.list("  Time of data: ", held);
        msg.log.list("  Request time: ", requested);
        a.request_times[static_cast<size_t>(which)] = held;
    }
}

// The advection routine of a type code: 3-D (types 0 to 4, negative codes
// and the converting 103, 104, 130, 140 by their tens digit), 2-D (5) or
// sampler (6); 0 for an invalid code.
int32_t advection_kind(int32_t code) {
    const int32_t c = distribution_mode(code);
    if (c <= kTopHatHorizontalPuff) return 3;
    if (c == kSurfaceParticle) return 2;
    if (c == kSampler) return 6;
    return 0;
}

// The fields the advection routine of `kind` reads: the 3-D wind (3), the
// surface momentum pair (2), or the horizontal wind and pressure (6).
AdvectionFields advection_fields(MeteoState& met, int32_t kg, int32_t kt, int32_t kind) {
    MetSubgridArrays& a = met.arrays;
    const MetGridWindow& w = a.window(kg);
    AdvectionFields f;
    for (int32_t n = 0; n < 2; ++n) {
        const int32_t slot = a.time_slots[static_cast<size_t>(n)];
        if (kind == 2) {
            f.momentum_x[n] = a.field2(kSfcMomentumX, kg, slot);
            f.momentum_y[n] = a.field2(kSfcMomentumY, kg, slot);
            continue;
        }
        f.u[n] = a.field3(kMetU, kg, slot);
        f.v[n] = a.field3(kMetV, kg, slot);
        if (kind == 3) f.w[n] = a.field3(kMetW, kg, slot);
        if (kind == 6) f.pressure[n] = a.field3(kMetPressure, kg, slot);
    }
    f.nx = w.nx;
    f.ny = w.ny;
    f.whole_grid = w.whole_grid;
    f.stagger = met.files.grid(kg, kt).stagger;
    f.one_layout = kind == 3;
    for (int32_t n = 0; n < 2 && f.one_layout; ++n)
        f.one_layout = same_layout(f.u[0], f.u[n]) && same_layout(f.u[0], f.v[n]) && same_layout(f.u[0], f.w[n]);
    return f;
}

}  // namespace

AdvanceResult advpnt(MeteoState& met, const AdvanceContext& ctx, const AdvanceStep& step, ParticlePosition& p,
                     MetAtParticle& m, std::span<ProfileRow> profile, Messages msg) {
    MetSubgridArrays& a = met.arrays;
    AdvanceResult r;
    const int32_t T = step.model_time;
    const float dt = step.time_step;

    // 1-3. The grid and the two data times.
    if (!a.tables_created) create_met_tables(a, met.files.num_grids, msg.console);
    float x = p.x, y = p.y;
    const MetPosition pos = metpos(met, ctx.run.backward, x, y, T, p.grid, msg);
    if (pos.status != 0) {
        p.grid = 0;
        r.status = 1;
        return r;
    }
    p.x = x;
    p.y = y;
    const int32_t kg = pos.grid;
    p.grid = kg;
    r.file = pos.kt1;

    // 4-6. What must be read.
    bool load1 = a.met_time(kg, a.time_slots[0]) != a.request_times[0];
    bool load2 = a.met_time(kg, a.time_slots[1]) != a.request_times[1];
    MetGridWindow& w = a.window(kg);
    if (metsub(met.files.grid(kg, pos.kt1), kg, w, p.x, p.y, msg.log)) load1 = load2 = true;

    // 7-11. Fields sized for the window, then the data times.
    fit_met_fields_to_subgrid(a, kg, ctx.grid.nlvl, msg);
    if (load1 && load2) metgrd(met, kg, pos.kt1, msg);
    if (load1) load_data_time(met, ctx, kg, pos.kt1, 0, T, msg);
    if (load2) load_data_time(met, ctx, kg, pos.kt2, 1, T, msg);

    // 12. The data times must be close enough to interpolate between.
    const float span = static_cast<float>(a.request_times[1] - a.request_times[0]);
    if (std::fabs(span) > kLongestInterpolation) {
        msg.log.list("*ERROR* advpnt: excessive interpolation");
        msg.log.list(" Greater than 720 min: ", std::fabs(span));
        throw RunStop(kStopInput);
    }

    // 13. Vertical motion of the times just read.
    if (ctx.run.vertical_motion > 0) {
        if (load1)
            metwnd(ctx.run.vertical_motion,
                   vertical_motion_fields(a, kg, a.time_slots[0], ctx.sigma, ctx.run.model_top));
        if (load2)
            metwnd(ctx.run.vertical_motion,
                   vertical_motion_fields(a, kg, a.time_slots[1], ctx.sigma, ctx.run.model_top));
    }

    // 14-15. Advection in the window's index space.
    float xs = p.x - static_cast<float>(w.x1) + 1.0f, ys = p.y - static_cast<float>(w.y1) + 1.0f, zs = p.z;
    const float x0 = xs, y0 = ys;
    const int32_t kind = advection_kind(p.type);
    const AdvectionFields fields = advection_fields(met, kg, pos.kt1, kind);
    const AdvectionStep ast{T, a.request_times[0], a.request_times[1], dt};
    const AdvectionSettings as{&ctx.grid, ctx.sigma, ctx.run.model_top, ctx.settings.TRATIO};
    switch (kind) {
        case 3: advect_position_3d(fields, ast, as, xs, ys, zs, m); break;
        case 2: advect_position_2d(fields, ast, xs, ys); break;
        case 6: advect_sampler_position(fields, ast, as, xs, ys, zs, m, met.sampler_surface); break;
        default:
            msg.log.list(" NOTICE advpnt: invalid HDWP/INITD option - ", p.type);
            p.grid = 0;
            r.status = 1;
            return r;
    }

    // 16. Speed, then the wrap of a global window or the end at the window's edge.
    r.speed = dt != 0.0f ? std::max(std::fabs(xs - x0), std::fabs(ys - y0)) / dt : 0.0f;
    const MetGridDefinition& gd = met.files.grid(kg, pos.kt1);
    if (w.whole_grid) {
        const float NX = static_cast<float>(gd.nx), NY = static_cast<float>(gd.ny);
        if (xs >= NX + 1.0f) xs -= NX;
        if (xs < 1.0f) xs += NX;
        if (ys > NY) ys = 2.0f * NY - ys;
        if (ys < 1.0f) ys = 2.0f - ys;
    } else if (!(xs >= 1.0f && ys >= 1.0f && xs <= static_cast<float>(w.nx) && ys <= static_cast<float>(w.ny))) {
        p.grid = 0;
        r.status = 1;
        return r;
    }
    p.x = xs + static_cast<float>(w.x1) - 1.0f;
    p.y = ys + static_cast<float>(w.y1) - 1.0f;
    p.z = std::min(zs, 1.0f);

    // 17. Latitude and longitude.
    met_grid_to_geo(gd, p.x, p.y, m.lat, m.lon);

    // 18. The meteorology at the new position and the evaluation time.
    MetEvaluation e;
    e.grid = kg;
    e.file = pos.kt1;
    e.x = xs;
    e.y = ys;
    e.time = T + static_cast<int32_t>(std::lround(std::clamp(dt, -1.0e6f, 1.0e6f)));
    e.cdep = ctx.deposition.CDEP;
    e.rdep = ctx.deposition.RDEP;
    e.nlvl = ctx.grid.nlvl;
    r.forecast_hour = interpolate_met_at_position(met, e, m, profile, msg.console);
    if (!ctx.sigma.empty()) {
        const float top = ctx.sigma[static_cast<size_t>(std::min<int64_t>(ctx.grid.nlvl, ctx.sigma.size()) - 1)];
        if (p.z < top) p.z = top;
    }
    r.status = 0;
    return r;
}

}  // namespace orv
