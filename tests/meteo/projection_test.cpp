// Map projections and grid position conversions, checked against the
// textbook spherical formulas.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "meteo/grid_projection.hpp"
#include "meteo/map_projection.hpp"

namespace orv {
namespace {

constexpr double kR = 6371.2;
constexpr double kD = 3.14159265358979323846 / 180.0;

struct Textbook {
    // Plane coordinates (km) of a point, and the grid anchoring.
    std::function<void(double lat, double lon, double& X, double& Y)> xy;
    double x1, y1, lat1, lon1, grid_km, orientation = 0.0;

    void grid(double lat, double lon, double& x, double& y) const {
        double X, Y, X1, Y1;
        xy(lat, lon, X, Y);
        xy(lat1, lon1, X1, Y1);
        double dx = (X - X1) / grid_km, dy = (Y - Y1) / grid_km;
        double t = orientation * kD;
        x = x1 + dx * std::cos(t) - dy * std::sin(t);
        y = y1 + dx * std::sin(t) + dy * std::cos(t);
    }
};

ProjectionRecord make(float tangent, float ref_lat, float ref_lon, const Textbook& tb) {
    ProjectionRecord rec;
    set_up_conformal_projection(rec, tangent, ref_lon);
    anchor_projection_at_point(rec, static_cast<float>(tb.x1), static_cast<float>(tb.y1),
                               static_cast<float>(tb.lat1), static_cast<float>(tb.lon1), ref_lat, ref_lon,
                               static_cast<float>(tb.grid_km), static_cast<float>(tb.orientation));
    return rec;
}

// Grid positions agree with the textbook to 1e-3 grid units, and positions
// come back from grid units to 1e-4 degrees.
void check_against(const ProjectionRecord& rec, const Textbook& tb, double lat_lo, double lat_hi, double lon_lo,
                   double lon_hi) {
    for (double lat = lat_lo; lat <= lat_hi; lat += (lat_hi - lat_lo) / 7.0) {
        for (double lon = lon_lo; lon <= lon_hi; lon += (lon_hi - lon_lo) / 7.0) {
            float x, y;
            convert_geo_to_projection_grid(rec, static_cast<float>(lat), static_cast<float>(lon), x, y);
            double ex, ey;
            tb.grid(lat, lon, ex, ey);
            EXPECT_NEAR(x, ex, 1e-3) << lat << " " << lon;
            EXPECT_NEAR(y, ey, 1e-3) << lat << " " << lon;
            float la, lo;
            convert_projection_grid_to_geo(rec, x, y, la, lo);
            EXPECT_NEAR(la, lat, 1e-4);
            EXPECT_NEAR(std::remainder(lo - lon, 360.0), 0.0, 1e-4);
        }
    }
}

TEST(Projection, PolarStereographicMatchesTextbook) {
    const double lon0 = -105.0, ref = 60.0;
    Textbook tb;
    tb.xy = [&](double lat, double lon, double& X, double& Y) {
        double rho = kR * (1.0 + std::sin(ref * kD)) * std::tan((45.0 - lat / 2.0) * kD);
        X = rho * std::sin((lon - lon0) * kD);
        Y = -rho * std::cos((lon - lon0) * kD);
    };
    tb.x1 = 33.0, tb.y1 = 28.0, tb.lat1 = 50.0, tb.lon1 = -100.0, tb.grid_km = 80.0;
    ProjectionRecord rec = make(90.0f, static_cast<float>(ref), static_cast<float>(lon0), tb);
    check_against(rec, tb, 20.0, 85.0, -170.0, -20.0);
    // The grid spacing is true at the reference latitude.
    EXPECT_NEAR(compute_projection_scale_parameter(rec, 60.0f), 80.0f, 1e-3);

    // The pole is the apex (0, 1); latitude 90 comes back with longitude 180.
    float xi, eta, lat, lon;
    convert_geo_to_projection_xy(rec, 90.0f, 10.0f, xi, eta);
    EXPECT_EQ(xi, 0.0f);
    EXPECT_EQ(eta, 1.0f);
    convert_projection_xy_to_geo(rec, 0.0f, 1.0f, lat, lon);
    EXPECT_EQ(lat, 90.0f);
    EXPECT_EQ(lon, 180.0f);
}

TEST(Projection, LambertConformalMatchesTextbookAndTurnsWithOrientation) {
    const double phi0 = 40.0, lon0 = -90.0;
    const double n = std::sin(phi0 * kD);
    const double f = std::cos(phi0 * kD) * std::pow(std::tan((45.0 + phi0 / 2.0) * kD), n) / n;
    Textbook tb;
    tb.xy = [&](double lat, double lon, double& X, double& Y) {
        double rho = kR * f / std::pow(std::tan((45.0 + lat / 2.0) * kD), n);
        X = rho * std::sin(n * (lon - lon0) * kD);
        Y = -rho * std::cos(n * (lon - lon0) * kD);
    };
    tb.x1 = 30.5, tb.y1 = 25.5, tb.lat1 = 40.0, tb.lon1 = -90.0, tb.grid_km = 40.0;
    check_against(make(40.0f, 40.0f, -90.0f, tb), tb, 20.0, 60.0, -130.0, -50.0);

    tb.orientation = 15.0;
    ProjectionRecord turned = make(40.0f, 40.0f, -90.0f, tb);
    check_against(turned, tb, 25.0, 55.0, -120.0, -60.0);
}

TEST(Projection, MercatorMatchesTextbookAndStaysFiniteAtThePoles) {
    const double ref = 20.0, lon0 = 150.0;
    Textbook tb;
    tb.xy = [&](double lat, double lon, double& X, double& Y) {
        X = kR * std::cos(ref * kD) * std::remainder(lon - lon0, 360.0) * kD;
        Y = kR * std::cos(ref * kD) * std::log(std::tan((45.0 + lat / 2.0) * kD));
    };
    tb.x1 = 1.0, tb.y1 = 1.0, tb.lat1 = -10.0, tb.lon1 = 120.0, tb.grid_km = 50.0;
    ProjectionRecord rec = make(0.0f, static_cast<float>(ref), static_cast<float>(lon0), tb);
    // Across the date line too.
    check_against(rec, tb, -60.0, 70.0, 100.0, 230.0);

    for (float pole : {90.0f, -90.0f}) {
        float x, y;
        convert_geo_to_projection_grid(rec, pole, 150.0f, x, y);
        EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
        EXPECT_GT(std::fabs(y), 1.0e5f);
        EXPECT_EQ(y > 0.0f, pole > 0.0f);
    }
}

TEST(Projection, OppositePoleOfAConeLiesFarOutside) {
    ProjectionRecord rec;
    set_up_conformal_projection(rec, 90.0f, 0.0f);
    anchor_projection_at_point(rec, 50.0f, 50.0f, 90.0f, 0.0f, 60.0f, 0.0f, 100.0f, 0.0f);
    float x, y;
    convert_geo_to_projection_grid(rec, -90.0f, 0.0f, x, y);
    EXPECT_TRUE(std::isfinite(y));
    EXPECT_GT(std::fabs(x - 50.0f) + std::fabs(y - 50.0f), 1.0e4f);
}

TEST(Projection, WindRotationFollowsTheGridAxes) {
    // A true-east or true-north vector, turned to grid axes, points along the
    // grid displacement of a small step east or north.
    ProjectionRecord rec;
    set_up_conformal_projection(rec, 45.0f, -100.0f);
    anchor_projection_at_point(rec, 40.0f, 30.0f, 45.0f, -100.0f, 45.0f, -100.0f, 30.0f, 10.0f);
    for (float lon : {-130.0f, -100.0f, -75.0f}) {
        const float lat = 50.0f;
        float x, y, xe, ye, xn, yn;
        convert_geo_to_projection_grid(rec, lat, lon, x, y);
        convert_geo_to_projection_grid(rec, lat, lon + 0.01f, xe, ye);
        convert_geo_to_projection_grid(rec, lat + 0.01f, lon, xn, yn);
        float ue, ve, un, vn;
        rotate_vector_components(rec, x, y, 1.0f, 0.0f, ue, ve);
        rotate_vector_components(rec, x, y, 0.0f, 1.0f, un, vn);
        double le = std::hypot(xe - x, ye - y), ln = std::hypot(xn - x, yn - y);
        EXPECT_NEAR(ue, (xe - x) / le, 2e-3);
        EXPECT_NEAR(ve, (ye - y) / le, 2e-3);
        EXPECT_NEAR(un, (xn - x) / ln, 2e-3);
        EXPECT_NEAR(vn, (yn - y) / ln, 2e-3);
        // The longitude-only form agrees.
        float ua, va;
        compute_projection_rotation_angle(rec, lat, lon, 1.0f, 0.0f, ua, va);
        EXPECT_NEAR(ua, ue, 1e-4);
        EXPECT_NEAR(va, ve, 1e-4);
    }
    // The map factor at a grid point is the scale at its latitude.
    float lat, lon;
    convert_projection_grid_to_geo(rec, 10.0f, 5.0f, lat, lon);
    EXPECT_NEAR(compute_projection_map_factor(rec, 10.0f, 5.0f), compute_projection_scale_parameter(rec, lat), 1e-3);
}

MetGridDefinition latlon_grid(float lat1, float lon1, float d, int32_t nx, int32_t ny) {
    MetGridDefinition g;
    g.nx = nx;
    g.ny = ny;
    g.header[kPoleLat] = lat1 + d * (ny - 1);
    g.header[kPoleLon] = lon1 + d * (nx - 1);
    g.header[kRefLat] = d;
    g.header[kRefLon] = d;
    g.header[kSyncLat] = lat1;
    g.header[kSyncLon] = lon1;
    set_up_met_grid(g);
    return g;
}

TEST(LatLonGrid, GlobalGridWrapsAndFolds) {
    MetGridDefinition g = latlon_grid(-90.0f, 0.0f, 1.0f, 360, 181);
    EXPECT_TRUE(g.latlon);
    EXPECT_TRUE(g.global);
    EXPECT_FALSE(g.prime_meridian);
    EXPECT_NEAR(g.header[kGridSize], 111.2f, 0.05f);  // north-south spacing replaces the grid size

    float x = 0, y = 0, lat = 0, lon = 0;
    convert_geo_to_latlon_grid(g, 0.0f, 359.5f, x, y);
    EXPECT_FLOAT_EQ(x, 360.5f);
    convert_geo_to_latlon_grid(g, 0.0f, -0.5f, x, y);
    EXPECT_FLOAT_EQ(x, 360.5f);
    convert_latlon_grid_to_geo(g, 361.0f, 91.0f, lat, lon);
    EXPECT_EQ(lon, 0.0f);
    EXPECT_EQ(lat, 0.0f);
    // Latitude 91 folds to 89; a row beyond the last folds back over the pole.
    float y91, y89;
    convert_geo_to_latlon_grid(g, 91.0f, 10.0f, x, y91);
    convert_geo_to_latlon_grid(g, 89.0f, 10.0f, x, y89);
    EXPECT_EQ(y91, y89);
    convert_latlon_grid_to_geo(g, 1.0f, 183.0f, lat, lon);
    EXPECT_FLOAT_EQ(lat, 88.0f);

    float dx, dy;
    compute_latlon_grid_spacing(g, 1.0f, 151.0f, dx, dy);  // 60N
    EXPECT_NEAR(dx, 0.5f * dy, 1e-3f);
}

TEST(LatLonGrid, GlobalFlagNeedsAFullCircle) {
    EXPECT_TRUE(latlon_grid(-90.0f, -180.0f, 1.0f, 360, 181).global);   // last longitude 179
    EXPECT_FALSE(latlon_grid(-90.0f, -180.0f, 1.0f, 359, 181).global);  // last longitude 178
    MetGridDefinition prime = latlon_grid(30.0f, -20.0f, 0.5f, 100, 60);
    EXPECT_TRUE(prime.prime_meridian);
    EXPECT_FALSE(prime.global);
    float x = 0, y = 0;
    convert_geo_to_latlon_grid(prime, 40.0f, -10.0f, x, y);  // west of the meridian stays west
    EXPECT_FLOAT_EQ(x, 21.0f);
    EXPECT_FLOAT_EQ(y, 21.0f);
}

TEST(LatLonGrid, CornerWestOfGreenwichOnAGridThatDoesNotCrossIt) {
    MetGridDefinition west = latlon_grid(20.0f, -110.0f, 1.0f, 60, 50);
    EXPECT_FALSE(west.prime_meridian);
    float x = 0, y = 0, lat = 0, lon = 0;
    convert_geo_to_latlon_grid(west, 35.0f, -95.0f, x, y);
    EXPECT_FLOAT_EQ(x, 16.0f);
    EXPECT_FLOAT_EQ(y, 16.0f);
    convert_geo_to_latlon_grid(west, 35.0f, 265.0f, x, y);
    EXPECT_FLOAT_EQ(x, 16.0f);
    convert_latlon_grid_to_geo(west, x, y, lat, lon);
    EXPECT_FLOAT_EQ(lon, -95.0f);
}

}  // namespace
}  // namespace orv
