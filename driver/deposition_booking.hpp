#pragma once
// The land use under a puff, from the receptor areas it touches and the land
// use of the meteorological data, and the booking of the puff's deposited
// mass to the deposition paths, the receptors and the ceps.

#include <cstdint>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "driver/receptor_outputs.hpp"
#include "mercury/mercury_arrays.hpp"

namespace orv {

// What the land-use mix leaves for the booking.
struct LandUseMix {
    int32_t met_category = 0;          // land use of the meteorological data at the puff
    float receptor_weight_sum = 0.0f;  // sum of the receptor weights before normalising
};

// Refuses a land-use category of the meteorological data outside 1..nland:
// the message names the category and the position, and the run stops (900).
void check_met_land_use(int32_t category, int32_t nland, float lat, float lon, Messages msg);

// The land-use mix under the puff, from the receptor weights `m.pfrac` that
// the receptor test filled: `land_use` becomes the category of the last
// receptor holding more than half the puff; weights summing above 1 are
// normalised; `m.fracland` gets each receptor's share on its category and
// the rest on the data's category. `land_use` must lie in 1..m.nland.
LandUseMix mix_land_use(MercuryArrays& m, const ReceptorCategories& categories, int32_t& land_use);

// One puff's deposition as the booking sees it.
struct PuffDeposition {
    int32_t land_use = 0;              // the puff's category after the receptor override
    float receptor_weight_sum = 0.0f;  // from the land-use mix
    bool any_cep_touched = false;      // some cep weight is above 0
    float sigma_h = 0.0f;              // horizontal spread, m
};

// Adds the mass the deposition step put in `m.zdep` to the path totals, to
// every touched receptor (dry paths shared by the receptors' deposition
// velocities, the others by their weights) and, per unit of the puff's area,
// to every touched cep; leaves the weighted velocities in `zfrvdptot`.
void book_deposition(const MercuryArrays& m, const ReceptorCategories& categories, const PuffDeposition& puff,
                     ReceptorOutputs& out);

}  // namespace orv
