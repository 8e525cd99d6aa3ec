#pragma once
// The aqueous Hg(II) equilibrium of one total of divalent mercury in air with
// cloud water: two gas-phase species and five dissolved species, solved by
// Newton steps on the six mass-action relations and the mass balance.
//
// The seven unknowns x[0..6] (numbered 1 to 7 in the dumps):
//   1 free Hg2+ in the droplets (mol/L)     2 HgCl2 in the gas (atm)
//   3 HgCl2 dissolved (mol/L)               4 Hg(OH)2 in the gas (atm)
//   5 Hg(OH)2 dissolved (mol/L)             6 HgSO3 dissolved (mol/L)
//   7 Hg(SO3)2 2- dissolved (mol/L)
//
// Everything is computed in 64 bits; the constants are the single-precision
// values of the model's tables.

#include <array>
#include <cstdint>
#include <span>

#include "common/text_output.hpp"
#include "mercury/diagnostic_channels.hpp"

namespace orv {

inline constexpr int32_t kEquilibriumUnknowns = 7;
using EquilibriumVector = std::array<double, kEquilibriumUnknowns>;

// Equilibrium constants, in the order of the solver's table:
// K1 dissolved/gas HgCl2, K2 dissolved/gas Hg(OH)2, K3 [Hg2+][Cl-]^2/HgCl2(aq),
// K4 [Hg2+][OH-]^2/Hg(OH)2(aq), K5 HgSO3/([Hg2+][SO3 2-]),
// K6 Hg(SO3)2 2-/(HgSO3 [SO3 2-]).
inline constexpr std::array<double, 6> kEquilibriumConstants = {
    double(1.4e6f), double(12000.0f), double(1e-14f), double(1e-22f), double(5e12f), double(2.5e11f)};
inline constexpr double kEquilibriumTolx = double(1e-23f);
inline constexpr double kEquilibriumTolfrac = double(1e-4f);
inline constexpr int32_t kEquilibriumMaxTrials = 10;
// The gas constant in l atm / (mol K), as the model holds it.
inline constexpr double kGasConstant = double(0.0820575f);

// The conditions of one equilibrium.
struct AqueousConditions {
    double ph = 0.0;
    double temperature = 0.0;  // K
    double hg2total = 0.0;     // Hg(II) total as a gas mixing ratio, ppb
    double zclm1 = 0.0;        // chloride, mol/L
    double zso3m2 = 0.0;       // sulfite, mol/L
    double liquid = 0.0;       // liquid water, g per m3 of air
    double soot = 0.0;         // carried along for the dumps
};

// The terms of the equations that follow from the conditions.
struct EquilibriumTerms {
    double g = 0.0;      // mol/m3 of air per atm: 1000 / (0.0820575 T)
    double w = 0.0;      // litres of water per m3 of air: liquid / 1000
    double oh = 0.0;     // [OH-] = 10^(pH - 14)
    double total = 0.0;  // C, the Hg(II) total in mol per m3 of air
};
EquilibriumTerms equilibrium_terms(const AqueousConditions& c);

// The work tables of the solver, sized once and held by the caller; every
// call rewrites them. The outputs of the last eqlbrm4 call are here too.
struct EquilibriumWorkspace {
    std::array<double, kEquilibriumUnknowns * kEquilibriumUnknowns> fjac{};  // by columns
    std::array<double, kEquilibriumUnknowns> vv{};
    std::array<int32_t, kEquilibriumUnknowns> indx{};
    EquilibriumVector p{};

    // Outputs of eqlbrm4: the unknowns, the last Newton step, the residuals
    // and the relative errors of the seven relations.
    EquilibriumVector x{}, dx{}, fvec{}, fracerr{};
    int32_t ntrials = 0;

    // Per-try tables of findroot: try 1 is the true total, tries 2 to 7 the
    // totals scaled by 1000 to the power 1 to 6.
    static constexpr int32_t kTries = 7;
    std::array<bool, kTries> converge{};
    std::array<double, kTries> hg2err{}, sumxerr{}, sumferr{}, sumfrac{}, toterr{};
    std::array<EquilibriumVector, kTries> xtry{};

    // Where a singular Jacobian is reported besides the console (the message
    // log); none when null.
    TextOut* message_log = nullptr;
};

// Residuals, Jacobian (by columns, fjac[i + 7 j] = df_i/dx_j) and relative
// errors of the seven relations at x. A relation whose relative error has a
// zero denominator gets 1.0. With no Hg(II) at all x is set to zero and so
// are the residuals and errors (the Jacobian is still filled).
void user_fun4(const AqueousConditions& c, const EquilibriumTerms& t, EquilibriumVector& x, EquilibriumVector& fvec,
               std::span<double> fjac, EquilibriumVector& fracerr);

// Up to `ntrial` Newton steps on ws.x; ws.dx holds the last step. A step that
// takes an unknown to zero or below puts it at 0 (the Hg(OH)2 gas pressure at
// half the total). Returns false when the Jacobian is singular: the message
// goes to the console and the message log and no step is made.
bool mnewt4(const AqueousConditions& c, const EquilibriumTerms& t, int32_t ntrial, EquilibriumWorkspace& ws,
            TextOut& console);

// Solves the equilibrium into ws.x (and ws.dx, ws.fvec, ws.fracerr,
// ws.ntrials), for at most 10 trials of one Newton step. nstart 0 starts with
// the whole total as dissolved HgCl2; otherwise ws.x is the start. A solution
// that is not reached in 10 trials is returned as it stands with ntrials 10
// (a singular Jacobian ends the solution so too). The caller judges it.
// The conditions must have positive liquid water; without any the solver
// gives the gas-phase partition (see gas_phase_partition) in no trials.
void eqlbrm4(int32_t caller, int32_t nstart, const AqueousConditions& c, EquilibriumWorkspace& ws,
             DiagnosticChannels& ch, TextOut& console);

// Without liquid water all Hg(II) stays in the gas: the total, as a partial
// pressure, split between HgCl2 and Hg(OH)2 in the ratio that the equilibrium
// tends to as the water goes to zero; the dissolved species are 0.
void gas_phase_partition(const AqueousConditions& c, EquilibriumVector& x);

}  // namespace orv
