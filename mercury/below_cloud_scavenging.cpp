#include "mercury/below_cloud_scavenging.hpp"

#include <array>
#include <cmath>

namespace orv {

namespace {

// The two fits, coefficients of the powers 0 to 6 of ln(d in micrometres).
constexpr std::array<float, 7> kPa = {-6.715f, 0.98863f, 0.95171f, 0.094123f, -0.042099f, -0.011257f, -0.00076556f};
constexpr std::array<float, 7> kPb = {-11.47f, 1.5416f, 1.5637f, 0.18999f, -0.085251f, -0.024575f, -0.0017429f};

}  // namespace

BelowCloudFit below_cloud_fit(float diameter) {
    const float x = std::log(diameter * 1e6f);
    float a = 0.0f;
    float b = 0.0f;
    for (size_t i = 0; i < kPa.size(); ++i) {
        const float xi = std::pow(x, static_cast<float>(i));
        a += kPa[i] * xi;
        b += kPb[i] * xi;
    }
    return {std::exp(a), std::exp(b)};
}

float below_cloud_coefficient(float rain_rate, const BelowCloudFit& fit) {
    const float r = rain_rate;
    return std::sqrt(fit.a * r * fit.b * r);
}

float compute_below_cloud_scavenging(float rain, float diameter, DiagnosticChannels& ch) {
    if (diameter == 0.0f) {
        dump_line(ch.dump_file(0), "ERR: tried to do below-cloud particle scavenging for a gas!");
        return 0.0f;
    }
    return below_cloud_coefficient(below_cloud_rain_rate(rain), below_cloud_fit(diameter));
}

}  // namespace orv
