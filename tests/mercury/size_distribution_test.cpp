#include "mercury/size_distribution.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

Hgsim default_hgsim() {
    const HgSetup h;
    Hgsim hg;
    hg.ndist = h.NDIST;
    hg.nrange = h.NRANGE;
    hg.pcon = h.PCON;
    hg.pden = h.PDEN;
    hg.method_lwc = h.METHOD_LWC;
    return hg;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(SizeDistribution, DefaultDistributionAndItsReports) {
    test::ScratchDir dir;
    const Hgsim hg = default_hgsim();
    SizeDistribution sd;
    test::TestConsole cap;
    psetup(hg, sd, cap.out);
    write_size_distribution_table(hg, sd, cap.out);
    const std::vector<std::string> console_lines = lines_of(cap.text());
    ASSERT_EQ(console_lines.size(), 17u);
    EXPECT_EQ(console_lines[0], " just inside psetup");
    EXPECT_EQ(console_lines[1].rfind(" ndist,nrange,pmass=           1           1", 0), 0u);
    EXPECT_EQ(console_lines[15].rfind(" totsurf(1) =", 0), 0u);
    EXPECT_EQ(console_lines[16], " about to calc. surfracs");

    const std::string report = test::read_file("SIZEDIST.OUT");
    EXPECT_EQ(report, test::read_file("SIZEDIST2.OUT"));
    const std::vector<std::string> lines = lines_of(report);
    ASSERT_EQ(lines.size(), 15u);
    const std::string head = "n,totsurf(n) (m2/m3),pconc(n) (g/m3)=";
    EXPECT_EQ(lines[0].substr(0, head.size() + 4), head + "   1");
    EXPECT_EQ(lines[0].size(), head.size() + 4 + 24);
    EXPECT_EQ(lines[0].substr(head.size() + 16), "   0.390E-04");
    const std::string row = "n,m,pd,mfrac,surf,surfrac,volfrac =";
    EXPECT_EQ(lines[1].substr(0, row.size() + 8 + 24), row + "   1   1   0.100E-08   0.261E-07");
    EXPECT_EQ(lines[14].substr(0, row.size() + 8 + 12), row + "   1  14   0.200E-04");
    EXPECT_EQ(lines[14].size(), row.size() + 8 + 60);

    EXPECT_EQ(sd.pd(1, 0), 0.0f);
    EXPECT_EQ(sd.pd_dry(1, 7), sd.pd(1, 7));
    EXPECT_EQ(sd.pd_wet(1, 7), sd.pd(1, 7));
    double mass = 0.0, share = 0.0, expected_surface = 0.0;
    for (int m = 1; m <= 14; ++m) {
        mass += sd.mfrac(1, m);
        share += sd.surfrac(1, m);
        EXPECT_EQ(sd.volfrac(1, m), sd.mfrac(1, m));
        EXPECT_EQ(sd.volfrac_wet(1, m), sd.mfrac(1, m));
        // Number of particles times the surface of one: 6 m / (rho d) per
        // unit mass concentration, with d the diameter.
        expected_surface += 6.0 * sd.mfrac(1, m) * hg.pcon / (hg.pden * 1e6 * sd.pd(1, m));
    }
    EXPECT_NEAR(mass, 1.0, 1e-5);
    EXPECT_NEAR(share, 1.0, 1e-5);
    EXPECT_NEAR(sd.totsurf[0], expected_surface, 1e-5 * expected_surface);
    EXPECT_EQ(sd.pconc[0], hg.pcon);
}

TEST(SizeDistribution, OnlyTheBuiltInDistributionIsAccepted) {
    test::ScratchDir dir;
    for (auto change : {+[](Hgsim& h) { h.nrange = 10; }, +[](Hgsim& h) { h.ndist = 2; },
                        +[](Hgsim& h) { h.pden = 0.0f; }, +[](Hgsim& h) { h.pcon = -1.0f; }}) {
        Hgsim hg = default_hgsim();
        change(hg);
        SizeDistribution sd;
        test::TestConsole cap;
        try {
            psetup(hg, sd, cap.out);
            ADD_FAILURE() << "accepted";
        } catch (const RunStop& stop) {
            EXPECT_EQ(stop.code(), kStopInput);
        }
        const std::string out = cap.text();
        EXPECT_NE(out.find("*ERROR*  psetup:"), std::string::npos) << out;
    }
    EXPECT_FALSE(std::filesystem::exists("SIZEDIST.OUT"));
}

TEST(SizeDistribution, ArraysAreStoredWithTheDistributionFastest) {
    DistributionArray a;
    a.allocate(2, 0, 3);
    a(1, 0) = 1.0f;
    a(2, 0) = 2.0f;
    a(1, 1) = 3.0f;
    a(2, 3) = 8.0f;
    ASSERT_EQ(a.values().size(), 8u);
    EXPECT_EQ(a.values()[0], 1.0f);
    EXPECT_EQ(a.values()[1], 2.0f);
    EXPECT_EQ(a.values()[2], 3.0f);
    EXPECT_EQ(a.values()[7], 8.0f);
}

}  // namespace
}  // namespace orv
