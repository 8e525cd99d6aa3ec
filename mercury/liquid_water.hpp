#pragma once
// The liquid water content of the air around a puff, from the relative
// humidity by one of six methods, or the water held by the humidity-grown
// aerosol.

#include <cstdint>

#include "run/settings.hpp"
#include "mercury/diagnostic_channels.hpp"
#include "mercury/size_distribution.hpp"

namespace orv {

// Estimates the liquid water (g/m3) into `liquid`.
//   caller         1 or 2: the diagnostic channel set (14 or 114, growth 11 or 111)
//   hg             nrange, method_lwc (1 to 6), pden and pcon are used
//   n              the distribution of the size distribution arrays
//   source_mode    2 or 3: the result is the aerosol water whatever the method;
//                  other values use hg.method_lwc
//   rh             relative humidity (fraction); outside 0..1.01 it is reported
//                  on the console and channel 0's file; above 1 it is taken as 1
//   aerosol_water  method 6 takes the aerosol water when true, else method 5
// Every call first resets the wet diameters and wet volume fractions of
// distribution n to the dry ones, then grows the aerosol at humidities of 0.8
// and more. A method outside 1 to 6 leaves `liquid` as the caller set it.
void lwc_estm(int32_t caller, const Hgsim& hg, int32_t n, int32_t source_mode, float rh, bool aerosol_water,
              float& liquid, SizeDistribution& sd, DiagnosticChannels& ch, TextOut& console);

}  // namespace orv
