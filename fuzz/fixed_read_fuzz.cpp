// Fuzz target: the fixed-column reader. The first byte picks a format: one of
// the layouts the model reads, or (high bit set) a format taken from the
// first line of the input, which must parse or be refused with
// std::invalid_argument. The rest is the record. A malformed field must end
// in orv::InputError, nothing else.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "common/fortran_format.hpp"
#include "common/run_stop.hpp"

namespace {

const char* const kLayouts[] = {
    "(5I2,2X,A2,A4)",  "(5I2,4X,A4)", "(6I2,2X,A4,I4,2E14.7)", "(5I2,2X,I2,A4)", "(A4,I3,I2,12F7.0,3I3,I2,I4)",
    "(F6.2,I2)",       "(A4,I3)",     "(I3,I2)",               "(14X,A4)",       "(5I2)",
    "(20I6)",          "(A4)",        "(2F10.3,T5,I3,TL2,L3,TR1,G12.4)", "(3(I2,1X,F5.1),ES10.2E3,D9.2)",
};
constexpr size_t kLayoutCount = sizeof kLayouts / sizeof kLayouts[0];

// The data descriptors in the order a read meets them (repeats expanded),
// at most `limit` of them.
void data_order(const orv::fmt::Format& f, size_t limit, std::vector<orv::fmt::Op>& ops) {
    const auto& steps = f.steps();
    struct Loop { size_t open; int32_t left; };
    std::vector<Loop> stack;
    size_t pc = 0, guard = 0;
    while (pc < steps.size() && ops.size() < limit && ++guard < 100000) {
        const orv::fmt::Step& st = steps[pc];
        switch (st.op) {
            case orv::fmt::Op::Open:
                if (st.w <= 0) {
                    int level = 0;
                    while (++pc < steps.size()) {
                        if (steps[pc].op == orv::fmt::Op::Open) ++level;
                        if (steps[pc].op == orv::fmt::Op::Close && level-- == 0) break;
                    }
                } else {
                    stack.push_back({pc, st.w});
                }
                ++pc;
                break;
            case orv::fmt::Op::Close:
                if (--stack.back().left > 0) {
                    pc = stack.back().open + 1;
                } else {
                    stack.pop_back();
                    ++pc;
                }
                break;
            case orv::fmt::Op::Int:
            case orv::fmt::Op::Fixed:
            case orv::fmt::Op::Exp:
            case orv::fmt::Op::Sci:
            case orv::fmt::Op::General:
            case orv::fmt::Op::Chars:
            case orv::fmt::Op::Logical: ops.push_back(st.op); ++pc; break;
            default: ++pc; break;
        }
    }
}

// Reads the record with the format into targets of the descriptors' types:
// integers under I, reals under F, E, D, G, text under A, logicals under L.
void read_all(std::string_view record, const orv::fmt::Format& f) {
    constexpr size_t kMax = 64;
    std::vector<orv::fmt::Op> ops;
    data_order(f, kMax, ops);
    std::vector<int32_t> ints(kMax);
    std::vector<float> floats(kMax);
    std::vector<double> doubles(kMax);
    std::vector<std::string> texts(kMax);
    bool flags[kMax] = {};
    std::vector<orv::fmt::Target> targets;
    for (size_t k = 0; k < ops.size(); ++k) {
        switch (ops[k]) {
            case orv::fmt::Op::Int: targets.emplace_back(ints[k]); break;
            case orv::fmt::Op::Fixed:
            case orv::fmt::Op::General: targets.emplace_back(floats[k]); break;
            case orv::fmt::Op::Chars: targets.emplace_back(texts[k]); break;
            case orv::fmt::Op::Logical: targets.emplace_back(flags[k]); break;
            default: targets.emplace_back(doubles[k]); break;
        }
    }
    try {
        orv::fmt::read(record, f, std::span<const orv::fmt::Target>(targets));
    } catch (const orv::InputError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 0x80) {
        // A format of the input's own, then the record.
        size_t eol = rest.find('\n');
        std::string_view spec = rest.substr(0, eol);
        std::string_view record = eol == std::string_view::npos ? std::string_view() : rest.substr(eol + 1);
        try {
            orv::fmt::Format f(spec);
            read_all(record, f);
        } catch (const std::invalid_argument&) {
        }
        return 0;
    }
    const orv::fmt::Format f(kLayouts[data[0] % kLayoutCount]);
    read_all(rest, f);
    // The single-field parsers, on the whole record.
    try {
        (void)orv::fmt::parse_float_field(rest, data[0] % 8);
    } catch (const orv::InputError&) {
    }
    try {
        (void)orv::fmt::parse_real_field(rest, data[0] % 8);
    } catch (const orv::InputError&) {
    }
    try {
        (void)orv::fmt::parse_int_field(rest);
    } catch (const orv::InputError&) {
    }
    return 0;
}
