// Fuzz target of the receptor definition file: the input is "recp_data.txt".
// The file is read, its summaries and polygon files are written, and the
// footprint test runs on a few particles and puffs over the receptors read.

#include <cstdint>
#include <vector>

#include "common/run_stop.hpp"
#include "fuzz/fuzz_support.hpp"
#include "mercury/footprints.hpp"
#include "mercury/receptor_files.hpp"

namespace {

const orv::fuzz::WorkFolder& work_folder() {
    static orv::fuzz::WorkFolder folder("orv_recp_fuzz", {"receptors", "run"}, "run");
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    work_folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orv::fuzz::write_input("../receptors/recp_data.txt", data, size);
    {
        orv::fuzz::QuietConsole quiet;
        orv::Hgsim hgsim;
        hgsim.nland = 20;
        const orv::CategorySelection selection = orv::CategorySelection::only(13);
        orv::ReceptorTables tables;
        try {
            int32_t count = 0, ndivmax = 0;
            orv::recp_ini(selection, hgsim, count, ndivmax, quiet.console);
            orv::read_receptor_data(selection, hgsim, count, ndivmax, tables, quiet.console);
            orv::write_polygon_files(tables, quiet.console);
            orv::DiagnosticChannels channels;
            orv::initialise_diagnostic_channels(channels, quiet.console);
            std::vector<float> pfrac(static_cast<size_t>(count));
            for (const orv::Receptor& r : tables.receptors)
                for (int32_t type : {0, 2, 4})
                    orv::flag_touched_receptors(type, r.centre_lat, r.centre_lon, 5000.0f, tables, pfrac, channels);
        } catch (const orv::RunStop&) {
        }
    }
    work_folder().empty("run");
    return 0;
}
