#include <gtest/gtest.h>

#include <sstream>

#include "common/run_stop.hpp"
#include "dispersion/particle_files.hpp"
#include "run/calendar.hpp"
#include "tests/dispersion/dispersion_test_support.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

using test::Bytes;
using test::make_particles;
using test::read_records;

constexpr float kTop = 25000.0f;

class ParticleFileTest : public ::testing::Test {
protected:
    ParticleFileTest() {
        tminit();
        log.attach(messages);
        MetGridDefinition& g = met.grid(1, 1);  // 1-degree grid from (20 N, 230 E)
        g.grid_number = 1;
        g.latlon = true;
        g.nx = g.ny = 100;
        g.header[kSyncLat] = 20.0f;
        g.header[kSyncLon] = 230.0f;
        g.header[kRefLat] = 1.0f;
        g.header[kRefLon] = 1.0f;
        TextOut quiet;
        start = tm2min(24, 7, 1, 6, 0, quiet);
        for (int32_t i = 0; i < 3; ++i) {
            p.particle_x[i] = 10.25f + static_cast<float>(i);
            p.particle_y[i] = 20.5f;
            p.particle_z[i] = 0.96f - 0.01f * static_cast<float>(i);
            p.particle_sigma_h[i] = 1500.0f * static_cast<float>(i + 1);
            p.particle_sigma_z[i] = 0.003f;
            p.particle_turb_u[i] = 9.0f;
            p.particle_turb_v[i] = -0.75f;
            p.particle_age[i] = i == 1 ? -180 : 240;
            p.particle_hdwp[i] = i < 2 ? 1 + i : 6;  // Gaussian and top-hat puffs, a sampler
            p.particle_pollutant[i] = 1;
            p.particle_sort_key[i] = 3 - i;
            p.mass(0, i) = 0.125f * static_cast<float>(i + 1);
            p.mass(1, i) = 7.5f;
        }
        p.particle_count = 3;
    }
    void dump(int32_t time) {
        if (!files.dump.is_open()) {
            ASSERT_TRUE(files.dump.open("PARDUMP", "parout", console.out));
        }
        parout(time, p, kTop, met, 1, files, console.with(log));
    }
    void open_init(const std::string& name = "PARDUMP") {
        files.dump.close();
        files.init_name = name;
        ASSERT_TRUE(files.init.open(name));
    }

    test::TestConsole console;  // before the files, which report to it
    MeteoFiles met;
    ParticleArrays p = make_particles(10, 2);
    ParticleFiles files;
    std::ostringstream messages;
    TextOut log;
    int32_t start = 0;
};

TEST_F(ParticleFileTest, DumpLayout) {
    test::ScratchDir dir;
    dump(start);
    files.dump.close();
    std::vector<Bytes> recs = read_records("PARDUMP");
    ASSERT_EQ(recs.size(), 1u + 3u * 3u);
    Bytes& h = recs[0];
    EXPECT_EQ(h.size(), 24u);
    EXPECT_EQ(h.i32(), 3);
    EXPECT_EQ(h.i32(), 2);
    EXPECT_EQ(h.i32(), 24);
    EXPECT_EQ(h.i32(), 7);
    EXPECT_EQ(h.i32(), 1);
    EXPECT_EQ(h.i32(), 6);
    Bytes& mass = recs[4];  // second particle
    EXPECT_EQ(mass.size(), 8u);
    EXPECT_EQ(mass.f32(), 0.25f);
    EXPECT_EQ(mass.f32(), 7.5f);
    Bytes& pos = recs[5];
    EXPECT_EQ(pos.size(), 24u);
    EXPECT_FLOAT_EQ(pos.f32(), 39.5f);            // latitude of y 20.5
    EXPECT_FLOAT_EQ(pos.f32(), 240.25f - 360.0f);  // longitude of x 11.25
    EXPECT_FLOAT_EQ(pos.f32(), (1.0f - 0.95f) * kTop);
    EXPECT_EQ(pos.f32(), 3000.0f);
    EXPECT_EQ(pos.f32(), 0.003f);
    EXPECT_EQ(pos.f32(), -0.75f);
    Bytes& state = recs[6];
    EXPECT_EQ(state.size(), 20u);
    EXPECT_EQ(state.i32(), -180);
    EXPECT_EQ(state.i32(), 2);
    EXPECT_EQ(state.i32(), 1);
    EXPECT_EQ(state.i32(), 1);
    EXPECT_EQ(state.i32(), 2);
    EXPECT_NE(messages.str().find(" NOTICE parout: number particles output - "), std::string::npos);
}

