#include "run/pollutants.hpp"

#include <gtest/gtest.h>

#include "tests/run/control_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

// Reads the control input with the given pollutant and deposition blocks.
test::ControlRecords with_blocks(const std::string& pollutants, const std::string& deposition,
                                 const std::string& run = "24\n0\n20000.0\n") {
    test::ScratchDir dir;
    test::ControlText t;
    t.pollutants = pollutants;
    t.deposition = deposition;
    t.run = run;
    test::write_file("CONTROL", t.text());
    return test::read_control_file();
}

const std::string kOne = "1\nPART\n1.0\n1.0\n0 0 0 0 0\n";

std::string block(const std::string& particle, const std::string& dry, const std::string& wet = "0.0 0.0 0.0",
                  const std::string& half_life = "0.0", const std::string& resuspension = "0.0") {
    return particle + "\n" + dry + "\n" + wet + "\n" + half_life + "\n" + resuspension + "\n";
}

TEST(DepositionFlags, GasAndParticleDerivations) {
    // A gas: its wet removal takes the Henry's constant only.
    test::ControlRecords gas = with_blocks(kOne, "1\n" + block("0 0 0", "0 0 0 0 0", "0.5 3.0 4.0"));
    ASSERT_EQ(gas.stop, 0) << gas.console;
    EXPECT_TRUE(gas.dirt[0].is_gas);
    EXPECT_FALSE(gas.dirt[0].DOGRV);
    EXPECT_TRUE(gas.dirt[0].DOWET);
    EXPECT_EQ(gas.dirt[0].WETIN, 0.0f);
    EXPECT_EQ(gas.dirt[0].WETLO, 0.0f);

    // An explicit velocity wins over settling and the resistance method.
    test::ControlRecords dry = with_blocks(kOne, "1\n" + block("5 2.5 1", "0.01 200 0 0 0"));
    EXPECT_TRUE(dry.dirt[0].DODRY);
    EXPECT_FALSE(dry.dirt[0].DOGRV);
    EXPECT_FALSE(dry.dirt[0].DORES);
    EXPECT_TRUE(dry.sw.CDEP);

    test::ControlRecords settle = with_blocks(kOne, "1\n" + block("5 2.5 1", "0 0 0 0 0", "0.7 1 0"));
    EXPECT_TRUE(settle.dirt[0].DOGRV);
    EXPECT_FALSE(settle.dirt[0].DORES);
    EXPECT_FALSE(settle.dirt[0].DODRY);
    EXPECT_EQ(settle.dirt[0].WETGAS, 0.0f);
    EXPECT_TRUE(settle.dirt[0].DOWET);

    test::ControlRecords plain_gas = with_blocks(kOne, "1\n" + block("0 0 0", "0 200 0 0 0"));
    EXPECT_FALSE(plain_gas.dirt[0].DORES);
    EXPECT_FALSE(plain_gas.sw.RDEP);
    EXPECT_FALSE(plain_gas.sw.CDEP);

    test::ControlRecords henry = with_blocks(kOne, "1\n" + block("0 0 0", "0 200 0 0 0.1"));
    EXPECT_TRUE(henry.dirt[0].DORES);
    EXPECT_TRUE(henry.sw.RDEP);

    test::ControlRecords volume = with_blocks(kOne, "1\n" + block("0 0 0", "0 -200 0 0 0"));
    EXPECT_TRUE(volume.dirt[0].DOVOL);
    EXPECT_FLOAT_EQ(volume.dirt[0].GPMOL, 200.0f);

    test::ControlRecords decay = with_blocks(kOne, "1\n" + block("0 0 0", "0 0 0 0 0", "0 0 0", "8.04", "2e-6"));
    EXPECT_TRUE(decay.dirt[0].DORAD);
    EXPECT_TRUE(decay.sw.CDEP);
    EXPECT_TRUE(decay.dirt[0].DOSUS);
    EXPECT_TRUE(decay.sw.SDEP);
}

