// Lagrangian samplers: the sampler file, the start of each sampler, the
// averaged values along its path and their output lines.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "dispersion/lagrangian_samplers.hpp"
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

class SamplerFile : public ::testing::Test {
protected:
    SamplerFile() : met(test::latlon_met()) {
        TextOut quiet;
        t0 = tm2min(2024, 1, 1, 0, 0, quiet);
    }
    test::ScratchDir dir;
    MeteoFiles met;
    int32_t t0 = 0;
    LagrangianSamplers ls;
    Messages msg;
};

TEST_F(SamplerFile, NineSamplersGetFilesAndLaterOnesAreKeptWithout) {
    fixture::SamplerRecipe r;
    r.output_interval = 30;
    r.start[3] = 6;
    std::vector<fixture::SamplerRecipe> all(12, r);
    for (int32_t k = 0; k < 12; ++k) all[k].output_file = "out " + std::to_string(k + 1) + ".txt";
    fixture::write_sampler_file("LAGSET.CFG", all);
    read_sampler_file(ls, met, 1, 1, msg.msg());
    write_sampler_notice(ls, msg.log);
    ASSERT_TRUE(ls.sampler_flag);
    ASSERT_EQ(ls.samplers.size(), 12u);
    for (int32_t k = 1; k <= 12; ++k) {
        const LagrangianSampler& s = ls.samplers[k - 1];
        EXPECT_EQ(s.start_minute, t0 + 360);
        EXPECT_FLOAT_EQ(s.grid_x, 21.0f);
        EXPECT_FLOAT_EQ(s.grid_y, 21.0f);
        EXPECT_EQ(s.met_grid, 1);
        EXPECT_EQ(std::filesystem::exists("out " + std::to_string(k) + ".txt"), k <= 9) << k;
        EXPECT_EQ(s.next_output_minute, k <= 9 ? t0 + 30 : 0) << k;
        EXPECT_EQ(s.output_interval, k <= 9 ? 30 : kNoOutputInterval) << k;
    }
    EXPECT_EQ(msg.count("WARNING main: exceed max files for lagrangian samplers"), 3u);
    for (int32_t k : {10, 11, 12})
        EXPECT_EQ(msg.count(list_line("NO DISK OUTPUT for sampler numbers ", k, " and greater")), 1u) << k;
    EXPECT_EQ(msg.count(" NOTICE   main: configured for lagrangian sampling - "), 1u);
}

TEST_F(SamplerFile, ReleasePointOffTheGridIsNeverStarted) {
    fixture::SamplerRecipe r;
    r.lat = 10.0f;
    fixture::write_sampler_file("LAGSET.CFG", {r});
    read_sampler_file(ls, met, 1, 1, msg.msg());
    EXPECT_EQ(ls.samplers[0].start_minute, 0);
    EXPECT_EQ(msg.count("WARNING main: lagrangian release point off grid"), 1u);
    EXPECT_EQ(msg.count("Position:"), 1u);
}

TEST_F(SamplerFile, NoFileNoSamplers) {
    read_sampler_file(ls, met, 1, 1, msg.msg());
    write_sampler_notice(ls, msg.log);
    EXPECT_FALSE(ls.sampler_flag);
    EXPECT_TRUE(ls.samplers.empty());
    EXPECT_TRUE(msg.str().empty());
}

TEST_F(SamplerFile, MalformedFilesStopNamingTheFile) {
    const std::string good = fixture::sampler_file_text({fixture::SamplerRecipe{}});
    struct Case {
        std::string text;
        std::string message;  // on the console beside the file name
    } cases[] = {
        {"2\n" + good.substr(2), ""},            // the second sampler is missing
        {good.substr(0, good.size() - 20), ""},  // cut inside the first
        {"1\n40 -90 100\n0 0\n2024 13 1 0 0\n2024 1 1 0 0\n60\n60\n'a'\n",
         "*ERROR* main: start time (year month day hour minute) 2024 13 1 0 0 of sampler 1 has a month outside 1 to 12 "
         "- LAGSET.CFG line 4"},
        {"1\n40 -90 abc\n0 0\n2024 1 1 0 0\n2024 1 1 0 0\n60\n60\n'a'\n", ""},
        {"-1\n", ""},
        {"x\n", ""},
        // Carried in 64 bits, a date past the calendar is named.
        {"1\n40 -90 100\n0 0\n2024 1 1 2147483647 0\n2024 1 1 0 0\n60\n60\n'a'\n",
         "*ERROR* main: start time (year month day hour minute) 2024 1 1 2147483647 0 of sampler 1 lies outside the "
         "calendar (1901 to 2099) - LAGSET.CFG line 4"},
        {"1\n40 -90 100\n0 0\n2024 1 1 0 0\n2024 1 2147483647 0 0\n60\n60\n'a'\n",
         "output time (year month day hour minute) 2024 1 2147483647 0 0 of sampler 1 lies outside"},
    };
    for (const Case& c : cases) {
        test::write_file("LAGSET.CFG", c.text);
        LagrangianSamplers local;
        const auto o = run_captured(msg.console, [&] { read_sampler_file(local, met, 1, 1, msg.msg()); });
        EXPECT_EQ(o.stop, kStopInput) << c.text;
        EXPECT_NE(o.console.find("LAGSET.CFG"), std::string::npos) << o.console;
        EXPECT_NE(o.console.find(c.message), std::string::npos) << o.console;
        EXPECT_EQ(o.console.find("tm2min"), std::string::npos) << o.console;
    }
}

