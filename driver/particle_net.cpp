#include "driver/particle_net.hpp"

#include <bit>
#include <cstdint>
#include <string>

#include "common/number_text.hpp"
#include "common/run_stop.hpp"

namespace orv {

namespace {

// All exponent bits set: an infinity or not a number. Integer tests keep the
// scan over every particle free of branches.
inline uint32_t non_finite(float v) {
    constexpr uint32_t kExponent = 0x7f800000u;
    return (std::bit_cast<uint32_t>(v) & kExponent) == kExponent ? 1u : 0u;
}

struct Quantity {
    const char* name;
    const WorkArray<float>& values;
};

}  // namespace

void stop_on_non_finite_particle(const ParticleArrays& p, const CalendarDate& step_start, Messages msg) {
    const Quantity quantities[] = {{"x position", p.particle_x},
                                   {"y position", p.particle_y},
                                   {"height", p.particle_z},
                                   {"horizontal spread", p.particle_sigma_h},
                                   {"vertical spread", p.particle_sigma_z}};
    const float *x = p.particle_x.data(), *y = p.particle_y.data(), *z = p.particle_z.data();
    const float *sh = p.particle_sigma_h.data(), *sz = p.particle_sigma_z.data();
    const int32_t* grid = p.particle_grid.data();
    uint32_t bad = 0;
    for (int32_t i = 0; i < p.particle_count; ++i) {
        const uint32_t b = non_finite(x[i]) | non_finite(y[i]) | non_finite(z[i]) | non_finite(sh[i]) |
                           non_finite(sz[i]);
        bad |= grid[i] != 0 ? b : 0u;
    }
    if (bad == 0) return;

    for (int32_t i = 0; i < p.particle_count; ++i) {
        if (grid[i] == 0) continue;
        for (const Quantity& q : quantities) {
            const float v = q.values[i];
            if (!non_finite(v)) continue;
            const CalendarDate& d = step_start;
            for (TextOut* out : {&msg.console, &msg.log}) {
                out->list("*ERROR* main: " + std::string(q.name) + " " + number_text(v) + " of particle " +
                              std::to_string(i + 1) + " is not a finite number after the time step of - ",
                          d.year, d.month, d.day, d.hour, d.minute);
                out->list(" Meteorology or settings beyond the run's range: stopped before any output of the step");
            }
            throw RunStop(kStopInput);
        }
    }
}

}  // namespace orv
