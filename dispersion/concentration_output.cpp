#include "dispersion/concentration_output.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/blank_trim.hpp"
#include "common/number_text.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"

namespace orv {

namespace {

constexpr int32_t kMaxPackedIndex = 32767;

// The directory without leading or trailing blanks, then the file name
// without trailing blanks.
std::string concentration_path(const ConcentrationGrid& g) {
    return trim_blanks(g.directory) + trim_trailing_blanks(g.file_name);
}

void write_record(ConcentrationOutput& out, int32_t file) { out.files[static_cast<size_t>(file)].write(out.record); }

void write_header(const std::vector<SourceLocation>& locations, const ConcentrationGrid& g,
                  const std::vector<Pollutant>& dirt, int32_t pollutant_count, int32_t cpack, const MeteoFiles& met,
                  ConcentrationOutput& out, int32_t file) {
    RecordBuilder& r = out.record;
    const MetTime& first = met.file(1, 1).first;
    r.clear();
    r.put_chars(met.grid(1, 1).source_id.view(), 4);
    r.put_i32s({first.year, first.month, first.day, first.hour, first.forecast,
                static_cast<int32_t>(locations.size()), cpack});
    write_record(out, file);

    const Pollutant start = dirt.empty() ? Pollutant{} : dirt[0];
    for (const SourceLocation& loc : locations) {
        r.clear();
        r.put_i32s({start.release_year, start.release_month, start.release_day, start.release_hour});
        r.put_f32s({loc.lat, loc.lon, loc.height});
        r.put_i32(start.release_minute);
        write_record(out, file);
    }

    r.clear();
    r.put_i32s({g.lat_points, g.lon_points});
    r.put_f32s({g.lat_spacing, g.lon_spacing, cpack == 2 ? 0.0f : g.lower_left_lat,
                cpack == 2 ? 0.0f : g.lower_left_lon});
    write_record(out, file);

    r.clear();
    r.put_i32(g.level_count);
    for (int32_t l = 0; l < g.level_count; ++l) r.put_i32(g.heights[static_cast<size_t>(l)]);
    write_record(out, file);

    r.clear();
    r.put_i32(pollutant_count);
    for (int32_t p = 0; p < pollutant_count; ++p)
        r.put_chars(static_cast<size_t>(p) < dirt.size() ? dirt[static_cast<size_t>(p)].pollutant_id : "", 4);
    write_record(out, file);
}

}  // namespace

void conini(const std::vector<SourceLocation>& locations, std::vector<ConcentrationGrid>& grids,
            const std::vector<Pollutant>& dirt, int32_t pollutant_count, int32_t cpack, const MeteoFiles& met,
            ConcentrationOutput& out, Messages msg) {
    if (grids.empty()) return;
    const int32_t count = cpack == 2 ? 1 : static_cast<int32_t>(grids.size());
    for (int32_t k = 1; k <= count; ++k) {
        ConcentrationGrid& g = grids[static_cast<size_t>(k - 1)];
        if (k > kMaxConcentrationFiles) {
            msg.log.list("*ERROR* conini: exceeding max numb of conc grids");
            msg.log.list("Compiled maximum: ", kMaxConcentrationFiles);
            msg.console.list("*ERROR* conini: see message file for more information");
            throw RunStop(kStopInput);
        }
        // Packed records hold the point indices in two bytes.
        if (cpack == 1 && (g.lon_points > kMaxPackedIndex || g.lat_points > kMaxPackedIndex)) {
            msg.log.list("*ERROR* conini: packed output (cpack=1) allows at most 32767 points per axis - grid #", k);
            msg.console.list("*ERROR* conini: packed output (cpack=1) allows at most 32767 points per axis - grid #",
                             k);
            throw RunStop(kStopInput);
        }
        g.output_unit = kFirstConcentrationUnit + k - 1;
        const size_t f = static_cast<size_t>(k - 1);
        out.paths[f] = concentration_path(g);
        if (!out.files[f].open(out.paths[f], "condsk", msg.console)) {
            msg.console.list("*ERROR* conini: cannot open concentration file - ", out.paths[f]);
            throw RunStop(kStopInput);
        }
        write_header(locations, g, dirt, pollutant_count, cpack, met, out, static_cast<int32_t>(f));
    }
}

SamplingPosition sampling_position(const ConcentrationGrid& g, float dt_minutes, int32_t model_time) {
    SamplingPosition pos;
    const int32_t d = static_cast<int32_t>(dt_minutes);
    const int64_t t = model_time, s = g.start_minute, e = g.stop_minute;
    // Accumulated minutes stay well inside 32 bits, so the differences do too.
    pos.ksb = static_cast<int32_t>(d >= 1 ? t - s : s - t);
    pos.ksd = static_cast<int32_t>(std::llabs(e - s));
    pos.mtime = static_cast<int32_t>(std::llabs(t - s));
    return pos;
}

void update_sampling_periods(std::vector<ConcentrationGrid>& grids, const SamplingClock& clock,
                             ConcentrationArray& conc, TextOut& console) {
    const int32_t d = static_cast<int32_t>(clock.dt_minutes);
    for (size_t k = 0; k < grids.size(); ++k) {
        ConcentrationGrid& g = grids[k];
        const SamplingPosition pos = sampling_position(g, clock.dt_minutes, clock.model_time);
        if (!pos.inside() || g.interval < 1) continue;
        const int32_t type = g.sampling_type;
        bool starts = true;
        if (type == 0 || type == 2) {
            starts = pos.mtime % g.interval == 0;
        } else if (type < 0) {
            const int64_t lead = int64_t{clock.model_time} - g.start_minute - type;  // t - s + d
            starts = std::llabs(lead) % g.interval == 0;
        }
        if (!starts) continue;
        zero_concentration_grid(conc, static_cast<int32_t>(k + 1));
        const int32_t stamp = type == 1 ? clock.model_time + d : clock.model_time;
        const CalendarDate c = tm2day(stamp, console);
        g.period_start = {c.year, c.month, c.day, c.hour, c.minute, clock.forecast_hour};
        g.period_start_minute = stamp;
    }
}

namespace {

struct LevelRecord {
    const ConcentrationGrid& grid;
    int32_t g;  // grid number
    int32_t l;  // level
    int32_t p;  // pollutant
    std::string_view id;
};

void full_record(const LevelRecord& lr, const ConcentrationArray& conc, RecordBuilder& r) {
    const ConcentrationGrid& grid = lr.grid;
    const float* plane = conc.plane(lr.l, lr.p, lr.g);
    for (int32_t j = 0; j < grid.lat_points; ++j)
        for (int32_t i = 0; i < grid.lon_points; ++i) r.put_f32(plane[int64_t{j} * conc.nlon + i]);
}

// The meteorological grid point nearest to a concentration grid point, or
// false when it lies off that grid or off the array.
bool met_point_of(const ConcentrationGrid& grid, int32_t i, int32_t j, const MetGridDefinition& mg,
                  const ConcentrationArray& conc, int32_t& x, int32_t& y) {
    const float lat = grid.lower_left_lat + static_cast<float>(j - 1) * grid.lat_spacing;
    const float lon = grid.lower_left_lon + static_cast<float>(i - 1) * grid.lon_spacing;
    float fx = 0.0f, fy = 0.0f;
    met_geo_to_grid(mg, lat, lon, fx, fy);
    if (!(std::fabs(fx) < 1.0e6f) || !(std::fabs(fy) < 1.0e6f)) return false;
    x = static_cast<int32_t>(std::lround(fx));
    y = static_cast<int32_t>(std::lround(fy));
    return x >= 1 && x <= mg.nx && y >= 1 && y <= mg.ny && x <= conc.nlon && y <= conc.nlat;
}

void packed_record(const LevelRecord& lr, const ConcentrationArray& conc, const MetGridDefinition* mg,
                   ConcentrationOutput& out) {
    const ConcentrationGrid& grid = lr.grid;
    const float* plane = conc.plane(lr.l, lr.p, lr.g);
    int64_t n = 0;
    for (int32_t j = 1; j <= grid.lat_points; ++j) {
        for (int32_t i = 1; i <= grid.lon_points; ++i) {
            float v;
            if (mg) {
                int32_t x, y;
                if (!met_point_of(grid, i, j, *mg, conc, x, y)) continue;
                v = plane[int64_t{y - 1} * conc.nlon + (x - 1)];
            } else {
                v = plane[int64_t{j - 1} * conc.nlon + (i - 1)];
            }
            if (v == 0.0f) continue;
            out.packed[n++] = PackedValue{static_cast<int16_t>(i), static_cast<int16_t>(j), v};
        }
    }
    RecordBuilder& r = out.record;
    r.put_i32(static_cast<int32_t>(n));
    for (int64_t k = 0; k < n; ++k) {
        r.put_i16(out.packed[k].i);
        r.put_i16(out.packed[k].j);
        r.put_f32(out.packed[k].value);
    }
}

void points_record(const LevelRecord& lr, const std::vector<ConcentrationGrid>& grids,
                   const ConcentrationArray& conc, RecordBuilder& r) {
    const int32_t count = std::min(static_cast<int32_t>(grids.size()), conc.ngrid);
    r.put_i32(count);
    for (int32_t g = 1; g <= count; ++g) {
        const ConcentrationGrid& cg = grids[static_cast<size_t>(g - 1)];
        r.put_f32s({cg.lower_left_lon, cg.lower_left_lat,
                    lr.l <= cg.level_count ? conc.at(1, 1, lr.l, lr.p, g) : 0.0f});
    }
}

void write_grid(const std::vector<ConcentrationGrid>& grids, int32_t g, const std::vector<Pollutant>& dirt,
                const Settings& s, const MetGridDefinition* mg, const SamplingClock& clock, const CalendarDate& now,
                const ConcentrationArray& conc, ConcentrationOutput& out) {
    const ConcentrationGrid& grid = grids[static_cast<size_t>(g - 1)];
    const int32_t f = g - 1;
    RecordBuilder& r = out.record;
    r.clear();
    for (int32_t v : grid.period_start) r.put_i32(v);
    write_record(out, f);
    r.clear();
    r.put_i32s({now.year, now.month, now.day, now.hour, now.minute, clock.forecast_hour});
    write_record(out, f);

    const int32_t levels = std::min(grid.level_count, conc.nlev);
    for (int32_t p = 1; p <= conc.npol; ++p) {
        const std::string_view id =
            static_cast<size_t>(p) <= dirt.size() ? std::string_view(dirt[static_cast<size_t>(p - 1)].pollutant_id)
                                                  : std::string_view();
        for (int32_t l = 1; l <= levels; ++l) {
            const LevelRecord lr{grid, g, l, p, id};
            r.clear();
            r.put_chars(id, 4);
            r.put_i32(grid.heights[static_cast<size_t>(l - 1)]);
            if (s.CPACK == 0)
                full_record(lr, conc, r);
            else if (s.CPACK == 2)
                points_record(lr, grids, conc, r);
            else
                packed_record(lr, conc, s.ICHEM == 4 ? mg : nullptr, out);
            write_record(out, f);
        }
    }
}

// The net under the concentrations: the grids a period's record block
// takes its values from (grid g, or every grid of a points file) must hold
// finite numbers only. The first that does not stops the run with code 900
// before the block is written, naming it and the file.
void stop_on_non_finite_period(const std::vector<ConcentrationGrid>& grids, int32_t g, int32_t cpack,
                               const std::vector<Pollutant>& dirt, const ConcentrationArray& conc,
                               const std::string& path, const CalendarDate& now, Messages msg) {
    const int64_t block = conc.plane_size() * conc.nlev * conc.npol;
    const int32_t first = cpack == 2 ? 1 : g;
    const int32_t last = cpack == 2 ? std::min(static_cast<int32_t>(grids.size()), conc.ngrid) : g;
    for (int32_t k = first; k <= last; ++k) {
        const float* v = conc.values.data() + conc.offset(1, 1, 1, 1, k);
        int64_t n = 0;
        while (n < block && std::isfinite(v[n])) ++n;
        if (n == block) continue;
        const int64_t plane = n / conc.plane_size(), at = n % conc.plane_size();
        const int32_t level = static_cast<int32_t>(plane % conc.nlev) + 1;
        const int32_t p = static_cast<int32_t>(plane / conc.nlev) + 1;
        const ConcentrationGrid& grid = grids[static_cast<size_t>(k - 1)];
        const std::string id = static_cast<size_t>(p) <= dirt.size()
                                    ? trim_trailing_blanks(dirt[static_cast<size_t>(p - 1)].pollutant_id)
                                    : std::to_string(p);
        const std::string height =
            level <= grid.level_count ? std::to_string(grid.heights[static_cast<size_t>(level - 1)]) : "-";
        const std::string line =
            "*ERROR* condsk: concentration " + number_text(v[n]) + " of " + id + " at point (" +
            std::to_string(at % conc.nlon + 1) + ", " + std::to_string(at / conc.nlon + 1) + "), level " + height +
            " of grid #" + std::to_string(k) + ", is not a finite number: the period ending " +
            std::to_string(now.year) + " " + std::to_string(now.month) + " " + std::to_string(now.day) + " " +
            std::to_string(now.hour) + " " + std::to_string(now.minute) + " is not written - " + path;
        msg.console.list(line);
        msg.log.list(line);
        throw RunStop(kStopInput);
    }
}

}  // namespace

void condsk(const std::vector<ConcentrationGrid>& grids, const std::vector<Pollutant>& dirt, const Settings& s,
            const MeteoFiles& met, int32_t kg, int32_t kt, const SamplingClock& clock,
            const ConcentrationArray& conc, ConcentrationOutput& out, Messages msg) {
    if (s.ICHEM == 4 && s.CPACK == 0) {
        msg.log.list("*ERROR* condsk: ichem=4 requires cpack=1");
        throw RunStop(kStopInput);
    }
    const CalendarDate now = tm2day(clock.model_time, msg.console);
    const int32_t count = std::min(s.CPACK == 2 ? 1 : static_cast<int32_t>(grids.size()), conc.ngrid);
    // With ICHEM 4 the array holds the meteorological grid in use; without a
    // valid one no point maps onto it.
    static const MetGridDefinition kNoGrid{};
    const bool valid = kg >= 1 && kg <= kMaxMetGrids && kt >= 1 && kt <= kMaxMetTimes;
    const MetGridDefinition* mg = s.ICHEM == 4 ? (valid ? &met.grid(kg, kt) : &kNoGrid) : nullptr;
    for (int32_t g = 1; g <= std::min(count, kMaxConcentrationFiles); ++g) {
        const ConcentrationGrid& grid = grids[static_cast<size_t>(g - 1)];
        const SamplingPosition pos = sampling_position(grid, clock.dt_minutes, clock.model_time);
        if (!(pos.ksb > 0 && pos.ksb <= pos.ksd) || grid.interval < 1 || pos.mtime % grid.interval != 0) continue;
        if (!out.files[static_cast<size_t>(g - 1)].is_open()) continue;
        if (s.CPACK != 0 && s.CPACK != 2 && out.packed.empty() &&
            !out.packed.allocate(std::max<int64_t>(conc.plane_size(), 1))) {
            msg.log.list("*ERROR* condsk: temporary memory allocation");
            throw RunStop(kStopInput);
        }
        stop_on_non_finite_period(grids, g, s.CPACK, dirt, conc, out.paths[static_cast<size_t>(g - 1)], now, msg);
        write_grid(grids, g, dirt, s, mg, clock, now, conc, out);
        msg.log.list(" NOTICE condsk: ", g, " DELTA:", grid.interval, " KSB:", pos.ksb, " KSD:", pos.ksd, " MTIME:",
                     pos.mtime);
        msg.log.list(" NOTICE condsk: ", g, " output at ", now.month, now.day, now.hour, now.minute);
    }
}

}  // namespace orv
