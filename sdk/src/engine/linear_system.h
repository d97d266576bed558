// SPDX-License-Identifier: MIT
#ifndef TELO_ENGINE_LINEAR_SYSTEM_H
#define TELO_ENGINE_LINEAR_SYSTEM_H

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

namespace telo::engine {

/// Solves the N x N system `a` x = `b` by elimination with partial pivoting, leaving x in `b`;
/// false when a pivot is smaller than `minPivot` (the system is singular or nearly so). `a`
/// is used up.
template <std::size_t N>
bool solveLinear(std::array<std::array<double, N>, N>& a, std::array<double, N>& b,
                 double minPivot) {
    for (std::size_t column = 0; column < N; ++column) {
        std::size_t pivot = column;
        for (std::size_t row = column + 1; row < N; ++row) {
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) {
                pivot = row;
            }
        }
        if (std::fabs(a[pivot][column]) < minPivot) {
            return false;
        }
        std::swap(a[column], a[pivot]);
        std::swap(b[column], b[pivot]);
        for (std::size_t row = 0; row < N; ++row) {
            if (row == column) {
                continue;
            }
            const double factor = a[row][column] / a[column][column];
            for (std::size_t k = column; k < N; ++k) {
                a[row][k] -= factor * a[column][k];
            }
            b[row] -= factor * b[column];
        }
    }
    for (std::size_t k = 0; k < N; ++k) {
        b[k] /= a[k][k];
    }
    return true;
}

}  // namespace telo::engine

#endif
