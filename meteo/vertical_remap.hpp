#pragma once
// Vertical remapping of a loaded data period: every column of a grid's
// window is taken from the data file's own vertical coordinate (sigma,
// pressure, terrain-following height or hybrid) onto the internal levels,
// its stability and turbulence are computed, and the profiles are written
// back into the sub-grid arrays in the units the advection uses.

#include <cstdint>
#include <span>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/settings.hpp"
#include "meteo/column_profile.hpp"
#include "meteo/met_subgrid_arrays.hpp"
#include "meteo/met_tables.hpp"
#include "meteo/meteo_state.hpp"
#include "meteo/vertical_grid.hpp"

namespace orv {

// What the remapping of a column needs besides its data.
struct RemapGrid {
    std::span<const float> sigma;  // internal coordinate of levels 1..nlvl
    float model_top = 0.0f;        // m
    int32_t nlvl = 0;
};

// The data of one column on the data levels 1..nd (index 0 unused) and its
// surface values, as read from the file.
struct DataColumn {
    int32_t nd = 0;
    std::vector<float> value;  // level value of each data level (file level kd + 1)
    std::vector<float> u, v, w, t, moisture, height_or_pressure, e1, e2, e3;
    float surface_pressure = 0.0f;  // hPa; estimated when the data hold none
    float terrain = 0.0f;           // m; estimated when the data hold none (not for sigma data)
    float temperature_2m = 0.0f;    // K
    float u10 = 0.0f;
    float v10 = 0.0f;
    float roughness = 0.0f;  // m
    // Work values of the remapping: pressure, height above ground and
    // relative humidity of each data level.
    std::vector<float> pressure, height, rh;

    void resize(int32_t levels);
};

// Remaps one column by the file's vertical type (1 sigma, 2 pressure, 3
// terrain-following height, 4 hybrid) into `out` (levels 1..nlvl, index 0
// the ground). The surface pressure and terrain of `d` are replaced by their
// estimates where the data hold none. Writes the once-per-run extrapolation
// notice of its method; an unknown type stops the run.
void remap_column(const MetGridDefinition& gd, const MetFileLayout& lay, const RemapGrid& rg, DataColumn& d,
                  ColumnProfile& out, MeteoNotices& notices, Messages msg);

// Remaps every column of grid kg's window in one slot of the sub-grid
// arrays: `data_levels` levels as read, from the file kt whose layout holds
// the level values and flags. Then the stability, turbulence and (with the
// file's horizontal mixing option) the horizontal mixing.
void prfcom(MeteoState& met, int32_t kg, int32_t kt, int32_t slot, int32_t data_levels, const Settings& settings,
            const InternalVerticalGrid& vg, std::span<const float> sigma, float model_top, Messages msg);

}  // namespace orv
