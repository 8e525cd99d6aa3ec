#pragma once
// An analytic atmosphere that gives a value for every variable the model
// reads: a standard atmosphere over analytic terrain, a wind field chosen
// from a few kinds whose trajectories are known, a boundary layer with an
// optional daily cycle, and rain over part of the domain.
//
// Winds are given here as true east and north components; on a projection
// grid they are written along the grid's axes, as the model expects.

#include <cstdint>
#include <functional>
#include <string_view>

#include "tools/met_writer.hpp"

namespace orv::fixture {

struct AnalyticMet {
    enum class Wind {
        Uniform,       // (u, v) everywhere
        SolidBody,     // rotation of the whole atmosphere about an axis
        LinearInTime,  // (u, v) + (du_dt, dv_dt) * hours since t0
    };
    Wind wind = Wind::Uniform;
    double u = 5.0;  // m/s, east
    double v = 0.0;  // m/s, north
    double du_dt = 0.0;  // m/s per hour
    double dv_dt = 0.0;
    double rotation_pole_lat = 90.0;  // axis of the solid-body rotation
    double rotation_pole_lon = 0.0;
    double omega = 1.0e-5;  // rad/s, anticlockwise seen from above the pole
    int32_t t0 = 0;         // accumulated minutes at which time-dependent fields start
    // Winds given along the grid's axes (written as they are) instead of
    // toward true east and north (turned onto the grid).
    bool grid_relative = false;
    double vertical_velocity = 0.0;  // WWND in hPa/s, DZDT in m/s

    // Terrain (m above sea level); flat at `terrain_height` when not given.
    double terrain_height = 0.0;
    std::function<double(double lat, double lon)> terrain;

    double sea_level_temperature = 288.15;  // K
    double relative_humidity = 60.0;        // percent
    double tke = 0.5;                       // m2/s2
    double velocity_variance = 0.25;        // m2/s2
    double friction_velocity = 0.3;         // m/s

    // Mixed layer: constant `pbl_max`, or with a daily cycle between the two
    // (deepest at 15 local solar time).
    bool daily_cycle = false;
    double pbl_min = 200.0;
    double pbl_max = 1200.0;
    double peak_heat_flux = 200.0;  // W/m2 at noon with the daily cycle
    double peak_shortwave = 800.0;  // W/m2

    // Rain in a latitude-longitude box: `rain_amount` (m per accumulation
    // period) inside, 0 elsewhere.
    bool rain = false;
    double rain_lat_min = 0.0, rain_lat_max = 0.0, rain_lon_min = 0.0, rain_lon_max = 0.0;
    double rain_amount = 0.001;

    double operator()(std::string_view var, const FieldPoint& p) const;
    FieldFunction function() const {
        return [m = *this](std::string_view var, const FieldPoint& p) { return m(var, p); };
    }

    // Pieces of the atmosphere, for tests that compare with the fields.
    double terrain_at(double lat, double lon) const;
    double surface_pressure_at(double lat, double lon) const;             // hPa
    void wind_at(double lat, double lon, int32_t time, double& ue, double& vn) const;  // true east, north
    // Pressure (hPa) and height above sea level (m) of a level at a point.
    void level_geometry(const FieldPoint& p, double& pressure, double& height) const;
};

// Standard atmosphere: pressure (hPa) at a height (m) and back.
double standard_pressure(double height);
double standard_height(double pressure);

}  // namespace orv::fixture
