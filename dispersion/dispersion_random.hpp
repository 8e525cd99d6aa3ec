#pragma once
// The random numbers of the turbulent random walk: a multiplicative
// congruential generator (modulus 2^31 - 1, multiplier 16807) with a 32-entry
// shuffle table, a polar-method normal generator on top of it, and the scaled
// normal deviate the random walk draws. Nothing else draws from it; it starts
// from the same seed every run, so a run is repeatable.

#include <array>
#include <cstdint>

namespace orv {

struct DispersionGenerator {
    // The seed word: 0 at start-up, advanced by every uniform draw. A caller
    // that sets it to a negative value restarts the generator from its
    // absolute value at the next draw.
    int32_t dispersion_seed = 0;
    // Shuffle state.
    std::array<int32_t, 32> table{};
    int32_t iy = 0;
    // The second deviate of the last normal pair, when one is stored.
    bool has_stored = false;
    float stored = 0.0f;
};

// A uniform deviate in (0, 0.9999999].
float draw_uniform_random(DispersionGenerator& g);

// A standard normal deviate (two per pair of accepted uniform draws).
float draw_gaussian_random(DispersionGenerator& g);

// result = sigma times one standard normal deviate.
inline void draw_gaussian_displacement(float sigma, float& result, DispersionGenerator& g) {
    result = sigma * draw_gaussian_random(g);
}

}  // namespace orv
