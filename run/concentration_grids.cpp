#include "run/concentration_grids.hpp"

#include <cmath>

#include "common/math_constants.hpp"
#include "common/run_stop.hpp"
#include "run/calendar.hpp"

namespace orv {

namespace {

const fmt::Format kHeights("(20I6)");

constexpr float kKmPerDegree = 111.198326f;

// Nearest whole number of a user value, which must be representable.
int32_t nearest(float v, const char* what, int32_t grid, TextOut& console) {
    if (!std::isfinite(v) || std::fabs(v) > 2.0e9f) {
        console.list("*ERROR* conset: ", what, " out of range on grid #", grid);
        throw RunStop(kStopInput);
    }
    return static_cast<int32_t>(std::lround(v));
}

void set_defaults(ConcentrationGrid& c, const RunStartDate& start) {
    c = ConcentrationGrid{};
    c.start = {start.year, start.month, start.day, start.hour, 0, 0};
    // One year after (before, backward) the start; the positive remainder
    // keeps a backward run from the year 2000 on 1999.
    int32_t y = ((start.backward ? start.year - 1 : start.year + 1) % 100 + 100) % 100;
    c.stop = {y, start.month, start.day, start.hour, 0, 0};
}

bool same_layout(const ConcentrationGrid& a, const ConcentrationGrid& b) {
    if (a.lat_points != b.lat_points || a.lon_points != b.lon_points || a.lat_spacing != b.lat_spacing ||
        a.lon_spacing != b.lon_spacing || a.lower_left_lat != b.lower_left_lat ||
        a.lower_left_lon != b.lower_left_lon || a.level_count != b.level_count)
        return false;
    for (int32_t k = 0; k < a.level_count; ++k)
        if (a.heights[k] != b.heights[k]) return false;
    return true;
}

// The average and snapshot grids of the same layout as grid g (from 0): how
// many there are, and the last of them (from 1).
struct Twins {
    int32_t count = 0;
    int32_t last = 0;
};
Twins twins_of(const std::vector<ConcentrationGrid>& grids, size_t g) {
    Twins t;
    for (size_t o = 0; o < grids.size(); ++o) {
        if (o == g || (grids[o].sampling_type != 0 && grids[o].sampling_type != 1)) continue;
        if (!same_layout(grids[g], grids[o])) continue;
        ++t.count;
        t.last = static_cast<int32_t>(o + 1);
    }
    return t;
}

// Every maximum grid needs exactly one average or snapshot grid of the same
// layout to take its values from.
void check_maximum_grids(const std::vector<ConcentrationGrid>& grids, TextOut& console) {
    for (size_t g = 0; g < grids.size(); ++g) {
        if (grids[g].sampling_type != 2) continue;
        const int32_t matches = twins_of(grids, g).count;
        if (matches != 1) {
            console.list("*ERROR* conset: maximum concentration grid defined for #", static_cast<int32_t>(g + 1));
            console.list(matches == 0 ? "Requires definition of an identical snapshot or average grid!"
                                      : "Requires one snapshot or average grid ... not multiple!");
            throw RunStop(kStopInput);
        }
    }
}

// A sampling start or stop given relative to the run start (month 0): the
// day and hour read, added to the run start's in 64 bits.
struct RelativeShift {
    bool relative = false;
    int64_t day = 0;
    int64_t hour = 0;
    int32_t day_read = 0;
    int32_t hour_read = 0;
};

RelativeShift relative_shift(const std::array<int32_t, 5>& v, bool backward, int32_t day, int32_t hour) {
    RelativeShift r;
    r.relative = true;
    r.day_read = v[2];
    r.hour_read = v[3];
    const int64_t d = backward ? -std::abs(int64_t{v[2]}) : v[2];
    const int64_t h = backward ? -std::abs(int64_t{v[3]}) : v[3];
    r.day = int64_t{day} + d;
    r.hour = int64_t{hour} + h;
    return r;
}

std::string shift_text(const RelativeShift& r) {
    return "day " + std::to_string(r.day_read) + " hour " + std::to_string(r.hour_read);
}

// The accumulated minutes of a sampling start or stop; a relative one whose
// sum lies outside the calendar stops the run naming the values read.
int32_t sampling_minutes(const std::array<int32_t, 6>& date, const RelativeShift& r, const char* which,
                         const std::string& shown, int32_t grid, TextOut& console) {
    if (!r.relative) return tm2min(date[0], date[1], date[2], date[3], date[4], console);
    int32_t minutes = 0;
    if (!shifted_date_minutes(date[0], date[1], r.day, r.hour, date[4], minutes, console)) {
        console.list("*ERROR* conset: relative sampling ", which, " beyond the calendar on grid #", grid);
        console.list(" Relative ", which, " read - ", shown);
        throw RunStop(kStopInput);
    }
    return minutes;
}


// The centre of the grid being read, which a keyboard grid passes on to the
// next one.
struct GridCentre {
    float lat = 0.0f;
    float lon = 0.0f;
};

// Latitude and longitude span of a grid, degrees.
struct GridSpan {
    float lat = 0.0f;
    float lon = 0.0f;
};

// A sampling start and stop given relative to the run start.
struct SamplingShifts {
    RelativeShift start;
    RelativeShift stop;
};

// Grid gi starts from fresh defaults, centred on the first starting location;
// in keyboard mode a later grid starts from the previous grid and its centre.
void start_from_defaults(const ControlInput& ctl, std::vector<ConcentrationGrid>& grids, size_t gi,
                         const RunStartDate& start, const SourceLocation& first, GridCentre& centre) {
    ConcentrationGrid& c = grids[gi];
    if (ctl.keyboard() && gi > 0) {
        c = grids[gi - 1];  // the previous grid (and its centre) are the defaults
    } else {
        set_defaults(c, start);
        centre = {first.lat, first.lon};
    }
}

// Record 1: the centre; in file mode 0, 0 is the first starting location.
void read_centre(ControlInput& ctl, const SourceLocation& first, GridCentre& centre) {
    float& clat = centre.lat;
    float& clon = centre.lon;
    prompt(ctl, "Center Latitude, Longitude", clat, clon);
    ctl.list("conset", "a grid centre", clat, clon);
    ctl.echo({{clat, layout::F10_3}, {clon, layout::F10_3}});
    if (!ctl.keyboard() && clat == 0.0f && clon == 0.0f) {
        clat = first.lat;
        clon = first.lon;
    }
}

// Record 2: the latitude and longitude spacing, degrees.
void read_spacing(ControlInput& ctl, ConcentrationGrid& c, int32_t g) {
    prompt(ctl, "Grid spacing (deg) Latitude, Longitude", c.lat_spacing, c.lon_spacing);
    ctl.list("conset", "a grid spacing", c.lat_spacing, c.lon_spacing);
    ctl.echo({{c.lat_spacing, layout::F10_3}, {c.lon_spacing, layout::F10_3}});
    if (!(c.lat_spacing > 0.0f) || !(c.lon_spacing > 0.0f)) {
        ctl.console().list("*ERROR* conset: grid spacing must be above zero on grid #", g);
        throw RunStop(kStopInput);
    }
}

// Record 3: the span; 0 in a direction means the whole globe in it.
GridSpan read_span(ControlInput& ctl, const ConcentrationGrid& c) {
    float span_lat = 181.0f * c.lat_spacing, span_lon = 360.0f * c.lon_spacing;
    prompt(ctl, "Grid span (deg) Latitude, Longitide", span_lat, span_lon);
    ctl.list("conset", "a grid span", span_lat, span_lon);
    ctl.echo({{span_lat, layout::F10_3}, {span_lon, layout::F10_3}});
    if (span_lat == 0.0f) span_lat = 181.0f * c.lat_spacing;
    if (span_lon == 0.0f) span_lon = 360.0f * c.lon_spacing;
    return {span_lat, span_lon};
}

// The grid's spacing in km (which lowers the time-step spacing), corner and
// point counts from its centre and span. A global span moves the centre.
void set_geometry(ConcentrationGrid& c, GridCentre& centre, GridSpan span, int32_t cpack, float& time_step_spacing,
                  int32_t g, TextOut& console) {
    float& clat = centre.lat;
    float& clon = centre.lon;
    float span_lat = span.lat, span_lon = span.lon;
    c.grid_spacing_km = std::min(std::cos(clat / kRadToDegGridSpacing) * kKmPerDegree * c.lon_spacing,
                                 kKmPerDegree * c.lat_spacing);
    time_step_spacing = std::min(time_step_spacing, c.grid_spacing_km);
    c.lower_left_lat = std::max(clat - 0.5f * span_lat, -90.0f);
    c.lower_left_lon = clon - 0.5f * span_lon;
    if (span_lon >= 360.0f) {
        // A global grid: -180 up to one spacing short of +180, so that
        // no meridian is held twice.
        span_lon = 360.0f - c.lon_spacing;
        c.lower_left_lon = -180.0f;
        clon = 0.0f;
    }
    if (span_lat >= 180.0f) {
        c.lower_left_lat = -90.0f;
        clat = 0.0f;
        span_lat = 181.0f;
    }
    c.lat_points = nearest(span_lat / c.lat_spacing, "number of latitude points", g, console) + 1;
    c.lon_points = nearest(span_lon / c.lon_spacing, "number of longitude points", g, console) + 1;
    if (c.lat_points < 1 || c.lon_points < 1) {
        console.list("*ERROR* conset: grid span gives no grid points on grid #", g);
        throw RunStop(kStopInput);
    }
    if (c.lower_left_lon < -180.0f) c.lower_left_lon += 360.0f;
    if (cpack == 2) {
        c.lower_left_lat = clat;
        c.lower_left_lon = clon;
        c.lat_points = 1;
        c.lon_points = 1;
    }
}

// Records 4 and 5: the output directory and file, each a whole line.
void read_output_names(ControlInput& ctl, ConcentrationGrid& c, int32_t g) {
    prompt_grid(ctl, g, " directory (|...|)", c.directory);
    c.directory = ctl.whole_line("conset", "a concentration directory");
    ctl.echo_text(c.directory);
    prompt_grid(ctl, g, " file name (\?\?\?\?\?)", c.file_name);
    c.file_name = ctl.whole_line("conset", "a concentration file name");
    ctl.echo_text(c.file_name);
}

// Grid gi must not write to the file of an earlier grid.
void check_distinct_names(const std::vector<ConcentrationGrid>& grids, size_t gi, TextOut& console) {
    const ConcentrationGrid& c = grids[gi];
    const int32_t g = static_cast<int32_t>(gi + 1);
    for (size_t o = 0; o < gi; ++o) {
        if (grids[o].directory == c.directory && grids[o].file_name == c.file_name) {
            console.list("*ERROR* conset: Concentration dir/file names identical");
            console.list(g, " ", c.directory, " ", c.file_name);
            console.list(static_cast<int32_t>(o + 1), " ", grids[o].directory, " ", grids[o].file_name);
            throw RunStop(kStopInput);
        }
    }
}

// Record 6: the number of levels, 1 to 99.
void read_level_count(ControlInput& ctl, ConcentrationGrid& c, int32_t g) {
    TextOut& console = ctl.console();
    prompt(ctl, "Number of vertical concentration levels", c.level_count);
    ctl.list("conset", "the number of levels", c.level_count);
    ctl.echo({{c.level_count, layout::I2z}});
    if (c.level_count > kMaxConcentrationLevels) {
        console.list("*ERROR* conset: Number of levels exceed limit");
        throw RunStop(kStopInput);
    }
    if (c.level_count < 1) {
        console.list("*ERROR* conset: Number of levels below one on grid #", g);
        throw RunStop(kStopInput);
    }
}

// The heights read, cut to whole metres: 0 only at level 1, none above the
// model top.
void store_level_heights(const std::vector<float>& heights, ConcentrationGrid& c, float model_top, int32_t g,
                         TextOut& console) {
    for (int32_t k = 0; k < c.level_count; ++k) {
        float h = std::trunc(heights[k]);
        if (!std::isfinite(h) || std::fabs(h) > 2.0e9f) {
            console.list("*ERROR* conset: level height out of range on grid #", g);
            throw RunStop(kStopInput);
        }
        c.heights[k] = static_cast<int32_t>(h);
        if (c.heights[k] == 0 && k > 0) {
            console.list("*ERROR* conset: height=0 should be level=1");
            throw RunStop(kStopInput);
        }
        if (static_cast<float>(c.heights[k]) > std::trunc(model_top)) {
            console.list("*ERROR* conset: level above model top");
            throw RunStop(kStopInput);
        }
    }
}

// Record 7: the height of every level, m above ground.
void read_level_heights(ControlInput& ctl, ConcentrationGrid& c, float model_top, int32_t g) {
    TextOut& console = ctl.console();
    std::vector<float> heights(static_cast<size_t>(c.level_count));
    for (int32_t k = 0; k < c.level_count; ++k) heights[k] = static_cast<float>(c.heights[k]);
    if (ctl.keyboard()) {
        console.list("Height of each level m AGL");
        std::string shown;
        fmt::write_array(shown, kHeights, std::span<const int32_t>(c.heights.data(), c.heights.size()).first(
                                              static_cast<size_t>(c.level_count)));
        console.raw(shown);
    }
    {
        std::vector<fmt::Target> targets;
        for (float& h : heights) targets.emplace_back(h);
        ctl.list_targets("conset", "the level heights", targets);
    }
    store_level_heights(heights, c, model_top, g, console);
    if (ctl.keyboard()) {
        std::string out;
        fmt::write_array(out, kHeights,
                         std::span<const int32_t>(c.heights.data(), static_cast<size_t>(c.level_count)));
        out.pop_back();
        ctl.echo_text(out);
    }
}

// Records 8 and 9 in keyboard mode: the five values typed are the start and
// the stop.
void read_typed_sampling_times(ControlInput& ctl, ConcentrationGrid& c) {
    std::array<int32_t, 5> v = {c.start[0], c.start[1], c.start[2], c.start[3], c.start[4]};
    prompt(ctl, "Sampling start time: year month day hour minute", v[0], v[1], v[2], v[3], v[4]);
    ctl.list("conset", "the sampling start", v[0], v[1], v[2], v[3], v[4]);
    ctl.echo({{v[0], layout::I3}, {v[1], layout::I3}, {v[2], layout::I3}, {v[3], layout::I3}, {v[4], layout::I3}});
    c.start = {v[0], v[1], v[2], v[3], v[4], 0};
    prompt(ctl, "Sampling stop time: year month day hour minute", c.stop[0], c.stop[1], c.stop[2], c.stop[3],
           c.stop[4]);
    std::array<int32_t, 5> w = {c.stop[0], c.stop[1], c.stop[2], c.stop[3], c.stop[4]};
    ctl.list("conset", "the sampling stop", w[0], w[1], w[2], w[3], w[4]);
    ctl.echo({{w[0], layout::I3}, {w[1], layout::I3}, {w[2], layout::I3}, {w[3], layout::I3}, {w[4], layout::I3}});
    c.stop = {w[0], w[1], w[2], w[3], w[4], 0};
}

// Records 8 and 9 in file mode: a line with month 0 counts from the run
// start, and a start line must then give all its values; a stop line of
// zeros keeps the default stop. The stop line is read over the start line's
// values.
SamplingShifts read_sampling_lines(ControlInput& ctl, ConcentrationGrid& c, const RunStartDate& start, int32_t g) {
    SamplingShifts shifts;
    std::array<int32_t, 5> v = {c.start[0], c.start[1], c.start[2], c.start[3], c.start[4]};
    const size_t given = ctl.fields("conset", "the sampling start", v[0], v[1], v[2], v[3], v[4]);
    if (v[1] == 0) {
        if (given < kDateValues)
            ctl.refuse("conset", relative_start_refusal("sampling start of grid #" + std::to_string(g), given));
        shifts.start = relative_shift(v, start.backward, start.day, start.hour);
    } else {
        c.start = {v[0], v[1], v[2], v[3], v[4], 0};
    }
    ctl.fields("conset", "the sampling stop", v[0], v[1], v[2], v[3], v[4]);
    if (int64_t{v[0]} + v[1] + v[2] + v[3] + v[4] != 0) {
        if (v[1] == 0) {
            c.stop[0] = start.year;
            shifts.stop = relative_shift(v, start.backward, start.day, start.hour);
        } else {
            c.stop = {v[0], v[1], v[2], v[3], v[4], 0};
        }
    }
    return shifts;
}

// The sampling start and stop in accumulated minutes, and their dates
// normalised through them.
void normalise_sampling_times(ConcentrationGrid& c, const SamplingShifts& shifts, int32_t g, TextOut& console) {
    c.start_minute = sampling_minutes(c.start, shifts.start, "start", shift_text(shifts.start), g, console);
    CalendarDate s = tm2day(c.start_minute, console);
    c.start = {s.year, s.month, s.day, s.hour, s.minute, 0};
    c.stop_minute = sampling_minutes(c.stop, shifts.stop, "stop", shift_text(shifts.stop), g, console);
    CalendarDate e = tm2day(c.stop_minute, console);
    c.stop = {e.year, e.month, e.day, e.hour, e.minute, 0};
}

// Record 10: the sampling type and interval; the sampling period starts at
// the sampling start.
void read_interval(ControlInput& ctl, ConcentrationGrid& c, int32_t g) {
    TextOut& console = ctl.console();
    prompt(ctl, "Sampling interval: type hour minute", c.sampling_type, c.interval_hours, c.interval_minutes);
    ctl.list("conset", "the sampling interval", c.sampling_type, c.interval_hours, c.interval_minutes);
    ctl.echo({{c.sampling_type, layout::I3}, {c.interval_hours, layout::I3}, {c.interval_minutes, layout::I3}});
    c.cleared = {0, 0, 0};
    if (c.interval_hours >= 1 && c.interval_minutes != 0) {
        console.list("WARNING conset: averaging >1 hr requires zero minutes field");
        console.list("Resetting averaging minutes to zero on grid #", g);
        c.interval_minutes = 0;
    }
    int64_t interval = int64_t{c.interval_hours} * 60 + c.interval_minutes;
    if (interval < 1 || interval > INT32_MAX) {
        console.list("*ERROR* conset: sampling interval must be 1 minute or more on grid #", g);
        throw RunStop(kStopInput);
    }
    c.interval = static_cast<int32_t>(interval);
    c.period_start = c.start;
    c.period_start_minute = c.start_minute;
    if (c.sampling_type < 0) {
        if (c.sampling_type < INT32_MIN / 60) {
            console.list("*ERROR* conset: sampling type out of range on grid #", g);
            throw RunStop(kStopInput);
        }
        c.sampling_type *= 60;
    }
}

// Only starting location 1 is looked for on the grid; off it, a warning.
void check_source_point(const ConcentrationGrid& c, const SourceLocation& first, int32_t g, TextOut& console) {
    float lon1 = first.lon;
    if (lon1 < 0.0f && c.lower_left_lon > 0.0f) lon1 += 360.0f;
    float fx = (lon1 - c.lower_left_lon) / c.lon_spacing + 1.0f;
    float fy = (first.lat - c.lower_left_lat) / c.lat_spacing + 1.0f;
    bool on = std::isfinite(fx) && std::isfinite(fy) && std::fabs(fx) < 2.0e9f && std::fabs(fy) < 2.0e9f;
    if (on) {
        long ix = std::lround(fx), iy = std::lround(fy);
        on = ix >= 1 && ix <= c.lon_points && iy >= 1 && iy <= c.lat_points;
    }
    if (!on) console.list("WARNING conset: source point not on concentration grid #", g);
}
}  // namespace

int32_t read_concentration_grid_count(ControlInput& ctl) {
    int32_t n = 1;
    prompt(ctl, "Number of simultaneous concentration grids", n);
    ctl.list("main", "the number of concentration grids", n);
    ctl.echo_list(n);
    if (n > kMaxConcentrationGrids) {
        TextOut& console = ctl.console();
        console.list("*ERROR* conini: exceeding max numb of conc grids");
        console.list("Compiled maximum: ", kMaxConcentrationGrids);
        ctl.refuse("main", "number of concentration grids " + std::to_string(n) + " above the limit of " +
                               std::to_string(kMaxConcentrationGrids));
    }
    return n;
}

void conset(ControlInput& ctl, std::vector<ConcentrationGrid>& grids, const RunStartDate& start,
            const SourceLocation& first_location, float model_top, int32_t cpack, float& time_step_spacing) {
    TextOut& console = ctl.console();
    GridCentre centre{first_location.lat, first_location.lon};
    for (size_t gi = 0; gi < grids.size(); ++gi) {
        ConcentrationGrid& c = grids[gi];
        const int32_t g = static_cast<int32_t>(gi + 1);
        start_from_defaults(ctl, grids, gi, start, first_location, centre);
        if (ctl.keyboard()) console.list("Enter the follow for grid #:", g);

        // The extent of the grid.
        read_centre(ctl, first_location, centre);
        c.centre_lat = centre.lat;
        read_spacing(ctl, c, g);
        const GridSpan span = read_span(ctl, c);
        set_geometry(c, centre, span, cpack, time_step_spacing, g, console);

        // Output directory and file.
        read_output_names(ctl, c, g);
        if (cpack != 2) check_distinct_names(grids, gi, console);

        // Levels.
        read_level_count(ctl, c, g);
        read_level_heights(ctl, c, model_top, g);

        // Sampling start and stop.
        SamplingShifts shifts;
        if (ctl.keyboard())
            read_typed_sampling_times(ctl, c);
        else
            shifts = read_sampling_lines(ctl, c, start, g);
        normalise_sampling_times(c, shifts, g, console);

        read_interval(ctl, c, g);
        check_source_point(c, first_location, g, console);
    }
    check_maximum_grids(grids, console);
}

int32_t maximum_grid_twin(const std::vector<ConcentrationGrid>& grids, int32_t g) {
    if (g < 1 || static_cast<size_t>(g) > grids.size() || grids[static_cast<size_t>(g - 1)].sampling_type != 2) return 0;
    const Twins t = twins_of(grids, static_cast<size_t>(g - 1));
    return t.count == 1 ? t.last : 0;
}

}  // namespace orv
