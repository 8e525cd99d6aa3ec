#pragma once
// The packed meteorological file layout: record labels, the index header,
// the grid field of large grids, checksums and period arithmetic.
//
// Every record is a 50-character label followed by NX*NY bytes. A time
// period is its index records (the header, split over as many records as it
// needs) followed by one data record per variable of every level.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "meteo/met_tables.hpp"

namespace orv {

inline constexpr int32_t kLabelLength = 50;
inline constexpr int32_t kFixedHeaderLength = 108;
inline constexpr int32_t kLevelEntryLength = 8;
inline constexpr int32_t kVariableEntryLength = 8;

// Label layouts.
inline constexpr const char* kIndexLabelFormat = "(5I2,2X,A2,A4)";       // y m d h fcst, grid field, ID
inline constexpr const char* kPeriodLabelFormat = "(5I2,4X,A4)";         // y m d h fcst, ID
inline constexpr const char* kDataLabelFormat = "(6I2,2X,A4,I4,2E14.7)";  // y m d h fcst level, ID, NEXP, PREC, VAR1
inline constexpr const char* kOldLabelFormat = "(5I2,2X,I2,A4)";         // y m d h fcst, grid number, ID
inline constexpr const char* kFixedHeaderFormat = "(A4,I3,I2,12F7.0,3I3,I2,I4)";
inline constexpr const char* kLevelFormat = "(F6.2,I2)";
inline constexpr const char* kVariableFormat = "(A4,I3)";

struct DataLabel {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t forecast = 0;
    int32_t level = 0;
    FourChars id;
    int32_t nexp = 0;
    float prec = 0.0f;
    float var1 = 0.0f;
};

// Parses a data record label. Throws InputError on a malformed field.
DataLabel read_data_label(std::string_view label);

struct FixedHeader {
    FourChars source_id;
    int32_t forecast = 0;
    int32_t minutes = 0;
    std::array<float, 12> reals{};
    int32_t nx = 0;
    int32_t ny = 0;
    int32_t nz = 0;
    int32_t vertical_type = 0;
    int32_t header_length = 0;  // LENH
};

// Parses characters 1-108 of an index header. Throws InputError.
FixedHeader read_fixed_header(std::string_view header);

// The two-character grid field of an index label: a 2-digit grid number, or
// the encoding of a large grid whose thousands of NX and NY are carried as
// character codes above 64.
struct GridField {
    int32_t grid_number = 0;
    int32_t nx_extra = 0;
    int32_t ny_extra = 0;
};
// False when the field mixes a digit and a letter (a negative extension).
// Throws InputError on a field that is not a number.
bool decode_grid_field(std::string_view field, GridField& out);
// The field for a grid of nx by ny points: the grid number when both are
// below 1000, else the large-grid encoding.
std::string encode_grid_field(int32_t grid_number, int32_t nx, int32_t ny);

// Index records that carry a header of `header_length` characters.
inline int64_t index_record_count(int64_t header_length, int64_t nxy) { return header_length / nxy + 1; }

// Checksum of a record's packed bytes (sum with end-around carry modulo 255).
int32_t packed_checksum(std::span<const uint8_t> bytes);

// First record (1-based) of the period holding data time `data_time` in a file
// whose first period starts at `first_time`.
inline int64_t period_first_record(int32_t first_time, int32_t data_time, int32_t records_per_period,
                                   int32_t interval) {
    return (int64_t{data_time} - first_time) * records_per_period / interval + 1;
}

// True when the label's date fields can be a calendar date and time.
inline bool plausible_label_date(int32_t year, int32_t month, int32_t day, int32_t hour) {
    return year >= 0 && year <= 99 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 &&
           hour <= 24;
}

}  // namespace orv
