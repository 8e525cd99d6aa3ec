#pragma once
// The meteorological sub-grid arrays: the fields of every grid on its
// in-memory window (the sub-grid) for two data-time slots, the fixed fields
// of each grid, the tables of the data times held, and each grid's window.
//
// Layout. The particle loop reads, at the four grid points around a
// particle and in both slots, several fields at once: the wind at one or two
// levels, and the whole column of pressure, temperature, humidity and
// vertical turbulence. The fields are therefore stored point by point: for
// each grid and slot, rows j, columns i, then all 3-D fields of the point,
// each with its levels innermost ([grid][slot][j][i][field][k]). The 2-D
// fields of a slot and the fixed fields of a grid are stored point by point
// the same way. Every field is handed out as a view with these strides.
//
// All fields are zero when allocated, so nothing outside a window is ever
// undefined. They are sized for the largest window of any grid and only
// grow; growing releases them and invalidates every grid's held data.

#include <array>
#include <cstdint>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/met_file_names.hpp"
#include "meteo/field_view.hpp"

namespace orv {

// The 3-D fields, in the order of a point's block.
enum MetField3 : int32_t {
    kMetU = 0,
    kMetV,
    kMetW,
    kMetTemperature,
    kMetPotentialTemperature,
    kMetHumidity,
    kMetTurbulence1,
    kMetPressure,
    kMetTurbulence3,
    kMetTurbulence2,
    kMetField3Count
};

// The 2-D fields of a slot.
enum SfcField : int32_t {
    kSfcPressure = 0,
    kSfcPrecipitation,
    kSfcU10,
    kSfcV10,
    kSfcTemperature2m,
    kSfcMixedLayerDepth,
    kSfcMomentumX,
    kSfcMomentumY,
    kSfcHeat,
    kSfcStability1,
    kSfcStability2,
    kSfcShortwaveFlux,
    kSfcFieldCount
};

// The fixed (time-independent) real fields of a grid.
enum FixedField : int32_t { kGridSpacingX = 0, kGridSpacingY, kRoughnessLength, kTerrainHeight, kFixedFieldCount };

// One grid's fields for one data-time slot. As read from the data files, then
// as the vertical remapping leaves them: winds in grid units per minute,
// vertical motion in internal coordinate per minute, temperature and
// potential temperature in K, relative humidity as a fraction, pressure in
// hPa, the turbulence fields of the turbulence method.
struct MetSlotFields {
    FieldView3D met_u;
    FieldView3D met_v;
    FieldView3D met_w;
    FieldView3D met_temperature;
    FieldView3D met_potential_temperature;
    FieldView3D met_humidity;
    FieldView3D met_turbulence_1;
    FieldView3D met_pressure;
    FieldView3D met_turbulence_3;
    FieldView3D met_turbulence_2;
    FieldView2D sfc_pressure;
    FieldView2D sfc_precipitation;
    FieldView2D sfc_u10;
    FieldView2D sfc_v10;
    FieldView2D sfc_temperature_2m;
    FieldView2D sfc_mixed_layer_depth;
    FieldView2D sfc_momentum_x;   // after remapping: -u*x in grid units per minute
    FieldView2D sfc_momentum_y;   // after remapping: -u*y in grid units per minute
    FieldView2D sfc_heat;
    FieldView2D sfc_stability_1;  // integrated stability function for heat
    FieldView2D sfc_stability_2;  // static stability N^2, 1/s2
    FieldView2D sfc_shortwave_flux;
};

// One grid's fixed fields.
struct MetFixedFields {
    FieldView2D grid_spacing_x;  // m
    FieldView2D grid_spacing_y;  // m
    FieldView2D roughness_length;  // m
    FieldView2D terrain_height;    // m
    IntFieldView2D land_use;       // category
};

// A grid's sub-grid window and the particle cloud's extent on the grid.
struct MetGridWindow {
    // The window the fields hold: first grid column and row and its size.
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t nx = 0;
    int32_t ny = 0;
    // The window planned from the particle cloud once an hour, taken over the
    // first time a particle leaves the held window.
    int32_t planned_x1 = 0;
    int32_t planned_y1 = 0;
    int32_t planned_nx = 0;
    int32_t planned_ny = 0;
    float centre_x = 0.0f;
    float centre_y = 0.0f;
    bool whole_grid = false;  // the window is the whole global grid; never cleared
    bool shifted = false;     // the planned window has been taken over
    // Grid columns and rows touched by the particles at the last planning.
    int32_t max_col = 0;
    int32_t min_col = 0;
    int32_t max_row = 0;
    int32_t min_row = 0;

    bool empty() const { return nx < 1 || ny < 1; }
};

struct MetSubgridArrays {
    // Tables, created on the first particle advance.
    bool tables_created = false;
    int32_t ng = 0;
    std::vector<int32_t> time_table;      // data time held in (grid, slot), 0 = nothing
    std::vector<int32_t> forecast_table;  // forecast hour held in (grid, slot)
    std::array<int32_t, 2> request_times{};  // data times 1 and 2 that bracket the model time
    std::array<int32_t, 2> time_slots{1, 2};  // slot holding data time 1 and 2

    // Windows, one per grid (1-based through window()).
    std::array<MetGridWindow, kMaxMetGrids> windows{};
    bool limits_initialised = false;

    // Allocated extents of the fields; 0 while none are allocated.
    int32_t nx = 0;
    int32_t ny = 0;
    int32_t nz = 0;
    std::vector<float> met3;
    std::vector<float> sfc;
    std::vector<float> fixed;
    std::vector<int32_t> land_use;

    bool fields_allocated() const { return nx > 0 && ny > 0 && nz > 0; }
    MetGridWindow& window(int32_t kg) { return windows[static_cast<size_t>(kg - 1)]; }
    const MetGridWindow& window(int32_t kg) const { return windows[static_cast<size_t>(kg - 1)]; }
    int32_t& met_time(int32_t kg, int32_t slot) { return time_table[static_cast<size_t>((kg - 1) * 2 + slot - 1)]; }
    int32_t& met_forecast(int32_t kg, int32_t slot) {
        return forecast_table[static_cast<size_t>((kg - 1) * 2 + slot - 1)];
    }
    // True while no grid holds any data.
    bool nothing_loaded() const;

    MetSlotFields slot_fields(int32_t kg, int32_t slot);
    MetFixedFields fixed_fields(int32_t kg);
    FieldView3D field3(MetField3 f, int32_t kg, int32_t slot);
    FieldView2D field2(SfcField f, int32_t kg, int32_t slot);
};

// Creates the tables for `ng` grids (all entries 0) and copies each grid's
// planned window into the window the fields will hold.
void create_met_tables(MetSubgridArrays& a, int32_t ng, TextOut& console);

// Makes sure the fields exist and hold grid kg's window with `nz` levels:
// when they do not, they are released and allocated again for the largest
// window of all grids, zeroed, and every grid's held data is forgotten.
// An allocation that fails ends the run.
void fit_met_fields_to_subgrid(MetSubgridArrays& a, int32_t kg, int32_t nz, Messages msg);

// Releases the fields (the tables stay).
void release_met_arrays(MetSubgridArrays& a);

}  // namespace orv
