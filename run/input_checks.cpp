#include "run/input_checks.hpp"

#include <cstdio>
#include <string>

#include "common/blank_trim.hpp"
#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "run/calendar.hpp"

namespace orv {

namespace {

std::string number_text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", v);
    return buf;
}

std::string date_text(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute) {
    return std::to_string(year) + " " + std::to_string(month) + " " + std::to_string(day) + " " +
           std::to_string(hour) + " " + std::to_string(minute);
}

// The values refused in one block: every one is named, then the run stops.
class Refusals {
public:
    Refusals(std::string_view file, TextOut& console) : file_(file), console_(console) {}
    void add(std::string_view routine, const std::string& what) {
        console_.list("*ERROR* " + std::string(routine) + ": " + what + " - " + std::string(file_));
        any_ = true;
    }
    void stop_if_any() const {
        if (any_) throw RunStop(kStopInput);
    }

private:
    std::string_view file_;
    TextOut& console_;
    bool any_ = false;
};

std::string pollutant_text(const Pollutant& d, size_t p) {
    return "of pollutant " + std::to_string(p + 1) + " (" + trim_trailing_blanks(d.pollutant_id) + ")";
}

}  // namespace

void check_source_locations(std::string_view file, const std::vector<SourceLocation>& locations, int32_t KMSL,
                            TextOut& console) {
    Refusals r(file, console);
    if (KMSL == 0) {
        for (size_t k = 0; k < locations.size(); ++k)
            if (!(locations[k].height >= 0.0f))
                r.add("runset", "release height " + number_text(locations[k].height) + " m of location " +
                                    std::to_string(k + 1) + " is below the ground (heights above ground, KMSL 0)");
    }
    r.stop_if_any();
}

void check_pollutant_emissions(std::string_view file, const std::vector<Pollutant>& dirt, int32_t count,
                               bool backward, TextOut& console) {
    Refusals r(file, console);
    for (size_t p = 0; p < dirt.size() && p < static_cast<size_t>(std::max(count, 0)); ++p) {
        const Pollutant& d = dirt[p];
        // A backward run stores every duration negative.
        if (!backward && d.emission_hours < 0.0f)
            r.add("read_pollutant_emissions", "hours of emission " + number_text(d.emission_hours) + " " +
                                                  pollutant_text(d, p) + " negative in a forward run");
        if (!is_calendar_date(d.release_year, d.release_month, d.release_day, d.release_hour, d.release_minute,
                              console))
            r.add("read_pollutant_emissions",
                  "release start " +
                      date_text(d.release_year, d.release_month, d.release_day, d.release_hour, d.release_minute) +
                      " " + pollutant_text(d, p) + " is not a calendar date");
    }
    r.stop_if_any();
}

void check_particle_definitions(std::string_view file, const std::vector<Pollutant>& dirt, int32_t count,
                                TextOut& console) {
    Refusals r(file, console);
    for (size_t p = 0; p < dirt.size() && p < static_cast<size_t>(std::max(count, 0)); ++p) {
        const Pollutant& d = dirt[p];
        const std::pair<const char*, float> items[] = {
            {"particle diameter", d.PDIAM}, {"particle density", d.PDENS}, {"particle shape", d.SHAPE}};
        for (const auto& [item, v] : items)
            if (!(v >= 0.0f))
                r.add("depset", std::string(item) + " " + number_text(v) + " " + pollutant_text(d, p) +
                                    " negative (0 marks a gas)");
    }
    r.stop_if_any();
}

void check_concentration_grids(std::string_view file, const std::vector<ConcentrationGrid>& grids, bool backward,
                               TextOut& console) {
    Refusals r(file, console);
    for (size_t gi = 0; gi < grids.size(); ++gi) {
        const ConcentrationGrid& g = grids[gi];
        const std::string grid = "grid #" + std::to_string(gi + 1);
        if (!(g.centre_lat >= -90.0f && g.centre_lat <= 90.0f))
            r.add("conset", "centre latitude " + number_text(g.centre_lat) + " of " + grid + " outside -90 to 90");
        for (int32_t k = 0; k < g.level_count; ++k) {
            const int32_t h = g.heights[static_cast<size_t>(k)];
            if (h < 0)
                r.add("conset", "level height " + std::to_string(h) + " of " + grid + " (level " +
                                    std::to_string(k + 1) + ") below the ground");
            for (int32_t l = 0; l < k; ++l)
                if (g.heights[static_cast<size_t>(l)] == h)
                    r.add("conset", "level height " + std::to_string(h) + " of " + grid + " repeated (levels " +
                                        std::to_string(l + 1) + " and " + std::to_string(k + 1) + ")");
        }
        const auto& s = g.start_entered;
        if (!g.start_relative && !is_calendar_date(s[0], s[1], s[2], s[3], s[4], console))
            r.add("conset", "sampling start " + date_text(s[0], s[1], s[2], s[3], s[4]) + " of " + grid +
                                " is not a calendar date");
        const bool wrong_side = backward ? g.stop_minute > g.start_minute : g.stop_minute < g.start_minute;
        if (wrong_side) {
            const auto& a = g.start;
            const auto& e = g.stop;
            r.add("conset", "sampling stop " + date_text(e[0], e[1], e[2], e[3], e[4]) + " of " + grid +
                                (backward ? " after its start " : " before its start ") +
                                date_text(a[0], a[1], a[2], a[3], a[4]) +
                                (backward ? " in a backward run" : " in a forward run"));
        }
        if (g.sampling_type > 2)
            r.add("conset", "sampling type " + std::to_string(g.sampling_type) + " of " + grid +
                                " is none of 0 (average), 1 (snapshot), 2 (maximum) or a negative number of minutes");
    }
    r.stop_if_any();
}

}  // namespace orv
