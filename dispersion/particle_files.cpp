#include "dispersion/particle_files.hpp"

#include <algorithm>
#include <cmath>

#include "common/number_text.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "run/mass_ceiling.hpp"
#include "run/particle_types.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"

namespace orv {

namespace {

bool valid_grid(int32_t g) { return g >= 1 && g <= kMaxMetGrids; }

}  // namespace

void parout(int32_t model_time, const ParticleArrays& p, float model_top, const MeteoFiles& met, int32_t kt,
            ParticleFiles& files, Messages msg) {
    const CalendarDate d = tm2day(model_time, msg.console);
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
    msg.log.list(" NOTICE parout: created PARDUMP file at - ", d.year, d.month, d.day, d.hour);
    msg.log.list(" NOTICE parout: number particles output - ", n);
}

namespace {

// The largest values a dump of a valid run can hold: a horizontal spread of
// half the Earth's circumference, a vertical spread of the whole depth of
// the internal coordinate, a turbulent velocity far above any wind, and an
// age of the calendar's span.
constexpr float kMaxSigmaH = 2.0e7f;       // m
constexpr float kMaxSigmaZ = 1.0f;         // internal coordinate
constexpr float kMaxTurbulence = 1000.0f;  // m/s
constexpr int32_t kMaxAge = 200 * 366 * 1440;  // minutes

[[noreturn]] void damaged(const ParticleFiles& f, std::string_view what, TextOut& console) {
    console.list("*ERROR* parinp: ", what, " - ", f.init_name);
    throw RunStop(kStopInput);
}

// Reads the next record; false at a clean end of the file. A broken frame
// stops the run.
bool next_record(ParticleFiles& f, TextOut& console) {
    try {
        const bool got = f.init.read(f.record);
        if (got) ++f.records_read;
        return got;
    } catch (const InputError&) {
        damaged(f, "truncated or damaged particle initialization file", console);
    }
}

struct GroupHeader {
    int32_t count, pollutants, year, month, day, hour;
    int32_t time = 0;  // accumulated minutes
};

// The next group header, checked; false at the end of the file. The group
// time is the calendar's: a day or hour beyond its range carries (hour 24 is
// 00 of the next day); the year and month must be ones it knows.
bool next_header(ParticleFiles& f, GroupHeader& h, TextOut& console) {
    if (!next_record(f, console)) return false;
    if (f.record.size() < 24) damaged(f, "truncated or damaged particle initialization file", console);
    RecordCursor c(f.record);
    h = GroupHeader{c.get_i32(), c.get_i32(), c.get_i32(), c.get_i32(), c.get_i32(), c.get_i32()};
    if (h.count < 0 || h.pollutants < 0) damaged(f, "negative count in particle initialization file", console);
    const bool year_ok = (h.year >= 0 && h.year <= 100) || (h.year >= 1941 && h.year <= 2100);
    if (!year_ok || h.month < 1 || h.month > 12 ||
        !shifted_date_minutes(h.year, h.month, h.day, h.hour, 0, h.time, console))
        damaged(f, "invalid group time in particle initialization file", console);
    return true;
}

// Goes back to the start of the header last read.
void step_back(ParticleFiles& f) {
    f.init.step_back();
    --f.records_read;
}

// One particle record of a group; a missing or short record is reported with
// its number and stops the run.
RecordCursor particle_record(ParticleFiles& f, int32_t number, size_t bytes, Messages msg) {
    if (!next_record(f, msg.console) || f.record.size() < bytes) {
        msg.log.list("WARNING parinp: error in particle file record #", number);
        damaged(f, "truncated or damaged particle initialization file", msg.console);
    }
    return RecordCursor(f.record);
}

void skip_group(ParticleFiles& f, const GroupHeader& h, Messages msg) {
    for (int32_t k = 0; k < h.count; ++k)
        for (int32_t rec = 1; rec <= 3; ++rec) particle_record(f, rec, 0, msg);
}

// A group whose particles carry another number of pollutants than the run.
void check_pollutant_count(const ParticleFiles& f, const GroupHeader& h, int32_t maxdim, Messages msg) {
    if (h.count == 0 || h.pollutants == maxdim) return;
    msg.log.list("*ERROR* parinp: mismatch in number of pollutants");
    msg.log.list("Mode: ", maxdim);
    msg.log.list("     File: ", h.pollutants);
    msg.console.list("*ERROR* parinp: mismatch in number of pollutants - ", f.init_name);
    msg.console.list("Mode: ", maxdim);
    msg.console.list("     File: ", h.pollutants);
    throw RunStop(kStopInput);
}

// What a particle is checked against: the run's pollutant count, model top
// and meteorological grids at the time index of the reading.
struct ParticleCheck {
    int32_t maxdim;
    float model_top;
    const MeteoFiles& met;
    int32_t kt;
};

// One particle as the file holds it, with its position on its grid and the
// file's record numbers of its position and state records.
struct DumpedParticle {
    float lat, lon, height, sigma_h, sigma_z, turb_v;
    int32_t age, type, pollutant, grid, sort_key;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    int64_t position_record = 0, state_record = 0;
};

// A value the run cannot start from: the line names the file, the record,
// the particle of the group and the item.
[[noreturn]] void refuse_value(const ParticleFiles& f, const GroupHeader& h, int32_t k, int64_t record,
                               std::string_view item, const std::string& value, std::string_view why, Messages msg) {
    const std::string what = std::string(item) + " " + value + " " + std::string(why) + " in record " +
                             std::to_string(record) + " (particle " + std::to_string(k) +
                             " of the group of " + std::to_string(h.year) + " " + std::to_string(h.month) + " " +
                             std::to_string(h.day) + " " + std::to_string(h.hour) + ")";
    msg.log.list("*ERROR* parinp: ", what, " - ", f.init_name);
    damaged(f, what, msg.console);
}

void check_range(const ParticleFiles& f, const GroupHeader& h, int32_t k, int64_t record, std::string_view item,
                 float v, float low, float high, Messages msg) {
    if (!(v >= low && v <= high))
        refuse_value(f, h, k, record, item, number_text(v),
                     "outside " + number_text(low) + " to " + number_text(high), msg);
}

// A mass the run can take: finite and not above the ceiling.
void check_mass(const ParticleFiles& f, const GroupHeader& h, int32_t k, int32_t pollutant, float v, Messages msg) {
    const std::string why = particle_mass_refusal(v);
    if (why.empty()) return;
    const std::string item = "mass of pollutant " + std::to_string(pollutant);
    refuse_value(f, h, k, f.records_read, item, number_text(v), why, msg);
}

// The position on the particle's grid: a height within the model column, a
// place on the globe that the grid's conversion reaches.
void place_on_grid(const ParticleFiles& f, const GroupHeader& h, int32_t k, const ParticleCheck& c,
                   DumpedParticle& d, Messages msg) {
    const int64_t at = d.position_record;
    check_range(f, h, k, at, "height", d.height, 0.0f, c.model_top, msg);
    if (d.grid == 0) return;  // ended: never moved again
    const bool time_ok = c.kt >= 1 && c.kt <= kMaxMetTimes;
    if (d.grid < 1 || d.grid > kMaxMetGrids || !time_ok || !c.met.grid(d.grid, c.kt).in_use())
        refuse_value(f, h, k, d.state_record, "meteorological grid", std::to_string(d.grid), "not in this run", msg);
    check_range(f, h, k, at, "latitude", d.lat, -90.0f, 90.0f, msg);
    check_range(f, h, k, at, "longitude", d.lon, -360.0f, 360.0f, msg);
    const MetGridDefinition& g = c.met.grid(d.grid, c.kt);
    met_geo_to_grid(g, d.lat, d.lon, d.x, d.y);
    // A place off the particle's own grid is kept: the first advance moves
    // it to a grid that holds it, or ends it. A place the grid's projection
    // cannot reach at all (a pole of a Mercator grid) is not.
    if (!(std::isfinite(d.x) && std::isfinite(d.y)))
        refuse_value(f, h, k, at, "position", number_text(d.lat) + " " + number_text(d.lon),
                     "has no place on meteorological grid " + std::to_string(d.grid), msg);
    d.z = (c.model_top - d.height) / c.model_top;
}

// Reads particle k of group h and checks every value; its masses go to
// `mass` (maxdim values) when one is given. A value outside what a dump of
// a valid run can hold stops the run.
DumpedParticle read_checked_particle(ParticleFiles& f, const GroupHeader& h, int32_t k, const ParticleCheck& c,
                                     float* mass, Messages msg) {
    RecordCursor m = particle_record(f, 1, static_cast<size_t>(h.pollutants) * 4, msg);
    for (int32_t s = 0; s < c.maxdim; ++s) {
        const float v = m.get_f32();
        check_mass(f, h, k, s + 1, v, msg);
        if (mass) mass[s] = v;
    }
    DumpedParticle d{};
    RecordCursor pos = particle_record(f, 2, 24, msg);
    d.lat = pos.get_f32();
    d.lon = pos.get_f32();
    d.height = pos.get_f32();
    d.sigma_h = pos.get_f32();
    d.sigma_z = pos.get_f32();
    d.turb_v = pos.get_f32();
    d.position_record = f.records_read;
    check_range(f, h, k, d.position_record, "sigma_h", d.sigma_h, 0.0f, kMaxSigmaH, msg);
    check_range(f, h, k, d.position_record, "sigma_z", d.sigma_z, 0.0f, kMaxSigmaZ, msg);
    check_range(f, h, k, d.position_record, "turbulent velocity", d.turb_v, -kMaxTurbulence, kMaxTurbulence, msg);
    RecordCursor state = particle_record(f, 3, 20, msg);
    d.state_record = f.records_read;
    d.age = state.get_i32();
    d.type = state.get_i32();
    d.pollutant = state.get_i32();
    d.grid = state.get_i32();
    d.sort_key = state.get_i32();
    const int64_t at = d.state_record;
    if (d.age < -kMaxAge || d.age > kMaxAge)
        refuse_value(f, h, k, at, "age", std::to_string(d.age), "outside the calendar's span", msg);
    // Every puff goes through the mercury steps, which need Gaussian or
    // top-hat puffs (the set-up takes no other release type); samplers are
    // carried as they are.
    if (d.type != kGaussianPuff && d.type != kTopHatPuff && d.type != kSampler)
        refuse_value(f, h, k, at, "type code", std::to_string(d.type),
                     "is none of 1, 2 (Gaussian and top-hat puffs) or 6 (sampler) that the run carries", msg);
    if (d.pollutant < 1) refuse_value(f, h, k, at, "pollutant index", std::to_string(d.pollutant), "below 1", msg);
    if (d.sort_key < 1 || d.sort_key > h.count)
        refuse_value(f, h, k, at, "sort key", std::to_string(d.sort_key), "outside 1 to the group's count", msg);
    place_on_grid(f, h, k, c, d, msg);
    return d;
}

// Checks and drops the particles of a group.
void check_group(ParticleFiles& f, const GroupHeader& h, const ParticleCheck& c, Messages msg) {
    check_pollutant_count(f, h, c.maxdim, msg);
    for (int32_t k = 1; k <= h.count; ++k) read_checked_particle(f, h, k, c, nullptr, msg);
}

// Which groups of the initialisation file the run can load, group by group
// in file order, as parinp reads them. Forward: every group dated at or after
// the start (older ones are skipped). Backward: the model time only falls, so
// the groups before the first one dated at or after the start are skipped at
// the start, a first one dated after it holds the file for good, and after a
// group of the start every group dated before it can come due, up to one
// dated at or after the start, which holds the file for good.
class LoadableGroups {
public:
    LoadableGroups(int32_t start, bool backward) : start_(start), backward_(backward) {}
    bool next(int32_t time) {
        if (!backward_) return time >= start_;
        if (held_ || (!started_ && time < start_)) return false;
        if (started_ ? time >= start_ : time > start_) {
            held_ = true;
            return false;
        }
        started_ = true;
        return true;
    }

private:
    int32_t start_;
    bool backward_;
    bool started_ = false;  // the group of the start has been read
    bool held_ = false;     // a group the run never reaches holds the file
};

// Reads particle k of the group into entry q.
void read_particle(ParticleFiles& f, const GroupHeader& h, int32_t k, int32_t q, const ParticleCheck& c,
                   ParticleArrays& p, Messages msg) {
    const DumpedParticle d = read_checked_particle(f, h, k, c, &p.mass(0, q), msg);
    p.particle_sigma_h[q] = d.sigma_h;
    p.particle_sigma_z[q] = d.sigma_z;
    p.particle_turb_v[q] = d.turb_v;
    p.particle_turb_u[q] = d.turb_v;
    p.particle_age[q] = d.age;
    p.particle_hdwp[q] = d.type;
    p.particle_pollutant[q] = d.pollutant;
    p.particle_grid[q] = d.grid;
    // The entry's own slot: a group loaded after the start is appended behind
    // particles whose keys already run from 1, and the file's keys (1 to its
    // count) would point at those. A dump's keys are always 1 to its count
    // in order, so a load at the start is the same either way.
    p.particle_sort_key[q] = q + 1;
    if (q < p.particle_lat.size()) p.particle_lat[q] = d.lat;
    if (q < p.particle_lon.size()) p.particle_lon[q] = d.lon;
    if (d.grid == 0) return;
    p.particle_x[q] = d.x;
    p.particle_y[q] = d.y;
    p.particle_z[q] = d.z;
}

void load_group(ParticleFiles& f, const GroupHeader& h, const ParticleCheck& c, int32_t NINIT, ParticleArrays& p,
                Messages msg) {
    check_pollutant_count(f, h, c.maxdim, msg);
    if (h.count > 0 && NINIT == 3) p.particle_count = 0;
    const int32_t start = p.particle_count;
    for (int32_t k = 1; k <= h.count; ++k) {
        int64_t slot = int64_t{start} + k;
        if (slot > p.maxpar) {
            slot = p.maxpar;
            if (!f.limit_warned) {
                msg.log.list("WARNING parinp: exceeding particle number limit");
                f.limit_warned = true;
            }
        }
        // With no room at all the particle is read, checked and dropped.
        if (slot < 1) {
            read_checked_particle(f, h, k, c, nullptr, msg);
            continue;
        }
        read_particle(f, h, k, static_cast<int32_t>(slot - 1), c, p, msg);
    }
    p.particle_count = static_cast<int32_t>(std::min<int64_t>(int64_t{start} + h.count, p.maxpar));
    // Each particle past the limit took the last slot over: the one there
    // before it is gone, with its mass.
    const int64_t lost = int64_t{start} + h.count - p.maxpar;
    if (lost > 0)
        msg.console.list("WARNING parinp: exceeding particle number limit - " + std::to_string(lost) +
                         (lost == 1 ? " particle lost with its mass" : " particles lost with their mass") +
                         " (MAXPAR " + std::to_string(p.maxpar) + ")");
    msg.log.list(" NOTICE parinp: particle initialization - ", h.year, h.month, h.day, h.hour);
    msg.log.list(" Initialized with particles: ", p.particle_count);
}

}  // namespace

void check_particle_init_file(int32_t model_time, bool backward, int32_t kt, const ParticleArrays& p,
                              float model_top, const MeteoFiles& met, ParticleFiles& files, Messages msg) {
    if (kt < 1 || kt > kMaxMetTimes) kt = 1;
    const ParticleCheck c{p.maxdim, model_top, met, kt};
    LoadableGroups loadable(model_time, backward);
    GroupHeader h;
    while (next_header(files, h, msg.console)) {
        if (loadable.next(h.time))
            check_group(files, h, c, msg);
        else
            skip_group(files, h, msg);
    }
    files.init.close();
    files.records_read = 0;
    if (!files.init.open(files.init_name))
        damaged(files, "cannot open the particle initialization file again", msg.console);
}

void parinp(int32_t model_time, int32_t kt, ParticleArrays& p, float model_top, int32_t NINIT,
            const MeteoFiles& met, ParticleFiles& files, Messages msg) {
    if (kt < 1 || kt > kMaxMetTimes) kt = 1;
    const ParticleCheck c{p.maxdim, model_top, met, kt};
    while (files.init.is_open()) {
        GroupHeader h;
        if (!next_header(files, h, msg.console)) {
            files.init.close();
            msg.log.list("WARNING parinp: particle initialization file closed");
            return;
        }
        const int32_t t = h.time;
        if (model_time < t) {
            msg.log.list("WARNING parinp: initialization in time wait mode");
            step_back(files);
            return;
        }
        if (t == model_time) {
            load_group(files, h, c, NINIT, p, msg);
            return;
        }
        skip_group(files, h, msg);
        msg.log.list("WARNING parinp: particle record skipped - ", h.year, h.month, h.day, h.hour);
    }
}

}  // namespace orv
