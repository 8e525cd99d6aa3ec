#include "summing/receptor_sums.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/test_support.hpp"

namespace orv {
namespace {

struct Result {
    int32_t status = 0;
    std::string console;
};

Result run_tool() {
    test::TestConsole console;
    Result r;
    r.status = sum_receptor_output(".", console.out);
    r.console = console.text();
    return r;
}

bool has(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

std::string summary_line(int r, const std::string& name, int land, float area, float lat, float lon) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%5d  %-25s  %5d%5d%15.6f%15.6f%15.6f%15.6f%15.6f%15.6f%15.6f\n", r, name.c_str(),
                  land, 1, area, lat, lon, lon - 1.0, lon + 1.0, lat - 1.0, lat + 1.0);
    return buf;
}

std::string mass_line(int nnp, int count, const std::vector<double>& values) {
    char buf[128];
    std::snprintf(buf, sizeof buf, " %7s  %5d%5d  %-4s%8d%8d%8d%8d%8d", "1_puff", nnp, count, "HG0", 99, 7, 1, 24, 0);
    std::string s = buf;
    for (double v : values) {
        std::snprintf(buf, sizeof buf, "%15.6E", v);
        s += buf;
    }
    return s + "\n";
}

// The value of record (t, ip, np, k) for receptor r (0 = the path total):
// small multiples of 1/4, so that sums are exact.
double value(int t, int ip, int np, int k, int r) { return t + 2 * ip + 3 * np + 5 * k + 0.25 * r; }

// The output times of "recpmass.out" as the tool expects them.
std::string mass_file(int times, int receptors) {
    std::string s;
    for (int t = 1; t <= times; ++t)
        for (int ip = 1; ip <= 4; ++ip)
            for (int np = 1; np <= 5; ++np)
                for (int k = 1; k <= 3; ++k) {
                    std::vector<double> v;
                    for (int r = 0; r <= receptors; ++r) v.push_back(value(t, ip, np, k, r));
                    s += mass_line(np, t, v);
                }
    return s;
}

struct SumLine {
    int r = 0;
    std::string lead;
    std::vector<double> values;
};

std::vector<SumLine> read_sums(const std::string& file) {
    std::vector<SumLine> lines;
    std::istringstream in(test::read_file(file));
    std::string line;
    while (std::getline(in, line)) {
        SumLine s;
        s.r = std::atoi(line.substr(0, 5).c_str());
        s.lead = line.substr(0, 84);
        EXPECT_EQ((line.size() - 84) % 14, 0u) << line;
        for (size_t p = 84; p + 14 <= line.size(); p += 14)
            s.values.push_back(std::strtod(line.substr(p, 14).c_str(), nullptr));
        lines.push_back(s);
    }
    return lines;
}

// The common lead of a sum line.
std::string lead(int r, const char* name, float area, float lat, float lon, int land) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%5d  %-25s  %15.6f%15.6f%15.6f%5d", r, name, area, lat, lon, land);
    return buf;
}

// Sum of the values over times and the given blocks and paths (0 = all).
double expected(int times, int ip, int np, int k, int r) {
    double s = 0.0;
    for (int t = 1; t <= times; ++t)
        for (int i = 1; i <= 4; ++i)
            for (int n = 1; n <= 5; ++n)
                if ((ip == 0 || ip == i) && (np == 0 || np == n)) s += value(t, i, n, k, r);
    return s;
}

TEST(ReceptorSums, SumsOverTimesIntoThreeFiles) {
    test::ScratchDir dir;
    test::write_file("recp_summary.out", summary_line(2, "second", 4, 250.5f, 45.0f, -80.0f) +
                                             summary_line(1, "first one", 13, 12359.96f, 0.5f, 0.5f) +
                                             summary_line(3, "third", 1, 10.0f, -30.0f, 150.0f));
    // Three whole output times and the start of a fourth.
    std::string mass = mass_file(3, 3);
    mass += mass_file(1, 3).substr(0, 40 * mass_line(1, 1, {0, 0, 0, 0}).size());
    test::write_file("recpmass.out", mass);

    Result r = run_tool();
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console.substr(0, r.console.find(" reading data")),
              " opened recpmass.out successfully\n"
              " opened recp_summary.out successfully\n"
              " done reading recp_summary.out the second time\n"
              " num_times =            3\n"
              " done reading recpmass.out the first time\n");
    EXPECT_TRUE(has(r.console, " reading data for time number =            3\n done reading tally data\n"));
    EXPECT_TRUE(has(r.console, " writing sum_1 data for recp num =            3\n"));
    EXPECT_FALSE(has(r.console, "nnp ="));

    const std::vector<SumLine> s1 = read_sums("recpsum_1.out"), s2 = read_sums("recpsum_2.out"),
                               s3 = read_sums("recpsum_3.out");
    ASSERT_EQ(s1.size(), 4u);
    ASSERT_EQ(s2.size(), 4u);
    ASSERT_EQ(s3.size(), 4u);
    EXPECT_EQ(s1[0].lead, lead(0, "path_tot", -999.0f, -999.0f, -999.0f, -99));
    EXPECT_EQ(s1[1].lead, lead(1, "first one", 12359.96f, 0.5f, 0.5f, 13));
    EXPECT_EQ(s3[2].lead.substr(0, 32), "    2  second                   ");
    for (int r = 0; r <= 3; ++r) {
        ASSERT_EQ(s1[r].r, r);
        ASSERT_EQ(s1[r].values.size(), 5u);
        ASSERT_EQ(s2[r].values.size(), 15u);
        ASSERT_EQ(s3[r].values.size(), 60u);
        for (int ip = 0; ip <= 4; ++ip) {
            EXPECT_DOUBLE_EQ(s1[r].values[ip], expected(3, ip, 0, 3, r)) << r << " " << ip;
            for (int k = 1; k <= 3; ++k)
                EXPECT_DOUBLE_EQ(s2[r].values[ip * 3 + k - 1], expected(3, ip, 0, k, r)) << r << " " << ip;
        }
        for (int np = 1; np <= 5; ++np)
            for (int ip = 1; ip <= 4; ++ip)
                for (int k = 1; k <= 3; ++k)
                    EXPECT_DOUBLE_EQ(s3[r].values[((np - 1) * 4 + ip - 1) * 3 + k - 1], expected(3, ip, np, k, r));
    }
}

