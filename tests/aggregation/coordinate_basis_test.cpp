#include "aggregation/coordinate_basis.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/capture.hpp"

namespace unionbound {
namespace {

TEST(CandidateColumns, ForTheDriversOrderAddOneColumn) {
    EXPECT_EQ(candidateColumnsEven(6, 3, 3), (IntMatrix{{3}}));
    EXPECT_EQ(candidateColumnsOdd(6, 3, 3), (IntMatrix{{6}}));
}

TEST(CandidateColumns, ForHigherOrdersAddPairsOfNeighbours) {
    EXPECT_EQ(candidateColumnsEven(6, 3, 4), (IntMatrix{{3, 4}, {4, 5}, {5, 6}}));
    EXPECT_EQ(candidateColumnsOdd(6, 3, 4), (IntMatrix{{3, 6}}));
    EXPECT_EQ(candidateColumnsEven(6, 3, 5), (IntMatrix{{3, 4, 5}, {3, 5, 6}}));
    EXPECT_EQ(candidateColumnsOdd(6, 3, 5), (IntMatrix{{3, 4, 6}, {4, 5, 6}}));
    // Two pairs never overlap: subset members 4 and 5 stand for (4,5), (6,7).
    EXPECT_EQ(
        candidateColumnsEven(8, 3, 6),
        (IntMatrix{
            {3, 4, 5, 6}, {3, 4, 6, 7}, {3, 4, 7, 8}, {4, 5, 6, 7}, {4, 5, 7, 8}, {5, 6, 7, 8}}));
}

TEST(CandidateColumns, ForTooFewRowsAskForANegativeSubsetSize) {
    const auto [rows, out] = testing::captured([] { return candidateColumnsEven(6, 3, 1); });
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(out, "in KSubsets, k<0");
}

TEST(BestCoordinateBasis, SolvesTheWorkedSecondOrderCase) {
    const CoordinateSolution s =
        bestCoordinateBasis({-1.0, -1.0}, {0.0, 1.0, 2.0}, 2, 2, {0.5, 0.7}, 0);
    EXPECT_EQ(s.choice, (IntVector{2}));
    ASSERT_EQ(s.weights.size(), 2u);
    // x1 + 2·x2 = 0.5, x1 + 4·x2 = 0.7, solved by two elimination steps.
    EXPECT_DOUBLE_EQ(s.weights[0], 0.3);
    EXPECT_DOUBLE_EQ(s.weights[1], 0.1);
    EXPECT_DOUBLE_EQ(s.value, -0.4);
}

TEST(BestCoordinateBasis, WithoutCandidatesKeepsTheStartValue) {
    const auto [s, out] = testing::captured([] {
        return bestCoordinateBasis({-1, -1, -1, -1, -1, -1}, {0, 1, 2, 3, 4, 5, 6}, 1, 3, {0.5}, 0);
    });
    EXPECT_EQ(s.value, -1.7e308);
    EXPECT_TRUE(s.weights.empty());
    EXPECT_TRUE(s.choice.empty());
    EXPECT_EQ(out, "in KSubsets, k<0");
}

TEST(BestCoordinateBasis, PicksTheGeneratorByTheParityOfTheHighCount) {
    const RealVector values = {0, 1, 2, 3, 4, 5, 6};
    const RealVector costs = {-1, -1, -1, -1, -1, -1};
    const RealVector targets = {1.0, 2.0, 5.0};
    EXPECT_EQ(bestCoordinateBasis(costs, values, 3, 3, targets, 2).choice, (IntVector{3}));
    EXPECT_EQ(bestCoordinateBasis(costs, values, 3, 3, targets, 1).choice, (IntVector{6}));
    EXPECT_EQ(bestCoordinateBasis(costs, values, 3, 3, targets, -1).choice, (IntVector{6}));
}

TEST(BestCoordinateBasis, KeepsTheFirstOfEqualValues) {
    // With zero costs every candidate is worth 0.0: the first one stays.
    const RealVector values = {0, 1, 2, 3, 4, 5, 6};
    const CoordinateSolution s =
        bestCoordinateBasis(RealVector(6, 0.0), values, 4, 3, {1.0, 2.0, 5.0, 11.0}, 0);
    EXPECT_EQ(s.value, 0.0);
    EXPECT_EQ(s.choice, (IntVector{3, 4}));
}

TEST(BestCoordinateBasis, NeverTakesANotANumber) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const RealVector values = {0, 1, 2, 3, 4, 5, 6};
    const CoordinateSolution s =
        bestCoordinateBasis({-1, -1, nan, -1, -1, -1}, values, 4, 3, {1.0, 2.0, 5.0, 11.0}, 0);
    // (3,4) costs a not-a-number; the later candidates are compared as usual.
    EXPECT_FALSE(std::isnan(s.value));
    EXPECT_NE(s.choice, (IntVector{3, 4}));
}

TEST(BestCoordinateBasis, RefusesCostsThatDoNotMatchTheColumns) {
    const auto [s, out] = testing::captured([] {
        return bestCoordinateBasis({-1, -1}, {0, 1, 2, 3}, 3, 3, {1, 2, 3}, 0);
    });
    EXPECT_EQ(s.value, -1.7e308);
    EXPECT_EQ(out, "in bestCoordinateBasis, the coordinate's columns and costs do not fit\n");
}

}  // namespace
}  // namespace unionbound
