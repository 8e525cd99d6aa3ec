#pragma once
// The concentration files: one binary record file per concentration grid
// (with CPACK 2 one file for all grids), opened at start-up with five header
// records, then one block of records per ended sampling period; and the
// sampling periods themselves (zeroing and start stamps).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "common/record_file.hpp"
#include "common/text_output.hpp"
#include "common/work_array.hpp"
#include "dispersion/concentration_array.hpp"
#include "run/concentration_grids.hpp"
#include "run/control_file.hpp"
#include "run/pollutants.hpp"
#include "run/settings.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

inline constexpr int32_t kMaxConcentrationFiles = 10;  // units 60 to 69
inline constexpr int32_t kFirstConcentrationUnit = 60;

// One non-zero value of a packed record.
struct PackedValue {
    int16_t i;
    int16_t j;
    float value;
};

// The open concentration files and the work space of their records.
struct ConcentrationOutput {
    std::array<RecordWriter, kMaxConcentrationFiles> files;  // file of grid k at k - 1
    std::array<std::string, kMaxConcentrationFiles> paths;
    RecordBuilder record;
    WorkArray<PackedValue> packed;  // nlon x nlat entries, made on first use
};

// The time values of the end of a step.
struct SamplingClock {
    float dt_minutes = 0.0f;  // negative in a backward run
    int32_t model_time = 0;   // accumulated minutes
    int32_t forecast_hour = 0;
};

// Opens the file of every grid (with CPACK 2 of grid 1 only) and writes its
// header; the grid's unit is stored in its definition. The first time and
// data-source identifier come from meteorological grid 1, time 1.
void conini(const std::vector<SourceLocation>& locations, std::vector<ConcentrationGrid>& grids,
            const std::vector<Pollutant>& dirt, int32_t pollutant_count, int32_t cpack, const MeteoFiles& met,
            ConcentrationOutput& out, Messages msg);

// Writes every grid whose sampling period ends at the clock's model time.
// (kg, kt) is the meteorological grid and time in use (ICHEM 4).
void condsk(const std::vector<ConcentrationGrid>& grids, const std::vector<Pollutant>& dirt, const Settings& s,
            const MeteoFiles& met, int32_t kg, int32_t kt, const SamplingClock& clock,
            const ConcentrationArray& conc, ConcentrationOutput& out, Messages msg);

// Zeroes the grids whose new sampling period begins and stamps its start.
void update_sampling_periods(std::vector<ConcentrationGrid>& grids, const SamplingClock& clock,
                             ConcentrationArray& conc, TextOut& console);

// Where a grid stands in its sampling window at model time t.
struct SamplingPosition {
    int32_t ksb = 0;    // minutes since the window start (before it, backward)
    int32_t ksd = 0;    // length of the window
    int32_t mtime = 0;  // |t - start|
    bool inside() const { return ksb >= 0 && ksb < ksd; }
};
SamplingPosition sampling_position(const ConcentrationGrid& g, float dt_minutes, int32_t model_time);

}  // namespace orv
