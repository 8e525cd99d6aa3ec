#pragma once
// Releases from the starting locations of the control file: each time step
// every location whose pollutants are on releases particles or puffs with the
// step's share of the emission; consecutive locations at one position form a
// vertical line source; a pollutant's release start moves on by QCYCLE when
// its release period ends.

#include <cstdint>
#include <vector>

#include "common/text_output.hpp"
#include "run/control_file.hpp"
#include "run/particle_arrays.hpp"
#include "run/pollutants.hpp"
#include "run/settings.hpp"

namespace orv {

// What the release keeps between calls.
struct PointReleaseState {
    bool emitting = false;              // some pollutant released in the previous call
    bool slot_warning_written = false;  // the MAXDIM slot-sharing warning, once per run
    std::vector<float> fraction;        // work: share of the step each pollutant is on
};

// The release window of one pollutant at a step: minutes since its release
// started (counted against the run's direction) and the release length.
struct ReleaseWindow {
    int32_t elapsed = 0;
    int32_t length = 0;
    bool on() const { return elapsed >= 0 && elapsed < length; }
};

ReleaseWindow release_window(const Pollutant& d, float dt_minutes, int32_t model_time);

// Sets fraction[j] to the share of the step during which pollutant j releases
// (1 unless its release ends within the step). Returns whether any is on.
bool release_fractions(const std::vector<Pollutant>& dirt, float dt_minutes, int32_t model_time,
                       std::vector<float>& fraction);

// Moves each pollutant's release start on by QCYCLE when its release ends
// within this step.
void apply_release_cycle(std::vector<Pollutant>& dirt, const Settings& s, float dt_minutes, int32_t model_time);

// One step's releases at model_time (accumulated minutes), step dt_minutes
// (negative backward). Every DIRT entry is a pollutant (with ICHEM 1, location
// a releases entry a only). Reads INITD, NUMPAR, QCYCLE and ICHEM; the arrays
// give MAXPAR and MAXDIM. New entries are appended behind particle_count.
// Returns the limit flag: 1 when the arrays filled up in this call, else 0.
int32_t emspnt_hg(std::vector<SourceLocation>& locations, std::vector<Pollutant>& dirt, const Settings& s,
                  float dt_minutes, int32_t model_time, ParticleArrays& p, PointReleaseState& state, TextOut& log);

}  // namespace orv
