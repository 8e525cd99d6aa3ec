#include "meteo/grid_selection.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"

namespace orv {

namespace {

// Truncation toward zero; a position that is not a finite number of
// reasonable size gives a value outside every grid.
int32_t grid_index(float v) {
    if (!(v > -1.0e9f && v < 1.0e9f)) return std::numeric_limits<int32_t>::min() / 2;
    return static_cast<int32_t>(v);
}

bool inside_window(const MetGridWindow& w, int32_t ix, int32_t iy) {
    return !w.empty() && w.x1 + 2 <= ix && ix < w.x1 + w.nx - 2 && w.y1 + 2 <= iy && iy < w.y1 + w.ny - 2;
}

// The files of one grid that hold data times on both sides of the time.
struct FileBracket {
    int32_t kt1 = 0;
    int32_t kt2 = 0;
    bool before_start = false;  // the time lies before some file's first time
    bool after_end = false;     // the time lies at or after some file's last time
};

FileBracket bracket_files(const MeteoFiles& files, int32_t kg, int32_t T, bool backward) {
    FileBracket b;
    for (int32_t kt = 1; kt <= files.num_times; ++kt) {
        if (!files.grid(kg, kt).in_use()) continue;
        const auto& fe = files.file(kg, kt);
        const int64_t F = fe.first.macc, L = fe.last.macc;
        const int64_t D = files.layout(kg, kt).flags.data_interval;
        if (T >= L) b.after_end = true;
        if (T < F) b.before_start = true;
        if (!backward) {
            if (F <= T && T < L) {
                b.kt1 = kt;
                b.kt2 = kt;
            } else if (L <= T && T < L + D) {
                if (b.kt1 == 0) b.kt1 = kt;
            } else if (F - D <= T && T < F) {
                if (b.kt2 == 0) b.kt2 = kt;
            }
        } else {
            if (F < T && T <= L) {
                b.kt1 = kt;
                b.kt2 = kt;
            } else if (F - D < T && T <= F) {
                if (b.kt1 == 0) b.kt1 = kt;
            } else if (L < T && T <= L + D) {
                if (b.kt2 == 0) b.kt2 = kt;
            }
        }
    }
    return b;
}

// The slots that data times t1 and t2 go to: each stays where it is held.
void choose_slots(MetSubgridArrays& a, int32_t kg, int32_t t1, int32_t t2) {
    const int32_t held1 = a.met_time(kg, 1), held2 = a.met_time(kg, 2);
    int32_t s1 = 0, s2 = 0;
    if (held1 == t1) s1 = 1;
    if (held2 == t2) s2 = 2;
    if (s1 == 0 && s2 == 0) {
        if (held2 == t1) s1 = 2;
        if (held1 == t2) s2 = 1;
    }
    if (s1 == 0 && s2 == 0) {
        s1 = 1;
        s2 = 2;
    } else if (s1 == 0) {
        s1 = 3 - s2;
    } else if (s2 == 0) {
        s2 = 3 - s1;
    }
    a.request_times = {t1, t2};
    a.time_slots = {s1, s2};
}

// The last data time of the run's direction over every file of every grid:
// the latest in a forward run, the earliest in a backward one.
const MetTime* data_end(const MeteoFiles& files, bool backward) {
    const MetTime* end = nullptr;
    for (int32_t kg = 1; kg <= files.num_grids; ++kg)
        for (int32_t kt = 1; kt <= files.num_times; ++kt) {
            const MetFileEntry& fe = files.file(kg, kt);
            const MetTime& t = backward ? fe.first : fe.last;
            if (t.macc == 0) continue;  // no file described
            if (!end || (backward ? t.macc < end->macc : t.macc > end->macc)) end = &t;
        }
    return end;
}

// The particles that find no data are ended: the message log is told once,
// and so is the console, so that a run that lost its particles with its
// data does not end looking like a whole one.
void warn_no_data(MeteoState& met, bool backward, bool outside_all, const FileBracket& last, int32_t T,
                  Messages msg) {
    if (met.notices.metpos_warned) return;
    met.notices.metpos_warned = true;
    if (outside_all) {
        msg.log.list("WARNING metpos: off spatial domain of all grids");
        return;
    }
    if (met.files.num_grids == 1) {
        if (last.kt1 == last.kt2 || met.files.num_times == 1)
            msg.log.list("WARNING metpos: no meteo data at current time - ", T);
        else
            msg.log.list("WARNING metpos: too much time between files - ", T);
    } else {
        msg.log.list("WARNING metpos: no data at current time on any grid - ", T);
    }
    const MetTime* end = data_end(met.files, backward);
    if (end && (backward ? T <= end->macc : T >= end->macc)) {
        const CalendarDate d = tm2day(end->macc, msg.console);
        msg.console.list("WARNING metpos: meteorological data end at ", d.year, d.month, d.day, d.hour, d.minute,
                         "before the run does: particles ended, see MESSAGE");
    } else {
        const CalendarDate d = tm2day(T, msg.console);
        msg.console.list("WARNING metpos: no meteorological data at ", d.year, d.month, d.day, d.hour, d.minute,
                         "- particles ended, see MESSAGE");
    }
}

[[noreturn]] void stop_outside_data(bool outside_all, bool before_start, bool after_end, float x, float y,
                                    TextOut& console) {
    console.list("*ERROR* metpos: start point not within (x,y,t) any data file");
    if (before_start) console.list(" - start time before start of meteorology data");
    if (after_end) console.list(" - start time after end of meteorology data");
    if (outside_all) console.list(" - start location outside of domain - ", x, y);
    throw RunStop(kStopInput);
}

}  // namespace

void convert_grid_position(const MetGridDefinition& from, const MetGridDefinition& to, float x, float y, float& xo,
                           float& yo) {
    float lat = 0.0f, lon = 0.0f;
    met_grid_to_geo(from, x, y, lat, lon);
    met_geo_to_grid(to, lat, lon, xo, yo);
}

MetPosition metpos(MeteoState& met, bool backward, float& x, float& y, int32_t model_time, int32_t current_grid,
                   Messages msg) {
    const MeteoFiles& files = met.files;
    MetSubgridArrays& a = met.arrays;
    const int32_t ng = files.num_grids;
    MetPosition r;
    std::array<float, kMaxMetGrids + 1> gx{}, gy{};
    bool outside_all = true, before_start = false, after_end = false;
    FileBracket last;
    const bool known_grid = current_grid >= 1 && current_grid <= ng;

    for (int32_t kg = ng; kg >= 1 && known_grid; --kg) {
        const MetGridDefinition& gd = files.grid(kg, 1);
        if (kg == current_grid) {
            gx[kg] = x;
            gy[kg] = y;
        } else {
            convert_grid_position(files.grid(current_grid, 1), gd, x, y, gx[kg], gy[kg]);
        }
        const int32_t ix = grid_index(gx[kg]), iy = grid_index(gy[kg]);
        const bool inside = gd.global || (2 <= ix && ix <= gd.nx - 3 && 2 <= iy && iy <= gd.ny - 3);
        if (!inside) continue;
        outside_all = false;
        const FileBracket b = bracket_files(files, kg, model_time, backward);
        before_start = before_start || b.before_start;
        after_end = after_end || b.after_end;
        last = b;
        if (b.kt1 != 0 && b.kt2 != 0) r = MetPosition{0, kg, b.kt1, b.kt2};
    }

    if (r.grid == 0) {
        if (!a.nothing_loaded()) {
            warn_no_data(met, backward, outside_all, last, model_time, msg);
            return MetPosition{};
        }
        stop_outside_data(outside_all, before_start, after_end, x, y, msg.console);
    }

    if (r.grid != current_grid) {
        x = gx[r.grid];
        y = gy[r.grid];
    }
    const auto& fe = files.file(r.grid, r.kt1);
    const int32_t D = std::max(files.layout(r.grid, r.kt1).flags.data_interval, 1);
    int32_t t1, t2;
    if (!backward) {
        t1 = fe.first.macc + ((model_time - fe.first.macc) / D) * D;
        t2 = t1 + D;
    } else {
        t1 = fe.last.macc - ((fe.last.macc - model_time) / D) * D;
        t2 = t1 - D;
    }
    choose_slots(a, r.grid, t1, t2);
    if (a.met_time(r.grid, a.time_slots[0]) != t1 || a.met_time(r.grid, a.time_slots[1]) != t2) {
        if (r.kt1 != r.kt2) msg.log.list(" NOTICE metpos: (kgx,kt1,kt2) - ", r.grid, r.kt1, r.kt2);
        msg.log.list(" NOTICE metpos: (mtime,ftime) - ", model_time, t1, t2);
    }
    return r;
}

bool metsub(const MetGridDefinition& gd, int32_t kg, MetGridWindow& w, float x, float y, TextOut& log) {
    if (w.whole_grid) return false;
    const int32_t NX = gd.nx, NY = gd.ny;
    const int32_t ix = grid_index(x), iy = grid_index(y);
    const MetGridWindow before = w;
    bool changed = false;

    auto switch_to_whole_grid = [&]() {
        w.x1 = 1;
        w.y1 = 1;
        w.nx = NX;
        w.ny = NY;
        w.whole_grid = true;
        log.list(" NOTICE metsub: switch to global grid");
    };

    if (inside_window(w, ix, iy)) {
        // The window holds the point.
    } else if (w.x1 == 1 && w.y1 == 1 && w.nx >= NX && w.ny >= NY) {
        if (gd.global) {
            switch_to_whole_grid();
            changed = true;
        }
    } else if (!gd.global && !w.empty() && (ix < 3 || ix >= NX - 2 || iy < 3 || iy >= NY)) {
        // Near the edge of a regional grid: the window stays.
    } else {
        bool expand = true;
        if (!w.shifted) {
            w.shifted = true;
            w.x1 = w.planned_x1;
            w.y1 = w.planned_y1;
            w.nx = w.planned_nx;
            w.ny = w.planned_ny;
            log.list(" NOTICE metsub: (kg ,xyr,xy1) - ", kg, w.nx, w.ny, w.x1, w.y1, " shift");
            expand = !inside_window(w, ix, iy);
        }
        if (expand) {
            if (w.empty()) {
                // Never planned: the whole grid.
                w.x1 = 1;
                w.y1 = 1;
                w.nx = NX;
                w.ny = NY;
            } else {
                const int32_t cx = w.x1 + w.nx / 2, cy = w.y1 + w.ny / 2;
                w.nx = std::min<int32_t>(static_cast<int32_t>(std::lround(1.5f * static_cast<float>(w.nx))), NX);
                w.ny = std::min<int32_t>(static_cast<int32_t>(std::lround(1.5f * static_cast<float>(w.ny))), NY);
                w.x1 = w.nx == NX ? 1 : std::clamp(cx - w.nx / 2, 1, NX);
                w.y1 = w.ny == NY ? 1 : std::clamp(cy - w.ny / 2, 1, NY);
            }
            log.list(" NOTICE metsub: (kg ,xyr,xy1) - ", kg, w.nx, w.ny, w.x1, w.y1, " expand");
        }
        if (gd.global && (w.x1 == 1 || w.y1 == 1 || w.x1 + w.nx >= NX || w.y1 + w.ny >= NY)) switch_to_whole_grid();
        changed = true;
    }

    // Final clamps.
    if (w.nx >= NX) {
        w.x1 = 1;
        w.nx = NX;
    }
    if (w.ny >= NY) {
        w.y1 = 1;
        w.ny = NY;
    }
    if (w.x1 + w.nx > NX) w.x1 = std::max(NX - w.nx, 1);
    if (w.y1 + w.ny > NY) w.y1 = std::max(NY - w.ny, 1);
    // A window the clamps moved no longer matches the data held.
    if (w.x1 != before.x1 || w.y1 != before.y1 || w.nx != before.nx || w.ny != before.ny) changed = true;
    if (changed) {
        w.planned_x1 = w.x1;
        w.planned_y1 = w.y1;
        w.planned_nx = w.nx;
        w.planned_ny = w.ny;
    }
    return changed;
}

void metgrd(MeteoState& met, int32_t kg, int32_t kt, Messages msg) {
    const MetGridDefinition& gd = met.files.grid(kg, kt);
    const MetFileLayout& lay = met.files.layout(kg, kt);
    const bool want_terrain = !lay.flags.terrain_height && lay.vertical_type == 1;
    const MetGridWindow& w = met.arrays.window(kg);
    const MetFixedFields f = met.arrays.fixed_fields(kg);
    const float pole_band = 90.0f - 0.25f * gd.header[kRefLat];

    for (int32_t j = 1; j <= w.ny; ++j) {
        for (int32_t i = 1; i <= w.nx; ++i) {
            const float x = static_cast<float>(w.x1 + i - 1), y = static_cast<float>(w.y1 + j - 1);
            float lat = 0.0f, lon = 0.0f, sx = 0.0f, sy = 0.0f;
            if (gd.latlon) {
                convert_latlon_grid_to_geo(gd, x, y, lat, lon);
                // Within a quarter of an increment of a pole the east-west
                // spacing vanishes: take it a quarter of a row away.
                float ys = y;
                if (lat > pole_band) ys = y - 0.25f;
                else if (lat < -pole_band) ys = y + 0.25f;
                float dx = 0.0f, dy = 0.0f;
                compute_latlon_grid_spacing(gd, x, ys, dx, dy);
                sx = dx * 1000.0f;
                sy = dy * 1000.0f;
            } else {
                float s = compute_projection_map_factor(gd.projection, x, y) * 1000.0f;
                if (s < 1.0f) s = compute_projection_map_factor(gd.projection, x + 0.5f, y + 0.5f) * 1000.0f;
                sx = s;
                sy = s;
                convert_projection_grid_to_geo(gd.projection, x, y, lat, lon);
            }
            float roughness = 0.0f, terrain = 0.0f;
            int32_t landuse = 0;
            sfcinp(met.surface, msg, lat, lon, roughness, landuse, want_terrain, terrain);
            f.grid_spacing_x.at(i, j) = sx;
            f.grid_spacing_y.at(i, j) = sy;
            f.roughness_length.at(i, j) = roughness;
            f.land_use.at(i, j) = landuse;
            if (want_terrain) f.terrain_height.at(i, j) = terrain;
        }
    }
    msg.log.list(" NOTICE metgrd: (kg, xyr,xy1) - ", kg, w.nx, w.ny, w.x1, w.y1);
}

void compute_met_subgrid_limits(MeteoState& met, int32_t mgmin, float speed, std::span<const float> x,
                                std::span<const float> y, std::span<const int32_t> grid) {
    const MeteoFiles& files = met.files;
    MetSubgridArrays& a = met.arrays;
    const int32_t ng = files.num_grids;
    if (!a.limits_initialised) {
        for (auto& w : a.windows) {
            w.planned_nx = 0;
            w.planned_ny = 0;
        }
        a.limits_initialised = true;
    }

    int32_t m = std::numeric_limits<int32_t>::max(), n = std::numeric_limits<int32_t>::max();
    for (int32_t kg = 1; kg <= ng; ++kg) {
        const MetGridDefinition& gd = files.grid(kg, 1);
        MetGridWindow& w = a.window(kg);
        w.max_col = 1;
        w.min_col = gd.nx;
        w.max_row = 1;
        w.min_row = gd.ny;
        m = std::min(m, gd.nx);
        n = std::min(n, gd.ny);
    }

    const size_t count = std::min({x.size(), y.size(), grid.size()});
    for (size_t p = 0; p < count; ++p) {
        const int32_t from = grid[p];
        if (from < 1 || from > ng) continue;
        for (int32_t kg = 1; kg <= ng; ++kg) {
            const MetGridDefinition& gd = files.grid(kg, 1);
            float px = x[p], py = y[p];
            if (kg != from) convert_grid_position(files.grid(from, 1), gd, x[p], y[p], px, py);
            const int32_t ix = grid_index(px), iy = grid_index(py);
            if (!(0 < ix && ix < gd.nx && 0 < iy && iy < gd.ny)) continue;
            MetGridWindow& w = a.window(kg);
            w.max_col = std::max(w.max_col, ix + 1);
            w.min_col = std::min(w.min_col, ix);
            w.max_row = std::max(w.max_row, iy + 1);
            w.min_row = std::min(w.min_row, iy);
        }
    }

    for (int32_t kg = 1; kg <= ng; ++kg) {
        const MetGridDefinition& gd = files.grid(kg, 1);
        MetGridWindow& w = a.window(kg);
        const float interval = static_cast<float>(files.layout(kg, 1).flags.data_interval);
        float f = interval * speed / gd.header[kGridSize];
        f = std::isfinite(f) ? std::clamp(f, 1.0f, 1.0e6f) : 1.0f;
        const int32_t margin = static_cast<int32_t>(std::lround(2.0f * f));
        const int32_t nx = std::min(m, std::max(mgmin, std::max(w.planned_nx, w.max_col - w.min_col + margin + 3)));
        const int32_t ny = std::min(n, std::max(mgmin, std::max(w.planned_ny, w.max_row - w.min_row + margin + 3)));
        if (nx > std::lround(0.75f * static_cast<float>(gd.nx)) || ny > std::lround(0.75f * static_cast<float>(gd.ny))) {
            w.planned_x1 = 1;
            w.planned_y1 = 1;
            w.planned_nx = gd.nx;
            w.planned_ny = gd.ny;
            w.centre_x = static_cast<float>((gd.nx + 1) / 2);
            w.centre_y = static_cast<float>((gd.ny + 1) / 2);
            continue;
        }
        w.centre_x = static_cast<float>((w.max_col + w.min_col) / 2);
        w.centre_y = static_cast<float>((w.max_row + w.min_row) / 2);
        int32_t x1 = std::max<int32_t>(1, static_cast<int32_t>(std::lround(w.centre_x - static_cast<float>(nx / 2))));
        int32_t y1 = std::max<int32_t>(1, static_cast<int32_t>(std::lround(w.centre_y - static_cast<float>(ny / 2))));
        if (x1 + nx > gd.nx) x1 = std::max(gd.nx - nx, 1);
        if (y1 + ny > gd.ny) y1 = std::max(gd.ny - ny, 1);
        w.planned_x1 = x1;
        w.planned_y1 = y1;
        w.planned_nx = nx;
        w.planned_ny = ny;
    }
}

}  // namespace orv
