// The sampler file "LAGSET.CFG" on arbitrary text: it is read, its samplers
// started, sampled and written over a few steps; none may crash, read past an
// array or allocate more than the file holds. Output files land in a scratch
// folder emptied after every input.

#include <cstdint>
#include <vector>

#include "common/run_stop.hpp"
#include "dispersion/lagrangian_samplers.hpp"
#include "run/calendar.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

struct Setup {
    orv::fuzz::WorkFolder folder{"orv_sampler_fuzz"};
    orv::MeteoFiles met;
    std::vector<orv::ConcentrationGrid> grids;
    orv::ConcentrationArray conc;
    Setup() {
        orv::fuzz::QuietConsole quiet;
        orv::tminit();
        orv::fuzz::set_up_test_grid(met);
        orv::ConcentrationGrid c;
        c.sampling_type = 1;
        c.lat_points = c.lon_points = 20;
        c.lower_left_lat = 30.0f;
        c.lower_left_lon = -100.0f;
        c.heights[0] = 1000;
        c.start_minute = orv::tm2min(2024, 1, 1, 0, 0, quiet.console);
        c.stop_minute = c.start_minute + 1440;
        grids = {c};
        orv::allocate_concentration_array(conc, grids, 1, quiet.console);
        conc.values.fill(1.0f);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    orv::fuzz::write_input("LAGSET.CFG", data, size);
    {
        orv::fuzz::QuietConsole quiet;
        const orv::Messages msg = quiet.msg();
        orv::TextOut& log = quiet.log;
        try {
            orv::LagrangianSamplers ls;
            orv::read_sampler_file(ls, setup.met, 1, 1, msg);
            orv::ParticleArrays p;
            orv::allocate_particle_arrays(p, 8, 1, msg.console);
            int32_t now = setup.grids[0].start_minute;
            for (int32_t k = 0; k < 6; ++k) {
                orv::lagems(ls, now, p, log);
                for (int32_t i = 0; i < p.particle_count; ++i) {
                    float lat = 0.0f, lon = 0.0f;
                    if (p.particle_grid[i] == 1)
                        orv::convert_latlon_grid_to_geo(setup.met.grid(1, 1), p.particle_x[i], p.particle_y[i], lat,
                                                        lon);
                    orv::lagsum(ls, setup.grids, orv::SummationStep{15.0f, now, 25000.0f, 0},
                                orv::SummationPoint{lat, lon, 0.0f}, p, i, setup.conc, msg);
                }
                now += 15;
                orv::update_lagrangian_samplers(ls, now, 15.0f, p, 25000.0f, setup.met, 1, msg.console);
            }
        } catch (const orv::RunStop&) {
        }
    }
    setup.folder.empty();
    return 0;
}
