#pragma once
// Reads a whole control input the way the run does, for the tests.

#include <sstream>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "run/calendar.hpp"
#include "run/concentration_grids.hpp"
#include "run/control_file.hpp"
#include "run/pollutants.hpp"
#include "tests/test_support.hpp"

namespace orv::test {

struct ControlRecords {
    RunControl run;
    std::vector<SourceLocation> locations;
    int32_t numtyp = 0;
    std::vector<Pollutant> dirt;
    std::vector<ConcentrationGrid> grids;
    DepositionSwitches sw;
    float spacing = 1.0e6f;
    int32_t stop = 0;       // stop code, 0 when the input was read whole
    std::string console;    // what the reading wrote to the console
};

// Reads records from the CONTROL file of the working directory, or from the
// keyboard stream when there is none. `cpack` as the SETUP setting.
inline ControlRecords read_control(std::istream& keyboard, int32_t cpack = 1) {
    tminit();
    ControlRecords r;
    ControlInput ctl;
    TestConsole console;
    try {
        open_control_file(ctl, "", keyboard, console.out, r.run);
        runset(ctl, r.locations, r.run);
        r.numtyp = read_pollutant_count(ctl);
        read_pollutant_emissions(ctl, r.dirt, r.numtyp, r.run.start_year, r.run.start_month, r.run.start_day,
                                 r.run.start_hour, r.run.backward);
        int32_t n = read_concentration_grid_count(ctl);
        r.grids.assign(static_cast<size_t>(std::max(n, 0)), ConcentrationGrid{});
        const SourceLocation first = r.locations.empty() ? SourceLocation{} : r.locations[0];
        const RunStartDate start{r.run.start_year, r.run.start_month, r.run.start_day, r.run.start_hour,
                                 r.run.backward};
        conset(ctl, r.grids, start, first, r.run.model_top, cpack, r.spacing);
        depset(ctl, r.dirt, r.numtyp, r.sw);
    } catch (const RunStop& s) {
        r.stop = s.code();
    }
    r.console = console.text();
    ctl.close();
    return r;
}

inline ControlRecords read_control_file() {
    std::istringstream none;
    return read_control(none);
}

// A control input with one of everything; the parts can be replaced.
struct ControlText {
    std::string start = "08 01 15 06";
    std::string locations = "2\n40.0,-90.0,50.0\n41.5 -91.25 10.0 5.0 # second\n";
    std::string run = "24\n0\n20000.0\n";
    std::string met = "1 2   # grids and times\n./met/\nm1.bin\n./met/\nm2.bin\n";
    std::string pollutants = "1\nSO2\n2.5\n12.0\n0 0 0 6 0\n";
    std::string grids = "1\n0.0 0.0\n0.5 0.5\n30.0 60.0\n./out/\ncdump\n3\n0 100 500\n0 0 0 0 0\n0 0 0 0 0\n0 3 0\n";
    std::string deposition = "1\n0.0 0.0 0.0\n0.0 200.0 0.0 0.0 0.1\n0.5 0.0 0.0\n8.04\n0.0\n";
    std::string text() const {
        return start + "\n" + locations + run + met + pollutants + grids + deposition;
    }
};

}  // namespace orv::test
