#pragma once
// Pi and the degree-radian factors at the precisions the model computes with.
//
// Some routines use pi or a radian factor rounded to fewer places than others,
// and the outputs depend on those last bits. Each such value keeps its own
// name, given for where it is used; do not merge them, and write a new use
// with the name its formula calls for.

#include <numbers>

namespace orv {

// Pi in single precision (the float nearest pi): puff volumes and areas, the
// discs of area sources and emission cells.
inline constexpr float kPi = 3.1415927f;

// Pi to five places (3.14159), a different float from kPi: the area over which
// a cep's deposition is spread, and the surface of an aerosol particle.
inline constexpr float kCepPi = 3.14159f;
inline constexpr float kParticleSurfacePi = 3.14159f;

// Pi to six places (3.141593), a different float again: the square footprint
// of a puff over the ceps and receptors.
inline constexpr float kFootprintPi = 3.141593f;

// Two pi to six places (6.283185), a float below 2 kPi: the peak of a Gaussian
// puff's horizontal distribution.
inline constexpr float kTwoPi = 6.283185f;

// Degrees to radians and back in single precision.
inline constexpr float kDegToRadF = 0.017453292f;
inline constexpr float kRadToDegF = 57.295776f;

// The same factors in double precision, for the map projections.
inline constexpr double kDegToRad = 0.017453292;
inline constexpr double kRadToDeg = 57.295776;

// Radians to degrees as two routines round it, each a different float from
// kRadToDegF: the spacing of a concentration grid (for the time step) and the
// cell area of the gridded emission inventory.
inline constexpr float kRadToDegGridSpacing = 57.29583f;
inline constexpr float kRadToDegInventoryCell = 57.29578f;

static_assert(kPi == std::numbers::pi_v<float>);
static_assert(kCepPi != kPi && kFootprintPi != kPi && kFootprintPi != kCepPi && kTwoPi != 2.0f * kPi);
static_assert(kDegToRadF == 3.14159265f / 180.0f && 2.0f * kDegToRadF == 0.034906585f);
static_assert(kDegToRadF == static_cast<float>(kDegToRad) && kRadToDegF == static_cast<float>(kRadToDeg));
static_assert(kRadToDegGridSpacing != kRadToDegF && kRadToDegInventoryCell != kRadToDegF &&
              kRadToDegGridSpacing != kRadToDegInventoryCell);

}  // namespace orv
