#include "dispersion/emission_file.hpp"

#include <cmath>
#include <span>
#include <string_view>

#include "common/number_text.hpp"
#include "common/blank_trim.hpp"
#include "common/optional_input.hpp"
#include "common/run_stop.hpp"
#include "common/clamped_int.hpp"
#include "common/messages.hpp"
#include "meteo/grid_projection.hpp"
#include "run/calendar.hpp"
#include "run/control_file.hpp"
#include "run/mass_ceiling.hpp"

namespace orv {

namespace {

constexpr std::string_view kRoutine = "emsmat";

bool is_end_of_file(const InputError& e) { return std::string_view(e.what()) == "end of file"; }

// Accumulated minutes of a date of the file, `fields` its values as read
// (the minute only where the line has one). A day, hour or minute above its
// range carries into the next unit, as the calendar takes it; below its
// range (a day below 1, an hour or minute below 0) it gives no date, and
// neither does a date outside the calendar: the run stops naming the date.
int32_t file_date(std::string_view what, std::span<const int32_t> fields, const std::string& file, int64_t line,
                  TextOut& console) {
    const bool with_minute = fields.size() > 4;
    std::string date = std::string(what) + (with_minute ? " (year month day hour minute)" : " (year month day hour)");
    for (int32_t v : fields) date += " " + std::to_string(v);
    const int32_t minute = with_minute ? fields[4] : 0;
    std::string why;
    if (fields[2] < 1) why = "has a day below 1";
    else if (fields[3] < 0) why = "has an hour below 0";
    else if (minute < 0) why = "has a minute below 0";
    int32_t minutes = 0;
    if (why.empty()) why = date_minutes_refusal(fields[0], fields[1], fields[2], fields[3], minute, minutes);
    if (!why.empty()) input_stop(kRoutine, file, line, date + " " + why, console);
    return minutes;
}

// The group's start and size, as its header is read.
void check_group_header(EmissionFileGroup& g, const std::string& file, TextOut& console) {
    const int32_t date[] = {g.year, g.month, g.day, g.hour};
    g.start_minutes = file_date("group start", date, file, g.line_number, console);
    if (g.group_hours < 1)
        input_stop(kRoutine, file, g.line_number,
                   "group length " + std::to_string(g.group_hours) + " hours is below 1", console);
    if (g.group_records < 0)
        input_stop(kRoutine, file, g.line_number,
                   "number of data lines " + std::to_string(g.group_records) + " is negative", console);
}

// Minutes of a duration written as HHMM (hours x 100 + minutes).
int64_t duration_minutes(int32_t hhmm) { return int64_t{hhmm / 100} * 60 + hhmm % 100; }

// Every value of a data line, as it is read: one that no release can take
// stops the run naming the file and line.
void check_data_line(EmissionFileLine& l, const EmissionFileState& st, TextOut& console) {
    const int32_t date[] = {l.year, l.month, l.day, l.hour, l.minute};
    l.start_minutes = file_date("release start", date, st.name, l.line_number, console);
    auto refuse = [&](const std::string& what) { input_stop(kRoutine, st.name, l.line_number, what, console); };
    if (l.duration_hhmm < 0) refuse("duration (HHMM) " + std::to_string(l.duration_hhmm) + " is negative");
    if (above_model_top(l.height, st.entered_model_top))
        refuse("release height " + number_text(l.height) + " m is above the model top (" +
               number_text(std::fabs(st.entered_model_top)) + " m)");
    const std::string why = emission_rate_refusal(l.rate, st.ICHEM);
    if (!why.empty()) refuse("emission rate " + number_text(l.rate) + " " + why);
    const float hours = static_cast<float>(static_cast<double>(duration_minutes(l.duration_hhmm)) / 60.0);
    const std::string mass_why = released_mass_refusal(l.rate, hours);
    if (!mass_why.empty()) refuse("emission rate " + number_text(l.rate) + " " + mass_why);
    const std::string area_why = source_area_refusal(l.area);
    if (!area_why.empty()) refuse("source area " + number_text(l.area) + " m2 " + area_why);
}

// Reads the next group, checking its values as they are read. Returns false
// at the end of the file.
bool read_group(EmissionFileState& st, int32_t numtyp, EmissionFileGroup& g, TextOut& console) {
    TextInput& in = st.file;
    g = EmissionFileGroup{};
    try {
        list_read(in, g.year, g.month, g.day, g.hour, g.group_hours, g.group_records);
    } catch (const InputError& e) {
        if (is_end_of_file(e)) return false;
        input_stop(kRoutine, in.name(), in.line_number(),
                   std::string("group header cannot be read (") + e.what() + ")", console);
    }
    g.line_number = in.line_number();
    check_group_header(g, st.name, console);
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
        check_data_line(l, st, console);
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
                  SourcePollutantRecord& r) {
    const int64_t duration = duration_minutes(l.duration_hhmm);
    const int32_t t = l.start_minutes;
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
                continue;
            }
            if (write_record(l, met, kt, backward, m.at(res.slot, j)))
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
    if (!read_group(st, numtyp, g, console)) {
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
            } else if (read_group(st, numtyp, forward_group, msg.console)) {
                g = &forward_group;
            }
            if (!g) {
                if (backward) break;
                msg.log.list("WARNING emsmat: emissions termination");
                efile = " ";
                st.efile_active = false;
                return;
            }
            st.group_hours = g->group_hours;
            st.next_group_due = clamp_to_int32(int64_t{g->start_minutes} + int64_t{g->group_hours} * 60);
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