TEST(DepositionFlags, CountMismatchWarnsAndTheKnownCountWins) {
    std::string two = "2\nAAAA\n1.0\n1.0\n0 0 0 0 0\nBBBB\n2.0\n2.0\n0 0 0 0 0\n";
    std::string blocks = "3\n" + block("0 0 0", "0 0 0 0 0") + block("1 1 1", "0 0 0 0 0");
    test::ControlRecords r = with_blocks(two, blocks);
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_NE(r.console.find("WARNING depset: # pollutants defined -           2"), std::string::npos);
    EXPECT_TRUE(r.dirt[1].DOGRV);
}

TEST(ReleaseStart, RelativeStartsRollOverAndDefaultsCarry) {
    TextOut quiet;
    // Run start 2008-01-15 06:00. Month 0, day 16, hour 20: 1 February 02:00.
    std::string p = "2\nAAAA\n1.0\n-12.0\n0 0 16 20 0\nBBBB\n2.0\n3.0\n09 3\n";
    test::ControlRecords r = with_blocks(p, "2\n" + block("0 0 0", "0 0 0 0 0") + block("0 0 0", "0 0 0 0 0"));
    ASSERT_EQ(r.stop, 0) << r.console;
    EXPECT_EQ(r.dirt[0].release_month, 2);
    EXPECT_EQ(r.dirt[0].release_day, 1);
    EXPECT_EQ(r.dirt[0].release_hour, 2);
    EXPECT_FLOAT_EQ(r.dirt[0].emission_hours, -12.0f);
    // The second keeps the first's day, hour and minute as resolved.
    EXPECT_EQ(r.dirt[1].release_year, 9);
    EXPECT_EQ(r.dirt[1].release_month, 3);
    EXPECT_EQ(r.dirt[1].release_day, 1);
    EXPECT_EQ(r.dirt[1].release_hour, 2);
    EXPECT_EQ(r.dirt[1].release_start_minute, tm2min(2009, 3, 1, 2, 0, quiet));

    test::ControlRecords back = with_blocks("1\nAAAA\n1.0\n12.0\n0 0 0 0 0\n", "1\n" + block("0 0 0", "0 0 0 0 0"),
                                            "-24\n0\n20000.0\n");
    EXPECT_FLOAT_EQ(back.dirt[0].emission_hours, -12.0f);
    EXPECT_EQ(back.dirt[0].release_start_minute, tm2min(8, 1, 15, 6, 0, quiet));
}

TEST(PollutantRecords, RecordsBeyondTheTableAreReadAndDropped) {
    // Three emission records and three deposition blocks into a table of
    // one (the source-matrix mode with one location): the reader after them
    // starts at the right line.
    test::ScratchDir dir;
    tminit();
    test::write_file("CONTROL", "AAAA\n1.0\n2.0\n0 0 0 0 0\nBBBB\n3.0\n4.0\n0 0 1 0 0\nCCCC\n5.0\n6.0\n0 0 2 0 0\n"
                                "3\n" + block("0 0 0", "0 0 0 0 0", "0.5 0 0") + block("1 2 1", "0 0 0 0 0") +
                                block("0 0 0", "0 0 0 0 0") + "77\n");
    ControlInput ctl;
    std::istringstream none;
    test::TestConsole console;
    ctl.open("", none, console.out);
    std::vector<Pollutant> dirt(1);
    read_pollutant_emissions(ctl, dirt, 3, 8, 1, 15, 6, false, 1);
    DepositionSwitches sw;
    depset(ctl, dirt, 3, sw);
    int32_t next = 0;
    ctl.list("test", "the sentinel", next);
    ASSERT_EQ(dirt.size(), 1u);
    EXPECT_EQ(dirt[0].pollutant_id, "AAAA");
    EXPECT_TRUE(dirt[0].DOWET);
    EXPECT_EQ(next, 77);
}

}  // namespace
}  // namespace orv
