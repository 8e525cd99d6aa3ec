#pragma once
// Pollutant definitions (`DIRT`): the identifier and emission of each
// pollutant, then its particle, deposition, wet removal, decay and
// resuspension properties with the switches derived from them.

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "run/control_input.hpp"

namespace orv {

// The smallest positive particle shape factor. The mercury deposition divides
// the settling velocity by it: before the division that velocity is at most
// 0.345 m/s per g/cm3 of PDEN (the largest particle, 20 um grown at 99.5 %
// humidity to 105 um, in thin air), 3.45e3 m/s at the largest PDEN (1e4).
// Divided by 1e-4 it stays below 3.45e7 m/s, so that it times the largest
// mass of a puff (1e25) stays six orders of magnitude below the overflow of
// single precision (3.4e38). A factor of 0 marks a gas.
inline constexpr float kSmallestShapeFactor = 1.0e-4f;

struct Pollutant {
    std::string pollutant_id = "????";  // 4 characters
    float emission_rate = 1.0f;         // per hour
    float emission_hours = 1.0f;        // negative in a backward run
    int32_t release_year = 0;
    int32_t release_month = 0;
    int32_t release_day = 0;
    int32_t release_hour = 0;
    int32_t release_minute = 0;
    int32_t unused = 0;
    int32_t release_start_minute = 0;  // accumulated minutes
    bool DOWET = false;
    bool DODRY = false;
    bool DORAD = false;
    bool DORES = false;
    bool is_gas = false;
    bool DOGRV = false;
    bool DOSUS = false;
    bool DOVOL = false;
    float WETIN = 0.0f;
    float WETLO = 0.0f;
    float WETGAS = 0.0f;
    float HENRY = 0.0f;
    float DRYVL = 0.0f;
    float PDENS = 0.0f;
    float PDIAM = 0.0f;
    float SHAPE = 0.0f;
    float RHALF = 0.0f;
    float GPMOL = 0.0f;
    float ACVTY = 0.0f;
    float DIFTY = 0.0f;
    float SRATE = 0.0f;
};

// Run-wide deposition switches.
struct DepositionSwitches {
    bool CDEP = false;  // some deposition or decay is computed
    bool RDEP = false;  // some pollutant uses the resistance method
    bool SDEP = false;  // some pollutant is resuspended
};

// The number of pollutants (default 1).
int32_t read_pollutant_count(ControlInput& ctl);

// Identifier, emission rate, hours and release start of each of `numtyp`
// pollutants. The first `capacity` records go into the table, which grows to
// them as they are read (records already there, one per location in the
// source-matrix mode, are kept); later records are read and dropped. A
// relative release start outside the calendar stops the run naming it.
void read_pollutant_emissions(ControlInput& ctl, std::vector<Pollutant>& dirt, int32_t numtyp, int32_t year,
                              int32_t month, int32_t day, int32_t hour, bool backward,
                              int32_t capacity = INT32_MAX);

// The deposition block: five lines per pollutant, for every one of `numtyp`
// pollutants; blocks beyond the table are read and dropped.
void depset(ControlInput& ctl, std::vector<Pollutant>& dirt, int32_t numtyp, DepositionSwitches& sw);

}  // namespace orv
