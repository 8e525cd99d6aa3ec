#pragma once
// The meteorological grid and file tables: one entry per grid (1..12) and
// time file (1..12). The set-up (metini) fills them from the data files named
// in the control file; everything later reads them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/direct_file.hpp"
#include "run/met_file_names.hpp"

namespace orv {

inline constexpr int32_t kMaxMetLevels = 75;     // MLVL
inline constexpr int32_t kMaxMetVariables = 35;  // MVAR
inline constexpr int32_t kMaxHeaderLength = 5000;
inline constexpr int32_t kFreeGridSlot = -99;    // grid number of an unused table entry

// A 4-character variable or data-source identifier.
struct FourChars {
    std::array<char, 4> c{' ', ' ', ' ', ' '};

    FourChars() = default;
    explicit FourChars(std::string_view s) {
        for (size_t i = 0; i < 4; ++i) c[i] = i < s.size() ? s[i] : ' ';
    }
    std::string_view view() const { return std::string_view(c.data(), 4); }
    std::string str() const { return std::string(view()); }
    bool is(std::string_view s) const { return view() == s; }
    bool starts(std::string_view s) const { return view().substr(0, s.size()) == s; }
    bool operator==(const FourChars&) const = default;
};

// Conformal map projection of the 6371.2 km sphere (9 words).
struct ProjectionRecord {
    float gamma = 0.0f;     // cone constant: sin(tangent latitude)
    float ref_lon = 0.0f;   // reference longitude, degrees in (-180, 180]
    float x0 = 0.0f;        // grid x of the projection origin
    float y0 = 0.0f;        // grid y of the projection origin
    float crot = 1.0f;      // cosine of the grid rotation
    float srot = 0.0f;      // minus the sine of the grid rotation
    float scale = 0.0f;     // G: scale length, km
    float north_coef = 0.0f;  // 2*eta - gamma*eta^2 at (89, ref_lon)
    float south_coef = 0.0f;  // the same at (-89, ref_lon)
    bool operator==(const ProjectionRecord&) const = default;
};

// Positions of the u and v points relative to the mass points, grid units.
struct WindStaggerOffsets {
    float ux = 0.0f;
    float uy = 0.0f;
    float vx = 0.0f;
    float vy = 0.0f;
};

// Indices into the 12 header reals of a grid.
enum HeaderReal : int32_t {
    kPoleLat = 0,     // last latitude on a latitude-longitude grid
    kPoleLon = 1,     // last longitude
    kRefLat = 2,      // latitude increment
    kRefLon = 3,      // longitude increment
    kGridSize = 4,    // km; 0 = latitude-longitude grid
    kOrientation = 5,
    kTangentLat = 6,
    kSyncX = 7,
    kSyncY = 8,
    kSyncLat = 9,     // latitude of grid point (1,1) on a latitude-longitude grid
    kSyncLon = 10,    // longitude of grid point (1,1)
    kTopPressure = 11,
};

struct MetGridDefinition {
    ProjectionRecord projection;
    FourChars source_id;
    int32_t grid_number = kFreeGridSlot;
    std::array<float, 12> header{};
    int32_t nx = 0;
    int32_t ny = 0;
    int32_t nz = 0;
    bool latlon = false;          // regular latitude-longitude grid
    bool prime_meridian = false;  // the grid crosses longitude 0
    bool global = false;          // cyclic global grid
    // (The sub-grid window belongs to the grid as a whole: MetGridWindow.)
    // Staggering of this grid's data source.
    WindStaggerOffsets stagger;

    bool in_use() const { return grid_number != kFreeGridSlot; }
};

// A time as read from a record label plus its accumulated minutes.
struct MetTime {
    int32_t year = 0;  // two digits
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t forecast = 0;
    int32_t macc = 0;
};

struct MetFileEntry {
    std::string directory;
    std::string file_name;
    std::string path;  // directory followed by the file name
    int32_t unit = 0;
    int64_t record_length = 0;
    int64_t record_count = 0;
    MetTime first;
    MetTime last;
    DirectFile file;  // open for the run once the set-up has described it
};

struct MeteoDataFlags {
    int32_t records_per_period = 0;
    int32_t data_interval = 0;      // minutes
    int32_t record_offset = 0;      // grid offset within a period (old layout, southern grid)
    int32_t precip_accumulation = 0;  // minutes
    int32_t kdef = 0;    // horizontal mixing, 0..1
    int32_t kzmix = 0;   // profile averaging, 0..3
    int32_t kbls = 1;    // stability method, 1..2
    int32_t kblt = 2;    // PBL mixing scheme, 1..4
    int32_t stagger = 0;  // 0 none, 1 staggered winds, 3 MUU0/MUV0 data
    float tvmix = 1.0f;  // free troposphere mixing, 0.01..100
    bool sfc_vertical_velocity = false;
    bool height_velocity = false;  // DZDT (m/s) listed at an upper level
    bool ten_metre_wind = false;
    bool two_metre_temperature = false;
    bool mixed_layer_depth = false;
    bool down_shortwave = false;
    bool exchange_coefficient = false;
    bool heat_flux = false;
    bool momentum_flux = false;
    bool friction_velocity = false;
    bool friction_temperature = false;
    bool velocity_variance = false;
    bool tke = false;
    bool terrain_height = false;
    bool surface_pressure = false;
    bool upper_pressure = false;
    bool specific_humidity = false;
    std::array<bool, kMaxMetLevels> level_moisture{};
    std::array<bool, kMaxMetLevels> level_vertical_velocity{};
};

struct MetFileLayout {
    int32_t format = 0;         // 1 old layout, 2 indexed
    int32_t vertical_type = 0;  // 1 sigma, 2 pressure, 3 terrain-following height, 4 hybrid
    std::array<float, kMaxMetLevels> level_heights{};
    std::array<int32_t, kMaxMetLevels> level_vars{};
    std::array<std::array<FourChars, kMaxMetVariables>, kMaxMetLevels> var_ids{};
    std::array<std::array<int32_t, kMaxMetVariables>, kMaxMetLevels> checksums{};
    MeteoDataFlags flags;
};

// The run's meteorological tables. Entries are addressed 1-based by grid kg
// and time kt, as everywhere in the model.
struct MeteoFiles {
    struct Slot {
        MetGridDefinition grid;
        MetFileLayout layout;
        MetFileEntry file;
    };

    int32_t num_grids = 0;
    int32_t num_times = 0;
    std::vector<Slot> slots = std::vector<Slot>(kMaxMetGrids * kMaxMetTimes);

    Slot& slot(int32_t kg, int32_t kt) { return slots[index(kg, kt)]; }
    const Slot& slot(int32_t kg, int32_t kt) const { return slots[index(kg, kt)]; }
    MetGridDefinition& grid(int32_t kg, int32_t kt) { return slot(kg, kt).grid; }
    const MetGridDefinition& grid(int32_t kg, int32_t kt) const { return slot(kg, kt).grid; }
    MetFileLayout& layout(int32_t kg, int32_t kt) { return slot(kg, kt).layout; }
    const MetFileLayout& layout(int32_t kg, int32_t kt) const { return slot(kg, kt).layout; }
    MetFileEntry& file(int32_t kg, int32_t kt) { return slot(kg, kt).file; }
    const MetFileEntry& file(int32_t kg, int32_t kt) const { return slot(kg, kt).file; }

private:
    static size_t index(int32_t kg, int32_t kt) {
        return static_cast<size_t>((kg - 1) * kMaxMetTimes + (kt - 1));
    }
};

}  // namespace orv
