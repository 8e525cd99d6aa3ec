#include "dispersion/dispersion_random.hpp"

#include <cmath>

namespace orv {

namespace {

constexpr int32_t kModulus = 2147483647;
constexpr int32_t kMultiplier = 16807;
constexpr int32_t kQuotient = 127773;  // kModulus / kMultiplier
constexpr int32_t kRemainder = 2836;   // kModulus % kMultiplier
constexpr int32_t kTableDivisor = 67108864;  // 2^26: 32 table entries
constexpr float kScale = 4.656613e-10f;      // 1 / kModulus
constexpr float kLargest = 0.9999999f;

// One step of the integer generator without overflow (Schrage's method).
void advance(int32_t& seed) {
    int32_t k = seed / kQuotient;
    seed = kMultiplier * (seed - k * kQuotient) - kRemainder * k;
    if (seed < 0) seed += kModulus;
}

}  // namespace

float draw_uniform_random(DispersionGenerator& g) {
    int32_t& seed = g.dispersion_seed;
    if (seed <= 0 || g.iy == 0) {
        // -INT32_MIN does not exist; it restarts from the largest seed.
        seed = seed == INT32_MIN ? INT32_MAX : -seed;
        if (seed < 1) seed = 1;
        for (int32_t j = 40; j >= 1; --j) {
            advance(seed);
            if (j <= 32) g.table[static_cast<size_t>(j - 1)] = seed;
        }
        g.iy = g.table[0];
    }
    advance(seed);
    int32_t j = g.iy / kTableDivisor;
    g.iy = g.table[static_cast<size_t>(j)];
    g.table[static_cast<size_t>(j)] = seed;
    float r = static_cast<float>(g.iy) * kScale;
    return r < kLargest ? r : kLargest;
}

float draw_gaussian_random(DispersionGenerator& g) {
    if (g.has_stored) {
        g.has_stored = false;
        return g.stored;
    }
    float p, q, r;
    do {
        p = 2.0f * draw_uniform_random(g) - 1.0f;
        q = 2.0f * draw_uniform_random(g) - 1.0f;
        r = p * p + q * q;
    } while (r >= 1.0f || r == 0.0f);
    float fac = std::sqrt(-2.0f * std::log(r) / r);
    g.stored = p * fac;
    g.has_stored = true;
    return q * fac;
}

}  // namespace orv
