#pragma once
// The largest emission rate and particle mass a run takes.
//
// A puff's mass enters sums weighted by its spread and age: mass times a
// horizontal spread of up to 2e7 m overflows single precision near 1.7e31
// (the merge of a 24-hour run overflowed at a release of 1e35 in one hour).
// An hourly rate of at most 1e20 leaves the sums of many sources and hours
// about ten orders of magnitude below the overflow. A run within that rate
// still merges its puffs into masses above it, so the mass of a particle read
// from a dump (or any initialisation file) is bounded by the overflow itself,
// with a margin of six orders of magnitude: a run's own dump always restarts.

#include <cstdint>
#include <string>

namespace orv {

inline constexpr float kMassCeiling = 1.0e20f;          // mass per hour of a release
inline constexpr float kParticleMassCeiling = 1.0e25f;  // mass of one particle or puff

// The largest area of a source: the Earth's surface. A larger disc has no
// place on the globe (its puffs start wider than the Earth and vanish).
inline constexpr float kMaxSourceArea = 5.1e14f;  // m2

// Why a source area (m2) cannot be taken: above kMaxSourceArea, or not a
// number. Empty when it can (0 or less is a point source).
std::string source_area_refusal(float area);

// Why an emission rate (mass per hour, or an emitted mass) cannot be taken:
// it is not a finite number, its magnitude is above kMassCeiling, or it is
// negative while ICHEM is not 3 (only the dust emission of ICHEM 3 gives a
// negative rate a meaning: it marks a dust-source particle). Empty when the
// rate can be taken.
std::string emission_rate_refusal(float rate, int32_t ICHEM);

// Why the mass a release emits over its hours cannot be taken: a mass per
// hour times the hours of emission (both by magnitude: a backward run keeps
// its hours negative) above kParticleMassCeiling, the largest a puff may hold
// (one release can put it all into a single puff). Empty when it can; else
// "times its hours of emission H is above the largest mass the run takes".
std::string released_mass_refusal(double per_hour, float hours);

// Why a particle's mass cannot be taken: not a finite number, or a magnitude
// above kParticleMassCeiling. Empty when it can.
std::string particle_mass_refusal(float mass);

}  // namespace orv
