#pragma once
// Start-up of a run: the diagnostic channel tables and their files, the five
// receptor output files, the run suffix, the message log and the banner.

#include <string_view>

#include "driver/run_context.hpp"

namespace orv {

// The suffix carried by the command-line argument: the characters before its
// first blank, within the first 80. An argument that begins with a blank, or
// holds no blank in its first 80 characters, gives no suffix.
std::string run_suffix_from_argument(std::string_view argument);

// Runs the start-up steps in order; `argument` is the first command-line
// argument (empty when none). A suffix that begins with "-" is refused with
// the usage line (plain stop) before any file is opened. A file that cannot
// be created stops the run.
void start_up(RunContext& ctx, std::string_view argument);

}  // namespace orv
