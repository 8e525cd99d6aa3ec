// The binary outputs of a run read back by a reader written from the "Binary
// layouts" tables of docs/outputs.md alone: the example, run for 6 hours with
// each form of concentration record, must give a cdump and a PARDUMP that such
// a reader parses to the last byte, with counts that agree and values that
// make sense.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_support.hpp"

namespace orv {
namespace {

// A record's data, read field by field. Reading past the end marks the
// record short instead of reading on.
class Fields {
public:
    explicit Fields(const std::string& data) : data_(data) {}
    int32_t i4() { return static_cast<int32_t>(take(4)); }
    int16_t i2() { return static_cast<int16_t>(static_cast<uint16_t>(take(2))); }
    float r4() { return std::bit_cast<float>(static_cast<uint32_t>(take(4))); }
    std::string c4() {
        if (!has(4)) return "";
        pos_ += 4;
        return data_.substr(pos_ - 4, 4);
    }
    // Every byte read and none missing.
    bool exact() const { return !short_ && pos_ == data_.size(); }
    bool at_end() const { return short_ || pos_ == data_.size(); }
    size_t size() const { return data_.size(); }

private:
    bool has(size_t n) {
        if (data_.size() - pos_ < n) short_ = true;
        return !short_;
    }
    uint32_t take(size_t n) {
        if (!has(n)) return 0;
        uint32_t v = 0;
        for (size_t k = 0; k < n; ++k) v = (v << 8) | static_cast<uint8_t>(data_[pos_++]);
        return v;
    }
    const std::string& data_;
    size_t pos_ = 0;
    bool short_ = false;
};

// The records of a file: a big-endian byte count, the data, the same count.
// A count that disagrees or runs past the end fails the test; the last
// record must end at the file's last byte.
std::vector<std::string> records_of(const std::string& path) {
    const std::string bytes = test::read_file(path);
    std::vector<std::string> out;
    size_t pos = 0;
    auto count_at = [&](size_t at) {
        uint32_t n = 0;
        for (size_t k = 0; k < 4; ++k) n = (n << 8) | static_cast<uint8_t>(bytes[at + k]);
        return n;
    };
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 8) {
            ADD_FAILURE() << path << ": " << bytes.size() - pos << " bytes after record " << out.size();
            return out;
        }
        const uint32_t n = count_at(pos);
        if (n > bytes.size() - pos - 8 || count_at(pos + 4 + n) != n) {
            ADD_FAILURE() << path << ": record " << out.size() + 1 << " of " << n
                          << " bytes is not closed by its count";
            return out;
        }
        out.push_back(bytes.substr(pos + 4, n));
        pos += 8 + n;
    }
    return out;
}

// One concentration grid as cdump's header gives it, and its values of the
// first level of pollutant 1 (HG0) in the last period, by (i, j).
struct Concentrations {
    int32_t nlat = 0, nlon = 0;
    float lat0 = 0, lon0 = 0;
    int32_t periods = 0;
    std::map<std::pair<int32_t, int32_t>, float> hg0;  // non-zero values only
};

