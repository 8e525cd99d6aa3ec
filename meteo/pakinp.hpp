#pragma once
// Unpacking of one packed record into a window of the grid.
//
// A record holds NX*NY bytes, row 1 first and x running fastest; each byte c
// is a difference (c - 127) * 2^(NEXP-7) from the value before it. Column 1
// runs up through the rows from VAR1; each row then runs along x from its
// column-1 value. Values smaller in magnitude than PREC are stored as 0, except
// the column-1 values of a window that starts at column 1.

#include <cstdint>

#include "meteo/field_view.hpp"

namespace orv {

// Window of the full grid: first column and row (1-based) and its size.
struct UnpackWindow {
    int32_t x1 = 1;
    int32_t y1 = 1;
    int32_t nx = 0;
    int32_t ny = 0;
};

// Unpacks `packed` (nx*ny bytes) into out(1..w.nx, 1..w.ny). When `checksum`
// is 0 on entry it receives the checksum of all nx*ny bytes; any other value
// leaves it alone. The window must lie inside the grid.
void PAKINP(FieldView2D out, const uint8_t* packed, int32_t nx, int32_t ny, const UnpackWindow& w, float prec,
            int32_t nexp, float var1, int32_t& checksum);

// The value of one difference step for an exponent.
float packing_step(int32_t nexp);

}  // namespace orv
