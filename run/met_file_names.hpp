#pragma once
// The meteorological data files named in the control input: a directory and
// a file name for every grid and time period.

#include <array>
#include <cstdint>
#include <string>

namespace orv {

inline constexpr int32_t kMaxMetGrids = 12;
inline constexpr int32_t kMaxMetTimes = 12;

struct MetFileName {
    std::string directory;
    std::string file;
};

using MetFileNames = std::array<std::array<MetFileName, kMaxMetTimes>, kMaxMetGrids>;  // [grid-1][time-1]

}  // namespace orv
