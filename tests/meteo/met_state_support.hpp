#pragma once
// Helpers of the tests of the meteorology in memory: grid tables without
// data files, and message capture.

#include <sstream>
#include <string>

#include "common/text_output.hpp"
#include "tests/test_support.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/meteo_state.hpp"
#include "tools/met_writer.hpp"

namespace orv::test {

// Enters a grid of the given shape as file kt of grid kg, with data from
// `first` to `last` (accumulated minutes) every `interval` minutes.
inline void add_grid(MeteoState& m, int32_t kg, const fixture::GridShape& shape, int32_t first, int32_t last,
                     int32_t interval, int32_t kt = 1, int32_t nz = 5) {
    MetGridDefinition& g = m.files.grid(kg, kt);
    g.grid_number = kg;
    g.header = shape.header;
    g.nx = shape.nx;
    g.ny = shape.ny;
    g.nz = nz;
    set_up_met_grid(g);
    MetFileEntry& f = m.files.file(kg, kt);
    f.first.macc = first;
    f.last.macc = last;
    m.files.layout(kg, kt).flags.data_interval = interval;
    m.files.layout(kg, kt).flags.records_per_period = 1;
    m.files.num_grids = std::max(m.files.num_grids, kg);
    m.files.num_times = std::max(m.files.num_times, kt);
}

// A message log and a console, each written to a string.
struct LogText {
    std::ostringstream text;
    TextOut log;
    TestConsole console;
    LogText() { log.attach(text); }
    Messages msg() { return console.with(log); }
    std::string str() const { return text.str(); }
    size_t count(const std::string& what) const {
        const std::string s = text.str();
        size_t n = 0;
        for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
        return n;
    }
};

}  // namespace orv::test
