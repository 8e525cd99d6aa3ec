#include <gtest/gtest.h>

#include <limits>
#include <sstream>

#include "common/number_text.hpp"
#include "common/run_stop.hpp"
#include "dispersion/concentration_output.hpp"
#include "dispersion/concentration_sum.hpp"
#include "run/calendar.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

using test::Bytes;
using test::read_records;

// A concentration file as its byte layout describes it.
struct ConcFile {
    std::string source;
    std::vector<int32_t> first_time;  // y m d h forecast
    int32_t locations = 0, cpack = 0;
    struct Location {
        std::vector<int32_t> start;  // y m d h
        float lat, lon, height;
        int32_t minute;
    };
    std::vector<Location> locs;
    int32_t nlat = 0, nlon = 0;
    float dlat = 0, dlon = 0, lat0 = 0, lon0 = 0;
    std::vector<int32_t> heights;
    std::vector<std::string> ids;
    struct Field {
        std::string id;
        int32_t height;
        std::vector<float> values;  // nlon x nlat, i fastest (CPACK 0, 1)
        std::vector<float> points;  // lon, lat, value per grid (CPACK 2)
    };
    struct Period {
        std::vector<int32_t> start, end;  // y m d h min forecast
        std::vector<Field> fields;        // pollutant outer, level inner
    };
    std::vector<Period> periods;
};

ConcFile read_conc_file(const std::string& path) {
    std::vector<Bytes> recs = read_records(path);
    ConcFile f;
    size_t r = 0;
    Bytes& h1 = recs.at(r++);
    EXPECT_EQ(h1.size(), 32u);
    f.source = h1.chars(4);
    for (int k = 0; k < 5; ++k) f.first_time.push_back(h1.i32());
    f.locations = h1.i32();
    f.cpack = h1.i32();
    for (int32_t k = 0; k < f.locations; ++k) {
        Bytes& b = recs.at(r++);
        EXPECT_EQ(b.size(), 32u);
        ConcFile::Location l;
        for (int q = 0; q < 4; ++q) l.start.push_back(b.i32());
        l.lat = b.f32();
        l.lon = b.f32();
        l.height = b.f32();
        l.minute = b.i32();
        f.locs.push_back(l);
    }
    Bytes& h3 = recs.at(r++);
    EXPECT_EQ(h3.size(), 24u);
    f.nlat = h3.i32();
    f.nlon = h3.i32();
    f.dlat = h3.f32();
    f.dlon = h3.f32();
    f.lat0 = h3.f32();
    f.lon0 = h3.f32();
    Bytes& h4 = recs.at(r++);
    const int32_t nlev = h4.i32();
    for (int32_t k = 0; k < nlev; ++k) f.heights.push_back(h4.i32());
    EXPECT_EQ(h4.left(), 0u);
    Bytes& h5 = recs.at(r++);
    const int32_t npol = h5.i32();
    for (int32_t k = 0; k < npol; ++k) f.ids.push_back(h5.chars(4));
    EXPECT_EQ(h5.left(), 0u);
    while (r < recs.size()) {
        ConcFile::Period per;
        Bytes& s = recs.at(r++);
        Bytes& e = recs.at(r++);
        EXPECT_EQ(s.size(), 24u);
        EXPECT_EQ(e.size(), 24u);
        for (int k = 0; k < 6; ++k) per.start.push_back(s.i32());
        for (int k = 0; k < 6; ++k) per.end.push_back(e.i32());
        for (int32_t k = 0; k < npol * nlev; ++k) {
            Bytes& d = recs.at(r++);
            ConcFile::Field fl;
            fl.id = d.chars(4);
            fl.height = d.i32();
            if (f.cpack == 0) {
                for (int32_t q = 0; q < f.nlat * f.nlon; ++q) fl.values.push_back(d.f32());
            } else if (f.cpack == 1) {
                fl.values.assign(static_cast<size_t>(f.nlat * f.nlon), 0.0f);
                const int32_t n = d.i32();
                for (int32_t q = 0; q < n; ++q) {
                    const int32_t i = d.i16(), j = d.i16();
                    fl.values.at(static_cast<size_t>((j - 1) * f.nlon + (i - 1))) = d.f32();
                }
            } else {
                const int32_t g = d.i32();
                for (int32_t q = 0; q < 3 * g; ++q) fl.points.push_back(d.f32());
            }
            EXPECT_EQ(d.left(), 0u);
            per.fields.push_back(fl);
        }
        f.periods.push_back(per);
    }
    return f;
}

