#include "dispersion/lagrangian_samplers.hpp"

#include <algorithm>
#include <cmath>

#include "common/blank_trim.hpp"
#include "common/optional_input.hpp"
#include "common/fortran_format.hpp"
#include "common/math_constants.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"
#include "common/clamped_int.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"
#include "run/calendar.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr int32_t kFirstOutputUnit = 91;
constexpr int32_t kLastOutputUnit = 99;

// One free-format read of the sampler file; a failure stops the run naming
// the file, the line and what was being read.
template <typename... Args>
void read_items(TextInput& in, int32_t sampler, const char* what, TextOut& console, Args&... items) {
    try {
        list_read(in, items...);
    } catch (const InputError& e) {
        const std::string why = std::string_view(e.what()) == "end of file" ? "the file ends" : e.what();
        std::string item = std::string(what);
        if (sampler > 0) item += " of sampler " + std::to_string(sampler);
        input_stop("main", in.name(), in.line_number(), item + " cannot be read (" + why + ")", console);
    }
}

// Accumulated minutes of a time of sampler k as read; a date the calendar
// does not hold (a day, hour or minute beyond its range carries, in 64 bits)
// stops the run naming it.
int32_t sampler_minutes(const TextInput& in, const char* what, int32_t k, int32_t y, int32_t m, int32_t d, int32_t h,
                        int32_t mi, TextOut& console) {
    int32_t minutes = 0;
    const std::string why = date_minutes_refusal(y, m, d, h, mi, minutes);
    if (!why.empty()) {
        const std::string date = std::to_string(y) + " " + std::to_string(m) + " " + std::to_string(d) + " " +
                                 std::to_string(h) + " " + std::to_string(mi);
        input_stop("main", in.name(), in.line_number(),
                   std::string(what) + " (year month day hour minute) " + date + " of sampler " + std::to_string(k) +
                       " " + why,
                   console);
    }
    return minutes;
}

void read_sampler(TextInput& in, int32_t k, LagrangianSampler& s, TextOut& console) {
    read_items(in, k, "release point", console, s.lat, s.lon, s.height);
    read_items(in, k, "direction and speed", console, s.direction, s.speed);
    read_items(in, k, "start time", console, s.start_year, s.start_month, s.start_day, s.start_hour,
               s.start_minute_of_hour);
    s.start_minute = sampler_minutes(in, "start time", k, s.start_year, s.start_month, s.start_day, s.start_hour,
                                     s.start_minute_of_hour, console);
    read_items(in, k, "output time", console, s.output_year, s.output_month, s.output_day, s.output_hour,
               s.output_minute_of_hour);
    s.next_output_minute = sampler_minutes(in, "output time", k, s.output_year, s.output_month, s.output_day,
                                           s.output_hour, s.output_minute_of_hour, console);
    read_items(in, k, "averaging time", console, s.average_minutes);
    read_items(in, k, "output interval", console, s.output_interval);
    read_items(in, k, "output file name", console, s.output_file);
}

// Opens sampler k's output file (units 91..99), or records that it has none.
void open_output(int32_t k, LagrangianSampler& s, TextOut& out, Messages msg) {
    if (kFirstOutputUnit + k - 1 <= kLastOutputUnit) {
        const std::string name = trim_blanks(s.output_file);
        if (!out.open(name, "lagout", msg.console)) {
            msg.console.list("*ERROR* main: unable to open lagrangian sampler output file - ", name);
            throw RunStop(kStopInput);
        }
        s.next_output_minute = clamp_to_int32(int64_t{s.next_output_minute} + s.output_interval);
        return;
    }
    msg.log.list("WARNING main: exceed max files for lagrangian samplers");
    msg.log.list("NO DISK OUTPUT for sampler numbers ", k, " and greater");
    s.output_interval = kNoOutputInterval;
    s.next_output_minute = 0;
}

