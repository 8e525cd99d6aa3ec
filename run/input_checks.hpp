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
// backward run, a negative sampling type (the average over the last minutes
// of each interval), a release or sampling start with month 0 (relative to
// the run start, its day and hour rolled over), and a release height below
// sea level when heights are above sea level (KMSL 1: taken to the ground).

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/text_output.hpp"
#include "run/concentration_grids.hpp"
#include "run/control_file.hpp"
#include "run/pollutants.hpp"

namespace orv {

// Release heights below the ground (heights above ground, KMSL 0).
void check_source_locations(std::string_view file, const std::vector<SourceLocation>& locations, int32_t KMSL,
                            TextOut& console);

// The first `count` pollutants: negative hours of emission in a forward run,
// a release start that is not a calendar date (31 February).
void check_pollutant_emissions(std::string_view file, const std::vector<Pollutant>& dirt, int32_t count,
                               bool backward, TextOut& console);

// The first `count` pollutants: a negative particle diameter, density or
// shape factor.
void check_particle_definitions(std::string_view file, const std::vector<Pollutant>& dirt, int32_t count,
                                TextOut& console);

// A centre latitude outside -90 to 90; level heights below the ground or
// repeated; a sampling start that is not a calendar date; a sampling stop on
// the far side of the start from the run's direction (before it in a forward
// run, after it in a backward one); a sampling type above 2.
void check_concentration_grids(std::string_view file, const std::vector<ConcentrationGrid>& grids, bool backward,
                               TextOut& console);

}  // namespace orv
