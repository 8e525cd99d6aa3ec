// Fuzz target of deptally's reading of "recp_summary.out": the input is that
// file, beside a fixed "recpmass.out" of one output time with one value per
// line beyond the path total.

#include <cstdint>
#include <fstream>

#include "fuzz/fuzz_support.hpp"
#include "summing/receptor_sums.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static orv::fuzz::WorkFolder folder("orv_summary_fuzz");
    std::ofstream f("recpmass.out", std::ios::binary | std::ios::trunc);
    for (int ip = 1; ip <= 4; ++ip)
        for (int np = 1; np <= 5; ++np)
            for (int k = 1; k <= 3; ++k)
                f << "  1_puff      " << np << "    1  HG0       99       7       1      24       0   1.000000E+00"
                  << "   2.500000E-01\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orv::fuzz::write_input("recp_summary.out", data, size);
    orv::fuzz::QuietConsole quiet;
    orv::sum_receptor_output(".", quiet.console);
    return 0;
}
