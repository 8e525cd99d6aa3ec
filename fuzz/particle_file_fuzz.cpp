// The particle initialisation file reader on arbitrary bytes: every input
// either passes the check of the whole file and then loads, waits or closes
// the file, or stops the run with its code; none may crash, read past a
// record or allocate more than the file holds. Half the inputs skip the
// check, so that parinp's own checks are reached with any value.

#include <cstdint>
#include <string>

#include "common/run_stop.hpp"
#include "dispersion/particle_files.hpp"
#include "run/calendar.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

struct Setup {
    orv::fuzz::WorkFolder folder{"orv_particle_file_fuzz"};
    orv::MeteoFiles met;
    std::string path = (folder.path() / "PARINIT").string();
    Setup() {
        orv::tminit();
        orv::fuzz::set_up_test_grid(met, 100, 20.0f, 230.0f, 1.0f);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (!orv::fuzz::write_input(setup.path, data, size)) return 0;
    orv::ParticleArrays p;
    orv::fuzz::QuietConsole quiet;
    orv::allocate_particle_arrays(p, 16, 2, quiet.console);
    orv::ParticleFiles files;
    files.init_name = setup.path;
    if (!files.init.open(setup.path)) return 0;
    const int32_t start = orv::tm2min(24, 7, 1, 6, 0, quiet.console);
    try {
        // The check of the whole file, start-up, then a few hour ends, as
        // the driver calls them, forward or backward.
        const bool backward = size % 4 == 0;
        if (size % 2 == 0)
            orv::check_particle_init_file(start, backward, 1, p, 25000.0f, setup.met, files, quiet.msg());
        for (int32_t h = 0; h < 4 && files.init.is_open(); ++h)
            orv::parinp(start + (backward ? -60 : 60) * h, 1, p, 25000.0f, h == 2 ? 3 : 1, setup.met, files,
                        quiet.msg());
    } catch (const orv::RunStop&) {
    }
    return 0;
}
