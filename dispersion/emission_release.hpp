#pragma once
// Releases from the sources of the emission file, and the plume rise of their
// new particles and puffs.
//
// emstmp makes the step's releases of every source slot whose window is
// open, with the release height still in metres above ground in the vertical
// position and, for a source with heat release, that heat in the vertical
// spread and the window length in the age. The driver then finds the
// meteorology at each new release and places it (emission_release_height):
// at the stack height plus the plume rise of compute_plume_rise.

#include <cstdint>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "dispersion/emission_file.hpp"
#include "run/particle_arrays.hpp"
#include "run/settings.hpp"
#include "meteo/met_at_particle.hpp"

namespace orv {

// One step's releases at model_time from the source table's slots 1..nsrc
// and pollutants 1..numtyp (dt_minutes negative backward). The particle mass
// array must have 1 or numtyp slots: one family of particles per pollutant,
// or one family carrying every pollutant; any other count stops the run.
// Reads INITD and NUMPAR; the arrays give MAXPAR. Returns the limit flag: 1
// when the arrays filled up in this call (the rest of the call releases
// nothing), else 0.
int32_t emstmp(const SourcePollutantMatrix& m, int32_t nsrc, int32_t numtyp, const Settings& s, float dt_minutes,
               int32_t model_time, ParticleArrays& p, Messages msg);

// Plume rise (m) of a source with the given heat release, from the static
// stability (1/s2, positive when stable), the wind speed (m/s), the friction
// velocity (m/s) and the mixed-layer depth (m). A release window shorter than
// a day caps the rise at the mixed layer (0.75 of it in neutral or unstable
// air, twice it in stable air); a longer one at 3000 m.
float compute_plume_rise(int32_t window_minutes, float heat_release, float stability, float wind_speed,
                         float friction_velocity, float mixed_layer_depth);

// The same with the meteorology at the release: the static stability (second
// stability output), the 10 m wind speed, the friction velocity and the
// mixed-layer depth.
float compute_plume_rise(int32_t window_minutes, float heat_release, const MetAtParticle& met);

// Sums over one step's new releases for the plume-rise notice.
struct PlumeRiseSums {
    int32_t count = 0;
    double mixed_layer_depth = 0.0;
    double rise = 0.0;
};

// Places new release i (0-based) that emstmp left with its height in metres
// in particle_z. `met` is the meteorology at the release when it was found
// (met_found), and `z_probe` the internal vertical position the meteorology
// look-up left (used when it failed). The release goes to its height above
// ground plus, for a source with heat release, the plume rise; its vertical
// spread and age start at 0 in every case.
void emission_release_height(ParticleArrays& p, int32_t i, bool met_found, const MetAtParticle& met, float z_probe,
                             float model_top, PlumeRiseSums& sums);

// The internal vertical position at which the driver looks up the
// meteorology of new release i: its height over a ground at 0.
inline float emission_release_probe_z(const ParticleArrays& p, int32_t i, float model_top) {
    return 1.0f - p.particle_z[i] / model_top;
}

// The notice of the mean mixed-layer depth and plume rise of the step's
// releases; written on the first step of an hour when some release rose.
void write_plume_rise_notice(const PlumeRiseSums& sums, TextOut& log);

}  // namespace orv
