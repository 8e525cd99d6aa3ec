#include "driver/puff_geometry.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

constexpr float kTop = 25000.0f;

Hgsim thresholds() {
    Hgsim h;
    h.zrh_crit_surface = 0.98f;
    h.zrh_crit_aloft = 0.90f;
    h.zrh_crit_stop = 0.80f;
    return h;
}

// A column whose level k lies at k x spacing m, with the given humidities.
struct Column {
    std::vector<ProfileRow> rows;
    std::vector<float> sigma;
    explicit Column(std::vector<float> rh, float spacing = 250.0f) {
        for (size_t k = 0; k < rh.size(); ++k) {
            ProfileRow r;
            r.humidity = rh[k];
            rows.push_back(r);
            sigma.push_back(1.0f - spacing * static_cast<float>(k + 1) / kTop);
        }
    }
};

TEST(PuffGeometry, ExtentCutAtGroundAndTop) {
    const PuffGeometry g = puff_geometry(0.5f, 1.0f, 1000.0f, kTop, 0.0f, 75.0f);
    EXPECT_EQ(g.puff_bottom_height, 0.0f);
    EXPECT_EQ(g.puff_top_height, kTop);
    EXPECT_EQ(g.puff_depth, kTop);
    EXPECT_FLOAT_EQ(g.puffvol, 3.1415927f * 1540.0f * 1540.0f * kTop);
    EXPECT_TRUE(g.near_surface_flag);
}

TEST(PuffGeometry, FlatPuffAndTerrain) {
    // sigma_z 0: 1 m deep; the column is measured from the terrain.
    const PuffGeometry g = puff_geometry(0.9f, 0.0f, 100.0f, kTop, 5000.0f, 75.0f);
    EXPECT_FLOAT_EQ(g.column_depth, 20000.0f);
    EXPECT_FLOAT_EQ(g.puff_bottom_height, 2000.0f);
    EXPECT_EQ(g.puff_depth, 1.0f);
    EXPECT_FALSE(g.near_surface_flag);
    // A puff whose bottom lies exactly at the surface-layer height is not near it.
    const PuffGeometry at = puff_geometry(1.0f - 75.0f / kTop, 0.0f, 100.0f, kTop, 0.0f, 75.0f);
    EXPECT_FALSE(at.near_surface_flag);
}

TEST(CloudLayer, NothingWithoutRain) {
    Column c({1.0f, 1.0f, 1.0f});
    const PuffGeometry g = puff_geometry(0.99f, 0.01f, 100.0f, kTop, 0.0f, 75.0f);
    const CloudLayer l = cloud_layer(g, 0.0f, c.rows, c.sigma, thresholds());
    EXPECT_EQ(l.cloud_base_height, 0.0f);
    EXPECT_EQ(l.cloud_top_height, 0.0f);
    EXPECT_EQ(l.fraction_below_cloud_top, 0.0f);
    EXPECT_EQ(l.fraction_above_cloud_base, 0.0f);
}

