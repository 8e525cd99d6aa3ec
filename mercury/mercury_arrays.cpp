#include "mercury/mercury_arrays.hpp"

namespace orv {

bool MercuryArrays::allocate(int32_t maxdim_in, int32_t npath_in, int32_t nland_in, int32_t receptor_count,
                             int32_t cep_count, int32_t pollutant_entries) {
    maxdim = maxdim_in;
    npath = npath_in;
    nland = nland_in;
    puff_descent = 0.0f;
    const IndexRange species{1, maxdim};
    const IndexRange paths{0, npath};
    const IndexRange land{1, nland};
    return depelm_mass.allocate(species) && zdep.allocate(species, paths) &&
           zcepdep.allocate(species, paths, land) && zvdgas.allocate(species, land) &&
           zvdprt.allocate(species, land) && avgvg_spec.allocate(species) && fracland.allocate(land) &&
           genrough.allocate(land) && pfrac.allocate({1, receptor_count}) && cepres.allocate({1, cep_count}) &&
           step_deposit.allocate({1, pollutant_entries});
}

}  // namespace orv
