// The mercury deposition step of one puff: mass balance and path sums over a
// grid of surface, rain and cloud cases, the stages' choices (land use,
// water cases, cloud geometry, settling), and the rulings on cep removal,
// SHAPE, friction velocity, zero volume and backward runs.

#include "mercury/puff_deposition.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include "common/run_stop.hpp"
#include "mercury/deposition_stages.hpp"
#include "mercury/dry_deposition_velocity.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

constexpr float kEntryMass[4] = {1e-3f, 1e-5f, 2e-5f, 5e-6f};

class DepositionStep : public ::testing::Test {
protected:
    test::ScratchDir scratch;
    Hgsim hgsim;
    std::vector<Pollutant> dirt;
    ReceptorCategories categories;
    SizeDistribution sizes;
    MercuryArrays arrays;
    test::TestConsole console;  // before the channels, whose files report to it
    DepositionWorkspace ws;
    DiagnosticChannels ch;
    std::ostringstream log_text;
    TextOut log;
    OxidantValuesAtPuff ox;
    DepositionArguments args;

    void SetUp() override {
        const HgSetup h;
        hgsim.npath = h.NPATH;
        hgsim.nland = h.NLAND;
        hgsim.pcon = h.PCON;
        hgsim.pden = h.PDEN;
        hgsim.ndist = h.NDIST;
        hgsim.nrange = h.NRANGE;
        hgsim.method_lwc = h.METHOD_LWC;
        hgsim.method_elem_dep = 1;
        test::TestConsole cap;
        psetup(hgsim, sizes, cap.out);
        initialise_diagnostic_channels(ch, console.out);
        log.attach(log_text);

        dirt.resize(4);
        for (int i = 0; i < 4; ++i) {
            Pollutant& p = dirt[static_cast<size_t>(i)];
            p.DORES = true;
            p.DOWET = true;
            p.SHAPE = 1.0f;
            p.GPMOL = 200.59f;
            p.DIFTY = 3.34f;
            p.WETIN = 2.0e4f;
        }
        dirt[0].HENRY = 0.11f;
        dirt[0].ACVTY = 1e-5f;
        dirt[1].HENRY = 1.4e6f;

        // Two receptors and three ceps, none touched unless a test says so.
        categories.receptor_land_category = {2, 10};
        categories.cep_code = {14, 6, 2};
        ASSERT_TRUE(arrays.allocate(4, hgsim.npath, hgsim.nland, 2, 3, 4));
        for (int32_t l = 1; l <= hgsim.nland; ++l) arrays.genrough(l) = l == 7 || l >= 12 ? 0.03f : 0.5f;
        set_up_deposition_workspace(ws, hgsim, 4, console.out);

        ox.fixed_value_a = 4.5f;
        ox.fixed_value_b = 2.5f;
        ox.soot_value = 1e-9f;
        ox.so2_conc = 4e-8f;

        args.call.call_id = 1;
        args.call.month = 7;
        args.call.time_step = 60.0f;
        args.puff.lat = 45.0f;
        args.puff.lon = -80.0f;
        args.puff.puff_bottom_height = 0.0f;
        args.puff.puff_top_height = 200.0f;
        args.puff.puff_depth = 200.0f;
        args.puff.puffvol = 1e9f;
        args.puff.near_surface_flag = true;
        args.met.wind_speed_10m = 5.0f;
        args.met.land_use = 6;
        args.met.friction_velocity = 0.4f;
        args.met.stability = 0.5f;
        args.met.solar_flux = 500.0f;
        args.met.air_density = 1.2f;
        args.met.temperature = 290.0f;
        args.met.surface_temperature = 291.0f;
        args.met.rh_puff = 0.7f;
        args.met.rh_surface = 0.85f;
        args.met.surface_layer_height = 75.0f;
        only_land_use(6);
    }

