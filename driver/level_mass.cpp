#include "driver/level_mass.hpp"

#include <algorithm>
#include <cmath>

#include "common/clamped_int.hpp"
#include "common/run_stop.hpp"
#include "run/particle_types.hpp"

namespace orv {

void LevelMass::clear() {
    std::fill(level_diagnostics.begin(), level_diagnostics.end(), 0.0f);
    step_mass_total = 0.0f;
}

int32_t particle_level(float level_index, int32_t nlvl) {
    return std::clamp(nearest_clamped(level_index), 1, std::max(nlvl, 1));
}

int32_t level_of_height(const InternalVerticalGrid& grid, float height) {
    const float aa = grid.aa, bb = grid.bb, cc = grid.cc;
    const float d = bb * bb - 4.0f * aa * (cc - height);
    const float index = d < 0.0f ? 1.0f : (std::sqrt(d) - bb) / (2.0f * aa);
    return std::clamp(nearest_clamped(index), 1, std::max(grid.nlvl, 1));
}

LevelSpan particle_level_span(const InternalVerticalGrid& grid, float model_top, int32_t run_mode, float z,
                              float sigma_z, int32_t level) {
    LevelSpan s;
    if (is_vertical_puff(run_mode)) {
        const float zt = std::clamp(z - kTopHat * sigma_z, 0.0f, 1.0f);
        const float zb = std::clamp(z + kTopHat * sigma_z, 0.0f, 1.0f);
        s.top = level_of_height(grid, model_top * (1.0f - zt));
        s.bottom = level_of_height(grid, model_top * (1.0f - zb));
    } else {
        s.top = s.bottom = std::clamp(level, 1, std::max(grid.nlvl, 1));
    }
    return s;
}

void add_level_mass(LevelMass& sums, LevelSpan span, float total) {
    const int32_t n = static_cast<int32_t>(sums.level_diagnostics.size());
    const int32_t bottom = std::clamp(span.bottom, 1, std::max(n, 1));
    const int32_t top = std::clamp(span.top, bottom, std::max(n, 1));
    if (n > 0) {
        const float share = total / static_cast<float>(top - bottom + 1);
        for (int32_t k = bottom; k <= top; ++k) sums.level_diagnostics[static_cast<size_t>(k - 1)] += share;
    }
    sums.step_mass_total += total;
}

void stop_on_non_finite_mass_total(const LevelMass& sums, const CalendarDate& step_start, Messages msg) {
    if (std::isfinite(sums.step_mass_total)) return;
    const CalendarDate& d = step_start;
    for (TextOut* out : {&msg.console, &msg.log}) {
        out->list("*ERROR* main: the airborne mass total is not a finite number after the time step of - ", d.year,
                  d.month, d.day, d.hour, d.minute);
        out->list(" Masses or emission rates too large for the run's sums: stopped before any output of the step");
    }
    throw RunStop(kStopInput);
}

}  // namespace orv
