#pragma once
// Whole numbers from reals that may come from user input and so be huge,
// infinite or NaN: clamped to +-2e9 before the conversion, NaN gives 0.

#include <cmath>
#include <cstdint>

namespace orv {

inline constexpr float kClampedIntLimit = 2.0e9f;

// The whole part (truncated toward zero).
inline int32_t truncate_clamped(float v) {
    if (!(std::fabs(v) < kClampedIntLimit)) return v > 0.0f ? 2000000000 : (v < 0.0f ? -2000000000 : 0);
    return static_cast<int32_t>(v);
}

// The nearest whole number, halves away from zero.
inline int32_t nearest_clamped(float v) {
    if (!(std::fabs(v) < kClampedIntLimit)) return v > 0.0f ? 2000000000 : (v < 0.0f ? -2000000000 : 0);
    return static_cast<int32_t>(std::lround(v));
}

// A 64-bit count or minute brought into the 32-bit range.
inline int32_t clamp_to_int32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

}  // namespace orv
