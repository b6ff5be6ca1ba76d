#include "aggregation/mixed_solve.hpp"

#include <cmath>
#include <limits>

#include "aggregation/mixed_moment_matrix.hpp"
#include "moments/moment_index.hpp"
#include "numeric/diagnostics.hpp"
#include "numeric/lin_solve.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

MixedSolution solveMixedColumns(const RealVector& mixedCosts, const RealVector& shiftedMoments,
                                const RealMatrix& momentMatrix) {
    if (momentMatrix.empty() || momentMatrix.size() < shiftedMoments.size()) {
        diagnose("in solveMixedColumns, fewer moment rows than targets\n");
        return {{}, {}, std::numeric_limits<double>::quiet_NaN()};
    }
    const std::size_t N = momentMatrix[0].size();
    if (N == 0) {
        return {{}, shiftedMoments, 0.0};
    }
    const std::size_t t0 = shiftedMoments.size() - N;  // wraps above the size when N is larger

    RealMatrix B;
    RealVector bt;
    for (std::size_t i = t0; i < shiftedMoments.size(); ++i) {
        B.push_back(momentMatrix[i]);
        bt.push_back(shiftedMoments[i]);
    }
    MixedSolution solution;
    solution.weights = LinSolve(B, bt);

    RealMatrix T;
    RealVector bh;
    if (t0 != 0) {
        for (std::size_t i = 0; i < t0 && i < shiftedMoments.size(); ++i) {
            T.push_back(momentMatrix[i]);
            bh.push_back(shiftedMoments[i]);
        }
    }
    solution.residual = vectsum(bh, ScaleVector(-1.0, MatVecProduct(T, solution.weights)));
    solution.cost = ScalarProduct(mixedCosts, solution.weights);
    return solution;
}

namespace {

bool isNegativeZero(double x) {
    return x == 0.0 && std::signbit(x);
}

// Gauss-Jordan on one g×g block (row-major in `a`, right-hand side in `x`),
// step by step as LinSolve takes them. False when the block runs out of
// pivots or a value that the rest of the whole system would multiply by a
// zero is not finite.
bool eliminateBlock(std::vector<double>& a, double* x, std::size_t g) {
    for (std::size_t j = 0; j < g; ++j) {
        std::size_t pivot = j;
        while (pivot < g && a[pivot * g + j] == 0.0) {
            ++pivot;
        }
        if (pivot == g) {
            return false;
        }
        if (pivot != j) {
            for (std::size_t t = j; t < g; ++t) {
                std::swap(a[pivot * g + t], a[j * g + t]);
            }
            std::swap(x[pivot], x[j]);
        }
        double* pivotRow = &a[j * g];
        const double p = pivotRow[j];
        x[j] = x[j] / p;
        if (!std::isfinite(x[j])) {
            return false;
        }
        for (std::size_t t = j + 1; t < g; ++t) {
            pivotRow[t] = pivotRow[t] / p;
            if (!std::isfinite(pivotRow[t])) {
                return false;
            }
        }
        for (std::size_t k = 0; k < g; ++k) {
            if (k == j) {
                continue;
            }
            double* row = &a[k * g];
            const double f = row[j];
            if (!std::isfinite(f)) {
                return false;
            }
            x[k] = x[k] - x[j] * f;
            const double minusF = -f;
            for (std::size_t t = j + 1; t < g; ++t) {
                row[t] = row[t] + minusF * pivotRow[t];
            }
        }
    }
    return true;
}

}  // namespace

