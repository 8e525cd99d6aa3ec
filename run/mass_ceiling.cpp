#include "run/mass_ceiling.hpp"

#include <cmath>

#include "common/number_text.hpp"

namespace orv {

namespace {

constexpr int32_t kDustEmission = 3;  // ICHEM of the dust-source particles

}  // namespace

std::string particle_mass_refusal(float mass) {
    if (!std::isfinite(mass)) return "is not a finite number";
    if (std::fabs(mass) > kParticleMassCeiling) return "is above the largest mass the run takes (1e25)";
    return {};
}

std::string released_mass_refusal(double per_hour, float hours) {
    // Both factors are single-precision readings of decimal values, each up
    // to 6e-8 above it: a product at the ceiling in decimal (1e20 times 1e5)
    // is not above it.
    constexpr double kReadings = 1.0 + 2.5e-7;
    if (std::fabs(per_hour) * std::fabs(double{hours}) <= double{kParticleMassCeiling} * kReadings) return {};
    return "times its hours of emission " + number_text(std::fabs(hours)) +
           " is above the largest mass the run takes (1e25)";
}

std::string source_area_refusal(float area) {
    if (area <= kMaxSourceArea) return {};
    return "is above the Earth's surface (5.1e14 m2)";
}

std::string emission_rate_refusal(float rate, int32_t ICHEM) {
    if (!std::isfinite(rate)) return "is not a finite number";
    if (std::fabs(rate) > kMassCeiling) return "is above the largest rate the run takes (1e20)";
    if (rate < 0.0f && ICHEM != kDustEmission)
        return "is negative (a negative rate marks a dust source, with ICHEM 3 only)";
    return {};
}

}  // namespace orv