void place_on_grid(LagrangianSampler& s, const MeteoFiles& met, int32_t kg, int32_t kt, TextOut& log) {
    s.met_grid = kg;
    if (kg < 1 || kg > kMaxMetGrids || kt < 1 || kt > kMaxMetTimes) {
        s.start_minute = 0;
        return;
    }
    const MetGridDefinition& g = met.grid(kg, kt);
    met_geo_to_grid(g, s.lat, s.lon, s.grid_x, s.grid_y);
    if (g.global) return;
    const bool inside = s.grid_x >= 1.0f && s.grid_x <= static_cast<float>(g.nx) && s.grid_y >= 1.0f &&
                        s.grid_y <= static_cast<float>(g.ny);
    if (inside) return;
    log.list("WARNING main: lagrangian release point off grid");
    log.list("Position:", s.lat, s.lon);
    log.list("Grid Loc:", s.grid_x, s.grid_y);
    s.start_minute = 0;
}

}  // namespace

void read_sampler_file(LagrangianSamplers& ls, const MeteoFiles& met, int32_t kg, int32_t kt, Messages msg) {
    ls.samplers.clear();
    ls.outputs.clear();
    ls.sampler_flag = optional_input_present(std::string(kSamplerFile), "main", msg.console);
    if (!ls.sampler_flag) return;
    TextInput in;
    if (!in.open(std::string(kSamplerFile))) {
        msg.console.list("*ERROR* main: unable to open file - ", kSamplerFile);
        throw RunStop(kStopInput);
    }
    int32_t count = 0;
    read_items(in, 0, "number of samplers", msg.console, count);
    if (count < 0) input_stop("main", in.name(), in.line_number(), "number of samplers below 0", msg.console);
    // The records grow as they are read: a count is never trusted for memory.
    for (int32_t k = 1; k <= count; ++k) {
        LagrangianSampler s;
        read_sampler(in, k, s, msg.console);
        ls.samplers.push_back(std::move(s));
        ls.outputs.emplace_back();
        open_output(k, ls.samplers.back(), ls.outputs.back(), msg);
        place_on_grid(ls.samplers.back(), met, kg, kt, msg.log);
    }
    ls.visits.clear();
    ls.visits.reserve(ls.samplers.size());
}

void place_sampler(LagrangianSampler& s, bool met_found, const MetAtParticle& met, int32_t grid_after,
                   float model_top, int32_t KMSL, const MeteoFiles& met_files, int32_t kt,
                   MetAtParticle& shared_met) {
    const float terrain = met_found ? met.terrain_height : 0.0f;
    s.met_grid = grid_after;
    if (KMSL == 1) s.height = std::max(s.height - terrain, 0.0f);
    s.grid_z = 1.0f - s.height / (model_top - terrain);
    if (s.direction == 0.0f && s.speed == 0.0f) return;
    if (!(met.grid_spacing_x > 0.0f) || !(met.grid_spacing_y > 0.0f)) return;
    const float angle = s.direction * kDegToRadF;
    float u = 60.0f * s.speed * std::sin(angle) / met.grid_spacing_x;
    float v = 60.0f * s.speed * std::cos(angle) / met.grid_spacing_y;
    if (grid_after >= 1 && grid_after <= kMaxMetGrids && kt >= 1 && kt <= kMaxMetTimes &&
        !met_files.grid(grid_after, kt).latlon) {
        float ur = u, vr = v;
        rotate_vector_components(met_files.grid(grid_after, kt).projection, s.grid_x, s.grid_y, u, v, ur, vr);
        u = ur;
        v = vr;
    }
    shared_met.sampler_u = u;
    shared_met.sampler_v = v;
}

void write_sampler_notice(const LagrangianSamplers& ls, TextOut& log) {
    if (!ls.sampler_flag) return;
    log.list(" NOTICE   main: configured for lagrangian sampling - ", static_cast<int32_t>(ls.samplers.size()));
}

