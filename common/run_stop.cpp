#include "common/run_stop.hpp"

#include <exception>

#include "common/text_output.hpp"

namespace orv {

void input_stop(std::string_view routine, std::string_view file, int64_t line, std::string_view what) {
    std::string where = std::string(file);
    if (line > 0) where += " line " + std::to_string(line);
    console(std::string("*ERROR* ") + std::string(routine) + ": " + std::string(what) + " - " + where);
    throw RunStop(kStopInput);
}

void report_output_failure(std::string_view routine, std::string_view file) {
    console(std::string("*ERROR* ") + std::string(routine) + ": cannot write file (disk full or write error) - " +
            std::string(file));
}

void output_stop(std::string_view routine, std::string_view file) {
    report_output_failure(routine, file);
    if (std::uncaught_exceptions() == 0) throw RunStop(kStopInput);
}

}  // namespace orv
