#include "mercury/oxidants_at_puff.hpp"

#include <algorithm>
#include <cmath>

#include "run/calendar.hpp"
#include "run/land_use.hpp"

namespace orv {

namespace {

constexpr float kAvogadro = 6.022e23f;

// Clamps a real index before it is truncated to an integer (NaN to the low end).
float clamp_index(float v, float lo, float hi) {
    if (!(v >= lo)) return lo;
    return v > hi ? hi : v;
}

// The value of one latitude band at height h (km) from its surface and
// 6 km values: linear through 1.5 km, 6 km and 12 km.
float band_value(float surface, float six_km, float h) {
    const float at_1_5 = (1.3f * surface + 1.7f * six_km) / 2.0f;
    const float at_12 = (0.27f * surface + 0.34f * six_km) / 2.0f;
    if (h <= 0.0f) return surface;
    if (h < 1.5f) return surface + (at_1_5 - surface) * h / 1.5f;
    if (h == 1.5f) return at_1_5;
    if (h < 6.0f) return at_1_5 + (six_km - at_1_5) * (h - 1.5f) / 4.5f;
    if (h == 6.0f) return six_km;
    if (h < 12.0f) return six_km + (at_12 - six_km) * (h - 6.0f) / 6.0f;
    return at_12;
}

void dump_oh(DiagnosticChannels& ch, int32_t caller, float solar_time, int32_t month, float height_km, float lat,
             float oh, float oh_conc) {
    const int32_t c = channel_for_caller(5, caller);
    if (!ch.fires(c)) return;
    static const fmt::Format layout("(I5,F8.3,I5,2F8.3,2E12.3)");
    DumpItems d;
    d.add(caller).add(solar_time).add(month).add(height_km).add(lat).add(oh).add(oh_conc);
    dump_record(ch.dump_file(c), layout, d.items());
}

// The 8 grid points around a position in the global grid and their
// inverse-squared-distance weights, the same for every field.
struct CornerWeights {
    std::array<size_t, 8> index;
    std::array<float, 8> d;  // squared distance in index units
    int32_t within = -1;     // the first corner within 0.1 index units, if any
    float sum_w = 0.0f;
};

CornerWeights corner_weights(const GlobalGridPosition& p) {
    using G = GlobalChemGrid;
    // Positions off the grid (a latitude beyond a pole, a longitude beyond
    // one turn west) are held at its edge.
    const float x = clamp_index(p.x, 1.0f, 128.999f);
    const float y = clamp_index(p.y, 1.0f, static_cast<float>(G::kNlat));
    const float z = clamp_index(p.z, 1.0f, static_cast<float>(G::kNlev));
    const int32_t i = std::min(static_cast<int32_t>(x), G::kNlon);
    const int32_t i2 = i == G::kNlon ? 1 : i + 1;
    const float xi2 = i == G::kNlon ? static_cast<float>(G::kNlon + 1) : static_cast<float>(i2);
    const int32_t j = static_cast<int32_t>(y);
    const int32_t j2 = std::min(j + 1, G::kNlat);
    const int32_t k = static_cast<int32_t>(z);
    const int32_t k2 = std::min(k + 1, G::kNlev);

    struct Corner {
        int32_t i, j, k;
        float xi;
    };
    const Corner corners[8] = {{i, j, k, static_cast<float>(i)},   {i2, j, k, xi2},  {i2, j2, k, xi2},
                               {i, j2, k, static_cast<float>(i)},  {i, j, k2, static_cast<float>(i)},
                               {i2, j, k2, xi2},                   {i2, j2, k2, xi2},
                               {i, j2, k2, static_cast<float>(i)}};
    CornerWeights w;
    for (size_t n = 0; n < 8; ++n) {
        const Corner& c = corners[n];
        const float dx = x - c.xi, dy = y - static_cast<float>(c.j), dz = z - static_cast<float>(c.k);
        w.d[n] = dx * dx + dy * dy + dz * dz;
        w.index[n] = G::index(c.i, c.j, c.k);
        if (w.d[n] <= 0.01f) {
            w.within = static_cast<int32_t>(n);
            return w;
        }
        w.sum_w += 1.0f / w.d[n];
    }
    return w;
}

// A field at the position of the weights: the value of a corner within 0.1
// index units, else the weighted mean of the 8.
float weighted_value(const std::vector<float>& field, const CornerWeights& w) {
    if (w.within >= 0) return field[w.index[static_cast<size_t>(w.within)]];
    float sum_vw = 0.0f;
    for (size_t n = 0; n < 8; ++n) sum_vw += field[w.index[n]] / w.d[n];
    return sum_vw / w.sum_w;
}

}  // namespace

float local_solar_time(int32_t hour, int32_t minute, float lon) {
    float t = static_cast<float>(hour) + static_cast<float>(minute) / 60.0f + lon / 15.0f;
    if (t < 0.0f) t += 24.0f;
    // East of Greenwich late in the UTC day the time passes 24: it is the
    // next morning, not 30 o'clock.
    if (t >= 24.0f) t -= 24.0f;
    return t;
}

int32_t convert_month_to_season(int32_t month, TextOut& console) {
    if (month == 12 || month == 1 || month == 2) return 1;
    if (month >= 3 && month <= 5) return 2;
    if (month >= 6 && month <= 8) return 3;
    if (month >= 9 && month <= 11) return 4;
    console.list("error estimating season");
    console.list("error estimating season");
    return 99;
}

const SeasonalOhTables& fill_seasonal_oh_tables() {
    static const SeasonalOhTables t{
        {{{3381039.0f, 2874760.5f, 1458721.875f, 200835.8f},
          {4411649.5f, 3753545.5f, 3467484.5f, 2296891.5f},
          {6551201.5f, 4445635.0f, 6320868.5f, 3426962.5f},
          {4672924.0f, 4609075.5f, 3767318.0f, 2368612.25f}}},
        {{{0.0986199f, 0.0861654f, 0.4015481f, 0.1992224f},
          {0.0753559f, 0.0698255f, 0.1085011f, 0.0905898f},
          {0.0603313f, 0.0510786f, 0.0562816f, 0.0452866f},
          {0.0783432f, 0.0743346f, 0.1115352f, 0.0923685f}}}};
    return t;
}

float estimate_oh(float solar_time, int32_t month, float height_km, float lat, TextOut& console) {
    const int32_t season = convert_month_to_season(month, console);
    if (season < 1 || season > 4) {
        console.list("error estimating season");
        return 0.0f;
    }
    const SeasonalOhTables& t = fill_seasonal_oh_tables();
    std::array<float, 4> p;
    const float dt = solar_time - 12.0f;
    for (size_t c = 0; c < 4; ++c)
        p[c] = t.a[static_cast<size_t>(season - 1)][c] * std::exp(-t.b[static_cast<size_t>(season - 1)][c] * dt * dt);
    const float r1 = band_value(p[0], p[1], height_km);
    const float r2 = band_value(p[2], p[3], height_km);

    float oh;
    if (lat < 0.0f) oh = (r1 + r2) / 2.0f;
    else if (lat <= 15.0f) oh = r1 / 2.0f + (r1 - r1 / 2.0f) * lat / 15.0f;
    else if (lat <= 45.0f) oh = r1 + (r2 - r1) * (lat - 15.0f) / 30.0f;
    else if (lat <= 60.0f) oh = r2 + (r2 / 2.0f - r2) * (lat - 45.0f) / 15.0f;
    else oh = r2 / 2.0f;
    if (oh < 0.0f) {
        console.list("warning: oh estimated less than zero; set to zero");
        oh = 0.0f;
    }
    return oh;
}

GlobalGridPosition locate_in_global_chemistry_grid(float lon, float lat, float height,
                                                   const std::array<float, GlobalChemGrid::kNlev>& level_heights) {
    GlobalGridPosition p;
    if (lon < 0.0f) lon = lon <= -0.001f ? lon + 360.0f : 359.999f;
    p.x = std::min(lon / 2.8125f + 1.0f, 128.999f);
    p.y = (lat + 90.0f) / 2.857143f + 1.0f;
    constexpr int32_t n = GlobalChemGrid::kNlev;
    if (height <= level_heights[n - 1]) {
        p.z = static_cast<float>(n);
    } else if (height > level_heights[0]) {
        p.z = 1.0f;
    } else {
        p.z = 1.0f;
        for (int32_t k = n; k >= 2; --k) {
            const float below = level_heights[static_cast<size_t>(k - 1)];
            const float above = level_heights[static_cast<size_t>(k - 2)];
            if (below < height && height <= above) {
                p.z = static_cast<float>(k - 1) + (above - height) / (above - below);
                break;
            }
        }
    }
    return p;
}

float interpolate_global_field(const std::vector<float>& field, const GlobalGridPosition& p) {
    return weighted_value(field, corner_weights(p));
}

void estimate_additional_oxidant(int32_t mode, float solar_time, float height, float lat, float lon,
                                 float fraction, double& value, SurfaceFiles& surface, Messages msg) {
    const float f = fraction;
    if (mode == 1) {
        if (f <= 0.1f) value = 1e-11;
        else if (f < 0.5f) value = static_cast<double>(f * 100.0f * 1e-12f);
        else value = 5e-11;
    } else if (mode == 2) {
        double base;
        if (f <= 0.1f) base = 2e-11;
        else if (f < 0.5f) base = static_cast<double>(f * 2.0f * 100.0f * 1e-12f);
        else base = 1e-10;
        const float t = clamp_index(solar_time, -1.0f, 25.0f);
        const int32_t h = t < 0.0f ? -1 : static_cast<int32_t>(t);
        float factor = 0.0f;
        if (h >= 0 && h <= 6) factor = static_cast<float>(h) / 10.0f + 0.4f;
        else if (h == 7) factor = 1.0f;
        else if (h == 8) factor = 0.5f;
        else if (h == 9) factor = 0.2f;
        else if (h >= 10 && h <= 19) factor = 0.1f;
        else if (h == 20) factor = 0.15f;
        else if (h == 21) factor = 0.2f;
        else if (h == 22) factor = 0.25f;
        else if (h == 23) factor = 0.3f;
        else if (h == 24) factor = 0.4f;
        value = base * static_cast<double>(factor);
    } else if (mode == 3) {
        value = 0.0;
        float roughness = 0.0f, terrain = 0.0f;
        int32_t landuse = 0;
        sfcinp(surface, msg, lat, lon, roughness, landuse, false, terrain);
        const bool water = oxidant_water_category(landuse);
        const bool night = solar_time <= 6.0f || solar_time >= 18.0f;
        if (water && night && height <= 100.0f) value = 1e-10;
    }
}

void compute_oxidants_at_point(int32_t caller, const OxidantPoint& at, const ProfileRow& row,
                               const GlobalChemGrid& grid, SurfaceFiles& surface, Messages msg,
                               DiagnosticChannels& channels, OxidantValuesAtPuff& values) {
    channels.draw_channels({5, 105, 8, 108, 34, 134});
    if (!values.date_known || values.date_time != at.time) {
        values.date = tm2day(at.time, msg.console);
        values.date_time = at.time;
        values.date_known = true;
    }
    const CalendarDate date = values.date;
    const float solar_time = local_solar_time(date.hour, date.minute, at.lon);

    // Hydroxyl.
    const float height_km = at.height / 1000.0f;
    const float oh = estimate_oh(solar_time, date.month, height_km, at.lat, msg.console);
    const float oh_conc = oh * 1e6f / kAvogadro;
    dump_oh(channels, caller, solar_time, date.month, height_km, at.lat, oh, oh_conc);

    // Ozone, SO2 and soot from the global fields.
    const GlobalGridPosition pos = locate_in_global_chemistry_grid(at.lon, at.lat, at.height, grid.level_heights);
    const CornerWeights weights = corner_weights(pos);
    float so2 = weighted_value(grid.so2, weights);
    const float ozone = weighted_value(grid.ozone, weights);
    const float soot = weighted_value(grid.soot, weights);
    if (so2 == 0.0f) so2 = 0.05f;

    // Mixing ratios to concentrations at the puff's pressure and temperature.
    StandardAtmospherePoint air;
    air.height = at.height;
    convert_height_and_pressure(1, air);
    const float temperature = row.temperature;
    const float c_air = 1000.0f / (0.0820575f * temperature);
    const float ppb = air.ratio * 1e-9f * c_air;
    values.fixed_value_a = 4.5f;
    values.fixed_value_b = 2.5f;
    values.soot_value = soot * 1e-6f * row.density;
    values.so2_conc = so2 * ppb;
    values.o3_conc = ozone * ppb;
    values.oh_conc = oh_conc;
    values.ppb_factor_1 = ppb;
    values.ppb_factor_2 = ppb;

    // Chlorine.
    double mixing = 0.0;
    estimate_additional_oxidant(3, solar_time, at.height, at.lat, at.lon, 0.0f, mixing, surface, msg);
    values.extra_oxidant_conc = mixing * static_cast<double>(air.ratio) * static_cast<double>(c_air);

    const int32_t c34 = channel_for_caller(34, caller);
    if (channels.fires(c34)) {
        static const fmt::Format layout("(3I14,999ES14.5)");
        DumpItems d;
        d.add(caller).add(at.time).add(int32_t{3}).add(solar_time).add(at.height).add(at.lat).add(at.lon).add(0.0f);
        d.add(mixing).add(air.ratio).add(mixing * static_cast<double>(air.ratio)).add(c_air).add(values.extra_oxidant_conc);
        dump_record(channels.dump_file(c34), layout, d.items());
    }
    const int32_t c8 = channel_for_caller(8, caller);
    if (channels.fires(c8)) {
        static const fmt::Format layout("(6I14,99E14.5)");
        DumpItems d;
        d.add(caller).add(at.time).add(date.year).add(date.month).add(date.day).add(date.hour);
        d.add(solar_time).add(at.height).add(at.lat).add(at.lon).add(temperature).add(row.density).add(air.ratio);
        d.add(pos.x).add(pos.y).add(pos.z);
        d.add(values.fixed_value_a).add(values.fixed_value_b).add(values.soot_value).add(values.so2_conc);
        d.add(values.o3_conc).add(values.oh_conc).add(values.ppb_factor_1).add(values.ppb_factor_2);
        d.add(values.extra_oxidant_conc);
        dump_record(channels.dump_file(c8), layout, d.items());
    }
}

}  // namespace orv
