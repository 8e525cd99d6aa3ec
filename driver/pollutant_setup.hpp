#pragma once
// The pollutants of a run: the count and emission records of the control
// input with the table sized for every slot a puff carries, and after the
// deposition records the dumps of the deposition set-up, the reset of the
// deposition switches and the source-matrix expansion.

#include <cstdint>
#include <span>
#include <vector>

#include "run/pollutants.hpp"
#include "driver/run_context.hpp"

namespace orv {

// A record that pads the pollutant table beyond the entries read: identifier
// "????", every other field 0 or false.
Pollutant padding_pollutant();

// The number of pollutant records the table holds: max(entries, MAXDIM, 1).
int32_t pollutant_table_size(int32_t entries, int32_t maxdim);

// The number of pollutants and their emission records (control records 9 and
// 10), `DIRT` and `step_deposit` sized, then the MAXDIM warning, the ICHEM
// notice and, with ICHEM 7, the momentum-flux check.
void read_pollutant_definitions(RunContext& ctx);

// The deposition records, the "before" dump, the reset of the switches, the
// "after" dump and, with ICHEM 1, one pollutant per location.
void set_up_deposition(RunContext& ctx);

// Writes the run-wide switches and every switch and real of pollutants
// 1..count (at most the table) to a diagnostic file, under the heading of the
// dump before the reset or after it.
void write_deposition_dump(TextOut& out, bool after_reset, const DepositionSwitches& sw,
                           std::span<const Pollutant> dirt, int32_t count);

// Wet deposition, resuspension and settling on and dry deposition off for
// pollutants 1..maxdim (at most the table); CDEP and RDEP on.
void reset_deposition_switches(std::vector<Pollutant>& dirt, int32_t maxdim, DepositionSwitches& sw);

// ICHEM 1: every location becomes a pollutant with the definitions of
// pollutant 1 and the identifier "0001", "0002", ...; numtyp becomes the
// number of locations (the table holds at least that many records).
void make_each_location_a_pollutant(std::vector<Pollutant>& dirt, int32_t& numtyp, int32_t locations);

}  // namespace orv