    void only_land_use(int32_t l) {
        arrays.fracland.zero();
        arrays.fracland(l) = 1.0f;
        args.met.land_use = l;
    }
    // Rain with a cloud layer; the driver's fractions for the puff.
    void rain(float rate, float base, float top) {
        args.met.RAIN = rate;
        args.cloud.cloud_base_height = base;
        args.cloud.cloud_top_height = top;
        const float b = args.puff.puff_bottom_height, t = args.puff.puff_top_height, d = args.puff.puff_depth;
        if (b >= top) {
            args.cloud.fraction_below_cloud_top = args.cloud.fraction_above_cloud_base = 0.0f;
            return;
        }
        args.cloud.fraction_below_cloud_top = t <= top ? 1.0f : 1.0f - (t - top) / d;
        args.cloud.fraction_above_cloud_base = b >= base ? 1.0f : base > t ? 0.0f : 1.0f - (base - b) / d;
    }
    void place_puff(float bottom, float top) {
        args.puff.puff_bottom_height = bottom;
        args.puff.puff_top_height = top;
        args.puff.puff_depth = std::max(top - bottom, 1.0f);
    }
    void step() {
        for (int32_t p = 1; p <= 4; ++p) arrays.depelm_mass(p) = kEntryMass[p - 1];
        const DepositionSettings run{hgsim, dirt, categories};
        compute_puff_mercury_deposition(args, run, ox, arrays, sizes, ws, ch, console.with(log));
    }
    float path_sum(int32_t p) const {
        float s = 0.0f;
        for (int32_t path = 1; path <= hgsim.npath; ++path) s += arrays.zdep(p, path);
        return s;
    }
    // The books of every species: the paths add up to the removal, and
    // removed plus remaining equals the mass on entry; nothing is negative or
    // not finite.
    void expect_balanced(const std::string& what) {
        for (int32_t p = 1; p <= 4; ++p) {
            const float entry = kEntryMass[p - 1];
            const float removed = arrays.zdep(p, 0);
            EXPECT_NEAR(arrays.step_deposit(p), removed, 1e-6f * entry) << what << " species " << p;
            EXPECT_NEAR(path_sum(p), removed, 1e-6f * entry) << what << " species " << p;
            EXPECT_NEAR(arrays.depelm_mass(p) + removed, entry, 1e-6f * entry) << what << " species " << p;
            EXPECT_GE(arrays.depelm_mass(p), 0.0f) << what;
            for (int32_t path = 0; path <= hgsim.npath; ++path) {
                EXPECT_TRUE(std::isfinite(arrays.zdep(p, path)) && arrays.zdep(p, path) >= 0.0f) << what;
                for (int32_t l = 1; l <= hgsim.nland; ++l) {
                    const float c = arrays.zcepdep(p, path, l);
                    EXPECT_TRUE(std::isfinite(c) && c >= 0.0f && c <= entry * 1.000001f) << what << " cep " << l;
                }
            }
            for (int32_t l = 1; l <= hgsim.nland; ++l) {
                EXPECT_TRUE(std::isfinite(arrays.zvdgas(p, l)) && arrays.zvdgas(p, l) >= 0.0f) << what;
                EXPECT_TRUE(std::isfinite(arrays.zvdprt(p, l)) && arrays.zvdprt(p, l) >= 0.0f) << what;
            }
            EXPECT_TRUE(std::isfinite(arrays.avgvg_spec(p))) << what;
        }
        EXPECT_TRUE(std::isfinite(arrays.puff_descent) && arrays.puff_descent >= 0.0f) << what;
    }
};

