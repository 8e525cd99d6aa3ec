#pragma once
// The shapes of particles and puffs.

namespace orv {

// The half-width of a top-hat (uniform) puff in sigmas: a top-hat puff reaches
// kTopHat sigma_h across and kTopHat sigma_z up and down, and a source area A
// becomes a puff of sigma_h = sqrt(A / pi) / kTopHat.
inline constexpr float kTopHat = 1.54f;

}  // namespace orv
