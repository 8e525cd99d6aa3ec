// Fuzz target of deptally's reading of "recp_summary.out": the input is that
// file, beside a fixed "recpmass.out" of one output time with one value per
// line beyond the path total.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "summing/receptor_sums.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    auto dir = std::filesystem::temp_directory_path() / ("orv_summary_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    std::ofstream f("recpmass.out", std::ios::binary | std::ios::trunc);
    for (int ip = 1; ip <= 4; ++ip)
        for (int np = 1; np <= 5; ++np)
            for (int k = 1; k <= 3; ++k)
                f << "  1_puff      " << np << "    1  HG0       99       7       1      24       0   1.000000E+00"
                  << "   2.500000E-01\n";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        std::ofstream f("recp_summary.out", std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::ostringstream console;
    orv::sum_receptor_output(".", console);
    return 0;
}
