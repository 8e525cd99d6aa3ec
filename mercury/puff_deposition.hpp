#pragma once
// The mercury deposition step of one puff over one time step: the puff's
// mercury is partitioned between gas, cloud water and particles; dry
// deposition velocities are computed per land-use category and per cep
// category, averaged over the land use under the puff and turned into dry
// removal rates (or, aloft, into the puff's settling); in rain, in-cloud and
// below-cloud removal rates are added; the mass removed over the step is
// taken from the puff and split over the deposition paths and the cep
// categories (see mercury_arrays.hpp for what the driver reads back).
//
// Species: 1 elemental mercury and 2 divalent mercury in gas-droplet
// equilibrium (gases), 3 divalent mercury from gas-phase oxidation and 4 on
// soot (particles). Rates are per minute, masses in grams.

#include <cstdint>
#include <span>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/pollutants.hpp"
#include "run/settings.hpp"
#include "mercury/below_cloud_scavenging.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "mercury/dry_deposition_velocity.hpp"
#include "mercury/equilibrium_driver.hpp"
#include "mercury/indexed_array.hpp"
#include "mercury/mercury_arrays.hpp"
#include "mercury/oxidants_at_puff.hpp"
#include "mercury/size_distribution.hpp"
#include "meteo/met_at_particle.hpp"

namespace orv {

// Who calls and when.
struct DepositionCall {
    int32_t call_id = 1;  // 1 from the driver; 2 selects the second channel set
    int32_t JET = 0;      // model time, accumulated minutes
    int32_t year = 0, month = 1, day = 1, hour = 0, minute = 0;  // calendar form of JET
    float time_step = 0.0f;  // minutes; negative in a backward run
};

// The puff's position and vertical extent.
struct DepositionPuff {
    float lat = 0.0f;                  // degrees
    float lon = 0.0f;                  // degrees
    float height = 0.0f;               // centre above sea level, m
    int32_t size_distribution = 1;     // row of the size distribution arrays
    float puff_bottom_height = 0.0f;   // m above ground
    float puff_top_height = 0.0f;      // m above ground
    float puff_depth = 1.0f;           // top - bottom, at least 1 m
    float puffvol = 0.0f;              // m3
    bool near_surface_flag = false;    // bottom below the surface-layer height: dry deposition at the surface
};

// The meteorology at the puff.
struct DepositionMet {
    float wind_speed_10m = 0.0f;        // m/s
    int32_t land_use = 0;               // land-use category at the puff (after a receptor's override)
    float roughness = 0.0f;             // m (dumps only)
    float friction_velocity = 0.0f;     // m/s
    float stability = 0.0f;             // stability correction
    float solar_flux = 0.0f;            // W/m2
    float RAIN = 0.0f;                  // precipitation, m per minute
    float air_density = 0.0f;           // at the puff's level, kg/m3
    float temperature = 0.0f;           // at the puff's level, K
    float surface_temperature = 0.0f;   // at the lowest level, K
    float rh_puff = 0.0f;               // relative humidity at the puff's level, fraction
    float rh_surface = 0.0f;            // at the lowest level
    float surface_layer_height = 0.0f;  // reference height of the deposition velocity, m
};

// The meteorology at the puff as the driver holds it: the particle's record,
// the profile rows of the puff's level and of the lowest level, and the
// surface-layer height of the vertical grid.
DepositionMet deposition_met(const MetAtParticle& met, const ProfileRow& at_puff, const ProfileRow& lowest,
                             float surface_layer_height);

// The cloud layer found by the driver's scan (all 0 without rain).
struct CloudLayer {
    float cloud_base_height = 0.0f;          // m above ground
    float cloud_top_height = 0.0f;           // m above ground
    float fraction_below_cloud_top = 0.0f;   // share of the puff's depth below the cloud top
    float fraction_above_cloud_base = 0.0f;  // share above the cloud base
};

// The per-puff values of one call.
struct DepositionArguments {
    DepositionCall call;
    DepositionPuff puff;
    DepositionMet met;
    CloudLayer cloud;
};

// What stays the same over the run.
struct DepositionSettings {
    const Hgsim& hgsim;
    std::span<const Pollutant> dirt;
    const ReceptorCategories& categories;
};

// The work arrays of the step, sized once for the run and rewritten by every
// call (the tables of one call stay readable after it). Indices as in the
// step: water case 1..4, species 1..MAXDIM, size range 0..nrange, path
// 0..npath, land-use category 1..nland.
struct DepositionWorkspace {
    int32_t maxdim = 0;
    int32_t nrange = 0;
    int32_t npath = 0;
    int32_t nland = 0;

