#pragma once
// Set-up of the meteorological data files: every file named in the control
// file is opened and described (grid, levels, variables, first and last
// time, records per period, data interval), the field flags and per-file
// settings are derived, each grid's projection is set up, and the grids and
// files are put in order.

#include <cstdint>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/control_file.hpp"
#include "run/settings.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// Called once by the driver after the control file is read. From the
// settings: the horizontal mixing, profile averaging, free-troposphere mixing,
// stability and turbulence options. From the run control: the numbers of
// grids and times (which may change when grids of one time are merged into
// times of one grid), the directory and file of every grid and time, the run
// direction and the vertical motion option (which the data may change). From
// the first starting location: its latitude, and the start time, which is
// taken from the data when its month is 0.
void metini(const Settings& settings, RunControl& run, SourceLocation& first_location, Messages msg,
            MeteoFiles& met);

// Opens and describes the file of grid kg, time kt (directory and file name
// already in its file entry); files without index records go to metold.
void metset(MeteoFiles& met, int32_t kg, int32_t kt, Messages msg);
// The same for a file of the old layout (no index records, built-in grids).
void metold(MeteoFiles& met, int32_t kg, int32_t kt, Messages msg);

}  // namespace orv
