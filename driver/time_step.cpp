#include "driver/time_step.hpp"

#include <climits>
#include <cmath>
#include <cstdlib>

#include "common/clamped_int.hpp"

namespace orv {

int32_t smallest_sampling_interval(const std::vector<ConcentrationGrid>& grids) {
    int32_t tmax = INT32_MAX;
    for (const ConcentrationGrid& g : grids) tmax = std::min(tmax, g.interval);
    return tmax;
}

int32_t automatic_time_step(float TRATIO, const TimeStepInputs& in) {
    const float speed = in.hour_max_speed > 0.0f ? in.hour_max_speed : 1.2f;
    int32_t tmax = std::min(in.sampling_interval, in.data_interval);
    if (tmax >= 60) tmax = 60;
    int32_t d = nearest_clamped(TRATIO * in.time_step_spacing / speed);
    d = std::min(d, tmax);
    if (d <= 0) d = 1;
    // A limit of 0 or less (an interval that is no interval) leaves d as it is.
    while (tmax > 0 && tmax % d != 0 && d > 1) --d;
    return d;
}

float choose_time_step(const Settings& s, bool backward, const TimeStepInputs& in) {
    const float dt = s.DELT != 0.0f ? std::fabs(s.DELT) : static_cast<float>(automatic_time_step(s.TRATIO, in));
    return backward ? -dt : dt;
}

int32_t whole_step_minutes(float time_step) { return truncate_clamped(time_step); }

int32_t steps_per_hour(float time_step) {
    const int32_t n = whole_step_minutes(time_step);
    if (n == 0) return 0;
    return std::abs(60 / n);
}

int32_t aged(int32_t age, float time_step) {
    const int64_t grown = std::llabs(int64_t{age}) + std::llabs(int64_t{whole_step_minutes(time_step)});
    const int32_t magnitude = clamp_to_int32(grown);
    return age < 0 ? -magnitude : magnitude;
}

void warn_time_step_drift(const Settings& s, Messages msg) {
    const float dt = std::fabs(s.DELT);
    if (dt == 0.0f) return;
    const int32_t n = whole_step_minutes(dt);
    if (static_cast<float>(n) == dt && n > 0 && 60 % n == 0) return;
    for (TextOut* out : {&msg.console, &msg.log})
        out->list("WARNING main: DELT does not divide the hour; the model clock will drift from the hour count "
                  "and outputs due on the hour may never fall due - ",
                  s.DELT);
}

}  // namespace orv
