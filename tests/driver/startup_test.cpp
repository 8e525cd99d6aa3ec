#include "driver/startup.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "driver/orvcalc.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

TEST(RunSuffix, CutAtTheFirstBlankWithinEightyCharacters) {
    EXPECT_EQ(run_suffix_from_argument(""), "");
    EXPECT_EQ(run_suffix_from_argument("t1"), "t1");
    EXPECT_EQ(run_suffix_from_argument("ab cd"), "ab");
    EXPECT_EQ(run_suffix_from_argument(" ab"), "");
    EXPECT_EQ(run_suffix_from_argument(std::string(79, 'x')), std::string(79, 'x'));
    EXPECT_EQ(run_suffix_from_argument(std::string(80, 'x')), "");
    EXPECT_EQ(run_suffix_from_argument(std::string(90, 'x')), "");
}

TEST(DiagnosticChannelTables, OnlyChannelsZeroAndThirtyAreEnabled) {
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    int enabled = 0;
    for (int c = 0; c < DiagnosticChannels::kCount; ++c) enabled += ch.enabled(c) ? 1 : 0;
    EXPECT_EQ(enabled, 2);
    EXPECT_TRUE(ch.enabled(0));
    EXPECT_TRUE(ch.enabled(30));
    EXPECT_EQ(ch.channel_unit[40], 2040);
    EXPECT_EQ(ch.channel_unit[41], 0);
    EXPECT_EQ(ch.channel_unit[228], 2228);
    EXPECT_EQ(ch.channel_unit[104], 0);
    EXPECT_EQ(ch.channel_probability[9], -1.0f);
}

TEST(StartUp, CreatesTheLogAndTheEmptyReceptorFiles) {
    test::ScratchDir dir;
    test::write_file("cepconc.out", "left over from an earlier run\n");
    RunContext ctx;
    std::ostringstream console;
    ctx.console.attach(console);
    start_up(ctx, "t1");
    std::string out = console.str();
    EXPECT_EQ(out, " ORVANTE49 (Oct 2008) - Initialization t1\n");
    EXPECT_EQ(ctx.run_suffix, "t1");
    for (const char* f : {"MESSAGE.t1", "hg_out.000", "hg_out.030", "recpmass.out", "cepflux.out", "cepconc.out",
                          "recpmet.out", "cepmet.out"})
        EXPECT_TRUE(std::filesystem::exists(f)) << f;
    EXPECT_FALSE(std::filesystem::exists("hg_out.001"));
    EXPECT_FALSE(std::filesystem::exists("MESSAGE"));
    EXPECT_EQ(std::filesystem::file_size("cepconc.out"), 0u);
}

TEST(StartUp, WithoutSuffixTheLogIsMessage) {
    test::ScratchDir dir;
    RunContext ctx;
    std::ostringstream console;
    ctx.console.attach(console);
    start_up(ctx, "");
    EXPECT_EQ(console.str(), " ORVANTE49 (Oct 2008) - Initialization \n");
    EXPECT_TRUE(std::filesystem::exists("MESSAGE"));
}

TEST(Orvcalc, AnOptionIsRefusedBeforeAnyFileIsWritten) {
    test::ScratchDir dir;
    for (const char* option : {"--help", "-h"}) {
        const char* argv[] = {"orvcalc", option};
        std::istringstream keyboard;
        std::ostringstream console;
        const int32_t status = run_orvcalc(2, argv, keyboard, console);
        const std::string out = console.str();
        EXPECT_EQ(status, 1) << option;
        EXPECT_EQ(out.rfind(" usage: orvcalc [suffix]", 0), 0u) << out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path())) << option;
    }
}

TEST(Orvcalc, StopCodesReachTheProcessStatus) {
    test::ScratchDir dir;
    const char* argv[] = {"orvcalc", "t2"};
    test::write_file("SETUP.t2", "&SETUP ICHEM=5, MAXDIM=2 /\n");
    std::istringstream keyboard;
    std::ostringstream console;
    int32_t status = run_orvcalc(2, argv, keyboard, console);
    std::string out = console.str();
    EXPECT_EQ(status, 900);
    EXPECT_NE(out.find("*ERROR*  main: Probability deposition requires MAXDIM=1"), std::string::npos);
}

}  // namespace
}  // namespace orv
