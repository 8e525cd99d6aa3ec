#pragma once
// The first records of the control input: start time, starting locations,
// run length and direction, vertical motion option, model top, and the
// meteorological grids with their data files.

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "run/control_input.hpp"
#include "run/met_file_names.hpp"

namespace orv {

// One starting location.
struct SourceLocation {
    float lat = 0.0f;
    float lon = 0.0f;
    float height = 0.0f;        // m above ground
    float reserved = 0.0f;      // not set by the control input
    float source_rate = 0.0f;   // first optional value of the location line
    float source_area = 0.0f;   // second optional value, m2 (0 or less: a point), at most kMaxSourceArea
    int32_t start_year = 0;
    int32_t start_month = 0;
    int32_t start_day = 0;
    int32_t start_hour = 0;
    int32_t start_minute = 0;
    float grid_x = 0.0f;
    float grid_y = 0.0f;
    float release_z = 0.0f;          // internal vertical coordinate of the release
    float release_z_partner = 0.0f;  // work value of the emission code
    int32_t met_grid = 0;            // meteorological grid number, 0 = none
};

// What records 1 to 8 give the run.
struct RunControl {
    int32_t start_year = 0;
    int32_t start_month = 0;
    int32_t start_day = 0;
    int32_t start_hour = 0;
    int32_t start_minute = 0;
    int32_t location_count = 1;
    int32_t run_hours = 48;
    bool backward = false;
    int32_t vertical_motion = 0;
    float entered_model_top = 10000.0f;  // as entered, sign kept
    float model_top = 25000.0f;          // the larger of |entered| and 25000 m
    int32_t grid_count = 1;
    int32_t time_count = 1;
    MetFileNames met_files;
};

// Whether a release height (m) lies above the model top as entered: the top
// counts by its magnitude, and a height equal to it is inside.
inline bool above_model_top(float height, float entered_model_top) {
    return std::fabs(entered_model_top) < height;
}

// Chooses the mode, opens the control input and reads records 1 and 2.
void open_control_file(ControlInput& ctl, std::string_view run_suffix, std::istream& keyboard, TextOut& console,
                       RunControl& run);

// The vertical motion options: 0 data, 1 isobaric, 2 isentropic, 3 isopycnic,
// 4 none, 5 divergence, 6 terrain correction.
inline constexpr int32_t kMaxVerticalMotion = 6;

// Reads records 3 to 8: one location line per starting location (the table
// is rebuilt, growing with the lines read, and every location takes the run
// start of record 1), then the run values. A vertical motion option outside
// 0 to 6 stops the run.
void runset(ControlInput& ctl, std::vector<SourceLocation>& locations, RunControl& run);

}  // namespace orv
