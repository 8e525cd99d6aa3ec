// Fuzz target: the control input, read whole as a run reads it (start,
// locations, run values, meteorological files, pollutants, concentration
// grids, deposition). The first byte chooses the mode: bit 0 clear, the text
// is the file "CONTROL"; set, it is typed at the keyboard and copied to
// "STARTUP". Bit 1 set reads the pollutants as the source-matrix mode does:
// into a table of one record per location, reading and dropping the rest.
// Bad input must end in a stop (orv::RunStop), nothing else; the tables may
// grow only with the records the input holds.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "run/concentration_grids.hpp"
#include "run/control_file.hpp"
#include "run/pollutants.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

void read_control_input(const std::string& text, bool keyboard_mode, bool matrix_mode, orv::TextOut& console) {
    if (keyboard_mode) {
        std::filesystem::remove("CONTROL");
    } else {
        orv::fuzz::write_input("CONTROL", text);
    }
    std::istringstream keyboard(keyboard_mode ? text : std::string());
    orv::ControlInput ctl;
    orv::RunControl run;
    std::vector<orv::SourceLocation> locations;
    std::vector<orv::Pollutant> dirt;
    std::vector<orv::ConcentrationGrid> grids;
    orv::DepositionSwitches sw;
    try {
        orv::open_control_file(ctl, "", keyboard, console, run);
        orv::runset(ctl, locations, run);
        int32_t numtyp = orv::read_pollutant_count(ctl);
        const orv::SourceLocation first = locations.empty() ? orv::SourceLocation{} : locations[0];
        int32_t capacity = INT32_MAX;
        if (matrix_mode) {
            dirt.resize(locations.size());
            capacity = static_cast<int32_t>(locations.size());
        }
        orv::read_pollutant_emissions(ctl, dirt, numtyp, run.start_year, run.start_month, run.start_day,
                                      run.start_hour, run.backward, capacity);
        int32_t n = orv::read_concentration_grid_count(ctl);
        grids.assign(static_cast<size_t>(std::max(n, 0)), orv::ConcentrationGrid{});
        float spacing = 1.0e6f;
        const orv::RunStartDate start{run.start_year, run.start_month, run.start_day, run.start_hour, run.backward};
        orv::conset(ctl, grids, start, first, run.model_top, 1, spacing);
        orv::depset(ctl, dirt, numtyp, sw);
    } catch (const orv::RunStop&) {
    }
    ctl.close();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A folder of our own: the readers create and read files.
    static orv::fuzz::WorkFolder folder("orv_control_fuzz");
    orv::tminit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    orv::fuzz::QuietConsole quiet;
    read_control_input(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), data[0] & 1, data[0] & 2,
                       quiet.console);
    return 0;
}