class ConcentrationFiles : public ::testing::Test {
protected:
    TextOut quiet;
    ConcentrationFiles() {
        tminit();
        log.attach(messages);
        met.grid(1, 1).source_id = FourChars("GDAS");
        met.file(1, 1).first = MetTime{24, 3, 5, 6, 0, 12, 0};
        start = tm2min(24, 3, 5, 6, 0, quiet);
        locs.resize(2);
        locs[0].lat = 40.5f;
        locs[0].lon = -80.25f;
        locs[0].height = 10.0f;
        locs[1].lat = 41.0f;
        locs[1].lon = -81.0f;
        locs[1].height = 500.0f;
        dirt.resize(2);
        dirt[0].pollutant_id = "HG0 ";
        dirt[1].pollutant_id = "HG2";
        dirt[0].release_year = 24;
        dirt[0].release_month = 3;
        dirt[0].release_day = 5;
        dirt[0].release_hour = 6;
        dirt[0].release_minute = 30;
    }
    ConcentrationGrid grid(const std::string& name, int32_t nlon, int32_t nlat) {
        ConcentrationGrid g;
        g.directory = "  ./";
        g.file_name = name + "   ";
        g.lon_points = nlon;
        g.lat_points = nlat;
        g.lon_spacing = 0.5f;
        g.lat_spacing = 0.25f;
        g.lower_left_lat = 39.0f;
        g.lower_left_lon = -82.0f;
        g.level_count = 2;
        g.heights[0] = 0;
        g.heights[1] = 100;
        g.start_minute = start;
        g.period_start_minute = start;  // as the grid set-up leaves it
        g.stop_minute = start + 180;
        g.interval = 60;
        g.sampling_type = 0;
        return g;
    }
    // Writes the grids' files through one sampling period with known values.
    void one_period(std::vector<ConcentrationGrid>& grids) {
        ConcentrationArray conc;
        allocate_concentration_array(conc, grids, 2, quiet);
        ConcentrationOutput out;
        conini(locs, grids, dirt, 2, s.CPACK, met, out, console.with(log));
        update_sampling_periods(grids, SamplingClock{15.0f, start, 12}, conc, quiet);
        for (int32_t g = 1; g <= conc.ngrid; ++g) {
            conc.at(1, 1, 1, 1, g) = 1.5f * static_cast<float>(g);
            if (conc.nlon < 4 || conc.nlat < 3) continue;
            conc.at(3, 2, 2, 1, g) = 2.25f;
            conc.at(4, 3, 2, 2, g) = -7.0f;
        }
        condsk(grids, dirt, s, met, 1, 1, SamplingClock{15.0f, start + 60, 13}, conc, out, console.with(log));
    }

    Settings s;
    MeteoFiles met;
    std::vector<SourceLocation> locs;
    std::vector<Pollutant> dirt;
    int32_t start = 0;
    std::ostringstream messages;
    TextOut log;
    test::TestConsole console;
};

