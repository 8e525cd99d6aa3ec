// The pollutant table and the deposition set-up: padding to the mass slots,
// the reset of the switches, the source-matrix expansion, the deposition
// dumps, and the particle count at which puffs stop splitting.

#include "driver/pollutant_setup.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "driver/concentration_setup.hpp"

namespace orv {
namespace {

TEST(PollutantTable, PaddingAndTheResetStayInsideTheTable) {
    EXPECT_EQ(pollutant_table_size(5, 8), 8);
    EXPECT_EQ(pollutant_table_size(5, 4), 5);
    EXPECT_EQ(pollutant_table_size(0, 0), 1);
    const Pollutant pad = padding_pollutant();
    EXPECT_EQ(pad.pollutant_id, "????");
    EXPECT_EQ(pad.emission_rate, 0.0f);
    EXPECT_EQ(pad.emission_hours, 0.0f);
    EXPECT_FALSE(pad.DOWET);

    // MAXDIM above the table: the reset stops at its end.
    std::vector<Pollutant> dirt(3);
    DepositionSwitches sw;
    dirt[2].DODRY = true;
    reset_deposition_switches(dirt, 8, sw);
    EXPECT_TRUE(sw.CDEP && sw.RDEP && !sw.SDEP);
    for (const Pollutant& d : dirt) EXPECT_TRUE(d.DOWET && !d.DODRY && d.DORES && d.DOGRV);
    // MAXDIM 1 and three pollutants: only the first is reset.
    dirt.assign(3, Pollutant{});
    dirt[1].DODRY = true;
    reset_deposition_switches(dirt, 1, sw);
    EXPECT_TRUE(dirt[0].DOWET);
    EXPECT_FALSE(dirt[1].DOWET);
    EXPECT_TRUE(dirt[1].DODRY);
}

TEST(PollutantTable, SourceMatrixMakesEachLocationAPollutant) {
    std::vector<Pollutant> dirt(4);
    dirt[0].pollutant_id = "SO2 ";
    dirt[0].emission_rate = 7.0f;
    dirt[0].WETGAS = 0.5f;
    dirt[3].pollutant_id = "????";
    int32_t numtyp = 1;
    make_each_location_a_pollutant(dirt, numtyp, 3);
    EXPECT_EQ(numtyp, 3);
    EXPECT_EQ(dirt[0].pollutant_id, "0001");
    EXPECT_EQ(dirt[1].pollutant_id, "0002");
    EXPECT_EQ(dirt[2].pollutant_id, "0003");
    EXPECT_EQ(dirt[2].emission_rate, 7.0f);
    EXPECT_EQ(dirt[2].WETGAS, 0.5f);
    EXPECT_EQ(dirt[3].pollutant_id, "????");  // padding beyond the locations
}

TEST(DepositionDump, BlocksListEveryPollutantUpToTheTable) {
    std::vector<Pollutant> dirt(2);
    dirt[0].pollutant_id = "HG0 ";
    dirt[1].pollutant_id = "HG2 ";
    dirt[1].DOWET = true;
    dirt[1].RHALF = 8.04f;
    DepositionSwitches sw;
    sw.CDEP = true;
    std::ostringstream text;
    TextOut out;
    out.attach(text);
    write_deposition_dump(out, false, sw, dirt, 5);  // a count beyond the table lists the table
    const std::string s = text.str();
    EXPECT_EQ(s.rfind(" ************************************************\n"
                      " back from DEPSET, before any reset of parameters\n",
                      0),
              0u)
        << s;
    EXPECT_NE(s.find(" CDEP             = T\n RDEP             = F\n"), std::string::npos);
    EXPECT_NE(s.find(" POLLUTANT NUMBER =            2\n POLLUTANT NAME  = HG2 \n DIRT(n)%DOWET   = T\n"),
              std::string::npos)
        << s;
    EXPECT_NE(s.find(" DIRT(n)%RHALF   =    8.040000"), std::string::npos) << s;
    EXPECT_EQ(s.find("POLLUTANT NUMBER =            3"), std::string::npos);

    std::ostringstream after;
    out.attach(after);
    write_deposition_dump(out, true, sw, dirt, 2);
    EXPECT_EQ(after.str().rfind(" ****************************************\n AFTER reset of parameters, if applicable\n", 0),
              0u);
}

TEST(PuffSplitLimit, ByDistributionModeWithinTheArrays) {
    Settings s;
    Pollutant p;
    s.MAXPAR = 10000;
    s.INITD = 1;
    p.emission_hours = 48.0f;
    EXPECT_EQ(puff_split_limit(s, 2, p), 10000 - 5760);
    p.emission_hours = 100.0f;
    EXPECT_EQ(puff_split_limit(s, 2, p), 1);
    // A backward run has the forward run's limit; hours beyond any count
    // give 1 without a wrapped product.
    p.emission_hours = -48.0f;
    EXPECT_EQ(puff_split_limit(s, 2, p), 4240);
    p.emission_hours = 3.0e38f;
    EXPECT_EQ(puff_split_limit(s, 2000000000, p), 1);
    p.emission_hours = 0.0f;
    EXPECT_EQ(puff_split_limit(s, 5, p), 10000);
    s.INITD = 130;
    s.MAXPAR = 10001;
    EXPECT_EQ(puff_split_limit(s, 2, p), 5000);
    s.INITD = 0;
    EXPECT_EQ(puff_split_limit(s, 2, p), 10001);
}

}  // namespace
}  // namespace orv