TEST(SamplerPlacement, HeightVelocityAndGrid) {
    TextOut quiet;
    const MeteoFiles met = test::latlon_met();
    LagrangianSampler s;
    s.height = 500.0f;
    s.direction = 90.0f;
    s.speed = 10.0f;
    s.grid_x = 21.0f;
    s.grid_y = 21.0f;
    MetAtParticle at;
    at.terrain_height = 200.0f;
    at.grid_spacing_x = 42000.0f;
    at.grid_spacing_y = 55000.0f;
    MetAtParticle shared;
    place_sampler(s, true, at, 1, kTop, 1, met, 1, shared);
    EXPECT_FLOAT_EQ(s.height, 300.0f);
    EXPECT_FLOAT_EQ(s.grid_z, 1.0f - 300.0f / (kTop - 200.0f));
    EXPECT_FLOAT_EQ(shared.sampler_u, 600.0f / 42000.0f);
    EXPECT_NEAR(shared.sampler_v, 0.0f, 1e-9f);

    LagrangianSampler still;
    still.height = 100.0f;
    MetAtParticle untouched;
    untouched.sampler_u = 7.0f;
    place_sampler(still, false, at, 2, kTop, 0, met, 1, untouched);
    EXPECT_EQ(untouched.sampler_u, 7.0f);
    EXPECT_EQ(still.met_grid, 2);
    EXPECT_FLOAT_EQ(still.grid_z, 1.0f - 100.0f / kTop) << "no meteorology: terrain 0";
}

// A sampler drifting through a steady snapshot field.
class Sampling : public ::testing::Test {
protected:
    TextOut quiet;
    Sampling() : met(test::latlon_met()) {
        t0 = tm2min(2024, 1, 1, 0, 0, quiet);
        ConcentrationGrid avg;  // an average grid first: only the snapshot grid is sampled
        ConcentrationGrid snap;
        for (ConcentrationGrid* g : {&avg, &snap}) {
            g->lat_points = g->lon_points = 20;
            g->lat_spacing = g->lon_spacing = 1.0f;
            g->lower_left_lat = 30.0f;
            g->lower_left_lon = -100.0f;
            g->level_count = 2;
            g->heights[0] = 100;
            g->heights[1] = 1000;
            g->start_minute = t0;
            g->stop_minute = t0 + 1440;
        }
        avg.sampling_type = 0;
        snap.sampling_type = 1;
        grids = {avg, snap};
        allocate_concentration_array(conc, grids, 1, quiet);
        conc.values.fill(0.0f);
        conc.at(11, 11, 1, 1, 2) = 4.0f;  // 40N 90W, lowest level
        conc.at(11, 11, 1, 1, 1) = 99.0f;
        LagrangianSampler s;
        s.grid_x = 21.0f;
        s.grid_y = 21.0f;
        s.grid_z = 1.0f - 50.0f / kTop;
        s.start_minute = t0;
        s.average_minutes = 60;
        s.output_interval = 45;
        s.next_output_minute = t0 + 45;
        s.met_grid = 1;
        ls.samplers = {s};
        ls.outputs.resize(1);
        ls.outputs[0].attach(out);
        ls.sampler_flag = true;
    }
    // One step: sampling at the release point, then the clock and the output.
    void step(int32_t& now, float dt = 15.0f) {
        lagsum(ls, grids, SummationStep{dt, now, kTop, 0}, SummationPoint{40.0f, -90.0f, 0.0f}, p, 0, conc, msg.msg());
        now += static_cast<int32_t>(dt);
        update_lagrangian_samplers(ls, now, dt, p, kTop, met, 1, quiet);
    }

    MeteoFiles met;
    int32_t t0 = 0;
    std::vector<ConcentrationGrid> grids;
    ConcentrationArray conc;
    LagrangianSamplers ls;
    std::ostringstream out;
    ParticleArrays p = make_particles(4, 1);
    Messages msg;
};

