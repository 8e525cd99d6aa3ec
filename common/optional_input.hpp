#pragma once
// An input the run reads when it is there and goes without when it is not
// (a settings file, a sampler or emission file, a surface file, a particle
// initialisation file). Only a path where nothing exists counts as absent: a
// folder, a device or a file that cannot be read in its place is a mistake
// the user must hear of, not a missing file.

#include <string>
#include <string_view>

#include "common/text_output.hpp"

namespace orv {

// False when nothing exists at `path`; true when it is a readable regular
// file (or a link to one). Anything else at the path stops the run with code
// 900 after the console line "*ERROR* <routine>: not a readable file - <path>".
bool optional_input_present(const std::string& path, std::string_view routine, TextOut& console);

}  // namespace orv
