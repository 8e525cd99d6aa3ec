#include "common/run_stop.hpp"

#include "common/text_output.hpp"

namespace orv {

void input_stop(std::string_view routine, std::string_view file, int64_t line, std::string_view what,
                TextOut& console) {
    std::string where = std::string(file);
    if (line > 0) where += " line " + std::to_string(line);
    console.list(std::string("*ERROR* ") + std::string(routine) + ": " + std::string(what) + " - " + where);
    throw RunStop(kStopInput);
}

}  // namespace orv
