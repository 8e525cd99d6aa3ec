#pragma once
// Writing "ASCDATA.CFG" and the surface files "LANDUSE.ASC", "ROUGLEN.ASC"
// and "TERRAIN.ASC" from functions of latitude and longitude.

#include <cstdint>
#include <functional>
#include <string>

namespace orv::fixture {

struct SurfaceRecipe {
    float lat0 = -90.0f;  // lower-left corner
    float lon0 = -180.0f;
    float dlat = 1.0f;
    float dlon = 1.0f;
    int32_t nlat = 180;
    int32_t nlon = 360;
    int32_t default_landuse = 2;
    float default_roughness = 0.2f;  // m
    std::string directory = "./";    // where the model looks for the .ASC files
    // Values at the centre of each cell; constants when not given.
    std::function<int32_t(float lat, float lon)> landuse;    // category
    std::function<float(float lat, float lon)> roughness;    // m
    std::function<float(float lat, float lon)> terrain;      // m
    bool write_landuse = true;
    bool write_roughness = true;
    bool write_terrain = true;
};

// Writes the files into `dir` (through temporary files). Throws
// std::invalid_argument on an unusable grid, std::runtime_error on a write
// failure.
void write_surface_files(const std::string& dir, const SurfaceRecipe& recipe);

}  // namespace orv::fixture
