#pragma once
// Lagrangian samplers: massless marker particles (type code 6) that drift
// with the wind and sample the snapshot concentration grid along their path,
// writing time-averaged values to a file of their own.
//
// "LAGSET.CFG" (free-format text): the number of samplers, then seven lines
// per sampler: release latitude, longitude and height (m); direction
// (degrees, toward which it moves) and speed (m/s) of a prescribed motion
// (both 0: it drifts with the wind); start year, month, day, hour, minute;
// first output year, month, day, hour, minute; averaging length (minutes);
// output interval (minutes, 0 = every time step); output file name (quoted
// when it holds blanks, commas or slashes).
//
// As in the model this follows: one prescribed velocity serves all samplers
// (the last sampler that has one sets it), and only samplers 1 to 9 get an
// output file; later ones are kept but write nothing.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "dispersion/concentration_array.hpp"
#include "dispersion/concentration_sum.hpp"
#include "run/concentration_grids.hpp"
#include "run/particle_arrays.hpp"
#include "meteo/met_at_particle.hpp"
#include "meteo/met_tables.hpp"

namespace orv {

inline constexpr std::string_view kSamplerFile = "LAGSET.CFG";
inline constexpr int32_t kSamplersWithFiles = 9;  // output units 91..99
inline constexpr int32_t kNoOutputInterval = 999999;

struct LagrangianSampler {
    float lat = 0.0f;  // release point, degrees
    float lon = 0.0f;
    float height = 0.0f;     // m
    float direction = 0.0f;  // prescribed motion: degrees
    float speed = 0.0f;      // m/s
    float grid_x = 0.0f;     // release point on met_grid
    float grid_y = 0.0f;
    float grid_z = 0.0f;     // internal vertical coordinate
    int32_t start_year = 0;
    int32_t start_month = 0;
    int32_t start_day = 0;
    int32_t start_hour = 0;
    int32_t start_minute_of_hour = 0;
    int32_t output_year = 0;
    int32_t output_month = 0;
    int32_t output_day = 0;
    int32_t output_hour = 0;
    int32_t output_minute_of_hour = 0;
    int32_t start_minute = 0;        // accumulated minutes; 0 once started or when off the grid
    int32_t next_output_minute = 0;  // accumulated minutes; 0 = never
    int32_t met_grid = 0;
    int32_t average_minutes = 0;     // averaging length
    int32_t output_interval = 0;     // minutes, 0 = every step
    std::string output_file;
};

// A sampler entry the particle loop has moved in this step, with the place
// it sampled from.
struct SamplerVisit {
    int32_t entry = 0;  // particle entry, from 0
    SummationPoint at;
};

struct LagrangianSamplers {
    bool sampler_flag = false;  // "LAGSET.CFG" exists
    std::vector<LagrangianSampler> samplers;
    std::vector<TextOut> outputs;  // one per sampler; open for samplers 1..9
    bool lagsum_warn = true;       // the first sampling problem is reported, later ones not
    // The samplers moved in this step; room for one per sampler is kept from
    // the set-up (only a restart file holding more samplers makes it grow).
    std::vector<SamplerVisit> visits;
};

// Reads "LAGSET.CFG" from the working directory when present, converts the
// times, opens the output files of samplers 1 to 9 and places each release
// point on meteorological grid kg at time index kt (a point off a regional
// grid is never started). A file that cannot be read, or an output file that
// cannot be opened, stops the run with code 900 naming it.
void read_sampler_file(LagrangianSamplers& ls, const MeteoFiles& met, int32_t kg, int32_t kt, Messages msg);

// The rest of a sampler's set-up, once the driver has looked up the
// meteorology at its release point (x, y on the ground): `met_found` and
// `met` from that look-up, `grid_after` the grid it ended on. Sets the
// sampler's grid and vertical position (KMSL 1: heights above sea level) and,
// for a prescribed motion, the sampler velocity in `shared_met` (grid units
// per minute, turned to the grid on a map projection).
void place_sampler(LagrangianSampler& sampler, bool met_found, const MetAtParticle& met, int32_t grid_after,
                   float model_top, int32_t KMSL, const MeteoFiles& met_files, int32_t kt,
                   MetAtParticle& shared_met);

// The notice that closes the set-up.
void write_sampler_notice(const LagrangianSamplers& ls, TextOut& log);

// Starts the samplers whose start time has come (0 < start <= model_time) as
// type-6 entries. Full particle arrays end the call; that sampler stays
// marked as started.
void lagems(LagrangianSamplers& ls, int32_t model_time, ParticleArrays& p, TextOut& log);

// Adds the snapshot concentration at sampler entry i (position `at`, step
// `step`) to its running sum, restarting the sum when the averaging length
// is reached. No snapshot grid stops the run; a sampler outside the grid's
// period, off the grid or above it adds nothing (reported once per run).
void lagsum(LagrangianSamplers& ls, const std::vector<ConcentrationGrid>& grids, const SummationStep& step,
            const SummationPoint& at, ParticleArrays& p, int32_t i, const ConcentrationArray& conc, Messages msg);

// Sampler entry i has been moved in this step and sits at `at`: it samples
// once every particle of the step has been summed (sum_visited_samplers).
// An entry of no defined sampler is left out.
void visit_sampler(LagrangianSamplers& ls, const ParticleArrays& p, int32_t i, const SummationPoint& at);

// lagsum for every sampler visited in this step, in the order of the visits,
// on the concentrations the step's particles have summed; then the visits
// are forgotten.
void sum_visited_samplers(LagrangianSamplers& ls, const std::vector<ConcentrationGrid>& grids,
                          const SummationStep& step, ParticleArrays& p, const ConcentrationArray& conc, Messages msg);

// At the end of a step, writes the averaged value of every sampler entry
// whose output time has come to its file: date, position, height and value.
// Positions are converted on each entry's grid at time index kt.
void update_lagrangian_samplers(LagrangianSamplers& ls, int32_t model_time, float dt_minutes,
                                const ParticleArrays& p, float model_top, const MeteoFiles& met, int32_t kt,
                                TextOut& console);

}  // namespace orv
