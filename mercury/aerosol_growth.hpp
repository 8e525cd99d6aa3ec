#pragma once
// Growth of the background aerosol with humidity: an empirical fit of the wet
// radius to the dry radius between 80 and 99.5 percent relative humidity.

#include <cstdint>

#include "mercury/diagnostic_channels.hpp"
#include "mercury/size_distribution.hpp"

namespace orv {

// The ratio of wet to dry diameter of a particle of dry diameter `dry_diameter`
// (m) at relative humidity h (fraction); 1 at 0.8 and below. h above 0.995 is
// taken as 0.995.
float humidity_growth_factor(float h, float dry_diameter);

// Grows distribution n (size ranges 1..nrange) at relative humidity
// `humidity` (fraction): rewrites pd_wet and volfrac_wet of the distribution
// (pd_dry(n, 0) and pd_wet(n, 0) become 0) and returns in `liquid` the water
// held by the grown aerosol (g/m3, the wet volume at 1e6 g/m3). At 0.8 and
// below the aerosol stays dry and holds none. pden is the particle density
// (g/cm3), pcon the aerosol mass concentration (g/m3). When the flag of its
// channel (11, or 111 for caller 2) is set, the arrays are dumped.
void compute_aerosol_humidity_growth(int32_t caller, int32_t nrange, int32_t n, float humidity, float pden, float pcon,
                                     float& liquid, SizeDistribution& sd, DiagnosticChannels& ch);

}  // namespace orv
