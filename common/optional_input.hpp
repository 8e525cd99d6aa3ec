#pragma once
// What stands at the name of an input file. Only a regular file that opens
// is an input; nothing at the name (or a symbolic link that leads nowhere,
// since the test follows links) is an absent input; anything else (a folder,
// a device, a pipe that would block the read, a loop of links, a file that
// cannot be read) is a mistake the user must hear of, not a missing file.

#include <cstdint>
#include <string>
#include <string_view>

#include "common/text_output.hpp"

namespace orv {

enum class InputState { absent, readable, unreadable };

InputState input_state(const std::string& path);

// Stops the run with `code` after the console line
// "*ERROR* <routine>: not a readable file - <path>".
[[noreturn]] void unreadable_input_stop(const std::string& path, std::string_view routine, TextOut& console,
                                        int32_t code);

// An input the run reads when it is there and goes without when it is not
// (a settings file, a sampler or emission file, a surface file, a particle
// initialisation file): false when absent, true when readable; anything else
// at the path stops the run with code 900.
bool optional_input_present(const std::string& path, std::string_view routine, TextOut& console);

}  // namespace orv