TEST_F(DepositionStep, KeepsTheBooksOverAGridOfCases) {
    struct Mix {
        const char* name;
        std::vector<std::pair<int32_t, float>> shares;
    };
    const std::vector<Mix> mixes = {{"forest", {{6, 1.0f}}},
                                    {"water", {{7, 1.0f}}},
                                    {"three categories", {{2, 0.5f}, {14, 0.3f}, {11, 0.2f}}}};
    struct Weather {
        const char* name;
        float rain, base, top, bottom, puff_top, rh;
        bool surface;
    };
    const std::vector<Weather> weathers = {
        {"dry", 0.0f, 0.0f, 0.0f, 0.0f, 200.0f, 0.7f, true},
        {"rain below cloud", 1e-4f, 500.0f, 2000.0f, 0.0f, 200.0f, 0.7f, true},
        {"rain below cloud with cloud water", 1e-4f, 500.0f, 2000.0f, 0.0f, 200.0f, 0.97f, true},
        {"across the cloud base", 1e-4f, 100.0f, 2000.0f, 0.0f, 300.0f, 0.97f, true},
        {"in cloud", 1e-4f, 500.0f, 2000.0f, 800.0f, 1200.0f, 1.0f, false},
        {"in cloud without cloud water", 1e-4f, 500.0f, 2000.0f, 800.0f, 1200.0f, 0.5f, false},
        {"above the cloud top", 1e-4f, 500.0f, 2000.0f, 2500.0f, 2900.0f, 0.6f, false},
        {"aloft dry", 0.0f, 0.0f, 0.0f, 1500.0f, 1900.0f, 0.6f, false},
    };
    for (int32_t elem : {0, 1}) {
        hgsim.method_elem_dep = elem;
        for (const Mix& mix : mixes) {
            for (const Weather& w : weathers) {
                arrays.fracland.zero();
                for (auto [l, f] : mix.shares) arrays.fracland(l) = f;
                args.met.land_use = mix.shares.front().first;
                place_puff(w.bottom, w.puff_top);
                args.puff.near_surface_flag = w.surface;
                args.met.rh_puff = w.rh;
                rain(w.rain, w.base, w.top);
                arrays.cepres(1) = 1.0f;  // a cep over water under the puff
                step();
                const std::string what = std::string(mix.name) + ", " + w.name + ", elem " + std::to_string(elem);
                expect_balanced(what);
                if (elem == 0) {
                    EXPECT_EQ(arrays.zdep(1, 0), 0.0f) << what;
                    EXPECT_EQ(arrays.depelm_mass(1), kEntryMass[0]) << what;
                    for (int32_t l = 1; l <= hgsim.nland; ++l) EXPECT_EQ(arrays.zcepdep(1, 0, l), 0.0f) << what;
                }
                if (w.rain == 0.0f) {
                    for (int32_t p = 1; p <= 4; ++p) {
                        for (int32_t path = 3; path <= 5; ++path) EXPECT_EQ(arrays.zdep(p, path), 0.0f) << what;
                    }
                }
                if (!w.surface) {
                    for (int32_t p = 1; p <= 4; ++p) EXPECT_EQ(arrays.zdep(p, 1) + arrays.zdep(p, 2), 0.0f) << what;
                }
            }
        }
    }
}

TEST_F(DepositionStep, DegenerateInputsStayFinite) {
    // No friction velocity, SHAPE 0, over land and water, in rain.
    args.met.friction_velocity = 0.0f;
    for (Pollutant& p : dirt) p.SHAPE = 0.0f;
    rain(1e-4f, 100.0f, 2000.0f);
    for (int32_t l : {6, 7}) {
        only_land_use(l);
        step();
        expect_balanced("u* 0, SHAPE 0, category " + std::to_string(l));
    }
    args.puff.near_surface_flag = false;
    step();
    expect_balanced("aloft, SHAPE 0");
    EXPECT_GT(arrays.puff_descent, 0.0f);
    // One warning for each pollutant whose SHAPE was used.
    const std::string text = log_text.str();
    for (int32_t p = 1; p <= 4; ++p) {
        const std::string line = "taken as 1 - pollutant           " + std::to_string(p);
        const size_t first = text.find(line);
        ASSERT_NE(first, std::string::npos) << text;
        EXPECT_EQ(text.find(line, first + 1), std::string::npos) << text;
    }
}

TEST_F(DepositionStep, APuffWithoutVolumeDepositsNothing) {
    rain(1e-4f, 100.0f, 2000.0f);
    step();
    ASSERT_GT(arrays.zdep(3, 0), 0.0f);
    for (float v : {0.0f, -5.0f}) {
        args.puff.puffvol = v;
        step();
        for (int32_t p = 1; p <= 4; ++p) {
            EXPECT_EQ(arrays.depelm_mass(p), kEntryMass[p - 1]);
            EXPECT_EQ(arrays.step_deposit(p), 0.0f);
            for (int32_t path = 0; path <= 5; ++path) EXPECT_EQ(arrays.zdep(p, path), 0.0f);
        }
        EXPECT_EQ(arrays.puff_descent, 0.0f);
    }
}

TEST_F(DepositionStep, ABackwardStepRemovesAsAForwardOne) {
    rain(1e-4f, 100.0f, 2000.0f);
    step();
    std::vector<float> forward;
    for (int32_t p = 1; p <= 4; ++p) forward.push_back(arrays.zdep(p, 0));
    args.call.time_step = -60.0f;
    step();
    for (int32_t p = 1; p <= 4; ++p) {
        EXPECT_FLOAT_EQ(arrays.zdep(p, 0), forward[static_cast<size_t>(p - 1)]);
        EXPECT_LE(arrays.depelm_mass(p), kEntryMass[p - 1]);
    }
    args.puff.near_surface_flag = false;
    step();
    EXPECT_GT(arrays.puff_descent, 0.0f);
}

