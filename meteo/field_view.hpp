#pragma once
// Views of meteorological fields held elsewhere (the sub-grid arrays, or a
// caller's buffer). Indices are 1-based. A 2-D view steps `step` values from
// one x to the next and `ldx` values from one row to the next; a 3-D view
// steps `plane` values from one level to the next as well.
//
// The sub-grid arrays keep the levels of a point innermost (plane 1) and all
// fields of a point together, so that a column is contiguous and the fields
// the particle loop reads at a point share cache lines. Plain x-fastest
// buffers (step 1, plane ldx * rows) work through the same views.

#include <cstdint>

namespace orv {

struct FieldView2D {
    float* data = nullptr;
    int64_t ldx = 0;   // distance between rows
    int64_t step = 1;  // distance between neighbouring x

    bool empty() const { return data == nullptr; }
    float& at(int32_t i, int32_t j) const { return data[(i - 1) * step + (j - 1) * ldx]; }
};

struct FieldView3D {
    float* data = nullptr;
    int64_t ldx = 0;    // distance between rows
    int64_t plane = 0;  // distance between levels
    int32_t nz = 0;     // levels
    int64_t step = 1;   // distance between neighbouring x

    bool empty() const { return data == nullptr; }
    FieldView2D level(int32_t k) const { return FieldView2D{data + (k - 1) * plane, ldx, step}; }
    float& at(int32_t i, int32_t j, int32_t k) const {
        return data[(i - 1) * step + (j - 1) * ldx + (k - 1) * plane];
    }
    // Level 1 of the column at (i, j); levels follow at distance `plane`.
    float* column(int32_t i, int32_t j) const { return data + (i - 1) * step + (j - 1) * ldx; }
    bool levels_innermost() const { return plane == 1; }
};

// A 2-D integer field (the land-use categories).
struct IntFieldView2D {
    int32_t* data = nullptr;
    int64_t ldx = 0;
    int64_t step = 1;

    bool empty() const { return data == nullptr; }
    int32_t& at(int32_t i, int32_t j) const { return data[(i - 1) * step + (j - 1) * ldx]; }
};

}  // namespace orv
