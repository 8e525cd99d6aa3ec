#pragma once
// The state of the hour, time-step and particle loops, shared by the files
// that make up the run. Built once before the first hour: the records the
// loops hand to every particle are made here, never inside the loops.

#include <chrono>
#include <cstdint>
#include <vector>

#include "dispersion/particle_column.hpp"
#include "run/calendar.hpp"
#include "driver/level_mass.hpp"
#include "driver/run_context.hpp"
#include "driver/run_loop.hpp"
#include "driver/split_control.hpp"
#include "meteo/advpnt.hpp"

namespace orv {

// Adds the time since the last lap to a phase of the timing, when there is one.
class PhaseClock {
public:
    explicit PhaseClock(RunTiming* timing) : timing_(timing) {
        if (timing_) last_ = std::chrono::steady_clock::now();
    }
    void lap(RunTiming::Phase phase) {
        if (!timing_) return;
        const auto now = std::chrono::steady_clock::now();
        timing_->seconds[phase] += std::chrono::duration<double>(now - last_).count();
        last_ = now;
    }

private:
    RunTiming* timing_;
    std::chrono::steady_clock::time_point last_{};
};

struct RunLoop {
    explicit RunLoop(RunContext& c, RunTiming* t);

    RunContext& ctx;
    RunTiming* timing;
    PhaseClock clock;

    int32_t run_hours = 0;
    bool backward = false;
    int32_t run_mode = 0;  // distribution mode of INITD

    // The hour and step.
    int32_t hour = 0;
    int32_t step = 0;
    int32_t steps = 0;      // steps in this hour
    float time_step = 0.0f; // minutes, negative backward
    int32_t forecast_hour = 0;
    CalendarDate date{};    // of the model time at the step start

    int32_t output_count = 0;  // receptor outputs written
    SplitControl split;
    LevelMass level_mass;
    bool empty_volume_noticed = false;

    // Records handed to every particle.
    DepositionSwitches release_switches;  // the run's switches with RDEP on: release heights
    AdvanceContext advance;
    AdvanceContext release_advance;
    ParticleColumn column;
    DepositionSettings deposition;
    std::vector<float> grid_sizes;  // km, meteorological grids 1..12 at the current file
};

// The time steps of one hour.
void run_time_steps(RunLoop& run);

// Every active particle once, in sort order, over sort positions 1..count.
void move_particles(RunLoop& run, int32_t count);

// The work at the end of an hour: receptor output, puff management, dump.
void end_hour(RunLoop& run);

}  // namespace orv