TEST_F(ParticleFileTest, DumpRestoresTheParticles) {
    test::TestConsole console;
    test::ScratchDir dir;
    dump(start);
    open_init();
    ParticleArrays q = make_particles(10, 2);
    parinp(start, 1, q, kTop, 1, met, files, console.with(log));
    ASSERT_EQ(q.particle_count, 3);
    for (int32_t i = 0; i < 3; ++i) {
        for (int32_t s = 0; s < 2; ++s) EXPECT_EQ(q.mass(s, i), p.mass(s, i));
        EXPECT_EQ(q.particle_sigma_h[i], p.particle_sigma_h[i]);
        EXPECT_EQ(q.particle_sigma_z[i], p.particle_sigma_z[i]);
        EXPECT_EQ(q.particle_turb_v[i], p.particle_turb_v[i]);
        EXPECT_EQ(q.particle_turb_u[i], p.particle_turb_v[i]);  // u' is taken from v'
        EXPECT_EQ(q.particle_age[i], p.particle_age[i]);
        EXPECT_EQ(q.particle_hdwp[i], p.particle_hdwp[i]);
        EXPECT_EQ(q.particle_pollutant[i], p.particle_pollutant[i]);
        EXPECT_EQ(q.particle_grid[i], p.particle_grid[i]);
        EXPECT_EQ(q.particle_sort_key[i], i + 1);  // its own slot, whatever the file's key
        EXPECT_NEAR(q.particle_z[i], p.particle_z[i], 1e-6f);
        EXPECT_NEAR(q.particle_x[i], p.particle_x[i], 2e-5f);
        EXPECT_NEAR(q.particle_y[i], p.particle_y[i], 2e-5f);
    }
    EXPECT_NE(messages.str().find(" Initialized with particles:            3"), std::string::npos);
    parinp(start + 60, 1, q, kTop, 1, met, files, console.with(log));  // the end of the file
    EXPECT_FALSE(files.init.is_open());
    EXPECT_NE(messages.str().find("WARNING parinp: particle initialization file closed"), std::string::npos);
}

TEST_F(ParticleFileTest, GroupsWaitForTheirTimeAndOldGroupsAreSkipped) {
    test::TestConsole console;
    test::ScratchDir dir;
    dump(start - 60);  // skipped
    dump(start + 120);
    p.particle_count = 1;
    p.particle_sort_key[0] = 1;  // the key of a group of one
    dump(start + 180);
    open_init();
    ParticleArrays q = make_particles(10, 2);
    q.particle_count = 2;
    parinp(start, 1, q, kTop, 1, met, files, console.with(log));
    EXPECT_EQ(q.particle_count, 2);
    EXPECT_NE(messages.str().find("WARNING parinp: particle record skipped -           24           7           1           5"),
              std::string::npos);
    EXPECT_NE(messages.str().find("WARNING parinp: initialization in time wait mode"), std::string::npos);
    parinp(start + 60, 1, q, kTop, 1, met, files, console.with(log));
    EXPECT_EQ(q.particle_count, 2);
    parinp(start + 120, 1, q, kTop, 1, met, files, console.with(log));
    EXPECT_EQ(q.particle_count, 5);  // added behind the two present, each with the key of its own slot
    for (int32_t i = 2; i < 5; ++i) EXPECT_EQ(q.particle_sort_key[i], i + 1);
    parinp(start + 180, 1, q, kTop, 3, met, files, console.with(log));
    EXPECT_EQ(q.particle_count, 1);  // mode 3: the file's particles replace the others
    EXPECT_TRUE(files.init.is_open());
}

