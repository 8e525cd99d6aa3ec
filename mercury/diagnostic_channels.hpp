#pragma once
// Diagnostic channels: 1000 numbered outputs for sampled dumps of the
// chemistry, deposition and set-up code. A channel writes only when its
// probability selects it; as set up at start-up only channels 0 and 30 are
// enabled. Channels 50 to 54 carry the five receptor output files.

#include <array>
#include <cstdint>
#include <memory>

#include "common/text_output.hpp"

namespace orv {

struct DiagnosticChannels {
    static constexpr int32_t kCount = 1000;

    std::array<int32_t, kCount> channel_unit{};
    std::array<float, kCount> channel_probability{};
    std::array<bool, kCount> diagnostic_sampling_flags{};
    std::array<int32_t, kCount> nwrite{};
    // The open file of each channel (closed for a channel never written).
    std::unique_ptr<std::array<TextOut, kCount>> files = std::make_unique<std::array<TextOut, kCount>>();

    bool enabled(int32_t c) const { return c >= 0 && c < kCount && channel_probability[c] > 0.0f; }
    TextOut& file(int32_t c) { return (*files)[static_cast<size_t>(c)]; }
};

}  // namespace orv
