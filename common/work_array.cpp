#include "common/work_array.hpp"

#include <string>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"

namespace orv {

void allocation_stop(std::string_view prefix, std::string_view label, TextOut& console) {
    std::string field(label.substr(0, 80));
    field.resize(80, ' ');
    // The status code of a failed allocation: the run-time gives no other.
    console.list(std::string(prefix) + field, 1);
    throw RunStop(kStopInput);
}

}  // namespace orv
