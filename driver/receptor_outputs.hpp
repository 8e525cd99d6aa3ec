#pragma once
// The receptor sums that the particle loop books each puff's deposition to
// and the hour end writes to "recpmass.out" and "cepflux.out": per pollutant
// slot, deposition path and receptor (or cep), with the puff's path totals
// and the shares of the deposition velocity per gas and particle species.

#include <cstdint>

#include "mercury/indexed_array.hpp"

namespace orv {

struct ReceptorOutputs {
    IndexedArray<float> recpmass;       // (MAXDIM, NPATH, receptors)
    IndexedArray<float> cepflux;        // (MAXDIM, NPATH, ceps)
    IndexedArray<float> pathtot_puff;   // (MAXDIM, NPATH) the puff's total per path
    IndexedArray<float> zfrvdptot_gas;  // (MAXDIM)
    IndexedArray<float> zfrvdptot_prt;  // (MAXDIM)
};

}  // namespace orv
