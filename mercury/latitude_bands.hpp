#pragma once
// An index of items (receptors, ceps) by one-degree latitude band, so that
// the footprint tests look only at the items near a puff.
//
// Each item covers a latitude interval and is listed in every band the
// interval touches. A query over an interval visits every item whose bands
// meet the query's bands, each exactly once.

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace orv {

class LatitudeBands {
public:
    static constexpr int32_t kBandCount = 180;  // one degree each, 90 S to 90 N

    // The band of a latitude; latitudes beyond the poles fall into the end
    // bands. Monotone: a <= b gives band_of(a) <= band_of(b). Not for NaN.
    static int32_t band_of(float lat) {
        float x = lat + 90.0f;
        if (!(x >= 0.0f)) return 0;
        if (x >= static_cast<float>(kBandCount - 1)) return kBandCount - 1;
        return static_cast<int32_t>(x);
    }

    // Item i (0-based) covers the latitudes lo[i]..hi[i] (lo <= hi).
    void build(std::span<const float> lo, std::span<const float> hi);

    bool empty() const { return first_band_.empty(); }

    // Calls f(i) once for every item whose interval's bands meet the bands
    // of lo..hi (lo <= hi, neither NaN).
    template <typename F>
    void for_each_near(float lo, float hi, F&& f) const {
        if (first_band_.empty()) return;
        const int32_t b_lo = band_of(lo), b_hi = band_of(hi);
        for (int32_t b = b_lo; b <= b_hi; ++b) {
            const int32_t* it = members_.data() + start_[static_cast<size_t>(b)];
            const int32_t* end = members_.data() + start_[static_cast<size_t>(b) + 1];
            for (; it != end; ++it) {
                const int32_t i = *it;
                // Visit an item only in the first band it shares with the query.
                const int32_t fb = first_band_[static_cast<size_t>(i)];
                if (b == (fb > b_lo ? fb : b_lo)) f(i);
            }
        }
    }

private:
    std::vector<int32_t> start_;       // kBandCount + 1 offsets into members_
    std::vector<int32_t> members_;     // item numbers by band, ascending in each band
    std::vector<int32_t> first_band_;  // per item
};

}  // namespace orv
