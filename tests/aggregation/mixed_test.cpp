// The mixed moment matrix and the mixed column solve.
#include <gtest/gtest.h>

#include <cmath>

#include "aggregation/mixed_moment_matrix.hpp"
#include "aggregation/mixed_solve.hpp"
#include "moments/moment_index.hpp"

namespace unionbound {
namespace {

TEST(MixedMomentMatrix, HoldsThePowersOfTheMixedPoints) {
    const IntMatrixList index = momentIndexList(3, {{1, 2}}, {3, 3});
    const RealMatrix matrix =
        buildMixedMomentMatrix({{0, 1, 2, 3}, {0, 2, 4, 6}}, index, {3, 3}, 3);
    EXPECT_EQ(matrix, (RealMatrix{{1, 1, 1},
                                  {1, 2, 1},
                                  {1, 4, 1},
                                  {1, 8, 1},
                                  {2, 2, 4},
                                  {4, 4, 16},
                                  {8, 8, 64},
                                  {2, 4, 4},
                                  {2, 8, 4},
                                  {4, 8, 16}}));
}

TEST(MixedMomentMatrix, IsBlockDiagonalInTheMixedRows) {
    const IntMatrixList index = momentIndexList(3, {{1, 2}, {1, 3}}, {3, 3, 3});
    const RealMatrix matrix = buildMixedMomentMatrix(
        {{0, 1, 2, 3}, {0, 2, 4, 6}, {0, -1, -2, -3, -4}}, index, {3, 3, 3}, 3);
    ASSERT_EQ(matrix.size(), index.size());
    for (std::size_t row = 10; row < 16; ++row) {
        ASSERT_EQ(matrix[row].size(), 6u);
        for (std::size_t column = 0; column < 6; ++column) {
            const bool sameGroup = (row - 10) / 3 == column / 3;
            if (!sameGroup) {
                EXPECT_EQ(matrix[row][column], 0.0) << row << "," << column;
            }
        }
    }
    // Coordinate 3 appears only in the second group, with its own values.
    EXPECT_EQ(matrix[7], (RealVector{0, 0, 0, -1, -1, -2}));
}

TEST(MixedMomentMatrix, WithoutMixedEntriesHasEmptyRows) {
    const IntMatrixList index = momentIndexList(1, {{1, 2}}, {1, 1});
    EXPECT_EQ(buildMixedMomentMatrix({{0, 1}, {0, 1}}, index, {1, 1}, 1), (RealMatrix{{}, {}, {}}));
}

TEST(MixedColumnSolve, SplitsTheSystemIntoMixedAndLeadingRows) {
    const MixedSolution s = solveMixedColumns({-1.0, -1.0}, {1.0, 0.3, 0.4, 0.2, 0.1},
                                              {{1, 1}, {1, 0}, {0, 1}, {1, 0}, {0, 1}});
    EXPECT_EQ(s.weights, (RealVector{0.2, 0.1}));
    EXPECT_EQ(s.residual, (RealVector{1.0 - (0.2 + 0.1), 0.3 - 0.2, 0.4 - 0.1}));
    EXPECT_DOUBLE_EQ(s.cost, -0.3);
}

TEST(MixedColumnSolve, WithOnlyMixedRowsHasAnEmptyResidual) {
    const MixedSolution s = solveMixedColumns({2.0}, {0.5}, {{4.0}});
    EXPECT_EQ(s.weights, (RealVector{0.125}));
    EXPECT_TRUE(s.residual.empty());
    EXPECT_EQ(s.cost, 0.25);
}

TEST(MixedColumnSolve, WithoutMixedColumnsLeavesEveryTargetToTheCoordinates) {
    const MixedSolution s = solveMixedColumns({}, {1.0, 0.25, -0.0}, {{}, {}, {}});
    EXPECT_TRUE(s.weights.empty());
    EXPECT_EQ(s.residual, (RealVector{1.0, 0.25, -0.0}));
    EXPECT_TRUE(std::signbit(s.residual[2]));
    EXPECT_EQ(s.cost, 0.0);
}

}  // namespace
}  // namespace unionbound
