#pragma once
// The partition of the divalent mercury of a puff between the gas and the
// droplets: sulfite and chloride from the puff's chemistry, the equilibrium
// solved on the true total and, when that does not converge, on totals scaled
// up by powers of 1000; the best try when none converges; and the rescaling of
// the chosen solution to exactly the given total.

#include <cstdint>

#include "mercury/aqueous_equilibrium.hpp"
#include "mercury/diagnostic_channels.hpp"

namespace orv {

// What findroot is given (all 64-bit).
struct FindrootInput {
    double ph = 0.0;
    double temperature = 0.0;  // K
    double so2 = 0.0;          // ppb
    double hg2tot = 0.0;       // Hg(II) total, ppb
    double yy_cltot = 0.0;     // chloride in the cloud water, mg/L
    double liquid = 0.0;       // liquid water, g per m3 of air
    double soot = 0.0;
};

// What findroot returns: the unknowns of the equilibrium (see
// aqueous_equilibrium.hpp for their order and units), rescaled to the total.
struct FindrootResult {
    double hg2err = 0.0;       // relative mass-balance error of the chosen try
    int32_t converged = 0;     // 1 when a try converged
    int32_t chosen_try = 0;    // 1 the true total, 2 to 7 a scaled total
    int32_t total_trials = 0;  // Newton trials over all tries
    EquilibriumVector x{};
};

// The summary of one solution.
struct TrySummary {
    double hg2err = 0.0;
    double sumxerr = 0.0;
    double sumferr = 0.0;
    double sumfrac = 0.0;
    bool converge = false;
};
// A solution that used all 10 trials counts as not converged.
TrySummary error4(int32_t ntrials, const EquilibriumVector& fvec, const EquilibriumVector& fracerr);

// Solves the partition. caller selects the diagnostic channels (1 the
// chemistry step's, 2 the other set). A non-convergence is reported on the
// console and on channel 0's file and the best try is used. Without liquid
// water nothing is solved: all Hg(II) is returned in the gas phase.
void findroot(int32_t caller, const FindrootInput& in, FindrootResult& out, EquilibriumWorkspace& ws,
              DiagnosticChannels& ch, TextOut& console);

}  // namespace orv
