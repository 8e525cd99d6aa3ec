#include "mercury/diagnostic_channels.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_support.hpp"

namespace orv {
namespace {

// The same generator computed directly with 64-bit products.
struct DirectGenerator {
    int64_t s1 = ChannelRandom::kSeed1, s2 = ChannelRandom::kSeed2;
    int64_t next_z() {
        s1 = (40014 * s1) % 2147483563;
        s2 = (40692 * s2) % 2147483399;
        int64_t z = s1 - s2;
        if (z < 1) z += 2147483562;
        return z;
    }
};

TEST(ChannelRandom, FollowsTheCombinedCongruentialSequence) {
    ChannelRandom g;
    DirectGenerator d;
    for (int i = 0; i < 100000; ++i) {
        const int64_t z = d.next_z();
        const float want = static_cast<float>(static_cast<double>(z - 1) / 2147483562.0);
        const float got = g.next();
        ASSERT_GE(got, 0.0f);
        ASSERT_LT(got, 1.0f);
        if (want < 1.0f) {
            ASSERT_EQ(got, want) << i;
        }
    }
}

TEST(ChannelRandom, IsUniformAndRestartsFromItsSeeds) {
    ChannelRandom g;
    double sum = 0.0;
    int below_half = 0;
    const int n = 200000;
    float first = 0.0f;
    for (int i = 0; i < n; ++i) {
        float r = g.next();
        if (i == 0) first = r;
        sum += r;
        below_half += r < 0.5f ? 1 : 0;
    }
    EXPECT_NEAR(sum / n, 0.5, 0.005);
    EXPECT_NEAR(static_cast<double>(below_half) / n, 0.5, 0.005);
    g.reset();
    EXPECT_EQ(g.next(), first);
}

TEST(DiagnosticChannels, DrawSetsOnlyTheListedFlagsByTheSelectionRule) {
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    ch.channel_probability[7] = 1.0f;   // fires whenever r >= 0.5
    ch.channel_probability[11] = 0.1f;  // a share of 0.1 of the calls
    // channel 12 keeps -1.0: never fires
    ch.diagnostic_sampling_flags[13] = true;  // not in the list: left alone
    const int n = 100000;
    int fired7 = 0, fired11 = 0, fired12 = 0;
    for (int i = 0; i < n; ++i) {
        const float r = ch.draw_channels({7, 11, 12});
        EXPECT_EQ(ch.channel_draw, r);
        EXPECT_EQ(ch.fires(7), r >= 0.5f);
        EXPECT_EQ(ch.fires(11), r >= 0.5f && r <= 0.6f);
        fired7 += ch.fires(7);
        fired11 += ch.fires(11);
        fired12 += ch.fires(12);
    }
    EXPECT_NEAR(static_cast<double>(fired7) / n, 0.5, 0.01);
    EXPECT_NEAR(static_cast<double>(fired11) / n, 0.1, 0.01);
    EXPECT_EQ(fired12, 0);
    EXPECT_TRUE(ch.fires(13));
    EXPECT_FALSE(ch.fires(-1));
    EXPECT_FALSE(ch.fires(1000));
}

TEST(DiagnosticChannels, CallerNumbersPickTheChannelSet) {
    EXPECT_EQ(channel_for_caller(7, 1), 7);
    EXPECT_EQ(channel_for_caller(7, 2), 107);
    EXPECT_EQ(channel_for_caller(7, 3), 0);
    EXPECT_EQ(channel_for_caller(14, 0), 0);
    EXPECT_EQ(channel_file_name(0), "hg_out.000");
    EXPECT_EQ(channel_file_name(30), "hg_out.030");
    EXPECT_EQ(channel_file_name(228), "hg_out.228");
}

TEST(DiagnosticChannels, ADumpWithoutAnOpenFileGoesToTheUnitsDefaultFile) {
    test::ScratchDir dir;
    TextOut quiet;
    DiagnosticChannels ch;
    initialise_diagnostic_channels(ch, quiet);
    ASSERT_TRUE(ch.file(0).open(channel_file_name(0), "main", quiet));
    dump_line(ch.dump_file(0), "droplet nonconvergence");
    dump_line(ch.dump_file(13), "first");
    dump_line(ch.dump_file(13), "second");  // the same file, not emptied again
    // Channel 134 has no unit: never written.
    EXPECT_EQ(ch.dump_file(134), nullptr);
    dump_line(ch.dump_file(134), "lost");
    ch.close_all();
    EXPECT_EQ(test::read_file("hg_out.000"), " droplet nonconvergence\n");
    EXPECT_EQ(test::read_file("fort.2013"), " first\n second\n");
    EXPECT_FALSE(std::filesystem::exists("fort.0"));
    EXPECT_FALSE(ch.file(13).is_open());
}

TEST(DiagnosticChannels, RecordsFollowTheirFieldLayouts) {
    std::ostringstream buf;
    TextOut out;
    out.attach(buf);
    static const fmt::Format layout("(I4, 999E12.5)");
    DumpItems items;
    const std::array<double, 2> pair{0.5, -2.0e-10};
    items.add(int32_t{1}).add(4.5).add_all(pair);
    dump_record(&out, layout, items.items());
    dump_list(&out, items.items());
    EXPECT_EQ(buf.str(),
              "   1 0.45000E+01 0.50000E+00-0.20000E-09\n"
              "            1   4.500000      0.5000000     -0.2000000E-09\n");
}

}  // namespace
}  // namespace orv