TEST_F(ConcentrationFiles, HeaderRecords) {
    test::ScratchDir dir;
    s.CPACK = 1;
    std::vector<ConcentrationGrid> grids{grid("cdump", 5, 4)};
    ConcentrationArray conc;
    allocate_concentration_array(conc, grids, 2, quiet);
    ConcentrationOutput out;
    conini(locs, grids, dirt, 2, 1, met, out, console.with(log));
    out.files[0].close();
    EXPECT_EQ(grids[0].output_unit, 60);
    ConcFile f = read_conc_file("cdump");
    EXPECT_EQ(f.source, "GDAS");
    EXPECT_EQ(f.first_time, (std::vector<int32_t>{24, 3, 5, 6, 12}));
    EXPECT_EQ(f.locations, 2);
    EXPECT_EQ(f.cpack, 1);
    ASSERT_EQ(f.locs.size(), 2u);
    EXPECT_EQ(f.locs[1].start, (std::vector<int32_t>{24, 3, 5, 6}));
    EXPECT_EQ(f.locs[1].lat, 41.0f);
    EXPECT_EQ(f.locs[1].lon, -81.0f);
    EXPECT_EQ(f.locs[1].height, 500.0f);
    EXPECT_EQ(f.locs[1].minute, 30);
    EXPECT_EQ(f.nlat, 4);
    EXPECT_EQ(f.nlon, 5);
    EXPECT_EQ(f.dlat, 0.25f);
    EXPECT_EQ(f.dlon, 0.5f);
    EXPECT_EQ(f.lat0, 39.0f);
    EXPECT_EQ(f.lon0, -82.0f);
    EXPECT_EQ(f.heights, (std::vector<int32_t>{0, 100}));
    EXPECT_EQ(f.ids, (std::vector<std::string>{"HG0 ", "HG2 "}));
    EXPECT_TRUE(f.periods.empty());
}

TEST_F(ConcentrationFiles, FullAndPackedFormsHoldTheSameValues) {
    test::ScratchDir dir;
    std::vector<ConcFile> files;
    for (int32_t cpack : {0, 1}) {
        s.CPACK = cpack;
        std::vector<ConcentrationGrid> grids{grid("cdump", 5, 4)};
        one_period(grids);
        files.push_back(read_conc_file("cdump"));
    }
    ASSERT_EQ(files[0].periods.size(), 1u);
    ASSERT_EQ(files[1].periods.size(), 1u);
    const ConcFile::Period& full = files[0].periods[0];
    const ConcFile::Period& packed = files[1].periods[0];
    EXPECT_EQ(full.start, (std::vector<int32_t>{24, 3, 5, 6, 0, 12}));
    EXPECT_EQ(full.end, (std::vector<int32_t>{24, 3, 5, 7, 0, 13}));
    EXPECT_EQ(packed.start, full.start);
    ASSERT_EQ(full.fields.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(full.fields[k].values, packed.fields[k].values) << k;
        EXPECT_EQ(full.fields[k].id, packed.fields[k].id);
        EXPECT_EQ(full.fields[k].height, packed.fields[k].height);
    }
    EXPECT_EQ(full.fields[0].id, "HG0 ");
    EXPECT_EQ(full.fields[0].height, 0);
    EXPECT_EQ(full.fields[0].values[0], 1.5f);
    EXPECT_EQ(full.fields[1].height, 100);
    EXPECT_EQ(full.fields[1].values[1 * 5 + 2], 2.25f);
    EXPECT_EQ(full.fields[3].values[2 * 5 + 3], -7.0f);
    EXPECT_EQ(full.fields[2].values, std::vector<float>(20, 0.0f));
}

TEST_F(ConcentrationFiles, PackedLevelWithoutMassHoldsOnlyItsCount) {
    test::ScratchDir dir;
    s.CPACK = 1;
    std::vector<ConcentrationGrid> grids{grid("cdump", 5, 4)};
    one_period(grids);
    std::vector<Bytes> recs = read_records("cdump");
    // Header: 1 + 2 locations + 3; period: start, end, then the fields.
    ASSERT_EQ(recs.size(), 6u + 2u + 4u);
    EXPECT_EQ(recs[6 + 2 + 2].size(), 12u);  // pollutant 2, level 0
    EXPECT_EQ(recs[6 + 2 + 0].size(), 12u + 8u);
}