TEST_F(DepositionStep, RatesAndPathsFollowTheCloudGeometry) {
    args.met.rh_puff = 0.5f;  // no cloud water at the puff
    // Wholly below the cloud base: below-cloud paths only, path 4 without cloud water.
    place_puff(0.0f, 200.0f);
    rain(1e-4f, 500.0f, 2000.0f);
    step();
    for (int32_t p = 1; p <= 4; ++p) {
        EXPECT_GT(ws.zpbeta(p, 4), 0.0f) << p;
        EXPECT_EQ(ws.zpbeta(p, 3), 0.0f);
        EXPECT_EQ(ws.zpbeta(p, 5), 0.0f);
    }
    // With cloud water the four species are scavenged as particles, path 3.
    args.met.rh_puff = 0.97f;
    step();
    ASSERT_TRUE(ws.xdroplet(1));
    EXPECT_GE(ws.zpbeta(1, 3), 0.0f);  // hardly any elemental mercury dissolves
    for (int32_t p = 1; p <= 4; ++p) {
        if (p > 1) {
            EXPECT_GT(ws.zpbeta(p, 3), 0.0f) << p;
        }
        EXPECT_EQ(ws.zpbeta(p, 4), 0.0f);
    }
    // Wholly inside the cloud: path 5 alone, with both shares 1.
    args.puff.near_surface_flag = false;
    place_puff(800.0f, 1200.0f);
    rain(1e-4f, 500.0f, 2000.0f);
    step();
    for (int32_t p = 1; p <= 4; ++p) {
        EXPECT_EQ(ws.zpbeta(p, 3) + ws.zpbeta(p, 4), 0.0f);
        EXPECT_GT(ws.zpbeta(p, 5), 0.0f);
    }
    EXPECT_FLOAT_EQ(ws.zpbeta(3, 5), 1e-4f * dirt[2].WETIN / ws.depth);
    // Above the cloud top: no wet removal at all.
    place_puff(2500.0f, 2900.0f);
    rain(1e-4f, 500.0f, 2000.0f);
    step();
    for (int32_t p = 1; p <= 4; ++p) EXPECT_EQ(ws.zbeta(p), 0.0f);
    for (int32_t p = 1; p <= 4; ++p) EXPECT_EQ(arrays.zdep(p, 0), 0.0f);
    // Without the wet flag of pollutant 3 nothing is washed out.
    place_puff(0.0f, 200.0f);
    rain(1e-4f, 500.0f, 2000.0f);
    dirt[2].DOWET = false;
    step();
    for (int32_t p = 1; p <= 4; ++p) EXPECT_EQ(ws.zpbeta(p, 4) + ws.zpbeta(p, 3) + ws.zpbeta(p, 5), 0.0f);
}

TEST_F(DepositionStep, APuffAcrossTheCloudBaseSplitsItsDepth) {
    place_puff(0.0f, 400.0f);
    args.met.rh_puff = 0.97f;
    rain(1e-4f, 100.0f, 2000.0f);
    step();
    // About 1 - 100/400 of the depth lies above the base, the rest below it
    // (the edges as the step lowered them by the settling).
    EXPECT_GT(arrays.puff_descent, 0.0f);
    const float above = 1.0f - (100.0f - ws.bottom) / ws.depth;
    EXPECT_NEAR(above, 0.75f, 0.01f);
    const float k_in = 1e-4f * dirt[2].WETIN * 1.0f * above / ws.depth;
    EXPECT_FLOAT_EQ(ws.zpbeta(3, 5), k_in);
    EXPECT_GT(ws.zpbeta(3, 3), 0.0f);
}

