#include "meteo/vertical_remap.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <new>
#include <string>

#include "common/run_stop.hpp"
#include "meteo/stability.hpp"

namespace orv {

namespace {

constexpr const char* kMethodNames[4] = {"prfsig", "prfprs", "prfter", "prfecm"};

// How a method's data levels are described before the common upward walk.
struct LevelDescription {
    bool log_pressure = true;     // interpolate ln p (else p)
    bool height_velocity = false;  // vertical velocity in m/s (else hPa/s)
    bool hold_surface = false;     // the ground stays the level below until an internal level is filled
    float surface_temperature = 0.0f;
    bool observed_surface_temperature = false;
};

// Heights from the hypsometric equation, upward from the ground.
void hypsometric_heights(DataColumn& d, float ps, float ts) {
    float lp_prev = std::log(ps), t_prev = ts, z = 0.0f;
    for (int32_t kd = 1; kd <= d.nd; ++kd) {
        const float lp = std::log(d.pressure[kd]);
        z += (lp_prev - lp) * kDryAirGas * 0.5f * (d.t[kd] + t_prev) / kGravity;
        d.height[kd] = z;
        lp_prev = lp;
        t_prev = d.t[kd];
    }
}

float sea_level_estimate(float zs, float t1) { return std::exp(kLn1013 - kGravity * zs / (kDryAirGas * t1)); }
float height_from_pressure(float ps, float t1) { return std::log(1013.0f / ps) * kDryAirGas * t1 / kGravity; }

// Terrain under pressure-level data that hold no terrain height: from the
// heights of the levels that bracket the surface pressure.
float terrain_from_pressure_levels(const DataColumn& d, float ps, MeteoNotices& notices, TextOut& log) {
    const float p1 = d.pressure[1], h1 = d.height_or_pressure[1];
    if (ps > p1 || d.nd < 2) return h1 - std::log(ps / p1) * kDryAirGas * d.t[1] / kGravity;
    int32_t k = 2;
    while (k < d.nd && d.pressure[k] > ps) ++k;
    if (d.pressure[k] > ps && !notices.surface_pressure_below_levels) {
        notices.surface_pressure_below_levels = true;
        log.list("WARNING prfprs: surface pressure below every data level - ", ps,
                 " terrain extrapolated from the top two levels");
    }
    const float pa = d.pressure[k - 1], pb = d.pressure[k];
    const float ha = d.height_or_pressure[k - 1], hb = d.height_or_pressure[k];
    return ha + (hb - ha) * (ps - pa) / (pb - pa);
}

// Surface values, data-level pressures and heights of each vertical type.
LevelDescription describe_levels(const MetGridDefinition& gd, const MetFileLayout& lay, DataColumn& d, Messages msg) {
    const MeteoDataFlags& fl = lay.flags;
    const int32_t nd = d.nd;
    const float t1 = d.t[1];
    LevelDescription ld;
    ld.observed_surface_temperature = fl.two_metre_temperature;
    float ts = d.temperature_2m;
    switch (lay.vertical_type) {
        case 1: {
            if (!fl.surface_pressure) d.surface_pressure = sea_level_estimate(d.terrain, t1);
            const float ps = d.surface_pressure, ptop = gd.header[kTopPressure];
            for (int32_t kd = 1; kd <= nd; ++kd)
                d.pressure[kd] = fl.upper_pressure ? d.height_or_pressure[kd] : d.value[kd] * (ps - ptop) + ptop;
            if (!fl.two_metre_temperature) ts = t1 * std::pow(d.value[1], -kKappa);
            hypsometric_heights(d, ps, ts);
            ld.height_velocity = fl.height_velocity || fl.sfc_vertical_velocity;
            break;
        }
        case 2: {
            for (int32_t kd = 1; kd <= nd; ++kd) d.pressure[kd] = d.value[kd];
            if (fl.terrain_height) {
                if (!fl.surface_pressure)
                    d.surface_pressure = std::exp(std::log(d.pressure[1]) + (d.height_or_pressure[1] - d.terrain) *
                                                                                 kGravity / (kDryAirGas * t1));
            }
            break;
        }
        case 3: {
            if (fl.terrain_height) {
                if (!fl.surface_pressure) d.surface_pressure = sea_level_estimate(d.terrain, t1);
            } else {
                d.terrain = height_from_pressure(d.surface_pressure, t1);
            }
            const float zd = lay.level_heights[0];
            for (int32_t kd = 1; kd <= nd; ++kd) {
                d.pressure[kd] = d.height_or_pressure[kd];
                d.height[kd] = d.value[kd] * (1.0f - d.terrain / zd);
            }
            if (!fl.two_metre_temperature)
                ts = t1 * std::pow(1.0f - (1.0f - d.terrain / zd) * d.value[1] / (zd - d.terrain), -kKappa);
            ld.log_pressure = false;
            ld.height_velocity = zd > 20000.0f;
            break;
        }
        case 4: {
            if (fl.terrain_height) {
                if (!fl.surface_pressure) d.surface_pressure = sea_level_estimate(d.terrain, t1);
            } else if (fl.surface_pressure) {
                d.terrain = height_from_pressure(d.surface_pressure, t1);
            } else {
                msg.log.list("*ERROR* prfecm: either surface pressure or terrain required");
                msg.console.list("*ERROR* prfecm: see message file for more information");
                throw RunStop(kStopInput);
            }
            const float ps = d.surface_pressure;
            for (int32_t kd = 1; kd <= nd; ++kd) {
                const float v = d.value[kd];
                d.pressure[kd] = std::trunc(v) + (v - std::trunc(v)) * ps;
            }
            if (!fl.two_metre_temperature) ts = t1 * std::pow(d.pressure[1] / ps, -kKappa);
            hypsometric_heights(d, ps, ts);
            break;
        }
        default:
            msg.console.list("*ERROR* prfcom: no vertical data remapping");
            msg.console.list(" Unknown vertical type:", lay.vertical_type);
            throw RunStop(kStopInput);
    }
    ld.surface_temperature = ts;
    return ld;
}

// The pressure-level specifics that need the other surface values first.
void describe_pressure_levels(const MeteoDataFlags& fl, DataColumn& d, LevelDescription& ld, MeteoNotices& notices,
                              TextOut& log) {
    if (!fl.terrain_height) d.terrain = terrain_from_pressure_levels(d, d.surface_pressure, notices, log);
    for (int32_t kd = 1; kd <= d.nd; ++kd) d.height[kd] = d.height_or_pressure[kd] - d.terrain;
    if (!fl.two_metre_temperature)
        ld.surface_temperature = d.t[1] * std::pow(d.pressure[1] / d.surface_pressure, -kKappa);
    ld.hold_surface = true;
}

float relative_humidity(bool specific, float q, float p, float t) {
    return specific ? q * p / (0.622f * saturation_vapour_pressure(t)) : q / 100.0f;
}

void extrapolation_notice(int32_t type, int32_t k, float z, int32_t nd, int32_t nlvl, MeteoNotices& notices,
                          TextOut& log) {
    bool& done = notices.extrapolation[static_cast<size_t>(type - 1)];
    if (done) return;
    done = true;
    const std::string dashes(56, '-');
    log.list(dashes);
    log.list(std::string(" NOTICE ") + kMethodNames[type - 1] + ": extrapolation from level (k,m): ", k, z);
    log.list("Input data levels: ", nd);
    log.list("    Internal Sigma levels: ", nlvl);
    log.list(dashes);
}

}  // namespace

void DataColumn::resize(int32_t levels) {
    nd = levels;
    const size_t n = static_cast<size_t>(std::max(levels, 0)) + 1;
    for (auto* a : {&value, &u, &v, &w, &t, &moisture, &height_or_pressure, &e1, &e2, &e3, &pressure, &height, &rh})
        a->assign(n, 0.0f);
}

void remap_column(const MetGridDefinition& gd, const MetFileLayout& lay, const RemapGrid& rg, DataColumn& d,
                  ColumnProfile& out, MeteoNotices& notices, Messages msg) {
    const MeteoDataFlags& fl = lay.flags;
    const int32_t nd = d.nd, n = rg.nlvl, type = lay.vertical_type;
    LevelDescription ld = describe_levels(gd, lay, d, msg);
    if (type == 2) describe_pressure_levels(fl, d, ld, notices, msg.log);
    const float ps = d.surface_pressure, ts = ld.surface_temperature;
    const float depth = rg.model_top - d.terrain;
    auto internal_height = [&](int32_t k) { return (1.0f - rg.sigma[static_cast<size_t>(k - 1)]) * depth; };

    // 1. Moisture as relative humidity; the ground below data level 1.
    for (int32_t kd = 1; kd <= nd; ++kd)
        d.rh[kd] = relative_humidity(fl.specific_humidity, d.moisture[kd], d.pressure[kd], d.t[kd]);
    float ub = d.u[1], vb = d.v[1];
    if (fl.ten_metre_wind) {
        ub = d.u10;
        vb = d.v10;
    } else if (d.height[1] > internal_height(1)) {
        // 2. Log-law wind at the lowest internal level.
        const float z0 = std::max(d.roughness, 1.0e-4f);
        float factor = std::log(internal_height(1) / z0) / std::log(d.height[1] / z0);
        factor = std::isfinite(factor) ? std::clamp(factor, 0.0f, 1.0f) : 1.0f;
        ub *= factor;
        vb *= factor;
    }
    out.p[0] = ps;
    out.t[0] = ts;
    out.theta[0] = ts * std::pow(1000.0f / ps, kKappa);
    out.rho[0] = 100.0f * ps / (kDryAirGas * ts);
    out.z[0] = 0.0f;
    out.u[0] = ub;
    out.v[0] = vb;
    out.w[0] = 0.0f;
    out.rh[0] = relative_humidity(fl.specific_humidity, d.moisture[1], ps, d.t[1]);
    out.e1[0] = d.e1[1];
    out.e2[0] = d.e2[1];
    out.e3[0] = d.e3[1];

    // 3. Upward walk: every internal level at or below a data level is
    // interpolated between that level and the level below.
    float zp = 0.0f, pp = ps, tp = ts, rp = out.rh[0], up = ub, vp = vb, wp = 0.0f;
    float e1p = out.e1[0], e2p = out.e2[0], e3p = out.e3[0];
    int32_t k = 1;
    for (int32_t kd = 1; kd <= nd && k <= n; ++kd) {
        const float zd = d.height[kd];
        while (k <= n && internal_height(k) <= zd) {
            const float zi = internal_height(k);
            const float span = zd - zp;
            const float f = span > 0.0f ? (zi - zp) / span : 1.0f;
            const float t = tp + (d.t[kd] - tp) * f;
            const float p = ld.log_pressure ? std::exp(std::log(pp) + (std::log(d.pressure[kd]) - std::log(pp)) * f)
                                            : pp + (d.pressure[kd] - pp) * f;
            const float rho = 100.0f * p / (kDryAirGas * t);
            const float vel = wp + (d.w[kd] - wp) * f;
            out.t[k] = t;
            out.p[k] = p;
            out.rho[k] = rho;
            out.theta[k] = t * std::pow(1000.0f / p, kKappa);
            out.rh[k] = rp + (d.rh[kd] - rp) * f;
            out.u[k] = up + (d.u[kd] - up) * f;
            out.v[k] = vp + (d.v[kd] - vp) * f;
            out.e1[k] = e1p + (d.e1[kd] - e1p) * f;
            out.e2[k] = e2p + (d.e2[kd] - e2p) * f;
            out.e3[k] = e3p + (d.e3[kd] - e3p) * f;
            out.w[k] = ld.height_velocity ? -vel / depth : vel * 100.0f / (rho * kGravity * depth);
            out.z[k] = (kd == 1 && !ld.observed_surface_temperature) ? -zi : zi;
            ++k;
        }
        if (ld.hold_surface && k == 1) continue;
        zp = zd;
        pp = d.pressure[kd];
        tp = d.t[kd];
        rp = d.rh[kd];
        up = d.u[kd];
        vp = d.v[kd];
        wp = d.w[kd];
        e1p = d.e1[kd];
        e2p = d.e2[kd];
        e3p = d.e3[kd];
    }
    if (k > n) return;

    // 4. Above the data: hydrostatic pressure, constant wind and temperature,
    // vertical motion halving level by level.
    extrapolation_notice(type, k, internal_height(k), nd, n, notices, msg.log);
    const float top_rh = nd >= 1 ? d.rh[nd] : out.rh[0];
    for (; k <= n; ++k) {
        const float z = internal_height(k), zb = k > 1 ? internal_height(k - 1) : 0.0f;
        out.z[k] = z;
        out.theta[k] = out.theta[k - 1];
        out.t[k] = out.t[k - 1];
        out.rh[k] = top_rh;
        out.p[k] = out.p[k - 1] - out.rho[k - 1] * kGravity * (z - zb) / 100.0f;
        out.rho[k] = 100.0f * out.p[k] / (kDryAirGas * out.t[k]);
        out.u[k] = out.u[k - 1];
        out.v[k] = out.v[k - 1];
        out.e1[k] = out.e1[k - 1];
        out.e2[k] = out.e2[k - 1];
        out.e3[k] = out.e3[k - 1];
        out.w[k] = 0.5f * out.w[k - 1];
    }
}

namespace {

// The column's data as read, with the turbulence gaps filled.
void read_column(const MetSlotFields& f, const MeteoDataFlags& fl, int32_t i, int32_t j, DataColumn& d) {
    const int32_t nd = d.nd;
    for (int32_t kd = 1; kd <= nd; ++kd) {
        d.u[kd] = f.met_u.at(i, j, kd);
        d.v[kd] = f.met_v.at(i, j, kd);
        d.t[kd] = f.met_temperature.at(i, j, kd);
        d.height_or_pressure[kd] = f.met_pressure.at(i, j, kd);
        d.w[kd] = fl.level_vertical_velocity[static_cast<size_t>(kd)] ? f.met_w.at(i, j, kd) : 0.0f;
        d.moisture[kd] = fl.level_moisture[static_cast<size_t>(kd)] ? f.met_humidity.at(i, j, kd) : 0.0f;
        d.e1[kd] = d.e2[kd] = d.e3[kd] = 0.0f;
    }
    if (fl.tke) {
        float fill = 0.0f;
        for (int32_t kd = 1; kd <= nd; ++kd) {
            if (f.met_turbulence_1.at(i, j, kd) > 0.0f) {
                fill = f.met_turbulence_1.at(i, j, kd);
                break;
            }
        }
        for (int32_t kd = 1; kd <= nd; ++kd) {
            const float e = f.met_turbulence_1.at(i, j, kd);
            d.e1[kd] = e == 0.0f ? fill : e;
        }
    } else if (fl.velocity_variance) {
        float f1 = 0.0f, f2 = 0.0f, f3 = 0.0f;
        for (int32_t kd = 1; kd <= nd; ++kd) {
            if (f.met_turbulence_1.at(i, j, kd) > 0.0f) {
                f1 = f.met_turbulence_1.at(i, j, kd);
                f2 = f.met_turbulence_2.at(i, j, kd);
                f3 = f.met_turbulence_3.at(i, j, kd);
                break;
            }
        }
        for (int32_t kd = 1; kd <= nd; ++kd) {
            const bool gap = f.met_turbulence_1.at(i, j, kd) == 0.0f;
            d.e1[kd] = gap ? f1 : f.met_turbulence_1.at(i, j, kd);
            d.e2[kd] = gap ? f2 : f.met_turbulence_2.at(i, j, kd);
            d.e3[kd] = gap ? f3 : f.met_turbulence_3.at(i, j, kd);
        }
    }
}

void write_column(const MetSlotFields& f, int32_t i, int32_t j, const ColumnProfile& c, float gx, float gy) {
    const float cx = 60.0f / gx, cy = 60.0f / gy;
    for (int32_t k = 1; k <= c.nlvl; ++k) {
        f.met_u.at(i, j, k) = c.u[k] * cx;
        f.met_v.at(i, j, k) = c.v[k] * cy;
        f.met_w.at(i, j, k) = c.w[k] * 60.0f;
        f.met_temperature.at(i, j, k) = c.t[k];
        f.met_potential_temperature.at(i, j, k) = c.theta[k];
        f.met_humidity.at(i, j, k) = std::clamp(c.rh[k], 0.0f, 1.0f);
        f.met_pressure.at(i, j, k) = c.p[k];
        f.met_turbulence_1.at(i, j, k) = std::max(c.e1[k], 0.0f);
        f.met_turbulence_2.at(i, j, k) = std::max(c.e2[k], 0.0f);
        f.met_turbulence_3.at(i, j, k) = std::max(c.e3[k], 0.0f);
    }
}

// Sizes one group of work profiles to levels 0..`levels`, zeroed; a group
// that cannot be had stops the run with its label.
void size_work_profiles(const char* label, std::initializer_list<std::vector<float>*> group, int32_t levels,
                        TextOut& console) {
    const size_t n = static_cast<size_t>(std::max(levels, 0)) + 1;
    try {
        for (std::vector<float>* a : group) a->assign(n, 0.0f);
    } catch (const std::bad_alloc&) {
        console.list(std::string("*ERROR* prfcom: memory allocation - ") + label);
        throw RunStop(kStopInput);
    }
}

}  // namespace

void prfcom(MeteoState& met, int32_t kg, int32_t kt, int32_t slot, int32_t data_levels, const Settings& settings,
            const InternalVerticalGrid& vg, std::span<const float> sigma, float model_top, Messages msg) {
    const MetGridDefinition& gd = met.files.grid(kg, kt);
    const MetFileLayout& lay = met.files.layout(kg, kt);
    const MeteoDataFlags& fl = lay.flags;
    if (lay.vertical_type < 1 || lay.vertical_type > 4) {
        msg.console.list("*ERROR* prfcom: no vertical data remapping");
        msg.console.list(" Unknown vertical type:", lay.vertical_type);
        throw RunStop(kStopInput);
    }
    const MetGridWindow& w = met.arrays.window(kg);
    const MetSlotFields f = met.arrays.slot_fields(kg, slot);
    const MetFixedFields fx = met.arrays.fixed_fields(kg);
    const int32_t n = std::min({vg.nlvl, static_cast<int32_t>(sigma.size()), f.met_u.nz});
    const int32_t nd = std::min(data_levels, f.met_u.nz);
    if (nd < 1 || n < 2) input_stop("prfcom", met.files.file(kg, kt).path, 0,
                                    "no data levels above the surface, or fewer than 2 internal levels", msg.console);

    RemapGrid rg{sigma.first(static_cast<size_t>(n)), model_top, n};
    DataColumn d;
    ColumnProfile c;
    d.nd = nd;
    c.nlvl = n;
    size_work_profiles("sigma", {&d.value}, nd, msg.console);
    size_work_profiles("input", {&d.u, &d.v, &d.w, &d.t, &d.moisture, &d.height_or_pressure}, nd, msg.console);
    size_work_profiles("turbulence", {&d.e1, &d.e2, &d.e3}, nd, msg.console);
    size_work_profiles("output", {&c.p, &c.u, &c.v, &c.w, &c.theta, &c.z, &c.rh, &c.rho, &c.t}, n, msg.console);
    size_work_profiles("mixing", {&c.e1, &c.e2, &c.e3}, n, msg.console);
    size_work_profiles("diagnostic", {&d.pressure, &d.height, &d.rh}, nd, msg.console);
    for (int32_t kd = 1; kd <= nd; ++kd) d.value[kd] = lay.level_heights[static_cast<size_t>(kd)];
    TurbulenceOptions o;
    o.kbls = fl.kbls;
    o.kblt = fl.kblt;
    o.kmixd = settings.KMIXD;
    o.kmix0 = settings.KMIX0;
    o.kzmix = fl.kzmix;
    o.tvmix = fl.tvmix;
    o.tkerd = settings.TKERD;
    o.tkern = settings.TKERN;
    o.vscale = settings.VSCALE;
    o.surface_layer_level = vg.surface_layer_level;
    const float heat_sign = (gd.source_id.is("EDAS") || gd.source_id.is(" ETA")) ? -1.0f : 1.0f;

    for (int32_t j = 1; j <= w.ny; ++j) {
        for (int32_t i = 1; i <= w.nx; ++i) {
            read_column(f, fl, i, j, d);
            d.surface_pressure = f.sfc_pressure.at(i, j);
            d.terrain = fx.terrain_height.at(i, j);
            d.temperature_2m = f.sfc_temperature_2m.at(i, j);
            d.u10 = f.sfc_u10.at(i, j);
            d.v10 = f.sfc_v10.at(i, j);
            d.roughness = fx.roughness_length.at(i, j);
            remap_column(gd, lay, rg, d, c, met.notices, msg);
            f.sfc_pressure.at(i, j) = d.surface_pressure;
            fx.terrain_height.at(i, j) = d.terrain;

            StabilitySurface s;
            s.roughness = d.roughness;
            s.momentum_x = f.sfc_momentum_x.at(i, j);
            s.momentum_y = f.sfc_momentum_y.at(i, j);
            s.heat = heat_sign * f.sfc_heat.at(i, j);
            s.mixed_layer_depth = f.sfc_mixed_layer_depth.at(i, j);
            const StabilityState st = stbanl(o, fl, i, j, c, s, msg);
            compute_turbulence(o, c, st, msg.console);

            const float gx = fx.grid_spacing_x.at(i, j), gy = fx.grid_spacing_y.at(i, j);
            f.sfc_momentum_x.at(i, j) = -s.momentum_x * 60.0f / gx;
            f.sfc_momentum_y.at(i, j) = -s.momentum_y * 60.0f / gy;
            f.sfc_mixed_layer_depth.at(i, j) = s.mixed_layer_depth;
            f.sfc_stability_1.at(i, j) = s.stability_1;
            f.sfc_stability_2.at(i, j) = s.stability_2;
            write_column(f, i, j, c, gx, gy);
        }
    }
    if (fl.kdef == 1)
        compute_horizontal_mixing_from_deformation(w.nx, w.ny, n, fx.grid_spacing_x, fx.grid_spacing_y, f.met_u,
                                                   f.met_v, f.met_turbulence_1, f.met_turbulence_2);
}

}  // namespace orv
