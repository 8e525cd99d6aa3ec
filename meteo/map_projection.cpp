#include "meteo/map_projection.hpp"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

constexpr double kRadius = 6371.2;

// A point at a pole that is not the projection's own pole (the opposite pole
// of a cone, either pole of a Mercator grid) lies at infinity on the plane.
// It is put this many earth radii away instead, outside every grid.
constexpr double kFarAway = 1000.0;

double wrap180(double angle) {
    double r = std::fmod(angle + 180.0, 360.0);
    return r <= 0.0 ? 180.0 + r : -180.0 + r;
}

// Isometric latitude psi from p = gamma*q (step 3 of the inverse core).
double psi_from_p(double gamma, double p, double q) {
    if (std::fabs(p) >= 0.01) return -std::log(1.0 - p) / (2.0 * gamma);
    double w = (p / (2.0 - p)) * (p / (2.0 - p));
    return (((w / 7.0 + 1.0 / 5.0) * w + 1.0 / 3.0) * w + 1.0) * q / (2.0 - p);
}

void forward_core(const ProjectionRecord& rec, double lat, double lon, double& xi, double& eta) {
    const double gamma = rec.gamma;
    const double dlon = wrap180(lon - rec.ref_lon) * kDegToRad;
    const double g = gamma * dlon;
    double s_term, c_term;
    if (std::fabs(g) >= 0.01) {
        s_term = std::sin(g) / gamma;
        c_term = (1.0 - std::cos(g)) / (gamma * gamma);
    } else {
        double s = g * g;
        s_term = (1.0 - (1.0 - (1.0 - s / 42.0) * s / 20.0) * s / 6.0) * dlon;
        c_term = (1.0 - (1.0 - (1.0 - s / 56.0) * s / 30.0) * s / 12.0) * dlon * dlon / 2.0;
    }
    const double sinphi = std::sin(lat * kDegToRad);
    if (sinphi >= 0.99999 || sinphi <= -0.99999) {
        xi = 0.0;
        // The projection's own pole is the apex at 1/gamma; any other pole is
        // infinitely far in the direction of its hemisphere.
        if (gamma * sinphi > 0.0 && std::fabs(gamma) >= 1.0 / kFarAway)
            eta = 1.0 / gamma;
        else
            eta = std::copysign(kFarAway, sinphi);
        return;
    }
    const double psi = 0.5 * std::log((1.0 + sinphi) / (1.0 - sinphi));
    const double m = gamma * psi;
    double rho;
    if (std::fabs(m) >= 0.001)
        rho = (1.0 - std::exp(-m)) / gamma;
    else
        rho = (1.0 - (1.0 - (1.0 - m / 4.0) * m / 3.0) * m / 2.0) * psi;
    xi = (1.0 - gamma * rho) * s_term;
    eta = rho + gamma * (1.0 - gamma * rho) * c_term;
}

void inverse_core(const ProjectionRecord& rec, double xi, double eta, double& lat, double& lon) {
    const double gamma = rec.gamma;
    const double a = gamma * xi;
    const double c = 1.0 - gamma * eta;
    const double q = 2.0 * eta - gamma * (xi * xi + eta * eta);
    const double p = gamma * q;
    if (p >= 1.0) {
        lat = gamma >= 0.0 ? 90.0 : -90.0;
        lon = lat + 90.0;
        return;
    }
    const double t = psi_from_p(gamma, p, q);
    const double e = std::exp(-std::fabs(t));
    lat = std::copysign(std::atan2((1.0 + e) * (1.0 - e), 2.0 * e) * kRadToDeg, t);
    double l;
    if (std::fabs(a) >= 0.01 * c) {
        l = std::atan2(a, c) / gamma;
    } else {
        double w = (a / c) * (a / c);
        l = (1.0 - (1.0 / 3.0 - (1.0 / 5.0 - w / 7.0) * w) * w) * xi / c;
    }
    lon = l * kRadToDeg + rec.ref_lon;
}

// Grid position to unrotated plane offsets (xi0, eta0).
void grid_offsets(const ProjectionRecord& rec, float x, float y, double& xi0, double& eta0) {
    xi0 = (double{x} - rec.x0) * rec.scale / kRadius;
    eta0 = (double{y} - rec.y0) * rec.scale / kRadius;
}

}  // namespace

float wrap_angle_into_range(float angle, float a, float b) {
    float lo = std::min(a, b);
    float hi = std::max(a, b);
    float r = std::fmod(angle - lo, hi - lo);
    return r <= 0.0f ? hi + r : lo + r;
}

void set_up_conformal_projection(ProjectionRecord& rec, float tangent_lat, float ref_lon) {
    rec.gamma = static_cast<float>(std::sin(tangent_lat * kDegToRad));
    rec.ref_lon = wrap_angle_into_range(ref_lon, -180.0f, 180.0f);
    rec.x0 = 0.0f;
    rec.y0 = 0.0f;
    rec.crot = 1.0f;
    rec.srot = 0.0f;
    rec.scale = kEarthRadiusKm;
    double xi, eta;
    forward_core(rec, 89.0, rec.ref_lon, xi, eta);
    rec.north_coef = static_cast<float>(2.0 * eta - rec.gamma * eta * eta);
    forward_core(rec, -89.0, rec.ref_lon, xi, eta);
    rec.south_coef = static_cast<float>(2.0 * eta - rec.gamma * eta * eta);
}

