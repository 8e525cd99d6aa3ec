// The species conversion table "CHEMRATE.TXT" on arbitrary text: the table is
// read and applied to a particle; none may crash or touch a slot outside the
// particle's mass column.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "common/run_stop.hpp"
#include "dispersion/first_order_conversion.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto dir = std::filesystem::temp_directory_path() / ("orv_rate_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream f("CHEMRATE.TXT", std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::ostringstream sink;
    orv::TextOut log;
    log.attach(sink);
    std::streambuf* console = std::cout.rdbuf(sink.rdbuf());
    try {
        std::vector<orv::Pollutant> dirt(2);
        orv::ParticleArrays p;
        orv::allocate_particle_arrays(p, 1, 3);
        p.mass(0, 0) = 1.0f;
        orv::ReactionTable table;
        for (int32_t k = 0; k < 3; ++k) orv::chem02(dirt, 15.0f, p, 0, table, log);
    } catch (const orv::RunStop&) {
    }
    std::cout.rdbuf(console);
    return 0;
}
