#pragma once
// Land use, roughness length and terrain height at a point, from three
// gridded text files ("LANDUSE.ASC", "ROUGLEN.ASC", "TERRAIN.ASC") on one
// regular latitude-longitude grid described by "ASCDATA.CFG".
//
// Each file has fixed-length records of NLON*4+1 characters (the row and its
// line end), the northernmost row first; column c of a row occupies
// characters 4c-3..4c. One row per file is held, so a sub-grid filled row by
// row reads each row once.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/direct_file.hpp"
#include "common/messages.hpp"
#include "common/text_output.hpp"

namespace orv {

struct SurfaceFiles {
    enum Kind { kLandUse = 0, kRoughness = 1, kTerrain = 2 };

    struct File {
        DirectFile file;
        std::string path;
        bool open = false;
        bool looked_for = false;
        int32_t row = 0;  // row held in the buffer, 0 = none
        std::vector<char> buffer;
    };

    bool set_up = false;
    float lat0 = 0.0f;
    float lon0 = 0.0f;
    float dlat = 0.0f;
    float dlon = 0.0f;
    int32_t nlat = 0;
    int32_t nlon = 0;
    int32_t default_landuse = 2;
    float default_roughness = 0.2f;
    std::string directory;
    std::array<File, 3> files;
};

// Land-use category, roughness length (m) and terrain height (m) at a point.
// The outputs start as the defaults (terrain 0) and take the values of the
// surface files that are open. "TERRAIN.ASC" is looked for on the first call
// that wants terrain. A run without "ASCDATA.CFG" stops.
void sfcinp(SurfaceFiles& s, Messages msg, float lat, float lon, float& roughness, int32_t& landuse,
            bool want_terrain, float& terrain);

}  // namespace orv