TEST_F(DepositionStep, TheDryPartitionLeavesGasesAsGasesAndTheRestOnParticles) {
    args.met.rh_puff = 0.5f;
    args.met.rh_surface = 0.5f;
    step();
    // Case 3 (0.95) is wet with method 6 near the surface; cases 1 and 2 are dry.
    for (int32_t c : {1, 2}) {
        ASSERT_FALSE(ws.xdroplet(c));
        EXPECT_EQ(ws.xfracgas(c, 1), 1.0f);
        EXPECT_EQ(ws.xfracgas(c, 2), 1.0f);
        EXPECT_EQ(ws.xfracpart(c, 3), 1.0f);
        EXPECT_EQ(ws.xfracpart(c, 4), 1.0f);
        float share = 0.0f;
        for (int32_t r = 0; r <= hgsim.nrange; ++r) share += ws.xzmfracp(c, 3, r);
        EXPECT_NEAR(share, 1.0f, 1e-5f);
    }
    EXPECT_TRUE(ws.xdroplet(3));
    EXPECT_FALSE(ws.xdroplet(4));
    for (int32_t nd = 1; nd <= 4; ++nd) {
        EXPECT_GE(ws.xfracgas(3, nd), 0.0f);
        EXPECT_LE(ws.xfracgas(3, nd), 1.0f);
    }
}

TEST_F(DepositionStep, EmptySpeciesHaveNoGasShareAndDepositNothing) {
    test::TestConsole console;
    args.met.rh_puff = 0.97f;
    rain(1e-4f, 500.0f, 2000.0f);
    for (int32_t p = 1; p <= 4; ++p) arrays.depelm_mass(p) = 0.0f;
    const DepositionSettings run{hgsim, dirt, categories};
    compute_puff_mercury_deposition(args, run, ox, arrays, sizes, ws, ch, console.with(log));
    EXPECT_EQ(ws.xfracgas(1, 1), 0.0f);
    EXPECT_EQ(ws.xfracgas(1, 2), 0.0f);
    for (int32_t p = 1; p <= 4; ++p) {
        EXPECT_EQ(arrays.depelm_mass(p), 0.0f);
        EXPECT_EQ(arrays.zdep(p, 0), 0.0f);
    }
    EXPECT_EQ(arrays.puff_descent, 0.0f);
}

TEST_F(DepositionStep, VelocitiesOnlyForCategoriesUnderThePuffItsReceptorsAndCeps) {
    only_land_use(6);
    arrays.pfrac(2) = 0.4f;   // receptor in category 10
    arrays.cepres(1) = 1.0f;  // cep in category 14
    step();
    for (int32_t l = 1; l <= hgsim.nland; ++l) {
        const bool present = l == 6 || l == 10 || l == 14;
        EXPECT_EQ(ws.z_vdland(0, l, 1) > 0.0f, present) << l;
        EXPECT_EQ(ws.z_vdcep(0, l, 1) > 0.0f, l == 14) << l;
    }
    // Water-like categories take the diameters of the 0.95 case, others of
    // the lowest level's humidity.
    EXPECT_EQ(deposition::water_case(14), 3);
    EXPECT_EQ(deposition::water_case(7), 3);
    EXPECT_EQ(deposition::water_case(12), 3);
    EXPECT_EQ(deposition::water_case(13), 3);
    EXPECT_EQ(deposition::water_case(11), 2);
    EXPECT_EQ(deposition::water_case(19), 2);
    // A species without the resistance method has no velocity.
    dirt[3].DORES = false;
    step();
    for (int32_t l = 1; l <= hgsim.nland; ++l) EXPECT_EQ(ws.z_vdland(0, l, 4), 0.0f);
    EXPECT_EQ(arrays.zdep(4, 1) + arrays.zdep(4, 2), 0.0f);
}