TEST_F(ConcentrationFiles, PointsFormWritesEveryGridIntoTheFirstFile) {
    test::ScratchDir dir;
    s.CPACK = 2;
    std::vector<ConcentrationGrid> grids{grid("pts", 1, 1), grid("other", 1, 1), grid("third", 1, 1)};
    grids[1].lower_left_lon = -70.0f;
    grids[2].lower_left_lat = 30.0f;
    one_period(grids);
    EXPECT_FALSE(std::filesystem::exists("other"));
    ConcFile f = read_conc_file("pts");
    EXPECT_EQ(f.lat0, 0.0f);
    EXPECT_EQ(f.lon0, 0.0f);
    ASSERT_EQ(f.periods.size(), 1u);
    const ConcFile::Field& fl = f.periods[0].fields[0];
    ASSERT_EQ(fl.points.size(), 9u);
    EXPECT_EQ(fl.points[0], -82.0f);
    EXPECT_EQ(fl.points[1], 39.0f);
    EXPECT_EQ(fl.points[2], 1.5f);
    EXPECT_EQ(fl.points[3], -70.0f);
    EXPECT_EQ(fl.points[5], 3.0f);
    EXPECT_EQ(fl.points[7], 30.0f);
    EXPECT_EQ(fl.points[8], 4.5f);
}

TEST_F(ConcentrationFiles, MeteorologicalGridValuesAreMappedBackInPackedForm) {
    test::ScratchDir dir;
    s.CPACK = 1;
    s.ICHEM = 4;
    MetGridDefinition& mg = met.grid(1, 1);
    mg.latlon = true;
    mg.nx = 10;
    mg.ny = 10;
    mg.header[kSyncLat] = 39.0f;
    mg.header[kSyncLon] = 278.0f;  // longitudes 0..360 on a grid off the prime meridian
    mg.header[kRefLat] = 0.5f;
    mg.header[kRefLon] = 1.0f;
    std::vector<ConcentrationGrid> grids{grid("cdump", 5, 4)};
    grids[0].lon_points = 3;
    grids[0].lat_points = 2;
    grids[0].lon_spacing = 1.0f;  // on the meteorological points
    grids[0].lat_spacing = 0.5f;
    ConcentrationArray conc;
    allocate_concentration_array(conc, {grid("big", 10, 10)}, 2, quiet);
    ConcentrationOutput out;
    conini(locs, grids, dirt, 2, 1, met, out, console.with(log));
    update_sampling_periods(grids, SamplingClock{15.0f, start, 0}, conc, quiet);
    conc.at(2, 2, 2, 1, 1) = 9.0f;  // meteorological point (2, 2)
    conc.at(7, 7, 2, 1, 1) = 8.0f;  // off the concentration grid
    condsk(grids, dirt, s, met, 1, 1, SamplingClock{15.0f, start + 60, 0}, conc, out, console.with(log));
    out.files[0].close();
    ConcFile f = read_conc_file("cdump");
    ASSERT_EQ(f.periods.size(), 1u);
    std::vector<float> expect(6, 0.0f);
    expect[1 * 3 + 1] = 9.0f;
    EXPECT_EQ(f.periods[0].fields[1].values, expect);

    s.CPACK = 0;  // the full form cannot map it back
    try {
        condsk(grids, dirt, s, met, 1, 1, SamplingClock{15.0f, start + 120, 0}, conc, out, console.with(log));
        FAIL();
    } catch (const RunStop& e) {
        EXPECT_EQ(e.code(), kStopInput);
    }
    EXPECT_NE(messages.str().find("*ERROR* condsk: ichem=4 requires cpack=1"), std::string::npos);
}

