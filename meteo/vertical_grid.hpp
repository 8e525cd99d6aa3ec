#pragma once
// The internal vertical grid: terrain-following levels whose heights above
// ground follow z(k) = aa k^2 + bb k + cc metres, chosen once at set-up.

#include <cstdint>
#include <vector>

#include "common/text_output.hpp"

namespace orv {

struct MeteoFiles;

struct InternalVerticalGrid {
    float aa = 0.0f;
    float bb = 0.0f;
    float cc = 0.0f;
    int32_t nlvl = 0;
    int32_t surface_layer_level = 0;   // highest level at or below 75 m
    float surface_layer_height = 0.0f; // its height, m

    // Height above ground of level k (1-based), m.
    float height(int32_t k) const {
        float fk = static_cast<float>(k);
        return aa * fk * fk + bb * fk + cc;
    }
};

// Chooses the quadratic and the number of levels from the grid with the most
// data levels (first file of grids 1..grid_count) and the top of the model
// domain as entered (m, sign kept). Writes a line for every data level of 100
// hPa or more to standard output.
InternalVerticalGrid set_internal_vertical_grid(const MeteoFiles& met, int32_t grid_count, float entered_top,
                                                TextOut& console);

// The internal coordinate of each level, 1 - z(k) / model_top, k = 1..nlvl.
std::vector<float> make_sigma_profile(const InternalVerticalGrid& grid, float model_top);

}  // namespace orv