// The step computes the pieces of the velocities once for the calls that
// share them; every velocity must be the one a call of its own gives.
TEST_F(DepositionStep, EachVelocityEqualsThatOfASingleCall) {
    arrays.fracland.zero();
    arrays.fracland(2) = 0.5f;
    arrays.fracland(7) = 0.3f;
    arrays.fracland(14) = 0.2f;
    arrays.cepres(2) = 1.0f;  // a cep in category 6
    dirt[1].SHAPE = 1.5f;
    dirt[2].GPMOL = 250.0f;  // the shape of species 1, another molar mass
    dirt[3].SHAPE = 1.5f;    // the shape and molar mass of species 2
    args.met.rh_surface = 0.9f;
    step();
    DepositionSurface sf;
    sf.ubar = args.met.wind_speed_10m;
    sf.lat = args.puff.lat;
    sf.month = args.call.month;
    sf.z = args.met.surface_layer_height;
    sf.ustar = args.met.friction_velocity;
    sf.psi = args.met.stability;
    sf.solar = args.met.solar_flux;
    sf.air_density = args.met.air_density * 1000.0f;
    sf.temperature = args.met.surface_temperature;
    TextOut quiet;
    WaterZeroCounts zeros;
    for (int32_t l : {2, 6, 7, 14}) {
        const int32_t c = deposition::water_case(l);
        for (int32_t nd = 1; nd <= 4; ++nd) {
            const Pollutant& pol = dirt[static_cast<size_t>(nd - 1)];
            for (int32_t r = 0; r <= hgsim.nrange; ++r) {
                DepositionTarget t;
                t.pollutant = nd;
                t.land_use = l;
                t.z0 = arrays.genrough(l);
                if (r > 0) {
                    t.diameter = ws.xpd(c, r);
                    t.settling = ws.unshaped_settling(c, r) / pol.SHAPE;
                    t.extra_transfer = ws.unshaped_settling(1, r) / pol.SHAPE;
                }
                const float vd = std::max(0.0f, dry_deposition_terms(sf, pol, t, zeros, quiet).vd);
                EXPECT_EQ(ws.z_vdland(r, l, nd), vd) << "category " << l << " species " << nd << " range " << r;
            }
        }
    }
}

TEST_F(DepositionStep, TheOriginalCategoryKeepsItsShareUnderAReceptorOverride) {
    args.call.time_step = 1.0f;  // linear range
    only_land_use(2);
    step();
    std::vector<float> rate2;
    for (int32_t p = 1; p <= 4; ++p) rate2.push_back(ws.zsbeta(p));
    only_land_use(6);
    step();
    std::vector<float> rate6;
    for (int32_t p = 1; p <= 4; ++p) rate6.push_back(ws.zsbeta(p));
    // The receptor's category 2 took over the puff's category; the puff's own
    // category 6 keeps 40 percent of the land use.
    arrays.fracland.zero();
    arrays.fracland(2) = 0.6f;
    arrays.fracland(6) = 0.4f;
    args.met.land_use = 2;
    step();
    for (int32_t p = 1; p <= 4; ++p) {
        const float expected = 0.6f * rate2[static_cast<size_t>(p - 1)] + 0.4f * rate6[static_cast<size_t>(p - 1)];
        EXPECT_NEAR(ws.zsbeta(p), expected, 1e-5f * expected) << p;
    }
}

TEST_F(DepositionStep, ACepCategoryRemovesAtItsOwnRateInTheExponentialRange) {
    args.call.time_step = 60.0f;
    place_puff(0.0f, 1.0f);  // a thin puff: large dry rates
    arrays.fracland.zero();
    arrays.fracland(7) = 0.5f;
    arrays.fracland(6) = 0.5f;
    args.met.land_use = 6;
    arrays.cepres(2) = 1.0f;  // a cep of category 6
    step();
    const int32_t l = 6;
    bool differs = false;
    for (int32_t p = 1; p <= 4; ++p) {
        const float beta_c = ws.zpbetalnd(p, 0, l);
        ASSERT_GE(beta_c * 60.0f, 0.01f) << p;
        const float m = kEntryMass[p - 1];
        const float expected = m * (1.0f - std::exp(-beta_c * 60.0f));
        EXPECT_NEAR(arrays.zcepdep(p, 0, l), expected, 1e-5f * m) << p;
        float paths = 0.0f;
        for (int32_t path = 1; path <= 5; ++path) paths += arrays.zcepdep(p, path, l);
        EXPECT_NEAR(paths, arrays.zcepdep(p, 0, l), 1e-6f * m) << p;
        if (std::fabs(arrays.zcepdep(p, 0, l) - arrays.zdep(p, 0)) > 1e-4f * m) differs = true;
    }
    EXPECT_TRUE(differs) << "the cep category should not take the puff's own removal";
}

