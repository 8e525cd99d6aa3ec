#pragma once
// Writing packed meteorological files from fields given as functions of
// position, level and time.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "meteo/met_tables.hpp"

namespace orv::fixture {

// A grid as its 12 header reals and point counts.
struct GridShape {
    std::array<float, 12> header{};
    int32_t nx = 0;
    int32_t ny = 0;

    // Latitude-longitude grid with point (1,1) at (lat1, lon1).
    static GridShape latlon(float lat1, float lon1, float dlat, float dlon, int32_t nx, int32_t ny);
    // Global grid of `d` degrees from the south pole and longitude 0.
    static GridShape global(float d);
    // Conformal projection with the grid size true at `ref_lat`, the point
    // (sync_x, sync_y) at (sync_lat, sync_lon).
    static GridShape conformal(float tangent_lat, float ref_lat, float ref_lon, float grid_km, float sync_x,
                              float sync_y, float sync_lat, float sync_lon, float orientation, int32_t nx,
                              int32_t ny);
    // Centred grids of each projection (the centre is the grid's middle point).
    static GridShape lambert(float centre_lat, float centre_lon, float grid_km, int32_t nx, int32_t ny);
    static GridShape polar(float centre_lat, float centre_lon, float grid_km, int32_t nx, int32_t ny);
    static GridShape mercator(float centre_lat, float centre_lon, float grid_km, int32_t nx, int32_t ny);
};

// One grid point of one level and time, as the field functions see it.
struct FieldPoint {
    int32_t i = 1;  // grid column
    int32_t j = 1;  // grid row
    float lat = 0.0f;
    float lon = 0.0f;
    int32_t level = 0;         // 0 surface, k upper level k (file level k+1)
    float level_value = 0.0f;  // the level's value in the file's level list
    float data_top = 0.0f;     // value of the surface level (top of the data for terrain-following levels)
    int32_t vertical_type = 2;
    int32_t time = 0;  // accumulated minutes
    const MetGridDefinition* grid = nullptr;
};

using FieldFunction = std::function<double(std::string_view var, const FieldPoint& p)>;

// One variable set to one value, over the whole grid or over a latitude-
// longitude box (bounds included), at every level and time it is written:
// the data of a damaged or mislabelled file.
struct FieldPatch {
    std::string var;
    double value = 0.0;
    bool whole_grid = true;
    double lat_min = 0.0, lat_max = 0.0;  // the box, when not the whole grid
    double lon_min = 0.0, lon_max = 0.0;
};

// `field` with the patch laid over it.
FieldFunction with_patch(FieldFunction field, FieldPatch patch);

struct MetFileRecipe {
    std::string source_id = "ORVF";
    int32_t grid_number = 99;
    GridShape grid;
    int32_t vertical_type = 2;  // 1 sigma, 2 pressure, 3 terrain-following height, 4 hybrid
    std::vector<float> levels;  // NZ values, the surface level first
    std::vector<std::string> surface_vars;
    std::vector<std::string> upper_vars;  // the list of every upper level
    // When not empty: the variable list of every level (NZ lists), in place
    // of the two above.
    std::vector<std::vector<std::string>> level_vars;
    int32_t start = 0;  // accumulated minutes of the first period
    int32_t periods = 1;
    int32_t interval = 60;  // minutes
    int32_t forecast_hour = 0;
    bool surface_level_one = false;  // labels number the surface 1 instead of 0
    float precision = 0.0f;          // PREC of every record ...
    std::map<std::string, float> precision_of;  // ... or of one variable

    const std::vector<std::string>& vars_of_level(size_t k) const;
};

struct MetFileSummary {
    int32_t index_records = 0;
    int32_t records_per_period = 0;
    int64_t records = 0;
    int32_t header_length = 0;
};

// The grid as the model will read it from the file's header.
MetGridDefinition grid_definition(const MetFileRecipe& recipe);

// The point (i, j) of level k at `time`.
FieldPoint field_point(const MetGridDefinition& grid, const MetFileRecipe& recipe, int32_t i, int32_t j,
                       int32_t level, int32_t time);

// Writes the file (through a temporary file, so a failure leaves nothing
// half-written). Throws std::invalid_argument on a recipe the format cannot
// hold, std::runtime_error on a write failure.
MetFileSummary write_met_file(const std::string& path, const MetFileRecipe& recipe, const FieldFunction& field);

}  // namespace orv::fixture
