#include "driver/source_setup.hpp"

#include <algorithm>
#include <climits>
#include <cmath>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"

namespace orv {

namespace {

// Tries the grids in order; returns the grid that takes the location, 0 when
// none does.
int32_t place_one(SourceLocation& loc, int32_t n, const MeteoFiles& met, const RunControl& run, Settings& s,
                  TextOut& console) {
    loc.met_grid = 0;
    for (int32_t g = 1; g <= run.grid_count; ++g) {
        const MetGridDefinition& grid = met.grid(g, 1);
        float x = 0.0f, y = 0.0f;
        geo_to_met_grid(grid, loc.lat, loc.lon, x, y);
        loc.grid_x = x;
        loc.grid_y = y;
        const bool inside = x >= 2.0f && x <= static_cast<float>(grid.nx - 1) && y >= 2.0f &&
                            y <= static_cast<float>(grid.ny - 1);
        if (inside || grid.global) {
            loc.release_z = 1.0f - loc.height / run.model_top;
            loc.met_grid = g;
            if (!inside) s.MGMIN = std::max(grid.nx, grid.ny);
            return g;
        }
        console.list("WARNING main: source point off grid ", g, n);
        console.list("Position:", loc.lat, loc.lon);
        console.list("Grid Loc:", x, y);
    }
    return 0;
}

}  // namespace

void geo_to_met_grid(const MetGridDefinition& g, float lat, float lon, float& x, float& y) {
    if (g.latlon) {
        convert_geo_to_latlon_grid(g, lat, lon, x, y);
    } else {
        convert_geo_to_projection_grid(g.projection, lat, lon, x, y);
    }
}

void preset_source_pollutant_matrix(SourcePollutantMatrix& m, const std::vector<SourceLocation>& locations,
                                    int32_t count, const std::vector<Pollutant>& dirt, int32_t numtyp) {
    allocate_source_pollutant_matrix(m, count, numtyp);
    const int32_t locs = std::min<int32_t>(count, static_cast<int32_t>(locations.size()));
    const int32_t pols = std::min<int32_t>(numtyp, static_cast<int32_t>(dirt.size()));
    for (int32_t a = 1; a <= locs; ++a) {
        const SourceLocation& loc = locations[static_cast<size_t>(a - 1)];
        for (int32_t p = 1; p <= pols; ++p) {
            const Pollutant& d = dirt[static_cast<size_t>(p - 1)];
            SourcePollutantRecord& r = m.at(a, p);
            r.start_minute = d.release_start_minute;
            // Whole minutes of the window, then the end in integer arithmetic:
            // a 32-bit real cannot hold accumulated minutes to the minute.
            const double window = std::trunc(double{d.emission_hours} * 60.0);
            const int64_t span = static_cast<int64_t>(std::clamp(window, -4.0e9, 4.0e9));
            r.stop_minute = static_cast<int32_t>(
                std::clamp<int64_t>(int64_t{d.release_start_minute} + span, INT32_MIN, INT32_MAX));
            r.met_grid = loc.met_grid;
            r.grid_x = loc.grid_x;
            r.grid_y = loc.grid_y;
            r.release_height = loc.height;
            r.emission_rate = loc.source_rate > 0.0f ? loc.source_rate : d.emission_rate;
            r.source_area = loc.source_area;
            r.heat_release = 0.0f;
        }
    }
}

AdvanceResult probe_met(MetProbe& probe, ParticlePosition point, CurrentMet& current, int32_t& grid_after) {
    AdvanceResult r = advpnt(probe.met, probe.advance, probe.step, point, probe.at, probe.profile, probe.msg);
    grid_after = point.grid;
    if (r.file > 0) current.file = r.file;
    if (r.status == 0) current.grid = point.grid;
    return r;
}

void place_sources_on_meteorology(std::vector<SourceLocation>& locations, int32_t count, const Settings& s,
                                  float model_top, MetProbe& probe, CurrentMet& current) {
    const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(locations.size()));
    for (int32_t k = 0; k < n; ++k) {
        SourceLocation& loc = locations[static_cast<size_t>(k)];
        int32_t grid = 0;
        const AdvanceResult r =
            probe_met(probe, ParticlePosition{loc.grid_x, loc.grid_y, loc.release_z, loc.met_grid, s.INITD}, current,
                      grid);
        if (r.status != 0) continue;
        if (grid != loc.met_grid) {
            loc.met_grid = grid;
            geo_to_met_grid(probe.met.files.grid(grid, 1), loc.lat, loc.lon, loc.grid_x, loc.grid_y);
        }
        const float terrain = probe.at.terrain_height;
        if (s.KMSL == 1) loc.height = std::max(loc.height - terrain, 0.0f);
        loc.release_z = 1.0f - loc.height / (model_top - terrain);
        if (s.KMSL == 1) {
            probe_met(probe, ParticlePosition{loc.grid_x, loc.grid_y, loc.release_z, loc.met_grid, s.INITD}, current,
                      grid);
        }
    }
}

void place_sources(std::vector<SourceLocation>& locations, int32_t& count, const MeteoFiles& met,
                   const RunControl& run, Settings& s, TextOut& console) {
    const int32_t n = std::min<int32_t>(count, static_cast<int32_t>(locations.size()));
    for (int32_t k = 0; k < n; ++k) place_one(locations[static_cast<size_t>(k)], k + 1, met, run, s, console);

    int32_t kept = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (locations[static_cast<size_t>(k)].met_grid == 0) continue;
        if (kept != k) locations[static_cast<size_t>(kept)] = locations[static_cast<size_t>(k)];
        ++kept;
    }
    if (kept == 0) {
        console.list("*ERROR* main: all source points off all meteo grids!");
        throw RunStop(kStopInput);
    }
    if (kept < count) {
        count = kept;
        console.list("WARNING main: number of sources reduced to - ", count);
    }
}

void dump_grid_positions(const MeteoFiles& met, DiagnosticChannels& channels) {
    constexpr int32_t kChannel = 33;
    if (!channels.enabled(kChannel)) return;
    TextOut* out = channels.dump_file(kChannel);
    if (!out) return;
    static const fmt::Format layout("(2I5,4F13.6)");
    const MetGridDefinition& g = met.grid(1, 1);
    out->list("numx =", g.nx);
    out->list("numy =", g.ny);
    out->line("");
    for (int32_t i = 1; i <= g.nx; ++i) {
        for (int32_t j = 1; j <= g.ny; ++j) {
            float ll_lat = 0.0f, ll_lon = 0.0f, pr_lat = 0.0f, pr_lon = 0.0f;
            const float x = static_cast<float>(i), y = static_cast<float>(j);
            if (g.latlon) {
                convert_latlon_grid_to_geo(g, x, y, ll_lat, ll_lon);
            } else {
                convert_projection_grid_to_geo(g.projection, x, y, pr_lat, pr_lon);
            }
            out->put(layout, i, j, ll_lat, ll_lon, pr_lat, pr_lon);
        }
    }
}

}  // namespace orv
