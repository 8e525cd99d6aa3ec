#pragma once
// The particle state: one array per quantity over particle entries 1..MAXPAR
// (held from index 0), masses with the pollutant slot varying fastest. Every
// array starts all zero when allocated.
//
// Stored numbers keep their meaning whatever the storage index base: entry
// k of the list is held at index k - 1, but the values held count from 1 as
// the model defines them: a pollutant number (`particle_pollutant`) and a
// meteorological grid number (`particle_grid`) are 1-based, grid 0 marks a
// removed particle, and sort keys (`particle_sort_key`) run from 1 to n,
// naming entries, not indices. Convert a stored number to an index only
// where it is used (index = number - 1).
//
// The type codes (`particle_hdwp`) are named in run/particle_types.hpp.

#include <cstdint>

#include "common/work_array.hpp"
#include "run/particle_types.hpp"

namespace orv {

struct ParticleArrays {
    int32_t maxpar = 0;
    int32_t maxdim = 0;
    WorkArray<float> particle_x;
    WorkArray<float> particle_y;
    WorkArray<float> particle_z;
    WorkArray<float> particle_sigma_h;
    WorkArray<float> particle_turb_u;
    WorkArray<float> particle_turb_v;
    WorkArray<float> particle_sigma_z;
    WorkArray<float> particle_mass;  // maxdim x maxpar, slot fastest
    WorkArray<int32_t> particle_age;
    WorkArray<int32_t> particle_hdwp;
    WorkArray<int32_t> particle_pollutant;
    WorkArray<int32_t> particle_grid;  // 0 = ended
    WorkArray<int32_t> particle_sort_key;
    WorkArray<float> mass_total;  // maxdim
    // Allocated only when a particle initialisation file is read.
    WorkArray<float> particle_lat;
    WorkArray<float> particle_lon;
    int32_t particle_count = 0;

    // Mass of pollutant slot s of entry p (both counted from 0).
    float& mass(int32_t s, int32_t p) { return particle_mass[int64_t{p} * maxdim + s]; }
};

// Allocates the arrays from MAXPAR and MAXDIM (negative values give empty
// arrays), every element zero. A failure stops the run with its group label.
void allocate_particle_arrays(ParticleArrays& p, int32_t maxpar, int32_t maxdim, TextOut& console);

}  // namespace orv
