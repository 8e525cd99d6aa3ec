#include "dispersion/emission_inventory.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "common/number_text.hpp"
#include "common/blank_trim.hpp"
#include "common/optional_input.hpp"
#include "common/fortran_format.hpp"
#include "common/math_constants.hpp"
#include "common/run_stop.hpp"
#include "common/text_input.hpp"
#include "common/clamped_int.hpp"
#include "meteo/grid_projection.hpp"
#include "dispersion/point_release.hpp"
#include "run/calendar.hpp"
#include "run/mass_ceiling.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr int32_t kMaxInventoryPollutants = 255;  // identifiers on one (255A4) line
constexpr float kVolumeConversion = 2.24e7f;      // mass to volume units, times 1 / GPMOL
// Cell corners in the data file meet the grid's corners only to within the
// rounding of single precision (38.3 - 38 over 0.1 is 2.9999993): a point
// within this fraction of a cell below a corner counts as on it.
constexpr float kCornerTolerance = 1.0e-3f;

bool is_end_of_file(const InputError& e) { return std::string_view(e.what()) == "end of file"; }

// The first four characters, blank-padded.
std::string four_chars(std::string_view s) {
    std::string out(s.substr(0, 4));
    out.resize(4, ' ');
    return out;
}

// A configuration error: the log lines, the console pointer to them, stop 900.
[[noreturn]] void refuse(std::string_view routine, std::initializer_list<std::string> log_lines, Messages msg) {
    for (const std::string& l : log_lines) msg.log.line(l);
    msg.console.list("*ERROR* ", routine, ": see message file for more information");
    throw RunStop(kStopInput);
}

// The header line of "emission.txt".
void read_header(TextInput& in, std::string_view routine, EmissionInventory& inv, Messages msg) {
    try {
        list_read(in, inv.npol_file, inv.nvals, inv.factor, inv.dlat, inv.dlon);
    } catch (const InputError&) {
        refuse(routine, {list_line("*ERROR* ", routine, ": header information not found in emission.txt")}, msg);
    }
    if (inv.npol_file < 1 || inv.npol_file > kMaxInventoryPollutants)
        refuse(routine,
               {list_line("*ERROR* ", routine, ": number of pollutants in emission.txt outside 1 to 255 - ",
                          inv.npol_file)},
               msg);
    if (!(inv.dlat > 0.0f) || !(inv.dlon > 0.0f) || !std::isfinite(inv.dlat) || !std::isfinite(inv.dlon))
        refuse(routine,
               {list_line("*ERROR* ", routine, ": cell size in emission.txt must be positive - ", inv.dlat,
                          inv.dlon)},
               msg);
}

void open_inventory(TextInput& in, TextOut& console) {
    if (!in.open(std::string(kEmissionInventoryFile))) {
        console.list("*ERROR* emsini: unable to open file - ", kEmissionInventoryFile);
        throw RunStop(kStopInput);
    }
}

// The identifier line and the data file name of "emission.txt".
std::string read_identifiers_and_data_name(TextInput& in, EmissionInventory& inv, Messages msg) {
    std::string_view line;
    if (!in.next_line(line))
        refuse("emsdat", {" *ERROR* emsdat: pollutant identifiers not found in emission.txt"}, msg);
    inv.pollutant_ids.assign(static_cast<size_t>(inv.npol_file), std::string());
    std::vector<fmt::Target> targets;
    for (std::string& id : inv.pollutant_ids) targets.emplace_back(id);
    static const fmt::Format ids_layout("(255A4)");
    try {
        fmt::read(line, ids_layout, std::span<const fmt::Target>(targets));
    } catch (const InputError&) {
        refuse("emsdat", {" *ERROR* emsdat: pollutant identifiers cannot be read in emission.txt"}, msg);
    }
    for (std::string& id : inv.pollutant_ids) id = four_chars(id);
    if (!in.next_line(line)) refuse("emsdat", {" *ERROR* emsdat: data file name not found in emission.txt"}, msg);
    return trim_blanks(line.substr(0, 80));
}

// Where the cells of the data file go while it is read: cell index by
// (row, column), so that the cells can be put in row order afterwards.
struct CellBuilder {
    std::map<int64_t, int32_t> index;
    std::vector<float> values;  // per cell (in order of first use), value, pollutant

