#pragma once
// Adding a particle's mass to the concentration array after its step, and the
// radioactive decay of the deposited values at the end of the step.
//
// Ordinary levels accumulate time-weighted mass per cubic metre, deposition
// levels (height 0) deposited mass per square metre; with CMASS the array
// holds plain mass at the nearest point. Grids outside their sampling window
// and maximum grids (type 2) receive nothing.

#include <cstdint>
#include <span>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "dispersion/concentration_array.hpp"
#include "run/concentration_grids.hpp"
#include "run/particle_arrays.hpp"
#include "run/pollutants.hpp"

namespace orv {

// The values of the step every summation needs.
struct SummationStep {
    float dt_minutes = 0.0f;  // negative in a backward run
    int32_t model_time = 0;   // accumulated minutes
    float model_top = 0.0f;   // m
    int32_t KMSL = 0;         // 1: level heights above sea level (terrain added)
};

// Where the particle is: its position after the step and the ground under it.
struct SummationPoint {
    float lat = 0.0f;             // degrees (consum, sum_particle_on_latlon_grids)
    float lon = 0.0f;
    float terrain_height = 0.0f;  // m
    float spacing_x = 0.0f;       // m per grid unit at the particle (metsum)
    float spacing_y = 0.0f;
};

// Entry i (0-based) of the particle arrays onto every concentration grid as a
// particle or a Gaussian or top-hat puff. `deposited` holds the mass per slot
// deposited in this step (may be empty: nothing deposited).
// `smallest_spacing_km` comes back as the smaller of itself and the spacing of
// every grid that received a point of the particle's window.
void consum(const std::vector<ConcentrationGrid>& grids, const SummationStep& step, const SummationPoint& at,
            const ParticleArrays& p, int32_t i, std::span<const float> deposited, float& smallest_spacing_km,
            ConcentrationArray& conc, Messages msg);

// The same on the meteorological grid (ICHEM 4): the array is indexed by the
// particle's meteorological grid points (its x and y in grid units).
void metsum(const std::vector<ConcentrationGrid>& grids, const SummationStep& step, const SummationPoint& at,
            const ParticleArrays& p, int32_t i, std::span<const float> deposited, float& smallest_spacing_km,
            ConcentrationArray& conc, Messages msg);

// Plain mass at the nearest grid point of the level the particle is in (CMASS).
void sum_particle_on_latlon_grids(const std::vector<ConcentrationGrid>& grids, const SummationStep& step,
                                  const SummationPoint& at, const ParticleArrays& p, int32_t i,
                                  float& smallest_spacing_km, ConcentrationArray& conc);

// Decays the deposition levels of every pollutant with DORAD over one step.
void decay_concentration_grids(const std::vector<ConcentrationGrid>& grids, const std::vector<Pollutant>& dirt,
                               float dt_minutes, ConcentrationArray& conc);

// The time weight of one step on a grid: 1 for a snapshot, |dt| over the last
// d minutes for type -d, else |dt| over the interval.
float sampling_weight(const ConcentrationGrid& g, float dt_minutes);

}  // namespace orv
