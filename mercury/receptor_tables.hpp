#pragma once
// Receptor areas and cep points: the tables read at start-up from the two
// definition files under "../receptors/", used every particle step by the
// footprint tests and, through "recp_summary.out", by deptally.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mercury/latitude_bands.hpp"

namespace orv {

// Where the definition files are looked for, relative to the working directory.
inline constexpr std::string_view kReceptorDirectory = "../receptors/";

// The receptor output lines hold a path total and one value per receptor, at
// most 999 values; the cep output lines one value per cep.
inline constexpr int32_t kMaxReceptors = 998;
inline constexpr int32_t kMaxCeps = 999;

// Names are held as 25 characters, padded with blanks.
inline constexpr size_t kNameLength = 25;

// Distances on the earth: km per degree of latitude, and km per degree of
// longitude at the equator (times the cosine of the latitude elsewhere).
inline constexpr float kKmPerDegreeLat = 111.17748f;
inline constexpr float kKmPerDegreeLon = 40023.895f / 360.0f;

// Which categories of the definition files a run uses: entry c is 1 when
// category c is selected. Categories outside the table are not selected.
struct CategorySelection {
    std::vector<int32_t> table;

    bool selected(int32_t category) const {
        return category >= 0 && static_cast<size_t>(category) < table.size() &&
               table[static_cast<size_t>(category)] == 1;
    }
    // A table that selects the one category given.
    static CategorySelection only(int32_t category);
};

// One rectangle of a receptor, in degrees and, relative to the receptor's
// centre, in km (x eastwards, y northwards).
struct DivisionBox {
    float west = 0.0f, east = 0.0f, south = 0.0f, north = 0.0f;
    float area_fraction = 0.0f;
    float x_west = 0.0f, x_east = 0.0f, y_south = 0.0f, y_north = 0.0f;
};

struct Receptor {
    std::string receptor_name;  // 25 characters, as read
    int32_t receptor_land_category = 0;
    float centre_lat = 0.0f;
    float centre_lon = 0.0f;
    int32_t division_count = 0;
    float area_km2 = 0.0f;
    int32_t first_box = 0;  // index of division 0 in ReceptorTables::boxes
    // For the footprint tests: the cosine of the centre's latitude taken
    // without sign, and the largest east or west distance of the bounding
    // box from the centre (km).
    float cos_abs_centre_lat = 0.0f;
    float box_half_width_km = 0.0f;
};

struct ReceptorTables {
    int32_t ndivmax = 0;
    std::vector<Receptor> receptors;  // receptor r is receptors[r - 1]
    // Per receptor, its division_count + 1 boxes: division 0 (the bounding
    // box, widened by half a degree) first, then divisions 1, 2, ...
    std::vector<DivisionBox> boxes;
    LatitudeBands bands;  // receptors (0-based) by the latitudes of their bounding box

    int32_t receptor_count() const { return static_cast<int32_t>(receptors.size()); }
    const Receptor& receptor(int32_t r) const { return receptors[static_cast<size_t>(r - 1)]; }
    // Division d (0 = bounding box) of receptor r.
    const DivisionBox& box(int32_t r, int32_t d) const {
        return boxes[static_cast<size_t>(receptor(r).first_box + d)];
    }
};

// Adds a receptor with its divisions 1..n (degrees only), computes its area,
// centre, bounding box and km boxes, as the reader does for each receptor.
void add_receptor(ReceptorTables& t, std::string_view name, int32_t land_category,
                  const std::vector<DivisionBox>& divisions);
// Rebuilds the latitude index after receptors were added.
void index_receptors(ReceptorTables& t);

struct Cep {
    std::string cep_name;  // 25 characters, as read
    int32_t cep_code = 0;
    float lat = 0.0f;
    float lon = 0.0f;
};

struct CepTables {
    std::vector<Cep> ceps;  // cep c is ceps[c - 1]
    LatitudeBands bands;    // ceps (0-based) by latitude

    int32_t cep_count() const { return static_cast<int32_t>(ceps.size()); }
};

void index_ceps(CepTables& t);

// A name as held in the tables: cut or padded with blanks to 25 characters.
std::string padded_name(std::string_view name);

}  // namespace orv
