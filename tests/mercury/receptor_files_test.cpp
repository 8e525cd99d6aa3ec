#include "mercury/receptor_files.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

const char* kHeader = "id name category name2 land division west east south north\n";
const char* kCepHeader = "category text number name lat lon code\n";

// A run directory beside a "receptors" directory, as the model expects.
class ReceptorDirs {
public:
    ReceptorDirs(bool with_receptor_dir = true) {
        if (with_receptor_dir) std::filesystem::create_directory(scratch_.path() / "receptors");
        std::filesystem::create_directory(scratch_.path() / "run");
        std::filesystem::current_path(scratch_.path() / "run");
    }
    void receptors(const std::string& body) { test::write_file("../receptors/recp_data.txt", kHeader + body); }
    void ceps(const std::string& body) { test::write_file("../receptors/cep_data.txt", kCepHeader + body); }

private:
    test::ScratchDir scratch_;
};

struct Outcome {
    int32_t stop = 0;
    std::string console;
};

Outcome run(const std::function<void(TextOut&)>& f) {
    Outcome o;
    test::TestConsole cap;
    try {
        f(cap.out);
    } catch (const RunStop& e) {
        o.stop = e.code();
    }
    o.console = cap.text();
    return o;
}

Hgsim hgsim20() {
    Hgsim h;
    h.nland = 20;
    return h;
}

const CategorySelection kReceptorSel = CategorySelection::only(13);
const CategorySelection kCepSel = CategorySelection::only(14);

struct Read {
    int32_t count = 0, ndivmax = 0;
    ReceptorTables tables;
    Outcome outcome;
};

Read read_receptors() {
    Read r;
    r.outcome = run([&](TextOut& console) {
                    recp_ini(kReceptorSel, hgsim20(), r.count, r.ndivmax, console);
        read_receptor_data(kReceptorSel, hgsim20(), r.count, r.ndivmax, r.tables, console);
    });
    return r;
}

// The summary line as the layout gives it, formatted independently.
std::string summary_line(int r, const std::string& name, int land, int divs, std::initializer_list<float> reals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%5d  %-25s  %5d%5d", r, name.c_str(), land, divs);
    std::string s = buf;
    for (float v : reals) {
        std::snprintf(buf, sizeof buf, "%15.6f", static_cast<double>(v));
        s += buf;
    }
    return s + "\n";
}

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

TEST(ReceptorFiles, AreasAndSummaryLines) {
    ReceptorDirs dirs;
    dirs.receptors(
        "1 equator 13 x 5 1 0.0 1.0 0.0 1.0\n"
        "2 skipped 12 x 5 1 9.0 10.0 9.0 10.0\n"
        "3 'mid lat' 13 x 7 1 10.0 11.0 45.0 46.0\n");
    Read r = read_receptors();
    ASSERT_EQ(r.outcome.stop, 0) << r.outcome.console;
    EXPECT_EQ(r.outcome.console,
              " have read first line with field names\n leaving recp_ini, ndivmax =            1\n");
    ASSERT_EQ(r.count, 2);
    const Receptor& a = r.tables.receptor(1);
    const Receptor& b = r.tables.receptor(2);
    EXPECT_NEAR(a.area_km2, 12359.96f, 12359.96f * 1e-5f);
    EXPECT_NEAR(b.area_km2, 8663.54f, 8663.54f * 1e-5f);
    EXPECT_FLOAT_EQ(b.centre_lat, 45.5f);
    EXPECT_FLOAT_EQ(b.centre_lon, 10.5f);
    const std::string expected =
        summary_line(1, "equator", 5, 1, {a.area_km2, 0.5f, 0.5f, -0.5f, 1.5f, -0.5f, 1.5f}) +
        summary_line(2, "mid lat", 7, 1, {b.area_km2, 45.5f, 10.5f, 9.5f, 11.5f, 44.5f, 46.5f});
    EXPECT_EQ(test::read_file("recp_summary.out"), expected);
}

