#include "meteo/pakinp.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "meteo/packed_format.hpp"

namespace orv {

namespace {

// Runs ROWS window rows side by side: each row's running sum is a chain of
// additions of its own, so interleaving independent rows keeps the adder busy
// while every row is still summed strictly in its own order.
template <int ROWS>
void unpack_rows(const float* step, const uint8_t* const* in, float* const* out, int64_t stride, const float* start,
                 int32_t x1, int32_t xend, float prec) {
    float w[ROWS];
    for (int r = 0; r < ROWS; ++r) {
        w[r] = start[r];
        if (x1 == 1) out[r][0] = start[r];
    }
    // Columns left of the window: sums only.
    for (int32_t i = 2; i < x1; ++i)
        for (int r = 0; r < ROWS; ++r) w[r] += step[in[r][i - 1]];
    const int32_t from = std::max<int32_t>(2, x1);
    for (int32_t i = from; i <= xend; ++i) {
        for (int r = 0; r < ROWS; ++r) {
            w[r] += step[in[r][i - 1]];
            out[r][(i - x1) * stride] = std::fabs(w[r]) < prec ? 0.0f : w[r];
        }
    }
}

}  // namespace

float packing_step(int32_t nexp) {
    int32_t e = std::clamp<int32_t>(nexp, -400, 400) - 7;
    return std::ldexp(1.0f, e);
}

void PAKINP(FieldView2D out, const uint8_t* packed, int32_t nx, int32_t ny, const UnpackWindow& w, float prec,
            int32_t nexp, float var1, int32_t& checksum) {
    const float scale = packing_step(nexp);
    float step[256];
    for (int32_t c = 0; c < 256; ++c) step[c] = static_cast<float>(c - 127) * scale;

    const int64_t row_len = nx;
    const int32_t xend = w.x1 + w.nx - 1;
    const int32_t jend = w.y1 + w.ny - 1;

    // Column 1 up to the window.
    float v = var1;
    int32_t j = 1;
    for (; j < w.y1; ++j) v += step[packed[(j - 1) * row_len]];

    constexpr int kBlock = 8;
    while (j <= jend) {
        const int32_t left = jend - j + 1;
        const int32_t n = left >= kBlock ? kBlock : (left >= 4 ? 4 : 1);
        float start[kBlock];
        const uint8_t* in[kBlock];
        float* o[kBlock];
        for (int32_t b = 0; b < n; ++b) {
            const uint8_t* row = packed + (j + b - 1) * row_len;
            v += step[row[0]];
            start[b] = v;
            in[b] = row;
            o[b] = &out.at(1, j + b - w.y1 + 1);
        }
        if (n == kBlock)
            unpack_rows<kBlock>(step, in, o, out.step, start, w.x1, xend, prec);
        else if (n == 4)
            unpack_rows<4>(step, in, o, out.step, start, w.x1, xend, prec);
        else
            unpack_rows<1>(step, in, o, out.step, start, w.x1, xend, prec);
        j += n;
    }

    if (checksum == 0)
        checksum = packed_checksum(std::span<const uint8_t>(packed, static_cast<size_t>(int64_t{nx} * ny)));
}

}  // namespace orv
