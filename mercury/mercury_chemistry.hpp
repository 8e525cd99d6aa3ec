#pragma once
// The mercury chemistry of one puff over one time step. Without liquid water
// elemental mercury is oxidised in the gas phase by ozone, hydrogen chloride,
// hydrogen peroxide, chlorine and hydroxyl; with liquid water the divalent
// mercury is first partitioned between gas and droplets and 13 gas, droplet,
// reduction and soot-sorption reactions act. The masses advance by one
// explicit step; negative results are cut to zero and the species rescaled so
// that the total mercury of the puff is unchanged.
//
// Species slots of the puff's mass column (0-based here, 1-4 in the dumps):
// 0 Hg(0); 1 Hg(II) in gas-droplet equilibrium; 2 Hg(II) from gas-phase
// oxidation; 3 Hg(II) sorbed on soot.

#include <array>
#include <cstdint>
#include <span>

#include "common/work_array.hpp"
#include "run/settings.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "mercury/equilibrium_driver.hpp"
#include "mercury/liquid_water.hpp"
#include "mercury/oxidants_at_puff.hpp"

namespace orv {

inline constexpr int32_t kChemistryReactions = 13;
inline constexpr int32_t kMercurySlots = 4;

// The 64-bit work arrays of the step and the equilibrium solver's tables,
// sized once for the run's species count and rewritten by every call. After a
// call they hold that call's values (the dumps and tests read them).
struct MercuryChemistryWorkspace {
    int32_t nspec = 0;

    WorkArray<float> savemass;   // masses on entry (g)
    WorkArray<double> zdest;     // concentration destroyed per species in the step
    WorkArray<double> zmass;     // species concentrations, mol/m3
    WorkArray<double> zsavemass; // zmass on entry
    WorkArray<double> zsave;     // zmass before the update (dry case)
    WorkArray<double> saverate;  // copy of rate (dry case)
    WorkArray<float> xfracgas;   // gas fraction per species (wet case)
    WorkArray<float> xfracdrop;  // 1 - gas fraction
    WorkArray<float> xfracpart;  // not filled by the step
    WorkArray<double> rate;      // (species, reaction), species fastest: mol m-3 min-1
    WorkArray<double> totrate;   // sum of rate over the reactions
    WorkArray<double> change;    // totrate x time step
    WorkArray<double> zstart;    // zmass before the update
    std::array<double, kChemistryReactions> zr{};  // rate constant of each reaction

    FindrootResult root;              // the partition of slot 1 (zconc: root.x)
    EquilibriumWorkspace equilibrium; // the solver's own tables

    double liquid = 0.0;  // liquid water of the last call, g per m3 of air
    bool wet = false;

    double& rate_at(int32_t species, int32_t reaction) {
        return rate[species + static_cast<int64_t>(nspec) * reaction];
    }
};

// Sizes the work arrays for `nspec` species slots (the run's MAXDIM). The step
// needs at least the four mercury slots: fewer stops the run (code 900). A
// failed allocation writes "*ERROR* <array>: memory allocation" and stops.
void set_up_mercury_chemistry_workspace(MercuryChemistryWorkspace& work, int32_t nspec, TextOut& console);

// The puff's conditions for one step.
struct PuffChemistryConditions {
    float relative_humidity = 0.0f;  // fraction, from the puff's profile row
    float temperature = 0.0f;        // K
    float radiation = 0.0f;          // the meteorology word of the photoreduction (reference 1104)
    float puffvol = 0.0f;            // puff volume, m3
    bool aerosol_water = false;      // the liquid water estimate's aerosol-water switch
    float time_step = 0.0f;          // minutes; negative in a backward run
    int32_t distribution = 1;        // size distribution for the liquid water estimate
};

// The chemistry of one puff over one step. `mass` is the puff's mass column
// (g), changed in place: its first four entries are the mercury slots and its
// size must be work.nspec. The liquid water of the air comes from the
// relative humidity (hgsim.method_lwc; the estimate also rewrites the wet
// diameters of puff.distribution in `sizes`). Caller 1 or 2 selects the
// diagnostic channels. A puff volume of 0 or less leaves the masses
// unchanged; a backward step runs forward in time (the chemistry never runs
// in reverse). The sum of the mass column is unchanged.
void compute_puff_mercury_chemistry(int32_t caller, const PuffChemistryConditions& puff, const Hgsim& hgsim,
                                    const OxidantValuesAtPuff& ox, std::span<float> mass,
                                    MercuryChemistryWorkspace& work, SizeDistribution& sizes,
                                    DiagnosticChannels& ch, TextOut& console);

// The same step with the liquid water of the air (g per m3) given instead of
// estimated.
void compute_puff_mercury_chemistry_with_liquid(int32_t caller, const PuffChemistryConditions& puff, double liquid,
                                                const Hgsim& hgsim, const OxidantValuesAtPuff& ox,
                                                std::span<float> mass, MercuryChemistryWorkspace& work,
                                                DiagnosticChannels& ch, TextOut& console);

}  // namespace orv
