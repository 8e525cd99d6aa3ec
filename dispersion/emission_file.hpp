#pragma once
// The emission file named by EFILE: time groups of point sources, each giving
// for every source location and pollutant a release window, a position, a
// release height, an emission rate, a source area and a heat release. At the
// start of every hour emsmat brings the source table up to date with the
// groups that are due; emstmp releases from the table every time step.
//
// Layout (free-format text): two header lines (skipped), then groups. A group
// is a line of six integers -- year, month, day, hour of its start, its
// length in hours, its number of data lines -- followed by its data lines of
// six integers and six reals: year, month, day, hour, minute of the release
// start, the duration as HHMM, latitude, longitude, release height (m above
// ground), emission rate (per hour), source area (m2), heat release. The data
// lines go location by location, pollutant by pollutant within a location.

#include <cstdint>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "common/text_input.hpp"
#include "common/text_output.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// One (source slot, pollutant) entry of the source table.
struct SourcePollutantRecord {
    int32_t start_minute = 0;  // release window, accumulated minutes
    int32_t stop_minute = 0;
    int32_t met_grid = 0;      // 0 = on no meteorological grid
    float grid_x = 0.0f;       // grid units of met_grid
    float grid_y = 0.0f;
    float release_height = 0.0f;  // m above ground
    float emission_rate = 0.0f;   // mass per hour
    float source_area = 0.0f;     // m2, 0 = point
    float heat_release = 0.0f;    // drives the plume rise, 0 = none
};

// The source table: one record per (source slot, pollutant), slots 1..slots
// (the control file's locations) and pollutants 1..pollutants.
struct SourcePollutantMatrix {
    int32_t slots = 0;
    int32_t pollutants = 0;
    std::vector<SourcePollutantRecord> records;  // slot varies fastest

    SourcePollutantRecord& at(int32_t slot, int32_t pollutant) {
        return records[static_cast<size_t>((pollutant - 1) * slots + (slot - 1))];
    }
    const SourcePollutantRecord& at(int32_t slot, int32_t pollutant) const {
        return records[static_cast<size_t>((pollutant - 1) * slots + (slot - 1))];
    }
};

// Sizes the table for the control file's locations and pollutants; every
// record starts empty (window closed, on no grid).
void allocate_source_pollutant_matrix(SourcePollutantMatrix& m, int32_t nsrc, int32_t numtyp);

// One data line as read.
struct EmissionFileLine {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t duration_hhmm = 0;
    float lat = 0.0f;
    float lon = 0.0f;
    float height = 0.0f;
    float rate = 0.0f;
    float area = 0.0f;
    float heat = 0.0f;
    int64_t line_number = 0;
    int32_t start_minutes = 0;  // the release start, accumulated minutes
};

// One group as read. A group cut short by the end of the file or by a line
// that cannot be read keeps the lines before it and the reason.
struct EmissionFileGroup {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t group_hours = 0;
    int32_t group_records = 0;
    int64_t line_number = 0;  // of the group header
    int32_t start_minutes = 0;  // the group start, accumulated minutes
    std::vector<EmissionFileLine> lines;
    bool complete = true;
    bool premature_end = false;  // incomplete: the file ended (else a line was unreadable)
    std::string error;           // why a line could not be read
    int64_t error_line = 0;
};

// What emsmat keeps between its hourly calls.
struct EmissionFileState {
    int32_t ICHEM = 0;           // the run's option: a negative rate is a dust source under 3, refused otherwise
    float entered_model_top = 10000.0f;  // CONTROL's model top as entered: a release above it is refused
    bool efile_active = false;   // the file was found and is not exhausted
    int32_t next_group_due = 0;  // accumulated minutes; 0 after opening
    int32_t group_hours = 0;     // of the last group read
    std::string name;
    TextInput file;
    // A backward run goes through the groups from the first one every hour:
    // the groups are kept as read, and the file is read on only when the
    // kept ones do not reach the current time.
    std::vector<EmissionFileGroup> groups;
    size_t next_group = 0;  // index into `groups` of the next group to take
    bool file_ended = false;
};

// Brings the source table up to date at model_time (accumulated minutes).
// `efile` is the EFILE setting (blanked when the file is missing or, in a
// forward run, exhausted); kt is the current meteorological time index,
// whose grid definitions place the sources; nsrc and numtyp are the control
// file's location and pollutant counts. A file that cannot be read stops the
// run with code 900 naming the file and line, and so does a value of a group
// that no release can take, checked as the group is read: a date with a day
// below 1 or an hour or minute below 0 (above its range a value carries into
// the next unit, as the calendar takes it), or a date outside the calendar;
// a group of less than one hour or a negative number of lines; a negative
// duration; a release height above the model top; an emission rate the run
// cannot take, or one whose mass over its duration is above the largest mass
// of a particle; a source area above the Earth's surface.
void emsmat(SourcePollutantMatrix& m, const MeteoFiles& met, int32_t model_time, int32_t kt, int32_t nsrc,
            int32_t numtyp, std::string& efile, EmissionFileState& state, bool backward, Messages msg);

}  // namespace orv
