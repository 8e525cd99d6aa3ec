#include "mercury/latitude_bands.hpp"

#include <algorithm>

namespace orv {

void LatitudeBands::build(std::span<const float> lo, std::span<const float> hi) {
    const size_t n = std::min(lo.size(), hi.size());
    first_band_.assign(n, 0);
    std::vector<int32_t> last_band(n, 0);
    std::vector<int32_t> count(static_cast<size_t>(kBandCount), 0);
    for (size_t i = 0; i < n; ++i) {
        first_band_[i] = band_of(lo[i]);
        last_band[i] = std::max(first_band_[i], band_of(hi[i]));
        for (int32_t b = first_band_[i]; b <= last_band[i]; ++b) ++count[static_cast<size_t>(b)];
    }
    start_.assign(static_cast<size_t>(kBandCount) + 1, 0);
    for (size_t b = 0; b < count.size(); ++b) start_[b + 1] = start_[b] + count[b];
    members_.assign(static_cast<size_t>(start_.back()), 0);
    std::vector<int32_t> fill(start_.begin(), start_.end() - 1);
    for (size_t i = 0; i < n; ++i)
        for (int32_t b = first_band_[i]; b <= last_band[i]; ++b)
            members_[static_cast<size_t>(fill[static_cast<size_t>(b)]++)] = static_cast<int32_t>(i);
}

}  // namespace orv
