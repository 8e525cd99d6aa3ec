// Interpolation at a position, the sub-step rule of the advection, the solar
// angle and flux, and the precipitation at the particle, on hand-made fields.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "run/calendar.hpp"
#include "meteo/advection.hpp"
#include "meteo/met_interpolation.hpp"
#include "tests/meteo/met_state_support.hpp"

namespace orv {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A 2-D field of 6 x 4 points (one more column allocated than the window of
// 5) holding 10 i + j, and NaN in the column beyond the window.
struct Plane {
    std::vector<float> a = std::vector<float>(6 * 4);
    Plane() {
        for (int32_t j = 1; j <= 4; ++j)
            for (int32_t i = 1; i <= 6; ++i) view().at(i, j) = i == 6 ? kNaN : 10.0f * i + j;
    }
    FieldView2D view() { return FieldView2D{a.data(), 6, 1}; }
};

TEST(Interpolation, EdgesWrapsAndReflections) {
    Plane p;
    const FieldView2D v = p.view();
    EXPECT_FLOAT_EQ(interpolate_2d(v, 2.5f, 1.5f, false, 5, 4), 26.5f);
    EXPECT_FLOAT_EQ(interpolate_2d(v, 5.0f, 2.0f, false, 5, 4), 52.0f);  // last index: never the NaN beyond
    EXPECT_FLOAT_EQ(interpolate_2d(v, 7.0f, 2.0f, false, 5, 4), 52.0f);  // outside the window: its edge
    // Whole global grid of 5 x 4.
    EXPECT_FLOAT_EQ(interpolate_2d(v, 5.5f, 2.0f, true, 5, 4), 0.5f * (52.0f + 12.0f));
    EXPECT_FLOAT_EQ(interpolate_2d(v, 6.25f, 2.0f, true, 5, 4), 0.75f * 12.0f + 0.25f * 22.0f);
    EXPECT_FLOAT_EQ(interpolate_2d(v, 0.5f, 2.0f, true, 5, 4), 0.5f * (52.0f + 12.0f));
    EXPECT_FLOAT_EQ(interpolate_2d(v, 3.0f, 0.5f, true, 5, 4), 31.5f);  // mirrored at row 1
    EXPECT_FLOAT_EQ(interpolate_2d(v, 3.0f, 4.25f, true, 5, 4), 33.75f);  // mirrored at row 4
    EXPECT_FLOAT_EQ(interpolate_2d(v, 3.0f, 4.0f, true, 5, 4), 34.0f);

    // Levels innermost: a whole level reads one level only.
    std::vector<float> col(5 * 4 * 3);
    FieldView3D f{col.data(), 5 * 3, 1, 3, 3};
    for (int32_t i = 1; i <= 5; ++i)
        for (int32_t j = 1; j <= 4; ++j) {
            f.at(i, j, 1) = 1.0f;
            f.at(i, j, 2) = 3.0f;
            f.at(i, j, 3) = kNaN;
        }
    EXPECT_FLOAT_EQ(interpolate_3d(f, 2.5f, 2.5f, 1.25f, false, 5, 4), 1.5f);
    EXPECT_FLOAT_EQ(interpolate_3d(f, 2.5f, 2.5f, 2.0f, false, 5, 4), 3.0f);
    EXPECT_EQ(time_fraction(100, 100, 100), 0.0f);  // equal data times: all weight on the first
    EXPECT_FLOAT_EQ(time_fraction(130, 160, 100), 0.5f);
}

// A uniform wind field of (u, v) grid units per minute over a 10 x 10 window.
struct Winds {
    std::vector<float> u, v, w, mx, my, p;
    AdvectionFields f;
    InternalVerticalGrid g{30.0f, -25.0f, 5.0f, 10, 2, 75.0f};
    explicit Winds(float uu, float vv = 0.0f, bool slope = false)
        : u(10 * 10 * 10), v(u.size(), vv), w(u.size(), 0.0f), mx(100, uu), my(100, vv), p(u.size()) {
        for (int32_t j = 1; j <= 10; ++j)
            for (int32_t i = 1; i <= 10; ++i)
                for (int32_t k = 1; k <= 10; ++k) {
                    view(u).at(i, j, k) = slope ? 0.1f * i : uu;
                    view(p).at(i, j, k) = 1000.0f - 50.0f * k;
                }
        for (int32_t s = 0; s < 2; ++s) {
            f.u[s] = view(u);
            f.v[s] = view(v);
            f.w[s] = view(w);
            f.pressure[s] = view(p);
            f.momentum_x[s] = FieldView2D{mx.data(), 10, 1};
            f.momentum_y[s] = FieldView2D{my.data(), 10, 1};
        }
        f.nx = 10;
        f.ny = 10;
    }
    static FieldView3D view(std::vector<float>& a) { return FieldView3D{a.data(), 100, 1, 10, 10}; }
    AdvectionSettings settings(std::span<const float> sigma) const { return AdvectionSettings{&g, sigma, 25000.0f, 0.75f}; }
};

TEST(Advection, SubStepsDivideTheStep) {
    SamplerSurface surface;
    std::vector<float> sigma(10);
    MetAtParticle m;
    // 60 minutes at nearly 3 x TRATIO per step: sub-steps of 20 minutes. The third
    // trial leaves the window: the particle stays after the second.
    Winds a(2.2f / 60.0f);  // 2.2 cells an hour: sub-steps of int(45 / 2.2) = 20 minutes
    float x = 10.0f - 2.5f * 20.0f * a.mx[0], y = 5.0f, z = 0.99f;
    const float x0 = x;
    advect_position_3d(a.f, AdvectionStep{0, 0, 60, 60.0f}, a.settings(sigma), x, y, z, m);
    EXPECT_FLOAT_EQ(x, x0 + 40.0f * a.mx[0]);
    // 7 minutes with 3-minute sub-steps wanted: 1-minute sub-steps.
    Winds b(0.2f);
    x = 9.1f;
    advect_position_3d(b.f, AdvectionStep{0, 0, 60, 7.0f}, b.settings(sigma), x, y, z, m);
    EXPECT_NEAR(x, 9.9f, 1e-5f);
    // Less than a minute moves neither a particle nor a sampler; a type 5 moves.
    x = 5.0f;
    advect_position_3d(b.f, AdvectionStep{0, 0, 60, 0.9f}, b.settings(sigma), x, y, z, m);
    advect_sampler_position(b.f, AdvectionStep{0, 0, 60, -0.9f}, b.settings(sigma), x, y, z, m, surface);
    EXPECT_EQ(x, 5.0f);
    advect_position_2d(b.f, AdvectionStep{0, 0, 60, 0.5f}, x, y);
    EXPECT_FLOAT_EQ(x, 5.1f);
    // A backward step goes the other way by the same rule.
    x = 5.0f;
    advect_position_3d(b.f, AdvectionStep{60, 0, 60, -7.0f}, b.settings(sigma), x, y, z, m);
    EXPECT_NEAR(x, 5.0f - 1.4f, 1e-5f);
}

TEST(Advection, StaggeredWindsAndLevelIndex) {
    std::vector<float> sigma(10);
    MetAtParticle m;
    Winds s(0.0f, 0.0f, true);  // u = 0.1 i
    float x = 5.0f, y = 5.0f, z = 0.99f;
    advect_position_3d(s.f, AdvectionStep{0, 0, 60, 1.0f}, s.settings(sigma), x, y, z, m);
    EXPECT_FLOAT_EQ(x, (5.0f + 5.5f + 0.55f) / 2.0f);
    s.f.stagger = WindStaggerOffsets{0.5f, 0.0f, 0.0f, 0.5f};
    x = 5.0f;
    advect_position_3d(s.f, AdvectionStep{0, 0, 60, 1.0f}, s.settings(sigma), x, y, z, m);
    EXPECT_FLOAT_EQ(x, (5.0f + 5.55f + 0.605f) / 2.0f);

    EXPECT_EQ(level_index_of(s.g, 1.2f, 25000.0f), 1.0f);
    EXPECT_EQ(level_index_of(s.g, -0.5f, 25000.0f), 10.0f);
    EXPECT_NEAR(level_index_of(s.g, 1.0f - 200.0f / 25000.0f, 25000.0f), 3.0f, 1e-3f);  // z(3) = 200 m
}

TEST(Advection, SamplerFollowsItsPressureSurfaceOrItsPrescribedVelocity) {
    SamplerSurface surface;
    Winds s(0.1f);
    const std::vector<float> sigma = make_sigma_profile(s.g, 25000.0f);
    MetAtParticle m;
    float x = 3.0f, y = 3.0f, z = sigma[2];  // level 3, at 850 hPa
    advect_sampler_position(s.f, AdvectionStep{0, 0, 60, 10.0f}, s.settings(sigma), x, y, z, m, surface);
    EXPECT_FLOAT_EQ(x, 4.0f);
    EXPECT_NEAR(z, sigma[2], 1e-6f);  // it stays on its pressure surface
    m.sampler_u = 0.0f;
    m.sampler_v = 0.05f;
    x = 3.0f;
    advect_sampler_position(s.f, AdvectionStep{0, 0, 60, 10.0f}, s.settings(sigma), x, y, z, m, surface);
    EXPECT_FLOAT_EQ(x, 3.0f);
    EXPECT_FLOAT_EQ(y, 3.5f);
}

TEST(Solar, ElevationAndFlux) {
    TextOut quiet;
    tminit();
    float elevation = 0.0f, sine = 0.0f;
    compute_solar_angle(tm2min(24, 3, 20, 12, 0, quiet), 0.0f, 0.0f, elevation, sine, quiet);
    EXPECT_NEAR(elevation, 88.1f, 1.0f);  // solar noon at 12:07.5
    compute_solar_angle(tm2min(24, 3, 20, 12, 30, quiet), 0.0f, 0.0f, elevation, sine, quiet);
    EXPECT_NEAR(elevation, 84.4f, 1.0f);  // the half hour counts
    compute_solar_angle(tm2min(24, 6, 20, 12, 0, quiet), 23.44f, 0.0f, elevation, sine, quiet);
    EXPECT_NEAR(elevation, 89.0f, 1.5f);
    compute_solar_angle(tm2min(0, 12, 21, 12, 0, quiet), 0.0f, 0.0f, elevation, sine, quiet);
    EXPECT_NEAR(elevation, 66.5f, 1.5f);
    compute_solar_angle(tm2min(24, 6, 20, 0, 0, quiet), 40.0f, 0.0f, elevation, sine, quiet);
    EXPECT_LT(elevation, 0.0f);

    std::vector<ProfileRow> rows(5);
    float flux = 0.0f, t = 0.0f;
    estimate_solar_flux(rows, -0.2f, flux, t);
    EXPECT_EQ(flux, 0.0f);
    for (auto& r : rows) r.humidity = 0.7f;
    estimate_solar_flux(rows, 0.5f, flux, t);
    EXPECT_FLOAT_EQ(flux, 552.0f);
    for (auto& r : rows) r.humidity = 1.0f;
    estimate_solar_flux(rows, 0.5f, flux, t);
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_FLOAT_EQ(flux, 276.0f);
}

// A state of one grid with a 6 x 5 window whose fields are set by hand.
class AtParticle : public ::testing::Test {
protected:
    MeteoState met;
    std::vector<ProfileRow> profile = std::vector<ProfileRow>(4);
    MetAtParticle m;
    TextOut quiet;
    void SetUp() override {
        test::add_grid(met, 1, fixture::GridShape::latlon(30.0f, -100.0f, 1.0f, 1.0f, 20, 20), 0, 600, 360);
        met.arrays.window(1).planned_nx = 6;
        met.arrays.window(1).planned_ny = 5;
        met.arrays.window(1).planned_x1 = 1;
        met.arrays.window(1).planned_y1 = 1;
        create_met_tables(met.arrays, 1, quiet);
        fit_met_fields_to_subgrid(met.arrays, 1, 4, Messages{quiet, quiet});
        met.arrays.request_times = {360, 720};
        met.arrays.time_slots = {2, 1};
        const MetFixedFields fx = met.arrays.fixed_fields(1);
        for (int32_t j = 1; j <= 5; ++j)
            for (int32_t i = 1; i <= 6; ++i) {
                fx.land_use.at(i, j) = 10 * i + j;
                fx.grid_spacing_x.at(i, j) = 1000.0f;
                fx.grid_spacing_y.at(i, j) = 2000.0f;
                fx.terrain_height.at(i, j) = 100.0f * i;
            }
    }
    void precipitation(float earlier, float later) {
        for (int32_t j = 1; j <= 5; ++j)
            for (int32_t i = 1; i <= 6; ++i) {
                met.arrays.slot_fields(1, 2).sfc_precipitation.at(i, j) = earlier;
                met.arrays.slot_fields(1, 1).sfc_precipitation.at(i, j) = later;
            }
    }
    float rain(int32_t period, int32_t fh1) {
        met.files.layout(1, 1).flags.precip_accumulation = period;
        met.arrays.met_forecast(1, 2) = fh1;
        met.arrays.met_forecast(1, 1) = fh1 + 6;
        MetEvaluation e{1, 1, 2.5f, 2.0f, 540, true, false, 4};
        interpolate_met_at_position(met, e, m, profile, quiet);
        return m.rain;
    }
};

TEST_F(AtParticle, NearestPointWordsForecastHourAndRain) {
    MetEvaluation e{1, 1, 2.6f, 3.4f, 540, false, false, 4};
    met.arrays.met_forecast(1, 2) = 6;
    met.arrays.met_forecast(1, 1) = 12;
    m.rain = -1.0f;
    EXPECT_EQ(interpolate_met_at_position(met, e, m, profile, quiet), 9);
    EXPECT_EQ(m.land_use, 33);
    EXPECT_FLOAT_EQ(m.terrain_height, 260.0f);
    EXPECT_FLOAT_EQ(m.grid_spacing_y, 2000.0f);
    EXPECT_EQ(m.rain, -1.0f);  // without deposition the word keeps its value

    precipitation(0.003f, 0.006f);
    EXPECT_FLOAT_EQ(rain(360, 6), 0.006f / 360.0f);  // a new accumulation starts at hour 6
    EXPECT_FLOAT_EQ(rain(360, 3), 0.003f / 360.0f);
    EXPECT_FLOAT_EQ(rain(-360, 6), 0.006f);
    EXPECT_FLOAT_EQ(rain(-360, 3), 0.009f);
    EXPECT_EQ(rain(0, 3), 0.0f);
    precipitation(0.006f, 0.003f);
    EXPECT_EQ(rain(360, 3), 0.0f);  // a falling accumulation gives no rain
}


// A step that ends past the later data time (a time step that does not
// divide the data interval) takes that time's values: a variance falling
// through the interval never runs on below 0.
TEST_F(AtParticle, ATimePastTheLaterDataTimeTakesItsValues) {
    for (int32_t slot : {1, 2}) {
        const MetSlotFields f = met.arrays.slot_fields(1, slot);
        const float v = slot == 2 ? 1.0f : 0.05f;  // slot 2 holds the earlier time
        for (int32_t k = 1; k <= 4; ++k)
            for (int32_t j = 1; j <= 5; ++j)
                for (int32_t i = 1; i <= 6; ++i) f.met_turbulence_1.at(i, j, k) = f.met_turbulence_2.at(i, j, k) = v;
    }
    met.arrays.met_forecast(1, 2) = 6;
    met.arrays.met_forecast(1, 1) = 12;
    for (int32_t time : {720, 756, 1440}) {
        MetEvaluation e{1, 1, 2.5f, 2.0f, time, false, false, 4};
        EXPECT_EQ(interpolate_met_at_position(met, e, m, profile, quiet), 12) << time;
        EXPECT_FLOAT_EQ(m.turbulence_1, 0.05f) << time;
        EXPECT_FLOAT_EQ(m.turbulence_2, 0.05f) << time;
    }
}

}  // namespace
}  // namespace orv
