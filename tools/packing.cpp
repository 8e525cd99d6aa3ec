#include "tools/packing.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "common/fortran_format.hpp"
#include "meteo/packed_format.hpp"
#include "meteo/pakinp.hpp"

namespace orv::fixture {

namespace {

// Largest difference the packing walks over: VAR1 to (1,1), up column 1, and
// along every row.
double largest_step(std::span<const float> f, int32_t nx, int32_t ny, float var1) {
    double d = 0.0;
    double prev = var1;
    for (int32_t j = 0; j < ny; ++j) {
        double c = f[static_cast<size_t>(j) * nx];
        d = std::max(d, std::fabs(c - prev));
        prev = c;
        const float* row = f.data() + static_cast<size_t>(j) * nx;
        for (int32_t i = 1; i < nx; ++i) d = std::max(d, std::fabs(double{row[i]} - row[i - 1]));
    }
    return d;
}

// One packing attempt with a given exponent; false when a difference does
// not fit in a byte.
bool pack_with(std::span<const float> f, int32_t nx, int32_t ny, int32_t nexp, float var1, std::vector<uint8_t>& out) {
    const float step = packing_step(nexp);
    float table[256];
    for (int32_t c = 0; c < 256; ++c) table[c] = static_cast<float>(c - 127) * step;
    auto code = [&](double target, float from, int32_t& c) {
        double k = std::nearbyint((target - from) / step);
        if (!(k >= -127.0 && k <= 128.0)) return false;
        c = static_cast<int32_t>(k) + 127;
        return true;
    };
    float v = var1;
    for (int32_t j = 0; j < ny; ++j) {
        const size_t base = static_cast<size_t>(j) * nx;
        int32_t c = 0;
        if (!code(f[base], v, c)) return false;
        out[base] = static_cast<uint8_t>(c);
        v += table[c];
        float w = v;
        for (int32_t i = 1; i < nx; ++i) {
            if (!code(f[base + i], w, c)) return false;
            out[base + i] = static_cast<uint8_t>(c);
            w += table[c];
        }
    }
    return true;
}

}  // namespace

PackedField pack_field(std::span<const float> values, int32_t nx, int32_t ny, float prec) {
    const size_t n = static_cast<size_t>(nx) * ny;
    if (nx < 1 || ny < 1 || values.size() < n) throw std::invalid_argument("pack_field: field smaller than the grid");
    double maxabs = 0.0;
    for (size_t k = 0; k < n; ++k) {
        if (!std::isfinite(values[k])) throw std::invalid_argument("pack_field: value is not finite");
        maxabs = std::max(maxabs, std::fabs(double{values[k]}));
    }

    PackedField p;
    // The label's reals are used as they read back.
    p.var1_text = fmt::format_exp(values[0], 14, 7);
    p.prec_text = fmt::format_exp(prec, 14, 7);
    p.var1 = fmt::parse_float_field(p.var1_text, 7);
    p.prec = fmt::parse_float_field(p.prec_text, 7);

    // Exponent: differences must fit 126 steps (leaving room for the half
    // step carried from the previous point), and a step below 2^-21 of the
    // largest value would only pack float rounding.
    int32_t nexp = 0;
    if (maxabs > 0.0) {
        int e = 0;
        std::frexp(maxabs, &e);
        nexp = e - 21 + 7;
    }
    const double d = largest_step(values, nx, ny, p.var1);
    while (126.0 * packing_step(nexp) < d) ++nexp;

    p.bytes.assign(n, 127);
    bool ok = false;
    for (int32_t tries = 0; tries < 16 && !ok; ++tries, ++nexp) {
        ok = pack_with(values, nx, ny, nexp, p.var1, p.bytes);
        if (ok) break;
    }
    if (!ok) throw std::invalid_argument("pack_field: field cannot be packed");
    p.nexp = nexp;
    p.step = packing_step(nexp);
    p.checksum = packed_checksum(p.bytes);
    return p;
}

}  // namespace orv::fixture
