#pragma once
// Views of meteorological fields held elsewhere (the sub-grid arrays): a 2-D
// field of x by y points and a 3-D field of levels of such planes. Indices
// are 1-based, x running fastest.

#include <cstdint>

namespace orv {

struct FieldView2D {
    float* data = nullptr;
    int64_t ldx = 0;  // distance between rows

    bool empty() const { return data == nullptr; }
    float& at(int32_t i, int32_t j) const { return data[(i - 1) + (j - 1) * ldx]; }
    float* row(int32_t j) const { return data + (j - 1) * ldx; }
};

struct FieldView3D {
    float* data = nullptr;
    int64_t ldx = 0;    // distance between rows
    int64_t plane = 0;  // distance between levels
    int32_t nz = 0;     // levels

    bool empty() const { return data == nullptr; }
    FieldView2D level(int32_t k) const { return FieldView2D{data + (k - 1) * plane, ldx}; }
    float& at(int32_t i, int32_t j, int32_t k) const { return data[(i - 1) + (j - 1) * ldx + (k - 1) * plane]; }
};

}  // namespace orv
