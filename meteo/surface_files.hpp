#pragma once
// Land use, roughness length and terrain height at a point, from three
// gridded text files ("LANDUSE.ASC", "ROUGLEN.ASC", "TERRAIN.ASC") on one
// regular latitude-longitude grid described by "ASCDATA.CFG".
//
// Each file has fixed-length records of NLON*4+1 characters (the row and its
// line end), the northernmost row first; column c of a row occupies
// characters 4c-3..4c. Rows once read are held with their fields as parsed,
// up to row_cache_bytes per file: row r takes slot (r-1) mod the slot count,
// so a file that fits is read once and a larger one keeps the latest row of
// each slot.

#include <array>
#include <cstdint>
#include <memory>
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
        int64_t record_length = 0;
        int32_t columns = 0;
        std::vector<int32_t> slot_row;       // row held in each slot, 0 = none
        std::unique_ptr<char[]> rows;        // slot s at s * record_length
        std::unique_ptr<uint32_t[]> values;  // fields as parsed, slot s at s * columns
        std::unique_ptr<bool[]> parsed;      // whether values holds the field
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
    // Most bytes of rows (their text, parsed fields and slot entries) held
    // per file; at least one row is held whatever the bound.
    int64_t row_cache_bytes = int64_t{16} << 20;
    std::array<File, 3> files;
};

// Land-use category, roughness length (m) and terrain height (m) at a point.
// The outputs start as the defaults (terrain 0) and take the values of the
// surface files that are open. "TERRAIN.ASC" is looked for on the first call
// that wants terrain. A run without "ASCDATA.CFG" stops.
void sfcinp(SurfaceFiles& s, Messages msg, float lat, float lon, float& roughness, int32_t& landuse,
            bool want_terrain, float& terrain);

}  // namespace orv