TEST(ReceptorFiles, DivisionsBoxesAndDetail) {
    ReceptorDirs dirs;
    dirs.receptors(
        "1 three 13 x 4 1 0.0 2.0 10.0 11.0\n"
        "1 three 13 x 4 2 2.0 3.0 10.0 12.0\n"
        "1 three 13 x 4 3 -1.0 0.0 9.0 10.0\n"
        "2 one 13 x 4 1 20.0 21.0 30.0 31.0\n");
    Read r = read_receptors();
    ASSERT_EQ(r.outcome.stop, 0) << r.outcome.console;
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.ndivmax, 3);
    const Receptor& a = r.tables.receptor(1);
    EXPECT_EQ(a.division_count, 3);
    const DivisionBox& box = r.tables.box(1, 0);
    EXPECT_FLOAT_EQ(box.west, -1.5f);
    EXPECT_FLOAT_EQ(box.east, 3.5f);
    EXPECT_FLOAT_EQ(box.south, 8.5f);
    EXPECT_FLOAT_EQ(box.north, 12.5f);

    // Fractions add up to one; the centre is their weighted mean of mid-points.
    double frac = 0.0, lat = 0.0, lon = 0.0;
    for (int d = 1; d <= 3; ++d) {
        const DivisionBox& b = r.tables.box(1, d);
        frac += b.area_fraction;
        lat += b.area_fraction * (b.south + b.north) / 2.0;
        lon += b.area_fraction * (b.west + b.east) / 2.0;
    }
    EXPECT_NEAR(frac, 1.0, 1e-6);
    EXPECT_NEAR(a.centre_lat, lat, 1e-5);
    EXPECT_NEAR(a.centre_lon, lon, 1e-5);
    // Division 2 covers twice the latitudes of division 1 at about the same
    // latitude, and half its longitudes.
    EXPECT_NEAR(r.tables.box(1, 2).area_fraction / r.tables.box(1, 1).area_fraction, 1.0, 0.02);

    // km boxes from the centre: y by 111.17748 km per degree.
    const DivisionBox& d2 = r.tables.box(1, 2);
    EXPECT_NEAR(d2.y_north, (12.0 - a.centre_lat) * 111.17748, 1e-3);
    EXPECT_NEAR(d2.x_east, (3.0 - a.centre_lon) * 111.17748 * std::cos(a.centre_lat * M_PI / 180.0), 1e-2);
    EXPECT_LT(box.x_west, r.tables.box(1, 3).x_west);
    EXPECT_GT(box.y_north, d2.y_north);

    // One detail line per division and the bounding box; 13 values each.
    const std::string detail = test::read_file("recp_detail.out");
    EXPECT_EQ(std::count(detail.begin(), detail.end(), '\n'), 4 + 2);
    const std::string first_line = detail.substr(0, detail.find('\n'));
    EXPECT_EQ(first_line.size(), 5u + 2 + 25 + 2 + 5 + 5 + 9 * 15);
    EXPECT_EQ(first_line.substr(0, 44), "    1  " + padded_name("three") + "      3    0");
}

TEST(ReceptorFiles, NoSelectedLineWritesEmptySummary) {
    ReceptorDirs dirs;
    dirs.receptors("1 a 12 x 4 1 0.0 2.0 10.0 11.0\n\n");
    Read r = read_receptors();
    ASSERT_EQ(r.outcome.stop, 0);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(test::read_file("recp_summary.out"), "");
    EXPECT_EQ(r.tables.receptor_count(), 0);
}

TEST(ReceptorFiles, PolygonFilesAndBatchFile) {
    ReceptorDirs dirs;
    std::string body;
    for (int i = 1; i <= 6; ++i) body += std::to_string(i) + " r" + std::to_string(i) + " 13 x 1 1 0 1 0 1\n";
    body += "7 'lake one' 13 x 1 1 -10.5 -10.0 40.0 40.25\n";
    body += "7 'lake one' 13 x 1 2 -10.0 -9.5 40.0 40.5\n";
    body += "8 '../etc/pass' 13 x 1 1 0 1 0 1\n";
    dirs.receptors(body);
    Read r = read_receptors();
    ASSERT_EQ(r.outcome.stop, 0) << r.outcome.console;
    run([&](TextOut& console) { write_polygon_files(r.tables, console); });

    EXPECT_EQ(test::read_file("shp_input_0007_lake one.txt"),
              "    1,      -10.500000,       40.250000\n"
              "     -10.000000,       40.250000\n"
              "     -10.000000,       40.000000\n"
              "     -10.500000,       40.000000\n"
              "     -10.500000,       40.250000\n"
              "END\n"
              "    2,      -10.000000,       40.500000\n"
              "      -9.500000,       40.500000\n"
              "      -9.500000,       40.000000\n"
              "     -10.000000,       40.000000\n"
              "     -10.000000,       40.500000\n"
              "END\n"
              "END\n");
    // The name keeps no path: separators and the leading dot are replaced in
    // the file name, while the summary keeps the name as read.
    EXPECT_TRUE(std::filesystem::exists("shp_input_0008__._etc_pass.txt"));
    EXPECT_TRUE(has(test::read_file("recp_summary.out"), "../etc/pass"));

    const std::string batch = test::read_file("polyconv_batch_file.bat");
    EXPECT_TRUE(has(batch, "polyconv 0001_r1 polygons < shp_input_0001_r1.txt\n"));
    EXPECT_TRUE(has(batch, "\npolyconv 0007_lake one polygons < shp_input_0007_lake one.txt\n"));
    EXPECT_EQ(std::count(batch.begin(), batch.end(), '\n'), 8);
    EXPECT_EQ(polygon_file_name(12, "a\tb\\c                 "), "shp_input_0012_a_b_c.txt");
}