TEST(CloudLayer, HumidLevelsMakeTheCloud) {
    // Level 1 needs 0.98, the others 0.90; the cloud ends at the first level
    // at or below 0.80 from its base up.
    Column c({0.95f, 0.91f, 0.85f, 0.80f, 0.95f});
    const PuffGeometry g = puff_geometry(1.0f - 500.0f / kTop, 200.0f / (1.54f * kTop), 100.0f, kTop, 0.0f, 75.0f);
    ASSERT_NEAR(g.puff_bottom_height, 300.0f, 0.05f);
    ASSERT_NEAR(g.puff_top_height, 700.0f, 0.05f);
    const CloudLayer l = cloud_layer(g, 1.0e-4f, c.rows, c.sigma, thresholds());
    EXPECT_NEAR(l.cloud_base_height, 500.0f, 0.01f);
    EXPECT_NEAR(l.cloud_top_height, 1000.0f, 0.01f);
    EXPECT_FLOAT_EQ(l.fraction_below_cloud_top, 1.0f);
    EXPECT_NEAR(l.fraction_above_cloud_base, 0.5f, 1e-4f);
    // A humid surface level starts the cloud at level 1; without a dry level
    // above, the cloud reaches the top level.
    Column wet({0.99f, 0.95f});
    const CloudLayer w = cloud_layer(g, 1.0e-4f, wet.rows, wet.sigma, thresholds());
    EXPECT_NEAR(w.cloud_base_height, 250.0f, 0.01f);
    EXPECT_NEAR(w.cloud_top_height, 500.0f, 0.01f);
    EXPECT_NEAR(w.fraction_below_cloud_top, 0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(w.fraction_above_cloud_base, 1.0f);
}

TEST(CloudLayer, DryColumnFallsBackTo500And3000Metres) {
    std::vector<float> rh(20, 0.5f);
    Column c(rh, 240.0f);
    const PuffGeometry g = puff_geometry(1.0f - 100.0f / kTop, 0.0f, 100.0f, kTop, 0.0f, 75.0f);
    const CloudLayer l = cloud_layer(g, 1.0e-4f, c.rows, c.sigma, thresholds());
    EXPECT_NEAR(l.cloud_base_height, 480.0f, 0.01f);   // level 2 is the highest below 500 m
    EXPECT_NEAR(l.cloud_top_height, 2880.0f, 0.05f);  // level 12 the highest below 3000 m
    EXPECT_FLOAT_EQ(l.fraction_below_cloud_top, 1.0f);
    EXPECT_FLOAT_EQ(l.fraction_above_cloud_base, 0.0f);  // the whole puff lies below the base

    // Levels all above 500 m: the fallback base is still level 1.
    Column high({0.5f, 0.5f}, 600.0f);
    const CloudLayer h = cloud_layer(g, 1.0e-4f, high.rows, high.sigma, thresholds());
    EXPECT_NEAR(h.cloud_base_height, 600.0f, 0.05f);
    EXPECT_NEAR(h.cloud_top_height, 1200.0f, 0.05f);
}

TEST(CloudLayer, PuffAboveTheCloudTop) {
    Column c({0.99f, 0.7f, 0.5f});
    const PuffGeometry g = puff_geometry(1.0f - 2000.0f / kTop, 0.0f, 100.0f, kTop, 0.0f, 75.0f);
    const CloudLayer l = cloud_layer(g, 1.0e-4f, c.rows, c.sigma, thresholds());
    EXPECT_GT(l.cloud_top_height, 0.0f);
    EXPECT_EQ(l.fraction_below_cloud_top, 0.0f);
    EXPECT_EQ(l.fraction_above_cloud_base, 0.0f);
}

TEST(PuffDescent, LowersThePuff) {
    PuffGeometry g = puff_geometry(1.0f - 1000.0f / kTop, 200.0f / (1.54f * kTop), 100.0f, kTop, 0.0f, 75.0f);
    float z = 0.0f, sz = 0.0f;
    apply_puff_descent(g, 300.0f, z, sz);
    EXPECT_NEAR(g.puff_bottom_height, 500.0f, 0.05f);
    EXPECT_NEAR(g.puff_top_height, 900.0f, 0.05f);
    EXPECT_NEAR((1.0f - z) * kTop, 700.0f, 0.05f);
    EXPECT_NEAR(sz * 1.54f * kTop, 200.0f, 0.05f);

    // Deeper than the puff's top: everything at the ground.
    PuffGeometry low = puff_geometry(1.0f - 100.0f / kTop, 0.0f, 100.0f, kTop, 0.0f, 75.0f);
    apply_puff_descent(low, 5000.0f, z, sz);
    EXPECT_EQ(low.puff_top_height, 0.0f);
    EXPECT_EQ(low.puff_bottom_height, 0.0f);
    EXPECT_EQ(z, 1.0f);
    EXPECT_EQ(sz, 0.0f);
    EXPECT_EQ(low.puff_depth, 1.0f);

    // No descent leaves the puff as it is.
    float z0 = 0.3f, sz0 = 0.01f;
    apply_puff_descent(low, 0.0f, z0, sz0);
    EXPECT_EQ(z0, 0.3f);
    EXPECT_EQ(sz0, 0.01f);
}

}  // namespace
}  // namespace orv
