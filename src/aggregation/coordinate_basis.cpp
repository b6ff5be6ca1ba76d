#include "aggregation/coordinate_basis.hpp"

#include "aggregation/candidates.hpp"
#include "aggregation/ksubsets.hpp"
#include "numeric/diagnostics.hpp"
#include "numeric/lin_solve.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

namespace {

// Subset member i stands for the neighbouring columns T[i]+i and T[i]+i+1.
void appendPairs(IntVector& row, const IntVector& T) {
    for (std::size_t i = 0; i < T.size(); ++i) {
        const auto offset = static_cast<std::int32_t>(i);
        row.push_back(T[i] + offset);
        row.push_back(T[i] + offset + 1);
    }
}

IntMatrix rowsOf(const IntMatrix& subsets, bool leadingM, std::int32_t m, bool trailingNq,
                 std::int32_t nq) {
    IntMatrix rows;
    for (const IntVector& T : subsets) {
        IntVector row;
        if (leadingM) {
            row.push_back(m);
        }
        appendPairs(row, T);
        if (trailingNq) {
            row.push_back(nq);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool isEven(std::int32_t value) {
    return value % 2 == 0;
}

}  // namespace

IntMatrix candidateColumnsEven(std::int32_t nq, std::int32_t m, std::int32_t s) {
    const std::int32_t d = s - m;
    if (isEven(d + 1)) {
        const std::int32_t c = (d + 1) / 2;
        return rowsOf(KSubsets(intRange(m, nq - c), c), false, m, false, nq);
    }
    const std::int32_t c = d / 2;
    return rowsOf(KSubsets(intRange(m + 1, nq - c), c), true, m, false, nq);
}

IntMatrix candidateColumnsOdd(std::int32_t nq, std::int32_t m, std::int32_t s) {
    const std::int32_t d = s - m;
    if (isEven(d + 1)) {
        const std::int32_t c = (d - 1) / 2;
        return rowsOf(KSubsets(intRange(m + 1, nq - c - 1), c), true, m, true, nq);
    }
    const std::int32_t c = d / 2;
    return rowsOf(KSubsets(intRange(m, nq - c - 1), c), false, m, true, nq);
}

CoordinateSolution bestCoordinateBasis(const RealVector& coordinateCosts, const RealVector& values,
                                       std::int32_t order, std::int32_t m,
                                       const RealVector& coordinateTargets,
                                       std::int32_t highCount) {
    CoordinateSolution best{{}, kSearchStart, {}};
    const std::int32_t nq = static_cast<std::int32_t>(values.size()) - 1;
    if (m < 1 || nq < m - 1 || coordinateCosts.size() != static_cast<std::size_t>(nq)) {
        diagnose("in bestCoordinateBasis, the coordinate's columns and costs do not fit\n");
        return best;
    }
    const std::int32_t s = order;

    RealMatrix powerTable;
    for (std::int32_t e = 1; e <= s; ++e) {
        RealVector row;
        row.reserve(nq);
        for (std::int32_t q = 1; q <= nq; ++q) {
            row.push_back(IntPower(values[q], e));
        }
        powerTable.push_back(std::move(row));
    }

    const IntMatrix candidates =
        isEven(highCount) ? candidateColumnsEven(nq, m, s) : candidateColumnsOdd(nq, m, s);

    RealMatrix fixedBlock;
    for (std::int32_t e = 0; e < s; ++e) {
        fixedBlock.emplace_back(powerTable[e].begin(), powerTable[e].begin() + (m - 1));
    }
    const RealVector fixedCosts(coordinateCosts.begin(), coordinateCosts.begin() + (m - 1));

    for (const IntVector& candidate : candidates) {
        bool inside = true;
        for (std::int32_t column : candidate) {
            inside = inside && column >= 1 && column <= nq;
        }
        if (!inside) {
            diagnose("in bestCoordinateBasis, a candidate column lies outside the coordinate\n");
            continue;
        }
        RealMatrix B = fixedBlock;
        RealVector cb = fixedCosts;
        for (std::int32_t column : candidate) {
            for (std::int32_t e = 0; e < s; ++e) {
                B[e].push_back(powerTable[e][column - 1]);
            }
            cb.push_back(coordinateCosts[column - 1]);
        }
        RealVector x = LinSolve(B, coordinateTargets);
        const double v = ScalarProduct(cb, x);
        if (v > best.value) {
            best = {std::move(x), v, candidate};
        }
    }
    return best;
}

}  // namespace unionbound
