// The gridded emission inventory: the grid from the two corners, the values
// of the day spread over its hours, the cells kept, the releases of a step
// and the refusal of unusable inventories.

#include <gtest/gtest.h>

#include <cmath>

#include "dispersion/emission_inventory.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/dispersion/emission_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/emission_inputs.hpp"

namespace orv {
namespace {

using test::make_particles;
using test::Messages;
using test::run_captured;

constexpr float kTop = 25000.0f;

SourceLocation corner(float lat, float lon) {
    SourceLocation l;
    l.lat = lat;
    l.lon = lon;
    l.height = 100.0f;
    l.release_z = 1.0f - 100.0f / kTop;
    l.met_grid = 1;
    return l;
}

Pollutant pollutant(const char* id, float rate, float hours, int32_t start) {
    Pollutant d;
    d.pollutant_id = id;
    d.emission_rate = rate;
    d.emission_hours = hours;
    d.release_start_minute = start;
    return d;
}

class Inventory : public ::testing::Test {
protected:
    Inventory() : met(test::latlon_met()) { t5 = tm2min(2024, 1, 1, 5, 0, quiet); }

    // Writes the inventory and reads it as the set-up does.
    void load(const fixture::InventoryRecipe& r) {
        fixture::write_inventory(".", r);
        emsini(locs, inv, msg.msg());
        ASSERT_TRUE(inv.present);
        emsdat(inv, msg.msg());
    }
    double cell_mass(int32_t slot, int32_t from, int32_t to) {
        double m = 0.0;
        for (int32_t q = from; q < to; ++q) m += p.mass(slot, q);
        return m;
    }

