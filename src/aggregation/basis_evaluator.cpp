#include "aggregation/basis_evaluator.hpp"

#include <limits>

#include "aggregation/coordinate_basis.hpp"
#include "aggregation/mixed_moment_matrix.hpp"
#include "aggregation/mixed_solve.hpp"
#include "moments/moment_index.hpp"
#include "numeric/diagnostics.hpp"
#include "numeric/vector_ops.hpp"

namespace unionbound {

namespace {

// True when the tables of a candidate fit the layout the evaluator reads.
bool tablesFit(const RealMatrix& columns, const RealVector& shifts, const IntVector& orders,
               std::int32_t m, const RealVector& shiftedMoments, const IntVector& highCounts,
               const IntMatrixList& momentIndex, std::size_t firstMixed) {
    const std::size_t coordinates = orders.size();
    if (columns.size() < coordinates || shifts.size() < coordinates ||
        highCounts.size() < coordinates || firstMixed > momentIndex.size() ||
        shiftedMoments.size() != momentIndex.size()) {
        return false;
    }
    for (std::size_t j = 0; j < coordinates; ++j) {
        if (columns[j].empty()) {
            return false;
        }
    }
    const auto inside = [&](std::int32_t coordinate, std::int32_t entry) {
        return coordinate >= 1 && static_cast<std::size_t>(coordinate) <= coordinates &&
               entry >= 0 && static_cast<std::size_t>(entry) < columns[coordinate - 1].size();
    };
    const std::size_t groupSize = static_cast<std::size_t>(mixedOrdersPerPair(m));
    const std::size_t mixedCount = momentIndex.size() - firstMixed;
    if (mixedCount > 0 && (groupSize == 0 || mixedCount % groupSize != 0)) {
        return false;
    }
    for (std::size_t i = firstMixed; i < momentIndex.size(); ++i) {
        const IntMatrix& entry = momentIndex[i];
        if (entry.size() != 2 || entry[0].size() != 2 || entry[1].size() != 2 ||
            !inside(entry[0][0], entry[1][0]) || !inside(entry[0][1], entry[1][1]) ||
            entry[0] != momentIndex[firstMixed + (i - firstMixed) / groupSize * groupSize][0]) {
            return false;
        }
    }
    return true;
}

}  // namespace

BasisEvaluation evaluateBasis(Penalty penalty, const RealMatrix& columns, const RealVector& shifts,
                              const IntVector& orders, std::int32_t m,
                              const RealVector& shiftedMoments, const IntVector& highCounts,
                              const IntMatrixList& momentIndex) {
    const double baseCost = penalty(shifts);
    const std::int32_t singles = IntScalarProduct(orders, IntVector(orders.size(), 1));
    if (singles < 0 || !tablesFit(columns, shifts, orders, m, shiftedMoments, highCounts,
                                  momentIndex, static_cast<std::size_t>(singles) + 1)) {
        diagnose("in evaluateBasis, the candidate's tables do not fit together\n");
        return {std::numeric_limits<double>::quiet_NaN(), {}};
    }
    const std::size_t firstMixed = static_cast<std::size_t>(singles) + 1;

    RealVector mixedCosts;
    mixedCosts.reserve(momentIndex.size() - firstMixed);
    RealVector point;
    for (std::size_t i = firstMixed; i < momentIndex.size(); ++i) {
        const IntMatrix& entry = momentIndex[i];
        const std::int32_t j1 = entry[0][0], j2 = entry[0][1];
        point = shifts;
        point[j1 - 1] += columns[j1 - 1][entry[1][0]];
        point[j2 - 1] += columns[j2 - 1][entry[1][1]];
        mixedCosts.push_back(penalty(point) - baseCost);
    }

    const MixedSolution mixed =
        solveMixedColumnsByBlocks(mixedCosts, shiftedMoments, columns, momentIndex, orders, m);

    BasisEvaluation evaluation{0.0, {}};
    RealVector coordinateValues;
    std::int32_t position = 1;
    for (std::size_t j = 0; j < orders.size(); ++j) {
        RealVector coordinateCosts;
        for (std::size_t q = 1; q < columns[j].size(); ++q) {
            point = shifts;
            point[j] += columns[j][q];
            coordinateCosts.push_back(penalty(point) - baseCost);
        }
        RealVector coordinateTargets;
        for (std::int32_t r = position; r <= position + orders[j] - 1; ++r) {
            coordinateTargets.push_back(static_cast<std::size_t>(r) < mixed.residual.size()
                                            ? mixed.residual[r]
                                            : std::numeric_limits<double>::quiet_NaN());
        }
        position += orders[j];
        CoordinateSolution solution = bestCoordinateBasis(coordinateCosts, columns[j], orders[j], m,
                                                          coordinateTargets, highCounts[j]);
        coordinateValues.push_back(solution.value);
        evaluation.Kjs.push_back(std::move(solution.choice));
    }

    double total = 0.0;
    for (double value : coordinateValues) {
        total = total + value;
    }
    evaluation.value = (mixed.cost + total) + baseCost;
    return evaluation;
}

}  // namespace unionbound