void lagems(LagrangianSamplers& ls, int32_t model_time, ParticleArrays& p, TextOut& log) {
    for (size_t k = 0; k < ls.samplers.size(); ++k) {
        LagrangianSampler& s = ls.samplers[k];
        if (!(s.start_minute > 0 && s.start_minute <= model_time)) continue;
        s.start_minute = 0;
        if (p.particle_count + 1 > p.maxpar) {
            p.particle_count = p.maxpar;
            log.list("WARNING lagems: exceeding source array limit");
            log.list("... increase the value of MAXPAR in SETUP.CFG");
            return;
        }
        const int32_t q = p.particle_count;
        p.particle_count = q + 1;
        p.particle_sort_key[q] = q + 1;
        p.particle_x[q] = s.grid_x;
        p.particle_y[q] = s.grid_y;
        p.particle_z[q] = s.grid_z;
        p.particle_sigma_h[q] = 0.0f;
        p.particle_turb_u[q] = 0.0f;
        p.particle_turb_v[q] = 0.0f;
        p.particle_sigma_z[q] = 0.0f;
        p.particle_hdwp[q] = kSampler;
        p.particle_age[q] = 0;
        p.particle_pollutant[q] = static_cast<int32_t>(k) + 1;
        p.particle_grid[q] = s.met_grid;
        for (int32_t m = 0; m < p.maxdim; ++m) p.mass(m, q) = 0.0f;
    }
}

namespace {

void warn_once(LagrangianSamplers& ls, TextOut& log, const char* first, const char* second = nullptr) {
    if (!ls.lagsum_warn) return;
    log.list(first);
    if (second) log.list(second);
    ls.lagsum_warn = false;
}

// The grid index of a position: the nearest whole number of the real index,
// 0 when it falls outside 1..n (clamped before the conversion, so a position
// near a pole cannot overflow it).
int32_t grid_index(float real_index, int32_t n) {
    if (!(real_index >= 0.5f) || !(real_index < static_cast<float>(n) + 0.5f)) return 0;
    return static_cast<int32_t>(std::lround(real_index));
}

// The level of height h on grid g: the first whose height reaches it; 0 above the top.
int32_t level_of(const ConcentrationGrid& g, float h) {
    const int32_t levels = std::clamp(g.level_count, 0, kMaxConcentrationLevels);
    for (int32_t k = 1; k <= levels; ++k) {
        const float below = k == 1 ? 0.0f : static_cast<float>(g.heights[static_cast<size_t>(k - 2)]);
        if (below < h && h <= static_cast<float>(g.heights[static_cast<size_t>(k - 1)])) return k;
    }
    return 0;
}

}  // namespace

void lagsum(LagrangianSamplers& ls, const std::vector<ConcentrationGrid>& grids, const SummationStep& step,
            const SummationPoint& at, ParticleArrays& p, int32_t i, const ConcentrationArray& conc, Messages msg) {
    const int32_t s = p.particle_pollutant[i];
    if (s < 1 || s > static_cast<int32_t>(ls.samplers.size())) return;
    const int32_t average = ls.samplers[static_cast<size_t>(s - 1)].average_minutes;
    int32_t& age = p.particle_age[i];
    float& sum = p.mass(0, i);
    if (average == 0 || int64_t{average} <= std::llabs(int64_t{age})) {
        sum = 0.0f;
        age = 0;
    }

    int32_t gi = 0;
    for (size_t g = 0; g < grids.size(); ++g)
        if (grids[g].sampling_type == 1) gi = static_cast<int32_t>(g) + 1;
    if (gi == 0) {
        msg.log.list("*ERROR* lagsum: snapshot concentration grid not found");
        msg.console.list("*ERROR* lagsum: see message file for more information");
        throw RunStop(kStopInput);
    }
    const ConcentrationGrid& g = grids[static_cast<size_t>(gi - 1)];

    const int32_t t = static_cast<int32_t>(step.dt_minutes);
    const int64_t elapsed = t >= 1 ? int64_t{step.model_time} - g.start_minute
                                   : int64_t{g.start_minute} - step.model_time;
    if (elapsed < 0 || elapsed >= std::llabs(int64_t{g.stop_minute} - g.start_minute)) {
        warn_once(ls, msg.log, "WARNING lagsum: snapshot concentration grid turned off",
                  "... outside of temporal start-stop limits");
        return;
    }

    float lon = at.lon;
    if (g.lower_left_lon >= 0.0f && lon < 0.0f)
        lon += 360.0f;
    else if (static_cast<float>(g.lon_points) * g.lon_spacing > 180.0f && lon - g.lower_left_lon <= 0.0f)
        lon += 360.0f;
    const int32_t ci = grid_index((lon - g.lower_left_lon) / g.lon_spacing + 1.0f, std::min(g.lon_points, conc.nlon));
    const int32_t cj = grid_index((at.lat - g.lower_left_lat) / g.lat_spacing + 1.0f, std::min(g.lat_points, conc.nlat));
    if (ci == 0 || cj == 0) {
        warn_once(ls, msg.log, "WARNING lagsum: lagrangian sampler moved off the grid");
        return;
    }

    float h = std::max(1.0f, (1.0f - p.particle_z[i]) * (step.model_top - at.terrain_height));
    if (step.KMSL == 1) h += at.terrain_height;
    const int32_t k = level_of(g, h);
    if (k == 0 || k > conc.nlev || gi > conc.ngrid || conc.npol < 1) {
        warn_once(ls, msg.log, "WARNING lagsum: lagrangian sampler above conc grid");
        return;
    }
    sum += conc.at(ci, cj, k, 1, gi) * std::fabs(step.dt_minutes);
    const int32_t grow = truncate_clamped(std::fabs(step.dt_minutes));
    age = age < 0 ? clamp_to_int32(int64_t{age} - grow) : clamp_to_int32(int64_t{age} + grow);
}