Concentrations read_cdump(const std::string& path, int32_t cpack) {
    Concentrations c;
    const std::vector<std::string> rec = records_of(path);
    size_t k = 0;
    auto next = [&]() -> Fields {
        static const std::string none;
        if (k < rec.size()) return Fields(rec[k++]);
        ADD_FAILURE() << path << ": ends after " << rec.size() << " records";
        return Fields(none);
    };

    Fields r1 = next();
    EXPECT_EQ(r1.c4().size(), 4u);
    const int32_t year = r1.i4(), month = r1.i4(), day = r1.i4(), hour = r1.i4();
    r1.i4();  // forecast hour
    EXPECT_EQ(std::vector<int32_t>({year, month, day, hour}), std::vector<int32_t>({24, 1, 1, 0}));
    const int32_t locations = r1.i4();
    EXPECT_EQ(locations, 1);
    EXPECT_EQ(r1.i4(), cpack);
    EXPECT_TRUE(r1.exact()) << "record 1: " << r1.size() << " bytes";
    for (int32_t l = 0; l < locations && k < rec.size(); ++l) {
        Fields r2 = next();
        EXPECT_EQ(std::vector<int32_t>({r2.i4(), r2.i4(), r2.i4(), r2.i4()}), std::vector<int32_t>({24, 1, 1, 0}));
        EXPECT_EQ(r2.r4(), 40.0f);  // the source at 40N 90W, 50 m up
        EXPECT_EQ(r2.r4(), -90.0f);
        EXPECT_EQ(r2.r4(), 50.0f);
        EXPECT_EQ(r2.i4(), 0);
        EXPECT_TRUE(r2.exact()) << "record 2: " << r2.size() << " bytes";
    }
    Fields r3 = next();
    c.nlat = r3.i4();
    c.nlon = r3.i4();
    const float dlat = r3.r4(), dlon = r3.r4();
    c.lat0 = r3.r4();
    c.lon0 = r3.r4();
    EXPECT_TRUE(r3.exact()) << "record 3: " << r3.size() << " bytes";
    EXPECT_FLOAT_EQ(dlat, 0.1f);
    EXPECT_FLOAT_EQ(dlon, 0.1f);
    if (cpack == 2) {
        // One point, at the grid's centre; no corner in the header.
        EXPECT_EQ(c.nlat, 1);
        EXPECT_EQ(c.nlon, 1);
        EXPECT_EQ(c.lat0, 0.0f);
        EXPECT_EQ(c.lon0, 0.0f);
    } else {
        // 35N to 45N, 95W to 80W.
        EXPECT_FLOAT_EQ(c.lat0, 35.0f);
        EXPECT_FLOAT_EQ(c.lon0, -95.0f);
        EXPECT_NEAR(c.lat0 + dlat * static_cast<float>(c.nlat - 1), 45.0f, 1e-3f);
        EXPECT_NEAR(c.lon0 + dlon * static_cast<float>(c.nlon - 1), -80.0f, 1e-3f);
    }
    Fields r4 = next();
    const int32_t levels = r4.i4();
    std::vector<int32_t> heights;
    for (int32_t l = 0; l < levels && !r4.at_end(); ++l) heights.push_back(r4.i4());
    EXPECT_TRUE(r4.exact()) << "record 4: " << r4.size() << " bytes for " << levels << " levels";
    EXPECT_EQ(heights, std::vector<int32_t>{100});
    Fields r5 = next();
    const int32_t pollutants = r5.i4();
    std::vector<std::string> ids;
    for (int32_t p = 0; p < pollutants && !r5.at_end(); ++p) ids.push_back(r5.c4());
    EXPECT_TRUE(r5.exact()) << "record 5: " << r5.size() << " bytes for " << pollutants << " pollutants";
    EXPECT_EQ(ids, (std::vector<std::string>{"HG0 ", "HG2 ", "HG2X", "HGP "}));
    if (::testing::Test::HasFailure()) return c;

    while (k < rec.size()) {
        Fields start = next(), end = next();
        std::vector<int32_t> s, e;
        for (int32_t w = 0; w < 6; ++w) {
            s.push_back(start.i4());
            e.push_back(end.i4());
        }
        EXPECT_TRUE(start.exact() && end.exact()) << "period " << c.periods + 1;
        ++c.periods;
        EXPECT_EQ(std::vector<int32_t>(s.begin(), s.begin() + 5),
                  std::vector<int32_t>({24, 1, 1, 6 * c.periods - 6, 0}));
        EXPECT_EQ(std::vector<int32_t>(e.begin(), e.begin() + 5), std::vector<int32_t>({24, 1, 1, 6 * c.periods, 0}));
        c.hg0.clear();
        for (int32_t p = 0; p < pollutants; ++p) {
            for (int32_t l = 0; l < levels; ++l) {
                Fields d = next();
                EXPECT_EQ(d.c4(), ids[static_cast<size_t>(p)]);
                EXPECT_EQ(d.i4(), heights[static_cast<size_t>(l)]);
                auto keep = [&](int32_t i, int32_t j, float v) {
                    if (!(std::isfinite(v) && v >= 0.0f))
                        ADD_FAILURE() << ids[static_cast<size_t>(p)] << " at " << i << " " << j << ": " << v;
                    if (p == 0 && l == 0 && v != 0.0f) c.hg0[{i, j}] = v;
                };
                if (cpack == 0) {
                    for (int32_t j = 1; j <= c.nlat; ++j)
                        for (int32_t i = 1; i <= c.nlon; ++i) keep(i, j, d.r4());
                } else if (cpack == 1) {
                    const int32_t n = d.i4();
                    EXPECT_TRUE(n >= 0 && n <= c.nlat * c.nlon) << n;
                    std::pair<int32_t, int32_t> last{0, 0};  // (j, i): j outer, i inner
                    for (int32_t q = 0; q < n && !d.at_end(); ++q) {
                        const int32_t i = d.i2(), j = d.i2();
                        const float v = d.r4();
                        if (!(i >= 1 && i <= c.nlon && j >= 1 && j <= c.nlat) || !(last < std::make_pair(j, i)) ||
                            v == 0.0f)
                            ADD_FAILURE() << "point " << q + 1 << " of " << n << ": " << i << " " << j << " " << v;
                        last = {j, i};
                        keep(i, j, v);
                    }
                } else {
                    const int32_t grids = d.i4();
                    EXPECT_EQ(grids, 1);
                    for (int32_t g = 0; g < grids && !d.at_end(); ++g) {
                        EXPECT_FLOAT_EQ(d.r4(), -87.5f);  // the centre of 35N-45N, 95W-80W
                        EXPECT_FLOAT_EQ(d.r4(), 40.0f);
                        keep(1, 1, d.r4());
                    }
                }
                EXPECT_TRUE(d.exact()) << ids[static_cast<size_t>(p)] << " level " << l + 1 << ": " << d.size()
                                       << " bytes";
                if (::testing::Test::HasFailure()) return c;
            }
        }
    }
    return c;
}