TEST_F(DepositionStep, SettlingAloftMovesThePuffAndKeepsTheSurfaceVelocities) {
    step();
    std::vector<float> zvdgas;
    for (int32_t l = 1; l <= hgsim.nland; ++l) zvdgas.push_back(arrays.zvdgas(1, l));
    arrays.avgvg_spec.fill(-1.0f);
    step();
    EXPECT_EQ(arrays.avgvg_spec(1), -1.0f);  // not written near the surface
    // Near the surface the descent is the mass-weighted settling velocity.
    float mass = 0.0f, weighted = 0.0f;
    for (int32_t p = 1; p <= 4; ++p) {
        mass += kEntryMass[p - 1];
        weighted += ws.zvg(p) * kEntryMass[p - 1];
    }
    EXPECT_NEAR(arrays.puff_descent, weighted / mass * 60.0f * 60.0f, 1e-5f * arrays.puff_descent);

    args.puff.near_surface_flag = false;
    place_puff(1500.0f, 1900.0f);
    step();
    for (int32_t l = 1; l <= hgsim.nland; ++l) EXPECT_EQ(arrays.zvdgas(1, l), zvdgas[static_cast<size_t>(l - 1)]);
    const float v = arrays.avgvg_spec(1);
    EXPECT_GT(v, 0.0f);
    for (int32_t p = 2; p <= 4; ++p) EXPECT_EQ(arrays.avgvg_spec(p), v);
    EXPECT_FLOAT_EQ(arrays.puff_descent, v * 60.0f * 60.0f);
    EXPECT_FLOAT_EQ(ws.bottom, 1500.0f - arrays.puff_descent);
    // The slip-corrected settling speed of a 1-micrometre water sphere aloft
    // (case 1 wet: density 1000 kg/m3) is near the textbook 3.5e-5 m/s.
    const float v1 = deposition::settling_velocity(1e-6f, 1.0e6f, 1200.0f, 1.0f);
    EXPECT_NEAR(v1, 3.5e-5f, 0.05f * 3.5e-5f);
}

TEST_F(DepositionStep, ThePuffEdgesNeverSinkBelowTheGround) {
    args.call.time_step = 1.0e6f;  // an absurdly long step
    place_puff(0.0f, 0.5f);
    step();
    EXPECT_EQ(ws.bottom, 0.0f);
    EXPECT_EQ(ws.top, 0.0f);
    EXPECT_EQ(ws.depth, 1.0f);
    expect_balanced("long step");
}

TEST_F(DepositionStep, ShippedChannelsWriteNoDumps) {
    rain(1e-4f, 100.0f, 2000.0f);
    arrays.pfrac(1) = 1.0f;
    arrays.cepres(1) = 1.0f;
    for (int i = 0; i < 20; ++i) step();
    for (const auto& e : std::filesystem::directory_iterator(scratch.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.rfind("fort.", 0) != 0 || name == "fort.2000") << name;
    }
}

TEST_F(DepositionStep, EnabledChannelsDumpAndTheVelocityChannelStopsAfterFive) {
    ch.channel_probability[25] = 1.0f;
    ch.channel_probability[28] = 1.0f;
    ch.channel_probability[103] = 1.0f;
    arrays.pfrac(1) = 1.0f;
    arrays.cepres(1) = 1.0f;
    for (int i = 0; i < 40; ++i) step();
    EXPECT_GT(ch.nwrite[25], 5);
    EXPECT_FALSE(ch.diagnostic_sampling_flags[25]);
    ch.close_all();
    // Five calls dumped: 3 categories (the puff's, the receptor's, the
    // cep's) x 4 species x 15 size ranges (the gas included) each.
    const std::string d25 = test::read_file("fort.2025");
    size_t lines = 0;
    for (size_t at = d25.find("land use, species"); at != std::string::npos; at = d25.find("land use, species", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 5u * 3u * 4u * 15u);
    EXPECT_FALSE(test::read_file("fort.2028").empty());
    const std::string d103 = test::read_file("fort.2103");
    EXPECT_NE(d103.find("            JET = "), std::string::npos);
    EXPECT_NE(d103.find(" depelm_mass(nd) = "), std::string::npos);
}

TEST_F(DepositionStep, TheWorkspaceRefusesCountsTheStepCannotRun) {
    DepositionWorkspace other;
    test::TestConsole cap;
    EXPECT_THROW(set_up_deposition_workspace(other, hgsim, 3, cap.out), RunStop);
    Hgsim few = hgsim;
    few.npath = 4;
    EXPECT_THROW(set_up_deposition_workspace(other, few, 4, cap.out), RunStop);
    few = hgsim;
    few.nland = 21;
    EXPECT_THROW(set_up_deposition_workspace(other, few, 4, cap.out), RunStop);
    const std::string out = cap.text();
    EXPECT_NE(out.find("MAXDIM"), std::string::npos);
}

}  // namespace
}  // namespace orv
