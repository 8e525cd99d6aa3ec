#include "mercury/footprints.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/test_support.hpp"

namespace orv {
namespace {

DivisionBox deg(float west, float east, float south, float north) {
    DivisionBox b;
    b.west = west;
    b.east = east;
    b.south = south;
    b.north = north;
    return b;
}

struct Fixture {
    ReceptorTables receptors;
    CepTables ceps;
    test::TestConsole console;  // before the channels, whose files report to it
    DiagnosticChannels channels;
    std::vector<float> pfrac, cepres;

    Fixture() { initialise_diagnostic_channels(channels, console.out); }
    void add(std::vector<DivisionBox> divisions) {
        add_receptor(receptors, "r", 1, divisions);
        index_receptors(receptors);
        pfrac.assign(receptors.receptors.size(), -99.99f);
    }
    void add_cep(float lat, float lon) {
        ceps.ceps.push_back(Cep{padded_name("c"), 1, lat, lon});
        index_ceps(ceps);
        cepres.assign(ceps.ceps.size(), -1.0f);
    }
    const std::vector<float>& shares(int32_t type, float lat, float lon, float sigma_h) {
        flag_touched_receptors(type, lat, lon, sigma_h, receptors, pfrac, channels);
        return pfrac;
    }
    const std::vector<float>& inside(int32_t type, float lat, float lon, float sigma_h) {
        ceptest(type, lat, lon, sigma_h, ceps, cepres, channels, console.out);
        return cepres;
    }
};

TEST(Footprints, ParticleInsideDivisions) {
    Fixture f;
    f.add({deg(0, 2, 10, 11), deg(1, 3, 10.5f, 12)});  // overlapping divisions
    f.add({deg(20, 21, 10, 11), deg(22, 23, 10, 11)});  // a gap between them
    EXPECT_EQ(f.shares(0, 10.0f, 1.0f, 0.0f), (std::vector<float>{1.0f, 0.0f}));   // on the south edge
    EXPECT_EQ(f.shares(0, 10.7f, 1.5f, 0.0f), (std::vector<float>{1.0f, 0.0f}));   // in both: still 1
    EXPECT_EQ(f.shares(104, 10.5f, 23.0f, 0.0f), (std::vector<float>{0.0f, 1.0f}));  // 104 acts as a particle
    EXPECT_EQ(f.shares(0, 10.5f, 21.5f, 0.0f), (std::vector<float>{0.0f, 0.0f}));  // in the box, not a division
    EXPECT_EQ(f.shares(0, 12.01f, 1.5f, 0.0f), (std::vector<float>{0.0f, 0.0f}));
    EXPECT_EQ(f.shares(0, NAN, 1.5f, 0.0f), (std::vector<float>{0.0f, 0.0f}));
}

TEST(Footprints, TopHatPuffShares) {
    Fixture f;
    f.add({deg(0, 10, 0, 10)});
    f.add({deg(20, 25, 0, 10), deg(25, 30, 0, 10)});  // two halves side by side
    const float sigma = 20000.0f;                     // a square of about 27 km
    for (int32_t type : {2, 4, 140}) {
        std::vector<float> p = f.shares(type, 5.0f, 5.0f, sigma);  // wholly inside
        EXPECT_NEAR(p[0], 1.0f, 1e-5f) << type;
        EXPECT_EQ(p[1], 0.0f);
    }
    // Half across the east edge: the puff and the receptor centre share their
    // latitude, so the edge cuts the square in two.
    EXPECT_NEAR(f.shares(2, 5.0f, 10.0f, sigma)[0], 0.5f, 1e-4f);
    // Across the line between two divisions of one receptor: both halves count.
    EXPECT_NEAR(f.shares(2, 5.0f, 25.0f, sigma)[1], 1.0f, 1e-5f);
    EXPECT_NEAR(f.shares(2, 5.0f, 27.0f, sigma)[1], 1.0f, 1e-5f);
    // Outside, and Gaussian puffs, touch nothing.
    EXPECT_EQ(f.shares(2, 5.0f, 15.0f, sigma), (std::vector<float>{0.0f, 0.0f}));
    EXPECT_EQ(f.shares(1, 5.0f, 5.0f, sigma), (std::vector<float>{0.0f, 0.0f}));
    EXPECT_EQ(f.shares(130, 5.0f, 5.0f, sigma), (std::vector<float>{0.0f, 0.0f}));
    // A puff larger than the receptor: its share is the receptor's part.
    const float big = 1.0e6f;
    const float s = 0.5f * std::sqrt(3.141593f * (2 * 1.54f * big / 1000) * (2 * 1.54f * big / 1000) / 16);
    const float area = f.receptors.receptor(1).area_km2;
    EXPECT_NEAR(f.shares(4, 5.0f, 5.0f, big)[0], area / (4 * s * s), 1e-3f * area / (4 * s * s));
}

TEST(Footprints, CepsOnAndOutsideTheRadius) {
    Fixture f;
    f.add_cep(50.5f, 10.0f);
    f.add_cep(50.0f, 11.0f);
    // Find the smallest sigma_h whose radius reaches the first cep, due north.
    const float y = std::fabs(50.0f - 50.5f) * 111.17748f;
    float sigma = y * 1000.0f / 1.54f;
    while (2.0f * 1.54f * sigma / 1000.0f / 2.0f < y) sigma = std::nextafter(sigma, INFINITY);
    while (2.0f * 1.54f * std::nextafter(sigma, 0.0f) / 1000.0f / 2.0f >= y) sigma = std::nextafter(sigma, 0.0f);
    EXPECT_EQ(f.inside(2, 50.0f, 10.0f, sigma), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(f.inside(1, 50.0f, 10.0f, std::nextafter(sigma, 0.0f)), (std::vector<float>{0.0f, 0.0f}));

    // East-west distances use the cosine of the exact mid-latitude.
    const float x = 1.0f * std::cos(50.0f * 3.14159265f / 180.0f) * (40023.895f / 360.0f);
    EXPECT_EQ(f.inside(3, 50.0f, 10.0f, x * 1000.0f / 1.54f * 1.0001f)[1], 1.0f);
    EXPECT_EQ(f.inside(3, 50.0f, 10.0f, x * 1000.0f / 1.54f * 0.9999f)[1], 0.0f);

    std::vector<float> p = f.inside(103, 50.5f, 10.0f, 1.0e6f);
    EXPECT_EQ(f.console.text(), " ceptest invalid with dispersion method\n");
    EXPECT_EQ(p, (std::vector<float>{0.0f, 0.0f}));
}

// The shares straight from their definition, scanning every receptor.
std::vector<float> full_scan_shares(int32_t type, float lat, float lon, float sigma_h, const ReceptorTables& t) {
    std::vector<float> p(t.receptors.size(), 0.0f);
    const float D = 2.0f * 1.54f * sigma_h / 1000.0f;
    const float s = 0.5f * std::sqrt(3.141593f * D * D * 0.0625f);
    for (int32_t r = 1; r <= t.receptor_count(); ++r) {
        const Receptor& rc = t.receptor(r);
        const DivisionBox& b0 = t.box(r, 0);
        float& out = p[static_cast<size_t>(r - 1)];
        if (type == 0) {
            if (lat < b0.south || lat > b0.north || lon < b0.west || lon > b0.east) continue;
            for (int32_t d = 1; d <= rc.division_count && out == 0.0f; ++d) {
                const DivisionBox& b = t.box(r, d);
                if (b.south <= lat && lat <= b.north && b.west <= lon && lon <= b.east) out = 1.0f;
            }
        } else {
            const float dy = (lat - rc.centre_lat) * 111.17748f;
            const float dx = (lon - rc.centre_lon) * (40023.895f / 360.0f) *
                             std::cos(((lat + rc.centre_lat) / 2.0f) * (3.14159265f / 180.0f));
            for (int32_t d = 1; d <= rc.division_count; ++d) {
                const DivisionBox& b = t.box(r, d);
                const float oy = std::min(b.y_north, dy + s) - std::max(b.y_south, dy - s);
                const float ox = std::min(b.x_east, dx + s) - std::max(b.x_west, dx - s);
                if (oy > 0.0f && ox > 0.0f) out += oy * ox / (4.0f * s * s);
            }
        }
    }
    return p;
}

std::vector<float> full_scan_ceps(float lat, float lon, float sigma_h, const CepTables& t) {
    std::vector<float> p;
    for (const Cep& c : t.ceps) {
        const float m = (lat + c.lat) / 2.0f;
        const float x = std::fabs(c.lon - lon) * std::cos(m * (3.14159265f / 180.0f)) * (40023.895f / 360.0f);
        const float y = std::fabs(lat - c.lat) * 111.17748f;
        p.push_back(std::sqrt(x * x + y * y) <= 2.0f * 1.54f * sigma_h / 1000.0f / 2.0f ? 1.0f : 0.0f);
    }
    return p;
}

// The latitude band index must give what a scan of every receptor and cep gives.
TEST(Footprints, BandIndexMatchesFullScan) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> lat(-88.0f, 88.0f), lon(-170.0f, 170.0f), size(0.05f, 4.0f),
        unit(0.0f, 1.0f);
    Fixture f;
    std::vector<DivisionBox> divs;
    for (int r = 0; r < 400; ++r) {
        divs.clear();
        const float la = lat(gen), lo = lon(gen);
        const int n = 1 + static_cast<int>(unit(gen) * 3.0f);
        for (int d = 0; d < n; ++d) {
            const float w = lo + size(gen) * (unit(gen) - 0.5f), s = la + size(gen) * (unit(gen) - 0.5f);
            divs.push_back(deg(w, w + size(gen), s, std::min(s + size(gen), 89.9f)));
        }
        add_receptor(f.receptors, "r", 1, divs);
    }
    index_receptors(f.receptors);
    for (int c = 0; c < 500; ++c) f.ceps.ceps.push_back(Cep{"c", 1, lat(gen), lon(gen)});
    index_ceps(f.ceps);
    f.pfrac.assign(400, 0.0f);
    f.cepres.assign(500, 0.0f);

    int touched = 0, reached = 0;
    for (int i = 0; i < 20000; ++i) {
        // Near a receptor or a cep, with spreads from 100 m to 300 km.
        const bool at_cep = i % 2 == 1;
        float la, lo;
        if (at_cep) {
            const Cep& c = f.ceps.ceps[static_cast<size_t>(i) % 500];
            la = c.lat + (unit(gen) - 0.5f) * 2.0f;
            lo = c.lon + (unit(gen) - 0.5f) * 2.0f;
        } else {
            const Receptor& rc = f.receptors.receptors[static_cast<size_t>(i) % 400];
            la = rc.centre_lat + (unit(gen) - 0.5f) * 3.0f;
            lo = rc.centre_lon + (unit(gen) - 0.5f) * 3.0f;
        }
        const float sigma = 100.0f * std::pow(3000.0f, unit(gen));
        const int32_t type = (i % 3) * 2;  // 0, 2, 4
        const std::vector<float> expected = full_scan_shares(type, la, lo, sigma, f.receptors);
        ASSERT_EQ(f.shares(type, la, lo, sigma), expected) << i;
        for (float v : expected) touched += v > 0.0f;
        const std::vector<float> cep_expected = full_scan_ceps(la, lo, sigma, f.ceps);
        ASSERT_EQ(f.inside(2, la, lo, sigma), cep_expected) << i;
        for (float v : cep_expected) reached += v > 0.0f;
    }
    // The cases reach plenty of receptors and ceps.
    EXPECT_GT(touched, 5000);
    EXPECT_GT(reached, 3000);
}

TEST(Footprints, SampledDumps) {
    test::ScratchDir dir;
    Fixture f;
    f.add({deg(0, 10, 0, 10)});
    f.add_cep(5.0f, 5.0f);
    f.channels.channel_probability[1] = 1.0f;  // fires in about half of the calls
    const int calls = 400;
    for (int i = 0; i < calls; ++i) {
        f.shares(2, 5.0f, 5.0f, 1000.0f);
        f.inside(2, 5.0f, 5.0f, 1000.0f);
    }
    f.channels.close_all();
    const std::string dump = test::read_file("fort.2001");
    const auto headers = std::count(dump.begin(), dump.end(), '\n') / 2;  // a header and one receptor per dump
    EXPECT_EQ(f.channels.nwrite[1], headers);
    EXPECT_GT(headers, calls / 2 - 60);
    EXPECT_LT(headers, calls / 2 + 60);
    EXPECT_FALSE(std::filesystem::exists("fort.2003"));  // channel 3 stays off
}

}  // namespace
}  // namespace orv
