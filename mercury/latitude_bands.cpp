#include "mercury/latitude_bands.hpp"

#include <algorithm>

namespace orv {

void LatitudeBands::build(std::span<const float> south, std::span<const float> north, std::span<const float> west,
                          std::span<const float> east) {
    const size_t n = std::min({south.size(), north.size(), west.size(), east.size()});
    std::vector<int32_t> first(n, 0), last(n, 0);
    std::vector<int32_t> count(static_cast<size_t>(kBandCount), 0);
    for (size_t i = 0; i < n; ++i) {
        first[i] = band_of(std::min(south[i], north[i]));
        last[i] = std::max(first[i], band_of(std::max(south[i], north[i])));
        for (int32_t b = first[i]; b <= last[i]; ++b) ++count[static_cast<size_t>(b)];
    }
    start_.assign(static_cast<size_t>(kBandCount) + 1, 0);
    for (size_t b = 0; b < count.size(); ++b) start_[b + 1] = start_[b] + count[b];
    members_.assign(static_cast<size_t>(start_.back()), Member{});
    std::vector<int32_t> fill(start_.begin(), start_.end() - 1);
    for (size_t i = 0; i < n; ++i)
        for (int32_t b = first[i]; b <= last[i]; ++b)
            members_[static_cast<size_t>(fill[static_cast<size_t>(b)]++)] =
                Member{static_cast<int32_t>(i), first[i], south[i], north[i], west[i], east[i]};
}

}  // namespace orv
