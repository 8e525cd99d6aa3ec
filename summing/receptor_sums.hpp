#pragma once
// The receptor summing tool (the program deptally): sums the receptor
// deposition of a finished run over all its output times.
//
// Reads "recpmass.out" and "recp_summary.out" and writes "recpsum_1.out",
// "recpsum_2.out" and "recpsum_3.out", one line per receptor, the path totals
// first as the pseudo-receptor 0 ("path_tot").
//
// "recpmass.out" is read in blocks of 60 lines per output time: four blocks
// of five paths of three record kinds each (block outermost, kind
// innermost), each line the path total and one value per receptor. Only
// complete blocks are summed; a line whose path index is not the expected
// one is reported and summed all the same.

#include <cstdint>
#include <filesystem>

#include "common/text_output.hpp"

namespace orv {

// Blocks, paths and record kinds of one output time in "recpmass.out".
inline constexpr int32_t kTallyBlocks = 4;
inline constexpr int32_t kTallyPaths = 5;
inline constexpr int32_t kTallyKinds = 3;

// Runs the tool on the files of `directory`, writing its progress lines to
// `console`. Returns the exit status: 0 when the three sum files are
// written, 1 when an input is missing or unusable or holds no complete
// output time, or when a sum file cannot be written (named on the console).
int32_t sum_receptor_output(const std::filesystem::path& directory, TextOut& console);

}  // namespace orv