    float* cell(int32_t i, int32_t j, size_t per_cell) {
        const int64_t key = (int64_t{j} << 32) | static_cast<uint32_t>(i);
        auto [it, added] = index.emplace(key, static_cast<int32_t>(index.size()));
        if (added) values.resize(values.size() + per_cell, 0.0f);
        return values.data() + static_cast<size_t>(it->second) * per_cell;
    }
};

// The cell (i, j) of a point, when its cell lies wholly inside the grid.
bool select_point(const EmissionInventory& inv, float lat, float lon, int32_t& i, int32_t& j) {
    const float tlat = kCornerTolerance * inv.dlat, tlon = kCornerTolerance * inv.dlon;
    if (!(inv.lat1 <= lat + tlat && lat + inv.dlat <= inv.lat2 + tlat && inv.lon1 <= lon + tlon &&
          lon + inv.dlon <= inv.lon2 + tlon))
        return false;
    i = truncate_clamped((lon - inv.lon1) / inv.dlon + kCornerTolerance) + 1;
    j = truncate_clamped((lat - inv.lat1) / inv.dlat + kCornerTolerance) + 1;
    return i >= 1 && i <= inv.nlon && j >= 1 && j <= inv.nlat;
}

// Per inventory pollutant, the control pollutants (0-based) that take its
// values: each takes the last inventory pollutant of its identifier, as the
// releases match them.
std::vector<std::vector<size_t>> takers_of_values(const EmissionInventory& inv) {
    std::vector<std::vector<size_t>> takers(static_cast<size_t>(inv.npol_file));
    for (size_t c = 0; c < inv.control_rates.size(); ++c) {
        int32_t match = -1;
        for (int32_t k = 0; k < inv.npol_file; ++k)
            if (inv.pollutant_ids[k] == four_chars(inv.control_rates[c].pollutant_id)) match = k;
        if (match >= 0) takers[static_cast<size_t>(match)].push_back(c);
    }
    return takers;
}

// Why emission per hour e, times the rate of control pollutant c, cannot be
// released: per hour, or over the pollutant's hours of emission.
std::string release_refusal(const EmissionInventory& inv, float e, size_t c) {
    const InventoryRate& cr = inv.control_rates[c];
    const double per_hour = double{e} * cr.rate;
    const std::string why = std::fabs(per_hour) > static_cast<double>(kMassCeiling)
                                ? "is above the largest rate the run takes (1e20)"
                                : released_mass_refusal(per_hour, cr.hours);
    if (why.empty()) return why;
    return "times the rate " + number_text(cr.rate) + (cr.volume_units ? " (in volume units)" : "") +
           " of pollutant " + std::to_string(c + 1) + " (" + trim_trailing_blanks(cr.pollutant_id) + ") in CONTROL " +
           why;
}

// An emission per hour read (the value times the factor over its hours) and
// the cell's sum so far, alone and times the control rates that take them:
// one the run cannot take stops it, naming the line.
void check_emission(const EmissionInventory& inv, float read, float sum, const std::vector<size_t>& takers,
                    const TextInput& in, TextOut& console) {
    for (const float e : {read, sum}) {
        std::string why = emission_rate_refusal(e, inv.ICHEM);
        for (size_t t = 0; why.empty() && t < takers.size(); ++t) why = release_refusal(inv, e, takers[t]);
        if (why.empty()) continue;
        input_stop("emsdat", in.name(), in.line_number(), "emission per hour " + number_text(e) + " " + why, console);
    }
}

