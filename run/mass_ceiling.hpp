#pragma once
// The largest mass and emission rate a run takes. A puff's mass enters sums
// weighted by its spread and age (the merge of a 24-hour run overflowed
// single precision at a release of 1e35 in one hour), and the masses of many
// sources and hours add up in the totals; a value of at most 1e20 leaves
// those sums about ten orders of magnitude below the overflow.

#include <cstdint>
#include <string>

namespace orv {

inline constexpr float kMassCeiling = 1.0e20f;

// Why an emission rate (mass per hour, or an emitted mass) cannot be taken:
// it is not a finite number, its magnitude is above kMassCeiling, or it is
// negative while ICHEM is not 3 (only the dust emission of ICHEM 3 gives a
// negative rate a meaning: it marks a dust-source particle). Empty when the
// rate can be taken.
std::string emission_rate_refusal(float rate, int32_t ICHEM);

// Why a particle's mass cannot be taken: not a finite number, or a magnitude
// above kMassCeiling. Empty when it can.
std::string particle_mass_refusal(float mass);

}  // namespace orv
