#pragma once
// Scavenging of particles by rain falling below a cloud: the geometric mean
// of two fitted curves of the logarithm of the diameter, each proportional to
// the rain rate.

#include "mercury/diagnostic_channels.hpp"

namespace orv {

// The scavenging coefficient of particles of diameter `diameter` (m) under
// the rain rate `rain` (the precipitation at the puff, m per minute, taken
// times 1000 / 60). A gas (diameter 0) gives 0 and a line on channel 0's
// file.
float compute_below_cloud_scavenging(float rain, float diameter, DiagnosticChannels& ch);

}  // namespace orv
