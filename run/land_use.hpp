#pragma once
// Land-use categories: the numbers of the surface files' land-use field, of
// the receptor categories and of the columns of the deposition tables.

#include <cstdint>

namespace orv {

// The categories are numbered 1 to kLandCategories.
inline constexpr int32_t kLandCategories = 20;

// Categories 7 and 12 to 18: water-like surfaces, with a computed roughness
// and, for particles, the water formula of the dry deposition; their particle
// diameters are those of the saturated (0.95 humidity) water case.
inline bool water_like_category(int32_t category) { return category == 7 || (category >= 12 && category <= 18); }

// The night-time oxidant estimate's water test: 7 and 14 to 18. It leaves out
// 12 and 13 on purpose; do not replace it with water_like_category.
inline bool oxidant_water_category(int32_t category) { return category == 7 || (category >= 14 && category <= 18); }

}  // namespace orv
