#include "mercury/footprints.hpp"

#include <algorithm>
#include <cmath>

#include "common/math_constants.hpp"
#include "run/particle_types.hpp"

namespace orv {

namespace {

constexpr int32_t kReceptorChannel = 1;
constexpr int32_t kCepChannel = 3;

// The footprint diameter of a puff, km.
float footprint_diameter(float sigma_h) { return 2.0f * kTopHat * sigma_h / 1000.0f; }

// A latitude reach (degrees) widened for rounding, so that the band index
// never misses an item the exact test would take.
float widened(float reach_deg) { return reach_deg + 0.01f + reach_deg * 1.0e-5f; }

void particle_shares(float lat, float lon, const ReceptorTables& t, std::span<float> pfrac) {
    const size_t n = std::min(pfrac.size(), t.receptors.size());
    t.bands.for_each_near(lat, lat, [&](const LatitudeBands::Member& m) {
        // The bounding box, as listed in the band.
        if (lat < m.south || lat > m.north || lon < m.west || lon > m.east) return;
        const size_t i = static_cast<size_t>(m.item);
        if (i >= n) return;
        const Receptor& rc = t.receptors[i];
        const DivisionBox* b = &t.boxes[static_cast<size_t>(rc.first_box)];
        for (int32_t d = 1; d <= rc.division_count; ++d) {
            if (b[d].south <= lat && lat <= b[d].north && b[d].west <= lon && lon <= b[d].east) {
                pfrac[i] = 1.0f;
                return;
            }
        }
    });
}

void top_hat_shares(float lat, float lon, float sigma_h, const ReceptorTables& t, std::span<float> pfrac) {
    const size_t n = std::min(pfrac.size(), t.receptors.size());
    const float diameter = footprint_diameter(sigma_h);
    // Half the side of the square with the area of the footprint disc.
    const float s = 0.5f * std::sqrt(kFootprintPi * diameter * diameter * 0.0625f);
    const float square = 4.0f * s * s;
    const float reach = widened(s / kKmPerDegreeLat);
    const float cos_abs_lat = std::cos(std::fabs(lat) * kDegToRadF);
    t.bands.for_each_near(lat - reach, lat + reach, [&](const LatitudeBands::Member& m) {
        // The divisions lie half a degree inside the bounding box: a square
        // that misses the box's latitudes by more than the rounding cannot
        // reach them.
        if (lat + reach < m.south || lat - reach > m.north) return;
        const size_t i = static_cast<size_t>(m.item);
        if (i >= n) return;
        const Receptor& rc = t.receptors[i];
        if (rc.division_count < 1) return;
        // The cosine of the mean latitude is at least the smaller of the two
        // latitudes' cosines (both within 90 degrees): a puff too far east or
        // west even at that scale needs no cosine of its own.
        const float scale = std::min(cos_abs_lat, rc.cos_abs_centre_lat) * kKmPerDegreeLon;
        if (std::fabs(lon - rc.centre_lon) * scale > (s + rc.box_half_width_km) * 1.0001f + 0.01f) return;
        const DivisionBox* b = &t.boxes[static_cast<size_t>(rc.first_box)];
        const float dy = (lat - rc.centre_lat) * kKmPerDegreeLat;
        if (dy + s < b[0].y_south || dy - s > b[0].y_north) return;
        const float dx =
            (lon - rc.centre_lon) * kKmPerDegreeLon * std::cos(((lat + rc.centre_lat) / 2.0f) * kDegToRadF);
        if (dx + s < b[0].x_west || dx - s > b[0].x_east) return;
        float share = 0.0f;
        for (int32_t d = 1; d <= rc.division_count; ++d) {
            const float oy = std::min(b[d].y_north, dy + s) - std::max(b[d].y_south, dy - s);
            const float ox = std::min(b[d].x_east, dx + s) - std::max(b[d].x_west, dx - s);
            if (oy > 0.0f && ox > 0.0f) share += oy * ox / square;
        }
        pfrac[i] = share;
    });
}

void dump_receptor_shares(DiagnosticChannels& ch, int32_t type, float lat, float lon, float sigma_h,
                          std::span<const float> pfrac) {
    TextOut* out = ch.dump_file(kReceptorChannel);
    if (!out) return;
    int32_t touched = 0;
    for (float f : pfrac) touched += f != 0.0f ? 1 : 0;
    dump_line(out, "flag_touched_receptors type, lat, lon, sigma_h, touched: ", type, lat, lon, sigma_h, touched);
    for (size_t r = 0; r < pfrac.size(); ++r)
        if (pfrac[r] != 0.0f) dump_line(out, static_cast<int32_t>(r + 1), pfrac[r]);
    ++ch.nwrite[kReceptorChannel];
}

// The distance of a cep from the puff, with its intermediate values.
struct CepDistance {
    float mid_lat, km_per_deg_lon, x, y, distance;
};

CepDistance cep_distance(float lat, float lon, const Cep& c) {
    CepDistance d;
    d.mid_lat = (lat + c.lat) / 2.0f;
    d.km_per_deg_lon = std::cos(d.mid_lat * kDegToRadF) * kKmPerDegreeLon;
    d.x = std::fabs(c.lon - lon) * std::cos(d.mid_lat * kDegToRadF) * kKmPerDegreeLon;
    d.y = std::fabs(lat - c.lat) * kKmPerDegreeLat;
    d.distance = std::sqrt(d.x * d.x + d.y * d.y);
    return d;
}

void dump_ceps(DiagnosticChannels& ch, float lat, float lon, float sigma_h, const CepTables& t,
               std::span<const float> cepres) {
    TextOut* out = ch.dump_file(kCepChannel);
    if (!out) return;
    const float diameter = footprint_diameter(sigma_h);
    const size_t n = std::min(cepres.size(), t.ceps.size());
    for (size_t i = 0; i < n; ++i) {
        const Cep& c = t.ceps[i];
        const CepDistance d = cep_distance(lat, lon, c);
        dump_line(out, static_cast<int32_t>(i + 1), cepres[i], lat, c.lat, lon, c.lon, d.mid_lat, d.km_per_deg_lon,
                  d.x, d.y, d.distance, sigma_h, diameter);
        ++ch.nwrite[kCepChannel];
    }
}

}  // namespace

void flag_touched_receptors(int32_t hdwp, float lat, float lon, float sigma_h, const ReceptorTables& tables,
                            std::span<float> pfrac, DiagnosticChannels& channels) {
    channels.draw_channels({kReceptorChannel});
    std::fill(pfrac.begin(), pfrac.end(), 0.0f);
    const int32_t type = distribution_mode(hdwp);
    // A position or spread that is not a number touches nothing.
    if (!std::isnan(lat) && !std::isnan(lon) && !std::isnan(sigma_h)) {
        if (type == kParticle)
            particle_shares(lat, lon, tables, pfrac);
        else if (type == kTopHatPuff || type == kTopHatHorizontalPuff)
            top_hat_shares(lat, lon, sigma_h, tables, pfrac);
    }
    if (channels.fires(kReceptorChannel)) dump_receptor_shares(channels, type, lat, lon, sigma_h, pfrac);
}

void ceptest(int32_t hdwp, float lat, float lon, float sigma_h, const CepTables& tables, std::span<float> cepres,
             DiagnosticChannels& channels, TextOut& console) {
    channels.draw_channels({kCepChannel});
    std::fill(cepres.begin(), cepres.end(), 0.0f);
    if (distribution_mode(hdwp) == kParticle) {
        console.list("ceptest invalid with dispersion method");
        return;
    }
    if (!std::isnan(lat) && !std::isnan(lon) && !std::isnan(sigma_h)) {
        const float half = footprint_diameter(sigma_h) / 2.0f;
        const size_t n = std::min(cepres.size(), tables.ceps.size());
        const float reach = widened(half / kKmPerDegreeLat);
        tables.bands.for_each_near(lat - reach, lat + reach, [&](const LatitudeBands::Member& m) {
            // The distance is never below its north-south part (unless that
            // part is too small to square), so a cep too far north or south
            // needs no cosine.
            const float y = std::fabs(lat - m.south) * kKmPerDegreeLat;
            if (y > half && y > 1.0e-15f) return;
            const size_t i = static_cast<size_t>(m.item);
            if (i >= n) return;
            cepres[i] = cep_distance(lat, lon, tables.ceps[i]).distance <= half ? 1.0f : 0.0f;
        });
    }
    if (channels.fires(kCepChannel)) dump_ceps(channels, lat, lon, sigma_h, tables, cepres);
}

}  // namespace orv
