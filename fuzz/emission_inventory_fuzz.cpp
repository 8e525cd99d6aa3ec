// The gridded inventory on arbitrary bytes: the input up to its first NUL is
// "emission.txt", the rest the data file it may name ("emission_data.txt").
// The inventory is read and released from over a few steps; none may crash,
// read past an array or allocate more than the files hold.

#include <cstdint>
#include <string_view>
#include <vector>

#include "common/run_stop.hpp"
#include "dispersion/emission_inventory.hpp"
#include "run/calendar.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

struct Setup {
    orv::fuzz::WorkFolder folder{"orv_inventory_fuzz"};
    orv::MeteoFiles met;
    std::vector<orv::SourceLocation> locations;
    Setup() {
        orv::tminit();
        orv::fuzz::set_up_test_grid(met);
        locations.resize(2);
        locations[0].lat = 38.0f;
        locations[0].lon = -92.0f;
        locations[0].release_z = 0.996f;
        locations[0].met_grid = 1;
        locations[1].lat = 42.0f;
        locations[1].lon = -88.0f;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t cut = all.find('\0');
    orv::fuzz::write_input("emission.txt", all.substr(0, cut));
    orv::fuzz::write_input("emission_data.txt",
                           cut == std::string_view::npos ? std::string_view() : all.substr(cut + 1));
    orv::fuzz::QuietConsole quiet;
    const orv::Messages msg = quiet.msg();
    try {
        orv::EmissionInventory inv;
        orv::emsini(setup.locations, inv, msg);
        if (inv.present) {
            orv::emsdat(inv, msg);
            std::vector<orv::Pollutant> dirt(2);
            dirt[0].pollutant_id = inv.pollutant_ids.empty() ? "????" : inv.pollutant_ids[0];
            const int32_t start = orv::tm2min(2024, 1, 1, 0, 0, msg.console);
            for (orv::Pollutant& d : dirt) {
                d.emission_hours = 3.0f;
                d.release_start_minute = start;
            }
            orv::Settings s;
            s.NUMPAR = 200;
            orv::ParticleArrays p;
            orv::allocate_particle_arrays(p, 300, 2, msg.console);
            for (int32_t k = 0; k < 4; ++k) {
                s.INITD = k % 2;
                orv::emsgrd(setup.locations, dirt, s, 60.0f, start + 60 * k, setup.met, p, inv, msg);
            }
        }
    } catch (const orv::RunStop&) {
    }
    return 0;
}
