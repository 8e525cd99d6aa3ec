#pragma once
// An index of items (receptors, ceps) by one-degree latitude band, so that
// the footprint tests look only at the items near a puff.
//
// Each item covers a latitude interval (and, for a quick test by the caller,
// a longitude interval) and is listed in every band the latitudes touch. A
// query over an interval visits every item whose bands meet the query's
// bands, each exactly once, with the item's intervals beside its number so
// that most items can be passed over without looking them up.

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

    // One item as listed in a band.
    struct Member {
        int32_t item;        // 0-based
        int32_t first_band;  // the item's first band
        float south, north;  // its latitudes
        float west, east;    // its longitudes
    };

    // Item i covers the latitudes south[i]..north[i] and the longitudes
    // west[i]..east[i]; it is listed in the bands between the smaller and
    // the larger of its two latitudes.
    void build(std::span<const float> south, std::span<const float> north, std::span<const float> west,
               std::span<const float> east);

    // Calls f(member) once for every item whose latitudes' bands meet the
    // bands of lo..hi (lo <= hi, neither NaN).
    template <typename F>
    void for_each_near(float lo, float hi, F&& f) const {
        if (members_.empty()) return;
        const int32_t b_lo = band_of(lo), b_hi = band_of(hi);
        for (int32_t b = b_lo; b <= b_hi; ++b) {
            const Member* it = members_.data() + start_[static_cast<size_t>(b)];
            const Member* end = members_.data() + start_[static_cast<size_t>(b) + 1];
            for (; it != end; ++it) {
                // Visit an item only in the first band it shares with the query.
                if (b == (it->first_band > b_lo ? it->first_band : b_lo)) f(*it);
            }
        }
    }

private:
    std::vector<int32_t> start_;   // kBandCount + 1 offsets into members_
    std::vector<Member> members_;  // by band, items ascending in each band
};

}  // namespace orv
