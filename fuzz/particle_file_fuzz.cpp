// The particle initialisation file reader on arbitrary bytes: every input
// either loads, waits, closes the file or stops the run with its code; none
// may crash, read past a record or allocate more than the file holds.

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "common/run_stop.hpp"
#include "dispersion/particle_files.hpp"
#include "driver/calendar.hpp"

namespace {

struct Setup {
    orv::MeteoFiles met;
    std::string path;
    Setup() {
        orv::tminit();
        orv::MetGridDefinition& g = met.grid(1, 1);
        g.grid_number = 1;
        g.latlon = true;
        g.nx = g.ny = 100;
        g.header[orv::kSyncLat] = 20.0f;
        g.header[orv::kSyncLon] = 230.0f;
        g.header[orv::kRefLat] = 1.0f;
        g.header[orv::kRefLon] = 1.0f;
        path = "/tmp/particle_file_fuzz_" + std::to_string(::getpid());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (std::FILE* f = std::fopen(setup.path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    orv::ParticleArrays p;
    orv::allocate_particle_arrays(p, 16, 2);
    orv::ParticleFiles files;
    files.init_name = setup.path;
    if (!files.init.open(setup.path)) return 0;
    std::ostringstream sink;
    orv::TextOut log;
    log.attach(sink);
    std::streambuf* console = std::cout.rdbuf(sink.rdbuf());
    const int32_t start = orv::tm2min(24, 7, 1, 6, 0);
    try {
        // Start-up, then a few hour ends, as the driver calls it.
        for (int32_t h = 0; h < 4 && files.init.is_open(); ++h)
            orv::parinp(start + 60 * h, 1, p, 25000.0f, h == 2 ? 3 : 1, setup.met, files, log);
    } catch (const orv::RunStop&) {
    }
    std::cout.rdbuf(console);
    return 0;
}
