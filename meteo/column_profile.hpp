#pragma once
// One column of the sub-grid on the internal levels, as the vertical
// remapping produces it and the stability analysis and turbulence methods
// use it. Index 0 is the ground, 1..nlvl the internal levels.

#include <cstdint>
#include <vector>

namespace orv {

struct ColumnProfile {
    int32_t nlvl = 0;
    std::vector<float> p;      // pressure, hPa
    std::vector<float> u;      // wind, m/s
    std::vector<float> v;
    std::vector<float> w;      // vertical motion, internal coordinate per second
    std::vector<float> theta;  // potential temperature, K
    std::vector<float> z;      // height above ground, m; negative below the lowest data level
                               // when the data hold no surface temperature
    std::vector<float> rh;     // relative humidity, fraction
    std::vector<float> rho;    // air density, kg/m3
    std::vector<float> t;      // temperature, K
    std::vector<float> e1;     // turbulence: TKE or v-variance on input, horizontal variance on output
    std::vector<float> e2;     // u-variance on input, horizontal variance on output
    std::vector<float> e3;     // w-variance

    void resize(int32_t levels) {
        nlvl = levels;
        const size_t n = static_cast<size_t>(levels) + 1;
        for (auto* a : {&p, &u, &v, &w, &theta, &z, &rh, &rho, &t, &e1, &e2, &e3}) a->assign(n, 0.0f);
    }
};

// Physical constants of the meteorological code.
inline constexpr float kGravity = 9.80616f;     // m/s2
inline constexpr float kDryAirGas = 287.04f;    // J/(kg K)
inline constexpr float kKappa = 0.286f;
inline constexpr float kSpecificHeat = 1005.0f;  // J/(kg K)
inline constexpr float kVonKarman = 0.4f;
inline constexpr float kLn1013 = 6.9206715f;

// Saturation vapour pressure, hPa.
float saturation_vapour_pressure(float t);

}  // namespace orv
