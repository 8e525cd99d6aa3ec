#pragma once
// The mercury arrays shared by the driver and the deposition step: the
// puff's species masses going in and coming out, the deposited masses per
// path and per land-use category of the ceps, the deposition velocities per
// category that weight the receptor booking, the settling of the puff, and
// the land-use and receptor weights under the puff. Sized once for the run;
// the step writes them in place and they keep their values between calls
// where the step does not rewrite them.
//
// Indices as the step numbers them: species 1..MAXDIM, deposition paths
// 0..npath (0 the total, 1 dry gas, 2 dry particles, 3 and 4 below cloud,
// 5 in cloud), land-use categories 1..nland.

#include <cstdint>
#include <vector>

#include "mercury/indexed_array.hpp"

namespace orv {

struct MercuryArrays {
    int32_t maxdim = 0;
    int32_t npath = 0;
    int32_t nland = 0;

    IndexedArray<float> depelm_mass;  // (MAXDIM) the puff's masses (g): in before, left after the step
    IndexedArray<float> zdep;         // (MAXDIM, 0:npath) mass deposited in the step (g)
    IndexedArray<float> zcepdep;      // (MAXDIM, 0:npath, nland) the same for a cep of each category
    IndexedArray<float> zvdgas;       // (MAXDIM, nland) gas deposition velocity (m/s)
    IndexedArray<float> zvdprt;       // (MAXDIM, nland) particle deposition velocity (m/s)
    IndexedArray<float> avgvg_spec;   // (MAXDIM) settling velocity aloft (m/s)
    IndexedArray<float> fracland;     // (nland) land-use fractions under the puff
    IndexedArray<float> genrough;     // (nland) roughness length per category (m)
    IndexedArray<float> pfrac;        // (receptors) receptor weights of the puff
    IndexedArray<float> cepres;       // (ceps) cep weights of the puff
    IndexedArray<float> step_deposit; // (pollutant entries) mass removed per species in the step (g)
    float puff_descent = 0.0f;        // metres the puff settled in the step (0 when none)

    // Sizes every array (all zero). Returns false when memory is short.
    bool allocate(int32_t maxdim_in, int32_t npath_in, int32_t nland_in, int32_t receptor_count, int32_t cep_count,
                  int32_t pollutant_entries);
};

// Which land-use category each receptor and each cep lies in (from the
// receptor and cep definitions), for the categories present under a puff.
struct ReceptorCategories {
    std::vector<int32_t> receptor_land_category;  // [r - 1]
    std::vector<int32_t> cep_code;                // [c - 1]
};

}  // namespace orv
