// Fuzz target of the receptor definition file: the input is "recp_data.txt".
// The file is read, its summaries and polygon files are written, and the
// footprint test runs on a few particles and puffs over the receptors read.

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
std::filesystem::path run_dir;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto dir = std::filesystem::temp_directory_path() / ("orv_recp_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "receptors");
    run_dir = dir / "run";
    std::filesystem::create_directories(run_dir);
    std::filesystem::current_path(run_dir);
    std::cout.rdbuf(sink.rdbuf());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream f("../receptors/recp_data.txt", std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    sink.str("");
    orv::Hgsim hgsim;
    hgsim.nland = 20;
    const orv::CategorySelection selection = orv::CategorySelection::only(13);
    orv::ReceptorTables tables;
    try {
        int32_t count = 0, ndivmax = 0;
        orv::recp_ini(selection, hgsim, count, ndivmax);
        orv::read_receptor_data(selection, hgsim, count, ndivmax, tables);
        orv::write_polygon_files(tables);
        orv::DiagnosticChannels channels;
        orv::initialise_diagnostic_channels(channels);
        std::vector<float> pfrac(static_cast<size_t>(count));
        for (const orv::Receptor& r : tables.receptors)
            for (int32_t type : {0, 2, 4})
                orv::flag_touched_receptors(type, r.centre_lat, r.centre_lon, 5000.0f, tables, pfrac, channels);
    } catch (const orv::RunStop&) {
    }
    for (const auto& e : std::filesystem::directory_iterator(run_dir)) std::filesystem::remove(e.path());
    return 0;
}
