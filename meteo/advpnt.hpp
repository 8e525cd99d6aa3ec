#pragma once
// The particle advance: one call moves a particle, puff or sampler over one
// time step. It chooses the grid and the two data times that bracket the
// model time, keeps the grid's window and the sub-grid arrays fitted, reads
// and remaps each data time that is not already held, applies the vertical
// motion option, advects the position by the particle's type, and evaluates
// the meteorology at the new position.
//
// To evaluate the meteorology at a point that must not move (a source being
// placed), pass a copy of its position.

#include <cstdint>
#include <span>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/control_file.hpp"
#include "run/pollutants.hpp"
#include "run/settings.hpp"
#include "meteo/met_at_particle.hpp"
#include "meteo/meteo_state.hpp"
#include "meteo/vertical_grid.hpp"

namespace orv {

// The particle as the advance sees it, updated in place.
struct ParticlePosition {
    float x = 0.0f;    // grid units on `grid`
    float y = 0.0f;
    float z = 1.0f;    // internal coordinate: 1 - height / model top (1 at the ground)
    int32_t grid = 0;  // meteorological grid; 0 on return when the particle ended
    int32_t type = 0;  // distribution type code: HDWP, or INITD for a new particle
};

// The run's records the advance reads; the driver builds this once.
struct AdvanceContext {
    const Settings& settings;              // TKERD, TKERN, KMIXD, KMIX0, VSCALE, TRATIO
    const RunControl& run;                 // run direction, vertical motion option, model top
    const DepositionSwitches& deposition;  // CDEP and RDEP
    const InternalVerticalGrid& grid;
    std::span<const float> sigma;          // internal coordinate of levels 1..nlvl
};

// The time step: the model time at its start (accumulated minutes) and its
// length in minutes, negative in a backward run.
struct AdvanceStep {
    int32_t model_time = 0;
    float time_step = 0.0f;
};

struct AdvanceResult {
    int32_t status = 0;         // 0 advanced; 1 ended (the particle's grid is set to 0)
    int32_t file = 0;           // file (time) index of data time 1 on the particle's grid, set once the
                                // grid is chosen (also when the advance then ends the particle); 0 when
                                // no grid holds the position
    float speed = 0.0f;         // max(|dx|, |dy|) / time step, grid units per minute
    int32_t forecast_hour = 0;  // at the evaluation time
};

// Advances the particle and fills `met_at_particle` (words 14 and 15 with the
// new latitude and longitude) and the rows of `profile` (one per internal
// level). Data times more than 720 minutes apart stop the run.
AdvanceResult advpnt(MeteoState& met, const AdvanceContext& ctx, const AdvanceStep& step, ParticlePosition& particle,
                     MetAtParticle& met_at_particle, std::span<ProfileRow> profile, Messages msg);

}  // namespace orv
