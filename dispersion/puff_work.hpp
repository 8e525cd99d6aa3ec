#pragma once
// Work arrays of the hour-end puff management, made once at their first use
// with room for MAXPAR entries and kept for the run.

#include <cstdint>
#include <string_view>

#include "common/work_array.hpp"
#include "run/particle_arrays.hpp"

namespace orv {

// What the pair test of the sort and merge reads of one entry, taken once per
// call: its place and spreads, reduced type code, pollutant, grid, total mass
// and size class.
struct PuffKey {
    float x, y, z, sigma_h, sigma_z;
    float mass;  // sum over the pollutant slots
    float big;   // 1.0 when the mass exceeds the call's mass limit, else 0.0
    int32_t mode, pollutant, grid;
};

struct PuffWork {
    WorkArray<PuffKey> keys;     // per entry
    WorkArray<int32_t> order;    // merge sort work list
    WorkArray<float> group_mass; // per pollutant slot
    bool split_factor_notice = false;  // the SPLITF notice, once per run

    // Makes the arrays on first use (or when the entries outgrow them); a
    // failure writes "*ERROR* <routine>: memory allocation" and stops the run.
    void ensure(const ParticleArrays& p, int32_t n, std::string_view routine, TextOut& console);
};

// The total mass of entry i over its pollutant slots.
float entry_mass(const ParticleArrays& p, int32_t i);

}  // namespace orv
