#pragma once
// The vertical motion options: after a data time has been remapped onto the
// internal levels, its vertical motion is kept, replaced or corrected.

#include <cstdint>
#include <span>

#include "meteo/met_subgrid_arrays.hpp"

namespace orv {

// What the options work on: the window's extent and the fields of one grid.
struct VerticalMotionFields {
    int32_t nx = 0;  // window columns and rows
    int32_t ny = 0;
    int32_t nlvl = 0;
    std::span<const float> sigma;  // internal coordinate of each level, 1 at the ground
    float model_top = 0.0f;        // m
    FieldView2D terrain;           // m
    // The data time just loaded: u and v in grid units per minute, w (changed)
    // in internal coordinate per minute.
    FieldView3D u, v, w;
    // Pressure (hPa), potential temperature and temperature (K) of the slots
    // of the earlier (a) and the later (b) data time.
    FieldView3D pressure_a, pressure_b;
    FieldView3D theta_a, theta_b;
    FieldView3D temperature_a, temperature_b;
    float dt = 0.0f;  // minutes from data time a to data time b, signed
};

// Option 0 data, 1 isobaric, 2 isentropic, 3 isopycnic, 4 none, 5 divergence,
// 6 data plus a terrain-slope term; any other value leaves w unchanged.
void metwnd(int32_t option, const VerticalMotionFields& f);

// The fields of data time `slot` of grid kg, with the slots of data times 1
// and 2 as the sub-grid arrays hold them.
VerticalMotionFields vertical_motion_fields(MetSubgridArrays& a, int32_t kg, int32_t slot,
                                            std::span<const float> sigma, float model_top);

}  // namespace orv
