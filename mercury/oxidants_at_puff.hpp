#pragma once
// The oxidant values at a puff: hydroxyl from built-in seasonal curves of
// local solar time, ozone, SO2 and soot from the monthly global fields by an
// inverse-distance weighting of the 8 surrounding grid points, and chlorine
// over water at night. Filled once per puff and step, before the chemistry
// step; read by the chemistry and the deposition steps.

#include <array>
#include <cstdint>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "mercury/global_oxidants.hpp"
#include "meteo/met_at_particle.hpp"
#include "meteo/surface_files.hpp"
#include "run/calendar.hpp"

namespace orv {

// The values at the current puff, filled whole on each call. Gas
// concentrations are in mol per m3 of air.
struct OxidantValuesAtPuff {
    float fixed_value_a = 0.0f;       // 4.5: the pH of cloud water
    float fixed_value_b = 0.0f;       // 2.5: chloride in cloud water, mg/L
    float soot_value = 0.0f;          // soot x 1e-6 x air density (kg/m3)
    float so2_conc = 0.0f;            // SO2
    float o3_conc = 0.0f;             // ozone
    float oh_conc = 0.0f;             // hydroxyl
    float ppb_factor_1 = 0.0f;        // 1 ppb of air at the puff; taken as the hydrogen peroxide
    float ppb_factor_2 = 0.0f;        // the same; taken as the hydrogen chloride
    double extra_oxidant_conc = 0.0;  // chlorine (Cl2)
    // The calendar date of model time date_time, kept from an earlier call
    // so that the puffs of one step convert their time once.
    bool date_known = false;
    int32_t date_time = 0;
    CalendarDate date{};
};

// Where and when the values are wanted.
struct OxidantPoint {
    int32_t time = 0;    // model time, accumulated minutes
    float lat = 0.0f;    // degrees
    float lon = 0.0f;    // degrees
    float height = 0.0f; // m above sea level
};

// Fractional indices in the global oxidant grid (1-based; z = 1 the highest level).
struct GlobalGridPosition {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Fills `values` at the point. Temperature (K) and air density (kg/m3) come
// from the puff's profile row. `caller` 1 or 2 selects the diagnostic
// channels (5, 8, 34 or 105, 108, 134). The land use for the chlorine comes
// from the surface files (their notices go to the message log).
void compute_oxidants_at_point(int32_t caller, const OxidantPoint& at, const ProfileRow& row,
                               const GlobalChemGrid& grid, SurfaceFiles& surface, Messages msg,
                               DiagnosticChannels& channels, OxidantValuesAtPuff& values);

// Local solar time (h) of a model time at a longitude, in 0 .. 24.
float local_solar_time(int32_t hour, int32_t minute, float lon);

// Season of a month: 12, 1, 2 -> 1; 3-5 -> 2; 6-8 -> 3; 9-11 -> 4; else 99
// (with its console message).
int32_t convert_month_to_season(int32_t month, TextOut& console);

// The seasonal hydroxyl curves: OH = A exp(-B (t - 12)^2), per season (row)
// and column (first latitude band at the surface and 6 km, then the second
// band at the surface and 6 km). A in molecules/cm3, B per hour squared.
struct SeasonalOhTables {
    std::array<std::array<float, 4>, 4> a;
    std::array<std::array<float, 4>, 4> b;
};
const SeasonalOhTables& fill_seasonal_oh_tables();

// Hydroxyl (molecules/cm3) at a solar time (h), month, height (km) and
// latitude (degrees). Heights below 0 take the surface value; a month outside
// 1..12 gives 0 after its console messages.
float estimate_oh(float solar_time, int32_t month, float height_km, float lat, TextOut& console);

// Fractional grid indices of a point; height in m against the level heights.
GlobalGridPosition locate_in_global_chemistry_grid(float lon, float lat, float height,
                                                   const std::array<float, GlobalChemGrid::kNlev>& level_heights);

// Inverse-squared-distance weighting of a field's 8 grid points around the
// position; a grid point within 0.1 index units gives its own value.
float interpolate_global_field(const std::vector<float>& field, const GlobalGridPosition& p);

// The chlorine mixing ratio: mode 1 and 2 from the fraction `fraction` (mode
// 2 with a cycle over the solar hour), mode 3 from the land use at the point
// (1e-10 over water at night at heights up to 100 m, else 0); any other
// mode leaves `value` as it is.
void estimate_additional_oxidant(int32_t mode, float solar_time, float height, float lat, float lon,
                                 float fraction, double& value, SurfaceFiles& surface, Messages msg);

}  // namespace orv
