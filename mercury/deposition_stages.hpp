#pragma once
// The stages of the mercury deposition step, in their order of a call (used
// by puff_deposition.cpp; the stages share one context).

#include <cstdint>

#include "mercury/puff_deposition.hpp"
#include "run/land_use.hpp"

namespace orv::deposition {

struct StepContext {
    const DepositionArguments& args;
    const DepositionSettings& run;
    const OxidantValuesAtPuff& oxidants;
    MercuryArrays& arrays;
    SizeDistribution& sizes;
    DepositionWorkspace& ws;
    DiagnosticChannels& ch;
    TextOut& log;
    TextOut& console;
    float dt = 0.0f;  // length of the step, minutes (never negative)

    // Pollutant p's definition, null for a species without one.
    const Pollutant* pollutant(int32_t p) const {
        return p >= 1 && static_cast<size_t>(p) <= run.dirt.size() ? &run.dirt[static_cast<size_t>(p - 1)] : nullptr;
    }
    // The channel of this call's set: c for call id 1, c + 100 for 2.
    int32_t channel(int32_t c) const { return channel_for_caller(c, args.call.call_id); }
    // Dump file of channel c when it fires in this call, else null.
    TextOut* firing(int32_t c) { return ch.fires(c) ? ch.dump_file(c) : nullptr; }
};

// Water case whose particle diameters and shares go with a land-use
// category: 3 (humidity 0.95) over water-like categories, else 2 (the
// humidity of the lowest level).
inline int32_t water_case(int32_t category) { return water_like_category(category) ? 3 : 2; }

// SHAPE of pollutant p for the settling formulas: values of 0 or less (and a
// missing pollutant) are taken as 1, with one warning per pollutant.
float shape_factor(StepContext& s, int32_t p);

// Settling velocity (m/s) of a sphere of diameter d (m) and density rho_p in
// air of density rho_a (both g/m3), with the slip correction, before the
// division by the shape factor; and with it.
float unshaped_settling_velocity(float d, float rho_p, float rho_a);
inline float settling_velocity(float d, float rho_p, float rho_a, float shape) {
    return unshaped_settling_velocity(d, rho_p, rho_a) / shape;
}

// Liquid water of the four water cases and the gas, droplet and particle
// shares of each species in each.
void partition_cloud_water(StepContext& s);
// Velocities per size range, category and species for the categories under
// the puff, its receptors and its ceps.
void dry_deposition_velocities(StepContext& s);
// Their averages over the land use, the per-category velocities the driver
// books with, and the dry removal rates.
void average_velocities_and_dry_rates(StepContext& s);
// Settling of a puff that does not reach the surface.
void settling_aloft(StepContext& s);
// The distance the puff settles over the step, and the step's own lowered
// edges of the puff.
void settle_puff(StepContext& s);
// In-cloud and below-cloud removal rates (in rain).
void wet_removal_rates(StepContext& s);
// With elemental mercury deposition switched off, no rate of species 1.
void switch_off_elemental_deposition(StepContext& s);
// Removal over the step, split over the paths and the cep categories.
void remove_deposited_mass(StepContext& s);

}  // namespace orv::deposition
