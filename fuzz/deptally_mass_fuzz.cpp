// Fuzz target of deptally's reading of "recpmass.out": the input is that
// file, beside a fixed "recp_summary.out" of two receptors.

#include <cstdint>
#include <fstream>

#include "fuzz/fuzz_support.hpp"
#include "summing/receptor_sums.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static orv::fuzz::WorkFolder folder("orv_mass_fuzz");
    std::ofstream f("recp_summary.out", std::ios::binary | std::ios::trunc);
    f << "    1  first                        5    1    12359.959961       0.500000       0.500000      -0.500000"
         "       1.500000      -0.500000       1.500000\n"
         "    2  second                       7    2     8663.540039      45.500000      10.500000       9.500000"
         "      11.500000      44.500000      46.500000\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orv::fuzz::write_input("recpmass.out", data, size);
    orv::fuzz::QuietConsole quiet;
    orv::sum_receptor_output(".", quiet.console);
    return 0;
}
