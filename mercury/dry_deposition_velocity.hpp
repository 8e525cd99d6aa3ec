#pragma once
// Dry deposition velocity of one pollutant of a puff onto one land-use
// category: a resistance model with an aerodynamic resistance from the
// friction velocity and stability, a quasi-laminar resistance from the
// Schmidt and Stokes numbers and, for elemental mercury (pollutant 1) as a
// gas, a canopy resistance from seven tables by season type and category.
// Particles over water-like surfaces take a two-layer transfer formula driven
// by the wind speed instead.
//
// The arithmetic relies on IEEE infinities: a closed path is a resistance of
// 1e25 or an infinite one, whose conductance is 0. Never build with fast-math.

#include <array>
#include <cmath>
#include <cstdint>

#include "run/land_use.hpp"
#include "run/pollutants.hpp"
#include "mercury/diagnostic_channels.hpp"

namespace orv {

// 10 to the power x in float. Below -50 the power lies far under half the
// smallest subnormal float (about 7e-46) and rounds to 0, which the library
// would only reach on its slow underflow path.
inline float power_of_ten(float x) { return x < -50.0f ? 0.0f : std::pow(10.0f, x); }

// The slip correction of a particle of diameter d (m) in air of mean free
// path lambda (m). Once -0.55 d / lambda is below -20 its exponential adds
// less than half a unit in the last place to 1.26 and is left out.
inline float slip_correction(float d, float lambda) {
    const float y = -0.55f * d / lambda;
    const float tail = y < -20.0f ? 1.26f : 1.26f + 0.4f * std::exp(y);
    return 1.0f + (2.0f * lambda / d) * tail;
}

// Season type of the resistance tables: 1 in the warm half year (April to
// September in the north, October to March at and south of the equator),
// else 2. Latitude 0 counts as south.
int32_t season_type(float lat, int32_t month);

// The conditions at the surface under a puff, the same for every species and
// category of one deposition step.
struct DepositionSurface {
    float ubar = 0.0f;         // mean wind speed, m/s (particles over water only)
    float lat = 0.0f;          // degrees, positive north
    int32_t month = 1;         // 1..12
    float z = 0.0f;            // reference height, m
    float ustar = 0.0f;        // friction velocity, m/s
    float psi = 0.0f;          // stability correction, subtracted from ln(z/z0)
    float solar = 0.0f;        // solar radiation G, W/m2
    float air_density = 0.0f;  // g/m3
    float temperature = 0.0f;  // K
};

// The zero tests of the transfer over water, in the order they are made.
enum WaterZero : int32_t { kZeroUbar, kZeroKcPrime, kZeroKdPrime, kZeroKc, kZeroKd, kWaterZeroTests };

// How often each zero test of the transfer over water has held in the run.
// Its console line ("ubar = 0" ...) is written the first time only; the
// counts go to the message log at the end of the run.
struct WaterZeroCounts {
    std::array<int64_t, kWaterZeroTests> counts{};
};

// The console line of zero test k.
const char* water_zero_line(int32_t k);

// Writes to `log` the count of every zero test that has held.
void write_water_zero_counts(const WaterZeroCounts& zeros, TextOut& log);

// What is deposited where.
struct DepositionTarget {
    int32_t pollutant = 1;        // pollutant index (1 = elemental mercury)
    int32_t land_use = 1;         // land-use category 1..20
    float z0 = 0.0f;              // roughness length of the category, m
    float diameter = 0.0f;        // particle diameter, m; 0 marks a gas
    float settling = 0.0f;        // settling velocity of the particle, m/s
    float extra_transfer = 0.0f;  // added to the wind-driven transfer over water, m/s
};

// Which formula gave the velocity; the diagnostic record kinds follow it.
enum class DepositionCase : int32_t { ParticleOverWater = 0, GasElemental = 1, Other = 2 };

// The velocity with the terms it was built from (the diagnostic record
// prints them). Values that do not belong to the case stay -99.
struct DryDepositionTerms {
    DepositionCase kind = DepositionCase::Other;
    float nu = 0.0f;       // kinematic viscosity, m2/s
    float tc = 0.0f;       // temperature, degrees C
    float z0 = 0.0f;       // roughness length used
    float log_z = 0.0f;    // ln(z / z0)
    float ra = -99.0f;     // aerodynamic resistance, s/m
    float diffusivity = -99.0f;
    float sc = 0.0f;       // Schmidt number
    float st = 0.0f;       // Stokes number (-99 for a gas)
    float e = 0.0f;        // impaction term
    float rb = -99.0f;     // boundary-layer resistance, s/m
    // Canopy resistance of elemental mercury as a gas.
    int32_t season = -99;
    float temp_factor = -99.0f, rs = -99.0f, rm = -99.0f, zrlu = -99.0f, rlu = -99.0f, rdc = -99.0f;
    float zrcls = -99.0f, zrclo = -99.0f, rcl = -99.0f, rac = -99.0f, zrac = -99.0f, zrgss = -99.0f;
    float zrgso = -99.0f, zrgss_used = -99.0f, rgs = -99.0f, ct = -99.0f;
    float g_stomatal = -99.0f, g_cuticle = -99.0f, g_lower = -99.0f, g_ground = -99.0f;
    float rc = 0.0f;       // canopy resistance, s/m (0 where there is none)
    // Water formula.
    float kc_prime = -99.0f, kc = -99.0f, kd_prime = -99.0f, kd = -99.0f;
    float vd = 0.0f;       // the deposition velocity, m/s
};

// The velocity is put together from pieces that depend on less than the
// whole call; the deposition step computes each piece once for all the
// calls that share it.

// The terms that hold for every pollutant and category under one surface.
struct SurfaceTerms {
    float nu = 0.0f;        // kinematic viscosity, m2/s
    float tc = 0.0f;        // temperature, degrees C
    float water_z0 = 0.0f;  // roughness length over water-like categories, m
};
SurfaceTerms surface_terms(const DepositionSurface& s);

// The aerodynamic terms of one category: roughness length used, ln(z / z0)
// and the aerodynamic resistance.
struct AerodynamicTerms {
    float z0 = 0.0f;
    float log_z = 0.0f;
    float ra = 0.0f;
};
// z0 is the category's roughness length; water-like categories take
// water_z0 instead.
AerodynamicTerms aerodynamic_terms(const DepositionSurface& s, const SurfaceTerms& st, int32_t land_use, float z0);

// Diffusion and boundary-layer transfer of one gas or particle.
struct TransferTerms {
    float diffusivity = -99.0f;
    float sc = 0.0f;        // Schmidt number
    float sc_rb = 0.0f;     // sc to the power -0.67, of the boundary-layer resistance
    float sc_water = 0.0f;  // sc to the power -0.5, of the transfer over water (particles over water only)
    float st = 0.0f;        // Stokes number (-99 for a gas)
    float e = 0.0f;         // impaction term
    float rb = -99.0f;      // boundary-layer resistance, s/m
};
// A gas: all of its terms.
TransferTerms gas_transfer(const DepositionSurface& s, const SurfaceTerms& st, const Pollutant& pol);
// The two particle pieces are defined here: the deposition step fills its
// tables with them in loops, and a call returning the terms through memory
// costs more there than the terms themselves.
// A particle of diameter d (m, above 0): its diffusion terms, with sc_water
// when `over_water`; st, e and rb are left for particle_transfer.
inline TransferTerms particle_diffusion(const DepositionSurface& s, const SurfaceTerms& st, float d, bool over_water) {
    TransferTerms tr;
    const float lambda = 6.53e-8f * (1200.0f / s.air_density);
    const float slip = slip_correction(d, lambda);
    tr.diffusivity = 1.3804e-20f * s.temperature * slip / (0.1685238f * d);
    tr.sc = st.nu / tr.diffusivity;
    tr.sc_rb = std::pow(tr.sc, -0.67f);
    if (over_water) tr.sc_water = std::pow(tr.sc, -0.5f);
    return tr;
}

// The particle's diffusion terms completed for its settling velocity (m/s).
inline TransferTerms particle_transfer(const DepositionSurface& s, const SurfaceTerms& st, TransferTerms diffusion,
                                       float settling) {
    TransferTerms& tr = diffusion;
    const float ustar = s.ustar;
    tr.st = settling * ustar * ustar / (9.801f * st.nu);
    tr.e = power_of_ten(-3.0f / tr.st);
    tr.rb = 2.0f / (0.4f * ustar * (tr.sc_rb + tr.e));
    return tr;
}

// The velocity and its terms from the pieces of the call: the transfer
// terms of a particle when t.diameter is above 0, else of a gas.
DryDepositionTerms assemble_dry_deposition_terms(const DepositionSurface& s, const SurfaceTerms& st,
                                                 const AerodynamicTerms& a, const TransferTerms& tr,
                                                 const Pollutant& pol, const DepositionTarget& t,
                                                 WaterZeroCounts& zeros, TextOut& console);

// The velocity alone: the vd of assemble_dry_deposition_terms, with the same
// console lines.
float assemble_dry_deposition_velocity(const DepositionSurface& s, const SurfaceTerms& st, const AerodynamicTerms& a,
                                       const TransferTerms& tr, const Pollutant& pol, const DepositionTarget& t,
                                       WaterZeroCounts& zeros, TextOut& console);

// The velocity and its terms, without diagnostics. The pollutant's GPMOL,
// HENRY, ACVTY and DIFTY are used. A friction velocity of 0 or less gives
// max(settling velocity, 0); over water a transfer velocity of 0 (kc or kd)
// gives 0, the limit of the formula. The five zero tests of the water
// formula are counted in `zeros` ("ubar = 0" ... on the console the first
// time each holds).
DryDepositionTerms dry_deposition_terms(const DepositionSurface& s, const Pollutant& pol, const DepositionTarget& t,
                                        WaterZeroCounts& zeros, TextOut& console);

// The velocity (m/s) as the deposition step calls it: with `dump` set the
// diagnostic record goes to channel 25; then, on every call, the routine's
// own draw for channel 29, which writes the record there when it fires.
float compute_dry_deposition_velocity(bool dump, const DepositionSurface& s, const Pollutant& pol,
                                      const DepositionTarget& t, DiagnosticChannels& ch, WaterZeroCounts& zeros,
                                      TextOut& console);
// The same for terms already computed: the records and the draw.
float report_dry_deposition_velocity(bool dump, const DepositionSurface& s, const Pollutant& pol,
                                     const DepositionTarget& t, const DryDepositionTerms& r, DiagnosticChannels& ch);
// The routine's draw for channel 29 alone: whether it writes the record.
// The draw writes nothing, so a caller may draw before it computes the
// velocity and build the terms only for a record.
bool draw_velocity_record(DiagnosticChannels& ch);
// The records of one call: to channel 25 with `dump`, then to channel 29
// with `record`.
void write_velocity_records(bool dump, bool record, const DepositionSurface& s, const Pollutant& pol,
                            const DepositionTarget& t, const DryDepositionTerms& r, DiagnosticChannels& ch);

}  // namespace orv
