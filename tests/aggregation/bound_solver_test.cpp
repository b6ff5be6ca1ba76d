#include "aggregation/bound_solver.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "support/capture.hpp"

namespace unionbound {
namespace {

TEST(ShiftColumns, PutsTheBasisValuesFirstAndShiftsByTheFirst) {
    const RealMatrix counts = {{0, 1, 2, 3, 4}};
    const ShiftedColumns kept = shiftColumns(counts, {{0, 4, 3}}, {2});
    EXPECT_EQ(kept.columns, (RealMatrix{{0, 4, 3, 1, 2}}));
    EXPECT_EQ(kept.shifts, (RealVector{0}));
    const ShiftedColumns moved = shiftColumns(counts, {{4, 0, 3}}, {2});
    EXPECT_EQ(moved.columns, (RealMatrix{{0, -4, -1, -3, -2}}));
    EXPECT_EQ(moved.shifts, (RealVector{4}));
}

TEST(ShiftColumns, RefusesASubscriptOutsideTheCoordinate) {
    const auto [shifted, out] = testing::captured([] {
        return shiftColumns({{0, 1, 2, 3}}, {{0, 9, 3}}, {1});
    });
    EXPECT_TRUE(shifted.columns.empty());
    EXPECT_EQ(out, "in shiftColumns, a subscript lies outside coordinate 1\n");
}

// The moments of two coordinates of lengths 4 and 6 under a point mass.
RealVector pointMassMoments(double x1, double x2) {
    return {1,       x1,           x1 * x1, x1 * x1 * x1, x2,
            x2 * x2, x2 * x2 * x2, x1 * x2, x1 * x1 * x2, x1 * x2 * x2};
}
const RealMatrix kCounts = {{0, 1, 2, 3, 4}, {0, 1, 2, 3, 4, 5, 6}};

int penaltyCalls = 0;
double countingPenalty(const RealVector&) {
    ++penaltyCalls;
    return 0.0;
}
double nanPenalty(const RealVector&) {
    return std::numeric_limits<double>::quiet_NaN();
}

TEST(SolveBound, EvaluatesTwoToTheMCandidates) {
    penaltyCalls = 0;
    solveBound(countingPenalty, kCounts, pointMassMoments(1, 2), {3, 3}, {{1, 2}}, 3);
    // Per evaluation: the base point, 3 mixed columns and 4 + 6 single columns.
    EXPECT_EQ(penaltyCalls, 8 * (1 + 3 + 10));
}

TEST(SolveBound, KeepsTheFirstOfEqualValues) {
    // With a zero penalty every candidate is worth 0: the first one tried
    // (j = -1, all subscripts high) stays the record.
    const BoundSolution s =
        solveBound(countingPenalty, kCounts, pointMassMoments(1, 2), {3, 3}, {{1, 2}}, 3);
    EXPECT_EQ(s.value, 0.0);
    EXPECT_EQ(s.jbest, -1);
    EXPECT_EQ(s.Vks, (IntMatrix{{4, 3, 2}, {6, 5, 4}}));
    EXPECT_EQ(s.Kjs.size(), 2u);
}

TEST(SolveBound, NeverTakesANotANumber) {
    const BoundSolution s =
        solveBound(nanPenalty, kCounts, pointMassMoments(1, 2), {3, 3}, {{1, 2}}, 3);
    EXPECT_EQ(s.value, -1.7e308);
    EXPECT_EQ(s.jbest, -1);
    EXPECT_TRUE(s.Kjs.empty());
    EXPECT_TRUE(s.Vks.empty());
}

}  // namespace
}  // namespace unionbound