void anchor_projection_at_point(ProjectionRecord& rec, float x1, float y1, float lat1, float lon1,
                                float ref_lat, float ref_lon, float grid_size_km, float orientation) {
    rec.x0 = 0.0f;
    rec.y0 = 0.0f;
    double theta =
        (orientation - rec.gamma * wrap_angle_into_range(ref_lon - rec.ref_lon, -180.0f, 180.0f)) * kDegToRad;
    rec.crot = static_cast<float>(std::cos(theta));
    rec.srot = static_cast<float>(-std::sin(theta));
    rec.scale = 1.0f;
    float s = compute_projection_scale_parameter(rec, ref_lat);
    rec.scale = grid_size_km / s;
    float x, y;
    convert_geo_to_projection_grid(rec, lat1, lon1, x, y);
    rec.x0 = x1 - x;
    rec.y0 = y1 - y;
}

void convert_geo_to_projection_xy(const ProjectionRecord& rec, float lat, float lon, float& xi, float& eta) {
    double x, e;
    forward_core(rec, lat, lon, x, e);
    xi = static_cast<float>(x);
    eta = static_cast<float>(e);
}

void convert_projection_xy_to_geo(const ProjectionRecord& rec, float xi, float eta, float& lat, float& lon) {
    double la, lo;
    inverse_core(rec, xi, eta, la, lo);
    lat = static_cast<float>(la);
    lon = static_cast<float>(lo);
}

void convert_projection_grid_to_geo(const ProjectionRecord& rec, float x, float y, float& lat, float& lon) {
    double xi0, eta0;
    grid_offsets(rec, x, y, xi0, eta0);
    double xi = rec.crot * xi0 - rec.srot * eta0;
    double eta = rec.crot * eta0 + rec.srot * xi0;
    double la, lo;
    inverse_core(rec, xi, eta, la, lo);
    lat = static_cast<float>(la);
    lon = static_cast<float>(wrap180(lo));
}

void convert_geo_to_projection_grid(const ProjectionRecord& rec, float lat, float lon, float& x, float& y) {
    double xi, eta;
    forward_core(rec, lat, lon, xi, eta);
    double f = kRadius / rec.scale;
    x = static_cast<float>((rec.crot * xi + rec.srot * eta) * f + rec.x0);
    y = static_cast<float>((rec.crot * eta - rec.srot * xi) * f + rec.y0);
}

float compute_projection_scale_parameter(const ProjectionRecord& rec, float lat) {
    const double g = rec.scale;
    const double gamma = rec.gamma;
    const double phi = lat * kDegToRad;
    const double cosphi = std::cos(phi);
    const double sinphi = std::sin(phi);
    if (lat > 89.995f) {
        if (gamma > 0.9999) return static_cast<float>(2.0 * g);
        if (cosphi <= 0.0) return 0.0f;
        return static_cast<float>(cosphi * g * std::exp(gamma * std::log((1.0 + sinphi) / cosphi)));
    }
    if (lat < -89.995f) {
        if (gamma < -0.9999) return static_cast<float>(2.0 * g);
        if (cosphi <= 0.0) return 0.0f;
        return static_cast<float>(cosphi * g * std::exp(gamma * std::log(cosphi / (1.0 - sinphi))));
    }
    double psi = 0.5 * std::log((1.0 + sinphi) / (1.0 - sinphi));
    return static_cast<float>(g * cosphi * std::exp(gamma * psi));
}

float compute_projection_map_factor(const ProjectionRecord& rec, float x, float y) {
    const double g = rec.scale;
    const double gamma = rec.gamma;
    double xi0, eta0;
    grid_offsets(rec, x, y, xi0, eta0);
    double xi = rec.crot * xi0 - rec.srot * eta0;
    double eta = rec.crot * eta0 + rec.srot * xi0;
    double q = 2.0 * eta - (xi * xi + eta * eta) * gamma;
    double p = gamma * q;
    if (p > 0.99999) return gamma > 0.99999 ? static_cast<float>(2.0 * g) : 0.0f;
    double psi = psi_from_p(gamma, p, q);
    if (psi > 6.0) return gamma > 0.99999 ? static_cast<float>(2.0 * g) : 0.0f;
    if (psi < -6.0) return gamma < -0.99999 ? static_cast<float>(2.0 * g) : 0.0f;
    return static_cast<float>(2.0 * g * std::exp(gamma * psi) / (std::exp(psi) + std::exp(-psi)));
}

void rotate_vector_components(const ProjectionRecord& rec, float x, float y, float u, float v, float& ur,
                              float& vr) {
    double xi0, eta0;
    grid_offsets(rec, x, y, xi0, eta0);
    double a = rec.srot - rec.gamma * xi0;
    double b = rec.crot - rec.gamma * eta0;
    double r = std::sqrt(a * a + b * b);
    if (r > 0.001) {
        ur = static_cast<float>((b * u + a * v) / r);
        vr = static_cast<float>((b * v - a * u) / r);
        return;
    }
    float lat, lon;
    convert_projection_grid_to_geo(rec, x, y, lat, lon);
    compute_projection_rotation_angle(rec, lat, lon, u, v, ur, vr);
}

void compute_projection_rotation_angle(const ProjectionRecord& rec, float /*lat*/, float lon, float u, float v,
                                       float& ur, float& vr) {
    double beta = -rec.gamma * wrap180(double{lon} - rec.ref_lon) * kDegToRad;
    double a = rec.srot * std::cos(beta) + rec.crot * std::sin(beta);
    double b = rec.crot * std::cos(beta) - rec.srot * std::sin(beta);
    ur = static_cast<float>(b * u + a * v);
    vr = static_cast<float>(b * v - a * u);
}

}  // namespace orv
