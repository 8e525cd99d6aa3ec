#pragma once
// Set-up of the meteorological data files: every file named in the control
// file is opened and described (grid, levels, variables, first and last
// time, records per period, data interval), the field flags and per-file
// settings are derived, each grid's projection is set up, and the grids and
// files are put in order.

#include <cstdint>

#include "common/text_output.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// Called once by the driver after the control file is read. `names` holds the
// directory and file of every grid and time; the start time is taken from the
// data when `month` is 0. The numbers of grids and times may change when
// grids of one time are merged into times of one grid.
void metini(int32_t kdef, int32_t kzmix, float tvmix, int32_t kbls, int32_t kblt, int32_t& num_grids,
            int32_t& num_times, const MetFileNames& names, float first_latitude, int32_t& year, int32_t& month,
            int32_t& day, int32_t& hour, int32_t& minute, bool backward, int32_t& vertical_motion, TextOut& log,
            MeteoFiles& met);

// Opens and describes the file of grid kg, time kt (directory and file name
// already in its file entry); files without index records go to metold.
void metset(MeteoFiles& met, int32_t kg, int32_t kt, TextOut& log);
// The same for a file of the old layout (no index records, built-in grids).
void metold(MeteoFiles& met, int32_t kg, int32_t kt, TextOut& log);

}  // namespace orv
