#pragma once
// The size distribution of the background aerosol on which particulate
// mercury sits: per distribution and size range a particle diameter, a mass
// fraction, the surface area implied by the aerosol mass concentration and
// its share of the total surface. Built once at set-up; the wet diameters and
// wet volume fractions are rewritten by every liquid water estimate. All
// values are 32-bit.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "run/settings.hpp"

namespace orv {

// A table indexed (n, m) with n = 1..ndist the distribution and m from a
// lower bound (0 or 1) to nrange the size range, stored with n varying
// fastest.
class DistributionArray {
public:
    void allocate(int32_t ndist, int32_t m_low, int32_t m_high) {
        ndist_ = ndist > 0 ? ndist : 0;
        m_low_ = m_low;
        const int32_t ranges = m_high >= m_low ? m_high - m_low + 1 : 0;
        values_.assign(static_cast<size_t>(ndist_) * static_cast<size_t>(ranges), 0.0f);
    }
    float& operator()(int32_t n, int32_t m) { return values_[index(n, m)]; }
    float operator()(int32_t n, int32_t m) const { return values_[index(n, m)]; }
    std::span<const float> values() const { return values_; }
    void fill(float v) { values_.assign(values_.size(), v); }

private:
    size_t index(int32_t n, int32_t m) const {
        return static_cast<size_t>(n - 1) + static_cast<size_t>(m - m_low_) * static_cast<size_t>(ndist_);
    }
    std::vector<float> values_;
    int32_t ndist_ = 0;
    int32_t m_low_ = 0;
};

struct SizeDistribution {
    int32_t ndist = 0;
    int32_t nrange = 0;
    DistributionArray pd;           // (n, 0:nrange) particle diameter (m); pd(n, 0) = 0
    DistributionArray pd_dry;       // (n, 0:nrange) dry diameter of the humidity growth
    DistributionArray pd_wet;       // (n, 0:nrange) diameter after humidity growth
    DistributionArray surf;         // (n, 1:nrange) surface area concentration (m2/m3)
    DistributionArray surfrac;      // (n, 1:nrange) share of the distribution's surface
    DistributionArray volfrac;      // (n, 1:nrange) volume fraction
    DistributionArray volfrac_wet;  // (n, 1:nrange) wet volume fraction
    DistributionArray mfrac;        // (n, 1:nrange) mass fraction
    std::vector<float> totsurf;     // [n - 1] total surface area concentration (m2/m3)
    std::vector<float> pconc;       // [n - 1] aerosol mass concentration (g/m3)
    std::vector<float> wet_volume;  // work table of the humidity growth, one per size range

    // Sizes every table (all zero).
    void allocate(int32_t ndist_in, int32_t nrange_in);
};

// The built-in distribution: 14 size ranges, diameters in micrometres.
inline constexpr int32_t kBuiltInRanges = 14;
extern const float kBuiltInDiameters[kBuiltInRanges];
extern const float kBuiltInMassFractions[kBuiltInRanges];

// Builds the size distribution from hg.ndist, hg.nrange, hg.pden (g/cm3) and
// hg.pcon (g/m3) and writes the table to "SIZEDIST.OUT". Only the built-in
// distribution is defined: other counts, or a density or concentration that
// is not positive, stop the run with a message.
void psetup(const Hgsim& hg, SizeDistribution& sd, TextOut& console);

// Writes the table of the current arrays to "SIZEDIST2.OUT".
void write_size_distribution_table(const Hgsim& hg, const SizeDistribution& sd, TextOut& console);

// The table itself, for any file name: distributions 1..ndist, size ranges
// 1..nrange (by default all of them).
void write_size_distribution_report(const std::string& path, const SizeDistribution& sd, TextOut& console);
void write_size_distribution_report(const std::string& path, const SizeDistribution& sd, int32_t ndist,
                                    int32_t nrange, TextOut& console);

}  // namespace orv