// Reads every point of the data file into the cells and the totals.
void read_data_file(TextInput& in, EmissionInventory& inv, CellBuilder& cells, std::vector<float>& totals,
                    TextOut& console) {
    const size_t per_cell = static_cast<size_t>(inv.nvals) * static_cast<size_t>(inv.npol_file);
    std::vector<float> v(static_cast<size_t>(inv.nvals));
    std::vector<fmt::Target> targets;
    for (float& x : v) targets.emplace_back(x);
    const float per_hour = inv.factor / static_cast<float>(inv.hours_per_value);
    const std::vector<std::vector<size_t>> takers = takers_of_values(inv);
    for (;;) {
        int32_t unused1 = 0, unused2 = 0;
        float lon = 0.0f, lat = 0.0f;
        try {
            list_read(in, unused1, unused2, lon, lat);
        } catch (const InputError& e) {
            if (is_end_of_file(e)) return;
            input_stop("emsdat", in.name(), in.line_number(), std::string("point cannot be read (") + e.what() + ")",
                       console);
        }
        int32_t i = 0, j = 0;
        const bool selected = select_point(inv, lat, lon, i, j);
        float* cell = selected ? cells.cell(i, j, per_cell) : nullptr;
        for (int32_t k = 0; k < inv.npol_file; ++k) {
            std::fill(v.begin(), v.end(), 0.0f);
            try {
                list_read(in, std::span<const fmt::Target>(targets));
            } catch (const InputError& e) {
                input_stop("emsdat", in.name(), in.line_number(),
                           is_end_of_file(e) ? std::string("file ends inside a point")
                                             : std::string("emission values cannot be read (") + e.what() + ")",
                           console);
            }
            if (!selected) continue;
            // Every hour of a value gets the same share, so one sum per value.
            for (int32_t n = 0; n < inv.nvals; ++n) {
                float& e = cell[static_cast<size_t>(n) * inv.npol_file + k];
                e += v[n] * per_hour;
                check_emission(inv, v[n] * per_hour, e, takers[static_cast<size_t>(k)], in, console);
            }
            for (int32_t h = 0; h < 24; ++h) totals[k] += v[inv.value_index(h)] * per_hour;
        }
    }
}

// Puts the cells in row order into the inventory.
void store_cells(const CellBuilder& cells, EmissionInventory& inv) {
    const size_t per_cell = static_cast<size_t>(inv.nvals) * static_cast<size_t>(inv.npol_file);
    inv.cell_i.clear();
    inv.cell_j.clear();
    inv.emissions.clear();
    inv.emissions.reserve(cells.values.size());
    for (const auto& [key, c] : cells.index) {
        inv.cell_j.push_back(static_cast<int32_t>(key >> 32));
        inv.cell_i.push_back(static_cast<int32_t>(key & 0xffffffff));
        const float* from = cells.values.data() + static_cast<size_t>(c) * per_cell;
        inv.emissions.insert(inv.emissions.end(), from, from + per_cell);
    }
}

int32_t nonzero_cells(const EmissionInventory& inv) {
    const size_t per_cell = static_cast<size_t>(inv.nvals) * static_cast<size_t>(inv.npol_file);
    int32_t n = 0;
    for (int32_t c = 0; c < inv.cell_count(); ++c) {
        const float* v = inv.emissions.data() + static_cast<size_t>(c) * per_cell;
        if (std::any_of(v, v + per_cell, [](float e) { return e > 0.0f; })) ++n;
    }
    return n;
}

// The identifiers and daily mean totals, five to a line.
void write_totals(const EmissionInventory& inv, const std::vector<float>& totals, int32_t nonzero, TextOut& log) {
    log.list(" NOTICE emsdat: gridded emissions initialized");
    static const fmt::Format ids_line("(10X,5A10)");
    static const fmt::Format first_totals("(A10,5E10.2)");
    static const fmt::Format more_totals("(10X,5E10.2)");
    const size_t n = totals.size();
    for (size_t a = 0; a < n; a += 5) {
        std::vector<fmt::Value> items;
        for (size_t k = a; k < std::min(n, a + 5); ++k) items.emplace_back(inv.pollutant_ids[k]);
        std::string out;
        fmt::write(out, ids_line, items);
        log.raw(out);
    }
    for (size_t a = 0; a < n; a += 5) {
        std::vector<fmt::Value> items;
        if (a == 0) items.emplace_back(" Kg/hr ");
        for (size_t k = a; k < std::min(n, a + 5); ++k) items.emplace_back(totals[k]);
        std::string out;
        fmt::write(out, a == 0 ? first_totals : more_totals, items);
        log.raw(out);
    }
    log.list("Number of emission lat/lon points: ", inv.nlat, inv.nlon);
    log.list("Total number of non-zero points  : ", nonzero);
}

}  // namespace

InventoryRate inventory_rate(const Pollutant& d) {
    // In single precision, as the releases compute it: a conversion that
    // overflows is infinite here too, and refused.
    const float rate = d.DOVOL ? d.emission_rate * kVolumeConversion / d.GPMOL : d.emission_rate;
    return InventoryRate{d.pollutant_id, double{rate}, d.DOVOL, d.emission_hours};
}