TEST(ReceptorFiles, MissingFileOrDirectoryStops901) {
    {
        ReceptorDirs dirs;
        Read r = read_receptors();
        EXPECT_EQ(r.outcome.stop, kStopMissing);
        EXPECT_EQ(r.outcome.console, " FILE NOT FOUND: recp_data.txt\n in directory ../receptors/\n");
    }
    {
        ReceptorDirs dirs(false);
        Read r = read_receptors();
        EXPECT_EQ(r.outcome.stop, kStopMissing);
        int32_t n = 0;
        Outcome o = run([&](TextOut& console) { count_cep_records(kCepSel, hgsim20(), n, console); });
        EXPECT_EQ(o.stop, kStopMissing);
        EXPECT_EQ(o.console, " FILE NOT FOUND: cep_data.txt\n in directory ../receptors/\n");
    }
}

// Each refused receptor line stops both readers with an error naming the
// file and its line.
TEST(ReceptorFiles, RefusedLinesStop900) {
    struct Case {
        std::string body, message;
    };
    const std::vector<Case> cases = {
        {"1 a 13 x 5 1 0 1 0 1\n1 a 13 x 5 1 0 1 zero 1\n", "line cannot be read as a receptor division"},
        {"1 a 13 x 5 1 0 1 0 1\n1 a 13 x 5 1 0 1 0\n", "too few items"},
        {"1 a 13 x 5 1 0 1 0 1\n1 b 13 x 0 1 0 1 0 1\n", "land category 0 outside 1 to 20"},
        {"1 a 13 x 5 1 0 1 0 1\n1 b 13 x 21 1 0 1 0 1\n", "land category 21 outside 1 to 20"},
        {"1 a 13 x 5 1 0 1 0 1\n1 b 13 x 5 0 0 1 0 1\n", "division number 0 not positive"},
        {"1 a 13 x 5 1 0 1 0 1\n1 a 13 x 5 3 0 1 0 1\n", "division 3 does not follow division 1"},
        {"1 a 12 x 5 1 0 1 0 1\n1 a 13 x 5 2 0 1 0 1\n", "division 2 comes before a receptor's division 1"},
        {"1 a 13 x 5 1 0 1 0 1\n1 a 13 x 5 1 1 0 0 1\n", "east edge"},
        {"1 a 13 x 5 1 0 1 0 1\n1 b 13 x 5 1 -1e30 1 0 1\n", "west edge -1e+30 outside -360 to 360"},
        {"1 a 13 x 5 1 0 1 0 1\n1 b 13 x 5 1 0 1 0 91\n", "north edge 91 outside -90 to 90"},
    };
    for (const Case& c : cases) {
        ReceptorDirs dirs;
        dirs.receptors(c.body);
        Read r = read_receptors();
        EXPECT_EQ(r.outcome.stop, kStopInput) << c.body;
        EXPECT_TRUE(has(r.outcome.console, "*ERROR* recp_ini: ")) << r.outcome.console;
        EXPECT_TRUE(has(r.outcome.console, c.message)) << r.outcome.console;
        EXPECT_TRUE(has(r.outcome.console, "../receptors/recp_data.txt line 3\n")) << r.outcome.console;
        EXPECT_FALSE(std::filesystem::exists("recp_summary.out"));
    }
    // Lines of categories not selected are read but not checked further.
    ReceptorDirs dirs;
    dirs.receptors("1 a 12 x 0 0 0 1 0 1\n");
    EXPECT_EQ(read_receptors().outcome.stop, 0);
    // The edges of the globe are places.
    dirs.receptors("1 a 13 x 5 1 -360 -359 -90 -89\n1 b 13 x 5 1 359 360 89 90\n");
    EXPECT_EQ(read_receptors().outcome.stop, 0);
    // A receptor's area must fit the summary's column, which deptally reads.
    dirs.receptors("1 a 13 x 5 1 0 1 0 1\n2 b 13 x 5 1 -180 0 -90 90\n2 b 13 x 5 2 0 180 -90 90\n");
    std::filesystem::remove("recp_summary.out");
    const Read global = read_receptors();
    EXPECT_EQ(global.outcome.stop, kStopInput);
    EXPECT_TRUE(has(global.outcome.console, "*ERROR* read_receptor_data: area 800956032 km2 of receptor 2 (b) does not "
                                            "fit the summary's column (below 1e8 km2, a fifth of the Earth) - "
                                            "../receptors/recp_data.txt line 3"))
        << global.outcome.console;
    EXPECT_FALSE(std::filesystem::exists("recp_summary.out"));
}

