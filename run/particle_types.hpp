#pragma once
// Particle and puff types: the type codes held in `particle_hdwp` (a new
// release takes the code INITD), their distribution modes, and the shape of a
// top-hat puff.

#include <cstdint>

namespace orv {

// Type codes. A code below 100 is its own distribution mode; the converting
// codes from 100 on move as the mode of their tens digit until the conversion
// age, then take the code they convert to.
inline constexpr int32_t kParticle = 0;                // three-dimensional particle
inline constexpr int32_t kGaussianPuff = 1;            // Gaussian puff, horizontal and vertical
inline constexpr int32_t kTopHatPuff = 2;              // top-hat puff, horizontal and vertical
inline constexpr int32_t kGaussianHorizontalPuff = 3;  // Gaussian horizontal puff, vertical particle
inline constexpr int32_t kTopHatHorizontalPuff = 4;    // top-hat horizontal puff, vertical particle
inline constexpr int32_t kSurfaceParticle = 5;         // two-dimensional particle (water surface transport)
inline constexpr int32_t kSampler = 6;                 // lagrangian sampler, no mass
inline constexpr int32_t kParticleToGaussianPuff = 103;  // particle that becomes type 3
inline constexpr int32_t kParticleToTopHatPuff = 104;    // particle that becomes type 4
inline constexpr int32_t kGaussianPuffToParticle = 130;  // type-3 puff that becomes a particle
inline constexpr int32_t kTopHatPuffToParticle = 140;    // type-4 puff that becomes a particle

// The distribution mode of a type code: the code below 100, else its tens digit.
inline int32_t distribution_mode(int32_t code) { return code < 100 ? code : (code / 10) % 10; }

// Modes 1 and 2: puffs in the vertical as well as the horizontal.
inline bool is_vertical_puff(int32_t mode) { return mode == kGaussianPuff || mode == kTopHatPuff; }

// Modes 3 and 4: puffs in the horizontal only, with a vertical particle position.
inline bool is_horizontal_puff(int32_t mode) {
    return mode == kGaussianHorizontalPuff || mode == kTopHatHorizontalPuff;
}

// The half-width of a top-hat (uniform) puff in sigmas: a top-hat puff reaches
// kTopHat sigma_h across and kTopHat sigma_z up and down, and a source area A
// becomes a puff of sigma_h = sqrt(A / pi) / kTopHat.
inline constexpr float kTopHat = 1.54f;

}  // namespace orv