    test::ScratchDir dir;
    TextOut quiet;
    MeteoFiles met;
    int32_t t5 = 0;
    std::vector<SourceLocation> locs{corner(38.0f, -92.0f), corner(42.0f, -88.0f)};
    EmissionInventory inv;
    Settings s;
    ParticleArrays p = make_particles(5000, 2);
    Messages msg;
};

TEST_F(Inventory, GridFromTheCornersAndDailyValuesOverTheHours) {
    fixture::InventoryRecipe r = fixture::uniform_inventory(38.0f, -92.0f, 42.0f, -88.0f, 0.5f, 3.0f, {"TEST"}, 1);
    r.factor = 2.0f;
    // A point whose cell reaches past the upper-right corner is dropped; a
    // second point in a cell adds to it.
    fixture::InventoryPoint past{-88.25f, 41.75f, {{100.0f}}};
    fixture::InventoryPoint again{-92.0f, 38.0f, {{1.0f}}};
    r.points.push_back(past);
    r.points.push_back(again);
    load(r);
    EXPECT_EQ(inv.nlat, 9);
    EXPECT_EQ(inv.nlon, 9);
    EXPECT_EQ(inv.cell_count(), 64);
    for (int32_t h = 1; h <= 24; ++h) {
        EXPECT_FLOAT_EQ(inv.gridded_emission(2, 3, 1, h), 3.0f * 2.0f / 24.0f) << h;
        EXPECT_FLOAT_EQ(inv.gridded_emission(1, 1, 1, h), 3.0f * 2.0f / 24.0f + 1.0f * 2.0f / 24.0f);
    }
    EXPECT_FLOAT_EQ(inv.gridded_emission(9, 9, 1, 1), 0.0f);
    EXPECT_EQ(msg.count(" NOTICE emsini: internal emission grid defined - "), 1u);
    EXPECT_EQ(msg.count(" NOTICE emsdat: gridded emissions initialized"), 1u);
    EXPECT_NE(msg.str().find("Total number of non-zero points  :           64"), std::string::npos) << msg.str();
}

TEST_F(Inventory, PointsOnCellCornersFallInTheirOwnCells) {
    // 0.1-degree corners: in single precision (lat - lat1) / dlat often falls
    // just below a whole number; each point must still land in its own cell.
    locs = {corner(38.0f, -92.0f), corner(40.0f, -90.0f)};
    fixture::InventoryRecipe r = fixture::uniform_inventory(38.0f, -92.0f, 40.0f, -90.0f, 0.1f, 24.0f, {"TEST"}, 1);
    r.dlat = r.dlon = 0.1f;
    load(r);
    EXPECT_EQ(inv.nlat, 21);
    EXPECT_EQ(inv.nlon, 21);
    ASSERT_EQ(inv.cell_count(), 400);
    for (int32_t j = 1; j <= 20; ++j)
        for (int32_t i = 1; i <= 20; ++i) ASSERT_FLOAT_EQ(inv.gridded_emission(i, j, 1, 1), 1.0f) << i << " " << j;
}

TEST_F(Inventory, HourlyValuesAndACountThatDoesNotDivideTheDay) {
    fixture::InventoryRecipe r;
    r.nvals = 24;
    fixture::InventoryPoint pt{-92.0f, 38.0f, {std::vector<float>(24, 0.0f)}};
    for (int32_t h = 0; h < 24; ++h) pt.values[0][h] = static_cast<float>(h + 1);
    r.points = {pt};
    load(r);
    for (int32_t h = 1; h <= 24; ++h) EXPECT_FLOAT_EQ(inv.gridded_emission(1, 1, 1, h), static_cast<float>(h));
    EXPECT_EQ(msg.count("WARNING emsdat"), 0u);

    r.nvals = 7;  // three hours a value; hours 22 to 24 keep the last one
    r.points[0].values[0].assign(7, 0.0f);
    for (int32_t n = 0; n < 7; ++n) r.points[0].values[0][n] = static_cast<float>(n + 1);
    inv = EmissionInventory{};
    load(r);
    EXPECT_FLOAT_EQ(inv.gridded_emission(1, 1, 1, 1), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(inv.gridded_emission(1, 1, 1, 21), 7.0f / 3.0f);
    EXPECT_FLOAT_EQ(inv.gridded_emission(1, 1, 1, 24), 7.0f / 3.0f);
    EXPECT_EQ(msg.count("WARNING emsdat"), 1u);
}

TEST_F(Inventory, TotalsContinueOnFurtherLinesOfFive) {
    const std::vector<std::string> ids{"P1", "P2", "P3", "P4", "P5", "P6", "P7"};
    load(fixture::uniform_inventory(38.0f, -92.0f, 39.0f, -91.0f, 0.5f, 1.0f, ids, 1));
    const std::string log = msg.str();
    // Identifiers right-justified in ten columns after ten blanks; totals in
    // E10.2, the first line labelled, five to a line.
    auto ids_line = [](std::initializer_list<const char*> l) {
        std::string s(10, ' ');
        for (const char* id : l) s += std::string(6, ' ') + (std::string(id) + "    ").substr(0, 4);
        return "\n" + s + "\n";
    };
    const std::string value = "  0.40E+01";
    EXPECT_NE(log.find(ids_line({"P1", "P2", "P3", "P4", "P5"})), std::string::npos) << log;
    EXPECT_NE(log.find(ids_line({"P6", "P7"})), std::string::npos) << log;
    EXPECT_NE(log.find("\n    Kg/hr " + value + value + value + value + value + "\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\n" + std::string(10, ' ') + value + value + "\n"), std::string::npos) << log;
}

TEST_F(Inventory, StepReleasesRateTimesStepTimesEmissionPerCell) {
    load(fixture::uniform_inventory(38.0f, -92.0f, 42.0f, -88.0f, 0.5f, 3.0f, {"TEST"}, 1));
    std::vector<Pollutant> dirt{pollutant("TEST", 2.0f, 3.0f, t5)};
    const float e = 3.0f / 24.0f;
    for (int32_t initd : {1, 0}) {  // puffs, then particles
        s.INITD = initd;
        p.particle_count = 0;
        emsgrd(locs, dirt, s, 15.0f, t5, met, p, inv, msg.msg());
        const int32_t per_cell = initd == 1 ? 1 : 2;  // 2500 / 81 = 30 a cell, over 3 h, a quarter hour
        ASSERT_EQ(p.particle_count, 64 * per_cell) << initd;
        EXPECT_NEAR(cell_mass(0, 0, per_cell), e * 2.0f * 15.0f / 60.0f, 1e-6f);
        EXPECT_NEAR(cell_mass(0, 0, p.particle_count), 64.0 * e * 2.0 * 0.25, 1e-5);
    }
    // The first cell's release: centre of the cell, spread of its area.
    EXPECT_FLOAT_EQ(p.particle_x[0], 17.5f);
    EXPECT_FLOAT_EQ(p.particle_y[0], 17.5f);
    const float area = 0.5f * 1.2e10f * 0.5f * std::cos(38.25f / 57.29578f);
    EXPECT_NEAR(p.particle_sigma_h[0], std::sqrt(area / 3.1415927f) / 1.5f, 0.05f);
    const float span = 100.0f / kTop;
    EXPECT_FLOAT_EQ(p.particle_z[0], 1.0f - span / 2.0f);
    EXPECT_FLOAT_EQ(p.particle_z[1], 1.0f - span);
    EXPECT_EQ(msg.count(" NOTICE emsgrd: emissions started"), 1u);
}

TEST_F(Inventory, PartialStepUnmatchedPollutantsAndTheCycle) {
    load(fixture::uniform_inventory(38.0f, -92.0f, 39.0f, -91.0f, 0.5f, 24.0f, {"TEST"}, 1));
    std::vector<Pollutant> dirt{pollutant("TEST", 1.0f, 2.5f, t5), pollutant("OTHR", 4.0f, 2.5f, t5)};
    s.INITD = 1;
    s.QCYCLE = 24.0f;
    for (int32_t k = 0; k < 3; ++k) emsgrd(locs, dirt, s, 60.0f, t5 + 60 * k, met, p, inv, msg.msg());
    ASSERT_EQ(p.particle_count, 12);
    EXPECT_FLOAT_EQ(p.mass(0, 0), 1.0f);          // 1 an hour in each cell
    EXPECT_FLOAT_EQ(p.mass(1, 0), 4.0f);          // no inventory match: the rate alone
    EXPECT_FLOAT_EQ(p.mass(0, 8), 0.5f);          // half of the third hour
    EXPECT_EQ(dirt[0].release_start_minute, t5 + 24 * 60) << "the release moves on by the cycle";
    emsgrd(locs, dirt, s, 60.0f, t5 + 180, met, p, inv, msg.msg());
    EXPECT_EQ(p.particle_count, 12);
    EXPECT_EQ(msg.count(" NOTICE emsgrd: emissions terminated"), 1u);
}

TEST_F(Inventory, OnlyCellsEmittingInThisHourAndInsideTheGridRelease) {
    fixture::InventoryRecipe r = fixture::uniform_inventory(38.0f, -92.0f, 42.0f, -88.0f, 0.5f, 0.0f, {"TEST"}, 24);
    r.points[0].values[0][5] = 1.0f;   // cell (1,1) emits at 05 only
    r.points[9].values[0][6] = 1.0f;   // cell (2,2) at 06 only
    load(r);
    std::vector<Pollutant> dirt{pollutant("TEST", 1.0f, 24.0f, t5)};
    s.INITD = 1;
    emsgrd(locs, dirt, s, 60.0f, t5, met, p, inv, msg.msg());
    ASSERT_EQ(p.particle_count, 1);
    EXPECT_FLOAT_EQ(p.particle_x[0], 17.5f);
    emsgrd(locs, dirt, s, 60.0f, t5 + 60, met, p, inv, msg.msg());
    ASSERT_EQ(p.particle_count, 2);
    EXPECT_FLOAT_EQ(p.particle_x[1], 18.5f);

    // On a grid of 20 points only centres with 2 < x, y < 19 release: 2 x 2 cells.
    met = test::latlon_met(20, 20);
    EmissionInventory all;
    fixture::write_inventory(".", fixture::uniform_inventory(38.0f, -92.0f, 42.0f, -88.0f, 0.5f, 1.0f, {"TEST"}, 1));
    emsini(locs, all, msg.msg());
    emsdat(all, msg.msg());
    p.particle_count = 0;
    emsgrd(locs, dirt, s, 60.0f, t5, met, p, all, msg.msg());
    EXPECT_EQ(p.particle_count, 4);
}

TEST_F(Inventory, FullArraysWarnOncePerCall) {
    load(fixture::uniform_inventory(38.0f, -92.0f, 42.0f, -88.0f, 0.5f, 1.0f, {"TEST"}, 1));
    p = make_particles(10, 1);
    std::vector<Pollutant> dirt{pollutant("TEST", 1.0f, 24.0f, t5)};
    s.INITD = 1;
    emsgrd(locs, dirt, s, 60.0f, t5, met, p, inv, msg.msg());
    EXPECT_EQ(p.particle_count, 10);
    EXPECT_EQ(msg.count("Warning: emsgrd - exceeding puff limit"), 1u);
}

TEST_F(Inventory, ReleaseRefusals) {
    load(fixture::uniform_inventory(38.0f, -92.0f, 39.0f, -91.0f, 0.5f, 1.0f, {"TEST"}, 1));
    std::vector<Pollutant> none{pollutant("XXXX", 1.0f, 24.0f, t5)};
    auto o = run_captured(msg.console, [&] { emsgrd(locs, none, s, 60.0f, t5, met, p, inv, msg.msg()); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_EQ(msg.count("WARNING emsgrd: No matching pollutants found"), 1u);
    EXPECT_NE(msg.str().find("File content:  TEST"), std::string::npos);
    EXPECT_NE(msg.str().find("Control file:  XXXX"), std::string::npos);

    std::vector<Pollutant> three{pollutant("TEST", 1, 24, t5), pollutant("B", 1, 24, t5), pollutant("C", 1, 24, t5)};
    o = run_captured(msg.console, [&] { emsgrd(locs, three, s, 60.0f, t5, met, p, inv, msg.msg()); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_NE(msg.str().find(" namelist file to at least:            3"), std::string::npos);
}

TEST_F(Inventory, SetUpRefusals) {
    EmissionInventory absent;
    emsini(locs, absent, msg.msg());
    EXPECT_FALSE(absent.present);

    const fixture::InventoryRecipe good =
        fixture::uniform_inventory(38.0f, -92.0f, 39.0f, -91.0f, 0.5f, 1.0f, {"TEST"}, 1);
    fixture::write_inventory(".", good);
    std::vector<SourceLocation> three{locs[0], locs[1], locs[1]};
    auto o = run_captured(msg.console, [&] { emsini(three, inv, msg.msg()); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_EQ(msg.count("*ERROR* emsini: 2 source locations required to define grid"), 1u);

    struct Case {
        std::string header, data;
        const char* expect;  // in the log or on the console
        InventoryRate rate{};  // of a control pollutant TEST; empty: none given
    } cases[] = {
        {"1 1 1.0\n", "", "header information not found in emission.txt"},
        {"1 1 1.0 0 0.5\nTEST\nemission_data.txt\n", "", "cell size in emission.txt must be positive"},
        {"0 1 1.0 0.5 0.5\n\nemission_data.txt\n", "", "number of pollutants in emission.txt"},
        {"1 25 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "", "more than 24 emissions defined"},
        {"1 0 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "", "less than 1 emission defined"},
        {"1 1 1.0 0.5 0.5\nTEST\nmissing.txt\n", "", "gridded emissions file not found - missing.txt"},
        {"1 1 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -92 38\n", "emission_data.txt"},
        {"1 2 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -92 38\n1 x\n", "emission_data.txt"},
        {"1 1 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -95 38\n1\n", "There are no emissions in the region"},
        {"1 1 1.0 0.5 0.5\nTEST\n", "", "data file name not found"},
        {"1 1 1e10 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -92 38\n1e20\n", "above the largest rate"},
        {"1 1 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -92 38\n-24\n", "emission per hour -1 is negative"},
        // The mass released per hour is the value times the control rate.
        {"1 1 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -92 38\n2.4e21\n",
         "times the rate 2 of pollutant 1 (TEST) in CONTROL is above the largest rate the run takes (1e20) - "
         "emission_data.txt line 2",
         {"TEST", 2.0}},
        // Released in volume units, the mass is the converted one.
        {"1 1 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -92 38\n24\n",
         "times the rate 2.2400001e+27 (in volume units) of pollutant 1 (TEST) in CONTROL is above the largest rate",
         inventory_rate([] {
             Pollutant d;
             d.pollutant_id = "TEST";
             d.emission_rate = 1.0f;
             d.DOVOL = true;
             d.GPMOL = 1.0e-20f;
             return d;
         }())},
        // Over the hours of emission (their magnitude: a backward run's are
        // negative) the mass may go into a single puff.
        {"1 1 1.0 0.5 0.5\nTEST\nemission_data.txt\n", "0 0 -92 38\n24\n",
         "emission per hour 1 times the rate 10 of pollutant 1 (TEST) in CONTROL times its hours of emission "
         "3.4e+38 is above the largest mass the run takes (1e25) - emission_data.txt line 2",
         {"TEST", 10.0, false, -3.4e38f}},
    };
    for (const Case& c : cases) {
        test::write_file("emission.txt", c.header);
        test::write_file("emission_data.txt", c.data);
        Messages local;
        EmissionInventory fresh;
        if (!c.rate.pollutant_id.empty()) fresh.control_rates = {c.rate};
        o = run_captured(local.console, [&] {
            emsini(locs, fresh, local.msg());
            emsdat(fresh, local.msg());
        });
        EXPECT_EQ(o.stop, kStopInput) << c.header << c.data;
        EXPECT_NE((local.str() + o.console).find(c.expect), std::string::npos) << local.str() << o.console;
    }
}

}  // namespace
}  // namespace orv
