#include "mercury/lu_decomposition.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace orv {
namespace {

// A by columns; solves A x = b and returns max |A x - b| / max |b|.
template <size_t N>
double solve_and_check(std::array<double, N * N> a, std::array<double, N> b) {
    const auto original = a;
    const auto rhs = b;
    std::array<int32_t, N> indx{};
    std::array<double, N> vv{};
    double d = 0.0;
    const int32_t n = static_cast<int32_t>(N);
    EXPECT_TRUE(ludcmp(a, n, n, indx, d, vv));
    solve_lu_system(a, n, n, indx, b);
    double worst = 0.0, scale = 0.0;
    for (size_t i = 0; i < N; ++i) {
        double s = 0.0;
        for (size_t j = 0; j < N; ++j) s += original[i + j * N] * b[j];
        worst = std::max(worst, std::fabs(s - rhs[i]));
        scale = std::max(scale, std::fabs(rhs[i]));
    }
    return worst / scale;
}

TEST(LuDecomposition, SolvesBadlyScaledSystems) {
    // Rows of very different magnitudes, as in the equilibrium Jacobian.
    std::array<double, 16> a = {1e-14, 0.0, 3.0, 1e6,  // column 1
                                2e-14, 1e-22, 0.0, 2.0,
                                0.0, 5e-22, 1.0, 0.0,
                                1e-15, 0.0, -1.0, 7.0};
    EXPECT_LT(solve_and_check<4>(a, {1e-14, 2e-22, 3.0, 4e6}), 1e-14);
    // A permutation matrix needs every row swapped into place.
    std::array<double, 9> p = {0, 0, 1, 1, 0, 0, 0, 1, 0};
    EXPECT_LT(solve_and_check<3>(p, {1.0, 2.0, 3.0}), 1e-15);
}

TEST(LuDecomposition, ATieInTheScaledPivotGoesToTheLaterRow) {
    std::array<double, 4> a = {1.0, 1.0, 1.0, 2.0};  // rows (1 1) and (1 2)
    std::array<int32_t, 2> indx{};
    std::array<double, 2> vv{};
    double d = 0.0;
    // Scaled candidates of column 1: 1 x 1/1 and 1 x 1/2: row 1 wins.
    ASSERT_TRUE(ludcmp(a, 2, 2, indx, d, vv));
    EXPECT_EQ(indx[0], 0);
    EXPECT_EQ(d, 1.0);
    std::array<double, 4> tie = {2.0, 1.0, 1.0, 0.5};  // rows (2 1) and (1 0.5): equal scaled values
    ASSERT_TRUE(ludcmp(tie, 2, 2, indx, d, vv));
    EXPECT_EQ(indx[0], 1);
    EXPECT_EQ(d, -1.0);
    // The exactly singular remainder gets the tiny pivot instead of a zero.
    EXPECT_EQ(tie[3], static_cast<double>(1e-20f));
}

TEST(LuDecomposition, LeadingZerosOfTheRightHandSideAreSkipped) {
    std::array<double, 9> a = {4.0, 1.0, 0.5, 1.0, 3.0, 0.2, 0.0, 1.0, 2.0};
    EXPECT_LT(solve_and_check<3>(a, {0.0, 0.0, 1.0}), 1e-15);
    EXPECT_LT(solve_and_check<3>(a, {0.0, 1.0, 0.0}), 1e-15);
}

TEST(LuDecomposition, AnAllZeroRowIsReportedAndLeavesTheMatrix) {
    std::array<double, 4> a = {1.0, 0.0, 2.0, 0.0};  // second row zero
    const auto before = a;
    std::array<int32_t, 2> indx{};
    std::array<double, 2> vv{};
    double d = 0.0;
    EXPECT_FALSE(ludcmp(a, 2, 2, indx, d, vv));
    EXPECT_EQ(a, before);
}

TEST(LuDecomposition, HonoursTheLeadingDimension) {
    // A 2 x 2 system held in a 3 x 3 table.
    std::array<double, 9> a = {2.0, 1.0, 99.0, 1.0, 3.0, 99.0, 99.0, 99.0, 99.0};
    std::array<int32_t, 2> indx{};
    std::array<double, 2> vv{};
    double d = 0.0;
    ASSERT_TRUE(ludcmp(a, 2, 3, indx, d, vv));
    std::array<double, 2> b = {3.0, 4.0};
    solve_lu_system(a, 2, 3, indx, b);
    EXPECT_NEAR(b[0], 1.0, 1e-15);
    EXPECT_NEAR(b[1], 1.0, 1e-15);
    EXPECT_EQ(a[2], 99.0);
}

}  // namespace
}  // namespace orv