TEST_F(Sampling, StartsWhenDueAsAMasslessMarker) {
    p.mass(0, 0) = 5.0f;
    p.particle_count = 0;
    ls.samplers[0].start_minute = t0 + 15;
    lagems(ls, t0, p, msg.log);
    EXPECT_EQ(p.particle_count, 0);
    lagems(ls, t0 + 15, p, msg.log);
    ASSERT_EQ(p.particle_count, 1);
    EXPECT_EQ(ls.samplers[0].start_minute, 0);
    EXPECT_EQ(p.particle_hdwp[0], 6);
    EXPECT_EQ(p.particle_pollutant[0], 1);
    EXPECT_EQ(p.mass(0, 0), 0.0f);
    EXPECT_FLOAT_EQ(p.particle_z[0], 1.0f - 50.0f / kTop);
    lagems(ls, t0 + 30, p, msg.log);
    EXPECT_EQ(p.particle_count, 1) << "never restarted";

    ParticleArrays full = make_particles(1, 1);
    full.particle_count = 1;
    ls.samplers[0].start_minute = t0;
    lagems(ls, t0, full, msg.log);
    EXPECT_EQ(full.particle_count, 1);
    EXPECT_EQ(ls.samplers[0].start_minute, 0);
    EXPECT_EQ(msg.count("WARNING lagems: exceeding source array limit"), 1u);
}

TEST_F(Sampling, AveragesOverItsWindowAndRestarts) {
    p.particle_count = 0;
    lagems(ls, t0, p, msg.log);
    int32_t now = t0;
    for (int32_t k = 0; k < 3; ++k) step(now);
    // Three steps summed, written at t0 + 45: the steady value.
    const fmt::Format layout("(5I3,2F10.3,F10.1,E15.4)");
    const std::string first = fmt::write(layout, 24, 1, 1, 0, 45, 40.0f, -90.0f, 50.0f, 4.0f);
    EXPECT_EQ(out.str(), first);
    EXPECT_EQ(ls.samplers[0].next_output_minute, t0 + 90);
    step(now);
    EXPECT_EQ(p.particle_age[0], 60) << "the fourth step completes the window";
    step(now);
    EXPECT_EQ(p.particle_age[0], 15) << "then the sum restarts";
    EXPECT_FLOAT_EQ(p.mass(0, 0), 4.0f * 15.0f);
    step(now);  // t0 + 90: two steps of the new window
    EXPECT_EQ(out.str(), first + fmt::write(layout, 24, 1, 1, 1, 30, 40.0f, -90.0f, 50.0f, 4.0f));
}

TEST_F(Sampling, IntervalZeroWritesEveryStep) {
    ls.samplers[0].output_interval = 0;
    ls.samplers[0].next_output_minute = t0 + 15;
    p.particle_count = 0;
    lagems(ls, t0, p, msg.log);
    int32_t now = t0;
    for (int32_t k = 0; k < 4; ++k) step(now);
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
}

TEST_F(Sampling, LongitudeWrapsOnWideGrids) {
    for (ConcentrationGrid& g : grids) {
        g.lower_left_lon = 170.0f;
        g.lon_points = 40;
        g.lon_spacing = 5.0f;
    }
    allocate_concentration_array(conc, grids, 1, quiet);
    conc.values.fill(0.0f);
    conc.at(3, 11, 1, 1, 2) = 2.0f;  // (181 - 170) / 5 + 1 = 3.2
    p.particle_count = 1;
    p.particle_pollutant[0] = 1;
    p.particle_z[0] = 1.0f - 50.0f / kTop;
    lagsum(ls, grids, SummationStep{15.0f, t0, kTop, 0}, SummationPoint{40.0f, -179.0f, 0.0f}, p, 0, conc, msg.msg());
    EXPECT_FLOAT_EQ(p.mass(0, 0), 30.0f);
    EXPECT_TRUE(msg.str().empty());
}

TEST_F(Sampling, OnlyTheFirstProblemIsReported) {
    p.particle_count = 1;
    p.particle_pollutant[0] = 1;
    p.particle_z[0] = 1.0f - 50.0f / kTop;
    const SummationStep st{15.0f, t0, kTop, 0};
    // Near a pole the index is huge: clamped, then off the grid.
    lagsum(ls, grids, st, SummationPoint{1.0e30f, -90.0f, 0.0f}, p, 0, conc, msg.msg());
    p.particle_z[0] = 1.0f - 5000.0f / kTop;  // above the grid
    lagsum(ls, grids, st, SummationPoint{40.0f, -90.0f, 0.0f}, p, 0, conc, msg.msg());
    lagsum(ls, grids, SummationStep{15.0f, t0 + 2000, kTop, 0}, SummationPoint{40.0f, -90.0f, 0.0f}, p, 0, conc,
           msg.msg());
    EXPECT_EQ(msg.count("WARNING"), 1u);
    EXPECT_EQ(msg.count("WARNING lagsum: lagrangian sampler moved off the grid"), 1u);
    EXPECT_EQ(p.mass(0, 0), 0.0f);

    grids[1].sampling_type = 0;
    const auto o = run_captured(msg.console, [&] { lagsum(ls, grids, st, SummationPoint{40.0f, -90.0f, 0.0f}, p, 0,
                                                          conc, msg.msg()); });
    EXPECT_EQ(o.stop, kStopInput);
    EXPECT_EQ(msg.count("*ERROR* lagsum: snapshot concentration grid not found"), 1u);
}

}  // namespace
}  // namespace orv
