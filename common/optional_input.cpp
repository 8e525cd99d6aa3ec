#include "common/optional_input.hpp"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/run_stop.hpp"

namespace orv {

InputState input_state(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status target = fs::status(path, ec);
    if (target.type() == fs::file_type::not_found) return InputState::absent;
    // Only a regular file is opened: opening a pipe would wait for a writer.
    if (fs::is_regular_file(target) && std::ifstream(path, std::ios::in | std::ios::binary).is_open())
        return InputState::readable;
    return InputState::unreadable;
}

void unreadable_input_stop(const std::string& path, std::string_view routine, TextOut& console, int32_t code) {
    console.list("*ERROR* " + std::string(routine) + ": not a readable file - ", path);
    throw RunStop(code);
}

bool optional_input_present(const std::string& path, std::string_view routine, TextOut& console) {
    switch (input_state(path)) {
        case InputState::absent: return false;
        case InputState::readable: return true;
        default: unreadable_input_stop(path, routine, console, kStopInput);
    }
}

}  // namespace orv