    IndexedArray<double> savemass;   // (MAXDIM) masses on entry (g)
    IndexedArray<double> zmass;      // (MAXDIM) concentrations, mol/m3
    IndexedArray<double> zsavemass;  // (MAXDIM) zmass on entry
    IndexedArray<float> xrh_calc;    // (4) humidity of each water case
    IndexedArray<double> xliquid;    // (4) liquid water, g/m3
    IndexedArray<bool> xdroplet;     // (4) the case has liquid water
    IndexedArray<double> XW;         // (4) xliquid / 1000
    IndexedArray<float> xfracgas;    // (4, MAXDIM) gas share
    IndexedArray<float> xfracdrop;   // (4, MAXDIM) share in droplets
    IndexedArray<float> xfracpart;   // (4, MAXDIM) share on particles
    IndexedArray<float> xzmfracp;    // (4, MAXDIM, 0:nrange) share per size range (0 the gas)
    IndexedArray<float> xpd;         // (4, 0:nrange) particle diameter, m
    IndexedArray<float> xvolfrac;    // (4, 0:nrange) volume fraction
    IndexedArray<double> zconc;      // (7) the equilibrium's unknowns
    IndexedArray<bool> lndexist;     // (nland) category present under the puff or its receptors
    IndexedArray<bool> cepexist;     // (nland) category of a cep under the puff
    IndexedArray<float> zvgavg;      // (MAXDIM) land-use averaged settling velocity
    IndexedArray<float> zvdavg;      // (MAXDIM) land-use averaged deposition velocity
    IndexedArray<float> zvg;         // (MAXDIM)
    IndexedArray<float> zvd;         // (MAXDIM)
    IndexedArray<float> zvdgascep;   // (MAXDIM, nland) gas velocity from the cep velocities
    IndexedArray<float> zvdgasprt;   // (MAXDIM, nland) particle velocity from the cep velocities
    IndexedArray<float> z_vdland;    // (0:nrange, nland, MAXDIM) deposition velocity, land use
    IndexedArray<float> z_vgland;    // (0:nrange, nland, MAXDIM) settling velocity, land use
    IndexedArray<float> z_vdcep;     // (0:nrange, nland, MAXDIM) deposition velocity, ceps
    IndexedArray<float> z_vgcep;     // (0:nrange, nland, MAXDIM) settling velocity, ceps
    IndexedArray<bool> velocity_rows;  // (nland) the four tables above hold values of the category
    IndexedArray<float> zpbeta;      // (MAXDIM, 0:npath) removal rate per path, per minute
    IndexedArray<float> zpbetalnd;   // (MAXDIM, 0:npath, nland) the same for one category alone
    IndexedArray<float> zbeta;       // (MAXDIM) total removal rate
    IndexedArray<float> zdepv;       // (MAXDIM) wet deposition velocity (dumps)
    IndexedArray<float> zbetatot;    // (MAXDIM)
    IndexedArray<float> zsbetatot;   // (MAXDIM)
    IndexedArray<float> zsbeta;      // (MAXDIM) total rate of the puff
    IndexedArray<float> zsmass;      // (MAXDIM) mass before removal
    IndexedArray<float> zinitmass;   // (MAXDIM)
    IndexedArray<float> ztotremovd;  // (MAXDIM) mass removed
    IndexedArray<float> zcdept;      // (MAXDIM) mass removed for a cep category
    IndexedArray<float> zctotremv;   // (MAXDIM)
    IndexedArray<float> zcmass;      // (MAXDIM) mass left for a cep category
    IndexedArray<float> vg_aloft;    // (nrange) settling velocity aloft, m/s
    // (1:3, 0:nrange) settling velocity near the surface before the division
    // by the shape factor: of the particles before growth (1) and of the
    // grown particles of water cases 2 and 3. A call fills the rows of the
    // water cases its categories take, and row 1 where a water-like category
    // or the velocity dump needs it.
    IndexedArray<float> unshaped_settling;
    // Pieces of the dry deposition velocities of one call (see
    // dry_deposition_velocity.hpp), each computed once for the calls that
    // share it: per category; per size range and water case 2 or 3; per size
    // range (0 the gas), water case and species.
    IndexedArray<AerodynamicTerms> aerodynamic;  // (nland)
    IndexedArray<TransferTerms> diffusion;       // (nrange, 2:3)
    IndexedArray<TransferTerms> transfer;        // (0:nrange, 2:3, MAXDIM)
    IndexedArray<float> shape;                   // (MAXDIM) SHAPE as the settling takes it
    // The below-cloud fitted curves of each size range, kept from the last
    // call for the diameter they were computed for (0: none yet).
    IndexedArray<float> fit_diameter;      // (nrange)
    IndexedArray<BelowCloudFit> fit;       // (nrange)

    // The equilibrium of the cloud-water partition.
    FindrootResult root;
    EquilibriumWorkspace equilibrium;
    // Pollutants whose SHAPE was found not positive (warned once each).
    std::vector<uint8_t> shape_warned;
    // The puff's edges as the step lowers them by its settling.
    float bottom = 0.0f;
    float top = 0.0f;
    float depth = 1.0f;
    // Mass-weighted mean settling velocity of the puff (m/s).
    float settling_mean = 0.0f;
    // The zero tests of the transfer over water held so far in the run.
    WaterZeroCounts water_zeros;
};

// Sizes the work arrays for MAXDIM species and the `hgsim` counts. The step
// needs the four mercury species, at least the five deposition paths and at
// most the 20 land-use categories of the resistance tables; other counts stop
// the run (code 900). A failed allocation writes "*ERROR* <array>: memory
// allocation" on the console and stops the run (plain stop).
void set_up_deposition_workspace(DepositionWorkspace& ws, const Hgsim& hgsim, int32_t maxdim, TextOut& console);

// One deposition step of one puff. Reads the puff's masses from
// `arrays.depelm_mass` and leaves there what remains; fills zdep, zcepdep,
// zvdgas and zvdprt (near the surface), avgvg_spec (aloft), step_deposit and
// puff_descent. The size distribution's wet diameters are rewritten by the
// liquid water estimates. A puff volume of 0 or less deposits nothing. A
// backward step removes as a forward one does: deposition never adds mass.
// SHAPE values of 0 or less are taken as 1, with one warning per pollutant
// in the message log.
void compute_puff_mercury_deposition(const DepositionArguments& args, const DepositionSettings& run,
                                     const OxidantValuesAtPuff& oxidants, MercuryArrays& arrays,
                                     SizeDistribution& sizes, DepositionWorkspace& ws, DiagnosticChannels& ch,
                                     Messages msg);

}  // namespace orv
