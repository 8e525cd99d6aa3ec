#include "dispersion/emission_file.hpp"

#include <string_view>

#include "common/number_text.hpp"
#include "common/blank_trim.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/clamped_int.hpp"
#include "common/messages.hpp"
#include "meteo/grid_projection.hpp"
#include "run/calendar.hpp"
#include "run/mass_ceiling.hpp"

namespace orv {

namespace {

constexpr std::string_view kRoutine = "emsmat";

bool is_end_of_file(const InputError& e) { return std::string_view(e.what()) == "end of file"; }

// Accumulated minutes of a date read from the file; a date the calendar
// refuses stops the run, naming the file and line as well.
int32_t file_minutes(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                     const std::string& file, int64_t line, TextOut& console) {
    try {
        return tm2min(year, month, day, hour, minute, console);
    } catch (const RunStop&) {
        input_stop(kRoutine, file, line, "date outside the calendar", console);
    }
}

// Reads the next group. Returns false at the end of the file.
bool read_group(TextInput& in, int32_t numtyp, EmissionFileGroup& g, TextOut& console) {
    g = EmissionFileGroup{};
    try {
        list_read(in, g.year, g.month, g.day, g.hour, g.group_hours, g.group_records);
    } catch (const InputError& e) {
        if (is_end_of_file(e)) return false;
        input_stop(kRoutine, in.name(), in.line_number(),
                   std::string("group header cannot be read (") + e.what() + ")", console);
    }
    g.line_number = in.line_number();
    const int64_t lines = numtyp >= 1 ? int64_t{g.group_records / numtyp} * numtyp : 0;
    for (int64_t r = 0; r < lines; ++r) {
        EmissionFileLine l;
        try {
            list_read(in, l.year, l.month, l.day, l.hour, l.minute, l.duration_hhmm, l.lat, l.lon, l.height, l.rate,
                      l.area, l.heat);
        } catch (const InputError& e) {
            g.complete = false;
            g.premature_end = is_end_of_file(e);
            g.error = e.what();
            g.error_line = in.line_number();
            break;
        }
        l.line_number = in.line_number();
        g.lines.push_back(l);
    }
    return true;
}

// The first meteorological grid (at time index kt) that holds the position
// with a margin of one cell; 0 when none does.
int32_t place_on_grid(const MeteoFiles& met, int32_t kt, float lat, float lon, float& x, float& y) {
    if (kt < 1 || kt > kMaxMetTimes) return 0;
    const int32_t grids = std::min(met.num_grids, kMaxMetGrids);
    for (int32_t g = 1; g <= grids; ++g) {
        const MetGridDefinition& def = met.grid(g, kt);
        met_geo_to_grid(def, lat, lon, x, y);
        const float nx = static_cast<float>(def.nx), ny = static_cast<float>(def.ny);
        if (x >= 2.0f && x <= nx - 1.0f && y >= 2.0f && y <= ny - 1.0f) return g;
    }
    return 0;
}

[[noreturn]] void premature_end(const EmissionFileGroup& g, int64_t accepted, const std::string& file,
                                Messages msg) {
    msg.log.list("*ERROR* emsmat: emissions file premature data termination");
    msg.log.list("Required number of data records per group: ", g.group_records);
    msg.log.list("Data records processed in this time group: ", accepted);
    if (g.premature_end)
        input_stop(kRoutine, file, g.error_line, "emissions file premature data termination", msg.console);
    input_stop(kRoutine, file, g.error_line, "data line cannot be read (" + g.error + ")", msg.console);
}

// What applying a group's lines to the table gives.
struct GroupResult {
    int64_t accepted = 0;  // records placed on a grid in an existing slot
    int32_t slot = 1;      // the slot the next location would fill
};

// Writes line l of the group into record (slot, j).
bool write_record(const EmissionFileLine& l, const MeteoFiles& met, int32_t kt, bool backward,
                  const std::string& file, SourcePollutantRecord& r, TextOut& console) {
    const int64_t duration = int64_t{l.duration_hhmm / 100} * 60 + l.duration_hhmm % 100;
    const int32_t t = file_minutes(l.year, l.month, l.day, l.hour, l.minute, file, l.line_number, console);
    if (backward) {
        r.stop_minute = t;
        r.start_minute = clamp_to_int32(t + duration);
    } else {
        r.start_minute = t;
        r.stop_minute = clamp_to_int32(t + duration);
    }
    r.release_height = l.height;
    r.emission_rate = l.rate;
    r.source_area = l.area;
    r.heat_release = l.heat;
    r.met_grid = place_on_grid(met, kt, l.lat, l.lon, r.grid_x, r.grid_y);
    return r.met_grid != 0;
}

GroupResult apply_lines(const EmissionFileGroup& g, SourcePollutantMatrix& m, const MeteoFiles& met, int32_t kt,
                        int32_t numtyp, bool backward, const std::string& file, Messages msg) {
    GroupResult res;
    bool extra_warned = false;
    size_t next = 0;
    const int64_t locations = g.group_records / numtyp;
    for (int64_t loc = 0; loc < locations; ++loc) {
        bool off = false;
        for (int32_t j = 1; j <= numtyp; ++j) {
            if (next >= g.lines.size()) premature_end(g, res.accepted, file, msg);
            const EmissionFileLine& l = g.lines[next++];
            if (res.slot > m.slots || j > m.pollutants) {
                // More locations than the control file has: read and dropped.
                if (!extra_warned)
                    msg.log.list("WARNING emsmat: emission file has more locations than CONTROL - extra locations "
                                 "ignored");
                extra_warned = true;
                file_minutes(l.year, l.month, l.day, l.hour, l.minute, file, l.line_number, msg.console);
                continue;
            }
            if (write_record(l, met, kt, backward, file, m.at(res.slot, j), msg.console))
                ++res.accepted;
            else
                off = true;
        }
        if (!off && res.slot <= m.slots) ++res.slot;
    }
    return res;
}

void check_group(const EmissionFileGroup& g, const GroupResult& res, int32_t nsrc, int32_t numtyp,
                 const std::string& file, Messages msg) {
    if (numtyp == 1) {
        if (nsrc > res.accepted) {
            msg.log.list("WARNING emsmat: emission file has fewer locations than CONTROL");
            msg.log.list("Emission file: ", res.accepted + 1, "   CONTROL file: ", nsrc);
        }
        return;
    }
    if (res.accepted != int64_t{nsrc} * numtyp) {
        msg.log.list("*ERROR* emsmat: emission file mismatch with CONTROL");
        msg.log.list("Emission file data records per group: ", g.group_records);
        msg.log.list("Actual number of data records  input: ", res.accepted);
        msg.log.list("CONTROL file  locations * pollutants: ", nsrc, " * ", numtyp);
        input_stop(kRoutine, file, g.line_number, "emission file mismatch with CONTROL", msg.console);
    }
}

// Every rate of the group's lines, before any is used: one the run cannot
// take stops it, naming the file and line.
void check_group_rates(const EmissionFileGroup& g, const EmissionFileState& st, TextOut& console) {
    for (const EmissionFileLine& l : g.lines) {
        const std::string why = emission_rate_refusal(l.rate, st.ICHEM);
        if (why.empty()) continue;
        input_stop(kRoutine, st.name, l.line_number, "emission rate " + number_text(l.rate) + " " + why, console);
    }
}

void apply_group(const EmissionFileGroup& g, SourcePollutantMatrix& m, const MeteoFiles& met, int32_t kt,
                 int32_t nsrc, int32_t numtyp, bool backward, const std::string& file, Messages msg) {
    const GroupResult res = apply_lines(g, m, met, kt, numtyp, backward, file, msg);
    if (!g.complete) premature_end(g, res.accepted, file, msg);
    check_group(g, res, nsrc, numtyp, file, msg);
    if (g.lines.empty()) {
        msg.log.list(" NOTICE emsmat: emissions updated - ", g.year, g.month, g.day, g.hour);
    } else {
        const EmissionFileLine& l = g.lines.back();
        msg.log.list(" NOTICE emsmat: emissions updated - ", l.year, l.month, l.day, l.hour);
    }
}

// Opens the file at the first call. Returns false when it is missing.
bool open_emission_file(std::string& efile, EmissionFileState& st, Messages msg) {
    st.name = trim_trailing_blanks(efile);
    st.efile_active = optional_input_present(st.name, kRoutine, msg.console);
    if (!st.efile_active) {
        msg.log.list("WARNING emsmat: emission file specified but not found!");
        msg.log.list("     File name: ", st.name);
        efile = " ";
        return false;
    }
    if (!st.file.open(st.name)) {
        msg.console.list("*ERROR* emsmat: unable to open emission file - ", st.name);
        throw RunStop(kStopInput);
    }
    std::string_view skipped;
    st.file.next_line(skipped);
    st.file.next_line(skipped);
    msg.log.list(" NOTICE emsmat: opened emission file - ", st.name);
    st.next_group_due = 0;
    st.groups.clear();
    st.next_group = 0;
    st.file_ended = false;
    return true;
}

// The next group in a backward run: a kept one, else one read on.
const EmissionFileGroup* next_backward_group(EmissionFileState& st, int32_t numtyp, TextOut& console) {
    if (st.next_group < st.groups.size()) return &st.groups[st.next_group++];
    if (st.file_ended) return nullptr;
    EmissionFileGroup g;
    if (!read_group(st.file, numtyp, g, console)) {
        st.file_ended = true;
        return nullptr;
    }
    st.groups.push_back(std::move(g));
    ++st.next_group;
    return &st.groups.back();
}

}  // namespace

void allocate_source_pollutant_matrix(SourcePollutantMatrix& m, int32_t nsrc, int32_t numtyp) {
    m.slots = std::max(nsrc, 0);
    m.pollutants = std::max(numtyp, 0);
    m.records.assign(static_cast<size_t>(m.slots) * static_cast<size_t>(m.pollutants), SourcePollutantRecord{});
}

void emsmat(SourcePollutantMatrix& m, const MeteoFiles& met, int32_t model_time, int32_t kt, int32_t nsrc,
            int32_t numtyp, std::string& efile, EmissionFileState& st, bool backward, Messages msg) {
    if (trim_trailing_blanks(efile).empty()) return;
    if (!st.efile_active && !open_emission_file(efile, st, msg)) return;
    if (numtyp < 1) return;

    if (model_time >= st.next_group_due) {
        EmissionFileGroup forward_group;
        do {
            const EmissionFileGroup* g = nullptr;
            if (backward) {
                g = next_backward_group(st, numtyp, msg.console);
            } else if (read_group(st.file, numtyp, forward_group, msg.console)) {
                g = &forward_group;
            }
            if (!g) {
                if (backward) break;
                msg.log.list("WARNING emsmat: emissions termination");
                efile = " ";
                st.efile_active = false;
                return;
            }
            const int32_t start = file_minutes(g->year, g->month, g->day, g->hour, 0, st.name, g->line_number,
                                               msg.console);
            st.group_hours = g->group_hours;
            st.next_group_due = clamp_to_int32(int64_t{start} + int64_t{g->group_hours} * 60);
            check_group_rates(*g, st, msg.console);
            apply_group(*g, m, met, kt, nsrc, numtyp, backward, st.name, msg);
        } while (st.next_group_due <= model_time);
    }
    if (backward) {
        // Every hour starts again from the first group.
        st.next_group = 0;
        st.next_group_due = 0;
    }
}

}  // namespace orv