float EmissionInventory::gridded_emission(int32_t i, int32_t j, int32_t k, int32_t h) const {
    int32_t lo = 0, hi = cell_count();
    while (lo < hi) {
        const int32_t mid = (lo + hi) / 2;
        if (cell_j[mid] < j || (cell_j[mid] == j && cell_i[mid] < i))
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo >= cell_count() || cell_i[lo] != i || cell_j[lo] != j || k < 1 || k > npol_file || h < 1 || h > 24)
        return 0.0f;
    return cell_values(lo, value_index(h - 1))[k - 1];
}

void emsini(const std::vector<SourceLocation>& locations, EmissionInventory& inv, Messages msg) {
    inv.present = optional_input_present(std::string(kEmissionInventoryFile), "emsini", msg.console);
    if (!inv.present) return;
    TextInput in;
    open_inventory(in, msg.console);
    if (locations.size() != 2) {
        msg.log.list("*ERROR* emsini: 2 source locations required to define grid");
        msg.console.list("*ERROR* emsini: see message file for more information");
        throw RunStop(kStopInput);
    }
    read_header(in, "emsini", inv, msg);
    inv.lat1 = locations[0].lat;
    inv.lon1 = locations[0].lon;
    inv.lat2 = locations[1].lat;
    inv.lon2 = locations[1].lon;
    inv.nlat = truncate_clamped((inv.lat2 - inv.lat1) / inv.dlat + kCornerTolerance) + 1;
    inv.nlon = truncate_clamped((inv.lon2 - inv.lon1) / inv.dlon + kCornerTolerance) + 1;
    msg.log.list(" NOTICE emsini: internal emission grid defined - ", inv.npol_file, inv.nvals, inv.factor, inv.dlat,
                 inv.dlon, inv.nlat, inv.nlon);
}

void emsdat(EmissionInventory& inv, Messages msg) {
    TextInput in;
    open_inventory(in, msg.console);
    read_header(in, "emsdat", inv, msg);
    if (inv.nvals > 24) {
        msg.console.list("*ERROR* emsdat: more than 24 emissions defined - ", inv.nvals);
        throw RunStop(kStopInput);
    }
    if (inv.nvals < 1) {
        msg.console.list("*ERROR* emsdat: less than 1 emission defined - ", inv.nvals);
        throw RunStop(kStopInput);
    }
    inv.hours_per_value = 24 / inv.nvals;
    if (24 % inv.nvals != 0)
        msg.log.list("WARNING emsdat: emissions per day do not divide 24 - the last value continues to hour 24 - ",
                     inv.nvals);
    const std::string data_name = read_identifiers_and_data_name(in, inv, msg);
    in.close();
    msg.log.list(" NOTICE emsdat: emission file header - ", inv.npol_file, inv.nvals, inv.factor, inv.dlat, inv.dlon);

    const InputState data_state = input_state(data_name);
    if (data_state == InputState::unreadable) unreadable_input_stop(data_name, "emsdat", msg.console, kStopInput);
    if (data_state == InputState::absent || !in.open(data_name))
        refuse("emsdat", {list_line("*ERROR* emsdat: gridded emissions file not found - ", data_name)}, msg);
    CellBuilder cells;
    std::vector<float> totals(static_cast<size_t>(inv.npol_file), 0.0f);
    read_data_file(in, inv, cells, totals, msg.console);
    store_cells(cells, inv);
    const int32_t nonzero = nonzero_cells(inv);
    if (nonzero == 0)
        refuse("emsdat", {" *ERROR* emsdat: lat/lon emission selection", " There are no emissions in the region"},
               msg);
    for (float& t : totals) t /= static_cast<float>(inv.nvals);
    write_totals(inv, totals, nonzero, msg.log);
}

