#include "driver/deposition_booking.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "common/run_stop.hpp"
#include "tests/test_support.hpp"

namespace orv {
namespace {

constexpr int32_t kSlots = 2;
constexpr int32_t kPaths = 5;
constexpr int32_t kLand = 20;

struct Booking {
    MercuryArrays m;
    ReceptorCategories categories;
    ReceptorOutputs out;

    Booking(std::vector<int32_t> receptor_land, std::vector<int32_t> cep_codes) {
        categories.receptor_land_category = receptor_land;
        categories.cep_code = cep_codes;
        const int32_t nr = static_cast<int32_t>(receptor_land.size());
        const int32_t nc = static_cast<int32_t>(cep_codes.size());
        EXPECT_TRUE(m.allocate(kSlots, kPaths, kLand, nr, nc, kSlots));
        m.maxdim = kSlots;
        m.npath = kPaths;
        m.nland = kLand;
        EXPECT_TRUE(out.recpmass.allocate({1, kSlots}, {1, kPaths}, {1, nr}));
        EXPECT_TRUE(out.cepflux.allocate({1, kSlots}, {1, kPaths}, {1, nc}));
        EXPECT_TRUE(out.pathtot_puff.allocate({1, kSlots}, {1, kPaths}));
        EXPECT_TRUE(out.zfrvdptot_gas.allocate({1, kSlots}));
        EXPECT_TRUE(out.zfrvdptot_prt.allocate({1, kSlots}));
        for (int32_t o = 1; o <= kSlots; ++o)
            for (int32_t c = 1; c <= kLand; ++c) {
                m.zvdgas(o, c) = 0.01f;
                m.zvdprt(o, c) = 0.002f;
            }
        for (int32_t o = 1; o <= kSlots; ++o)
            for (int32_t p = 0; p <= kPaths; ++p) m.zdep(o, p) = static_cast<float>(10 * o + p);
    }
    void weights(std::vector<float> w) {
        for (size_t r = 0; r < w.size(); ++r) m.pfrac(static_cast<int32_t>(r + 1)) = w[r];
    }
};

TEST(LandUseMix, NoReceptorTouched) {
    Booking b({3, 4}, {});
    b.weights({0.0f, 0.0f});
    int32_t land = 7;
    const LandUseMix mix = mix_land_use(b.m, b.categories, land);
    EXPECT_EQ(land, 7);
    EXPECT_EQ(mix.met_category, 7);
    EXPECT_EQ(mix.receptor_weight_sum, 0.0f);
    for (int32_t c = 1; c <= kLand; ++c) EXPECT_EQ(b.m.fracland(c), c == 7 ? 1.0f : 0.0f) << c;
}

TEST(LandUseMix, WeightsAboveOneAreNormalised) {
    Booking b({3, 4, 5}, {});
    b.weights({0.6f, 0.6f, 0.2f});
    int32_t land = 7;
    const LandUseMix mix = mix_land_use(b.m, b.categories, land);
    EXPECT_EQ(land, 4);  // the last receptor holding more than half the puff
    EXPECT_EQ(mix.met_category, 7);
    EXPECT_FLOAT_EQ(mix.receptor_weight_sum, 1.4f);
    EXPECT_NEAR(b.m.pfrac(1), 0.4286f, 1e-4f);
    EXPECT_NEAR(b.m.pfrac(2), 0.4286f, 1e-4f);
    EXPECT_NEAR(b.m.pfrac(3), 0.1429f, 1e-4f);
    EXPECT_NEAR(b.m.fracland(4), 0.4286f, 1e-4f);
    EXPECT_NEAR(b.m.fracland(7), 0.0f, 1e-6f);  // the data's category gains nothing
}

TEST(LandUseMix, ReceptorsOnTheDataCategory) {
    Booking b({7, 2}, {});
    b.weights({0.3f, 0.2f});
    int32_t land = 7;
    mix_land_use(b.m, b.categories, land);
    EXPECT_EQ(land, 7);
    EXPECT_FLOAT_EQ(b.m.fracland(7), 0.3f + 0.5f);
    EXPECT_FLOAT_EQ(b.m.fracland(2), 0.2f);
}

TEST(LandUseMix, CategoryOutsideTheTablesStops) {
    test::TestConsole console;
    std::ostringstream text;
    TextOut log;
    log.attach(text);
    EXPECT_NO_THROW(check_met_land_use(1, kLand, 40.0f, -90.0f, console.with(log)));
    EXPECT_NO_THROW(check_met_land_use(kLand, kLand, 40.0f, -90.0f, console.with(log)));
    for (int32_t bad : {0, kLand + 1, -3}) {
        test::TestConsole cap;
        try {
            check_met_land_use(bad, kLand, 40.5f, -90.25f, cap.with(log));
            ADD_FAILURE() << "no stop for " << bad;
        } catch (const RunStop& s) {
            EXPECT_EQ(s.code(), kStopInput);
        }
    }
    EXPECT_NE(text.str().find("land-use category outside 1 to NLAND"), std::string::npos);
    EXPECT_NE(text.str().find("40.5"), std::string::npos);
}

TEST(DepositionBooking, OneReceptorOnThePuffsCategory) {
    Booking b({7}, {});
    b.weights({0.3f});
    int32_t land = 7;
    const LandUseMix mix = mix_land_use(b.m, b.categories, land);
    book_deposition(b.m, b.categories, {land, mix.receptor_weight_sum, false, 100.0f}, b.out);
    for (int32_t o = 1; o <= kSlots; ++o) {
        // G = 0.3 vg + 0.7 vg = vg: the receptor gets 0.3 of every path.
        EXPECT_FLOAT_EQ(b.out.zfrvdptot_gas(o), 0.01f);
        EXPECT_FLOAT_EQ(b.out.zfrvdptot_prt(o), 0.002f);
        for (int32_t p = 1; p <= kPaths; ++p) {
            EXPECT_NEAR(b.out.recpmass(o, p, 1), 0.3f * b.m.zdep(o, p), 1e-5f) << o << " " << p;
            EXPECT_EQ(b.out.pathtot_puff(o, p), b.m.zdep(o, p));  // path 0 is never booked
        }
    }
    // A second puff adds to the sums.
    book_deposition(b.m, b.categories, {land, mix.receptor_weight_sum, false, 100.0f}, b.out);
    EXPECT_EQ(b.out.pathtot_puff(2, 5), 2.0f * b.m.zdep(2, 5));
}

TEST(DepositionBooking, DryPathsFollowTheReceptorsVelocities) {
    Booking b({3}, {});
    for (int32_t o = 1; o <= kSlots; ++o) {
        b.m.zvdgas(o, 3) = 0.03f;  // the receptor's category deposits faster
        b.m.zvdprt(o, 3) = 0.0f;   // and takes no particles
    }
    b.weights({0.5f});
    int32_t land = 7;
    const LandUseMix mix = mix_land_use(b.m, b.categories, land);
    book_deposition(b.m, b.categories, {land, mix.receptor_weight_sum, false, 100.0f}, b.out);
    // G = 0.5 x 0.03 + 0.5 x 0.01 = 0.02; the receptor's share 0.015 / 0.02.
    EXPECT_NEAR(b.out.recpmass(1, 1, 1), 0.75f * b.m.zdep(1, 1), 1e-5f);
    EXPECT_EQ(b.out.recpmass(1, 2, 1), 0.0f);
    EXPECT_NEAR(b.out.recpmass(1, 4, 1), 0.5f * b.m.zdep(1, 4), 1e-5f);
}

TEST(DepositionBooking, OverlappingReceptorsCanLeaveNothingOnPathOne) {
    // Weights 1.4 before normalising: the puff's own category counts -0.4.
    Booking b({3, 4}, {});
    for (int32_t o = 1; o <= kSlots; ++o) {
        b.m.zvdgas(o, 3) = 0.0f;
        b.m.zvdgas(o, 4) = 0.0f;
    }
    b.weights({0.7f, 0.7f});
    int32_t land = 7;
    const LandUseMix mix = mix_land_use(b.m, b.categories, land);
    EXPECT_EQ(land, 4);
    book_deposition(b.m, b.categories, {land, mix.receptor_weight_sum, false, 100.0f}, b.out);
    EXPECT_EQ(b.out.zfrvdptot_gas(1), 0.0f);  // clipped at 0
    EXPECT_EQ(b.out.recpmass(1, 1, 1), 0.0f);
    EXPECT_EQ(b.out.recpmass(1, 1, 2), 0.0f);
    EXPECT_NEAR(b.out.recpmass(1, 3, 1), 0.5f * b.m.zdep(1, 3), 1e-5f);
}

TEST(DepositionBooking, CepsPerUnitArea) {
    Booking b({}, {2, 9});
    for (int32_t o = 1; o <= kSlots; ++o)
        for (int32_t p = 0; p <= kPaths; ++p) {
            b.m.zcepdep(o, p, 2) = 1.0f * p;
            b.m.zcepdep(o, p, 9) = 100.0f * p;
        }
    b.m.cepres(1) = 1.0f;
    b.m.cepres(2) = 0.0f;
    const float sigma_h = 1000.0f;
    const float area = 3.14159f * 1540.0f * 1540.0f;
    book_deposition(b.m, b.categories, {7, 0.0f, true, sigma_h}, b.out);
    EXPECT_FLOAT_EQ(b.out.cepflux(1, 3, 1), 3.0f / area);
    EXPECT_EQ(b.out.cepflux(1, 3, 2), 0.0f);
    // A puff without area books nothing to the ceps.
    book_deposition(b.m, b.categories, {7, 0.0f, true, 0.0f}, b.out);
    EXPECT_FLOAT_EQ(b.out.cepflux(1, 3, 1), 3.0f / area);
    // No cep touched: nothing either.
    book_deposition(b.m, b.categories, {7, 0.0f, false, sigma_h}, b.out);
    EXPECT_FLOAT_EQ(b.out.cepflux(2, 5, 1), 5.0f / area);
}

}  // namespace
}  // namespace orv
