#include "meteo/met_interpolation.hpp"

#include <algorithm>
#include <cmath>

#include "common/math_constants.hpp"
#include "run/calendar.hpp"

namespace orv {

float interpolate_2d(const FieldView2D& a, float x, float y, bool whole_grid, int32_t nx, int32_t ny) {
    return interpolate_2d(a, locate_cell(x, y, whole_grid, nx, ny));
}

float interpolate_3d(const FieldView3D& a, float x, float y, float z, bool whole_grid, int32_t nx, int32_t ny) {
    return interpolate_3d(a, locate_cell(x, y, whole_grid, nx, ny), z);
}

void compute_solar_angle(int32_t time, float lat, float lon, float& elevation, float& sine, TextOut& console) {
    const CalendarDate d = tm2day(time, console);
    const float days = (d.year + 1900) % 4 == 0 ? 366.242f : 365.242f;
    const int32_t minutes = time - tm2min(d.year, 1, 1, 0, 0, console);
    const float D = 360.0f * static_cast<float>(minutes) / (days * 24.0f * 60.0f);
    const float r = D * kDegToRadF, r2 = D * (2.0f * kDegToRadF);
    const float L = 279.9348f + D + 1.914827f * std::sin(r) - 0.079525f * std::cos(r) + 0.019938f * std::sin(r2) -
                    0.00162f * std::cos(r2);
    const float sin_decl = 0.39784986f * std::sin(L * kDegToRadF);
    const float decl = std::asin(sin_decl);
    const float noon = 12.0f + 0.12357f * std::sin(r) - 0.004289f * std::cos(r) + 0.153809f * std::sin(r2) +
                       0.060783f * std::cos(r2);
    const float hours = std::fmod(static_cast<float>(minutes) / 60.0f, 24.0f);
    const float h = ((hours - noon) * 15.0f + lon) * kDegToRadF;
    const float phi = lat * kDegToRadF;
    sine = std::sin(phi) * sin_decl + std::cos(phi) * std::cos(decl) * std::cos(h);
    elevation = std::asin(std::clamp(sine, -1.0f, 1.0f)) / kDegToRadF;
}

void estimate_solar_flux(std::span<const ProfileRow> profile, float sine, float& flux, float& transmission) {
    const int32_t n = static_cast<int32_t>(profile.size());
    int32_t m = 1;
    float best = 0.0f;
    for (int32_t k = 1; k <= n; ++k) {
        const float rh = profile[static_cast<size_t>(k - 1)].humidity;
        if (rh > 0.0f && rh > best) {
            best = rh;
            m = k;
        }
    }
    float sum = 0.0f;
    int32_t count = 0;
    for (int32_t k = std::max(m - 1, 1); k <= std::min(m + 1, n); ++k, ++count)
        sum += profile[static_cast<size_t>(k - 1)].humidity;
    const float r = count > 0 ? sum / static_cast<float>(count) : 0.0f;
    const float q = std::clamp(std::pow((std::max(r, 0.8f) - 0.8f) * 5.0f, 2.0f), 0.0f, 1.0f);
    transmission = 1.0f - 0.5f * q;
    flux = std::max(0.0f, 1104.0f * sine * transmission);
}

namespace {

// Levels 1..n of two slots' columns at a cell, time-interpolated into out(k).
template <typename Out>
void column_between(const FieldView3D& a1, const FieldView3D& a2, const GridCell& c, float f, int32_t n, Out out) {
    for (int32_t k = 0; k < n; ++k) {
        const float v1 = interpolate_2d(a1.level(k + 1), c), v2 = interpolate_2d(a2.level(k + 1), c);
        out(k, v1 + (v2 - v1) * f);
    }
}

// One field's four columns at a cell in one slot, level 1 first and the
// levels contiguous.
struct CornerColumns {
    const float *p11, *p21, *p12, *p22;
};

CornerColumns corner_columns(const FieldView3D& a, const CellOffsets& o) {
    return CornerColumns{a.data + o.o11, a.data + o.o21, a.data + o.o12, a.data + o.o22};
}

constexpr int32_t kBlock = 4;  // levels per pass

// Level m (from 0) of one field, the two slots time-interpolated.
inline float column_level(const CornerColumns& a, const CornerColumns& b, int32_t m, const CellOffsets& o, float f) {
    const float lo1 = a.p11[m] + (a.p21[m] - a.p11[m]) * o.fx, hi1 = a.p12[m] + (a.p22[m] - a.p12[m]) * o.fx;
    const float v1 = lo1 + (hi1 - lo1) * o.fy;
    const float lo2 = b.p11[m] + (b.p21[m] - b.p11[m]) * o.fx, hi2 = b.p12[m] + (b.p22[m] - b.p12[m]) * o.fx;
    const float v2 = lo2 + (hi2 - lo2) * o.fy;
    return v1 + (v2 - v1) * f;
}

// Levels k..k+3 (from 0) of one field, the two slots time-interpolated.
inline void column_block(const CornerColumns& a, const CornerColumns& b, int32_t k, const CellOffsets& o, float f,
                         float (&out)[kBlock]) {
    for (int32_t q = 0; q < kBlock; ++q) out[q] = column_level(a, b, k + q, o, f);
}

float row_density(float pressure, float temperature) { return 100.0f * pressure / (287.04f * temperature); }

// The column profile (see profile_between) from views of any layout, one
// field and one level at a time.
void profile_between_views(const MetSlotFields& f1, const MetSlotFields& f2, const GridCell& c, float f, int32_t n,
                           bool full, std::span<ProfileRow> profile) {
    column_between(f1.met_turbulence_3, f2.met_turbulence_3, c, f, n,
                   [&](int32_t q, float x) { profile[static_cast<size_t>(q)].turbulence_3 = x; });
    if (!full) return;
    column_between(f1.met_pressure, f2.met_pressure, c, f, n,
                   [&](int32_t q, float x) { profile[static_cast<size_t>(q)].pressure = x; });
    column_between(f1.met_temperature, f2.met_temperature, c, f, n,
                   [&](int32_t q, float x) { profile[static_cast<size_t>(q)].temperature = x; });
    column_between(f1.met_humidity, f2.met_humidity, c, f, n,
                   [&](int32_t q, float x) { profile[static_cast<size_t>(q)].humidity = x; });
    for (int32_t q = 0; q < n; ++q) {
        ProfileRow& r = profile[static_cast<size_t>(q)];
        r.density = row_density(r.pressure, r.temperature);
    }
}

// The column profile at a cell, levels 1..n into rows 0..n-1: the vertical
// turbulence, and with `full` pressure, temperature, humidity and density.
// Fields whose columns are contiguous and share one layout are read four
// levels per pass.
void profile_between(const MetSlotFields& f1, const MetSlotFields& f2, const GridCell& c, float f, int32_t n,
                     bool full, std::span<ProfileRow> profile) {
    const FieldView3D* v[8] = {&f1.met_turbulence_3, &f2.met_turbulence_3, &f1.met_pressure, &f2.met_pressure,
                               &f1.met_temperature,  &f2.met_temperature,  &f1.met_humidity, &f2.met_humidity};
    const int32_t used = full ? 8 : 2;
    bool contiguous = v[0]->levels_innermost();
    for (int32_t q = 1; q < used; ++q) contiguous = contiguous && same_layout(*v[0], *v[q]);
    if (!contiguous) {
        profile_between_views(f1, f2, c, f, n, full, profile);
        return;
    }
    const CellOffsets o = cell_offsets(c, v[0]->step, v[0]->ldx);
    CornerColumns col[8];
    for (int32_t q = 0; q < used; ++q) col[q] = corner_columns(*v[q], o);
    ProfileRow* rows = profile.data();
    int32_t k = 0;
    for (; k + kBlock <= n; k += kBlock) {
        float t3[kBlock];
        column_block(col[0], col[1], k, o, f, t3);
        for (int32_t q = 0; q < kBlock; ++q) rows[k + q].turbulence_3 = t3[q];
        if (!full) continue;
        float p[kBlock], t[kBlock], rh[kBlock], rho[kBlock];
        column_block(col[2], col[3], k, o, f, p);
        column_block(col[4], col[5], k, o, f, t);
        column_block(col[6], col[7], k, o, f, rh);
        for (int32_t q = 0; q < kBlock; ++q) rho[q] = row_density(p[q], t[q]);
        for (int32_t q = 0; q < kBlock; ++q) {
            ProfileRow& r = rows[k + q];
            r.pressure = p[q];
            r.temperature = t[q];
            r.humidity = rh[q];
            r.density = rho[q];
        }
    }
    for (; k < n; ++k) {
        ProfileRow& r = rows[k];
        r.turbulence_3 = column_level(col[0], col[1], k, o, f);
        if (!full) continue;
        r.pressure = column_level(col[2], col[3], k, o, f);
        r.temperature = column_level(col[4], col[5], k, o, f);
        r.humidity = column_level(col[6], col[7], k, o, f);
        r.density = row_density(r.pressure, r.temperature);
    }
}

// The two data times' surface fields at a cell, time-interpolated; `o` holds
// the cell's offsets in the layout of `a1` and `a2` when both share it.
struct SurfaceCell {
    const GridCell& c;
    FieldView2D layout;
    CellOffsets o;
};

float surface_between(const FieldView2D& a1, const FieldView2D& a2, const SurfaceCell& s, float f) {
    if (same_layout(a1, s.layout) && same_layout(a2, s.layout)) {
        const float v1 = interpolate_2d(a1, s.o), v2 = interpolate_2d(a2, s.o);
        return v1 + (v2 - v1) * f;
    }
    const float v1 = interpolate_2d(a1, s.c), v2 = interpolate_2d(a2, s.c);
    return v1 + (v2 - v1) * f;
}

// The two data times' fields at a cell and level z, time-interpolated.
float level_between(const FieldView3D& a1, const FieldView3D& a2, const CellOffsets& o, LevelPair lz, float f) {
    const float v1 = interpolate_3d(a1, o, lz), v2 = interpolate_3d(a2, o, lz);
    return v1 + (v2 - v1) * f;
}

// Precipitation rate (m per minute) from the two data times' fields.
float rain_rate(float pr1, float pr2, int32_t period, int32_t fh1, int32_t t1, int32_t t2) {
    if (period > 0) {
        if ((60 * int64_t{fh1}) % period == 0) pr1 = 0.0f;
        const float span = static_cast<float>(std::abs(int64_t{t2} - t1));
        return span > 0.0f ? std::max(0.0f, (pr2 - pr1) / span) : 0.0f;
    }
    if (period < 0) {
        if ((60 * int64_t{fh1}) % (-int64_t{period}) == 0) return std::max(0.0f, pr2);
        return std::max(0.0f, 2.0f * pr2 - pr1);
    }
    return 0.0f;
}

// The fields of a slot that the evaluation reads; the others stay empty.
MetSlotFields evaluation_fields(MetSubgridArrays& a, const MetEvaluation& e, int32_t slot) {
    MetSlotFields s;
    s.met_turbulence_1 = a.field3(kMetTurbulence1, e.grid, slot);
    s.met_turbulence_2 = a.field3(kMetTurbulence2, e.grid, slot);
    s.met_turbulence_3 = a.field3(kMetTurbulence3, e.grid, slot);
    if (e.cdep) {
        s.met_pressure = a.field3(kMetPressure, e.grid, slot);
        s.met_temperature = a.field3(kMetTemperature, e.grid, slot);
        s.met_humidity = a.field3(kMetHumidity, e.grid, slot);
        s.sfc_precipitation = a.field2(kSfcPrecipitation, e.grid, slot);
    }
    if (e.rdep) {
        s.sfc_momentum_x = a.field2(kSfcMomentumX, e.grid, slot);
        s.sfc_momentum_y = a.field2(kSfcMomentumY, e.grid, slot);
        s.sfc_stability_1 = a.field2(kSfcStability1, e.grid, slot);
        s.sfc_stability_2 = a.field2(kSfcStability2, e.grid, slot);
        s.sfc_u10 = a.field2(kSfcU10, e.grid, slot);
        s.sfc_v10 = a.field2(kSfcV10, e.grid, slot);
        s.sfc_mixed_layer_depth = a.field2(kSfcMixedLayerDepth, e.grid, slot);
        s.sfc_shortwave_flux = a.field2(kSfcShortwaveFlux, e.grid, slot);
    }
    return s;
}

}  // namespace

int32_t interpolate_met_at_position(MeteoState& met, const MetEvaluation& e, MetAtParticle& m,
                                    std::span<ProfileRow> profile, TextOut& console) {
    MetSubgridArrays& a = met.arrays;
    const MetGridWindow& w = a.window(e.grid);
    const MeteoDataFlags& flags = met.files.layout(e.grid, e.file).flags;
    const int32_t s1 = a.time_slots[0], s2 = a.time_slots[1];
    const int32_t t1 = a.request_times[0], t2 = a.request_times[1];

    // 1. Time fraction and forecast hour. A step that does not divide the
    // data interval can end past the later data time: the values at the
    // particle then stay those of that time rather than run on beyond the
    // data (a variance or a rain rate carried on falls below 0).
    const float f = std::min(time_fraction(e.time, t1, t2), 1.0f);
    const int32_t fh1 = a.met_forecast(e.grid, s1), fh2 = a.met_forecast(e.grid, s2);
    const int32_t forecast_hour =
        static_cast<int32_t>(std::round(static_cast<float>(fh1) + static_cast<float>(fh2 - fh1) * f));

    // 2-3. The nearest grid point and the fixed fields.
    int32_t i = static_cast<int32_t>(std::lround(std::clamp(e.x, -1.0e6f, 1.0e6f)));
    int32_t j = static_cast<int32_t>(std::lround(std::clamp(e.y, -1.0e6f, 1.0e6f)));
    if (w.whole_grid) {
        if (i > w.nx) i = 1;
        if (i < 1) i = w.nx;
    }
    i = std::clamp(i, 1, w.nx);
    j = std::clamp(j, 1, w.ny);
    const GridCell c = locate_cell(e.x, e.y, w.whole_grid, w.nx, w.ny);
    const MetFixedFields fx = a.fixed_fields(e.grid);
    m.grid_spacing_x = fx.grid_spacing_x.at(i, j);
    m.grid_spacing_y = fx.grid_spacing_y.at(i, j);
    m.roughness = fx.roughness_length.at(i, j);
    m.land_use = fx.land_use.at(i, j);
    m.terrain_height = interpolate_2d(fx.terrain_height, c);

    const MetSlotFields f1 = evaluation_fields(a, e, s1), f2 = evaluation_fields(a, e, s2);
    // 4. Horizontal turbulence at the particle's level.
    const float k = m.level_index;
    const FieldView3D& lay = f1.met_turbulence_2;
    if (same_layout(lay, f2.met_turbulence_2) && same_layout(lay, f1.met_turbulence_1) &&
        same_layout(lay, f2.met_turbulence_1)) {
        const CellOffsets o = cell_offsets(c, lay.step, lay.ldx);
        const LevelPair lz = level_pair(k, lay.nz);
        m.turbulence_2 = level_between(f1.met_turbulence_2, f2.met_turbulence_2, o, lz, f);
        m.turbulence_1 = level_between(f1.met_turbulence_1, f2.met_turbulence_1, o, lz, f);
    } else {
        const float u1 = interpolate_3d(f1.met_turbulence_2, c, k), u2 = interpolate_3d(f2.met_turbulence_2, c, k);
        m.turbulence_2 = u1 + (u2 - u1) * f;
        const float v1 = interpolate_3d(f1.met_turbulence_1, c, k), v2 = interpolate_3d(f2.met_turbulence_1, c, k);
        m.turbulence_1 = v1 + (v2 - v1) * f;
    }

    // 5. The column profile.
    const int32_t n = std::min({e.nlvl, static_cast<int32_t>(profile.size()), a.nz});
    profile_between(f1, f2, c, f, n, e.cdep, profile);

    // 6. Surface values for the resistance deposition.
    const FieldView2D& sl = e.rdep ? f1.sfc_momentum_x : f1.sfc_precipitation;
    const SurfaceCell sc{c, sl, cell_offsets(c, sl.step, sl.ldx)};
    if (e.rdep) {
        const float ax = surface_between(f1.sfc_momentum_x, f2.sfc_momentum_x, sc, f) * m.grid_spacing_x / 60.0f;
        const float ay = surface_between(f1.sfc_momentum_y, f2.sfc_momentum_y, sc, f) * m.grid_spacing_y / 60.0f;
        m.friction_velocity = std::sqrt(ax * ax + ay * ay);
        m.stability_1 = surface_between(f1.sfc_stability_1, f2.sfc_stability_1, sc, f);
        m.stability_2 = surface_between(f1.sfc_stability_2, f2.sfc_stability_2, sc, f);
        const float u10 = surface_between(f1.sfc_u10, f2.sfc_u10, sc, f);
        const float v10 = surface_between(f1.sfc_v10, f2.sfc_v10, sc, f);
        m.wind_speed_10m = std::sqrt(u10 * u10 + v10 * v10);
        m.mixed_layer_depth = surface_between(f1.sfc_mixed_layer_depth, f2.sfc_mixed_layer_depth, sc, f);
        if (flags.down_shortwave) {
            m.solar_flux = surface_between(f1.sfc_shortwave_flux, f2.sfc_shortwave_flux, sc, f);
        } else {
            float elevation = 0.0f, sine = 0.0f, transmission = 0.0f;
            compute_solar_angle(e.time, m.lat, m.lon, elevation, sine, console);
            estimate_solar_flux(profile.first(static_cast<size_t>(n)), sine, m.solar_flux, transmission);
        }
    }

    // 7. Precipitation.
    if (e.cdep) {
        float pr1 = 0.0f, pr2 = 0.0f;
        if (same_layout(f1.sfc_precipitation, sc.layout) && same_layout(f2.sfc_precipitation, sc.layout)) {
            pr1 = interpolate_2d(f1.sfc_precipitation, sc.o);
            pr2 = interpolate_2d(f2.sfc_precipitation, sc.o);
        } else {
            pr1 = interpolate_2d(f1.sfc_precipitation, c);
            pr2 = interpolate_2d(f2.sfc_precipitation, c);
        }
        m.rain = rain_rate(pr1, pr2, flags.precip_accumulation, fh1, t1, t2);
    }
    return forecast_hour;
}

}  // namespace orv
