// The species conversion table "CHEMRATE.TXT" on arbitrary text: the table is
// read and applied to a particle; none may crash or touch a slot outside the
// particle's mass column.

#include <cstdint>
#include <vector>

#include "common/run_stop.hpp"
#include "dispersion/first_order_conversion.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static orv::fuzz::WorkFolder folder("orv_rate_fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orv::fuzz::write_input("CHEMRATE.TXT", data, size);
    orv::fuzz::QuietConsole quiet;
    try {
        std::vector<orv::Pollutant> dirt(2);
        orv::ParticleArrays p;
        orv::allocate_particle_arrays(p, 1, 3, quiet.console);
        p.mass(0, 0) = 1.0f;
        orv::ReactionTable table;
        for (int32_t k = 0; k < 3; ++k) orv::chem02(dirt, 15.0f, p, 0, table, quiet.msg());
    } catch (const orv::RunStop&) {
    }
    return 0;
}
