// The global oxidant grid, its standard atmosphere, and loading the monthly
// oxidant files written by the fixture generator.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "common/run_stop.hpp"
#include "mercury/global_oxidants.hpp"
#include "tests/test_support.hpp"
#include "tools/oxidant_writer.hpp"

namespace orv {
namespace {

// Geometric height (m) of a pressure (hPa) in the US Standard Atmosphere 1976.
double standard_atmosphere_1976_height(double p_hpa) {
    struct Layer { double h0, lapse; };  // base geopotential height (m), K per m
    const Layer layers[] = {{0, -0.0065}, {11000, 0}, {20000, 0.001}, {32000, 0.0028}, {47000, 0}, {51000, -0.0028}};
    const double g0 = 9.80665, r = 287.053, r_earth = 6356766.0;
    double t = 288.15, p = 1013.25, h = 0.0;
    for (size_t n = 0; n < std::size(layers); ++n) {
        const double top = n + 1 < std::size(layers) ? layers[n + 1].h0 : 71000.0;
        const double lapse = layers[n].lapse;
        const double t_top = t + lapse * (top - layers[n].h0);
        const double p_top = lapse == 0 ? p * std::exp(-g0 * (top - layers[n].h0) / (r * t))
                                        : p * std::pow(t_top / t, -g0 / (r * lapse));
        if (p_hpa >= p_top) {
            h = lapse == 0 ? layers[n].h0 + r * t / g0 * std::log(p / p_hpa)
                           : layers[n].h0 + t / lapse * (std::pow(p_hpa / p, -r * lapse / g0) - 1.0);
            break;
        }
        t = t_top;
        p = p_top;
    }
    return r_earth * h / (r_earth - h);
}

TEST(GlobalChemGrid, LevelHeightsFollowTheStandardAtmosphere) {
    GlobalChemGrid g;
    set_up_global_chemistry_grid(g);
    for (int k = 0; k < GlobalChemGrid::kNlev; ++k) {
        const double expected = standard_atmosphere_1976_height(kGlobalChemPressures[k]);
        EXPECT_NEAR(g.level_heights[k], expected, 0.05 * expected) << "level " << k + 1;
        if (k > 0) {
            EXPECT_LT(g.level_heights[k], g.level_heights[k - 1]);
        }
    }
    EXPECT_NEAR(g.level_heights[0], 37486.6f, 0.5f);
    EXPECT_NEAR(g.level_heights[33], 175.1f, 0.1f);
}

TEST(GlobalChemGrid, AxesRunAsStoredAndLongitudesWrapAtTheDateLine) {
    GlobalChemGrid g;
    set_up_global_chemistry_grid(g);
    EXPECT_FLOAT_EQ(g.latitudes[0], -90.0f);
    EXPECT_NEAR(g.latitudes[63], 90.0f, 1e-4f);
    EXPECT_FLOAT_EQ(g.longitudes[0], 0.0f);
    EXPECT_FLOAT_EQ(g.longitudes[64], 180.0f);
    EXPECT_FLOAT_EQ(g.longitudes[65], -177.1875f);
    EXPECT_FLOAT_EQ(g.longitudes[127], -2.8125f);
    EXPECT_EQ(g.ozone.size(), static_cast<size_t>(GlobalChemGrid::kPoints));
    EXPECT_EQ(g.k_global_data_month, 0);
}

TEST(StandardAtmosphere, BranchesSwitchWhereStated) {
    StandardAtmospherePoint p;
    p.height = 3000.0f;
    convert_height_and_pressure(1, p);
    EXPECT_NEAR(p.ratio, 0.70222f, 1e-5f);
    EXPECT_NEAR(p.pressure_hpa, 1013.25f * p.ratio, 1e-3f);
    EXPECT_NEAR(p.pressure_pa, 101325.0f * p.ratio, 0.1f);
    p.height = 3000.001f;
    convert_height_and_pressure(1, p);
    EXPECT_NEAR(p.pressure_hpa, std::exp((3000.001f - 47267.355f) / -6738.21f), 1e-3f);
    EXPECT_NEAR(p.pressure_pa, 100.0f * p.pressure_hpa, 0.01f);

    // Ratio 0.692 takes the upper formula, just above it the exponential one.
    p.ratio = 0.692f;
    convert_height_and_pressure(2, p);
    EXPECT_NEAR(p.height, std::log(1013.25f * 0.692f) * -6738.21f + 47267.355f, 0.01f);
    p.ratio = 0.6921f;
    convert_height_and_pressure(2, p);
    EXPECT_NEAR(p.height, 8486.396f * std::log(1.0f / 0.6921f), 0.01f);

    // Any other mode leaves everything as it was.
    StandardAtmospherePoint q{1.0f, 2.0f, 3.0f, 4.0f};
    convert_height_and_pressure(0, q);
    convert_height_and_pressure(3, q);
    EXPECT_EQ(q.height, 1.0f);
    EXPECT_EQ(q.ratio, 2.0f);
    EXPECT_EQ(q.pressure_hpa, 3.0f);
    EXPECT_EQ(q.pressure_pa, 4.0f);
}

TEST(OxidantFiles, NamesFollowTheMonth) {
    EXPECT_EQ(oxidant_file_name(OxidantKind::Ozone, 1), "ox-jan.dat");
    EXPECT_EQ(oxidant_file_name(OxidantKind::So2, 7), "so2-jul.dat");
    EXPECT_EQ(oxidant_file_name(OxidantKind::Soot, 12), "bc2-dec.dat");
    EXPECT_EQ(fixture::oxidant_record(357.1875f, -87.142857f, 3, 30.0), " 357.19 -87.14  3  0.300000E+02");
}

// One month written once for the whole suite; tests that need broken files
// copy it.
class OxidantLoad : public ::testing::Test {
protected:
    static inline std::filesystem::path month_dir;
    static void SetUpTestSuite() {
        month_dir = std::filesystem::temp_directory_path() / ("orv_oxidants_" + std::to_string(::getpid()));
        fixture::OxidantMonth m;
        m.ozone.base = 20.0;
        m.ozone.per_lon = 0.01;
        m.ozone.per_lat = 0.1;
        m.ozone.per_level = 0.5;
        m.so2 = fixture::OxidantField::constant(2.0);
        m.soot.custom = [](float, float lat, int32_t level) { return level * 1000.0 + (lat + 90.0); };
        fixture::write_oxidant_month(month_dir.string(), 3, m);
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(month_dir, ec);
    }

