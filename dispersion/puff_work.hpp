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

// What the sorts move: a key with the entry number (1-based) it belongs to.
struct PuffSortRecord {
    PuffKey key;
    int32_t entry;
};
struct MassSortRecord {
    float mass;
    int32_t entry;
};

struct PuffWork {
    WorkArray<PuffKey> keys;     // per entry
    WorkArray<float> group_mass; // per pollutant slot
    // The sorts' records and, behind them, as many again for the merge passes.
    WorkArray<PuffSortRecord> sort_records;
    WorkArray<MassSortRecord> mass_records;
    bool split_factor_notice = false;  // the SPLITF notice, once per run

    // Makes the arrays on first use (or when the entries outgrow them); a
    // failure writes "*ERROR* <routine>: memory allocation" and stops the run.
    void ensure(const ParticleArrays& p, int32_t n, std::string_view routine, TextOut& console);
    // The same for the sort records.
    void ensure_sort_records(const ParticleArrays& p, int32_t n, std::string_view routine, TextOut& console);
};

// The total mass of entry i over its pollutant slots.
float entry_mass(const ParticleArrays& p, int32_t i);

}  // namespace orv
