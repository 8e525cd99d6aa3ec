#pragma once
// The mass totals diagnostic: one line of mass sums over all entries, so that
// the effect of each particle-management step on the total can be followed.

#include <cstdint>

#include "run/particle_arrays.hpp"
#include "mercury/diagnostic_channels.hpp"

namespace orv {

inline constexpr int32_t kMassTotalsChannel = 9;

// Writes (I5, I12, I8, 999ES16.7): the checkpoint, the model time, the number
// of entries with a positive total, the total of each mass slot and the
// grand total, on diagnostic channel 9 (opened as "fort.2009" when nothing
// has opened it). The driver calls it only when the channel is enabled.
void PUFF_OUT(int32_t checkpoint, int32_t model_time, ParticleArrays& p, DiagnosticChannels& channels,
              TextOut& console);

}  // namespace orv
