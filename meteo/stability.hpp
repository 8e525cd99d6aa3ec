#pragma once
// Stability and turbulence of one column of the sub-grid, right after its
// profiles were remapped onto the internal levels: friction velocity,
// temperature scale, Obukhov length, mixed-layer depth and convective
// velocity scale from the data's fluxes or from the profiles, then the
// velocity variances by one of three turbulence methods. And the horizontal
// mixing of a whole sub-grid from the deformation of the wind.

#include <cstdint>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "meteo/column_profile.hpp"
#include "meteo/field_view.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

// The stability of the column being processed.
struct StabilityState {
    float ustar = 0.0f;    // friction velocity, m/s
    float ustar_x = 0.0f;  // its signed components, m/s
    float ustar_y = 0.0f;
    float tstar = 0.0f;    // temperature scale, K; negative for an upward heat flux
    float wstar = 0.0f;    // convective velocity scale, m/s; 0 in stable air
    float obukhov_length = 0.0f;  // m
    float mixed_layer_depth = 0.0f;  // m
    float psi_h = 0.0f;    // integrated stability function for heat
};

// Options of the stability analysis and the turbulence methods: the run's
// settings and the file's (already clamped) choices.
struct TurbulenceOptions {
    int32_t kbls = 1;   // 1 fluxes, 2 profiles
    int32_t kblt = 2;   // turbulence method 1..4
    int32_t kmixd = 0;  // mixed-layer depth rule
    int32_t kmix0 = 250;  // least mixed-layer depth, m
    int32_t kzmix = 0;  // averaging of the vertical variance
    float tvmix = 1.0f;
    float tkerd = 0.18f;  // ratios of vertical to horizontal variance, day and night
    float tkern = 0.18f;
    float vscale = 200.0f;  // s
    int32_t surface_layer_level = 2;
};

// The surface values of the column that the analysis reads and writes.
struct StabilitySurface {
    float roughness = 0.0f;
    float momentum_x = 0.0f;  // in: USTR, UMOF or EXCO; out: u*x
    float momentum_y = 0.0f;  // in: VMOF; out: u*y
    float heat = 0.0f;        // SHTF/HFLX (W/m2) or TSTR (K), sign already as the analysis wants it
    float mixed_layer_depth = 0.0f;  // in: MXHT; out: Zi
    float stability_1 = 0.0f;  // out: psi_h
    float stability_2 = 0.0f;  // out: static stability N^2, 1/s2
};

// Stability of one column; (i, j) only name the column in the error report.
// Stops the run when no internal level above the lowest has observed data.
StabilityState stbanl(const TurbulenceOptions& o, const MeteoDataFlags& flags, int32_t i, int32_t j,
                      ColumnProfile& c, StabilitySurface& s, Messages msg);

// The turbulence methods: e1, e2 become the horizontal variances (split by
// the wind direction), e3 the vertical variance, m2/s2.
void compute_turbulence_method_1(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st);
void compute_turbulence_method_2(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st);
void compute_turbulence_method_3(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st);
// Method by KBLT: 1 to 3 as above, 4 leaves the data's variances; any other
// value stops the run.
void compute_turbulence(const TurbulenceOptions& o, ColumnProfile& c, const StabilityState& st, TextOut& console);

// Replaces the horizontal variances e1, e2 of the sub-grid (nxs x nys, levels
// 1..nlvl) by values from the deformation of the wind (u, v in grid units per
// minute, gx, gy the grid spacings in m).
void compute_horizontal_mixing_from_deformation(int32_t nxs, int32_t nys, int32_t nlvl, const FieldView2D& gx,
                                                const FieldView2D& gy, const FieldView3D& u, const FieldView3D& v,
                                                const FieldView3D& e1, const FieldView3D& e2);

// A total horizontal variance split by the wind: e2 gets h u^2/(u^2+v^2),
// e1 h v^2/(u^2+v^2); both 0 in calm air.
inline void split_horizontal_variance(float h, float u, float v, float& e1, float& e2) {
    const float s = u * u + v * v;
    if (s <= 0.0f) {
        e1 = 0.0f;
        e2 = 0.0f;
        return;
    }
    e2 = h * u * u / s;
    e1 = h * v * v / s;
}

}  // namespace orv
