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

// The same in two pieces: the two fitted curves at one diameter (above 0),
// and the coefficient from them for the rain rate taken times 1000 / 60.
struct BelowCloudFit {
    float a = 0.0f;  // the exponential of each fitted curve
    float b = 0.0f;
};
BelowCloudFit below_cloud_fit(float diameter);
inline float below_cloud_rain_rate(float rain) { return rain * 1000.0f / 60.0f; }
float below_cloud_coefficient(float rain_rate, const BelowCloudFit& fit);

}  // namespace orv
