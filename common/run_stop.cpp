#include "common/run_stop.hpp"

#include <exception>

#include "common/text_output.hpp"

namespace orv {

void input_stop(std::string_view routine, std::string_view file, int64_t line, std::string_view what,
                TextOut& console) {
    std::string where = std::string(file);
    if (line > 0) where += " line " + std::to_string(line);
    console.list(std::string("*ERROR* ") + std::string(routine) + ": " + std::string(what) + " - " + where);
    throw RunStop(kStopInput);
}

void report_output_failure(std::string_view routine, std::string_view file, TextOut& console) {
    console.list(std::string("*ERROR* ") + std::string(routine) + ": cannot write file (disk full or write error) - " +
                 std::string(file));
}

void output_stop(std::string_view routine, std::string_view file, TextOut& console) {
    report_output_failure(routine, file, console);
    if (std::uncaught_exceptions() == 0) throw RunStop(kStopInput);
}

}  // namespace orv
