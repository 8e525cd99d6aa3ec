// The emission file reader on arbitrary text: every input is read into the
// source table over a few hours, forward and backward, and the table is
// released from; none may crash, read past an array or allocate more than
// the file holds. A run stop is a valid outcome.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "common/run_stop.hpp"
#include "dispersion/emission_file.hpp"
#include "dispersion/emission_release.hpp"
#include "driver/calendar.hpp"
#include "meteo/grid_projection.hpp"

namespace {

struct Setup {
    orv::MeteoFiles met;
    std::string path;
    Setup() {
        orv::tminit();
        orv::MetGridDefinition& g = met.grid(1, 1);
        g.grid_number = 1;
        g.nx = g.ny = 60;
        g.header[orv::kSyncLat] = 30.0f;
        g.header[orv::kSyncLon] = 260.0f;
        g.header[orv::kRefLat] = 0.5f;
        g.header[orv::kRefLon] = 0.5f;
        g.header[orv::kPoleLat] = 59.5f;
        g.header[orv::kPoleLon] = 289.5f;
        orv::set_up_met_grid(g);
        met.num_grids = 1;
        met.num_times = 1;
        path = "/tmp/emission_file_fuzz_" + std::to_string(::getpid());
    }
};

void run(const Setup& setup, int32_t nsrc, int32_t numtyp, bool backward, orv::TextOut& log) {
    orv::SourcePollutantMatrix m;
    orv::allocate_source_pollutant_matrix(m, nsrc, numtyp);
    orv::EmissionFileState state;
    std::string efile = setup.path;
    orv::Settings s;
    s.NUMPAR = 50;
    orv::ParticleArrays p;
    orv::allocate_particle_arrays(p, 200, numtyp);
    const int32_t start = orv::tm2min(2024, 1, 1, 0, 0);
    try {
        for (int32_t h = 0; h < 6; ++h) {
            const int32_t now = backward ? start + 60 * (5 - h) : start + 60 * h;
            orv::emsmat(m, setup.met, now, 1, nsrc, numtyp, efile, state, backward, log);
            if (!state.efile_active) continue;
            orv::emstmp(m, nsrc, numtyp, s, backward ? -30.0f : 30.0f, now, p, log);
        }
    } catch (const orv::RunStop&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (std::FILE* f = std::fopen(setup.path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    std::ostringstream sink;
    orv::TextOut log;
    log.attach(sink);
    std::streambuf* console = std::cout.rdbuf(sink.rdbuf());
    run(setup, 2, 1, false, log);
    run(setup, 2, 2, true, log);
    std::cout.rdbuf(console);
    return 0;
}
