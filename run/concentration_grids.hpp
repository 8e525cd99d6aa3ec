#pragma once
// Concentration grid definitions: regular latitude-longitude grids with their
// levels, output file and sampling schedule.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "run/control_file.hpp"
#include "run/control_input.hpp"

namespace orv {

inline constexpr int32_t kMaxConcentrationLevels = 99;
// One concentration file per grid, on units 60 to 69.
inline constexpr int32_t kMaxConcentrationGrids = 10;

struct ConcentrationGrid {
    std::string directory = "|main|sub|output|";
    std::string file_name = "file_name";
    int32_t output_unit = 0;
    int32_t lat_points = 0;
    int32_t lon_points = 0;
    float lat_spacing = 1.0f;  // degrees
    float lon_spacing = 1.0f;
    float grid_spacing_km = 0.0f;
    float lower_left_lat = 0.0f;
    float lower_left_lon = 0.0f;  // -180..180
    int32_t sampling_type = 0;    // 0 average, 1 snapshot, 2 maximum, negative x 60
    int32_t level_count = 1;
    std::array<int32_t, kMaxConcentrationLevels> heights{50};  // m above ground
    std::array<int32_t, 6> start{};  // year, month, day, hour, minute, 0
    int32_t start_minute = 0;
    std::array<int32_t, 6> stop{};
    int32_t stop_minute = 0;
    std::array<int32_t, 3> cleared{};
    int32_t interval_hours = 24;
    int32_t interval_minutes = 0;
    int32_t unused = 0;
    int32_t interval = 0;  // minutes
    // The current sampling period's start (year, month, day, hour, minute,
    // forecast hour) and minute, kept by the concentration output.
    std::array<int32_t, 6> period_start{};
    int32_t period_start_minute = 0;
    // The centre latitude as the control input gave it (before a global grid
    // moves it to 0), for the checks after reading.
    float centre_lat = 0.0f;
};

// The number of concentration grids (default 1). More than 10 stops the run.
int32_t read_concentration_grid_count(ControlInput& ctl);

// The run start that sampling times default to and count from, and the run
// direction.
struct RunStartDate {
    int32_t year = 0;  // as the control input gives it (2 or 4 digits)
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    bool backward = false;
};

// Reads the grid definitions, one block per grid. A grid is centred on the
// first starting location unless the block gives a centre; its levels may not
// lie above `model_top` (m); `cpack` 2 makes every grid a single point at its
// centre. `time_step_spacing` (km) comes back as the smaller of its value and
// every grid's spacing.
void conset(ControlInput& ctl, std::vector<ConcentrationGrid>& grids, const RunStartDate& start,
            const SourceLocation& first_location, float model_top, int32_t cpack, float& time_step_spacing);

// The grid (from 1) that maximum grid g (from 1) takes its values from: the
// one average or snapshot grid with the same points, spacing, corner and
// levels. 0 when g is no maximum grid or has no such single twin.
int32_t maximum_grid_twin(const std::vector<ConcentrationGrid>& grids, int32_t g);

}  // namespace orv