namespace {

// Cell centres on the meteorological grid of the releases, computed once.
void place_cells(const MetGridDefinition& g, int32_t grid, EmissionInventory& inv) {
    if (inv.positions_grid == grid && inv.cell_x.size() == inv.cell_i.size()) return;
    inv.cell_x.resize(inv.cell_i.size());
    inv.cell_y.resize(inv.cell_i.size());
    for (int32_t c = 0; c < inv.cell_count(); ++c) {
        const float lat = inv.lat1 + static_cast<float>(inv.cell_j[c] - 1) * inv.dlat + 0.5f * inv.dlat;
        const float lon = inv.lon1 + static_cast<float>(inv.cell_i[c] - 1) * inv.dlon + 0.5f * inv.dlon;
        met_geo_to_grid(g, lat, lon, inv.cell_x[c], inv.cell_y[c]);
    }
    inv.positions_grid = grid;
}

// Each control pollutant's inventory pollutant (the last with its identifier).
void match_pollutants(const std::vector<Pollutant>& dirt, EmissionInventory& inv, Messages msg) {
    inv.match.assign(dirt.size(), -1);
    bool any = false;
    for (size_t c = 0; c < dirt.size(); ++c) {
        const std::string id = four_chars(dirt[c].pollutant_id);
        for (int32_t k = 0; k < inv.npol_file; ++k)
            if (inv.pollutant_ids[k] == id) inv.match[c] = k;
        any = any || inv.match[c] >= 0;
    }
    if (any) return;
    std::string file = " File content: ", control = " Control file: ";
    for (const std::string& id : inv.pollutant_ids) file += " " + id;
    for (const Pollutant& d : dirt) control += " " + four_chars(d.pollutant_id);
    msg.log.list("WARNING emsgrd: No matching pollutants found");
    msg.log.line(file);
    msg.log.line(control);
    msg.console.list("*ERROR* emsgrd: see message file for more information");
    throw RunStop(kStopInput);
}

// Releases per cell and step.
int32_t releases_per_cell(const std::vector<Pollutant>& dirt, const Settings& s, float dt_minutes,
                          const EmissionInventory& inv) {
    const int32_t mode = distribution_mode(s.INITD);
    if (is_vertical_puff(mode)) return 1;
    const float hstep = std::fabs(dt_minutes) / 60.0f;
    float longest = 0.0f;
    for (const Pollutant& d : dirt) longest = std::max({longest, std::fabs(d.emission_hours), hstep});
    const int64_t cells = int64_t{std::max(inv.nlon, 1)} * std::max(inv.nlat, 1);
    const int64_t share = int64_t{s.NUMPAR} / cells;
    const int32_t per_cell = truncate_clamped(static_cast<float>(share) / longest);
    return std::max(1, truncate_clamped(static_cast<float>(per_cell) * hstep));
}

// The mass per release of cell c in hour of day h, slot by slot.
void fill_cell_mass(const std::vector<Pollutant>& dirt, float dt_minutes, int32_t now, int32_t count, int32_t c,
                    int32_t h, EmissionInventory& inv) {
    std::fill(inv.cell_mass.begin(), inv.cell_mass.end(), 0.0f);
    const float* values = inv.cell_values(c, inv.value_index(h));
    for (size_t j = 0; j < dirt.size(); ++j) {
        const Pollutant& d = dirt[j];
        if (!release_window(d, dt_minutes, now).on()) continue;
        float m = std::fabs(d.emission_hours);
        if (inv.match[j] >= 0) m *= values[inv.match[j]];
        const float steps = std::max(std::fabs(d.emission_hours / dt_minutes) * 60.0f, 1.0f);
        float mass = m * d.emission_rate / steps * inv.fraction[j] / static_cast<float>(count);
        if (d.DOVOL) mass = mass * kVolumeConversion / d.GPMOL;
        inv.cell_mass[j] = mass;
    }
}

struct CellRelease {
    const MetGridDefinition* grid;
    int32_t grid_number;
    int32_t count;  // releases per cell
    float span;     // from the ground to the height of starting location 1, internal coordinate
    bool puffs;
};

void place_cell_release(const EmissionInventory& inv, int32_t c, const CellRelease& cr, const Settings& s,
                        int32_t r, ParticleArrays& p, int32_t q) {
    const float lat = inv.lat1 + static_cast<float>(inv.cell_j[c] - 1) * inv.dlat + 0.5f * inv.dlat;
    p.particle_sort_key[q] = q + 1;
    p.particle_x[q] = inv.cell_x[c];
    p.particle_y[q] = inv.cell_y[c];
    // A cell is spread over 1.5 sigma, not the top-hat half-width kTopHat.
    p.particle_sigma_h[q] =
        std::sqrt(inv.dlat * 1.2e10f * inv.dlon * std::cos(lat / kRadToDegInventoryCell) / kPi) / 1.5f;
    if (cr.puffs) {
        p.particle_sigma_z[q] = std::fabs(cr.span / 1.5f * 0.5f);
        p.particle_z[q] = 1.0f - 0.5f * cr.span;
    } else {
        p.particle_sigma_z[q] = 0.0f;
        p.particle_z[q] = 1.0f - static_cast<float>(r) * cr.span / static_cast<float>(cr.count);
    }
    p.particle_turb_u[q] = 0.0f;
    p.particle_turb_v[q] = 0.0f;
    p.particle_hdwp[q] = s.INITD;
    p.particle_age[q] = 0;
    p.particle_pollutant[q] = 1;
    p.particle_grid[q] = cr.grid_number;
    for (int32_t m = 0; m < p.maxdim; ++m) p.mass(m, q) = inv.cell_mass[static_cast<size_t>(m)];
}

// Whether cell c releases in value index v: some emission, and a position
// inside the grid with a margin.
bool cell_emits(const EmissionInventory& inv, int32_t c, int32_t v, const MetGridDefinition& g) {
    const float* values = inv.cell_values(c, v);
    float sum = 0.0f;
    for (int32_t k = 0; k < inv.npol_file; ++k) sum += values[k];
    if (!(sum > 0.0f)) return false;
    const float x = inv.cell_x[c], y = inv.cell_y[c];
    return x > 2.0f && x < static_cast<float>(g.nx) - 1.0f && y > 2.0f && y < static_cast<float>(g.ny) - 1.0f;
}

}  // namespace

