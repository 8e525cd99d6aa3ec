#pragma once
// Packing of one field into the bytes of a meteorological record: the exact
// inverse of the model's unpacking. Every byte is chosen against the value
// the unpacking will have reached at that point (same float operations, same
// order), so the unpacked field lies within half a packing step of the
// values packed.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orv::fixture {

struct PackedField {
    std::vector<uint8_t> bytes;  // nx*ny, row 1 first, x fastest
    int32_t nexp = 0;            // scaling exponent: step = 2^(nexp-7)
    float prec = 0.0f;           // as it reads back from the label
    float var1 = 0.0f;           // as it reads back from the label
    std::string prec_text;       // E14.7 label fields
    std::string var1_text;
    int32_t checksum = 0;
    float step = 0.0f;
};

// Packs values(nx*ny). `prec` is the label's precision: unpacked values
// smaller in magnitude become 0. Throws std::invalid_argument on a value
// that is not finite.
PackedField pack_field(std::span<const float> values, int32_t nx, int32_t ny, float prec = 0.0f);

}  // namespace orv::fixture