TEST_F(ParticleFileTest, MoreParticlesThanRoomWarnOnce) {
    test::TestConsole console;
    test::ScratchDir dir;
    dump(start);
    dump(start + 60);
    open_init();
    ParticleArrays q = make_particles(4, 2);
    q.particle_count = 3;
    parinp(start, 1, q, kTop, 1, met, files, console.with(log));
    EXPECT_EQ(q.particle_count, 4);
    EXPECT_EQ(q.particle_sigma_h[3], 4500.0f);  // the last one read sits in the last slot
    parinp(start + 60, 1, q, kTop, 1, met, files, console.with(log));
    const std::string text = messages.str();
    const size_t first = text.find("WARNING parinp: exceeding particle number limit");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("WARNING parinp: exceeding", first + 1), std::string::npos);
    // The console counts the particles each load lost: two of the first
    // group, then the run's last and two more.
    EXPECT_NE(console.text().find("WARNING parinp: exceeding particle number limit - 2 particles lost with their "
                                  "mass (MAXPAR 4)\n"),
              std::string::npos)
        << console.text();
    EXPECT_NE(console.text().find("limit - 3 particles lost with their mass (MAXPAR 4)\n"), std::string::npos);
}

// The set-up check covers the groups that parinp can load in the run's
// direction; a damaged group the run never loads is left alone.
TEST_F(ParticleFileTest, CheckCoversTheGroupsTheRunCanLoadInItsDirection) {
    struct Case {
        std::vector<int32_t> groups;  // minutes from the start, in file order
        size_t damaged;               // the group holding a mass of 1e30
        bool backward, refused;
    } cases[] = {
        {{0, 60}, 1, false, true},
        {{-60, 0}, 0, false, false},       // older than the start: skipped
        {{0, -60, -120}, 2, true, true},   // a backward chain
        {{-60, 0}, 0, true, false},        // read before the start's group: skipped
        {{60, -60}, 1, true, false},       // a later group holds the file for good
        {{0, 60, -120}, 2, true, false},
    };
    for (const Case& c : cases) {
        test::ScratchDir dir;
        for (size_t g = 0; g < c.groups.size(); ++g) {
            p.mass(0, 0) = g == c.damaged ? 1.0e30f : 0.125f;
            dump(start + c.groups[g]);
        }
        open_init();
        test::TestConsole cap;
        int32_t stop = 0;
        try {
            check_particle_init_file(start, c.backward, 1, p, kTop, met, files, cap.with(log));
        } catch (const RunStop& e) {
            stop = e.code();
        }
        EXPECT_EQ(stop, c.refused ? kStopInput : 0) << c.groups.size() << " " << c.backward;
        EXPECT_EQ(cap.text().find("*ERROR* parinp: mass of pollutant 1 1e+30") != std::string::npos, c.refused)
            << cap.text();
        files.init.close();
    }
}

TEST_F(ParticleFileTest, DamagedOrMismatchedFilesStopTheRun) {
    test::ScratchDir dir;
    dump(start);
    files.dump.close();
    const std::string whole = test::read_file("PARDUMP");
    auto expect_stop = [&](const std::string& name, int32_t maxdim, const std::string& message) {
        files.init_name = name;
        ASSERT_TRUE(files.init.open(name));
        ParticleArrays q = make_particles(10, maxdim);
        messages.str("");
        test::TestConsole cap;
        try {
            parinp(start, 1, q, kTop, 1, met, files, cap.with(log));
            ADD_FAILURE() << name;
        } catch (const RunStop& e) {
            const std::string console = cap.text();
            EXPECT_EQ(e.code(), kStopInput);
            EXPECT_NE((console + messages.str()).find(message), std::string::npos) << console << messages.str();
        }
        files.init.close();
    };
    for (size_t cut : {size_t{10}, size_t{40}, whole.size() - 3}) {
        test::write_file("CUT", whole.substr(0, cut));
        expect_stop("CUT", 2, "*ERROR* parinp: truncated or damaged particle initialization file - CUT");
    }
    std::string bad = whole;
    bad[3] = static_cast<char>(0x7f);  // a length word claiming more than the file
    test::write_file("BAD", bad);
    expect_stop("BAD", 2, "- BAD");
    expect_stop("PARDUMP", 1, "*ERROR* parinp: mismatch in number of pollutants\n Mode:            1\n");
}

}  // namespace
}  // namespace orv
