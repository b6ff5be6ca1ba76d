#include "aggregation/basis_evaluator.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "moments/moment_index.hpp"
#include "support/capture.hpp"

namespace unionbound {
namespace {

// A penalty that remembers every point it is asked about.
std::vector<RealVector> askedPoints;
double recordingPenalty(const RealVector& point) {
    askedPoints.push_back(point);
    return point.empty() ? 0.0 : -point[0];
}

double noEventPenalty(const RealVector& point) {
    for (double x : point) {
        if (x > 0.1)
            return -1.0;
    }
    return 0.0;
}

TEST(EvaluateBasis, WithoutCoordinatesIsTheBaseCost) {
    const BasisEvaluation e =
        evaluateBasis(noEventPenalty, {}, {0.5}, {}, 3, {1.0}, {}, {{{0}, {0}}});
    EXPECT_EQ(e.value, -1.0);
    EXPECT_TRUE(e.Kjs.empty());
}

TEST(EvaluateBasis, PricesAMixedColumnAtTheSumOfItsMoves) {
    // ((2,2),(1,3)) moves coordinate 2 by columns[1][1] and then columns[1][3].
    const IntMatrixList index = {{{0}, {0}}, {{1}, {1}}, {{2}, {1}}, {{2, 2}, {1, 3}}};
    askedPoints.clear();
    testing::outputOf([&] {
        evaluateBasis(recordingPenalty, {{0, 1}, {0, 10, 20, 30}}, {0.25, 0.5}, {1, 1}, 2,
                      {1, 0, 0, 0}, {0, 0}, index);
    });
    ASSERT_GE(askedPoints.size(), 2u);
    EXPECT_EQ(askedPoints[0], (RealVector{0.25, 0.5}));
    EXPECT_EQ(askedPoints[1], (RealVector{0.25, 0.5 + 10 + 30}));
    // Then one point per single-coordinate column, coordinate by coordinate.
    EXPECT_EQ(askedPoints.size(), 2u + 1u + 3u);
    EXPECT_EQ(askedPoints[2], (RealVector{1.25, 0.5}));
    EXPECT_EQ(askedPoints[5], (RealVector{0.25, 30.5}));
}

TEST(EvaluateBasis, AddsMixedCostCoordinateValuesAndBaseCostInThatOrder) {
    // Two coordinates of length 3, m = 3, moments of the point mass at (1, 2):
    // with thresholdPenalty-like costs the value is the negated mass of the
    // points where some event occurs, here the whole mass.
    const IntMatrixList index = momentIndexList(3, {{1, 2}}, {3, 3});
    const RealVector moments = {1, 1, 1, 1, 2, 4, 8, 2, 2, 4};
    const BasisEvaluation e = evaluateBasis(noEventPenalty, {{0, 1, 2, 3}, {0, 1, 2, 3}},
                                            {0.0, 0.0}, {3, 3}, 3, moments, {0, 0}, index);
    EXPECT_NEAR(e.value, -1.0, 1e-12);  // rounding of the eliminations only
    EXPECT_EQ(e.Kjs, (IntMatrix{{3}, {3}}));
}

TEST(EvaluateBasis, RefusesAMixedEntryOutsideTheColumns) {
    const IntMatrixList index = {{{0}, {0}}, {{1}, {1}}, {{2}, {1}}, {{1, 2}, {1, 9}}};
    const auto [e, out] = testing::captured([&] {
        return evaluateBasis(noEventPenalty, {{0, 1}, {0, 1}}, {0, 0}, {1, 1}, 2, {1, 0, 0, 0},
                             {0, 0}, index);
    });
    EXPECT_TRUE(std::isnan(e.value));
    EXPECT_EQ(out, "in evaluateBasis, the candidate's tables do not fit together\n");
}

}  // namespace
}  // namespace unionbound
