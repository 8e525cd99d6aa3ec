// Fuzz target of the cep definition file: the input is "cep_data.txt". The
// file is read, its summary written, and the cep test runs on a puff at every
// cep read.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_stop.hpp"
#include "mercury/footprints.hpp"
#include "mercury/receptor_files.hpp"

namespace {

std::ostringstream sink;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto dir = std::filesystem::temp_directory_path() / ("orv_cep_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "receptors");
    std::filesystem::create_directories(dir / "run");
    std::filesystem::current_path(dir / "run");
    std::cout.rdbuf(sink.rdbuf());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream f("../receptors/cep_data.txt", std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    sink.str("");
    orv::Hgsim hgsim;
    hgsim.nland = 20;
    const orv::CategorySelection selection = orv::CategorySelection::only(14);
    orv::CepTables tables;
    try {
        int32_t count = 0;
        orv::count_cep_records(selection, hgsim, count);
        orv::read_cep_data(selection, hgsim, count, tables);
        orv::DiagnosticChannels channels;
        orv::initialise_diagnostic_channels(channels);
        std::vector<float> cepres(static_cast<size_t>(count));
        for (const orv::Cep& c : tables.ceps)
            orv::ceptest(2, c.lat, c.lon, 10000.0f, tables, cepres, channels);
    } catch (const orv::RunStop&) {
    }
    return 0;
}