void emsgrd(const std::vector<SourceLocation>& locations, std::vector<Pollutant>& dirt, const Settings& s,
            float dt_minutes, int32_t model_time, const MeteoFiles& met, ParticleArrays& p, EmissionInventory& inv,
            Messages msg) {
    const int32_t hour = tm2day(model_time, msg.console).hour;
    const bool any_on = release_fractions(dirt, dt_minutes, model_time, inv.fraction);
    if (any_on && !inv.grid_emitting) msg.log.list(" NOTICE emsgrd: emissions started");
    if (!any_on && inv.grid_emitting) msg.log.list(" NOTICE emsgrd: emissions terminated");
    inv.grid_emitting = any_on;
    if (!any_on) return;

    match_pollutants(dirt, inv, msg);
    const int32_t npol = static_cast<int32_t>(dirt.size());
    if (p.maxdim < npol) {
        msg.log.list("*ERROR* emsgrd: Number of pollutants in CONTROL file");
        msg.log.list(" exceeds internal array. Increase MAXDIM in SETUP.CFG");
        msg.log.list(" namelist file to at least: ", npol);
        msg.console.list("*ERROR* emsgrd: see message file for more information");
        throw RunStop(kStopInput);
    }

    const int32_t grid = locations.empty() ? 0 : locations[0].met_grid;
    if (grid >= 1 && grid <= kMaxMetGrids) {
        const MetGridDefinition& g = met.grid(grid, 1);
        place_cells(g, grid, inv);
        const int32_t mode = distribution_mode(s.INITD);
        const CellRelease cr{&g, grid, releases_per_cell(dirt, s, dt_minutes, inv), 1.0f - locations[0].release_z,
                             is_vertical_puff(mode)};
        inv.cell_mass.assign(static_cast<size_t>(std::max(p.maxdim, 0)), 0.0f);
        const int32_t v = inv.value_index(hour);
        bool warned = false;
        for (int32_t c = 0; c < inv.cell_count(); ++c) {
            if (!cell_emits(inv, c, v, g)) continue;
            fill_cell_mass(dirt, dt_minutes, model_time, cr.count, c, hour, inv);
            for (int32_t r = 1; r <= cr.count; ++r) {
                if (p.particle_count + 1 > p.maxpar) {
                    p.particle_count = p.maxpar;
                    if (!warned) msg.log.list("Warning: emsgrd - exceeding puff limit");
                    warned = true;
                    break;
                }
                const int32_t q = p.particle_count;
                p.particle_count = q + 1;
                place_cell_release(inv, c, cr, s, r, p, q);
            }
        }
    }
    apply_release_cycle(dirt, s, dt_minutes, model_time);
}

}  // namespace orv
