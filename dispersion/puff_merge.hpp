#pragma once
// Sorting and merging of alike puffs. One pair test both orders two puffs
// (by reduced type code, pollutant, meteorological grid, sigma_h, size class,
// then z, x and y, each within its tolerance) and says whether they may be
// merged. The sort rewrites `particle_sort_key` (never moving entries) so that
// alike puffs stand together; the merge joins each run of alike neighbours.

#include <cstdint>
#include <span>

#include "dispersion/puff_work.hpp"
#include "run/particle_arrays.hpp"

namespace orv {

// The tolerances of one sort and merge pass.
struct MergeFactors {
    float horizontal = 1.0f;   // FRHS, or the driver's wider merge factor
    float vertical = 0.01f;    // FRVS
    float sigma = 0.10f;       // FRTS
    float mass_limit = 0.0f;   // Mmin: puffs above it are "big" (0: none)
    float model_top = 0.0f;    // m
};

struct PuffComparison {
    int32_t order = 0;  // -1: B must stand before A
    int32_t merge = 0;  // -1: A and B may be merged
};

// The key of entry i for a pass with the given mass limit.
PuffKey puff_key(const ParticleArrays& p, int32_t i, float mass_limit);

// The pair test of A (the earlier) and B (the later). `delta` is the cell
// size (m) of A's meteorological grid.
PuffComparison compare_puffs(const MergeFactors& f, float delta, const PuffKey& a, const PuffKey& b);

// Orders particle_sort_key(1..n). `grid_size_km` holds S(g) for g = 1, 2, ...
void pufsrt(const MergeFactors& f, ParticleArrays& p, std::span<const float> grid_size_km, PuffWork& work,
            TextOut& console);

// Merges the runs of alike puffs along the sort order: the first of a run
// takes the masses and the mass-weighted place, spreads and age; the others
// end (grid 0).
void pufmrg(const MergeFactors& f, ParticleArrays& p, std::span<const float> grid_size_km, PuffWork& work,
            TextOut& console);

// The two mass levels below which the smallest entries hold at most the
// fractions f1 and f2 of `total`; also leaves particle_sort_key in ascending
// order of mass.
struct MassLevels {
    float m1 = 0.0f;
    float m2 = 0.0f;
};
MassLevels pufmin(ParticleArrays& p, float total, float f1, float f2, PuffWork& work, TextOut& console);

}  // namespace orv
