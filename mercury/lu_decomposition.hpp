#pragma once
// LU decomposition of a square matrix with partial pivoting and implicit row
// scaling (Crout's method), and the solution of the factored system for one
// right-hand side. The matrix is stored by columns with leading dimension np:
// element (i, j), both counted from 0, is a[i + j * np].

#include <cstdint>
#include <span>

namespace orv {

// Replaces a by its LU factors (the unit diagonal of L is not stored), fills
// indx (indx[j] is the row, from 0, chosen as the pivot of column j) and d
// (+1 or -1 by the parity of the row interchanges). vv receives the row scale
// factors (n entries). A zero pivot is replaced by 1e-20. Returns false,
// leaving a unchanged, when a row is all zero: the matrix is singular and the
// caller reports it.
bool ludcmp(std::span<double> a, int32_t n, int32_t np, std::span<int32_t> indx, double& d, std::span<double> vv);

// Solves the system factored by ludcmp: b holds the right-hand side on entry
// and the solution on return.
void solve_lu_system(std::span<const double> a, int32_t n, int32_t np, std::span<const int32_t> indx,
                     std::span<double> b);

}  // namespace orv
