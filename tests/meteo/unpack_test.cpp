// Unpacking of records (PAKINP) and of periods (metinp): the precision rule,
// windows, checksums, missing records, level numbering, perturbation
// pressure, staggered data and files of the old layout.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/fortran_format.hpp"
#include "meteo/metinp.hpp"
#include "meteo/packed_format.hpp"
#include "tests/meteo/meteo_test_support.hpp"
#include "tests/test_support.hpp"
#include "tools/met_writer.hpp"
#include "tools/packing.hpp"

namespace orv {
namespace {

std::vector<float> unpack(const std::vector<uint8_t>& bytes, int32_t nx, int32_t ny, UnpackWindow w, float prec,
                          int32_t nexp, float var1) {
    std::vector<float> out(static_cast<size_t>(w.nx) * w.ny, -1.0f);
    int32_t sum = -1;
    PAKINP(FieldView2D{out.data(), w.nx}, bytes.data(), nx, ny, w, prec, nexp, var1, sum);
    return out;
}

TEST(Pakinp, PrecisionRuleSparesColumnOneOnly) {
    std::vector<uint8_t> b(8 * 3, 127);
    // A window from column 1 keeps the small column-1 values.
    std::vector<float> v = unpack(b, 8, 3, {1, 1, 8, 3}, 0.5f, 7, 0.25f);
    for (int32_t j = 0; j < 3; ++j) {
        EXPECT_EQ(v[j * 8], 0.25f);
        for (int32_t i = 1; i < 8; ++i) EXPECT_EQ(v[j * 8 + i], 0.0f);
    }
    // A window from column 5: its first column is zeroed too.
    v = unpack(b, 8, 3, {5, 2, 4, 2}, 0.5f, 7, 0.25f);
    for (float x : v) EXPECT_EQ(x, 0.0f);
    // Values at or above the precision stay.
    v = unpack(b, 8, 3, {5, 2, 4, 2}, 0.25f, 7, 0.25f);
    for (float x : v) EXPECT_EQ(x, 0.25f);
}

TEST(Pakinp, WindowsMatchTheWholeGrid) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(100, 154);
    const int32_t nx = 37, ny = 23;
    std::vector<uint8_t> b(nx * ny);
    for (auto& c : b) c = static_cast<uint8_t>(byte(rng));
    const std::vector<float> all = unpack(b, nx, ny, {1, 1, nx, ny}, 0.0f, 3, -4.0f);
    for (UnpackWindow w : {UnpackWindow{2, 1, 10, 5}, UnpackWindow{11, 7, 27, 17}, UnpackWindow{1, 20, 37, 4},
                           UnpackWindow{37, 23, 1, 1}, UnpackWindow{3, 3, 30, 9}}) {
        const std::vector<float> part = unpack(b, nx, ny, w, 0.0f, 3, -4.0f);
        for (int32_t j = 0; j < w.ny; ++j)
            for (int32_t i = 0; i < w.nx; ++i)
                ASSERT_EQ(part[j * w.nx + i], all[(w.y1 - 1 + j) * nx + (w.x1 - 1 + i)]) << w.x1 << " " << w.y1;
    }
}

TEST(Pakinp, ChecksumOnlyWhenAsked) {
    std::vector<uint8_t> b(120, 0);
    b[0] = 200;
    b[1] = 100;  // 300 carries round to 45
    b[2] = 7;
    std::vector<float> out(120);
    int32_t sum = 0;
    PAKINP(FieldView2D{out.data(), 12}, b.data(), 12, 10, {1, 1, 12, 10}, 0.0f, 7, 0.0f, sum);
    EXPECT_EQ(sum, 52);
    EXPECT_EQ(packed_checksum(b), 52);
    sum = -1;
    PAKINP(FieldView2D{out.data(), 12}, b.data(), 12, 10, {1, 1, 12, 10}, 0.0f, 7, 0.0f, sum);
    EXPECT_EQ(sum, -1);
}

// ---- metinp on generated files ----

using fixture::GridShape;
using fixture::MetFileRecipe;

constexpr int32_t kNx = 15, kNy = 10;

MetFileRecipe small_recipe() {
    tminit();
    MetFileRecipe s;
    s.grid = GridShape::latlon(30.0f, -100.0f, 1.0f, 1.0f, kNx, kNy);
    s.levels = {0.0f, 900.0f, 700.0f};
    TextOut quiet;
    s.start = tm2min(24, 6, 1, 0, 0, quiet);
    s.periods = 2;
    s.interval = 60;
    return s;
}

// Field values that tell variable, level and point apart, each within the
// bounds the reader holds its quantity to.
double tag(std::string_view var, int32_t level, int32_t i, int32_t j) {
    const double t = 10.0 * level + 0.5 * i + 0.25 * j + (var[0] - 'A');
    if (var == "PRSS") return 900.0 + t;
    if (var == "TEMP" || var == "T02M") return 250.0 + t;
    return t;
}

double tagged(std::string_view var, const fixture::FieldPoint& p) {
    if (var == "PRES") return 800.0 - 100.0 * p.level;
    if (var == "THET") return 300.0;
    if (var == "TKEN") return 0.7;
    if (var == "PPRE") return 5.0;
    if (var == "UWND") return 300.0;
    if (var == "VWND") return 400.0;
    if (var == "WWND" || var == "DZDT") return 30.0;
    return tag(var, p.level, p.i, p.j);
}

struct Period {
    std::vector<float> store = std::vector<float>(kNx * kNy * 20, -9.0f);
    MetinpFields f;
    int32_t time = -1, fcst = -1;
    std::ostringstream log_text;
    TextOut log;
    std::string console;
    Period() {
        log.attach(log_text);
        const int64_t pl = kNx * kNy;
        f.sfc_pressure = FieldView2D{store.data(), kNx};
        f.temperature_2m = FieldView2D{store.data() + pl, kNx};
        f.momentum_y = FieldView2D{store.data() + 2 * pl, kNx};
        f.u = FieldView3D{store.data() + 3 * pl, kNx, pl, 2};
        f.v = FieldView3D{store.data() + 5 * pl, kNx, pl, 2};
        f.w = FieldView3D{store.data() + 7 * pl, kNx, pl, 2};
        f.temperature = FieldView3D{store.data() + 9 * pl, kNx, pl, 2};
        f.pressure = FieldView3D{store.data() + 11 * pl, kNx, pl, 2};
        f.turbulence_1 = FieldView3D{store.data() + 13 * pl, kNx, pl, 2};
        f.humidity = FieldView3D{store.data() + 15 * pl, kNx, pl, 2};
    }
    int32_t read(MeteoFiles& met, int64_t record) {
        test::TestConsole cap;
        int32_t code = 0;
        try {
            metinp(met, 1, 1, record, UnpackWindow{1, 1, kNx, kNy}, 2, time, fcst, f, cap.with(log));
        } catch (const RunStop& s) {
            code = s.code();
        }
        console = cap.text();
        return code;
    }
};

void write_small(const std::string& name, const MetFileRecipe& s) { fixture::write_met_file(name, s, tagged); }

TEST(Metinp, MissingRecordsUpToTwentyPass) {
    test::ScratchDir dir;
    MetFileRecipe s = small_recipe();
    s.surface_vars = {"PRSS", "VMOF"};
    for (int k = 0; k < 21; ++k) s.surface_vars.push_back("X" + fmt::format_int(k, 3, 3));
    s.upper_vars = {"TEMP"};
    write_small("gaps.bin", s);
    test::SetupRun run({{"gaps.bin"}});
    ASSERT_EQ(run.run(), 0) << run.console;
    ASSERT_FALSE(run.met.layout(1, 1).flags.momentum_flux);
    const int64_t reclen = kNx * kNy + 50;
    const int64_t prss = run.met.layout(1, 1).flags.records_per_period - 23 - 2;  // after the index records
    // VMOF and twenty others missing.
    test::patch_file("gaps.bin", (prss + 1) * reclen + 8, "-1");
    for (int k = 0; k < 20; ++k) test::patch_file("gaps.bin", (prss + 2 + k) * reclen + 8, "-1");

    Period p;
    ASSERT_EQ(p.read(run.met, 1), 0) << p.console << p.log_text.str();
    const std::string log = p.log_text.str();
    size_t count = 0;
    for (size_t at = log.find("missing data"); at != std::string::npos; at = log.find("missing data", at + 1)) ++count;
    EXPECT_EQ(count, 20u);
    EXPECT_EQ(log.find("VMOF"), std::string::npos);
    EXPECT_FLOAT_EQ(p.f.sfc_pressure.at(3, 4), tag("PRSS", 0, 3, 4));

    test::patch_file("gaps.bin", (prss + 22) * reclen + 14, "NULL");  // the 21st
    Period q;
    EXPECT_EQ(q.read(run.met, 1), kStopInput);
    EXPECT_NE(q.log_text.str().find("too many missing times"), std::string::npos);
}

TEST(Metinp, SurfaceNumberedOneReadsTheSame) {
    test::ScratchDir dir;
    MetFileRecipe s = small_recipe();
    s.surface_vars = {"PRSS", "T02M"};
    s.upper_vars = {"TEMP", "UWND", "RELH"};
    write_small("zero.bin", s);
    s.surface_level_one = true;
    write_small("one.bin", s);
    Period a, b;
    test::SetupRun ra({{"zero.bin"}}), rb({{"one.bin"}});
    ASSERT_EQ(ra.run(), 0);
    ASSERT_EQ(rb.run(), 0);
    ASSERT_EQ(a.read(ra.met, 1 + 1 * ra.met.layout(1, 1).flags.records_per_period), 0);
    ASSERT_EQ(b.read(rb.met, 1 + 1 * rb.met.layout(1, 1).flags.records_per_period), 0);
    EXPECT_EQ(a.store, b.store);
    EXPECT_EQ(a.time, s.start + 60);
    EXPECT_FLOAT_EQ(a.f.humidity.at(2, 3, 2), tag("RELH", 2, 2, 3));
}

TEST(Metinp, TkeFillAndPerturbationPressure) {
    test::ScratchDir dir;
    MetFileRecipe s = small_recipe();
    s.level_vars = {{"PRSS"}, {"PRES", "THET", "TKEN", "PPRE"}, {"PRES", "THET"}};
    write_small("ppre.bin", s);
    test::SetupRun run({{"ppre.bin"}});
    ASSERT_EQ(run.run(), 0);
    ASSERT_TRUE(run.met.layout(1, 1).flags.tke);
    Period p;
    ASSERT_EQ(p.read(run.met, 1), 0) << p.console;
    for (int32_t j = 1; j <= kNy; ++j) {
        for (int32_t i = 1; i <= kNx; ++i) {
            EXPECT_NEAR(p.f.turbulence_1.at(i, j, 1), 0.7f, 1e-6);  // TKEN, not the perturbation pressure
            EXPECT_EQ(p.f.turbulence_1.at(i, j, 2), 0.2f);          // no TKEN record: the fill value
            EXPECT_FLOAT_EQ(p.f.pressure.at(i, j, 1), 705.0f);
            EXPECT_NEAR(p.f.temperature.at(i, j, 1), 300.0 * std::pow(705.0 / 1000.0, 0.286), 1e-3);
            EXPECT_FLOAT_EQ(p.f.temperature.at(i, j, 2), 300.0f);
        }
    }
}

TEST(Metinp, StaggeredMomentumData) {
    test::ScratchDir dir;
    MetFileRecipe s = small_recipe();
    s.surface_vars = {"PRSS", "MUU0"};
    s.upper_vars = {"PRES", "UWND", "VWND", "WWND"};
    s.level_vars = {s.surface_vars, s.upper_vars, {"PRES", "UWND", "VWND", "DZDT"}};
    write_small("mu.bin", s);
    test::SetupRun run({{"mu.bin"}});
    ASSERT_EQ(run.run(), 0);
    ASSERT_EQ(run.met.layout(1, 1).flags.stagger, 3);
    Period p;
    ASSERT_EQ(p.read(run.met, 1), 0);
    EXPECT_FLOAT_EQ(p.f.u.at(4, 4, 1), 300.0f / 700.0f / 100.0f);
    EXPECT_FLOAT_EQ(p.f.v.at(4, 4, 2), 400.0f / 600.0f / 100.0f);
    EXPECT_FLOAT_EQ(p.f.w.at(4, 4, 1), 0.3f);
    EXPECT_FLOAT_EQ(p.f.w.at(4, 4, 2), 30.0f);
}

// ---- the old layout ----

// Writes an old-layout file: per period, one block of records per grid
// number, each record a constant field.
void write_old(const std::string& path, const std::vector<int32_t>& grids, int32_t nx, int32_t ny,
               const std::vector<std::vector<std::string>>& levels, int32_t periods) {
    std::ofstream out(path, std::ios::binary);
    for (int32_t p = 0; p < periods; ++p) {
        for (int32_t g : grids) {
            for (size_t k = 0; k < levels.size(); ++k) {
                for (const auto& id : levels[k]) {
                    std::vector<float> f(static_cast<size_t>(nx) * ny, static_cast<float>(g * 100 + k));
                    auto pf = fixture::pack_field(f, nx, ny);
                    std::string label = fmt::format_int(24, 2) + fmt::format_int(3, 2) + fmt::format_int(5, 2) +
                                        fmt::format_int(6 * p, 2) + fmt::format_int(0, 2) +
                                        fmt::format_int(static_cast<int32_t>(k), 2) + fmt::format_int(g, 2) + id +
                                        fmt::format_int(pf.nexp, 4) + pf.prec_text + pf.var1_text;
                    out << label;
                    out.write(reinterpret_cast<const char*>(pf.bytes.data()), static_cast<std::streamsize>(pf.bytes.size()));
                }
            }
        }
    }
}

std::vector<std::vector<std::string>> mrf_levels() {
    std::vector<std::vector<std::string>> lv = {{"PRSS", "T02M", "U10M"}};
    const int counts[] = {6, 6, 6, 6, 6, 6, 5, 5, 5, 5, 4, 4};
    const char* ids[] = {"UWND", "VWND", "TEMP", "RELH", "HGTS", "WWND"};
    for (int n : counts) lv.emplace_back(ids, ids + n);
    return lv;
}

TEST(OldLayout, TwoHemispheresAndTheSouthernStart) {
    test::TestConsole console;
    test::ScratchDir dir;
    write_old("mrf.bin", {2, 3}, 65, 65, mrf_levels(), 2);
    write_old("north.bin", {2}, 65, 65, mrf_levels(), 2);
    for (float lat : {30.0f, -0.5f, -30.0f}) {
        test::SetupRun run({{"mrf.bin"}});
        run.latitude = lat;
        ASSERT_EQ(run.run(), 0) << run.console;
        const auto& lay = run.met.layout(1, 1);
        const bool south = lat <= -1.0f;
        EXPECT_EQ(lay.format, 1);
        EXPECT_EQ(lay.flags.records_per_period, 134);
        EXPECT_EQ(lay.flags.record_offset, south ? 67 : 0);
        EXPECT_EQ(lay.flags.data_interval, 360);
        EXPECT_EQ(run.met.file(1, 1).record_count, 268);
        EXPECT_EQ(run.met.grid(1, 1).source_id.str(), south ? "MRFS" : "MRFN");
        EXPECT_EQ(lay.var_ids[1][5].str(), "WWND");
        EXPECT_EQ(lay.level_heights[8], 100.0f);

        std::vector<float> ps(65 * 65);
        MetinpFields f;
        f.sfc_pressure = FieldView2D{ps.data(), 65};
        int32_t time = 0, fcst = 0;
        TextOut log;
        metinp(run.met, 1, 1, 135, UnpackWindow{1, 1, 65, 65}, 0, time, fcst, f, console.with(log));
        EXPECT_EQ(ps[100], south ? 300.0f : 200.0f);
        TextOut quiet;
        EXPECT_EQ(time, tm2min(24, 3, 5, 6, 0, quiet));
    }
    // A one-grid file keeps the grid its labels name, whatever the start.
    test::SetupRun run({{"north.bin"}});
    run.latitude = -30.0f;
    ASSERT_EQ(run.run(), 0) << run.console;
    EXPECT_EQ(run.met.grid(1, 1).source_id.str(), "MRFN");
    EXPECT_EQ(run.met.layout(1, 1).flags.record_offset, 0);
    EXPECT_EQ(run.met.layout(1, 1).flags.records_per_period, 67);
}

}  // namespace
}  // namespace orv