TEST(ReceptorSums, UnexpectedPathIsReportedAndSummed) {
    test::ScratchDir dir;
    test::write_file("recp_summary.out", summary_line(1, "a", 1, 1.0f, 0.0f, 0.0f));
    // The paths as orvcalc writes them for five pollutant slots: 1..5 per slot.
    std::string mass;
    for (int i = 0; i < 60; ++i) mass += mass_line(i % 5 + 1, 1, {1.0, 2.0});
    test::write_file("recpmass.out", mass);
    Result r = run_tool();
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(has(r.console, " nnp =            2 not equal to np =            1\n"));
    const std::vector<SumLine> s1 = read_sums("recpsum_1.out");
    EXPECT_DOUBLE_EQ(s1[1].values[0], 40.0);  // 20 records of kind 3, value 2 each
    EXPECT_DOUBLE_EQ(s1[0].values[1], 5.0);   // block 1: five records of kind 3, value 1
}

TEST(ReceptorSums, MissingOrUnusableInputs) {
    {
        test::ScratchDir dir;
        test::write_file("recp_summary.out", summary_line(1, "a", 1, 1.0f, 0.0f, 0.0f));
        Result r = run_tool();
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.console, " recpmass.out not found, deptally program stop\n");
        test::write_file("recpmass.out", mass_file(1, 1));
        std::filesystem::remove("recp_summary.out");
        r = run_tool();
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.console,
                  " opened recpmass.out successfully\n recp_summary.out not found, deptally program stop\n");
    }
    {
        // Less than one output time; then a bad line inside the second time.
        test::ScratchDir dir;
        test::write_file("recp_summary.out", summary_line(1, "a", 1, 1.0f, 0.0f, 0.0f));
        test::write_file("recpmass.out", mass_file(1, 1).substr(0, 59 * mass_line(1, 1, {0, 0}).size()));
        Result r = run_tool();
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(has(r.console, " num_times =            0\n no times to read\n"));
        EXPECT_FALSE(std::filesystem::exists("recpsum_1.out"));

        std::string two = mass_file(2, 1);
        const size_t at = 70 * mass_line(1, 1, {0, 0}).size();
        two.replace(at + 70, 3, "x.y");
        test::write_file("recpmass.out", two);
        r = run_tool();
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(has(r.console, " num_times =            1\n"));
    }
    {
        test::ScratchDir dir;
        test::write_file("recpmass.out", mass_file(1, 1));
        test::write_file("recp_summary.out", summary_line(2, "a", 1, 1.0f, 0.0f, 0.0f));
        Result r = run_tool();
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(has(r.console, "receptor number 2 outside 0 to 1"));
        test::write_file("recp_summary.out", "    1  name with a bad value      1    1          x.y\n");
        EXPECT_EQ(run_tool().status, 1);
        std::string many;
        for (int i = 1; i <= 999; ++i) many += summary_line(i, "a", 1, 1.0f, 0.0f, 0.0f);
        test::write_file("recp_summary.out", many);
        r = run_tool();
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(has(r.console, "more than 998 receptors (999)"));
    }
}

TEST(ReceptorSums, ASumFileThatCannotBeWrittenFailsTheTool) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    test::ScratchDir dir;
    test::write_file("recp_summary.out", summary_line(1, "a", 1, 1.0f, 0.0f, 0.0f));
    test::write_file("recpmass.out", mass_file(1, 1));
    ASSERT_EQ(run_tool().status, 0);
    const std::string names[] = {"recpsum_1.out", "recpsum_2.out", "recpsum_3.out"};
    for (const std::string& name : names) {
        std::filesystem::remove(name);
        std::filesystem::create_symlink("/dev/full", name);
        Result r = run_tool();
        std::filesystem::remove(name);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_TRUE(has(r.console, "*ERROR* sum_receptor_output: cannot write file (disk full or write error) - ./" +
                                       name + "\n"))
            << name << r.console;
        // The other two are written whole.
        for (const std::string& other : names)
            if (other != name) {
                EXPECT_EQ(read_sums(other).size(), 2u) << other;
            }
    }
}

}  // namespace
}  // namespace orv
