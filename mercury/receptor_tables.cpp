#include "mercury/receptor_tables.hpp"

#include <algorithm>
#include <cmath>

#include "common/math_constants.hpp"

namespace orv {

CategorySelection CategorySelection::only(int32_t category) {
    CategorySelection s;
    if (category >= 0) {
        s.table.assign(static_cast<size_t>(category) + 1, 0);
        s.table[static_cast<size_t>(category)] = 1;
    }
    return s;
}

std::string padded_name(std::string_view name) {
    std::string s(name.substr(0, kNameLength));
    s.resize(kNameLength, ' ');
    return s;
}

namespace {

float division_area(const DivisionBox& b) {
    const float mid = (b.south + b.north) / 2.0f;
    return (b.east - b.west) * kKmPerDegreeLon * std::cos(mid * kDegToRadF) * (b.north - b.south) * kKmPerDegreeLat;
}

// The box's edges in km from the receptor centre; longitudes are scaled at
// the centre's latitude, so every division lies inside the bounding box in
// km as it does in degrees.
void set_km_box(DivisionBox& b, float centre_lat, float centre_lon, float cos_centre) {
    b.x_west = (b.west - centre_lon) * kKmPerDegreeLon * cos_centre;
    b.x_east = (b.east - centre_lon) * kKmPerDegreeLon * cos_centre;
    b.y_south = (b.south - centre_lat) * kKmPerDegreeLat;
    b.y_north = (b.north - centre_lat) * kKmPerDegreeLat;
}

}  // namespace

void add_receptor(ReceptorTables& t, std::string_view name, int32_t land_category,
                  const std::vector<DivisionBox>& divisions) {
    Receptor r;
    r.receptor_name = padded_name(name);
    r.receptor_land_category = land_category;
    r.division_count = static_cast<int32_t>(divisions.size());
    r.first_box = static_cast<int32_t>(t.boxes.size());

    std::vector<DivisionBox> boxes;
    boxes.reserve(divisions.size() + 1);
    boxes.emplace_back();
    for (const DivisionBox& d : divisions) boxes.push_back(d);
    std::vector<float> area(boxes.size(), 0.0f);
    for (size_t d = 1; d < boxes.size(); ++d) {
        area[d] = division_area(boxes[d]);
        r.area_km2 += area[d];
    }
    for (size_t d = 1; d < boxes.size(); ++d) {
        DivisionBox& b = boxes[d];
        b.area_fraction = area[d] / r.area_km2;
        r.centre_lat += b.area_fraction * ((b.south + b.north) / 2.0f);
        r.centre_lon += b.area_fraction * ((b.west + b.east) / 2.0f);
    }

    DivisionBox& box = boxes[0];
    box.west = 180.0f;
    box.east = -180.0f;
    box.south = 90.0f;
    box.north = -90.0f;
    for (size_t d = 1; d < boxes.size(); ++d) {
        box.west = std::min(box.west, boxes[d].west);
        box.east = std::max(box.east, boxes[d].east);
        box.south = std::min(box.south, boxes[d].south);
        box.north = std::max(box.north, boxes[d].north);
    }
    box.west -= 0.5f;
    box.east += 0.5f;
    box.south -= 0.5f;
    box.north += 0.5f;

    const float cos_centre = std::cos(r.centre_lat * kDegToRadF);
    for (DivisionBox& b : boxes) set_km_box(b, r.centre_lat, r.centre_lon, cos_centre);
    r.cos_abs_centre_lat = std::cos(std::fabs(r.centre_lat) * kDegToRadF);
    r.box_half_width_km = std::max(std::fabs(boxes[0].x_west), std::fabs(boxes[0].x_east));

    t.boxes.insert(t.boxes.end(), boxes.begin(), boxes.end());
    t.ndivmax = std::max(t.ndivmax, r.division_count);
    t.receptors.push_back(std::move(r));
}

void index_receptors(ReceptorTables& t) {
    std::vector<float> south, north, west, east;
    for (const Receptor& r : t.receptors) {
        const DivisionBox& b = t.boxes[static_cast<size_t>(r.first_box)];
        south.push_back(b.south);
        north.push_back(b.north);
        west.push_back(b.west);
        east.push_back(b.east);
    }
    t.bands.build(south, north, west, east);
}

void index_ceps(CepTables& t) {
    std::vector<float> lat, lon;
    for (const Cep& c : t.ceps) {
        lat.push_back(c.lat);
        lon.push_back(c.lon);
    }
    t.bands.build(lat, lat, lon, lon);
}

}  // namespace orv
