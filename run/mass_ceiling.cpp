#include "run/mass_ceiling.hpp"

#include <cmath>

namespace orv {

namespace {

constexpr int32_t kDustEmission = 3;  // ICHEM of the dust-source particles

}  // namespace

std::string particle_mass_refusal(float mass) {
    if (!std::isfinite(mass)) return "is not a finite number";
    if (std::fabs(mass) > kParticleMassCeiling) return "is above the largest mass the run takes (1e25)";
    return {};
}

std::string emission_rate_refusal(float rate, int32_t ICHEM) {
    if (!std::isfinite(rate)) return "is not a finite number";
    if (std::fabs(rate) > kMassCeiling) return "is above the largest rate the run takes (1e20)";
    if (rate < 0.0f && ICHEM != kDustEmission)
        return "is negative (a negative rate marks a dust source, with ICHEM 3 only)";
    return {};
}

}  // namespace orv
