#pragma once
// The mercury side of the set-up: the receptor and cep definitions with their
// summaries and polygon files, the mercury arrays with their console lines,
// the particle size distribution, the work space of the chemistry and
// deposition steps, the receptor sums, and the first load of the global
// oxidant fields.

#include "driver/run_context.hpp"

namespace orv {

// The selection tables (receptor category 13, cep category 14), the receptor
// and cep files read and summarised, the counts copied into `hgsim`.
void read_receptors_and_ceps(RunContext& ctx);

// The mercury arrays in their order, each failure stopping the run with its
// label; pfrac preset to -99.99 and genrough to the roughness of land-use
// categories 1-20.
void allocate_mercury_arrays(RunContext& ctx);

// The roughness length (m) of land-use categories 1 to 20.
float generic_roughness(int32_t category);

// The size distribution with its two reports, then the chemistry and
// deposition work space sized for the run.
void set_up_size_distribution(RunContext& ctx);

// recpmass and cepflux, then every receptor sum set to 0.
void allocate_receptor_sums(RunContext& ctx);

// The oxidant grid's axes and the fields of the month of the model time.
void load_global_oxidants(RunContext& ctx);

}  // namespace orv