// A period holding a value that is not a finite number stops the run before
// any record of it is written, naming the value and the file.
TEST_F(ConcentrationFiles, APeriodThatIsNotFiniteIsNotWritten) {
    test::ScratchDir dir;
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
        for (const int32_t cpack : {0, 1, 2}) {
            s.CPACK = cpack;
            std::vector<ConcentrationGrid> grids{grid("cdump", 5, 4), grid("second", 5, 4)};
            ConcentrationArray conc;
            allocate_concentration_array(conc, grids, 2, quiet);
            ConcentrationOutput out;
            conini(locs, grids, dirt, 2, s.CPACK, met, out, console.with(log));
            update_sampling_periods(grids, SamplingClock{15.0f, start, 12}, conc, quiet);
            conc.at(4, 3, 2, 2, 1) = bad;
            test::TestConsole stop;
            try {
                condsk(grids, dirt, s, met, 1, 1, SamplingClock{15.0f, start + 60, 13}, conc, out, stop.with(log));
                ADD_FAILURE() << cpack;
            } catch (const RunStop& e) {
                EXPECT_EQ(e.code(), kStopInput);
            }
            EXPECT_NE(stop.text().find("*ERROR* condsk: concentration " + number_text(bad) +
                                       " of HG2 at point (4, 3), level 100 of grid #1, is not a finite number: the "
                                       "period ending 24 3 5 7 0 is not written - ./cdump"),
                      std::string::npos)
                << stop.text();
            for (auto& f : out.files) f.close();
            EXPECT_TRUE(read_conc_file("cdump").periods.empty()) << cpack;
        }
    }
}

TEST_F(ConcentrationFiles, RefusedGridsAndNoGrids) {
    test::ScratchDir dir;
    ConcentrationOutput out;
    std::vector<ConcentrationGrid> none;
    conini(locs, none, dirt, 2, 2, met, out, console.with(log));  // nothing to open, whatever CPACK
    EXPECT_FALSE(out.files[0].is_open());

    std::vector<ConcentrationGrid> wide{grid("wide", 40000, 2)};
    try {
        conini(locs, wide, dirt, 2, 1, met, out, console.with(log));
        FAIL();
    } catch (const RunStop& e) {
        EXPECT_EQ(e.code(), kStopInput);
    }
    EXPECT_FALSE(std::filesystem::exists("wide"));
    conini(locs, wide, dirt, 2, 0, met, out, console.with(log));  // the full form has no such limit
    EXPECT_TRUE(std::filesystem::exists("wide"));

    std::vector<ConcentrationGrid> eleven;
    for (int k = 1; k <= 11; ++k) eleven.push_back(grid("g" + std::to_string(k), 2, 2));
    ConcentrationOutput out2;
    try {
        conini(locs, eleven, dirt, 2, 1, met, out2, console.with(log));
        FAIL();
    } catch (const RunStop& e) {
        EXPECT_EQ(e.code(), kStopInput);
    }
    EXPECT_TRUE(std::filesystem::exists("g10"));
    EXPECT_FALSE(std::filesystem::exists("g11"));
    EXPECT_EQ(eleven[9].output_unit, 69);
    EXPECT_NE(messages.str().find("*ERROR* conini: exceeding max numb of conc grids\n Compiled maximum:"),
              std::string::npos);
}

// The sampling schedule of one grid over a run of 15-minute steps, as the
// driver calls it: summation, the clock, condsk, update_sampling_periods.
struct Schedule {
    std::vector<int32_t> outputs;        // minutes after the start of each output
    std::vector<float> output_values;    // the summed value written
    std::vector<int32_t> stamps;         // period start stamps, minutes after the start
};

