// Land use, roughness and terrain lookups from generated surface files.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <initializer_list>

#include "meteo/surface_files.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/surface_writer.hpp"

namespace orv {
namespace {

// A 10 x 20 one-degree grid from (30N, 100W): the land use is the row counted
// from the south, the roughness the column in cm, the terrain 100 m per row
// plus 1 m per column.
fixture::SurfaceRecipe small_grid(const std::string& directory = "./") {
    fixture::SurfaceRecipe s;
    s.lat0 = 30.0f;
    s.lon0 = -100.0f;
    s.nlat = 10;
    s.nlon = 20;
    s.default_landuse = 5;
    s.default_roughness = 0.5f;
    s.directory = directory;
    s.landuse = [](float lat, float) { return static_cast<int32_t>(std::floor(lat - 30.0f)) + 1; };
    s.roughness = [](float, float lon) { return 0.01f * (std::floor(lon + 100.0f) + 1.0f); };
    s.terrain = [](float lat, float lon) { return 100.0f * std::floor(lat - 30.0f) + std::floor(lon + 100.0f); };
    return s;
}

struct Lookup {
    SurfaceFiles files;
    std::ostringstream log_text;
    TextOut log;
    test::TestConsole console;
    float roughness = -1.0f, terrain = -1.0f;
    int32_t landuse = -1;
    Lookup() { log.attach(log_text); }
    void at(float lat, float lon, bool want_terrain = true) {
        sfcinp(files, console.with(log), lat, lon, roughness, landuse, want_terrain, terrain);
    }
};

TEST(SurfaceFiles, RowsRunNorthToSouthAndEdgesClamp) {
    test::ScratchDir dir;
    fixture::write_surface_files(".", small_grid());
    Lookup l;
    l.at(30.0f, -100.0f);  // exactly on the corner: the southernmost row
    EXPECT_EQ(l.landuse, 1);
    EXPECT_FLOAT_EQ(l.roughness, 0.01f);
    EXPECT_FLOAT_EQ(l.terrain, 0.0f);
    l.at(35.5f, -80.5f);  // row 6 from the south, column 20: roughness field 20 gives 0.20 m
    EXPECT_EQ(l.landuse, 6);
    EXPECT_FLOAT_EQ(l.roughness, 0.20f);
    EXPECT_FLOAT_EQ(l.terrain, 519.0f);
    l.at(80.0f, -101.0f);  // north of the grid and west of it
    EXPECT_EQ(l.landuse, 10);
    EXPECT_FLOAT_EQ(l.roughness, 0.01f);
    l.at(-5.0f, 170.0f);  // south and far east (no wrap on a regional grid)
    EXPECT_EQ(l.landuse, 1);
    EXPECT_FLOAT_EQ(l.roughness, 0.20f);
    EXPECT_NE(l.log_text.str().find("NOTICE sfcinp: reading ASCDATA.CFG"), std::string::npos);
}

TEST(SurfaceFiles, TerrainOpensOnTheFirstLookupThatWantsIt) {
    test::ScratchDir dir;
    fixture::write_surface_files(".", small_grid());
    Lookup l;
    l.at(32.5f, -97.5f, false);
    EXPECT_EQ(l.landuse, 3);
    EXPECT_EQ(l.terrain, 0.0f);
    l.at(32.5f, -97.5f, true);
    EXPECT_FLOAT_EQ(l.terrain, 202.0f);
}

// Rows held under a bound of one row, of three rows (rows 1, 4, 7 and 10
// share a slot) and of the whole file: lookups that jump between rows and
// come back give the values of the cells they fall in, and no file holds
// more slots than the bound allows.
TEST(SurfaceFiles, HeldRowsGiveTheValuesOfTheirCellsWithinTheBound) {
    test::ScratchDir dir;
    fixture::write_surface_files(".", small_grid());
    const int64_t per_row = 81 + 20 * 5 + 4;  // the text, the parsed fields and the slot entry
    struct Case {
        int64_t bytes;
        size_t slots;
    };
    for (const Case& c : {Case{0, 1}, Case{3 * per_row + 2, 3}, Case{int64_t{16} << 20, 10}}) {
        Lookup l;
        l.files.row_cache_bytes = c.bytes;
        for (int32_t row : {1, 4, 1, 7, 10, 4, 2, 2, 9, 1, 10, 5, 6, 5}) {
            const int32_t column = 1 + (row % 3) * 5;  // the same column for the rows of a slot
            l.at(29.5f + static_cast<float>(row), -100.5f + static_cast<float>(column));
            EXPECT_EQ(l.landuse, row) << c.bytes;
            EXPECT_FLOAT_EQ(l.roughness, 0.01f * static_cast<float>(column)) << c.bytes << " row " << row;
            EXPECT_FLOAT_EQ(l.terrain, 100.0f * static_cast<float>(row - 1) + static_cast<float>(column - 1))
                << c.bytes << " row " << row;
        }
        for (const SurfaceFiles::File& f : l.files.files) EXPECT_EQ(f.slot_row.size(), c.slots) << c.bytes;
    }
}

TEST(SurfaceFiles, GlobalGridWrapsLongitudes) {
    test::ScratchDir dir;
    fixture::SurfaceRecipe s;  // global one-degree grid from (-90, -180)
    s.roughness = [](float, float lon) { return 0.01f * (std::floor(lon + 180.0f) + 1.0f); };
    fixture::write_surface_files(".", s);
    Lookup l;
    l.at(10.0f, 190.5f);
    EXPECT_FLOAT_EQ(l.roughness, 0.11f);  // as at -169.5
    l.at(10.0f, -180.0f - 0.5f);
    EXPECT_FLOAT_EQ(l.roughness, 3.60f);  // as at 179.5
}

TEST(SurfaceFiles, MissingFilesFallBackOrStop) {
    test::ScratchDir dir;
    {
        // No ASCDATA.CFG anywhere: a plain stop.
        Lookup l;
        try {
            l.at(0.0f, 0.0f);
            FAIL() << "no stop";
        } catch (const RunStop& s) {
            EXPECT_EQ(s.code(), kStopPlain);
        }
        EXPECT_NE(l.console.text().find("ASCDATA.CFG file not found!"), std::string::npos);
        EXPECT_NE(l.log_text.str().find("Required in local directory or ../bdyfiles/"), std::string::npos);
    }
    // ASCDATA.CFG in ../bdyfiles, the surface files in the directory it names,
    // no land-use file.
    std::filesystem::create_directories("bdyfiles");
    std::filesystem::create_directories("sfc");
    std::filesystem::create_directories("run");
    fixture::SurfaceRecipe s = small_grid("../sfc/");
    s.write_landuse = false;
    fixture::write_surface_files("sfc", s);
    std::filesystem::rename("sfc/ASCDATA.CFG", "bdyfiles/ASCDATA.CFG");
    std::filesystem::current_path("run");
    Lookup l;
    l.at(32.5f, -97.5f);
    EXPECT_EQ(l.landuse, 5);
    EXPECT_FLOAT_EQ(l.roughness, 0.03f);
    EXPECT_FLOAT_EQ(l.terrain, 202.0f);
    EXPECT_NE(l.log_text.str().find("LANDUSE.ASC file not found"), std::string::npos);
    EXPECT_NE(l.log_text.str().find("Using default value category 2 agricultural"), std::string::npos);
}

// Runs the first lookup; returns the console text of the stop, or "" when
// the lookup went through.
std::string first_lookup_stop() {
    Lookup l;
    try {
        l.at(35.0f, -90.0f);
    } catch (const RunStop& s) {
        EXPECT_EQ(s.code(), kStopInput);
        return l.console.text().empty() ? "(stop without a message)" : l.console.text();
    }
    return "";
}

TEST(SurfaceFiles, CutOrPaddedFilesStopAtTheirFirstUse) {
    test::ScratchDir dir;
    fixture::write_surface_files(".", small_grid());
    const std::string rough = test::read_file("ROUGLEN.ASC");
    test::truncate_file("ROUGLEN.ASC", 5 * 81);  // half the rows
    std::string msg = first_lookup_stop();
    EXPECT_NE(msg.find("ROUGLEN.ASC"), std::string::npos) << msg;
    EXPECT_NE(msg.find("10 rows of 81 characters"), std::string::npos) << msg;

    test::write_file("ROUGLEN.ASC", rough + "  12");  // padded
    msg = first_lookup_stop();
    EXPECT_NE(msg.find("ROUGLEN.ASC"), std::string::npos) << msg;

    test::write_file("ROUGLEN.ASC", rough);
    EXPECT_EQ(first_lookup_stop(), "");
}

TEST(SurfaceFiles, GridDescriptionsThatPlaceNoPointStop) {
    test::ScratchDir dir;
    fixture::write_surface_files(".", small_grid());
    struct Case {
        const char* cfg;
        const char* item;
    };
    const Case cases[] = {
        {"30 -100\n1 1\n10 0\n2\n0.2\n'./'\n", "number of longitude columns 0"},
        {"30 -100\n1 1\n2147483647 20\n2\n0.2\n'./'\n", "number of latitude rows 2147483647"},
        {"30 -100\n1 1\n10 2147483647\n2\n0.2\n'./'\n", "number of longitude columns"},
        {"-2147483648 -100\n1 1\n10 20\n2\n0.2\n'./'\n", "corner latitude"},
        {"30 500\n1 1\n10 20\n2\n0.2\n'./'\n", "corner longitude 500"},
        {"30 -100\n0 1\n10 20\n2\n0.2\n'./'\n", "latitude spacing 0"},
        {"30 -100\n1 -1\n10 20\n2\n0.2\n'./'\n", "longitude spacing -1"},
    };
    for (const Case& c : cases) {
        test::write_file("ASCDATA.CFG", c.cfg);
        const std::string msg = first_lookup_stop();
        EXPECT_NE(msg.find("ASCDATA.CFG"), std::string::npos) << c.cfg << msg;
        EXPECT_NE(msg.find(c.item), std::string::npos) << c.cfg << msg;
    }
    // Many rows of a valid grid are refused by the size of the files, not
    // by allocating a row for them.
    test::write_file("ASCDATA.CFG", "30 -100\n0.001 0.001\n10 9000000\n2\n0.2\n'./'\n");
    const std::string msg = first_lookup_stop();
    EXPECT_NE(msg.find("LANDUSE.ASC"), std::string::npos) << msg;
}

}  // namespace
}  // namespace orv