MixedSolution solveMixedColumnsByBlocks(const RealVector& mixedCosts,
                                        const RealVector& shiftedMoments, const RealMatrix& columns,
                                        const IntMatrixList& momentIndex, const IntVector& orders,
                                        std::int32_t m) {
    const auto dense = [&] {
        return solveMixedColumns(mixedCosts, shiftedMoments,
                                 buildMixedMomentMatrix(columns, momentIndex, orders, m));
    };
    std::int64_t singles = 0;
    for (std::int32_t order : orders) {
        if (order < 0) {
            return dense();
        }
        singles += order;
    }
    const std::size_t firstMixed = static_cast<std::size_t>(singles) + 1;
    const std::size_t g = static_cast<std::size_t>(mixedOrdersPerPair(m));
    if (firstMixed >= momentIndex.size() || g == 0 || shiftedMoments.size() != momentIndex.size() ||
        columns.size() < orders.size()) {
        return dense();
    }
    const std::size_t count = momentIndex.size() - firstMixed;
    if (count % g != 0 || mixedCosts.size() != count) {
        return dense();
    }
    const std::size_t blocks = count / g;
    const auto entryOf = [&](std::size_t c) -> const IntMatrix& {
        return momentIndex[firstMixed + c];
    };

    // The layout the blocks rely on: every entry of a group names the group's
    // pair, orders of at least 1, and values that exist.
    for (std::size_t c = 0; c < count; ++c) {
        const IntMatrix& entry = entryOf(c);
        const IntMatrix& head = entryOf(c / g * g);
        if (entry.size() != 2 || entry[0].size() != 2 || entry[1].size() != 2 ||
            entry[0] != head[0] || entry[1][0] < 1 || entry[1][1] < 1) {
            return dense();
        }
        for (int member = 0; member < 2; ++member) {
            const std::int32_t j = entry[0][member];
            if (j < 1 || static_cast<std::size_t>(j) > columns.size() ||
                static_cast<std::size_t>(entry[1][member]) >= columns[j - 1].size()) {
                return dense();
            }
        }
    }

    MixedSolution solution;
    solution.weights.assign(shiftedMoments.begin() + static_cast<std::ptrdiff_t>(firstMixed),
                            shiftedMoments.end());
    RealVector& x = solution.weights;
    std::vector<double> a(g * g);
    RealVector U(g), V(g);
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t first = b * g;
        const std::int32_t j1 = entryOf(first)[0][0];
        const std::int32_t j2 = entryOf(first)[0][1];
        for (std::size_t c = 0; c < g; ++c) {
            U[c] = columns[j1 - 1][entryOf(first + c)[1][0]];
            V[c] = columns[j2 - 1][entryOf(first + c)[1][1]];
        }
        for (std::size_t r = 0; r < g; ++r) {
            const std::int32_t e1 = entryOf(first + r)[1][0];
            const std::int32_t e2 = entryOf(first + r)[1][1];
            for (std::size_t c = 0; c < g; ++c) {
                a[r * g + c] = IntPower(U[c], e1) * IntPower(V[c], e2);
            }
        }
        if (b > 0) {
            for (std::size_t r = 0; r < g; ++r) {
                if (isNegativeZero(x[first + r])) {
                    return dense();
                }
            }
            for (double entry : a) {
                if (isNegativeZero(entry)) {
                    return dense();
                }
            }
        }
        if (!eliminateBlock(a, &x[first], g)) {
            return dense();
        }
        if (b + 1 < blocks) {
            for (std::size_t r = 0; r < g; ++r) {
                if (isNegativeZero(x[first + r])) {
                    return dense();
                }
            }
        }
    }

    for (double weight : x) {
        if (!std::isfinite(weight)) {
            return dense();
        }
    }

    // Leading rows: the constant row meets every column; the rows of
    // coordinate j only the columns of the pairs that hold j (elsewhere the
    // entry is 0.0, whose products with finite weights change no sum).
    solution.residual.reserve(firstMixed);
    double constant = 0.0;
    for (std::size_t c = 0; c < count; ++c) {
        constant = 1.0 * x[c] + constant;
    }
    solution.residual.push_back(shiftedMoments[0] + -1.0 * constant);
    // The columns each coordinate meets, gathered in one pass over the
    // columns (so in increasing order), with the coordinate's value there.
    struct Touch {
        std::size_t column;
        double value;
    };
    std::vector<std::vector<Touch>> touches(orders.size());
    for (std::size_t c = 0; c < count; ++c) {
        const IntMatrix& entry = entryOf(c);
        const std::int32_t j1 = entry[0][0], j2 = entry[0][1];
        if (static_cast<std::size_t>(j1) <= orders.size()) {
            touches[j1 - 1].push_back({c, columns[j1 - 1][entry[1][0]]});
        }
        if (j2 != j1 && static_cast<std::size_t>(j2) <= orders.size()) {
            touches[j2 - 1].push_back({c, columns[j2 - 1][entry[1][1]]});
        }
    }
    for (std::size_t j = 0; j < orders.size(); ++j) {
        for (std::int32_t e = 1; e <= orders[j]; ++e) {
            double dot = 0.0;
            for (const Touch& touch : touches[j]) {
                dot = IntPower(touch.value, e) * x[touch.column] + dot;
            }
            const std::size_t row = solution.residual.size();
            solution.residual.push_back(shiftedMoments[row] + -1.0 * dot);
        }
    }
    solution.cost = ScalarProduct(mixedCosts, x);
    return solution;
}

}  // namespace unionbound
