#include "numeric/lin_solve.hpp"

#include "numeric/diagnostics.hpp"

#include <utility>

namespace unionbound {

RealVector LinSolve(const RealMatrix& A, const RealVector& b) {
    const std::size_t n = A.size();
    const std::size_t width = n == 0 ? 0 : A[0].size();
    bool rowsAlike = true;
    for (const RealVector& row : A) {
        rowsAlike = rowsAlike && row.size() == width;
    }
    if (n == 0 || width != n || b.size() != n || !rowsAlike) {
        diagnose("Size problem in the input of LinSolve.\n");
        if (n == 0 || !rowsAlike || width < n || b.size() < n) {
            return b;
        }
    }

    // Work on a dense copy of the leading n×n block. A step j only reads and
    // writes columns j..n-1: the columns before j are the entries that the
    // elimination has already removed from every row.
    RealVector a(n * n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t t = 0; t < n; ++t) {
            a[i * n + t] = A[i][t];
        }
    }
    RealVector x = b;

    for (std::size_t j = 0; j < n; ++j) {
        std::size_t pivot = j;
        while (pivot < n && a[pivot * n + j] == 0.0) {
            ++pivot;
        }
        if (pivot == n) {
            diagnose("(LinSolve) The matrix A is singular.\n");
            pivot = n - 1;
            a[pivot * n + j] = 1.0;
        }
        if (pivot != j) {
            for (std::size_t t = j; t < n; ++t) {
                std::swap(a[pivot * n + t], a[j * n + t]);
            }
            std::swap(x[pivot], x[j]);
        }

        double* pivotRow = &a[j * n];
        const double p = pivotRow[j];
        x[j] = x[j] / p;
        // Entry j of every row is removed at the end of the step, so the
        // column loops start after it.
        for (std::size_t t = j + 1; t < n; ++t) {
            pivotRow[t] = pivotRow[t] / p;
        }

        for (std::size_t k = 0; k < n; ++k) {
            if (k == j) {
                continue;
            }
            double* row = &a[k * n];
            const double f = row[j];
            x[k] = x[k] - x[j] * f;
            const double minusF = -f;
            for (std::size_t t = j + 1; t < n; ++t) {
                row[t] = row[t] + minusF * pivotRow[t];
            }
        }
    }
    return x;
}

}  // namespace unionbound
