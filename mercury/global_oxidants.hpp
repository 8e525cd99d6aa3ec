#pragma once
// Monthly global fields of ozone, SO2 and soot on a fixed latitude-longitude-
// pressure grid of 128 x 64 x 34 points, read from three text files per month
// ("ox-jan.dat", "so2-jan.dat", "bc2-jan.dat", ...), and the two-layer
// standard atmosphere that turns the grid's pressures into heights.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text_input.hpp"
#include "common/text_output.hpp"

namespace orv {

// The oxidant grid and the fields of the month last loaded. Set up once at
// start-up; the fields are sized then and replaced whole by every load.
struct GlobalChemGrid {
    static constexpr int32_t kNlon = 128;
    static constexpr int32_t kNlat = 64;
    static constexpr int32_t kNlev = 34;
    static constexpr int32_t kPoints = kNlon * kNlat * kNlev;

    std::array<float, kNlat> latitudes{};      // degrees, -90 .. 90
    std::array<float, kNlon> longitudes{};     // degrees, -177.1875 .. 180
    std::array<float, kNlev> level_heights{};  // m, level 1 the highest

    // Values as read, indexed (i, j, k) with longitude i fastest, then
    // latitude j, then level k (all 1-based through at()): ozone and SO2 in
    // ppb, soot in the file's own unit.
    std::vector<float> ozone;
    std::vector<float> so2;
    std::vector<float> soot;

    // Month (1..12) of the loaded fields, 0 before the first load. The driver
    // compares it with the month of the model time at every hour start.
    int32_t k_global_data_month = 0;

    static constexpr size_t index(int32_t i, int32_t j, int32_t k) {
        return static_cast<size_t>((i - 1) + kNlon * ((j - 1) + kNlat * (k - 1)));
    }
};

// The 34 pressures of the grid levels (hPa), level 1 the highest.
extern const std::array<float, GlobalChemGrid::kNlev> kGlobalChemPressures;

// One point of the standard atmosphere (p0 = 1013.25 hPa).
struct StandardAtmospherePoint {
    float height = 0.0f;        // m
    float ratio = 0.0f;         // p / p0
    float pressure_hpa = 0.0f;
    float pressure_pa = 0.0f;
};

// Mode 1 takes the height and sets the ratio and both pressures; mode 2 takes
// the ratio and sets the height and both pressures; any other mode changes
// nothing. Below 3000 m (ratio above 0.692) an exponential atmosphere, above
// it a logarithmic fit of the upper air.
void convert_height_and_pressure(int32_t mode, StandardAtmospherePoint& p);

// Fills the axes and sizes the three fields (left at zero).
void set_up_global_chemistry_grid(GlobalChemGrid& grid);

// Loads the three fields of a month (1..12) from the directory `directory`
// (a path ending in its separator; it is cut at its first blank). Writes its
// progress on the console. A missing file, a record out of place, a value
// that cannot be read or a file that ends early writes its message lines and
// stops the run with code 901; a value below 0 or above kMaxOxidantValue
// stops it with code 900, naming the file and record.
void get_global_conc(GlobalChemGrid& grid, int32_t month, std::string_view directory, TextOut& console);

// ---- the record reader, shared by the loader and its fuzz target ----

enum class OxidantKind { Ozone = 0, So2 = 1, Soot = 2 };

// The largest value of every oxidant field: a mixing ratio of one, the whole
// air, in parts per billion (by volume for ozone and SO2, by mass for soot,
// which the run turns into g/m3 with its factor 1e-6 and the air density in
// kg/m3). Real fields stay below 1e5 (stratospheric ozone peaks near 1e4
// ppb); a value above it, or below 0, is not one of the air.
inline constexpr float kMaxOxidantValue = 1.0e9f;

// What went wrong while reading an oxidant file.
struct OxidantReadProblem {
    enum class Status { None, OutOfPlace, EndOfFile, BadValue, OutOfRange } status = Status::None;
    int64_t record = 0;      // 1-based record (line) number
    int32_t i = 0, j = 0, k = 0;  // grid point the record should hold
    float lon_read = 0.0f;
    float lat_read = 0.0f;
    int32_t level_read = 0;
    float value = 0.0f;  // for a value out of range
    std::string what;    // for a bad value
};

// Reads the 128 x 64 records of level k (latitude outer, longitude inner)
// into `field` (the full 128 x 64 x 34 array), checking each record's
// longitude, latitude and level against the grid point it should hold.
// Returns false and fills `problem` at the first record that is missing, out
// of place or not readable (also a value that is not a finite number).
bool read_oxidant_level(TextInput& in, int32_t k, std::vector<float>& field, OxidantReadProblem& problem);

// Checks the values of level k as read: each must lie in 0 to
// kMaxOxidantValue. Returns false and fills `problem` (status OutOfRange, the
// record and grid point, the value in `value`) at the first that does not.
bool check_oxidant_level(int32_t k, const std::vector<float>& field, OxidantReadProblem& problem);

// The file name of a month (1..12) and kind: "ox-jan.dat" etc.
std::string oxidant_file_name(OxidantKind kind, int32_t month);

}  // namespace orv
