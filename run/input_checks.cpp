#include "run/input_checks.hpp"

#include <cmath>
#include <string>

#include "common/number_text.hpp"
#include "common/blank_trim.hpp"
#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "run/mass_ceiling.hpp"

namespace orv {

namespace {

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

// Whether the releases take the location's own rate in place of the
// pollutants' rates.
bool location_rate_taken(const SourceLocation& loc, LocationRateUse rate_use) {
    switch (rate_use) {
        case LocationRateUse::rate_when_nonzero: return loc.source_rate != 0.0f;
        case LocationRateUse::replaces_when_positive: return loc.source_rate > 0.0f;
        case LocationRateUse::unread: break;
    }
    return false;
}

}  // namespace

void check_source_locations(std::string_view file, const std::vector<SourceLocation>& locations, const Settings& s,
                            LocationRateUse rate_use, TextOut& console) {
    Refusals r(file, console);
    for (size_t k = 0; k < locations.size(); ++k) {
        const SourceLocation& loc = locations[k];
        const std::string where = " of location " + std::to_string(k + 1);
        if (s.KMSL == 0 && !(loc.height >= 0.0f))
            r.add("runset", "release height " + number_text(loc.height) + " m" + where +
                                " is below the ground (heights above ground, KMSL 0)");
        if (location_rate_taken(loc, rate_use)) {
            const std::string why = emission_rate_refusal(loc.source_rate, s.ICHEM);
            if (!why.empty())
                r.add("runset", "emission rate " + number_text(loc.source_rate) + where + " " + why);
        }
    }
    r.stop_if_any();
}

void check_pollutant_emissions(std::string_view file, const std::vector<Pollutant>& dirt, int32_t count,
                               const std::vector<SourceLocation>& locations, LocationRateUse rate_use, bool backward,
                               const Settings& s, TextOut& console) {
    Refusals r(file, console);
    // The location rate of the largest magnitude that the releases take.
    const size_t none = locations.size();
    size_t largest = none;
    for (size_t k = 0; k < none; ++k) {
        const float rate = std::fabs(locations[k].source_rate);
        if (location_rate_taken(locations[k], rate_use) &&
            (largest == none || rate > std::fabs(locations[largest].source_rate)))
            largest = k;
    }
    for (size_t p = 0; p < dirt.size() && p < static_cast<size_t>(std::max(count, 0)); ++p) {
        const Pollutant& d = dirt[p];
        // A backward run stores every duration negative.
        if (!backward && d.emission_hours < 0.0f)
            r.add("read_pollutant_emissions", "hours of emission " + number_text(d.emission_hours) + " " +
                                                  pollutant_text(d, p) + " negative in a forward run");
        std::string why = emission_rate_refusal(d.emission_rate, s.ICHEM);
        if (why.empty()) why = released_mass_refusal(d.emission_rate, d.emission_hours);
        if (!why.empty())
            r.add("read_pollutant_emissions",
                  "emission rate " + number_text(d.emission_rate) + " " + pollutant_text(d, p) + " " + why);
        if (largest == none) continue;
        const float rate = locations[largest].source_rate;
        why = released_mass_refusal(rate, d.emission_hours);
        if (!why.empty())
            r.add("read_pollutant_emissions", "emission rate " + number_text(rate) + " of location " +
                                                  std::to_string(largest + 1) + " for pollutant " +
                                                  std::to_string(p + 1) + " (" +
                                                  trim_trailing_blanks(d.pollutant_id) + ") " + why);
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

void check_concentration_grids(std::string_view file, const std::vector<ConcentrationGrid>& grids,
                               const Settings& s, TextOut& console) {
    Refusals r(file, console);
    for (size_t gi = 0; gi < grids.size(); ++gi) {
        const ConcentrationGrid& g = grids[gi];
        const std::string grid = "grid #" + std::to_string(gi + 1);
        if (!(g.centre_lat >= -90.0f && g.centre_lat <= 90.0f))
            r.add("conset", "centre latitude " + number_text(g.centre_lat) + " of " + grid + " outside -90 to 90");
        for (int32_t k = 0; k < g.level_count; ++k) {
            const int32_t h = g.heights[static_cast<size_t>(k)];
            // Above sea level (KMSL 1) a level below 0 is still a place.
            if (s.KMSL == 0 && h < 0)
                r.add("conset", "level height " + std::to_string(h) + " of " + grid + " (level " +
                                    std::to_string(k + 1) + ") below the ground (heights above ground, KMSL 0)");
        }
    }
    r.stop_if_any();
}

}  // namespace orv
