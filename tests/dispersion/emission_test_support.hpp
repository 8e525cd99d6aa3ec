#pragma once
// Helpers of the emission, sampler and conversion tests: a latitude-longitude
// meteorological grid without data files, a message log in a string, and a
// call that may stop the run with its console output.

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "common/run_stop.hpp"
#include "common/text_output.hpp"
#include "run/calendar.hpp"
#include "meteo/grid_projection.hpp"
#include "meteo/met_tables.hpp"
#include "tests/test_support.hpp"

namespace orv::test {

// Grid 1 (time 1): 60 x 60 points of 0.5 degrees, point (1,1) at 30N 100W.
inline MeteoFiles latlon_met(int32_t nx = 60, int32_t ny = 60) {
    tminit();
    MeteoFiles met;
    MetGridDefinition& g = met.grid(1, 1);
    g.grid_number = 1;
    g.nx = nx;
    g.ny = ny;
    g.nz = 5;
    g.header[kSyncLat] = 30.0f;
    g.header[kSyncLon] = 260.0f;
    g.header[kRefLat] = 0.5f;
    g.header[kRefLon] = 0.5f;
    g.header[kPoleLat] = 30.0f + 0.5f * static_cast<float>(ny - 1);
    g.header[kPoleLon] = 260.0f + 0.5f * static_cast<float>(nx - 1);
    set_up_met_grid(g);
    met.num_grids = 1;
    met.num_times = 1;
    return met;
}

// A message log written to a string, with the console of the same calls.
struct Messages {
    std::ostringstream text;
    TextOut log;
    TestConsole console;
    Messages() { log.attach(text); }
    orv::Messages msg() { return console.with(log); }
    std::string str() const { return text.str(); }
    size_t count(const std::string& what) const {
        const std::string s = text.str();
        size_t n = 0;
        for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
        return n;
    }
};

struct StopOutcome {
    int32_t stop = 0;  // 0: the call returned
    std::string console;
};

// Runs f, which writes its console lines to `console`: the stop it ends
// with and the console lines it wrote.
inline StopOutcome run_captured(TestConsole& console, const std::function<void()>& f) {
    StopOutcome o;
    const size_t before = console.text().size();
    try {
        f();
    } catch (const RunStop& e) {
        o.stop = e.code();
    }
    o.console = console.text().substr(before);
    return o;
}

}  // namespace orv::test
