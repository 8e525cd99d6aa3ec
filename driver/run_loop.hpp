#pragma once
// The run itself: the hour loop with its automatic time step, the time steps
// with their releases, the particle loop and the end of each step, and the
// hour end with the receptor output, the puff management and the particle
// dump. Runs after the set-up, on the run context it filled.

#include <array>
#include <chrono>
#include <cstdint>

#include "driver/run_context.hpp"

namespace orv {

// Where a run spends its time, by phase (filled only when asked for: the
// benchmark of a whole run).
struct RunTiming {
    enum Phase : int32_t {
        kRelease,     // emission block: releases, samplers, resuspension
        kAdvection,   // the particle advance with its meteorology
        kDispersion,  // surface emission, ageing, random walk and puff growth
        kReceptors,   // receptor and cep tests, land use, species conversion, oxidants
        kChemistry,   // puff geometry and the mercury chemistry step
        kDeposition,  // cloud layer, mercury deposition step and booking
        kSummation,   // concentration sums and level sums
        kEndOfStep,   // decay, clock, concentration output, notice
        kHourEnd,     // hour start and end: sub-grid, receptor output, puff management, dump
        kPhaseCount
    };
    std::array<double, kPhaseCount> seconds{};
    int64_t puff_steps = 0;  // particles and puffs moved

    static const char* name(int32_t phase);
};

// Runs the run's hours (none when the run hours are 0). With `timing`, the
// time of each phase is added to it.
void run_hours(RunContext& ctx, RunTiming* timing = nullptr);

}  // namespace orv
