#include "tools/analytic_met.hpp"

#include <algorithm>
#include <cmath>

#include "meteo/map_projection.hpp"

namespace orv::fixture {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kRadiusM = 6371.2e3;
constexpr double kG = 9.80616;
constexpr double kRd = 287.04;
constexpr double kLapse = 0.0065;
constexpr double kT0 = 288.15;
constexpr double kP0 = 1013.25;
constexpr double kTropopause = 11000.0;
constexpr double kT11 = kT0 - kLapse * kTropopause;
const double kExponent = kG / (kRd * kLapse);
const double kP11 = kP0 * std::pow(kT11 / kT0, kExponent);

// Local solar hour at a longitude.
double local_hour(int32_t time, double lon) {
    double h = (((time % 1440) + 1440) % 1440) / 60.0 + lon / 15.0;
    h = std::fmod(h, 24.0);
    return h < 0.0 ? h + 24.0 : h;
}

bool starts(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

}  // namespace

double standard_pressure(double height) {
    if (height <= kTropopause) return kP0 * std::pow((kT0 - kLapse * height) / kT0, kExponent);
    return kP11 * std::exp(-kG * (height - kTropopause) / (kRd * kT11));
}

double standard_height(double pressure) {
    if (pressure >= kP11) return (kT0 - kT0 * std::pow(pressure / kP0, 1.0 / kExponent)) / kLapse;
    return kTropopause - std::log(pressure / kP11) * kRd * kT11 / kG;
}

double AnalyticMet::terrain_at(double lat, double lon) const { return terrain ? terrain(lat, lon) : terrain_height; }

double AnalyticMet::surface_pressure_at(double lat, double lon) const {
    return standard_pressure(terrain_at(lat, lon));
}

void AnalyticMet::wind_at(double lat, double lon, int32_t time, double& ue, double& vn) const {
    switch (wind) {
        case Wind::Uniform:
            ue = u;
            vn = v;
            return;
        case Wind::LinearInTime: {
            double hours = (time - t0) / 60.0;
            ue = u + du_dt * hours;
            vn = v + dv_dt * hours;
            return;
        }
        case Wind::SolidBody: {
            const double pl = rotation_pole_lat * kDeg, pm = rotation_pole_lon * kDeg;
            const double la = lat * kDeg, lo = lon * kDeg;
            const double P[3] = {std::cos(pl) * std::cos(pm), std::cos(pl) * std::sin(pm), std::sin(pl)};
            const double X[3] = {std::cos(la) * std::cos(lo), std::cos(la) * std::sin(lo), std::sin(la)};
            const double V[3] = {P[1] * X[2] - P[2] * X[1], P[2] * X[0] - P[0] * X[2], P[0] * X[1] - P[1] * X[0]};
            const double east[3] = {-std::sin(lo), std::cos(lo), 0.0};
            const double north[3] = {-std::sin(la) * std::cos(lo), -std::sin(la) * std::sin(lo), std::cos(la)};
            const double s = omega * kRadiusM;
            ue = s * (V[0] * east[0] + V[1] * east[1] + V[2] * east[2]);
            vn = s * (V[0] * north[0] + V[1] * north[1] + V[2] * north[2]);
            return;
        }
    }
}

void AnalyticMet::level_geometry(const FieldPoint& p, double& pressure, double& height) const {
    const double zs = terrain_at(p.lat, p.lon);
    const double ps = standard_pressure(zs);
    if (p.level == 0) {
        pressure = ps;
        height = zs;
        return;
    }
    const double value = p.level_value;
    switch (p.vertical_type) {
        case 1: {
            const double top = p.grid ? p.grid->header[kTopPressure] : 0.0;
            pressure = top + (ps - top) * value;
            height = standard_height(pressure);
            return;
        }
        case 3:
            height = zs + value * (1.0 - zs / p.data_top);
            pressure = standard_pressure(height);
            return;
        case 4:
            pressure = std::trunc(value) + (value - std::trunc(value)) * ps;
            height = standard_height(pressure);
            return;
        default:
            pressure = value;
            height = standard_height(pressure);
            return;
    }
}

double AnalyticMet::operator()(std::string_view var, const FieldPoint& p) const {
    const double hour = local_hour(p.time, p.lon);
    const double day = std::max(0.0, std::sin(kPi * (hour - 6.0) / 12.0));
    double pressure = 0.0, height = 0.0;
    level_geometry(p, pressure, height);
    const double temp = std::max(216.65, sea_level_temperature - kLapse * height);

    auto rotated = [&](bool want_u) {
        double ue = 0.0, vn = 0.0;
        wind_at(p.lat, p.lon, p.time, ue, vn);
        if (p.grid && !p.grid->latlon && !grid_relative) {
            float ur = 0.0f, vr = 0.0f;
            rotate_vector_components(p.grid->projection, static_cast<float>(p.i), static_cast<float>(p.j),
                                     static_cast<float>(ue), static_cast<float>(vn), ur, vr);
            ue = ur;
            vn = vr;
        }
        return want_u ? ue : vn;
    };
    auto heat_flux = [&]() { return daily_cycle ? (day > 0.0 ? peak_heat_flux * day : -20.0) : 50.0; };

    if (p.level == 0) {
        if (var == "PRSS") return pressure;
        if (var == "SHGT" || var == "HGTS") return height;
        if (var == "T02M" || var == "TMPS") return std::max(216.65, sea_level_temperature - kLapse * (height + 2.0));
        if (var == "U10M") return rotated(true);
        if (var == "V10M") return rotated(false);
        if (var == "PBLH" || var == "MXHT" || var == "HPBL") {
            if (!daily_cycle) return pbl_max;
            return pbl_min + (pbl_max - pbl_min) * std::max(0.0, std::sin(kPi * (hour - 6.0) / 18.0));
        }
        if (starts(var, "TPP") || starts(var, "PRT")) {
            if (!rain) return 0.0;
            bool inside = p.lat >= rain_lat_min && p.lat <= rain_lat_max && p.lon >= rain_lon_min &&
                          p.lon <= rain_lon_max;
            return inside ? rain_amount : 0.0;
        }
        if (var == "DSWF") return daily_cycle ? peak_shortwave * day : 0.5 * peak_shortwave;
        if (var == "USTR") return friction_velocity;
        if (var == "SHTF" || var == "HFLX") return heat_flux();
        if (var == "TSTR") return -heat_flux() / (1.2 * 1005.0 * friction_velocity);
        if (var == "UMOF") return 1.2 * friction_velocity * friction_velocity;
        if (var == "VMOF") return 0.0;
        if (var == "EXCO") return 0.1;
        if (var == "RH2M") return relative_humidity;
        if (var == "DZDT") return vertical_velocity;
        return 0.0;
    }

    if (var == "UWND") return rotated(true);
    if (var == "VWND") return rotated(false);
    if (var == "WWND" || var == "DZDT") return vertical_velocity;
    if (var == "TEMP") return temp;
    if (var == "THET") return temp * std::pow(1000.0 / pressure, 0.286);
    if (var == "HGTS") return height;
    if (var == "PRES") return pressure;
    if (var == "RELH") return relative_humidity;
    if (var == "SPHU") {
        double es = std::exp(21.4 - 5351.0 / temp);
        return 0.622 * relative_humidity / 100.0 * es / pressure;
    }
    if (var == "TKEN") return tke;
    if (var == "UVAR" || var == "VVAR" || var == "WVAR") return velocity_variance;
    return 0.0;
}

}  // namespace orv::fixture