// Checks every group of a particle dump; returns the hours of the groups.
std::vector<int32_t> read_pardump(const std::string& path) {
    const std::vector<std::string> rec = records_of(path);
    std::vector<int32_t> hours;
    size_t k = 0;
    while (k < rec.size()) {
        Fields h(rec[k++]);
        const int32_t n = h.i4(), pollutants = h.i4(), year = h.i4(), month = h.i4(), day = h.i4(), hour = h.i4();
        EXPECT_TRUE(h.exact()) << "header " << hours.size() + 1 << ": " << h.size() << " bytes";
        EXPECT_EQ(std::vector<int32_t>({year, month, day}), std::vector<int32_t>({24, 1, 1}));
        EXPECT_EQ(pollutants, 4);
        EXPECT_GT(n, 0);
        hours.push_back(hour);
        if (rec.size() - k < 3 * static_cast<size_t>(std::max(n, 0))) {
            ADD_FAILURE() << "group of hour " << hour << ": " << n << " particles, " << rec.size() - k
                          << " records left";
            return hours;
        }
        double total = 0.0;
        for (int32_t q = 0; q < n; ++q) {
            Fields mass(rec[k++]), position(rec[k++]), state(rec[k++]);
            for (int32_t p = 0; p < pollutants; ++p) {
                const float m = mass.r4();
                if (!(std::isfinite(m) && m >= 0.0f)) ADD_FAILURE() << "particle " << q + 1 << ": mass " << m;
                total += m;
            }
            const float lat = position.r4(), lon = position.r4(), height = position.r4();
            const float sigma_h = position.r4(), sigma_z = position.r4(), turbulence = position.r4();
            const int32_t age = state.i4(), type = state.i4(), pollutant = state.i4(), grid = state.i4();
            state.i4();  // sort key
            if (!(mass.exact() && position.exact() && state.exact()))
                ADD_FAILURE() << "particle " << q + 1 << " of hour " << hour << ": " << mass.size() << ", "
                              << position.size() << " and " << state.size() << " bytes";
            // Released from hour 0 on: no puff is older than the dump.
            const bool sound = lat >= -90.0f && lat <= 90.0f && lon >= -180.0f && lon <= 180.0f && height >= 0.0f &&
                               height < 1.0e5f && sigma_h >= 0.0f && sigma_h < 1.0e7f && sigma_z >= 0.0f &&
                               sigma_z <= 1.0f && std::isfinite(turbulence) && age != 0 && std::abs(age) <= 60 * hour &&
                               type > 0 && pollutant >= 1 && pollutant <= pollutants &&
                               (grid == 1 || (grid == 0 && lat == 0.0f && lon == 0.0f));
            if (!sound)
                ADD_FAILURE() << "particle " << q + 1 << " of hour " << hour << ": " << lat << " " << lon << " "
                              << height << " m, spreads " << sigma_h << " " << sigma_z << ", velocity " << turbulence
                              << ", age " << age << ", type " << type << ", pollutant " << pollutant << ", grid "
                              << grid;
            if (::testing::Test::HasFailure()) return hours;
        }
        // The hour's release of 1.3 g, less what has deposited.
        EXPECT_GT(total, 0.5) << "hour " << hour;
        EXPECT_LE(total, 1.3 * 1.0001) << "hour " << hour;
    }
    return hours;
}

int run(const std::string& command) {
    const int status = std::system((command + " > console.txt 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OutputLayout, EveryRecordOfTheExampleOutputsReadsAsTheReadmeTablesSay) {
    test::ScratchDir dir;
    ASSERT_EQ(run(std::string(ORVFIXTURE_PATH) + " --hours 6 example"), 0) << test::read_file("console.txt");
    std::filesystem::current_path("example/run");
    std::map<int32_t, Concentrations> by_cpack;
    for (int32_t cpack : {0, 1, 2}) {
        SCOPED_TRACE("CPACK " + std::to_string(cpack));
        // Top-hat puffs and the fixed step as in the example, dumps at hours 3 and 6.
        test::write_file("SETUP.CFG",
                         " &SETUP\n initd = 2,\n maxdim = 4,\n numpar = 100,\n maxpar = 30000,\n"
                         " delt = 10,\n ndump = 3,\n ncycl = 3,\n cpack = " +
                             std::to_string(cpack) + ",\n /\n");
        ASSERT_EQ(run(ORVCALC_PATH), 0) << test::read_file("console.txt");
        const Concentrations c = read_cdump("cdump", cpack);
        EXPECT_EQ(c.periods, 1);
        EXPECT_EQ(read_pardump("PARDUMP"), (std::vector<int32_t>{3, 6}));
        if (::testing::Test::HasFailure()) return;
        by_cpack[cpack] = c;
    }
    // The full and the packed grid hold the same values at the same points.
    EXPECT_GT(by_cpack[1].hg0.size(), 10u);
    EXPECT_TRUE(by_cpack[0].hg0 == by_cpack[1].hg0);
}

}  // namespace
}  // namespace orv
