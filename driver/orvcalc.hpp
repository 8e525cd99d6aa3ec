#pragma once
// The model run: the main program of orvcalc.

#include <cstdint>
#include <istream>
#include <ostream>

namespace orv {

struct RunContext;

// The whole set-up of a run, from the start-up files to the oxidant load:
// everything the hour loop starts from is in `ctx` afterwards. A stop is
// thrown as RunStop.
void set_up_run(RunContext& ctx, int argc, const char* const* argv, std::istream& keyboard);

// Runs the model with the command-line arguments and returns the process
// status: 0 for a completed run, the stop code for a stopped one. Keyboard
// answers, when there is no control file, come from standard input and the
// console lines go to standard output, or to the given streams.
int32_t run_orvcalc(int argc, const char* const* argv);
int32_t run_orvcalc(int argc, const char* const* argv, std::istream& keyboard, std::ostream& console);

}  // namespace orv
