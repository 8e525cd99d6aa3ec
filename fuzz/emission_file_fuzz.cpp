// The emission file reader on arbitrary text: every input is read into the
// source table over a few hours, forward and backward, and the table is
// released from; none may crash, read past an array or allocate more than
// the file holds. A run stop is a valid outcome.

#include <cstdint>
#include <string>

#include "common/run_stop.hpp"
#include "dispersion/emission_file.hpp"
#include "dispersion/emission_release.hpp"
#include "run/calendar.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

struct Setup {
    orv::fuzz::WorkFolder folder{"orv_emission_file_fuzz"};
    orv::MeteoFiles met;
    std::string path = (folder.path() / "emission_file").string();
    Setup() {
        orv::tminit();
        orv::fuzz::set_up_test_grid(met);
    }
};

void run(const Setup& setup, int32_t nsrc, int32_t numtyp, bool backward, orv::Messages msg) {
    orv::SourcePollutantMatrix m;
    orv::allocate_source_pollutant_matrix(m, nsrc, numtyp);
    orv::EmissionFileState state;
    std::string efile = setup.path;
    orv::Settings s;
    s.NUMPAR = 50;
    orv::ParticleArrays p;
    orv::allocate_particle_arrays(p, 200, numtyp, msg.console);
    const int32_t start = orv::tm2min(2024, 1, 1, 0, 0, msg.console);
    try {
        for (int32_t h = 0; h < 6; ++h) {
            const int32_t now = backward ? start + 60 * (5 - h) : start + 60 * h;
            orv::emsmat(m, setup.met, now, 1, nsrc, numtyp, efile, state, backward, msg);
            if (!state.efile_active) continue;
            orv::emstmp(m, nsrc, numtyp, s, backward ? -30.0f : 30.0f, now, p, msg);
        }
    } catch (const orv::RunStop&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    if (!orv::fuzz::write_input(setup.path, data, size)) return 0;
    orv::fuzz::QuietConsole quiet;
    run(setup, 2, 1, false, quiet.msg());
    run(setup, 2, 2, true, quiet.msg());
    return 0;
}
