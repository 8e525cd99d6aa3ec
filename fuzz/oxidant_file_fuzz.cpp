// Fuzz target: the monthly oxidant file reader, on arbitrary file contents.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "mercury/global_oxidants.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<float> field(orv::GlobalChemGrid::kPoints);
    std::istringstream text(std::string(reinterpret_cast<const char*>(data), size));
    orv::TextInput in;
    in.attach(text, "fuzz");
    orv::OxidantReadProblem problem;
    for (int32_t k = 1; k <= orv::GlobalChemGrid::kNlev; ++k)
        if (!orv::read_oxidant_level(in, k, field, problem) || !orv::check_oxidant_level(k, field, problem)) break;
    return 0;
}
