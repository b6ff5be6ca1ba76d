#include "moments/power_moments.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "moments/moment_index.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

namespace {

// Signed 32-bit product that wraps like two's complement instead of being
// undefined; checkOrder refuses every m for which a coefficient would wrap.
std::int32_t times(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

bool isUnivariate(const IntMatrix& index) {
    return index[0].size() == 1;
}

}  // namespace

std::int32_t stirling2(std::int32_t a, std::int32_t b) {
    if (a == b) {
        return 1;
    }
    if (b == 0 || a < b) {
        return 0;
    }
    if (b == 1) {
        return 1;
    }
    const std::int32_t sum =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(stirling2(a - 1, b - 1)) +
                                  static_cast<std::uint32_t>(times(b, stirling2(a - 1, b))));
    return sum;
}

std::int32_t factorial(std::int32_t k) {
    std::int32_t result = 1;
    for (std::int32_t i = 1; static_cast<double>(i) < k + 0.5; ++i) {
        result = times(result, i);
    }
    return result;
}

namespace {

// S(a, b) and a! for the orders that occur, computed once.
struct CoefficientTables {
    std::vector<IntVector> stirling;
    IntVector factorials;
    CoefficientTables(std::int32_t m, const IntVector& orders) {
        std::int32_t largest = m;
        for (std::int32_t order : orders) {
            largest = std::max(largest, order);
        }
        const std::size_t side = static_cast<std::size_t>(std::max(largest, 0)) + 1;
        stirling.assign(side, IntVector(side));
        factorials.assign(side, 0);
        for (std::size_t a = 0; a < side; ++a) {
            factorials[a] = factorial(static_cast<std::int32_t>(a));
            for (std::size_t b = 0; b < side; ++b) {
                stirling[a][b] =
                    stirling2(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b));
            }
        }
    }
};

}  // namespace

RealMatrix powerMomentMatrix(std::int32_t m, const IntMatrix& pairs, const IntVector& orders) {
    const IntMatrixList index = momentIndexList(m, pairs, orders);
    const std::size_t N = index.size();
    const CoefficientTables tables(m, orders);
    const std::vector<IntVector>& stirling = tables.stirling;
    const IntVector& factorials = tables.factorials;

    RealMatrix matrix(N, RealVector(N, 0.0));
    matrix[0][0] = 1.0;
    for (std::size_t i = 1; i < N; ++i) {
        const IntMatrix& row = index[i];
        RealVector& out = matrix[i];
        for (std::size_t j = 1; j < N; ++j) {
            const IntMatrix& column = index[j];
            if (isUnivariate(row)) {
                if (isUnivariate(column) && column[0][0] == row[0][0]) {
                    const std::int32_t k = row[1][0];
                    const std::int32_t kk = column[1][0];
                    out[j] = times(stirling[k][kk], factorials[kk]);
                }
            } else if (!isUnivariate(column) && column[0][0] == row[0][0] &&
                       column[0][1] == row[0][1]) {
                const std::int32_t d = row[1][0], e = row[1][1];
                const std::int32_t dd = column[1][0], ee = column[1][1];
                out[j] = times(times(times(stirling[e][ee], stirling[d][dd]), factorials[ee]),
                               factorials[dd]);
            }
        }
    }
    return matrix;
}

RealVector powerMoments(std::int32_t m, const IntMatrix& pairs, const IntVector& orders,
                        const RealVector& moments) {
    const IntMatrixList index = momentIndexList(m, pairs, orders);
    const std::size_t N = index.size();
    bool finite = moments.size() == N;
    for (std::size_t j = 0; j < moments.size() && finite; ++j) {
        finite = std::isfinite(moments[j]);
    }
    if (!finite) {
        return MatVecProduct(powerMomentMatrix(m, pairs, orders), moments);
    }
    const CoefficientTables tables(m, orders);
    const std::vector<IntVector>& stirling = tables.stirling;
    const IntVector& factorials = tables.factorials;

    // The columns of every subsequence and of every pair, in increasing order.
    std::map<std::int32_t, std::vector<std::size_t>> singleColumns;
    std::map<std::pair<std::int32_t, std::int32_t>, std::vector<std::size_t>> pairColumns;
    for (std::size_t j = 1; j < N; ++j) {
        if (isUnivariate(index[j])) {
            singleColumns[index[j][0][0]].push_back(j);
        } else {
            pairColumns[{index[j][0][0], index[j][0][1]}].push_back(j);
        }
    }

    RealVector rhs;
    rhs.reserve(N);
    rhs.push_back(1.0 * moments[0] + 0.0);
    for (std::size_t i = 1; i < N; ++i) {
        const IntMatrix& row = index[i];
        double sum = 0.0;
        if (isUnivariate(row)) {
            const std::int32_t k = row[1][0];
            for (std::size_t j : singleColumns[row[0][0]]) {
                const std::int32_t kk = index[j][1][0];
                const double coefficient = times(stirling[k][kk], factorials[kk]);
                sum = coefficient * moments[j] + sum;
            }
        } else {
            const std::int32_t d = row[1][0], e = row[1][1];
            for (std::size_t j : pairColumns[{row[0][0], row[0][1]}]) {
                const std::int32_t dd = index[j][1][0], ee = index[j][1][1];
                const double coefficient = times(
                    times(times(stirling[e][ee], stirling[d][dd]), factorials[ee]), factorials[dd]);
                sum = coefficient * moments[j] + sum;
            }
        }
        rhs.push_back(sum);
    }
    return rhs;
}

}  // namespace unionbound
