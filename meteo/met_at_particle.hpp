#pragma once
// The meteorology at the particle being processed: refilled by the particle
// advance for every particle, read by the driver, the dispersion step and the
// mercury chemistry and deposition. Word numbers in the comments are the
// positions of the 35-word record that diagnostic dumps print in order.

#include <array>
#include <cstdint>

namespace orv {

struct MetAtParticle {
    float level_index = 0.0f;        // 1  real internal level index (1 = lowest level)
    float terrain_height = 0.0f;     // 2  m
    float mixed_layer_depth = 0.0f;  // 3  m
    float grid_spacing_x = 0.0f;     // 4  m per grid unit
    float grid_spacing_y = 0.0f;     // 5  m per grid unit
    float rain = 0.0f;               // 6  precipitation rate, m per minute
    float turbulence_2 = 0.0f;       // 7  second turbulence field: u variance, m2/s2 (KBLT 4: as the data hold it)
    float turbulence_1 = 0.0f;       // 8  first turbulence field: v variance, m2/s2 (KBLT 4: as the data hold it)
    float roughness = 0.0f;          // 9  roughness length, m
    float friction_velocity = 0.0f;  // 10 m/s
    float stability_1 = 0.0f;        // 11 first stability output: integrated stability function for heat
    float stability_2 = 0.0f;        // 12 second stability output: static stability N^2, 1/s2
    float solar_flux = 0.0f;         // 13 downward solar flux, W/m2
    float lat = 0.0f;                // 14 degrees
    float lon = 0.0f;                // 15 degrees
    float sampler_u = 0.0f;          // 16 prescribed sampler velocity along x, grid units per minute
    float sampler_v = 0.0f;          // 17 along y
    float wind_speed_10m = 0.0f;     // 18 m/s
    std::array<float, 8> reserved{}; // 19-26
    int32_t land_use = 0;            // 27 land-use category
    std::array<int32_t, 8> int_words{};  // 28-35, 0 from start-up

    // Word n (1..35) as a real, integer words converted, for dumps.
    float word(int32_t n) const;
};

// One row of the column at the particle: the values of one internal level.
struct ProfileRow {
    float pressure = 0.0f;      // hPa
    float temperature = 0.0f;   // K
    float humidity = 0.0f;      // relative humidity, fraction
    float density = 0.0f;       // air density, kg/m3
    float turbulence_3 = 0.0f;  // third turbulence field: vertical velocity variance, m2/s2
};

inline float MetAtParticle::word(int32_t n) const {
    switch (n) {
        case 1: return level_index;
        case 2: return terrain_height;
        case 3: return mixed_layer_depth;
        case 4: return grid_spacing_x;
        case 5: return grid_spacing_y;
        case 6: return rain;
        case 7: return turbulence_2;
        case 8: return turbulence_1;
        case 9: return roughness;
        case 10: return friction_velocity;
        case 11: return stability_1;
        case 12: return stability_2;
        case 13: return solar_flux;
        case 14: return lat;
        case 15: return lon;
        case 16: return sampler_u;
        case 17: return sampler_v;
        case 18: return wind_speed_10m;
        case 27: return static_cast<float>(land_use);
        default:
            if (n >= 19 && n <= 26) return reserved[static_cast<size_t>(n - 19)];
            if (n >= 28 && n <= 35) return static_cast<float>(int_words[static_cast<size_t>(n - 28)]);
            return 0.0f;
    }
}

}  // namespace orv
