// Fuzz target of the cep definition file: the input is "cep_data.txt". The
// file is read, its summary written, and the cep test runs on a puff at every
// cep read.

#include <cstdint>
#include <vector>

#include "common/run_stop.hpp"
#include "fuzz/fuzz_support.hpp"
#include "mercury/footprints.hpp"
#include "mercury/receptor_files.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static orv::fuzz::WorkFolder folder("orv_cep_fuzz", {"receptors", "run"}, "run");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orv::fuzz::write_input("../receptors/cep_data.txt", data, size);
    orv::fuzz::QuietConsole quiet;
    orv::Hgsim hgsim;
    hgsim.nland = 20;
    const orv::CategorySelection selection = orv::CategorySelection::only(14);
    orv::CepTables tables;
    try {
        int32_t count = 0;
        orv::count_cep_records(selection, hgsim, count, quiet.console);
        orv::read_cep_data(selection, hgsim, count, tables, quiet.console);
        orv::DiagnosticChannels channels;
        orv::initialise_diagnostic_channels(channels, quiet.console);
        std::vector<float> cepres(static_cast<size_t>(count));
        for (const orv::Cep& c : tables.ceps)
            orv::ceptest(2, c.lat, c.lon, 10000.0f, tables, cepres, channels, quiet.console);
    } catch (const orv::RunStop&) {
    }
    return 0;
}
