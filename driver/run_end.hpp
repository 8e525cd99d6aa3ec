#pragma once
// The end of a run that went through all its hours: the end-of-run warnings,
// every output file closed, "Complete Orvante" and the meteorological arrays
// released.

#include "driver/run_context.hpp"

namespace orv {

void end_run(RunContext& ctx);

// Flushes and closes every output file of the run, the message log last. A
// file that cannot be written to its end is named on the console; the other
// files are closed all the same, then the run stops with code 900. Closing
// again is harmless: main calls it after a stop too.
void close_run_files(RunContext& ctx);

}  // namespace orv
