#include "dispersion/particle_files.hpp"

#include <algorithm>
#include <cmath>

#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"

namespace orv {

namespace {

bool valid_grid(int32_t g) { return g >= 1 && g <= kMaxMetGrids; }

}  // namespace

void parout(int32_t model_time, const ParticleArrays& p, float model_top, const MeteoFiles& met, int32_t kt,
            ParticleFiles& files, TextOut& log) {
    const CalendarDate d = tm2day(model_time);
    const int32_t n = p.particle_count;
    RecordBuilder& r = files.out;
    r.clear();
    r.put_i32s({n, p.maxdim, d.year, d.month, d.day, d.hour});
    files.dump.write(r);
    const bool time_ok = kt >= 1 && kt <= kMaxMetTimes;
    for (int32_t i = 0; i < n; ++i) {
        r.clear();
        for (int32_t s = 0; s < p.maxdim; ++s) r.put_f32(p.particle_mass[int64_t{i} * p.maxdim + s]);
        files.dump.write(r);
        float lat = 0.0f, lon = 0.0f;
        const int32_t g = p.particle_grid[i];
        if (valid_grid(g) && time_ok) met_grid_to_geo(met.grid(g, kt), p.particle_x[i], p.particle_y[i], lat, lon);
        r.clear();
        r.put_f32s({lat, lon, (1.0f - p.particle_z[i]) * model_top, p.particle_sigma_h[i], p.particle_sigma_z[i],
                    p.particle_turb_v[i]});
        files.dump.write(r);
        r.clear();
        r.put_i32s({p.particle_age[i], p.particle_hdwp[i], p.particle_pollutant[i], g, p.particle_sort_key[i]});
        files.dump.write(r);
    }
    log.list(" NOTICE parout: created PARDUMP file at - ", d.year, d.month, d.day, d.hour);
    log.list(" NOTICE parout: number particles output - ", n);
}

namespace {

[[noreturn]] void damaged(const ParticleFiles& f, std::string_view what) {
    console("*ERROR* parinp: ", what, " - ", f.init_name);
    throw RunStop(kStopInput);
}

// Reads the next record; false at a clean end of the file. A broken frame
// stops the run.
bool next_record(ParticleFiles& f) {
    try {
        return f.init.read(f.record);
    } catch (const InputError&) {
        damaged(f, "truncated or damaged particle initialization file");
    }
}

struct GroupHeader {
    int32_t count, pollutants, year, month, day, hour;
};

// One particle record of a group; a missing or short record is reported with
// its number and stops the run.
RecordCursor particle_record(ParticleFiles& f, int32_t number, size_t bytes, TextOut& log) {
    if (!next_record(f) || f.record.size() < bytes) {
        log.list("WARNING parinp: error in particle file record #", number);
        damaged(f, "truncated or damaged particle initialization file");
    }
    return RecordCursor(f.record);
}

void skip_group(ParticleFiles& f, const GroupHeader& h, TextOut& log) {
    for (int32_t k = 0; k < h.count; ++k)
        for (int32_t rec = 1; rec <= 3; ++rec) particle_record(f, rec, 0, log);
}

// Reads one particle into entry q.
void read_particle(ParticleFiles& f, const GroupHeader& h, int32_t q, int32_t kt, float model_top,
                   ParticleArrays& p, const MeteoFiles& met, TextOut& log) {
    RecordCursor mass = particle_record(f, 1, static_cast<size_t>(h.pollutants) * 4, log);
    for (int32_t s = 0; s < p.maxdim; ++s) p.mass(s, q) = s < h.pollutants ? mass.get_f32() : 0.0f;
    RecordCursor pos = particle_record(f, 2, 24, log);
    const float lat = pos.get_f32(), lon = pos.get_f32(), height = pos.get_f32();
    p.particle_sigma_h[q] = pos.get_f32();
    p.particle_sigma_z[q] = pos.get_f32();
    p.particle_turb_v[q] = pos.get_f32();
    p.particle_turb_u[q] = p.particle_turb_v[q];
    RecordCursor state = particle_record(f, 3, 20, log);
    p.particle_age[q] = state.get_i32();
    p.particle_hdwp[q] = state.get_i32();
    p.particle_pollutant[q] = state.get_i32();
    const int32_t g = state.get_i32();
    p.particle_grid[q] = g;
    p.particle_sort_key[q] = state.get_i32();
    if (q < p.particle_lat.size()) p.particle_lat[q] = lat;
    if (q < p.particle_lon.size()) p.particle_lon[q] = lon;
    if (g == 0) return;
    if (!valid_grid(g) || !met.grid(g, kt).in_use())
        damaged(f, "meteorological grid number of a particle not in this run");
    float x = 0.0f, y = 0.0f;
    met_geo_to_grid(met.grid(g, kt), lat, lon, x, y);
    p.particle_x[q] = x;
    p.particle_y[q] = y;
    p.particle_z[q] = (model_top - height) / model_top;
}

void load_group(ParticleFiles& f, const GroupHeader& h, int32_t kt, float model_top, int32_t NINIT,
                ParticleArrays& p, const MeteoFiles& met, TextOut& log) {
    if (h.count > 0 && NINIT == 3) p.particle_count = 0;
    if (h.count > 0 && h.pollutants > p.maxdim) {
        log.list("*ERROR* parinp: mismatch in number of pollutants");
        log.list("Mode: ", p.maxdim);
        log.list("     File: ", h.pollutants);
        throw RunStop(kStopInput);
    }
    const int32_t start = p.particle_count;
    for (int32_t k = 1; k <= h.count; ++k) {
        int64_t slot = int64_t{start} + k;
        if (slot > p.maxpar) {
            slot = p.maxpar;
            if (!f.limit_warned) {
                log.list("WARNING parinp: exceeding particle number limit");
                f.limit_warned = true;
            }
        }
        // With no room at all the particle is read and dropped.
        if (slot < 1) {
            skip_group(f, GroupHeader{1, h.pollutants, 0, 0, 0, 0}, log);
            continue;
        }
        read_particle(f, h, static_cast<int32_t>(slot - 1), kt, model_top, p, met, log);
    }
    p.particle_count = static_cast<int32_t>(std::min<int64_t>(int64_t{start} + h.count, p.maxpar));
    log.list(" NOTICE parinp: particle initialization - ", h.year, h.month, h.day, h.hour);
    log.list(" Initialized with particles: ", p.particle_count);
}

}  // namespace

void parinp(int32_t model_time, int32_t kt, ParticleArrays& p, float model_top, int32_t NINIT,
            const MeteoFiles& met, ParticleFiles& files, TextOut& log) {
    if (kt < 1 || kt > kMaxMetTimes) kt = 1;
    while (files.init.is_open()) {
        if (!next_record(files)) {
            files.init.close();
            log.list("WARNING parinp: particle initialization file closed");
            return;
        }
        if (files.record.size() < 24) damaged(files, "truncated or damaged particle initialization file");
        RecordCursor c(files.record);
        GroupHeader h{c.get_i32(), c.get_i32(), c.get_i32(), c.get_i32(), c.get_i32(), c.get_i32()};
        if (h.count < 0 || h.pollutants < 0) damaged(files, "negative count in particle initialization file");
        const bool year_ok = (h.year >= 0 && h.year <= 99) || (h.year >= 1941 && h.year <= 2099);
        if (!year_ok || h.month < 1 || h.month > 12 || h.day < 1 || h.day > 31 || h.hour < 0 || h.hour > 23)
            damaged(files, "invalid group time in particle initialization file");
        const int32_t t = tm2min(h.year, h.month, h.day, h.hour, 0);
        if (model_time < t) {
            log.list("WARNING parinp: initialization in time wait mode");
            files.init.step_back();
            return;
        }
        if (t == model_time) {
            load_group(files, h, kt, model_top, NINIT, p, met, log);
            return;
        }
        skip_group(files, h, log);
        log.list("WARNING parinp: particle record skipped - ", h.year, h.month, h.day, h.hour);
    }
}

}  // namespace orv
