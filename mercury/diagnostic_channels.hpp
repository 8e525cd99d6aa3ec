#pragma once
// Diagnostic channels: 1000 numbered outputs for sampled dumps of the
// chemistry, deposition and set-up code. A routine draws one uniform number
// per call from the channels' own generator and writes a dump to a channel
// only where that draw selects it; as set up at start-up only channels 0 and
// 30 are enabled. Channels 50 to 54 carry the five receptor output files.
//
// The usual selection rule: a channel with probability p fires for a draw r
// when 0.5 <= r <= 0.5 + p, so a negative probability never fires, p between
// 0 and 0.5 fires in a share p of the calls and 0.5 or more in half of them.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/fortran_format.hpp"
#include "common/text_output.hpp"

namespace orv {

// The uniform generator of the diagnostic draws, shared by the mercury steps
// and the driver: a combined linear congruential generator (moduli 2147483563
// and 2147483399, multipliers 40014 and 40692). It starts from the same seeds
// in every run, so which dumps fire is repeatable. It is not the dispersion
// generator.
class ChannelRandom {
public:
    static constexpr int32_t kSeed1 = 1234567;
    static constexpr int32_t kSeed2 = 7654321;

    // The next number, uniform in [0, 1). Defined here so that the loops
    // drawing once per call take it without a call.
    float next() {
        // Schrage's decomposition keeps every product within 32 bits.
        int32_t k = s1_ / 53668;
        s1_ = 40014 * (s1_ - k * 53668) - k * 12211;
        if (s1_ < 0) s1_ += 2147483563;
        k = s2_ / 52774;
        s2_ = 40692 * (s2_ - k * 52774) - k * 3791;
        if (s2_ < 0) s2_ += 2147483399;
        int32_t z = s1_ - s2_;
        if (z < 1) z += 2147483562;
        // z is in 1 .. 2147483562; (z - 1) / 2147483562 lies in [0, 1), and
        // its single-precision value may round up to 1, which is never
        // returned.
        float r = static_cast<float>(static_cast<double>(z - 1) / 2147483562.0);
        return r < 1.0f ? r : 0.99999994f;
    }
    void reset() {
        s1_ = kSeed1;
        s2_ = kSeed2;
    }

private:
    int32_t s1_ = kSeed1;
    int32_t s2_ = kSeed2;
};

struct DiagnosticChannels {
    static constexpr int32_t kCount = 1000;

    std::array<int32_t, kCount> channel_unit{};
    std::array<float, kCount> channel_probability{};
    std::array<bool, kCount> diagnostic_sampling_flags{};
    std::array<int32_t, kCount> channel_tag{};
    std::array<int32_t, kCount> nwrite{};
    float channel_draw = 0.0f;  // the most recent draw
    ChannelRandom generator;
    // The open file of each channel (closed for a channel never written).
    std::unique_ptr<std::array<TextOut, kCount>> files = std::make_unique<std::array<TextOut, kCount>>();
    // The console a failed write of a channel's file is reported to (set by
    // initialise_diagnostic_channels; it outlives the files).
    TextOut* console = nullptr;

    bool enabled(int32_t c) const { return c >= 0 && c < kCount && channel_probability[c] > 0.0f; }
    TextOut& file(int32_t c) { return (*files)[static_cast<size_t>(c)]; }

    // One number from the shared generator, kept in channel_draw.
    float draw() {
        channel_draw = generator.next();
        return channel_draw;
    }
    // Whether the draw r selects channel c by the usual rule.
    bool selects(int32_t c, float r) const { return r >= 0.5f && r <= 0.5f + channel_probability[c]; }
    // One draw; the flag of every listed channel is set by the usual rule.
    // Returns the draw.
    float draw_channels(std::span<const int32_t> list);
    float draw_channels(std::initializer_list<int32_t> list) {
        return draw_channels(std::span<const int32_t>(list.begin(), list.size()));
    }
    // Whether channel c fires in the current call (its flag is set).
    bool fires(int32_t c) const { return c >= 0 && c < kCount && diagnostic_sampling_flags[c]; }

    // The file that a dump to channel c goes to: the file opened for the
    // channel, or else the default file of its unit, "fort." and the unit
    // number, opened (emptied) on first use. Null for a channel without a
    // unit (such channels are never written) or a file that cannot be made.
    TextOut* dump_file(int32_t c);
    // Closes every channel file; the end of the run.
    void close_all();
};

// The channel a routine serving both steps uses: c for caller 1, c + 100 for
// caller 2, 0 for any other caller.
inline int32_t channel_for_caller(int32_t c, int32_t caller) {
    if (caller == 1) return c;
    if (caller == 2) return c + 100;
    return 0;
}

// The name of a diagnostic file opened at start-up: "hg_out." and the channel
// number in three digits.
std::string channel_file_name(int32_t c);

// Fills the channel tables as they stand at start-up: every probability -1.0
// except channels 0 and 30 (1.0); the unit 2000 + c for the channels that
// have one, 0 for the others; flags, tags and counts 0; the generator at its
// seeds. The files the channels open report a failed write to `console`.
void initialise_diagnostic_channels(DiagnosticChannels& ch, TextOut& console);

// ---- writing dumps ----

// One free-format line of the items (a list-directed record).
void dump_list(TextOut* out, std::span<const fmt::Value> items);
template <typename... Args>
void dump_line(TextOut* out, const Args&... args) {
    if (out) out->list(args...);
}
// One formatted record of the items with the field layout `f`.
void dump_record(TextOut* out, const fmt::Format& f, std::span<const fmt::Value> items);

// Collects the items of one dump record; arrays are added element by element.
class DumpItems {
public:
    template <typename T>
    DumpItems& add(const T& v) {
        items_.emplace_back(v);
        return *this;
    }
    template <typename T>
    DumpItems& add_all(std::span<const T> v) {
        for (const T& x : v) items_.emplace_back(x);
        return *this;
    }
    template <typename T, size_t N>
    DumpItems& add_all(const std::array<T, N>& v) {
        return add_all(std::span<const T>(v.data(), N));
    }
    std::span<const fmt::Value> items() const { return items_; }

private:
    std::vector<fmt::Value> items_;
};

}  // namespace orv