    GlobalChemGrid grid;
    std::string console;
    void SetUp() override { set_up_global_chemistry_grid(grid); }

    // Loads month 3 from `dir`; returns the stop code (0 when it returned).
    int32_t load(const std::string& dir, int32_t month = 3) {
        test::TestConsole cap;
        int32_t code = 0;
        try {
            get_global_conc(grid, month, dir, cap.out);
        } catch (const RunStop& s) {
            code = s.code();
        }
        console = cap.text();
        return code;
    }

    // A copy of the month in a scratch directory, with `edit` applied to one file.
    template <typename Edit>
    std::string broken_copy(const test::ScratchDir& scratch, const std::string& name, Edit edit) {
        for (const auto& e : std::filesystem::directory_iterator(month_dir))
            std::filesystem::copy_file(e.path(), scratch.path() / e.path().filename());
        std::string text = test::read_file((scratch.path() / name).string());
        edit(text);
        test::write_file((scratch.path() / name).string(), text);
        return scratch.path().string() + "/";
    }
};

TEST_F(OxidantLoad, ValuesLandOnTheirGridPoints) {
    ASSERT_EQ(load(month_dir.string() + "/"), 0) << console;
    EXPECT_EQ(grid.k_global_data_month, 3);
    for (int32_t k : {1, 17, 34})
        for (int32_t j : {1, 33, 64})
            for (int32_t i : {1, 65, 128}) {
                const float lon = (i - 1) * 2.8125f, lat = -90.0f + (j - 1) * 2.857143f;
                const size_t n = GlobalChemGrid::index(i, j, k);
                EXPECT_NEAR(grid.ozone[n], 20.0 + 0.01 * lon + 0.1 * lat + 0.5 * k, 1e-4);
                EXPECT_FLOAT_EQ(grid.so2[n], 2.0f);
                EXPECT_NEAR(grid.soot[n], k * 1000.0 + lat + 90.0, 0.05);  // six digits
            }
    EXPECT_NE(console.find("reading ozone level =           34"), std::string::npos);
    EXPECT_NE(console.find("done reading soot data"), std::string::npos);
    EXPECT_NE(console.find("forming file names for month =           12"), std::string::npos);
    EXPECT_NE(console.find("KLENo3 =           10"), std::string::npos);
}

TEST_F(OxidantLoad, DirectoryIsCutAtItsFirstBlank) {
    EXPECT_EQ(load(month_dir.string() + "/ ignored text"), 0) << console;
    EXPECT_EQ(load(month_dir.string() + "/ignored"), kStopMissing);
    EXPECT_NE(console.find("FILE NOT FOUND: ox-mar.dat"), std::string::npos) << console;
    EXPECT_NE(console.find("in directory " + month_dir.string() + "/ignored"), std::string::npos);
    EXPECT_EQ(grid.k_global_data_month, 0);
}

TEST_F(OxidantLoad, MissingSootFileStopsAfterOzoneAndSo2) {
    test::ScratchDir scratch;
    const std::string dir = broken_copy(scratch, "so2-mar.dat", [](std::string&) {});
    std::filesystem::remove(scratch.path() / "bc2-mar.dat");
    EXPECT_EQ(load(dir), kStopMissing);
    EXPECT_NE(console.find("done reading so2 data"), std::string::npos);
    EXPECT_NE(console.find("FILE NOT FOUND: bc2-mar.dat"), std::string::npos);
    EXPECT_EQ(grid.k_global_data_month, 0);
}

TEST_F(OxidantLoad, RecordOfTheWrongLevelStopsWithItsDiagnostic) {
    test::ScratchDir scratch;
    const std::string dir = broken_copy(scratch, "ox-mar.dat", [](std::string& t) { t[16] = '2'; });
    EXPECT_EQ(load(dir), kStopMissing);
    EXPECT_NE(console.find("problem reading ozone file"), std::string::npos) << console;
    EXPECT_NE(console.find("nz =            1"), std::string::npos);
    EXPECT_NE(console.find("nlevel =            2"), std::string::npos);
    EXPECT_NE(console.find("ny =            1"), std::string::npos);
    EXPECT_EQ(console.find("reading so2 level"), std::string::npos);
    EXPECT_EQ(grid.k_global_data_month, 0);
}

TEST_F(OxidantLoad, SwappedSo2RecordsStopWithTheShortDiagnostic) {
    test::ScratchDir scratch;
    // Swap the first two records of level 2: the longitudes no longer match.
    const std::string dir = broken_copy(scratch, "so2-mar.dat", [](std::string& t) {
        const size_t len = 32, start = len * 128 * 64;
        std::string a = t.substr(start, len), b = t.substr(start + len, len);
        t.replace(start, len, b);
        t.replace(start + len, len, a);
    });
    EXPECT_EQ(load(dir), kStopMissing);
    EXPECT_NE(console.find("problem reading so2 file"), std::string::npos);
    EXPECT_EQ(console.find("nlevel ="), std::string::npos);
    EXPECT_NE(console.find("record        8193"), std::string::npos) << console;
}

TEST_F(OxidantLoad, SmallOffsetsWithinTheToleranceAreAccepted) {
    // 0.005 degrees of longitude off (two-decimal rounding of the axes) is
    // accepted; 0.015 is not.
    {
        test::ScratchDir scratch;
        const std::string dir = broken_copy(scratch, "ox-mar.dat", [](std::string& t) { t.replace(0, 7, "  0.005"); });
        EXPECT_EQ(load(dir), 0) << console;
    }
    {
        test::ScratchDir scratch;
        const std::string dir = broken_copy(scratch, "ox-mar.dat", [](std::string& t) { t.replace(0, 7, "  0.015"); });
        EXPECT_EQ(load(dir), kStopMissing);
    }
}

TEST_F(OxidantLoad, ShortFileAndUnreadableValueStopTheRun) {
    {
        test::ScratchDir scratch;
        const std::string dir = broken_copy(scratch, "bc2-mar.dat", [](std::string& t) { t.resize(t.size() - 32); });
        EXPECT_EQ(load(dir), kStopMissing);
        EXPECT_NE(console.find("file ends before the last record"), std::string::npos) << console;
        EXPECT_EQ(grid.k_global_data_month, 0);
    }
    {
        test::ScratchDir scratch;
        const std::string dir = broken_copy(scratch, "ox-mar.dat", [](std::string& t) { t.replace(32 * 5 + 19, 4, "0.x0"); });
        EXPECT_EQ(load(dir), kStopMissing);
        EXPECT_NE(console.find("*ERROR* get_global_conc:"), std::string::npos);
        EXPECT_NE(console.find("record           6"), std::string::npos) << console;
    }
    {
        test::ScratchDir scratch;
        const std::string dir = broken_copy(scratch, "ox-mar.dat", [](std::string& t) { t.replace(32 * 2 + 19, 12, "0.100000E+99"); });
        EXPECT_EQ(load(dir), kStopMissing);
        // The field reader refuses a real beyond the range of its type.
        EXPECT_NE(console.find("beyond the range of a 32-bit real"), std::string::npos) << console;
    }
}

// A value that no air holds (below 0, above a mixing ratio of one) is bad
// input, named with its file and record; the bounds themselves are taken.
TEST_F(OxidantLoad, ValuesOutsideTheAirStopNamingTheFileAndRecord) {
    struct Case {
        const char* file;
        int64_t record;
        const char* value;  // 12 columns
        int32_t status;
        const char* message;
    };
    const Case cases[] = {
        {"ox-mar.dat", 5, "0.340000E+39", kStopInput,
         "*ERROR* get_global_conc: ozone value 3.4e+38 is above the largest the run takes (1e9 parts per billion, "
         "the whole air) - "},
        {"so2-mar.dat", 8195, "-.100000E+01", kStopInput, "*ERROR* get_global_conc: so2 value -1 is negative - "},
        {"bc2-mar.dat", 3, "0.100000E+10", 0, ""},
        {"bc2-mar.dat", 3, "0.100001E+10", kStopInput, "soot value 1000009984 is above the largest"},
        {"ox-mar.dat", 3, "0.000000E+00", 0, ""},
    };
    for (const Case& c : cases) {
        test::ScratchDir scratch;
        const std::string dir = broken_copy(scratch, c.file, [&c](std::string& t) {
            t.replace(static_cast<size_t>(32 * (c.record - 1) + 19), 12, c.value);
        });
        EXPECT_EQ(load(dir), c.status) << c.value << console;
        if (c.status == 0) continue;
        EXPECT_NE(console.find(c.message), std::string::npos) << console;
        const std::string where = std::string(c.file) + " record" +
                                  std::string(12 - std::to_string(c.record).size(), ' ') + std::to_string(c.record);
        EXPECT_NE(console.find(where), std::string::npos) << console;
        EXPECT_EQ(grid.k_global_data_month, 0);
    }
}

TEST(OxidantLevelReader, ShortRecordsReadAsBlankPadded) {
    // A record cut after its level column reads a value of 0, in place; a
    // negative value fills its field without the leading zero.
    std::ostringstream text;
    for (int32_t j = 1; j <= 64; ++j)
        for (int32_t i = 1; i <= 128; ++i) {
            const double v = i == 3 && j == 1 ? -7.714286 : 5.0;  // written "-.771429E+01"
            std::string r = fixture::oxidant_record((i - 1) * 2.8125f, -90.0f + (j - 1) * 2.857143f, 1, v);
            if (i == 2 && j == 1) r.resize(17);
            text << r << "\r\n";
        }
    std::istringstream in_text(text.str());
    TextInput in;
    in.attach(in_text, "level");
    std::vector<float> field(GlobalChemGrid::kPoints, -1.0f);
    OxidantReadProblem p;
    ASSERT_TRUE(read_oxidant_level(in, 1, field, p)) << p.what;
    EXPECT_EQ(field[0], 5.0f);
    EXPECT_EQ(field[1], 0.0f);
    EXPECT_FLOAT_EQ(field[2], -7.71429f);
    EXPECT_EQ(field[GlobalChemGrid::index(128, 64, 1)], 5.0f);
    EXPECT_EQ(field[GlobalChemGrid::index(1, 1, 2)], -1.0f);
    // The next level finds the end of the input.
    EXPECT_FALSE(read_oxidant_level(in, 2, field, p));
    EXPECT_EQ(p.status, OxidantReadProblem::Status::EndOfFile);
    EXPECT_EQ(p.record, 128 * 64 + 1);
}

}  // namespace
}  // namespace orv