void visit_sampler(LagrangianSamplers& ls, const ParticleArrays& p, int32_t i, const SummationPoint& at) {
    const int32_t s = p.particle_pollutant[i];
    if (s < 1 || s > static_cast<int32_t>(ls.samplers.size())) return;
    ls.visits.push_back({i, at});
}

void sum_visited_samplers(LagrangianSamplers& ls, const std::vector<ConcentrationGrid>& grids,
                          const SummationStep& step, ParticleArrays& p, const ConcentrationArray& conc, Messages msg) {
    for (const SamplerVisit& v : ls.visits) lagsum(ls, grids, step, v.at, p, v.entry, conc, msg);
    ls.visits.clear();
}

void update_lagrangian_samplers(LagrangianSamplers& ls, int32_t model_time, float dt_minutes,
                                const ParticleArrays& p, float model_top, const MeteoFiles& met, int32_t kt,
                                TextOut& console) {
    static const fmt::Format line("(5I3,2F10.3,F10.1,E15.4)");
    const int32_t samplers = static_cast<int32_t>(ls.samplers.size());
    for (int32_t i = 0; i < p.particle_count; ++i) {
        if (p.particle_hdwp[i] != kSampler) continue;
        const int32_t s = p.particle_pollutant[i];
        const int32_t g = p.particle_grid[i];
        if (s < 1 || s > samplers || g < 1 || g > kMaxMetGrids || kt < 1 || kt > kMaxMetTimes) continue;
        LagrangianSampler& sampler = ls.samplers[static_cast<size_t>(s - 1)];
        if (sampler.next_output_minute == 0 || sampler.next_output_minute > model_time) continue;
        const int32_t step = sampler.output_interval != 0 ? sampler.output_interval
                                                           : static_cast<int32_t>(dt_minutes);
        sampler.next_output_minute = clamp_to_int32(int64_t{sampler.next_output_minute} + step);
        float lat = 0.0f, lon = 0.0f;
        met_grid_to_geo(met.grid(g, kt), p.particle_x[i], p.particle_y[i], lat, lon);
        const int32_t age = p.particle_age[i];
        const float value = age == 0 ? 0.0f : p.particle_mass[int64_t{i} * p.maxdim] / std::fabs(static_cast<float>(age));
        TextOut& out = ls.outputs[static_cast<size_t>(s - 1)];
        if (!out.is_open()) continue;
        const CalendarDate d = tm2day(model_time, console);
        out.put(line, d.year, d.month, d.day, d.hour, d.minute, lat, lon, (1.0f - p.particle_z[i]) * model_top, value);
    }
}

}  // namespace orv
