// The particle advance on generated meteorology: trajectories against their
// known paths, data caching, the window, type codes and the meteorology at
// the particle.

#include <gtest/gtest.h>

#include <cmath>

#include "common/run_stop.hpp"
#include "meteo/advpnt.hpp"
#include "meteo/map_projection.hpp"
#include "meteo/met_interpolation.hpp"
#include "tests/meteo/advance_rig.hpp"

namespace orv {
namespace {

using fixture::AnalyticMet;
using fixture::GridShape;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiusKm = 6371.2;

AnalyticMet uniform(double u, double v = 0.0) {
    AnalyticMet m;
    m.u = u;
    m.v = v;
    m.daily_cycle = false;
    return m;
}

TEST(Advpnt, UniformZonalWindFollowsTheLatitude) {
    test::AdvanceRig rig;
    rig.set_up({test::advance_recipe(GridShape::latlon(30.0f, -120.0f, 0.5f, 0.5f, 60, 40), 25)},
               uniform(10.0).function());
    ParticlePosition p = rig.particle_at(40.0f, -110.0f);
    rig.run_steps(p, rig.start, 60.0f, 24);
    ASSERT_EQ(p.grid, 1) << rig.log_str();
    const double want = -110.0 + (180.0 / kPi) * 10.0 * 86400.0 / (kRadiusKm * 1000.0 * std::cos(40.0 * kPi / 180.0));
    EXPECT_NEAR(rig.at.lon, want, 1e-3);
    EXPECT_NEAR(rig.at.lat, 40.0, 1e-4);
}

// Grid-relative wind of constant components (m/s) on a projection: the path
// of dx/dt = u * 60 / spacing, the spacing bilinear between grid points,
// integrated in the test by fine fourth-order steps.
void expect_projection_path(const GridShape& shape) {
    AnalyticMet m = uniform(12.0, -7.0);
    m.grid_relative = true;
    test::AdvanceRig rig;
    rig.set_up({test::advance_recipe(shape, 13)}, m.function());
    const MetGridDefinition& g = rig.met.files.grid(1, 1);
    ParticlePosition p;
    p.x = 20.3f;
    p.y = 33.6f;
    p.z = 0.99f;
    p.grid = 1;
    rig.run_steps(p, rig.start, 60.0f, 12);
    ASSERT_EQ(p.grid, 1) << rig.log_str();

    auto spacing = [&](double x, double y) {  // m, bilinear between grid points as the model holds it
        const int i = static_cast<int>(x), j = static_cast<int>(y);
        const double fx = x - i, fy = y - j;
        auto s = [&](int a, int b) {
            return 1000.0 * compute_projection_map_factor(g.projection, static_cast<float>(a), static_cast<float>(b));
        };
        auto inv = [&](int a, int b) { return 1.0 / s(a, b); };
        const double lo = inv(i, j) + (inv(i + 1, j) - inv(i, j)) * fx;
        const double hi = inv(i, j + 1) + (inv(i + 1, j + 1) - inv(i, j + 1)) * fx;
        return lo + (hi - lo) * fy;
    };
    auto rate = [&](double x, double y, double& dx, double& dy) {
        const double inv = spacing(x, y);
        dx = 12.0 * 60.0 * inv;
        dy = -7.0 * 60.0 * inv;
    };
    double x = 20.3, y = 33.6;
    for (int n = 0; n < 12 * 60 * 4; ++n) {
        const double h = 0.25;
        double k1x, k1y, k2x, k2y, k3x, k3y, k4x, k4y;
        rate(x, y, k1x, k1y);
        rate(x + 0.5 * h * k1x, y + 0.5 * h * k1y, k2x, k2y);
        rate(x + 0.5 * h * k2x, y + 0.5 * h * k2y, k3x, k3y);
        rate(x + h * k3x, y + h * k3y, k4x, k4y);
        x += h / 6.0 * (k1x + 2 * k2x + 2 * k3x + k4x);
        y += h / 6.0 * (k1y + 2 * k2y + 2 * k3y + k4y);
    }
    EXPECT_GT(std::fabs(p.x - 20.3f), 10.0f);
    EXPECT_NEAR(p.x, x, 1e-3);
    EXPECT_NEAR(p.y, y, 1e-3);
}

TEST(Advpnt, ConstantGridRelativeWindOnProjections) {
    expect_projection_path(GridShape::lambert(45.0f, -95.0f, 40.0f, 60, 50));
    expect_projection_path(GridShape::polar(60.0f, -100.0f, 40.0f, 60, 50));
}

TEST(Advpnt, WindLinearInTimeGivesTheTrapezoidDisplacement) {
    AnalyticMet m = uniform(4.0);
    m.wind = AnalyticMet::Wind::LinearInTime;
    m.du_dt = 1.5;  // m/s per hour
    test::AdvanceRig rig;
    const fixture::MetFileRecipe r = test::advance_recipe(GridShape::latlon(30.0f, -120.0f, 0.5f, 0.5f, 80, 40), 8);
    m.t0 = r.start;
    rig.set_up({r}, m.function());
    ParticlePosition p = rig.particle_at(40.0f, -115.0f);
    const float x0 = p.x;
    rig.run_steps(p, rig.start + 30, 60.0f, 6);  // steps across the data times
    ASSERT_EQ(p.grid, 1);
    // Distance: the integral of 4 + 1.5 t (hours) from 0.5 to 6.5 hours.
    const double metres = (4.0 * 6.0 + 0.75 * (6.5 * 6.5 - 0.5 * 0.5)) * 3600.0;
    const double cell = 0.5 / 57.295776 * 6371.2e3 * std::cos(40.0 * kPi / 180.0);
    EXPECT_NEAR(p.x - x0, metres / cell, 2e-3);
}

TEST(Advpnt, SolidBodyRotationReturnsAndRetracesBackward) {
    AnalyticMet m = uniform(0.0);
    m.wind = AnalyticMet::Wind::SolidBody;
    m.omega = 2.0 * kPi / 86400.0;  // one turn a day
    test::AdvanceRig rig;
    rig.set_up({test::advance_recipe(GridShape::polar(90.0f, 0.0f, 50.0f, 80, 80), 25)}, m.function());
    ParticlePosition p = rig.particle_at(80.0f, 20.0f);
    const ParticlePosition start = p;
    rig.run_steps(p, rig.start, 60.0f, 24);
    ASSERT_EQ(p.grid, 1) << rig.log_str();
    EXPECT_NEAR(p.x, start.x, 0.05f);
    EXPECT_NEAR(p.y, start.y, 0.05f);

    // Six hours forward, then back again.
    ParticlePosition q = start;
    rig.run_steps(q, rig.start + 120, 60.0f, 6);
    EXPECT_GT(std::hypot(q.x - start.x, q.y - start.y), 5.0f);
    rig.run.backward = true;
    rig.run_steps(q, rig.start + 480, -60.0f, 6);
    ASSERT_EQ(q.grid, 1) << rig.log_str();
    EXPECT_NEAR(q.x, start.x, 0.01f);
    EXPECT_NEAR(q.y, start.y, 0.01f);
}

TEST(Advpnt, GlobalGridWrapsAcrossItsFirstColumn) {
    test::AdvanceRig rig;
    rig.set_up({test::advance_recipe(GridShape::global(2.5f), 25)}, uniform(20.0).function());
    ParticlePosition p = rig.particle_at(0.0f, -10.0f);
    EXPECT_FLOAT_EQ(p.x, 141.0f);
    float lon_before = -10.0f;
    double travelled = 0.0;
    for (int32_t n = 0; n < 24; ++n) {
        rig.advance(p, rig.start + 60 * n, 60.0f);
        ASSERT_EQ(p.grid, 1) << rig.log_str();
        double d = rig.at.lon - lon_before;
        if (d < -180.0) d += 360.0;
        travelled += d;
        lon_before = rig.at.lon;
        EXPECT_GE(p.x, 1.0f);
        EXPECT_LT(p.x, 145.0f);
    }
    EXPECT_TRUE(rig.met.arrays.window(1).whole_grid);
    EXPECT_LT(p.x, 10.0f);  // across the first column
    EXPECT_NEAR(travelled, (180.0 / kPi) * 20.0 * 86400.0 / (kRadiusKm * 1000.0), 1e-3);
    EXPECT_NEAR(rig.at.lat, 0.0f, 1e-4f);
}

TEST(Advpnt, DataTimesTooFarApartStopTheRun) {
    for (int32_t interval : {720, 780}) {
        fixture::MetFileRecipe r = test::advance_recipe(GridShape::latlon(30.0f, -120.0f, 0.5f, 0.5f, 40, 40), 2);
        r.interval = interval;
        test::AdvanceRig rig;
        rig.set_up({r}, uniform(5.0).function());
        ParticlePosition p = rig.particle_at(40.0f, -110.0f);
        if (interval == 720) {
            EXPECT_EQ(rig.advance(p, rig.start, 60.0f).status, 0);
            continue;
        }
        try {
            rig.advance(p, rig.start, 60.0f);
            FAIL() << "no stop";
        } catch (const RunStop& s) {
            EXPECT_EQ(s.code(), kStopInput);
        }
        EXPECT_NE(rig.log_str().find("*ERROR* advpnt: excessive interpolation"), std::string::npos);
        EXPECT_NE(rig.log_str().find("Greater than 720 min:"), std::string::npos);
    }
}

TEST(Advpnt, DataAreReadOncePerGridSlotAndTime) {
    test::AdvanceRig rig;
    rig.set_up({test::advance_recipe(GridShape::latlon(30.0f, -120.0f, 0.5f, 0.5f, 60, 40), 5)},
               uniform(5.0).function());
    ParticlePosition a = rig.particle_at(40.0f, -110.0f), b = rig.particle_at(40.5f, -109.0f);
    rig.advance(a, rig.start + 10, 10.0f);
    EXPECT_EQ(rig.met.arrays.met_time(1, 1), rig.start);
    EXPECT_EQ(rig.met.arrays.met_time(1, 2), rig.start + 60);
    const std::string after_first = rig.log_str();
    EXPECT_NE(after_first.find("NOTICE metgrd"), std::string::npos);
    // A second particle in the same interval reads and writes nothing.
    rig.advance(b, rig.start + 10, 10.0f);
    EXPECT_EQ(rig.log_str(), after_first);
    // Crossing a data time: the old time 2 stays as time 1, only the new time
    // 2 is read, and the fixed fields are not filled again.
    rig.advance(b, rig.start + 70, 10.0f);
    EXPECT_EQ(rig.met.arrays.time_slots[0], 2);
    EXPECT_EQ(rig.met.arrays.met_time(1, 1), rig.start + 120);
    const std::string added = rig.log_str().substr(after_first.size());
    EXPECT_EQ(added.find("NOTICE metgrd"), std::string::npos);
    size_t reads = 0;
    for (size_t q = added.find("NOTICE metinp"); q != std::string::npos; q = added.find("NOTICE metinp", q + 1))
        ++reads;
    EXPECT_EQ(reads, 1u);
}

TEST(Advpnt, TypeCodesWindowEdgeAndVerticalLimits) {
    test::AdvanceRig rig;
    rig.set_up({test::advance_recipe(GridShape::latlon(30.0f, -120.0f, 0.5f, 0.5f, 60, 40), 5)},
               uniform(5.0).function());
    // Codes 103 and 130 advect as 3-D particles; 7 ends the particle.
    for (int32_t code : {103, 130, -1}) {
        ParticlePosition p = rig.particle_at(40.0f, -110.0f, 250.0f, code);
        EXPECT_EQ(rig.advance(p, rig.start, 30.0f).status, 0) << code;
        EXPECT_GT(p.x, rig.particle_at(40.0f, -110.0f).x + 0.1f);
    }
    ParticlePosition bad = rig.particle_at(40.0f, -110.0f, 250.0f, 7);
    EXPECT_EQ(rig.advance(bad, rig.start, 30.0f).status, 1);
    EXPECT_EQ(bad.grid, 0);
    EXPECT_NE(rig.log_str().find("NOTICE advpnt: invalid HDWP/INITD option -"), std::string::npos);

    // Below ground comes back to 1; above the top level to the top level.
    ParticlePosition low = rig.particle_at(40.0f, -110.0f, -50.0f);
    rig.advance(low, rig.start, 30.0f);
    EXPECT_EQ(low.z, 1.0f);
    ParticlePosition high = rig.particle_at(40.0f, -110.0f, 15000.0f);
    rig.advance(high, rig.start, 30.0f);
    EXPECT_EQ(high.z, rig.sigma.back());
    EXPECT_EQ(rig.at.level_index, static_cast<float>(rig.grid.nlvl));

    // Near the western edge of a regional grid the window stays where it is;
    // a particle outside it ends, its position unchanged.
    MetGridWindow& w = rig.met.arrays.window(1);
    w.x1 = 10;
    w.nx = 40;
    rig.met.arrays.met_time(1, 1) = rig.met.arrays.met_time(1, 2) = 0;
    ParticlePosition edge;
    edge.x = 2.5f;
    edge.y = 20.0f;
    edge.z = 0.99f;
    edge.grid = 1;
    const AdvanceResult r = rig.advance(edge, rig.start, 30.0f);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(edge.grid, 0);
    EXPECT_EQ(edge.x, 2.5f);
    EXPECT_GT(r.speed, 0.0f);
    EXPECT_EQ(w.x1, 10);
    // Off every grid: ended without touching anything.
    ParticlePosition off;
    off.x = -400.0f;
    off.y = 20.0f;
    off.grid = 1;
    EXPECT_EQ(rig.advance(off, rig.start, 30.0f).status, 1);
    EXPECT_EQ(off.grid, 0);
    EXPECT_EQ(off.x, -400.0f);
}

TEST(Advpnt, MeteorologyAtTheParticle) {
    test::AdvanceRig rig;
    rig.deposition.CDEP = true;
    rig.deposition.RDEP = true;
    rig.set_up({test::advance_recipe(GridShape::latlon(30.0f, -120.0f, 0.5f, 0.5f, 60, 40), 5)},
               uniform(3.0, 4.0).function());
    ParticlePosition p = rig.particle_at(40.0f, -110.0f);
    const AdvanceResult r = rig.advance(p, rig.start + 20, 20.0f);
    ASSERT_EQ(r.status, 0);
    const MetAtParticle& m = rig.at;
    EXPECT_NEAR(m.friction_velocity, 0.3f, 1e-3f);  // USTR of the data
    EXPECT_NEAR(m.wind_speed_10m, 5.0f, 1e-3f);
    EXPECT_NEAR(m.grid_spacing_y, 0.5f / 57.295776f * 6371.2e3f, 1.0f);
    EXPECT_EQ(m.land_use, 2);
    EXPECT_NEAR(m.roughness, 0.2f, 1e-6f);
    EXPECT_NEAR(m.terrain_height, 0.0f, 1e-3f);
    EXPECT_NEAR(m.mixed_layer_depth, 1200.0f, 1e-2f);
    EXPECT_NEAR(m.solar_flux, 400.0f, 0.1f);  // the data's flux: half the peak without a daily cycle
    EXPECT_EQ(m.rain, 0.0f);
    EXPECT_GT(m.turbulence_1, 0.0f);
    EXPECT_GT(m.turbulence_2, 0.0f);
    EXPECT_NEAR(m.lat, 40.0f + 4.0f * 1200.0f / 6371.2e3f * 57.295776f, 1e-3f);
    for (size_t k = 0; k < rig.profile.size(); ++k) {
        const ProfileRow& row = rig.profile[k];
        EXPECT_NEAR(row.humidity, 0.6f, 1e-3f);
        EXPECT_NEAR(row.density, 100.0f * row.pressure / (287.04f * row.temperature), 1e-5f);
        EXPECT_GT(row.turbulence_3, 0.0f);
        if (k > 0) {
            EXPECT_LT(row.pressure, rig.profile[k - 1].pressure);
        }
    }
    EXPECT_EQ(r.forecast_hour, 0);
    EXPECT_NEAR(r.speed, std::max(4.0f * 60.0f / m.grid_spacing_y, 3.0f * 60.0f / m.grid_spacing_x), 2e-4f);
}

}  // namespace
}  // namespace orv
