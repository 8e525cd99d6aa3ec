#pragma once
// The model run: the main program of orvcalc.

#include <cstdint>

namespace orv {

// Runs the model with the command-line arguments and returns the process
// status: 0 for a completed run, the stop code for a stopped one.
int32_t run_orvcalc(int argc, const char* const* argv);

}  // namespace orv
