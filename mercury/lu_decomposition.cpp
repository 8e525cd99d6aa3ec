#include "mercury/lu_decomposition.hpp"

#include <cmath>
#include <utility>

namespace orv {

bool ludcmp(std::span<double> a, int32_t n, int32_t np, std::span<int32_t> indx, double& d, std::span<double> vv) {
    const double tiny = static_cast<double>(1e-20f);
    auto at = [&](int32_t i, int32_t j) -> double& { return a[static_cast<size_t>(i + j * np)]; };
    d = 1.0;
    for (int32_t i = 0; i < n; ++i) {
        double big = 0.0;
        for (int32_t j = 0; j < n; ++j) {
            const double t = std::fabs(at(i, j));
            if (t > big) big = t;
        }
        if (big == 0.0) return false;
        vv[static_cast<size_t>(i)] = 1.0 / big;
    }
    for (int32_t j = 0; j < n; ++j) {
        for (int32_t i = 0; i < j; ++i) {
            double sum = at(i, j);
            for (int32_t k = 0; k < i; ++k) sum -= at(i, k) * at(k, j);
            at(i, j) = sum;
        }
        double big = 0.0;
        int32_t imax = j;
        for (int32_t i = j; i < n; ++i) {
            double sum = at(i, j);
            for (int32_t k = 0; k < j; ++k) sum -= at(i, k) * at(k, j);
            at(i, j) = sum;
            const double dum = vv[static_cast<size_t>(i)] * std::fabs(sum);
            if (dum >= big) {  // a tie goes to the later row
                big = dum;
                imax = i;
            }
        }
        if (imax != j) {
            for (int32_t k = 0; k < n; ++k) std::swap(at(imax, k), at(j, k));
            d = -d;
            vv[static_cast<size_t>(imax)] = vv[static_cast<size_t>(j)];
        }
        indx[static_cast<size_t>(j)] = imax;
        if (at(j, j) == 0.0) at(j, j) = tiny;
        if (j < n - 1) {
            const double pivot = at(j, j);
            for (int32_t i = j + 1; i < n; ++i) at(i, j) /= pivot;
        }
    }
    return true;
}

void solve_lu_system(std::span<const double> a, int32_t n, int32_t np, std::span<const int32_t> indx,
                     std::span<double> b) {
    auto at = [&](int32_t i, int32_t j) { return a[static_cast<size_t>(i + j * np)]; };
    int32_t ii = -1;  // the first row with a nonzero entry, once met
    for (int32_t i = 0; i < n; ++i) {
        const int32_t ip = indx[static_cast<size_t>(i)];
        double sum = b[static_cast<size_t>(ip)];
        b[static_cast<size_t>(ip)] = b[static_cast<size_t>(i)];
        if (ii >= 0) {
            for (int32_t j = ii; j < i; ++j) sum -= at(i, j) * b[static_cast<size_t>(j)];
        } else if (sum != 0.0) {
            ii = i;
        }
        b[static_cast<size_t>(i)] = sum;
    }
    for (int32_t i = n - 1; i >= 0; --i) {
        double sum = b[static_cast<size_t>(i)];
        for (int32_t j = i + 1; j < n; ++j) sum -= at(i, j) * b[static_cast<size_t>(j)];
        b[static_cast<size_t>(i)] = sum / at(i, i);
    }
}

}  // namespace orv