class SamplingSchedule : public ConcentrationFiles {
protected:
    Schedule run(ConcentrationGrid g, float dt, int32_t steps) {
        test::ScratchDir dir;
        Schedule out;
        std::vector<ConcentrationGrid> grids{g};
        ConcentrationArray conc;
        allocate_concentration_array(conc, grids, 1, quiet);
        ConcentrationOutput files;
        s.CPACK = 0;
        conini(locs, grids, dirt, 1, 0, met, files, console.with(log));
        int32_t t = start;
        update_sampling_periods(grids, SamplingClock{dt, t, 0}, conc, quiet);
        int32_t last_stamp = -1;
        for (int32_t k = 0; k < steps; ++k) {
            if (grids[0].period_start_minute != last_stamp) {
                last_stamp = grids[0].period_start_minute;
                out.stamps.push_back(last_stamp - start);
            }
            conc.at(1, 1, 2, 1, 1) += sampling_position(grids[0], dt, t).inside() ? 1.0f : 0.0f;
            t += static_cast<int32_t>(dt);
            condsk(grids, dirt, s, met, 1, 1, SamplingClock{dt, t, 0}, conc, files, console.with(log));
            update_sampling_periods(grids, SamplingClock{dt, t, 0}, conc, quiet);
        }
        files.files[0].close();
        for (const ConcFile::Period& per : read_conc_file(g.file_name.substr(0, g.file_name.find(" "))).periods) {
            out.outputs.push_back(tm2min(per.end[0], per.end[1], per.end[2], per.end[3], per.end[4], quiet) - start);
            out.output_values.push_back(per.fields.at(1).values.at(0));
        }
        return out;
    }
};

TEST_F(SamplingSchedule, HourlyAverageWithQuarterHourSteps) {
    ConcentrationGrid g = grid("avg", 1, 1);
    Schedule s60 = run(g, 15.0f, 16);
    EXPECT_EQ(s60.outputs, (std::vector<int32_t>{60, 120, 180}));  // the stop is written, not reopened
    EXPECT_EQ(s60.stamps, (std::vector<int32_t>{0, 60, 120}));
    EXPECT_EQ(s60.output_values, (std::vector<float>{4.0f, 4.0f, 4.0f}));
    EXPECT_FLOAT_EQ(sampling_weight(g, 15.0f), 0.25f);
}

TEST_F(SamplingSchedule, SnapshotIsStampedOneStepAheadAndZeroedEveryStep) {
    ConcentrationGrid g = grid("snap", 1, 1);
    g.sampling_type = 1;
    Schedule snap = run(g, 15.0f, 8);
    EXPECT_EQ(snap.stamps, (std::vector<int32_t>{15, 30, 45, 60, 75, 90, 105, 120}));
    EXPECT_EQ(snap.outputs, (std::vector<int32_t>{60, 120}));
    EXPECT_EQ(snap.output_values, (std::vector<float>{1.0f, 1.0f}));
    EXPECT_FLOAT_EQ(sampling_weight(g, 15.0f), 1.0f);
}

TEST_F(SamplingSchedule, AverageOverTheLastQuarterHourOfEachInterval) {
    ConcentrationGrid g = grid("last", 1, 1);
    g.sampling_type = -15;
    Schedule last = run(g, 15.0f, 8);
    EXPECT_EQ(last.outputs, (std::vector<int32_t>{60, 120}));
    EXPECT_EQ(last.output_values, (std::vector<float>{1.0f, 1.0f}));
    EXPECT_EQ(last.stamps, (std::vector<int32_t>{0, 45, 105}));
    EXPECT_FLOAT_EQ(sampling_weight(g, 15.0f), 1.0f);
}

TEST_F(SamplingSchedule, BackwardRunCountsFromTheStartBackwards) {
    ConcentrationGrid g = grid("back", 1, 1);
    g.stop_minute = start - 120;
    Schedule back = run(g, -15.0f, 10);
    EXPECT_EQ(back.outputs, (std::vector<int32_t>{-60, -120}));
    EXPECT_EQ(back.stamps, (std::vector<int32_t>{0, -60}));
}

}  // namespace
}  // namespace orv
