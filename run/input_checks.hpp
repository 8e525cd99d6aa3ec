#pragma once
// Values of the control input that are read without complaint but that no
// step of the run gives a meaning: each check runs over the records of one
// block once they are read, writes one line per value refused to the console,
// naming the routine that read it, the item, the value and the file, and
// then stops the run with code 900.
//
// Kept, because a step gives them a meaning: a negative run time (a backward
// run) and a run time of 0 (set-up only, no hour), a negative emission rate
// (surface-emission particles with ICHEM 3), negative hours of emission in a
// backward run, any sampling type (negative: the average over the last
// minutes of each interval; 3 and above: an average zeroed every step), a
// sampling stop on either side of its start (the window is their distance), a
// release or sampling start with month 0 (relative to the run start, its day
// and hour rolled over; its readers refuse one that leaves values out) or
// with a day, hour or minute beyond its range (they carry into the next
// unit), and a release height or level height below sea
// level when heights are above sea level (KMSL 1).

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/text_output.hpp"
#include "run/concentration_grids.hpp"
#include "run/control_file.hpp"
#include "run/pollutants.hpp"
#include "run/settings.hpp"

namespace orv {

// How the releases read a location's own emission rate (the first optional
// value of its line).
enum class LocationRateUse {
    unread,              // a gridded inventory: the locations are its corners
    replaces_when_positive,  // an emission file in a backward run: 0 or less takes the pollutant's rate
    rate_when_nonzero,   // the control file's point sources: 0 takes the pollutant's rate
};

// Release heights below the ground (heights above ground, KMSL 0); a
// location's own emission rate, where the releases take it as one, that the
// run cannot take (see emission_rate_refusal).
void check_source_locations(std::string_view file, const std::vector<SourceLocation>& locations, const Settings& s,
                            LocationRateUse rate_use, TextOut& console);

// The first `count` pollutants: negative hours of emission in a forward run,
// an emission rate that the run cannot take (see emission_rate_refusal), and
// a release whose rate times its hours of emission is more than a puff may
// hold (see released_mass_refusal), at the pollutant's rate or at the
// largest location rate that the releases take in its place.
void check_pollutant_emissions(std::string_view file, const std::vector<Pollutant>& dirt, int32_t count,
                               const std::vector<SourceLocation>& locations, LocationRateUse rate_use, bool backward,
                               const Settings& s, TextOut& console);

// The first `count` pollutants: a negative particle diameter, density or
// shape factor.
void check_particle_definitions(std::string_view file, const std::vector<Pollutant>& dirt, int32_t count,
                                TextOut& console);

// A centre latitude outside -90 to 90; level heights below the ground
// (heights above ground, KMSL 0). A level given twice is written twice.
void check_concentration_grids(std::string_view file, const std::vector<ConcentrationGrid>& grids,
                               const Settings& s, TextOut& console);

}  // namespace orv
