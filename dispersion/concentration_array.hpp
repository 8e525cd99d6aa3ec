#pragma once
// The concentration array: one REAL per (longitude index, latitude index,
// level, pollutant, grid), the longitude index varying fastest. It is sized
// once with the largest point and level counts of all concentration grids.
// Indices here are counted from 1, as the grid points are numbered.

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/work_array.hpp"
#include "run/concentration_grids.hpp"

namespace orv {

struct ConcentrationArray {
    int32_t nlon = 0;
    int32_t nlat = 0;
    int32_t nlev = 0;
    int32_t npol = 0;
    int32_t ngrid = 0;
    WorkArray<float> values;

    int64_t offset(int32_t i, int32_t j, int32_t l, int32_t p, int32_t g) const {
        return (((int64_t{g - 1} * npol + (p - 1)) * nlev + (l - 1)) * nlat + (j - 1)) * nlon + (i - 1);
    }
    float& at(int32_t i, int32_t j, int32_t l, int32_t p, int32_t g) { return values[offset(i, j, l, p, g)]; }
    float at(int32_t i, int32_t j, int32_t l, int32_t p, int32_t g) const { return values[offset(i, j, l, p, g)]; }
    // The nlon x nlat plane of one level, pollutant and grid.
    float* plane(int32_t l, int32_t p, int32_t g) { return values.data() + offset(1, 1, l, p, g); }
    const float* plane(int32_t l, int32_t p, int32_t g) const { return values.data() + offset(1, 1, l, p, g); }
    int64_t plane_size() const { return int64_t{nlon} * nlat; }
};

// Sizes the array from the largest point and level counts of the grids (with
// at least min_lon and min_lat points when there is a grid) and the
// pollutants, all values 0; a failure stops the run with the allocation
// message of `label`.
void allocate_concentration_array(ConcentrationArray& c, const std::vector<ConcentrationGrid>& grids,
                                  int32_t pollutant_count, TextOut& console,
                                  std::string_view label = "Concentration array", int32_t min_lon = 0,
                                  int32_t min_lat = 0);

// Sets every value of grid g to 0.
void zero_concentration_grid(ConcentrationArray& c, int32_t g);

}  // namespace orv
