#pragma once
// The receptor deposition output: every DEP_DELTA minutes, counted from the
// sampling start of the first concentration grid, the deposition booked
// since the last output goes to "recpmass.out" (path totals and receptors)
// and "cepflux.out" (ceps) and the sums start again; and, every sixth hour,
// the table of the vertical mass distribution in the message log.

#include <cstdint>
#include <span>
#include <vector>

#include "common/messages.hpp"
#include "common/text_output.hpp"
#include "run/calendar.hpp"
#include "run/pollutants.hpp"
#include "driver/receptor_outputs.hpp"

namespace orv {

// Whether an output is due at model_time: a whole number of `dep_delta`
// periods (either sign) lies between it and `sampling_start`.
bool receptor_output_due(int32_t model_time, int32_t sampling_start, int32_t dep_delta);

// The most deposition paths (NPATH) a line can number: its path column has
// 5 digits.
inline constexpr int32_t kMostDepositionPaths = 99999;

// One output time: the layout's extents and where the lines go.
struct ReceptorOutputBlock {
    int32_t output_count = 0;  // number of this output, from 1
    CalendarDate date{};       // of the output time
    int32_t maxdim = 0;        // pollutant slots
    int32_t npath = 0;         // deposition paths
};

// Writes one block of MAXDIM x NPATH lines to each file (pollutant slot
// outermost, path innermost; each slot labelled with its identifier in
// `dirt`), then clears the path totals and the receptor and cep sums.
void write_receptor_outputs(const ReceptorOutputBlock& block, const std::vector<Pollutant>& dirt,
                            ReceptorOutputs& sums, TextOut& recpmass, TextOut& cepflux);

// The net under the sums: before an output time writes either file, every
// value it would write must be a finite number. The first that is not stops
// the run with code 900, with a line naming it and its file on the console
// and in the log, so that neither file takes a line of that output time.
void stop_on_non_finite_deposition(const ReceptorOutputBlock& block, const std::vector<Pollutant>& dirt,
                                   const ReceptorOutputs& sums, Messages msg);

// The vertical distribution of the last step's mass: one line per level that
// holds mass, from the top down, with its height (m) and its percentage.
// Nothing when `step_mass_total` is not above 0.
void write_level_mass_table(std::span<const float> level_diagnostics, float step_mass_total,
                            std::span<const float> sigma_profile, float model_top, TextOut& log);

}  // namespace orv