TEST(ReceptorFiles, AtMost998Receptors) {
    ReceptorDirs dirs;
    std::string body;
    for (int i = 1; i <= 998; ++i) body += std::to_string(i) + " r 13 x 1 1 0 1 0 1\n";
    dirs.receptors(body);
    Read ok = read_receptors();
    EXPECT_EQ(ok.outcome.stop, 0);
    EXPECT_EQ(ok.count, 998);
    dirs.receptors(body + "999 r 13 x 1 1 0 1 0 1\n");
    Read r = read_receptors();
    EXPECT_EQ(r.outcome.stop, kStopInput);
    EXPECT_TRUE(has(r.outcome.console, "more than 998 receptors - ../receptors/recp_data.txt line 1000"));
}

TEST(CepFiles, SelectionSummaryAndLimits) {
    ReceptorDirs dirs;
    dirs.ceps(
        "14 'a long description, with commas' 1 'cep one' 45.25 -80.5 3\n"
        "13 other 2 skipped 10 10 3\n"
        "14 text 3 abcdefghijklmnopqrstuvwxyz0123 -12.5 100.0 20\n");
    CepTables t;
    int32_t n = 0;
    Outcome o = run([&](TextOut& console) {
                    count_cep_records(kCepSel, hgsim20(), n, console);
        read_cep_data(kCepSel, hgsim20(), n, t, console);
    });
    ASSERT_EQ(o.stop, 0) << o.console;
    EXPECT_EQ(o.console, " have read first line with field names\n");
    ASSERT_EQ(n, 2);
    EXPECT_EQ(t.ceps[1].cep_name, "abcdefghijklmnopqrstuvwxy");
    EXPECT_EQ(test::read_file("cep_summary.out"),
              "    1  cep one                        3      45.250000     -80.500000\n"
              "    2  abcdefghijklmnopqrstuvwxy     20     -12.500000     100.000000\n");

    dirs.ceps("14 t 1 a 0 0 21\n");
    o = run([&](TextOut& console) { count_cep_records(kCepSel, hgsim20(), n, console); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_TRUE(has(o.console,
                    "*ERROR* count_cep_records: cep code 21 outside 1 to 20 - ../receptors/cep_data.txt line 2"));

    // A latitude beyond the poles, a longitude beyond a turn past the date
    // line; the bounds themselves are places.
    struct Case {
        const char* line;
        const char* message;  // empty: taken
    } cases[] = {
        {"14 t 1 a 91 0 3\n", "cep latitude 91 outside -90 to 90 - ../receptors/cep_data.txt line 2"},
        {"14 t 1 a 0 540 3\n", "cep longitude 540 outside -360 to 360 - ../receptors/cep_data.txt line 2"},
        {"14 t 1 a -90 360 3\n", ""},
    };
    for (const Case& c : cases) {
        dirs.ceps(c.line);
        o = run([&](TextOut& console) { count_cep_records(kCepSel, hgsim20(), n, console); });
        EXPECT_EQ(o.stop, *c.message ? kStopInput : 0) << c.line;
        EXPECT_TRUE(has(o.console, c.message)) << o.console;
    }

    dirs.ceps("14 t 1 a 0\n");
    o = run([&](TextOut& console) { count_cep_records(kCepSel, hgsim20(), n, console); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_TRUE(has(o.console, "line cannot be read as a cep (too few items)"));

    std::string many;
    for (int i = 0; i < 1000; ++i) many += "14 t 1 a 1 2 3\n";
    dirs.ceps(many);
    o = run([&](TextOut& console) { count_cep_records(kCepSel, hgsim20(), n, console); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_TRUE(has(o.console, "more than 999 ceps - ../receptors/cep_data.txt line 1001"));
}

}  // namespace
}  // namespace orv
