#include "common/optional_input.hpp"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/run_stop.hpp"

namespace orv {

bool optional_input_present(const std::string& path, std::string_view routine, TextOut& console) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status target = fs::status(path, ec);
    if (target.type() == fs::file_type::not_found) {
        // A link that leads nowhere is there all the same.
        const fs::file_status link = fs::symlink_status(path, ec);
        if (link.type() == fs::file_type::not_found) return false;
    }
    if (fs::is_regular_file(target) && std::ifstream(path, std::ios::in | std::ios::binary).is_open()) return true;
    console.list("*ERROR* " + std::string(routine) + ": not a readable file - ", path);
    throw RunStop(kStopInput);
}

}  // namespace orv
